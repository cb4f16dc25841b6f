#include "commandline.h"

#include "framework/filenames.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLine", text);
}

bool isOption(const QString &argument)
{
    return argument.size() > 1 && argument.startsWith(u'-');
}

} // namespace

CommandLine CommandLine::parse(int argc, const char *const *argv)
{
    CommandLine line;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i])
            continue;
        // Losslessly: a name that is not UTF-8 still reaches its file.
        QString argument = FileNames::decodeName(QByteArray(argv[i]));
        if (!onlyFiles && isOption(argument)) {
            if (argument == u"--") {
                onlyFiles = true;
            } else if (argument == u"--help" || argument == u"-h") {
                line.action = Action::Help;
                return line;
            } else if (argument == u"--version") {
                line.action = Action::Version;
                return line;
            } else if (argument == u"-session" && i + 1 < argc) {
                // The session manager restarts the app with the toolkit's session option; nothing to restore.
                ++i;
            } else {
                line.action = Action::Error;
                line.error = tr("unknown option “%1”").arg(argument);
                return line;
            }
            continue;
        }
        // A name after "--" that looks like an address is still a file in the working folder.
        if (onlyFiles && argument.startsWith(QLatin1String("file:")))
            argument.prepend(QLatin1String("./"));
        line.files.append(argument);
    }
    return line;
}

QString CommandLine::usage(const QString &program)
{
    return tr("Usage: %1 [OPTION]... [--] [FILE]...\n"
              "Plain-text notes, saved as you type. Opens each FILE, or a new note on the Desktop.\n"
              "\n"
              "  -h, --help     show this help and exit\n"
              "      --version  show the version and exit\n"
              "      --self-test  check note naming, saving and reading in a temporary folder\n"
              "  --             every argument after this is a file, even one that starts with \"-\"\n")
        .arg(program);
}

QString CommandLine::version()
{
    return tr("Nolt Nolt %1\n").arg(QStringLiteral(NOLTNOLT_VERSION));
}

QString CommandLine::errorText(const QString &program, const QString &error)
{
    return tr("%1: %2\nTo open a file whose name starts with \"-\", put \"--\" before it.\n"
              "Try \"%1 --help\" for more.\n")
        .arg(program, error);
}
