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
        return 0;

    AppDelegate delegate;
    delegate.setLaunchFiles(files);
    QObject::connect(&instance, &SingleInstance::openRequested, &delegate, &AppDelegate::applicationOpenUrls);
    QObject::connect(&instance, &SingleInstance::activateRequested, &delegate, &AppDelegate::reopen);
    QObject::connect(&instance, &SingleInstance::actionRequested, &delegate,
                     [&delegate](const QString &name, const QVariantList &) { delegate.performAction(name); });
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    app.exec();
    return 0;
}
