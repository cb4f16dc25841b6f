// Saves and new notes under failing calls, kills, full and read-only disks, links and metadata: every failure is one
// error naming the file, and the note keeps its old or its new complete text, with everything around it.
#include "faultkit.h"
#include "filesnapshot.h"

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

// A note holding oldBytes in a folder of its own.
struct OldNote
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("note.txt"));
    OldNote() { writeBytes(path, oldBytes); }
};

// The start of the one line a failed save of note.txt in folder reports.
QByteArray saveError(const QString &folder, const QString &why)
{
    return ("Could not save “note.txt” in “" + folder + "”: " + why).toUtf8();
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

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

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
    }

    void failedCall()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, text);
        QFETCH(int, code);
        OldNote note;
        const FileSnapshot before = FileSnapshot::take(note.path);
        const Run result = FaultKit::save(
            note.path, text, faults + QStringList{"FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + note.dir.path()});
        QCOMPARE(result.exitCode, 1);
        // The library really saw the call, and no rename went through after it.
        const QStringList trace = FaultKit::traceLines(result.err);
        QVERIFY2(!trace.filter(" injected ").isEmpty(), result.err.constData());
        QVERIFY2(trace.filter(QRegularExpression("^faultinject: rename.* = 0$")).isEmpty(), result.err.constData());
        const QString message = FaultKit::messageLines(result.err);
        QVERIFY2(message.toUtf8().startsWith(saveError(note.dir.path(), cause(code))) && !message.contains(u'\n'),
                 qPrintable(message));
        QCOMPARE(FileSnapshot::take(note.path).changes(before), QStringList());
    }

    void shortWritesAndFolderSync()
    {
        // Every write takes half: the save still writes it all.
        OldNote note;
        const QByteArray text = longText(3 * 1024 * 1024);
        const Run cut = FaultKit::save(note.path, text, {"FAULT_CALL=write", "FAULT_SHORT=1", "FAULT_TRACE=1"});
        QVERIFY2(cut.exitCode == 0, cut.err.constData());
        QVERIFY(FaultKit::traceLines(cut.err).filter(" shortened").size() >= 4);
        QVERIFY(readBytes(note.path) == text);
        // The folder sync fails after the rename: the text is there but not durable, so the save is reported.
        const Run unsynced =
            FaultKit::save(note.path, shortText, failing("fsync", EIO, 1) << "FAULT_PATH_SUBSTR=" + note.dir.path());
        QVERIFY2(unsynced.exitCode == 1 && unsynced.err.startsWith(saveError(note.dir.path(), cause(EIO))),
                 unsynced.err.constData());
        QCOMPARE(entries(note.dir.path()), QStringList{"note.txt"});
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
        QVERIFY2(result.err.startsWith(saveError(folder, expected)), result.err.constData());
        QCOMPARE(FileSnapshot::take(note).changes(before), QStringList());
    }

    void newNoteFails()
    {
        // A new note whose sync or whose folder's sync fails is not left behind as an empty file.
        for (int after : {0, 1}) {
            QTemporaryDir dir;
            const QStringList command =
                FaultKit::underFaults({noteTool(), "create", dir.path()}, failing("fsync", EIO, after));
            const Run result = run(command.first(), command.mid(1));
            const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + " Note";
            QVERIFY2(result.exitCode == 1 && result.err.startsWith("Could not create “" + today.toUtf8()) &&
                         result.err.contains("” in “" + dir.path().toUtf8() + "”: " + cause(EIO).toUtf8()),
                     result.err.constData());
            QCOMPARE(entries(dir.path()), QStringList());
        }
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
        OldNote note;
        const QStringList kept{".note.txt.backup.tmp", ".note.txt.nolt-1k3j9xa.tmp", ".other.txt.nolt-1k3j9xa.tmp"};
        const QStringList stale{".note.txt.nolt-2b.tmp", ".note.txt.nolt-backup-2b.tmp"};
        for (const QString &name : kept + stale)
            writeBytes(note.dir.filePath(name), "left behind");
        QFile running(note.dir.filePath(kept.at(1)));
        QVERIFY(running.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(running.handle(), LOCK_EX | LOCK_NB), 0);
        QVERIFY(QFile::setPermissions(note.path, QFile::permissions(note.path) | QFileDevice::ReadOther));
        const Run killed = FaultKit::save(
            note.path, shortText, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + note.dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        QStringList left = strays(note.dir.path());
        for (const QString &name : kept + stale)
            left.removeAll(name);
        QCOMPARE(left.size(), 1);
        QCOMPARE(modeOf(note.dir.filePath(left.first())), mode_t(0600));
        QVERIFY2(FaultKit::save(note.path, shortText).exitCode == 0, "save after the kill");
        QCOMPARE(strays(note.dir.path()), kept);
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
        QProcess creators[2];
        for (QProcess &process : creators) {
            process.start(noteTool(),
                          {"create", dir.path(), QString::number(perCreator), QString::number(&process - creators)});
            QVERIFY(process.waitForStarted());
        }
        for (QProcess &process : creators) {
            process.write("go\n");
            process.closeWriteChannel();
        }
        QSet<QString> names;
        for (QProcess &process : creators) {
            QVERIFY(process.waitForFinished());
            QCOMPARE(process.exitCode(), 0);
            const QList<QByteArray> paths = process.readAllStandardOutput().trimmed().split('\n');
            QCOMPARE(paths.size(), perCreator);
            for (int i = 0; i < paths.size(); ++i) {
                const QString path = QString::fromUtf8(paths.at(i));
                QVERIFY2(!names.contains(path), qPrintable(path + " was handed out twice"));
                names.insert(path);
                QCOMPARE(readBytes(path),
                         QByteArray::number(&process - creators) + ' ' + QByteArray::number(i + 1) + '\n');
            }
        }
        QCOMPARE(entries(dir.path()).size(), 2 * perCreator);
    }

    void symbolicLinks()
    {
        // Links stay links and their target gets the text, with the usual mode when it is new.
        for (const char *script : {"mkdir sub; echo old > real.txt; ln -s a.txt note.txt; ln -s sub/b.txt a.txt; "
                                   "ln -s ../real.txt sub/b.txt",
                                   "ln -s real.txt note.txt"}) {
            QTemporaryDir dir;
            QCOMPARE(run("sh", {"-ec", QStringLiteral("cd \"$D\"; ") + script}, {}, {"D=" + dir.path()}).exitCode, 0);
            const FileSnapshot link = FileSnapshot::take(dir.filePath("note.txt"));
            QStringList after = entries(dir.path()) << "real.txt";
            after.removeDuplicates();
            after.sort();
            const bool isNew = !QFile::exists(dir.filePath("real.txt"));
            TextFiles::save(QString::fromUtf8(shortText), QUrl::fromLocalFile(dir.filePath("note.txt")));
            QCOMPARE(readBytes(dir.filePath("real.txt")), shortText);
            const mode_t mask = ::umask(0);
            ::umask(mask);
            QVERIFY(!isNew || modeOf(dir.filePath("real.txt")) == (0666 & ~mask));
            QStringList linkChanges = FileSnapshot::take(dir.filePath("note.txt")).changes(link);
            linkChanges.removeAll("folder"); // a new target is counted below
            QCOMPARE(linkChanges, QStringList{});
            QCOMPARE(entries(dir.path()), after);
        }
    }

    void hardLinks_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("backups"); // -1: the save goes through
        QTest::newRow("rewritten in place") << QStringList() << -1;
        QTest::newRow("rewrite fails, the old text is put back") << (failing("write", EIO) << "FAULT_TIMES=1") << 0;
        QTest::newRow("putting back fails too: the backup is kept and named") << failing("write", EIO) << 1;
    }

    void hardLinks()
    {
        // Both names show the new text, or both the old one after a clear error; only calls on the note fail.
        QFETCH(QStringList, faults);
        QFETCH(int, backups);
        OldNote note;
        const QString other = note.dir.filePath("other name.txt");
        QCOMPARE(::link(qPrintable(note.path), qPrintable(other)), 0);
        QVERIFY(QFile::setPermissions(note.path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const FileSnapshot before = FileSnapshot::take(note.path);
        const Run result = FaultKit::save(note.path, shortText, faults + QStringList{"FAULT_PATH_SUBSTR=" + note.path});
        const QStringList added = strays(note.dir.path());
        if (backups < 0) {
            QVERIFY2(result.exitCode == 0, result.err.constData());
            QCOMPARE(readBytes(other), shortText);
            QCOMPARE(FileSnapshot::take(note.path).changes(before), QStringList{"content"});
            QCOMPARE(added, QStringList());
            return;
        }
        QVERIFY2(result.exitCode == 1 && result.err.startsWith(saveError(note.dir.path(), cause(EIO))),
                 result.err.constData());
        QCOMPARE(added.size(), backups);
        if (backups) {
            QVERIFY(result.err.contains("Its previous text is kept in “" + added.first().toUtf8() + "”"));
            QCOMPARE(readBytes(note.dir.filePath(added.first())), oldBytes);
        } else {
            QCOMPARE(readBytes(other), oldBytes);
        }
    }

    void hardLinkKilledMidwayKeepsTheOldText()
    {
        // Killed midway, the old text is whole in the synced backup; opening the note puts it back under both names
        // before anything else reads or saves it.
        OldNote note;
        const QByteArray longOld = longText(3 * 1024 * 1024);
        writeBytes(note.path, longOld);
        QCOMPARE(::link(qPrintable(note.path), qPrintable(note.dir.filePath("other name.txt"))), 0);
        const Run killed = FaultKit::save(note.path, longText(1536 * 1024, 2),
                                          {"FAULT_CALL=write", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + note.path});
        QVERIFY2(killed.exitStatus == QProcess::CrashExit, killed.err.constData());
        const QStringList left = strays(note.dir.path());
        QCOMPARE(left.size(), 1);
        QVERIFY(isTemporary(left.first()));
        QCOMPARE(readBytes(note.dir.filePath(left.first())), longOld);
        PlainTextDocument reopened;
        reopened.readFromUrl(QUrl::fromLocalFile(note.path), QString::fromLatin1(PlainTextDocument::typeName));
        QCOMPARE(reopened.text(), QString::fromLatin1(longOld));
        QCOMPARE(readBytes(note.dir.filePath("other name.txt")), longOld);
        QCOMPARE(strays(note.dir.path()), QStringList{});
        QCOMPARE(FaultKit::save(note.path, shortText).exitCode, 0);
        QCOMPARE(readBytes(note.dir.filePath("other name.txt")), shortText);
        QCOMPARE(strays(note.dir.path()), QStringList{});
    }

    void metadataSurvives()
    {
        // Mode with setgid, owner, group, extended attributes and ACLs stay; the inode is new.
        if (::geteuid() != 0)
            QSKIP("needs root to give the note another owner and group");
        OldNote note;
        for (const QString line :
             {"chown 1234:1234", "chmod 2620", "setfattr -n user.comment -v hello", "setfacl -m u:4321:r"}) {
            const QStringList words = QString(line).split(u' ') << note.path;
            const Run made = run(words.first(), words.mid(1));
            if (made.exitCode != 0)
                QSKIP(qPrintable("needs " + words.first() + " on a file system that allows it: " + made.err));
        }
        const FileSnapshot before = FileSnapshot::take(note.path);
        TextFiles::save(QString::fromUtf8(shortText), QUrl::fromLocalFile(note.path));
        QCOMPARE(readBytes(note.path), shortText);
        QCOMPARE(FileSnapshot::take(note.path).changes(before), (QStringList{"content", "inode"}));
    }
};

QTEST_GUILESS_MAIN(TestDurableSave)
#include "tst_durablesave.moc"
