#include "main/commandline.h"
#include "main/launchmode.h"
#include "main/selftest.h"
#include "shell/appdelegate.h"
#include "shell/appresources.h"
#include "shell/singleinstance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {

// Tells the user, without stopping them, which files the command line named in a way no path can hold.
void reportUndecodableNames(const QStringList &names)
{
    for (const QString &name : names) {
        auto *box = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(),
                                    QCoreApplication::translate("CommandLine", "“%1” could not be opened.").arg(name));
        box->setInformativeText(QCoreApplication::translate(
            "CommandLine", "Its name is not valid UTF-8, which Nolt Nolt cannot keep. Rename the file and open it "
                           "again."));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (isSelfTestMode(argc, argv)) {
        runSelfTest(argc, argv);
        return 0;
    }

    const QString program = argc > 0 && argv[0] ? QFileInfo(QFile::decodeName(argv[0])).fileName() : QString();
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
    for (const QString &name : line.undecodableNames)
        std::fprintf(stderr, "%s: “%s”: the name is not valid UTF-8\n", qPrintable(program), qPrintable(name));

    QApplication::setApplicationName(QStringLiteral("Nolt Nolt"));
    QApplication::setOrganizationName(QStringLiteral("Quorbell"));
    QApplication::setApplicationVersion(QStringLiteral(NOLTNOLT_VERSION));
    QApplication::setDesktopFileName(QLatin1String(AppResources::applicationId));
    // The toolkit sees only the program path: every other argument is the app's.
    int toolkitArgc = 1;
    char *toolkitArgv[] = {argv[0], nullptr};
    QApplication app(toolkitArgc, toolkitArgv);
    QApplication::setWindowIcon(AppResources::applicationIcon());

    // One Nolt Nolt per session: a second launch hands its files (or a reopen) to the first and ends.
    const QList<QUrl> files = SingleInstance::urlsFromArguments(line.files, QDir::currentPath());
    SingleInstance instance;
    if (!instance.start(files))
        return instance.role() == SingleInstance::Role::HandedOver ? 0 : 1;

    AppDelegate delegate;
    delegate.setLaunchFiles(files);
    delegate.listenTo(instance);
    QObject::connect(&delegate, &AppDelegate::launched, &delegate,
                     [names = line.undecodableNames] { reportUndecodableNames(names); });
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    app.exec();
    return 0;
}
