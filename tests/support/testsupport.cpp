#include "testsupport.h"

#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TestSupport {

namespace {

constexpr int runTimeoutMs = 60000;
const QStringList dropToNobody = {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};

} // namespace

QString appBinary()
{
    return qEnvironmentVariable("NOLTNOLT_BINARY", QStringLiteral(NOLTNOLT_TEST_BINARY_DIR "/bin/noltnolt"));
}

QString noteTool()
{
    return qEnvironmentVariable("NOLTNOLT_NOTETOOL", QStringLiteral(NOLTNOLT_TEST_BINARY_DIR "/tests/notetool"));
}

Run run(const QString &program, const QStringList &arguments, const QByteArray &input, const QStringList &environment)
{
    QProcess process;
    QStringList env = QProcess::systemEnvironment();
    env << environment;
    process.setEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(runTimeoutMs))
        return result;
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(runTimeoutMs);
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool canRunUnprivileged()
{
    if (::geteuid() != 0)
        return true;
    return !QStandardPaths::findExecutable(u"setpriv"_s).isEmpty() &&
           run(u"setpriv"_s, dropToNobody + QStringList{u"true"_s}).exitCode == 0;
}

Run runUnprivileged(const QString &program, const QStringList &arguments, const QByteArray &input,
                    const QStringList &environment)
{
    if (::geteuid() != 0)
        return run(program, arguments, input, environment);
    return run(u"setpriv"_s, dropToNobody + QStringList{program} + arguments, input, environment);
}

void openToEveryone(const QString &path)
{
    QFile::setPermissions(path, QFileDevice::Permissions(0x7777));
}

QByteArray readBytes(const QString &path)
{
    QByteArray bytes;
    return PosixFile::readAll(FileNames::encodeName(path), bytes) == 0 ? bytes : QByteArrayLiteral("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(FileNames::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    PosixFile::writeAll(fd, bytes.constData(), bytes.size());
    ::close(fd);
}

void settle()
{
    QTest::qWait(150);
}

void replaceByRename(const QString &path, const QByteArray &content)
{
    writeBytes(path + u".other"_s, content);
    ::rename(FileNames::encodeName(path + u".other"_s).constData(), FileNames::encodeName(path).constData());
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QList<QMessageBox *> messageBoxes()
{
    QList<QMessageBox *> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            found.append(box);
    return found;
}

LoopWatch::LoopWatch()
{
    constexpr int intervalMs = 20;
    const auto residentKb = [] {
        QFile statm(u"/proc/self/statm"_s);
        return statm.open(QIODevice::ReadOnly)
                   ? statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE) / 1024
                   : 0;
    };
    m_startKb = m_peakKb = residentKb();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, residentKb] {
        const qint64 now = m_clock.elapsed();
        m_worstLateMs = std::max(m_worstLateMs, now - m_lastMs - intervalMs);
        m_lastMs = now;
        m_peakKb = std::max(m_peakKb, residentKb());
    });
    m_clock.start();
    m_timer.start();
}

int modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(FileNames::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace TestSupport
