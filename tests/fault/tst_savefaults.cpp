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
#include <unistd.h>

using namespace TestSupport;
using FaultKit::cause;

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

QString report(const Run &result)
{
    return QStringLiteral("exit %1, stderr:\n%2").arg(result.exitCode).arg(QString::fromUtf8(result.err));
}

// A folder holding note.txt with the old bytes.
struct OldNote
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("note.txt"));
    OldNote() { writeBytes(path, oldBytes); }
    Run save(const QByteArray &text, const QStringList &faults) const
    {
        return FaultKit::save(path, text, faults + QStringList{"FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
    }
};

#define QVERIFY_UNCHANGED(before, after)                                                                               \
    QVERIFY2((after).changes(before).isEmpty(), qPrintable((after).describe(before)))

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
        for (auto [name, code] : {std::pair{"EXDEV", EXDEV}, {"EPERM", EPERM}, {"EBUSY", EBUSY}})
            QTest::addRow("rename and linkat: %s", name)
                << QStringList{"FAULT_CALL=rename,linkat", QStringLiteral("FAULT_ERRNO=") + name} << shortText << code;
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
        const OldNote note;
        const FileSnapshot before = FileSnapshot::take(note.path);
        const Run result = note.save(text, faults);
        QCOMPARE(result.exitCode, 1);
        const QStringList trace = FaultKit::traceLines(result.err);
        QVERIFY2(!trace.filter(" injected ").isEmpty(), qPrintable(report(result)));
        // No rename may succeed after a failed step.
        QVERIFY2(trace.filter(QRegularExpression("^faultinject: rename.* = 0$")).isEmpty(), qPrintable(report(result)));
        const QString message = FaultKit::messageLines(result.err);
        QVERIFY2(message.startsWith("Could not save “note.txt” in “" + note.dir.path() + "”: " + cause(code)) &&
                     !message.contains(u'\n'),
                 qPrintable(message));
        QVERIFY_UNCHANGED(before, FileSnapshot::take(note.path));
    }

    void savesDespite_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("shortened"); // at least this many writes were cut short
        QTest::newRow("every write takes half")
            << QStringList{"FAULT_CALL=write", "FAULT_SHORT=1"} << longText(3 * 1024 * 1024) << 4;
        for (const char *errnoName : {"EOPNOTSUPP", "ENOENT", "EISDIR"}) // no O_TMPFILE: file system, NFS, old kernel
            QTest::addRow("O_TMPFILE answers %s", errnoName)
                << QStringList{"FAULT_CALL=open", "FAULT_OPEN_FLAGS=tmpfile",
                               QStringLiteral("FAULT_ERRNO=") + errnoName}
                << shortText << 0;
    }

    void savesDespite()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, text);
        QFETCH(int, shortened);
        const OldNote note;
        const Run result = note.save(text, faults);
        QVERIFY2(result.exitCode == 0, qPrintable(report(result)));
        QVERIFY(FaultKit::traceLines(result.err).filter(" shortened").size() >= shortened);
        QVERIFY(readBytes(note.path) == text);
        QCOMPARE(entries(note.dir.path()), QStringList{"note.txt"});
    }

    void folderSyncFails()
    {
        // After the rename the note holds the new text, but not durably: reported, so the text stays edited.
        const OldNote note;
        const Run result = note.save(shortText, {"FAULT_CALL=fsync", "FAULT_AFTER=1", "FAULT_ERRNO=EIO"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("Could not save “note.txt”"), result.err.constData());
        QCOMPARE(readBytes(note.path), shortText);
        QCOMPARE(entries(note.dir.path()), QStringList{"note.txt"});
    }

    void unwritableDisk_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        // A real full tmpfs: Qt's own save once reported success here with a short text and left 0 bytes.
        QTest::newRow("full disk, short text") << "full" << shortText << cause(ENOSPC);
        QTest::newRow("full disk, long text (40 KiB)") << "full" << longText(40 * 1024) << cause(ENOSPC);
        QTest::newRow("read-only mount") << "readonly" << shortText << cause(EROFS);
        QTest::newRow("immutable file (chattr +i)")
            << "immutable" << shortText << cause(EPERM) + ". The note is locked against changes.";
    }

    void unwritableDisk()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("folder");
        QDir().mkpath(folder);
        const QString note = folder + "/note.txt";
        MountSandbox sandbox;
        const QString makeWritable = sandbox.startUnwritable(kind, folder, dir.path());
        if (makeWritable.isEmpty())
            QSKIP(qPrintable("needs a private mount: " + sandbox.reason()));
        const FileSnapshot before = FileSnapshot::take(sandbox.view(note));

        const Run failed = sandbox.run({noteTool(), "save", note}, text);
        QCOMPARE(failed.exitCode, 1);
        QCOMPARE(QString::fromUtf8(failed.err).trimmed(), "Could not save “note.txt” in “" + folder + "”: " + expected);
        QVERIFY_UNCHANGED(before, FileSnapshot::take(sandbox.view(note)));

        // Writable again: the next save goes through and leaves nothing stray.
        QCOMPARE(sandbox.shell(makeWritable).exitCode, 0);
        const Run saved = sandbox.run({noteTool(), "save", note}, text);
        QVERIFY2(saved.exitCode == 0, saved.err.constData());
        QCOMPARE(readBytes(sandbox.view(note)), text);
        QStringList folderBefore = before.folder();
        folderBefore.removeAll("filler");
        QCOMPARE(FileSnapshot::take(sandbox.view(note)).folder(), folderBefore);
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
        // Chosen: a clear error and nothing written; an in-place write could leave a partial note with no backup.
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
        QVERIFY_UNCHANGED(before, FileSnapshot::take(note));
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
        if (!setup.isEmpty()) {
            const QString script = setup == u"readonly"
                                       ? MountSandbox::readOnlyBind(folder)
                                       : MountSandbox::tmpfs(folder, "size=64k,nr_inodes=4") + "i=0; while touch '" +
                                             folder + "'/f$i 2>/dev/null; do i=$((i+1)); done\n";
            if (!sandbox.start(script))
                QSKIP(qPrintable("needs a private mount: " + sandbox.reason()));
        }
        const QString seen = setup.isEmpty() ? folder : sandbox.view(folder);
        const QStringList before = entries(seen);
        const QStringList command =
            FaultKit::underFaults({noteTool(), "create", folder}, faults + QStringList{"FAULT_PATH_SUBSTR=" + folder});
        const Run result = setup.isEmpty() ? run(command.first(), command.mid(1)) : sandbox.run(command);
        QCOMPARE(result.exitCode, 1);
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + " Note";
        QVERIFY2(result.err.startsWith("Could not create “" + today.toUtf8()) &&
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
        // Bytes synced before their name replaces the note, the folder after: a power cut leaves old or new text.
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

        const QString all = QString::fromUtf8(readBytes(log));
        auto find = [&](const QString &pattern, qsizetype from = 0) {
            return all.indexOf(QRegularExpression(pattern), from);
        };
        const QString quotedNote = QRegularExpression::escape(note);
        const QString quotedFolder = QRegularExpression::escape(folder);
        const QString temp = quotedFolder + "/\\.note\\.txt\\.nolt-[0-9a-z]+\\.tmp";
        const qsizetype synced = operation == u"create" ? find("openat\\(.*\"" + quotedNote + "\", .*O_CREAT\\|O_EXCL")
                                                        : find("fsync\\(\\d+<" + temp + ">\\) = 0");
        QVERIFY2(synced >= 0, qPrintable(all));
        const qsizetype written = operation == u"create"
                                      ? find("fsync\\(\\d+<" + quotedNote + ">\\) = 0", synced)
                                      : find("rename\\w*\\(.*\"" + temp + "\", .*\"" + quotedNote + "\".*= 0", synced);
        QVERIFY2(written >= 0, qPrintable(all));
        QVERIFY2(find("fsync\\(\\d+<" + quotedFolder + ">\\) = 0", written) > written, qPrintable(all));
    }
};

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
