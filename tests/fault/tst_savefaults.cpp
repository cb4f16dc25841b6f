// Saves and new notes under failing calls, full and read-only file systems, locked folders and files: every failure
// is one error naming the file, and the note, its metadata and its folder stay exactly as they were.
#include "faultkit.h"
#include "filesnapshot.h"
#include "mountsandbox.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace TestSupport;

namespace {

const QByteArray oldBytes = QByteArrayLiteral("old bytes\n");
const QByteArray shortText = QByteArrayLiteral("new");

QByteArray longText(int size)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + QByteArray::number(line) + " of a long note that keeps going\n";
    return text;
}

QString cause(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString todayNote()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(" Note");
}

// No rename may succeed after a failed step: the trace shows every rename the save made.
bool renamed(const QByteArray &err)
{
    return !FaultKit::traceLines(err)
                .filter(QRegularExpression(QStringLiteral("^faultinject: rename.* = 0$")))
                .isEmpty();
}

QString report(const Run &result)
{
    return QStringLiteral("exit %1, stderr:\n%2").arg(result.exitCode).arg(QString::fromUtf8(result.err));
}

} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (FaultKit::faultLibrary().isEmpty())
            QSKIP("run through ctest, which names the fault library");
    }

    // A failing call anywhere before the rename: the save fails naming the note and the cause, and nothing changes.
    void failedCall_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("code");
        const QByteArray longer = longText(1536 * 1024);
        QTest::newRow("full disk: write, short text")
            << QStringList{"FAULT_CALL=write", "FAULT_ERRNO=ENOSPC"} << shortText << ENOSPC;
        QTest::newRow("full disk: second write of a long text")
            << QStringList{"FAULT_CALL=write", "FAULT_AFTER=1", "FAULT_ERRNO=ENOSPC"} << longer << ENOSPC;
        QTest::newRow("fsync: EIO") << QStringList{"FAULT_CALL=fsync", "FAULT_ERRNO=EIO"} << shortText << EIO;
        QTest::newRow("fsync: ENOSPC") << QStringList{"FAULT_CALL=fsync", "FAULT_ERRNO=ENOSPC"} << shortText << ENOSPC;
        QTest::newRow("fsync and fdatasync: EIO")
            << QStringList{"FAULT_CALL=fsync,fdatasync", "FAULT_ERRNO=EIO"} << longer << EIO;
        QTest::newRow("rename and linkat: EXDEV")
            << QStringList{"FAULT_CALL=rename,linkat", "FAULT_ERRNO=EXDEV"} << shortText << EXDEV;
        QTest::newRow("rename and linkat: EPERM")
            << QStringList{"FAULT_CALL=rename,linkat", "FAULT_ERRNO=EPERM"} << shortText << EPERM;
        QTest::newRow("rename and linkat: EBUSY")
            << QStringList{"FAULT_CALL=rename,linkat", "FAULT_ERRNO=EBUSY"} << shortText << EBUSY;
        QTest::newRow("close: EIO") << QStringList{"FAULT_CALL=close", "FAULT_ERRNO=EIO"} << shortText << EIO;
        QTest::newRow("close: EDQUOT") << QStringList{"FAULT_CALL=close", "FAULT_ERRNO=EDQUOT"} << longer << EDQUOT;
        QTest::newRow("temporary cannot be created: EIO")
            << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=creat", "FAULT_ERRNO=EIO"} << shortText << EIO;
    }

    void failedCall()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, text);
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const FileSnapshot before = FileSnapshot::take(note);

        const Run result =
            FaultKit::save(note, text, faults + QStringList{"FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(FaultKit::traceLines(result.err).filter(" injected ").size() >= 1, qPrintable(report(result)));
        const QString message = FaultKit::messageLines(result.err);
        QVERIFY2(message.startsWith("Could not save “note.txt” in “" + dir.path() + "”: " + cause(code)),
                 qPrintable(message));
        QVERIFY2(!message.contains(u'\n'), qPrintable(message));
        QVERIFY2(!renamed(result.err), qPrintable(report(result)));
        const FileSnapshot after = FileSnapshot::take(note);
        QVERIFY2(after.changes(before).isEmpty(), qPrintable(after.describe(before)));
    }

    void shortWrites()
    {
        // Every write takes only half of what it is given: the save still puts down the whole text.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const QByteArray text = longText(3 * 1024 * 1024);
        const Run result = FaultKit::save(
            note, text, {"FAULT_CALL=write", "FAULT_SHORT=1", "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
        QVERIFY2(result.exitCode == 0, qPrintable(report(result)));
        QVERIFY(FaultKit::traceLines(result.err).filter(" shortened").size() > 3);
        QVERIFY(readBytes(note) == text);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void folderSyncFails()
    {
        // The rename has happened, so the note holds the whole new text, but the save is not known to be durable:
        // it is reported, so that the text stays marked edited and is saved again.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const QStringList before = entries(dir.path());
        const Run result =
            FaultKit::save(note, shortText,
                           {"FAULT_CALL=fsync", "FAULT_AFTER=1", "FAULT_ERRNO=EIO", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("Could not save “note.txt”"), result.err.constData());
        QCOMPARE(readBytes(note), shortText);
        QCOMPARE(entries(dir.path()), before);
    }

    void tmpfileUnsupported_data()
    {
        QTest::addColumn<QString>("errnoName");
        QTest::newRow("EOPNOTSUPP (file system without O_TMPFILE)") << "EOPNOTSUPP";
        QTest::newRow("ENOENT (as network file systems answer)") << "ENOENT";
        QTest::newRow("EISDIR (kernels before O_TMPFILE)") << "EISDIR";
    }

    void tmpfileUnsupported()
    {
        // Saves write a named temporary, so a file system without O_TMPFILE saves like any other.
        QFETCH(QString, errnoName);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const Run result = FaultKit::save(note, shortText,
                                          {"FAULT_CALL=open", "FAULT_OPEN_FLAGS=tmpfile", "FAULT_ERRNO=" + errnoName,
                                           "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
        QVERIFY2(result.exitCode == 0, qPrintable(report(result)));
        QCOMPARE(readBytes(note), shortText);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void fullDisk_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("short text") << shortText;
        QTest::newRow("long text (40 KiB)") << longText(40 * 1024);
    }

    void fullDisk()
    {
        // A real full tmpfs: the failure must come from the write itself, not just from our own injected one.
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString mount = dir.filePath("disk");
        QDir().mkpath(mount);
        MountSandbox sandbox;
        if (!sandbox.start(MountSandbox::tmpfs(mount)))
            QSKIP(qPrintable("needs a private 64 KiB tmpfs: " + sandbox.reason()));
        const QString note = mount + "/note.txt";
        QCOMPARE(sandbox
                     .shell("printf 'old bytes\\n' > '" + note + "'; dd if=/dev/zero of='" + mount +
                            "/filler' bs=4k 2>/dev/null || true")
                     .exitCode,
                 0);
        const FileSnapshot before = FileSnapshot::take(sandbox.view(note));

        const Run failed = sandbox.run({noteTool(), "save", note}, text);
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(
            failed.err.startsWith("Could not save “note.txt” in “" + mount.toUtf8() + "”: " + cause(ENOSPC).toUtf8()),
            failed.err.constData());
        FileSnapshot after = FileSnapshot::take(sandbox.view(note));
        QVERIFY2(after.changes(before).isEmpty(), qPrintable(after.describe(before)));

        // Once there is room again, the next save goes through.
        QCOMPARE(sandbox.shell("rm '" + mount + "/filler'").exitCode, 0);
        const Run saved = sandbox.run({noteTool(), "save", note}, text);
        QVERIFY2(saved.exitCode == 0, saved.err.constData());
        QCOMPARE(readBytes(sandbox.view(note)), text);
        QCOMPARE(FileSnapshot::take(sandbox.view(note)).folder(), QStringList{"note.txt"});
    }

    void lockedFolder_data()
    {
        QTest::addColumn<QString>("folderMode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder 0555, note 0666") << "0555" << cause(EACCES) + ". The folder does not allow new files";
        QTest::newRow("sticky folder 1777, note of another user")
            << "1777" << cause(EPERM) + ". In this folder only a file's owner may replace it";
    }

    void lockedFolder()
    {
        // The note is writable but cannot be replaced. Chosen behaviour: a clear error, and nothing is written;
        // an in-place write could leave a partial note with nowhere to keep a backup.
        QFETCH(QString, folderMode);
        QFETCH(QString, expected);
        if (::geteuid() != 0 || !canRunUnprivileged())
            QSKIP("needs root to hand the note to another user and setpriv to save as nobody");
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("folder");
        QDir().mkpath(folder);
        const QString note = folder + "/note.txt";
        writeBytes(note, oldBytes);
        QCOMPARE(run("chmod", {"0666", note}).exitCode, 0);
        QCOMPARE(run("chmod", {folderMode, folder}).exitCode, 0);
        const FileSnapshot before = FileSnapshot::take(note);

        const Run result = FaultKit::save(note, shortText, {}, true);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("Could not save “note.txt” in “" + folder.toUtf8() + "”: " + expected.toUtf8()),
                 result.err.constData());
        const FileSnapshot after = FileSnapshot::take(note);
        QVERIFY2(after.changes(before).isEmpty(), qPrintable(after.describe(before)));
    }

    void readOnlyOrImmutable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("read-only mount") << "readonly" << cause(EROFS);
        QTest::newRow("immutable file (chattr +i)")
            << "immutable" << cause(EPERM) + ". The note is locked against changes.";
    }

    void readOnlyOrImmutable()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("folder");
        QDir().mkpath(folder);
        const QString note = folder + "/note.txt";
        MountSandbox sandbox;
        if (kind == u"readonly") {
            writeBytes(note, oldBytes);
            if (!sandbox.start(MountSandbox::readOnlyBind(folder)))
                QSKIP(qPrintable("needs a private read-only bind mount: " + sandbox.reason()));
        } else {
            if (QStandardPaths::findExecutable("chattr").isEmpty() ||
                QStandardPaths::findExecutable("mkfs.ext4").isEmpty())
                QSKIP("needs chattr and mkfs.ext4 (e2fsprogs)");
            // tmpfs has no immutable flag: a small ext4 image, loop-mounted, has.
            if (!sandbox.start(MountSandbox::ext4Image(dir.filePath("disk.img"), folder) + "printf 'old bytes\\n' > '" +
                               note + "'\nchattr +i '" + note + "'\n"))
                QSKIP(qPrintable("needs a loop-mounted ext4 image for chattr +i: " + sandbox.reason()));
        }
        const FileSnapshot before = FileSnapshot::take(sandbox.view(note));
        QCOMPARE(readBytes(sandbox.view(note)), oldBytes);

        const Run result = sandbox.run({noteTool(), "save", note}, shortText);
        QCOMPARE(result.exitCode, 1);
        const QString message = QString::fromUtf8(result.err).trimmed();
        QCOMPARE(message, "Could not save “note.txt” in “" + folder + "”: " + expected);
        const FileSnapshot after = FileSnapshot::take(sandbox.view(note));
        QVERIFY2(after.changes(before).isEmpty(), qPrintable(after.describe(before)));
        if (kind == u"immutable")
            sandbox.shell("chattr -i '" + note + "'");
    }

    void newNoteFails_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("code");
        QTest::newRow("read-only folder (mount)") << "readonly" << QStringList{} << EROFS;
        QTest::newRow("full disk: no inodes left") << "noinodes" << QStringList{} << ENOSPC;
        QTest::newRow("full disk: create refused")
            << "" << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=creat", "FAULT_ERRNO=ENOSPC"} << ENOSPC;
        QTest::newRow("fsync of the new note fails") << "" << QStringList{"FAULT_CALL=fsync", "FAULT_ERRNO=EIO"} << EIO;
        QTest::newRow("close of the new note fails: EDQUOT")
            << "" << QStringList{"FAULT_CALL=close", "FAULT_ERRNO=EDQUOT"} << EDQUOT;
        QTest::newRow("folder fsync fails")
            << "" << QStringList{"FAULT_CALL=fsync", "FAULT_AFTER=1", "FAULT_ERRNO=EIO"} << EIO;
    }

    void newNoteFails()
    {
        // A new note that cannot be made durable is not left behind as an empty file.
        QFETCH(QString, setup);
        QFETCH(QStringList, faults);
        QFETCH(int, code);
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("Desktop");
        QDir().mkpath(folder);
        writeBytes(folder + "/other.txt", oldBytes);
        MountSandbox sandbox;
        QString seen = folder;
        const QStringList command =
            FaultKit::underFaults({noteTool(), "create", folder}, faults + QStringList{"FAULT_PATH_SUBSTR=" + folder});
        Run result;
        QStringList before;
        if (setup.isEmpty()) {
            before = entries(folder);
            result = run(command.first(), command.mid(1));
        } else {
            const QString script = setup == u"readonly"
                                       ? MountSandbox::readOnlyBind(folder)
                                       : MountSandbox::tmpfs(folder, "size=64k,nr_inodes=4") + "i=0; while touch '" +
                                             folder + "'/f$i 2>/dev/null; do i=$((i+1)); done\n";
            if (!sandbox.start(script))
                QSKIP(qPrintable("needs a private mount: " + sandbox.reason()));
            seen = sandbox.view(folder);
            before = entries(seen);
            result = sandbox.run(command);
        }
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("Could not create “" + todayNote().toUtf8()) &&
                     result.err.contains("” in “" + folder.toUtf8() + "”: " + cause(code).toUtf8()),
                 result.err.constData());
        QCOMPARE(entries(seen), before);
    }

    void durabilityOrder_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("save over a note") << "save";
        QTest::newRow("save of a missing note") << "save-new";
        QTest::newRow("create a new note") << "create";
    }

    void durabilityOrder()
    {
        // The new bytes are synced before their name replaces the note, and the folder after, so a power cut
        // leaves the old or the new text, and a new note's name survives too.
        QFETCH(QString, operation);
        if (QStandardPaths::findExecutable("strace").isEmpty())
            QSKIP("needs strace");
        QTemporaryDir dir;
        const QString folder = dir.filePath("notes");
        QDir().mkpath(folder);
        QString note = folder + "/note.txt";
        if (operation == u"save")
            writeBytes(note, oldBytes);
        const QString log = dir.filePath("strace.log");
        const QStringList args = operation == u"create" ? QStringList{"create", folder} : QStringList{"save", note};
        const Run result = run("strace",
                               QStringList{"-f", "-y", "-qq", "-o", log, "-e",
                                           "trace=%file,fsync,fdatasync,rename,renameat,renameat2", noteTool()} +
                                   args,
                               shortText);
        if (result.exitCode != 0 && result.err.contains("ptrace"))
            QSKIP(qPrintable("strace cannot trace here: " + result.err));
        QVERIFY2(result.exitCode == 0, result.err.constData());
        if (operation == u"create")
            note = QString::fromUtf8(result.out.trimmed());

        const QStringList lines = QString::fromUtf8(readBytes(log)).split(u'\n');
        auto find = [&](const QRegularExpression &pattern, int from = 0) {
            for (int i = from; i < lines.size(); ++i) {
                if (pattern.match(lines.at(i)).hasMatch())
                    return i;
            }
            return -1;
        };
        const QString quotedNote = QRegularExpression::escape(note);
        const QString quotedFolder = QRegularExpression::escape(folder);
        int written = -1;
        if (operation == u"create") {
            const int created = find(QRegularExpression("openat\\(.*\"" + quotedNote + "\", .*O_CREAT\\|O_EXCL"));
            QVERIFY2(created >= 0, qPrintable(lines.join(u'\n')));
            written = find(QRegularExpression("fsync\\(\\d+<" + quotedNote + ">\\) = 0"), created);
        } else {
            const QString temp = quotedFolder + "/\\.note\\.txt\\.nolt-[0-9a-z]+\\.tmp";
            const int synced = find(QRegularExpression("fsync\\(\\d+<" + temp + ">\\) = 0"));
            QVERIFY2(synced >= 0, qPrintable(lines.join(u'\n')));
            written =
                find(QRegularExpression("rename\\w*\\(.*\"" + temp + "\", .*\"" + quotedNote + "\".*= 0"), synced);
        }
        QVERIFY2(written >= 0, qPrintable(lines.join(u'\n')));
        const int folderSynced = find(QRegularExpression("fsync\\(\\d+<" + quotedFolder + ">\\) = 0"), written);
        QVERIFY2(folderSynced > written, qPrintable(lines.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
