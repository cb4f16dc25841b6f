#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

// The event loop as the windows feel it, from its making on: how late a timer that should fire every 20 ms came at
// worst, and how far the process's memory grew at most.
class LoopWatch
{
public:
    LoopWatch();
    qint64 worstLateMs() const { return m_worstLateMs; }
    qint64 peakGrowthMb() const { return (m_peakKb - m_startKb) / 1024; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0, m_worstLateMs = 0, m_startKb = 0, m_peakKb = 0;
};

// Runs the test in a home of its own, set before the application starts: the spelling library reads the user's
// word list folder once per process, and settings, recovered texts and learned words must not reach the real home.
// A desk scale above 0 puts the windows on one 1280x900 screen whose windows have title bars, as on a desktop.
template<class Test> int runInOwnHome(int argc, char **argv, int deskScale = 0)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath(QStringLiteral("state"))));
    if (deskScale > 0) {
        const QString screens = home.filePath(QStringLiteral("screens.json"));
        writeBytes(screens, R"({"windowFrameMargins": true, "screens": [{"name": "desk", "x": 0, "y": 0, "width": 1280,
                                "height": 900, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
        qputenv("QT_SCALE_FACTOR", QByteArray::number(deskScale));
    }
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace TestSupport
