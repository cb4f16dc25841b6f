#pragma once

#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

// Paths of the built app and of the test tool (ctest passes them in the environment).
QString appBinary();
QString noteTool();

// True when the tests run as root and can drop to "nobody" with setpriv, or already run unprivileged:
// permission tests need a user whose permission bits count.
bool canRunUnprivileged();
// Runs program as an unprivileged user (nobody when we are root, ourselves otherwise).
Run runUnprivileged(const QString &program, const QStringList &arguments, const QByteArray &input = {},
                    const QStringList &environment = {});
Run run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
        const QStringList &environment = {});

// Makes a folder and everything in it writable and enterable by everyone, for tests that hand it to nobody.
void openToEveryone(const QString &path);

// Lets pending events and file notifications through, for checks that something did NOT happen.
void settle();
// Another program replaces the file the way most editors do: a new file renamed over it.
void replaceByRename(const QString &path, const QByteArray &content);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
QStringList entries(const QString &folder);
// The message boxes on screen.
QList<QMessageBox *> messageBoxes();
// The permission bits of path (setuid, setgid and sticky included); -1 when it cannot be looked at.
int modeOf(const QString &path);

} // namespace TestSupport
