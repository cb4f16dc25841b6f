#pragma once

#include "support/testsupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// A private mount namespace held open by a helper process, so that a test can mount a small tmpfs, a read-only bind
// or a loop-mounted ext4 image, run programs inside it (as root or as nobody), and look at the result from outside
// through /proc/<pid>/root. The mounts vanish with the sandbox. As root it uses `unshare -m`; otherwise
// `unshare -Urm` (root inside a user namespace), where running as nobody inside is not possible.
class MountSandbox
{
    Q_DISABLE_COPY_MOVE(MountSandbox)

public:
    MountSandbox() = default;
    ~MountSandbox();

    // Starts the namespace and runs setup (a POSIX shell script, run with -e) inside it. False when the kernel or
    // the user forbids it; reason() then says why.
    bool start(const QString &setup);
    // Starts with folder/note.txt holding "old bytes\n" where no save can land: "full" (a filled 64 KiB tmpfs) or
    // "readonly" (a read-only bind). Returns the shell line that makes the note writable again, or nothing when the
    // sandbox cannot start (reason() says why).
    QString startUnwritable(const QString &kind, const QString &folder);
    QString reason() const { return m_reason; }

    // path as seen inside the namespace, reachable from the test.
    QString view(const QString &path) const;

    // Runs program inside the namespace, as root there.
    TestSupport::Run run(const QStringList &command, const QByteArray &input = {}) const;

    // Setup snippets.
    static QString tmpfs(const QString &folder, const QString &options = QStringLiteral("size=64k"));
    static QString readOnlyBind(const QString &folder);

private:
    QProcess m_holder;
    QString m_reason;
};
