#include "main/launchmode.h"
#include "main/selftest.h"
#include "shell/appdelegate.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    if (isSelfTestMode(argc, argv)) {
        runSelfTest(argc, argv);
        return 0;
    }

    QApplication::setApplicationName(QStringLiteral("Nolt Nolt"));
    QApplication::setOrganizationName(QStringLiteral("Quorbell"));
    QApplication::setApplicationVersion(QStringLiteral(NOLTNOLT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("noltnolt"));
    QApplication app(argc, argv);
    AppDelegate delegate;
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    app.exec();
    return 0;
}
