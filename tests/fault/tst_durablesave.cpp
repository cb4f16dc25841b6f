// Saves and new notes under failing calls, kills, full and read-only disks, links and metadata: every failure is one
// error naming the file, and the note keeps its old or its new complete text, with everything around it.
#include "faultkit.h"
#include "filesnapshot.h"
#include "mountsandbox.h"

#include "framework/error.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"

#include <QDate>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
using FaultKit::cause;
using FaultKit::failing;

namespace {

const QByteArray oldBytes = QByteArrayLiteral("old bytes\n");
const QByteArray shortText = QByteArrayLiteral("new");

QByteArray longText(int size, int number = 0)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line)
        text += "line " + QByteArray::number(line) + " of text " + QByteArray::number(number) + " that goes on\n";
    return text;
}

QStringList strays(const QString &folder)
{
    QStringList names = entries(folder);
    names.removeAll(QStringLiteral("note.txt"));
    names.removeAll(QStringLiteral("other name.txt"));
    return names;
}

bool isTemporary(const QString &name)
{
    return QRegularExpression(QStringLiteral("^\\..+\\.tmp$")).match(name).hasMatch();
}

void hardLink(const QString &from, const QString &to)
{
    QVERIFY(::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0);
}

#define QVERIFY_UNCHANGED(before, after)                                                                               \
    QVERIFY2((after).changes(before).isEmpty(), qPrintable((after).describe(before)))

} // namespace

