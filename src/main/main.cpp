#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "framework/startuptrace.h"
#include "main/commandline.h"
#include "main/launchmode.h"
#include "main/selftest.h"
#include "editor/spelling/spellchecker.h"
#include "shell/appdelegate.h"
#include "shell/appresources.h"
#include "shell/singleinstance.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    StartupTrace::mark("main");
    PosixFile::mapLargeBlocks();
    if (isSelfTestMode(argc, argv)) {
        runSelfTest(argc, argv);
        return 0;
    }

    const QString program =
        argc > 0 && argv[0] ? FileNames::displayName(QFileInfo(FileNames::decodeName(argv[0])).fileName()) : QString();
    const CommandLine line = CommandLine::parse(argc, argv);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(CommandLine::usage(program)), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(qPrintable(CommandLine::version()), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(qPrintable(CommandLine::errorText(program, line.error)), stderr);
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    QApplication::setApplicationName(QStringLiteral("Nolt Nolt"));
    QApplication::setOrganizationName(QStringLiteral("Quorbell"));
    QApplication::setApplicationVersion(QStringLiteral(NOLTNOLT_VERSION));
    QApplication::setDesktopFileName(QLatin1String(AppResources::applicationId));
    // The toolkit sees only the program path: every other argument is the app's.
    int toolkitArgc = 1;
    char *toolkitArgv[] = {argv[0], nullptr};
    QApplication app(toolkitArgc, toolkitArgv);
    StartupTrace::mark("toolkit");

    // One Nolt Nolt per session: a second launch hands its files (or a reopen) to the first and ends.
    const QList<QUrl> files = SingleInstance::urlsFromArguments(line.files, QDir::currentPath());
    SingleInstance instance;
    if (!instance.start(files))
        return instance.role() == SingleInstance::Role::HandedOver ? 0 : 1;
    StartupTrace::mark("single instance");
    // The dictionary loads while the app starts and the notes are read; the first note does not wait for it.
    SpellChecker::preload(SpellChecker::Load::InBackground);
    StartupTrace::mark("spelling broker");

    AppDelegate delegate;
    delegate.setLaunchFiles(files);
    delegate.listenTo(instance);
    StartupTrace::mark("app services");
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    app.exec();
    return 0;
}
