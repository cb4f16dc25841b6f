// What the user set up around a note survives a save: symbolic links stay links and their targets get the text,
// hard links all show the new text, and mode, owner, group, extended attributes and ACLs stay.
#include "faultkit.h"
#include "filesnapshot.h"
#include "mountsandbox.h"

#include "framework/error.h"
#include "storage/textfiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using FaultKit::cause;

namespace {

const QByteArray oldBytes = QByteArrayLiteral("old bytes of the note\n");
const QByteArray newText = QByteArrayLiteral("new text\n");

// Lays out "file:NAME", "dir:NAME" and "link:NAME->TARGET" entries; "$DIR" in a target is the folder itself.
void layOut(const QString &folder, const QStringList &items)
{
    for (const QString &item : items) {
        const QString kind = item.section(u':', 0, 0);
        const QString rest = item.section(u':', 1);
        if (kind == u"file") {
            writeBytes(QDir(folder).filePath(rest), oldBytes);
        } else if (kind == u"dir") {
            QDir().mkpath(QDir(folder).filePath(rest));
        } else {
            const QString name = rest.section(QStringLiteral("->"), 0, 0);
            QString target = rest.section(QStringLiteral("->"), 1);
            target.replace(QStringLiteral("$DIR"), folder);
            QVERIFY(::symlink(QFile::encodeName(target).constData(),
                              QFile::encodeName(QDir(folder).filePath(name)).constData()) == 0);
        }
    }
}

// Snapshots of every name in the folder and its subfolders.
QMap<QString, FileSnapshot> snapshots(const QString &folder)
{
    QMap<QString, FileSnapshot> result;
    for (const QString &name : entries(folder)) {
        const QString path = QDir(folder).filePath(name);
        result.insert(name, FileSnapshot::take(path));
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()) {
            const auto inner = snapshots(path);
            for (auto it = inner.cbegin(); it != inner.cend(); ++it)
                result.insert(name + u'/' + it.key(), it.value());
        }
    }
    return result;
}

} // namespace

