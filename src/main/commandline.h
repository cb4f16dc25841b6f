#pragma once

#include <QString>
#include <QStringList>

// The app's own reading of its arguments. The toolkit is given none of them, so a file named like one of its
// options ("-reverse", "-style") is still a file once it stands after "--".
struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Error
    };

    Action action = Action::Run;
    // The files to open, decoded from the bytes of argv without losing any (see FileNames).
    QStringList files;
    // For Error: what was wrong, in one line.
    QString error;

    static CommandLine parse(int argc, const char *const *argv);
    // The text of --help, of --version, and the lines that follow an error.
    static QString usage(const QString &program);
    static QString version();
    static QString errorText(const QString &program, const QString &error);
};
