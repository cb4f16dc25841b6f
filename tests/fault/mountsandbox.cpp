#include "mountsandbox.h"

#include <unistd.h>

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
    m_holder.start(QStringLiteral("unshare"),
                   {::geteuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-Urm"), QStringLiteral("--propagation"),
                    QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-ec"),
                    setup + QStringLiteral("\necho ready\nexec cat >/dev/null")});
    if (!m_holder.waitForStarted(startTimeoutMs)) {
        m_reason = QStringLiteral("unshare (util-linux) could not start");
        return false;
    }
    QByteArray out;
    while (!out.contains("ready\n") && m_holder.state() == QProcess::Running &&
           m_holder.waitForReadyRead(startTimeoutMs))
        out += m_holder.readAllStandardOutput();
    out += m_holder.readAllStandardOutput();
    if (!out.contains("ready\n")) {
        m_holder.waitForFinished(startTimeoutMs);
        m_reason = QStringLiteral("the kernel refused a private mount: %1")
                       .arg(QString::fromLocal8Bit(m_holder.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

QString MountSandbox::startUnwritable(const QString &kind, const QString &folder)
{
    const QString old =
        QStringLiteral("printf 'old bytes\\n' > %1\n").arg(quoted(folder + QStringLiteral("/note.txt")));
    if (kind == u"readonly")
        return start(old + readOnlyBind(folder)) ? QStringLiteral("mount -o remount,bind,rw ") + quoted(folder)
                                                 : QString();
    const QString filler = quoted(folder + QStringLiteral("/filler"));
    const QString fill = QStringLiteral("dd if=/dev/zero of=%1 bs=4k 2>/dev/null || true\n").arg(filler);
    return start(tmpfs(folder) + old + fill) ? QStringLiteral("rm ") + filler : QString();
}

QString MountSandbox::view(const QString &path) const
{
    return QStringLiteral("/proc/%1/root%2").arg(m_holder.processId()).arg(path);
}

TestSupport::Run MountSandbox::run(const QStringList &command, const QByteArray &input) const
{
    QStringList enter{QStringLiteral("nsenter"), QStringLiteral("-t"), QString::number(m_holder.processId())};
    if (::geteuid() != 0) // keep our own credentials: they map to root in there, and setgroups is refused
        enter << QStringLiteral("-U") << QStringLiteral("--preserve-credentials");
    enter << QStringLiteral("-m") << QStringLiteral("--") << command;
    return TestSupport::run(enter.first(), enter.mid(1), input);
}

QString MountSandbox::tmpfs(const QString &folder, const QString &options)
{
    return QStringLiteral("mount -t tmpfs -o %1,mode=0777 tmpfs %2\n").arg(options, quoted(folder));
}

QString MountSandbox::readOnlyBind(const QString &folder)
{
    return QStringLiteral("mount --bind %1 %1\nmount -o remount,bind,ro %1\n").arg(quoted(folder));
}