class TestSaveMetadata : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void symbolicLinks_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("code"); // of the error, and then nothing may change
        QTest::newRow("relative link") << QStringList{"file:real.txt", "link:note.txt->real.txt"} << "real.txt" << 0;
        QTest::newRow("absolute link") << QStringList{"file:real.txt", "link:note.txt->$DIR/real.txt"} << "real.txt"
                                       << 0;
        QTest::newRow("link into a subfolder")
            << QStringList{"dir:notes", "file:notes/real.txt", "link:note.txt->notes/real.txt"} << "notes/real.txt"
            << 0;
        QTest::newRow("chain of links") << QStringList{"dir:sub", "file:real.txt", "link:note.txt->a.txt",
                                                       "link:a.txt->sub/b.txt", "link:sub/b.txt->../real.txt"}
                                        << "real.txt" << 0;
        QTest::newRow("dangling link: the target is created")
            << QStringList{"link:note.txt->real.txt"} << "real.txt" << 0;
        QTest::newRow("loop: an error") << QStringList{"link:note.txt->a.txt", "link:a.txt->note.txt"} << "" << ELOOP;
        QTest::newRow("link to a missing folder: an error")
            << QStringList{"link:note.txt->missing/real.txt"} << "" << ENOENT;
    }

    void symbolicLinks()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, target);
        QFETCH(int, code);
        QTemporaryDir dir;
        layOut(dir.path(), layout);
        const auto before = snapshots(dir.path());
        try {
            TextFiles::save(QString::fromUtf8(newText), QUrl::fromLocalFile(dir.filePath("note.txt")));
            QCOMPARE(code, 0);
            QCOMPARE(readBytes(dir.filePath(target)), newText);
        } catch (const Error &error) {
            QCOMPARE(error.code(), code);
            QVERIFY2(error.description().contains(cause(code)), qPrintable(error.description()));
        }
        const auto after = snapshots(dir.path());
        // Nothing appears but a target that did not exist, so no temporary is left either.
        QCOMPARE(after.size(), before.size() + (target.isEmpty() || before.contains(target) ? 0 : 1));
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (!before.contains(it.key())) {
                QCOMPARE(it.key(), target);
                const mode_t mask = ::umask(0);
                ::umask(mask);
                struct stat info
                {};
                QCOMPARE(::stat(QFile::encodeName(dir.filePath(target)).constData(), &info), 0);
                QCOMPARE(info.st_mode & 07777, 0666 & ~mask); // a new target gets the usual mode
                continue;
            }
            QStringList changes = it.value().changes(before.value(it.key()));
            changes.removeAll(QStringLiteral("folder")); // counted above
            const QStringList expected = it.key() == target ? QStringList{"content", "inode"} : QStringList{};
            QVERIFY2(changes == expected, qPrintable(it.key() + ": " + it.value().describe(before.value(it.key()))));
        }
    }

    void linkIntoAnotherFileSystem()
    {
        // The temporary goes beside the target, on the target's file system, so the rename stays atomic.
        QTemporaryDir dir;
        const QString mount = dir.filePath("other");
        QDir().mkpath(mount);
        MountSandbox sandbox;
        if (!sandbox.start(MountSandbox::tmpfs(mount, "size=1m") + "printf 'old\\n' > '" + mount + "/real.txt'\n"))
            QSKIP(qPrintable("needs a private tmpfs mount: " + sandbox.reason()));
        layOut(dir.path(), {"link:note.txt->" + mount + "/real.txt"});
        const FileSnapshot link = FileSnapshot::take(dir.filePath("note.txt"));

        const Run result = sandbox.run({noteTool(), "save", dir.filePath("note.txt")}, newText);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(readBytes(sandbox.view(mount + "/real.txt")), newText);
        QCOMPARE(FileSnapshot::take(dir.filePath("note.txt")).changes(link), QStringList{});
        QCOMPARE(entries(sandbox.view(mount)), QStringList{"real.txt"});
    }

    void hardLinks()
    {
        // Rewritten in place rather than replaced, so both names show the new text.
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("elsewhere"));
        const QString note = dir.filePath("note.txt");
        const QString other = dir.filePath("elsewhere/other name.txt");
        writeBytes(note, oldBytes);
        QVERIFY(::link(QFile::encodeName(note).constData(), QFile::encodeName(other).constData()) == 0);
        QVERIFY(QFile::setPermissions(note, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const FileSnapshot before = FileSnapshot::take(note);

        for (const QByteArray &text : {newText, QByteArray(100000, 'x'), QByteArray("short")}) {
            TextFiles::save(QString::fromUtf8(text), QUrl::fromLocalFile(note));
            QCOMPARE(readBytes(note), text);
            QCOMPARE(readBytes(other), text);
            const FileSnapshot after = FileSnapshot::take(note);
            QVERIFY2(after.changes(before) == QStringList{"content"}, qPrintable(after.describe(before)));
        }
    }

    void hardLinkFailures_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("backupKept");
        QTest::newRow("rewrite fails, the old text is put back")
            << QStringList{"FAULT_CALL=write", "FAULT_TIMES=1", "FAULT_ERRNO=EIO"} << false;
        QTest::newRow("rewrite and putting back fail: the backup is kept and named")
            << QStringList{"FAULT_CALL=write", "FAULT_ERRNO=EIO"} << true;
        QTest::newRow("sync of the rewrite fails")
            << QStringList{"FAULT_CALL=fsync", "FAULT_TIMES=1", "FAULT_ERRNO=EIO"} << false;
    }

    void hardLinkFailures()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, backupKept);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        QVERIFY(::link(QFile::encodeName(note).constData(), QFile::encodeName(dir.filePath("other.txt")).constData()) ==
                0);
        const QStringList before = entries(dir.path());

        // Only calls on the note itself fail; its backup is written normally.
        const Run result = FaultKit::save(note, newText, faults + QStringList{"FAULT_PATH_SUBSTR=" + note});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(
            result.err.startsWith("Could not save “note.txt” in “" + dir.path().toUtf8() + "”: " + cause(EIO).toUtf8()),
            result.err.constData());
        const QStringList added = FaultKit::added(before, entries(dir.path()));
        if (backupKept) {
            QCOMPARE(added.size(), 1);
            QVERIFY(result.err.contains("Its previous text is kept in “" + added.first().toUtf8() + "”"));
            QCOMPARE(readBytes(dir.filePath(added.first())), oldBytes);
        } else {
            QCOMPARE(added, QStringList{});
            QCOMPARE(readBytes(note), oldBytes);
            QCOMPARE(readBytes(dir.filePath("other.txt")), oldBytes);
        }
    }

    void hardLinkOnFullDisk()
    {
        // A longer text does not fit: the old text is put back where it was, in both names.
        QTemporaryDir dir;
        const QString mount = dir.filePath("disk");
        QDir().mkpath(mount);
        MountSandbox sandbox;
        if (!sandbox.start(MountSandbox::tmpfs(mount)))
            QSKIP(qPrintable("needs a private 64 KiB tmpfs: " + sandbox.reason()));
        const QString note = mount + "/note.txt";
        QCOMPARE(sandbox
                     .shell("printf 'old bytes of the note\\n' > '" + note + "'; ln '" + note + "' '" + mount +
                            "/other.txt'; dd if=/dev/zero of='" + mount + "/filler' bs=4k count=13 2>/dev/null")
                     .exitCode,
                 0);
        const FileSnapshot before = FileSnapshot::take(sandbox.view(note));

        const Run result = sandbox.run({noteTool(), "save", note}, QByteArray(32 * 1024, 'x'));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(cause(ENOSPC).toUtf8()), result.err.constData());
        const FileSnapshot after = FileSnapshot::take(sandbox.view(note));
        QVERIFY2(after.changes(before).isEmpty(), qPrintable(after.describe(before)));
        QCOMPARE(readBytes(sandbox.view(mount + "/other.txt")), oldBytes);
    }

    void metadataSurvives_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::newRow("mode 0600") << QStringList{"chmod 0600 NOTE"};
        QTest::newRow("mode 0640 with setgid") << QStringList{"chmod 2640 NOTE"};
        QTest::newRow("owner and group 1234:1234") << QStringList{"chown 1234:1234 NOTE"};
        QTest::newRow("extended attributes (user.*)")
            << QStringList{"setfattr -n user.comment -v hello NOTE", "setfattr -n user.tag -v 0x00ff NOTE"};
        QTest::newRow("ACL") << QStringList{"setfacl -m u:1234:rw,g:4321:r NOTE"};
        QTest::newRow("all together") << QStringList{"chown 1234:1234 NOTE", "chmod 0620 NOTE",
                                                     "setfattr -n user.comment -v hello NOTE",
                                                     "setfacl -m u:4321:r NOTE"};
    }

    void metadataSurvives()
    {
        QFETCH(QStringList, setup);
        if (::geteuid() != 0 && setup.join(u' ').contains(u"chown"))
            QSKIP("needs root to give the note another owner and group");
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        for (const QString &line : setup) {
            QStringList words = line.split(u' ');
            words.replaceInStrings(QStringLiteral("NOTE"), note);
            if (QStandardPaths::findExecutable(words.first()).isEmpty())
                QSKIP(qPrintable("needs " + words.first()));
            const Run made = run(words.first(), words.mid(1));
            if (made.exitCode != 0)
                QSKIP(qPrintable("this file system refuses \"" + line + "\": " + made.err));
        }
        const FileSnapshot before = FileSnapshot::take(note);

        TextFiles::save(QString::fromUtf8(newText), QUrl::fromLocalFile(note));

        QCOMPARE(readBytes(note), newText);
        const FileSnapshot after = FileSnapshot::take(note);
        QVERIFY2(after.changes(before) == (QStringList{"content", "inode"}), qPrintable(after.describe(before)));
    }
};

QTEST_GUILESS_MAIN(TestSaveMetadata)
#include "tst_savemetadata.moc"
