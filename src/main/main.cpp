#include "main/launchmode.h"
#include "main/selftest.h"
#include "shell/appdelegate.h"
#include "shell/singleinstance.h"

#include <QApplication>
#include <QDir>
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

    // One Nolt Nolt per session: a second launch hands its files (or a reopen) to the first and ends.
    const QList<QUrl> files = SingleInstance::urlsFromArguments(app.arguments().mid(1), QDir::currentPath());
    SingleInstance instance;
    if (!instance.start(files))
        return instance.role() == SingleInstance::Role::HandedOver ? 0 : 1;

    AppDelegate delegate;
    delegate.setLaunchFiles(files);
    delegate.listenTo(instance);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    app.exec();
    return 0;
}
