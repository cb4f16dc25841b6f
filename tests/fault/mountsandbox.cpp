#include "mountsandbox.h"

#include <QStandardPaths>

#include <unistd.h>

namespace {

constexpr int startTimeoutMs = 20000;

QString quoted(const QString &text)
{
    QString result = text;
    result.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + result + u'\'';
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
    for (const char *tool : {"unshare", "nsenter", "mount"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_reason = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
            return false;
        }
    }
    const QStringList unshare =
        ::geteuid() == 0 ? QStringList{QStringLiteral("-m")} : QStringList{QStringLiteral("-Urm")};
    m_holder.start(QStringLiteral("unshare"),
                   unshare + QStringList{QStringLiteral("--propagation"), QStringLiteral("private"),
                                         QStringLiteral("sh"), QStringLiteral("-ec"),
                                         setup + QStringLiteral("\necho ready\nexec cat >/dev/null")});
    if (!m_holder.waitForStarted(startTimeoutMs)) {
        m_reason = QStringLiteral("unshare could not start");
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

QString MountSandbox::startUnwritable(const QString &kind, const QString &folder, const QString &scratch)
{
    const QString note = quoted(folder + QStringLiteral("/note.txt"));
    const QString old = QStringLiteral("printf 'old bytes\\n' > %1\n").arg(note);
    QString setup;
    QString undo;
    if (kind == u"full") {
        const QString filler = quoted(folder + QStringLiteral("/filler"));
        setup = tmpfs(folder) + old + QStringLiteral("dd if=/dev/zero of=%1 bs=4k 2>/dev/null || true\n").arg(filler);
        undo = QStringLiteral("rm ") + filler;
    } else if (kind == u"readonly") {
        setup = old + readOnlyBind(folder);
        undo = QStringLiteral("mount -o remount,bind,rw ") + quoted(folder);
    } else {
        if (QStandardPaths::findExecutable(QStringLiteral("chattr")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("mkfs.ext4")).isEmpty()) {
            m_reason = QStringLiteral("needs chattr and mkfs.ext4 (e2fsprogs)");
            return {};
        }
        // tmpfs has no immutable flag: a small ext4 image, loop-mounted, has.
        setup = ext4Image(scratch + QStringLiteral("/disk.img"), folder) + old + QStringLiteral("chattr +i ") + note +
                u'\n';
        undo = QStringLiteral("chattr -i ") + note;
    }
    return start(setup) ? undo : QString();
}

QString MountSandbox::view(const QString &path) const
{
    return QStringLiteral("/proc/%1/root%2").arg(m_holder.processId()).arg(path);
}

QStringList MountSandbox::enter() const
{
    QStringList command{QStringLiteral("nsenter"), QStringLiteral("-t"), QString::number(m_holder.processId())};
    if (::geteuid() != 0) // keep our own credentials: they map to root in there, and setgroups is refused
        command << QStringLiteral("-U") << QStringLiteral("--preserve-credentials");
    command << QStringLiteral("-m") << QStringLiteral("--");
    return command;
}

bool MountSandbox::canRunUnprivileged() const
{
    return ::geteuid() == 0;
}

TestSupport::Run MountSandbox::run(const QStringList &command, const QByteArray &input, bool unprivileged) const
{
    QStringList full = enter();
    if (unprivileged)
        full << QStringLiteral("setpriv") << QStringLiteral("--reuid=65534") << QStringLiteral("--regid=65534")
             << QStringLiteral("--clear-groups");
    full << command;
    return TestSupport::run(full.first(), full.mid(1), input);
}

TestSupport::Run MountSandbox::shell(const QString &script) const
{
    return run({QStringLiteral("sh"), QStringLiteral("-ec"), script});
}

QString MountSandbox::tmpfs(const QString &folder, const QString &options)
{
    return QStringLiteral("mount -t tmpfs -o %1,mode=0777 tmpfs %2\n").arg(options, quoted(folder));
}

QString MountSandbox::readOnlyBind(const QString &folder)
{
    return QStringLiteral("mount --bind %1 %1\nmount -o remount,bind,ro %1\n").arg(quoted(folder));
}

QString MountSandbox::ext4Image(const QString &image, const QString &folder, int sizeKiB)
{
    return QStringLiteral(
               "truncate -s %1K %2\nmkfs.ext4 -q -F -O ^has_journal %2\nmount -o loop %2 %3\nchmod 0777 %3\n")
        .arg(sizeKiB)
        .arg(quoted(image), quoted(folder));
}