class TestDurableSave : public QObject
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
        QTest::newRow("write: full disk") << failing("write", ENOSPC) << shortText << ENOSPC;
        QTest::newRow("second write of a long text") << failing("write", ENOSPC, 1) << longText(1536 * 1024) << ENOSPC;
        QTest::newRow("fsync of the temporary") << failing("fsync", EIO) << shortText << EIO;
        QTest::newRow("rename") << failing("rename,link", EXDEV) << shortText << EXDEV;
        QTest::newRow("close: quota") << failing("close", EDQUOT) << shortText << EDQUOT;
        QTest::newRow("temporary cannot be created") << failing("open", EIO) << shortText << EIO;
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
        // The library really saw the call, and no rename went through after it.
        const QStringList trace = FaultKit::traceLines(result.err);
        QVERIFY2(!trace.filter(" injected ").isEmpty(), result.err.constData());
        QVERIFY2(trace.filter(QRegularExpression("^faultinject: rename.* = 0$")).isEmpty(), result.err.constData());
        const QString message = FaultKit::messageLines(result.err);
        QVERIFY2(message.startsWith("Could not save “note.txt” in “" + dir.path() + "”: " + cause(code)) &&
                     !message.contains(u'\n'),
                 qPrintable(message));
        QVERIFY_UNCHANGED(before, FileSnapshot::take(note));
    }

    void shortWritesAndFolderSync()
    {
        // Every write takes half: the save still writes it all.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const QByteArray text = longText(3 * 1024 * 1024);
        const Run cut = FaultKit::save(note, text, {"FAULT_CALL=write", "FAULT_SHORT=1", "FAULT_TRACE=1"});
        QVERIFY2(cut.exitCode == 0, cut.err.constData());
        QVERIFY(FaultKit::traceLines(cut.err).filter(" shortened").size() >= 4);
        QVERIFY(readBytes(note) == text);
        // The folder sync fails after the rename: the text is there but not durable, so the save is reported.
        const Run unsynced =
            FaultKit::save(note, shortText, failing("fsync", EIO, 1) << "FAULT_PATH_SUBSTR=" + dir.path());
        QCOMPARE(unsynced.exitCode, 1);
        QVERIFY2(unsynced.err.contains("Could not save “note.txt”"), unsynced.err.constData());
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void unwritableDisk_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        // A real full tmpfs: Qt's own save once reported success here with a short text and left 0 bytes.
        QTest::newRow("full disk, short text") << "full" << shortText << cause(ENOSPC);
        QTest::newRow("full disk, long text") << "full" << longText(40 * 1024) << cause(ENOSPC);
        QTest::newRow("read-only mount") << "readonly" << shortText << cause(EROFS);
        QTest::newRow("immutable file") << "immutable" << shortText
                                        << cause(EPERM) + ". The note is locked against changes.";
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
        QTest::newRow("folder 0555") << "0555" << cause(EACCES) + ". The folder does not allow new files";
        QTest::newRow("sticky folder, another user's note")
            << "1777" << cause(EPERM) + ". In this folder only a file's owner may replace it";
    }

    void lockedFolder()
    {
        // A clear error and nothing written; an in-place write could leave a partial note with no backup.
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
        QTest::newRow("read-only folder") << "readonly" << QStringList{} << EROFS;
        QTest::newRow("no inodes left") << "noinodes" << QStringList{} << ENOSPC;
        QTest::newRow("fsync of the new note") << "" << failing("fsync", EIO) << EIO;
        QTest::newRow("folder fsync") << "" << failing("fsync", EIO, 1) << EIO;
    }

    void newNoteFails()
    {
        // A new note that cannot be made durable is not left behind as an empty file.
        QFETCH(QString, setup);
        QFETCH(QStringList, faults);
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString folder = dir.filePath("Desktop");
        QDir().mkpath(folder);
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

    void randomKillsWhileTyping()
    {
        // After each kill the note holds the last returned save's text or the one in flight's, and at most one
        // hidden temporary that the next save sweeps. A kill is not a power cut, so tmpfs spares the disk the syncs.
        QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/tst_durablesave-XXXXXX")
                                                    : QDir::tempPath() + QStringLiteral("/tst_durablesave-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        constexpr int typedSaves = 8;
        const auto typed = [](int i) {
            return longText(40 * i * i, i);
        };
        QByteArray input;
        for (int i = 1; i <= typedSaves; ++i)
            input += (i > 1 ? QByteArray(1, '\0') : QByteArray()) + typed(i);
        QByteArray current = oldBytes;
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int killedRuns = 0;
        for (int round = 0; round < 200; ++round) {
            const int at = random.bounded(typedSaves * 8 + 4);
            const QString when = random.bounded(2) ? QStringLiteral("after") : QStringLiteral("before");
            const QString context =
                QStringLiteral("seed %1, run %2, kill %3 call %4").arg(seed).arg(round).arg(when).arg(at);
            const QStringList command = FaultKit::underFaults(
                {noteTool(), "saves", note}, {"FAULT_CALL=any", "FAULT_AFTER=" + QString::number(at),
                                              "FAULT_KILL=" + when, "FAULT_PATH_SUBSTR=" + dir.path()});
            const Run result = run(command.first(), command.mid(1), input);
            killedRuns += result.exitStatus == QProcess::CrashExit;
            const QStringList acknowledged =
                QString::fromUtf8(result.out).split(u'\n').filter(QStringLiteral("saved "));
            const int last = acknowledged.isEmpty() ? 0 : acknowledged.last().mid(6).toInt();
            const QByteArray now = readBytes(note);
            const bool allowed =
                now == (last == 0 ? current : typed(last)) || (last < typedSaves && now == typed(last + 1));
            QVERIFY2(allowed,
                     qPrintable(context + QStringLiteral(": %1 bytes after save %2").arg(now.size()).arg(last)));
            QStringList left = strays(dir.path());
            QVERIFY2(left.size() == left.filter(QRegularExpression("^\\..+\\.tmp$")).size(), qPrintable(context));
            // A save that returned has swept what earlier kills left; only the one in flight may have left one.
            if (last > 0)
                QVERIFY2(left.size() <= 1, qPrintable(context + ": temporaries pile up"));
            current = now;
        }
        QVERIFY2(killedRuns > 150, qPrintable(QStringLiteral("only %1 runs were killed").arg(killedRuns)));
        QVERIFY(FaultKit::save(note, shortText).exitCode == 0);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void sweepKeepsWhatIsNotOurs()
    {
        // Temporaries of saves still running, of other notes and look-alikes stay; the temporary itself is private.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const QStringList kept{".note.txt.backup.tmp", ".note.txt.nolt-1k3j9xa.tmp", ".other.txt.nolt-1k3j9xa.tmp"};
        for (const QString &name : kept)
            writeBytes(dir.filePath(name), "left behind");
        QFile running(dir.filePath(kept.at(1)));
        QVERIFY(running.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(running.handle(), LOCK_EX | LOCK_NB), 0);
        const QStringList stale{".note.txt.nolt-2b.tmp", ".note.txt.nolt-backup-2b.tmp"};
        for (const QString &name : stale)
            writeBytes(dir.filePath(name), "stale");
        QVERIFY(QFile::setPermissions(note, QFile::permissions(note) | QFileDevice::ReadOther));
        const Run killed =
            FaultKit::save(note, shortText, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        QStringList left = strays(dir.path());
        for (const QString &name : kept + stale)
            left.removeAll(name);
        QCOMPARE(left.size(), 1);
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(left.first())).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        const Run result = FaultKit::save(note, shortText);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(strays(dir.path()), kept);
    }

    void longNamesSaveAndSweep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("240 bytes") << QString(236, u'n') + ".txt";
        QTest::newRow("255 bytes, two-byte characters") << QString(125, u'é') + "a.txt";
    }

    void longNamesSaveAndSweep()
    {
        // A temporary's name fits in 255 bytes whatever the note's, and the next save still knows it for a leftover.
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString note = dir.filePath(name);
        writeBytes(note, oldBytes);
        const Run killed =
            FaultKit::save(note, shortText, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        QStringList left = entries(dir.path());
        left.removeAll(name);
        QCOMPARE(left.size(), 1);
        QVERIFY(isTemporary(left.first()));
        const Run next = FaultKit::save(note, shortText);
        QVERIFY2(next.exitCode == 0, next.err.constData());
        QCOMPARE(readBytes(note), shortText);
        QCOMPARE(entries(dir.path()), QStringList{name});
    }

    void twoCreatorsRace()
    {
        // Both start on one signal and race for the same day's names: a shared name would lose or cut a text.
        constexpr int perCreator = 40;
        QTemporaryDir dir;
        QProcess first;
        QProcess second;
        for (auto [process, tag] : {std::pair{&first, "first"}, {&second, "second"}}) {
            process->start(noteTool(), {"create", dir.path(), QString::number(perCreator), tag});
            QVERIFY(process->waitForStarted());
        }
        for (QProcess *process : {&first, &second}) {
            process->write("go\n");
            process->closeWriteChannel();
        }
        QVERIFY(first.waitForFinished() && second.waitForFinished());
        QCOMPARE(first.exitCode() + second.exitCode(), 0);
        QSet<QString> names;
        for (auto [process, tag] : {std::pair{&first, QByteArray("first")}, std::pair{&second, QByteArray("second")}}) {
            const QList<QByteArray> paths = process->readAllStandardOutput().trimmed().split('\n');
            QCOMPARE(paths.size(), perCreator);
            for (int i = 0; i < paths.size(); ++i) {
                const QString path = QString::fromUtf8(paths.at(i));
                QVERIFY2(!names.contains(path), qPrintable(path + " was handed out twice"));
                names.insert(path);
                QCOMPARE(readBytes(path), tag + ' ' + QByteArray::number(i + 1) + '\n');
            }
        }
        QCOMPARE(entries(dir.path()).size(), 2 * perCreator);
    }

    void symbolicLinks_data()
    {
        QTest::addColumn<QString>("script"); // run in the folder
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("code");
        QTest::newRow("chain of relative links") << "mkdir sub; echo old > real.txt; ln -s a.txt note.txt; ln -s "
                                                    "sub/b.txt a.txt; ln -s ../real.txt sub/b.txt"
                                                 << "real.txt" << 0;
        QTest::newRow("dangling link: the target is created") << "ln -s real.txt note.txt"
                                                              << "real.txt" << 0;
        QTest::newRow("loop") << "ln -s a.txt note.txt; ln -s note.txt a.txt"
                              << "" << ELOOP;
    }

    void symbolicLinks()
    {
        // Links stay links and their target gets the text, with the usual mode when it is new.
        QFETCH(QString, script);
        QFETCH(QString, target);
        QFETCH(int, code);
        QTemporaryDir dir;
        QCOMPARE(run("sh", {"-ec", "cd \"$D\"; " + script}, {}, {"D=" + dir.path()}).exitCode, 0);
        const FileSnapshot link = FileSnapshot::take(dir.filePath("note.txt"));
        QStringList before = entries(dir.path());
        try {
            TextFiles::save(QString::fromUtf8(shortText), QUrl::fromLocalFile(dir.filePath("note.txt")));
            QCOMPARE(code, 0);
            QCOMPARE(readBytes(dir.filePath(target)), shortText);
            const mode_t mask = ::umask(0);
            ::umask(mask);
            struct stat info
            {};
            QCOMPARE(::stat(QFile::encodeName(dir.filePath(target)).constData(), &info), 0);
            QVERIFY(before.contains(target) || (info.st_mode & 07777) == (0666 & ~mask));
        } catch (const Error &error) {
            QCOMPARE(error.code(), code);
        }
        QStringList linkChanges = FileSnapshot::take(dir.filePath("note.txt")).changes(link);
        linkChanges.removeAll("folder"); // a new target is counted below
        QCOMPARE(linkChanges, QStringList{});
        if (!target.isEmpty() && !before.contains(target))
            before << target;
        before.sort();
        QCOMPARE(entries(dir.path()), before);
    }

    void hardLinksAreRewrittenInPlace()
    {
        // Both names show the new text. Killed midway, the old text is whole in the synced backup, and opening the
        // note again puts that text back under both names before anything else reads or saves it.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        const QByteArray longOld = longText(3 * 1024 * 1024);
        writeBytes(note, longOld);
        hardLink(note, dir.filePath("other name.txt"));
        QVERIFY(QFile::setPermissions(note, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const FileSnapshot before = FileSnapshot::take(note);
        const QByteArray text = longText(1536 * 1024, 2);
        const Run killed =
            FaultKit::save(note, text, {"FAULT_CALL=write", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + note});
        QVERIFY2(killed.exitStatus == QProcess::CrashExit, killed.err.constData());
        const QStringList left = strays(dir.path());
        QCOMPARE(left.size(), 1);
        QVERIFY(isTemporary(left.first()));
        QCOMPARE(readBytes(dir.filePath(left.first())), longOld);
        PlainTextDocument reopened;
        reopened.readFromUrl(QUrl::fromLocalFile(note), QString::fromLatin1(PlainTextDocument::typeName));
        QCOMPARE(reopened.text(), QString::fromLatin1(longOld));
        QCOMPARE(readBytes(dir.filePath("other name.txt")), longOld);
        QCOMPARE(strays(dir.path()), QStringList{});

        for (const QByteArray &next : {text, QByteArray("short")}) {
            const Run saved = FaultKit::save(note, next);
            QVERIFY2(saved.exitCode == 0, saved.err.constData());
            QCOMPARE(readBytes(dir.filePath("other name.txt")), next);
        }
        QCOMPARE(strays(dir.path()), QStringList{});
        const FileSnapshot after = FileSnapshot::take(note);
        QVERIFY2(after.changes(before) == QStringList{"content"}, qPrintable(after.describe(before)));
    }

    void hardLinkFailures_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("backupKept");
        QTest::newRow("rewrite fails, the old text is put back") << (failing("write", EIO) << "FAULT_TIMES=1") << false;
        QTest::newRow("putting back fails too: the backup is kept and named") << failing("write", EIO) << true;
    }

    void hardLinkFailures()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, backupKept);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        hardLink(note, dir.filePath("other name.txt"));
        // Only calls on the note itself fail; its backup is written normally.
        const Run result = FaultKit::save(note, shortText, faults + QStringList{"FAULT_PATH_SUBSTR=" + note});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(
            result.err.startsWith("Could not save “note.txt” in “" + dir.path().toUtf8() + "”: " + cause(EIO).toUtf8()),
            result.err.constData());
        const QStringList added = strays(dir.path());
        QCOMPARE(added.size(), backupKept ? 1 : 0);
        if (backupKept) {
            QVERIFY(result.err.contains("Its previous text is kept in “" + added.first().toUtf8() + "”"));
            QCOMPARE(readBytes(dir.filePath(added.first())), oldBytes);
        } else {
            QCOMPARE(readBytes(dir.filePath("other name.txt")), oldBytes);
        }
    }

    void metadataSurvives()
    {
        // Mode with setgid, owner, group, extended attributes and ACLs stay; the inode is new.
        if (::geteuid() != 0)
            QSKIP("needs root to give the note another owner and group");
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        for (const QString line :
             {"chown 1234:1234", "chmod 2620", "setfattr -n user.comment -v hello", "setfacl -m u:4321:r"}) {
            const QStringList words = QString(line).split(u' ') << note;
            if (QStandardPaths::findExecutable(words.first()).isEmpty())
                QSKIP(qPrintable("needs " + words.first()));
            const Run made = run(words.first(), words.mid(1));
            if (made.exitCode != 0)
                QSKIP(qPrintable("this file system refuses \"" + line + "\": " + made.err));
        }
        const FileSnapshot before = FileSnapshot::take(note);
        TextFiles::save(QString::fromUtf8(shortText), QUrl::fromLocalFile(note));
        QCOMPARE(readBytes(note), shortText);
        const FileSnapshot after = FileSnapshot::take(note);
        QVERIFY2(after.changes(before) == (QStringList{"content", "inode"}), qPrintable(after.describe(before)));
    }
};

QTEST_GUILESS_MAIN(TestDurableSave)
#include "tst_durablesave.moc"
