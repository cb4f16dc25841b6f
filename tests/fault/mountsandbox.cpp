#include "mountsandbox.h"

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int startTimeoutMs = 20000;

// Test folders are QTemporaryDir paths: they hold no quote.
QString quoted(const QString &text)
{
    return u'\'' + text + u'\'';
}

} // namespace

MountSandbox::~MountSandbox()
{
    if (m_holder.state() != QProcess::NotRunning) {
        m_holder.closeWriteChannel(); // the holder ends when its input ends, and the namespace with it
        if (!m_holder.waitForFinished(startTimeoutMs))
            m_holder.kill();
    }
}

bool MountSandbox::start(const QString &setup)
{
    m_holder.start(u"unshare"_s, {::geteuid() == 0 ? u"-m"_s : u"-Urm"_s, u"--propagation"_s, u"private"_s, u"sh"_s,
                                  u"-ec"_s, setup + u"\necho ready\nexec cat >/dev/null"_s});
    if (!m_holder.waitForStarted(startTimeoutMs)) {
        m_reason = u"unshare (util-linux) could not start"_s;
        return false;
    }
    QByteArray out;
    while (!out.contains("ready\n") && m_holder.state() == QProcess::Running &&
           m_holder.waitForReadyRead(startTimeoutMs))
        out += m_holder.readAllStandardOutput();
    out += m_holder.readAllStandardOutput();
    if (!out.contains("ready\n")) {
        m_holder.waitForFinished(startTimeoutMs);
        m_reason = u"the kernel refused a private mount: %1"_s.arg(
            QString::fromLocal8Bit(m_holder.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

QString MountSandbox::startUnwritable(const QString &kind, const QString &folder)
{
    const QString old = u"printf 'old bytes\\n' > %1\n"_s.arg(quoted(folder + u"/note.txt"_s));
    if (kind == u"readonly")
        return start(old + readOnlyBind(folder)) ? u"mount -o remount,bind,rw "_s + quoted(folder) : QString();
    const QString filler = quoted(folder + u"/filler"_s);
    const QString fill = u"dd if=/dev/zero of=%1 bs=4k 2>/dev/null || true\n"_s.arg(filler);
    return start(tmpfs(folder) + old + fill) ? u"rm "_s + filler : QString();
}

QString MountSandbox::view(const QString &path) const
{
    return u"/proc/%1/root%2"_s.arg(m_holder.processId()).arg(path);
}

TestSupport::Run MountSandbox::run(const QStringList &command, const QByteArray &input) const
{
    QStringList enter{u"nsenter"_s, u"-t"_s, QString::number(m_holder.processId())};
    if (::geteuid() != 0) // keep our own credentials: they map to root in there, and setgroups is refused
        enter << u"-U"_s << u"--preserve-credentials"_s;
    enter << u"-m"_s << u"--"_s << command;
    return TestSupport::run(enter.first(), enter.mid(1), input);
}

QString MountSandbox::tmpfs(const QString &folder, const QString &options)
{
    return u"mount -t tmpfs -o %1,mode=0777 tmpfs %2\n"_s.arg(options, quoted(folder));
}

QString MountSandbox::readOnlyBind(const QString &folder)
{
    return u"mount --bind %1 %1\nmount -o remount,bind,ro %1\n"_s.arg(quoted(folder));
}
