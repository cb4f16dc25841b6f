// Saves and new notes under failing calls, kills, full and read-only disks, links and metadata: every failure is one
// error naming the file, and the note keeps its old or its new complete text, with everything around it.
#include "faultkit.h"

#include "framework/inplacesave.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
    QString path = dir.filePath(u"note.txt"_s);
    OldNote() { writeBytes(path, oldBytes); }
};

QStringList strays(const QString &folder)
{
    QStringList names = entries(folder);
    names.removeAll(u"note.txt"_s);
    names.removeAll(u"other name.txt"_s);
    return names;
}

// What a user could notice about a note, a line each: its folder's listing; its type, mode, owner, group, links and
// link target; its extended attributes (ACLs too); its inode; its bytes' digest.
QStringList snapshot(const QString &path)
{
    const QString script =
        "ls -A \"${1%/*}\" | tr '\\n' /; echo; stat -c '%f %u %g %h %N' \"$1\"; getfattr -hd -m - \"$1\" "
        "| tr '\\n' /; echo; stat -c %i \"$1\"; sha256sum < \"$1\"";
    return QString::fromUtf8(run("sh", {"-c", script, "-", path}).out).split(u'\n');
}

bool isTemporary(const QString &name)
{
    return QRegularExpression(u"^\\..+\\.tmp$"_s).match(name).hasMatch();
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
    void failedSave_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        QTest::newRow("write: full disk") << failing("write", ENOSPC) << shortText << cause(ENOSPC);
        QTest::newRow("second write of a long text")
            << failing("write", ENOSPC, 1) << longText(1536 * 1024) << cause(ENOSPC);
        QTest::newRow("fsync of the temporary") << failing("fsync", EIO) << shortText << cause(EIO);
        QTest::newRow("rename") << failing("rename,link", EXDEV) << shortText << cause(EXDEV);
        QTest::newRow("close: quota") << failing("close", EDQUOT) << shortText << cause(EDQUOT);
    }

    void failedSave()
    {
        // One line naming the note and the cause, and nothing changes: no partial note, no stray file.
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        OldNote note;
        faults << "FAULT_PATH_SUBSTR=" + note.dir.path();
        const QStringList before = snapshot(note.path);
        const Run result = FaultKit::save(note.path, text, faults);
        const QString said = QString::fromUtf8(result.err);
        QVERIFY2(result.exitCode == 1 &&
                     said.startsWith("Could not save “note.txt” in “" + note.dir.path() + "”: " + why) &&
                     said.count(u'\n') == 1,
                 result.err.constData());
        QCOMPARE(snapshot(note.path), before);
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
        const Run result =
            run("strace", QStringList{"-f", "-y", "-qq", "-o", log, "-e", "trace=%file,fsync", noteTool()} + args,
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
        const QString quotedNote = QRegularExpression::escape(note), quotedFolder = QRegularExpression::escape(folder);
        const QString temp = quotedFolder + "/\\.note\\.txt\\.nolt-[0-9a-z]+\\.tmp";
        const qsizetype synced = operation == u"create" ? find("openat\\(.*\"" + quotedNote + "\", .*O_CREAT\\|O_EXCL")
                                                        : find("fsync\\(\\d+<" + temp + ">\\) = 0");
        const qsizetype written = operation == u"create"
                                      ? find("fsync\\(\\d+<" + quotedNote + ">\\) = 0", synced)
                                      : find("rename\\w*\\(.*\"" + temp + "\", .*\"" + quotedNote + "\".*= 0", synced);
        QVERIFY2(synced >= 0 && written >= 0 && find("fsync\\(\\d+<" + quotedFolder + ">\\) = 0", written) > written,
                 qPrintable(all));
    }

    void randomKillsWhileTyping()
    {
        // After each kill the note holds the last returned save's text or the one in flight's, and at most one
        // hidden temporary that the next save sweeps. A kill is not a power cut, so tmpfs spares the disk the syncs.
        QTemporaryDir dir(QDir("/dev/shm").exists() ? u"/dev/shm/tst_durablesave-XXXXXX"_s
                                                    : QDir::tempPath() + u"/tst_durablesave-XXXXXX"_s);
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
            const QString when = random.bounded(2) ? u"after"_s : u"before"_s;
            const QString context = u"seed %1, run %2, kill %3 call %4"_s.arg(seed).arg(round).arg(when).arg(at);
            const QStringList command = FaultKit::underFaults(
                {noteTool(), "saves", note}, {"FAULT_CALL=any", "FAULT_AFTER=" + QString::number(at),
                                              "FAULT_KILL=" + when, "FAULT_PATH_SUBSTR=" + dir.path()});
            const Run result = run(command.first(), command.mid(1), input);
            killedRuns += result.exitStatus == QProcess::CrashExit;
            const QStringList acknowledged = QString::fromUtf8(result.out).split(u'\n').filter(u"saved "_s);
            const int last = acknowledged.isEmpty() ? 0 : acknowledged.last().mid(6).toInt();
            const QByteArray now = readBytes(note);
            QVERIFY2(now == (last == 0 ? current : typed(last)) || (last < typedSaves && now == typed(last + 1)),
                     qPrintable(context + u": %1 bytes after save %2"_s.arg(now.size()).arg(last)));
            // A save that returned has swept what earlier kills left; only the one in flight may have left one.
            const QStringList left = strays(dir.path());
            QVERIFY2(left.size() == left.filter(QRegularExpression("^\\..+\\.tmp$")).size() &&
                         (last == 0 || left.size() <= 1),
                     qPrintable(context + ": " + left.join(u' ')));
            current = now;
        }
        QVERIFY2(killedRuns > 150, qPrintable(u"only %1 runs were killed"_s.arg(killedRuns)));
        QVERIFY(FaultKit::save(note, shortText).exitCode == 0);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void killedSaveIsSwept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("beside others' temporaries") << "note.txt";
        QTest::newRow("240 bytes") << QString(236, u'n') + ".txt";
        QTest::newRow("255 bytes, two-byte characters") << QString(125, u'é') + "a.txt";
    }

    void killedSaveIsSwept()
    {
        // A temporary is private and its name fits in 255 bytes whatever the note's; the next save knows it for a
        // leftover, and keeps temporaries of saves still running, of other notes and look-alikes.
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString note = dir.filePath(name);
        writeBytes(note, oldBytes);
        const bool others = name == u"note.txt";
        // A backup of a rewrite in place is never swept: only the repair, which compares, removes it.
        const QStringList kept = others ? QStringList{".note.txt.backup.tmp", ".note.txt.nolt-1k3j9xa.tmp",
                                                      ".note.txt.nolt-backup-2b.tmp", ".other.txt.nolt-1k3j9xa.tmp"}
                                        : QStringList();
        const QStringList stale = others ? QStringList{".note.txt.nolt-2b.tmp"} : QStringList();
        for (const QString &other : kept + stale)
            writeBytes(dir.filePath(other), "left behind");
        QFile running(dir.filePath(".note.txt.nolt-1k3j9xa.tmp"));
        QVERIFY(!others || (running.open(QIODevice::ReadOnly) && ::flock(running.handle(), LOCK_EX | LOCK_NB) == 0));
        QVERIFY(QFile::setPermissions(note, QFile::permissions(note) | QFileDevice::ReadOther));
        const Run killed =
            FaultKit::save(note, shortText, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        QStringList left = entries(dir.path());
        for (const QString &other : kept + stale + QStringList{name})
            left.removeAll(other);
        QVERIFY2(left.size() == 1 && isTemporary(left.first()) && modeOf(dir.filePath(left.first())) == 0600,
                 qPrintable(left.join(u' ')));
        QCOMPARE(FaultKit::save(note, shortText).exitCode, 0);
        QCOMPARE(readBytes(note), shortText);
        QCOMPARE(entries(dir.path()), kept + QStringList{name});
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

    void tornInPlaceSave_data()
    {
        QTest::addColumn<QString>("killed");
        QTest::addColumn<bool>("keepsNewText");
        QTest::addColumn<bool>("putBack");
        QTest::addColumn<bool>("atLaunch"); // made whole by the app's next launch, which opens another note
        QTest::newRow("killed writing the backup: the whole note stays") << "backup" << false << false << false;
        QTest::newRow("killed writing the note: the old text comes back") << "write" << false << true << false;
        QTest::newRow("killed writing the note: the next launch puts the old text back")
            << "write" << false << true << true;
        QTest::newRow("killed once the note was written: the new text stays") << "fsync" << true << false << false;
    }

    void tornInPlaceSave()
    {
        // A hard-linked note is rewritten in place; killed at any point, opening it leaves a complete text under
        // both names, what a cut note held is kept beside it, and the backup goes only once the note is whole.
        QFETCH(QString, killed);
        QFETCH(bool, keepsNewText);
        QFETCH(bool, putBack);
        QFETCH(bool, atLaunch);
        OldNote note;
        QTemporaryDir home;
        QVERIFY(QDir().mkpath(home.filePath("Desktop")));
        const QStringList environment = {"HOME=" + home.path(), "XDG_STATE_HOME=" + home.filePath("state"),
                                         "XDG_CONFIG_HOME=" + home.filePath("config"),
                                         "XDG_DATA_HOME=" + home.filePath("data"),
                                         "DBUS_SESSION_BUS_ADDRESS=disabled:"};
        const QByteArray longOld = longText(3 * 1024 * 1024), longNew = longText(1536 * 1024, 2);
        writeBytes(note.path, longOld);
        const QString other = note.dir.filePath("other name.txt");
        QCOMPARE(::link(qPrintable(note.path), qPrintable(other)), 0);
        const QStringList faults =
            killed == u"backup"
                ? QStringList{"FAULT_CALL=write", "FAULT_AFTER=1", "FAULT_PATH_SUBSTR=" + note.dir.filePath(".note")}
                : QStringList{"FAULT_CALL=" + killed, "FAULT_PATH_SUBSTR=" + note.path};
        const QStringList save =
            FaultKit::underFaults({noteTool(), "save", note.path}, faults + QStringList{"FAULT_KILL=after"});
        const Run killedSave = run(save.first(), save.mid(1), longNew, environment);
        QVERIFY2(killedSave.exitStatus == QProcess::CrashExit, killedSave.err.constData());
        const QByteArray cut = readBytes(note.path);
        const QByteArray whole = keepsNewText ? longNew : longOld;
        if (atLaunch) {
            QVERIFY(readBytes(other) != whole);
            QProcess app;
            app.setEnvironment(QProcess::systemEnvironment() + environment);
            app.start(appBinary(), {});
            QVERIFY(app.waitForStarted());
            QTRY_COMPARE_WITH_TIMEOUT(readBytes(other), whole, 20000);
            app.terminate();
            QVERIFY(app.waitForFinished(20000));
        } else {
            PlainTextDocument reopened;
            reopened.takeLoaded(LoadedFile::read(QUrl::fromLocalFile(note.path), reopened.decoder(), true));
            QCOMPARE(reopened.text(), QString::fromLatin1(whole));
            QCOMPARE(reopened.interruptedSave().outcome == InPlaceSave::Repair::Outcome::PutBack, putBack);
        }
        QCOMPARE(readBytes(other), whole);
        const QString copy = note.dir.filePath("note (interrupted save).txt");
        QCOMPARE(readBytes(copy), putBack ? cut : QByteArray("<unreadable>"));
        QCOMPARE(strays(note.dir.path()), putBack ? QStringList{QFileInfo(copy).fileName()} : QStringList{});
        QCOMPARE(FaultKit::save(note.path, shortText).exitCode, 0); // then rewritten in place under both names
        QCOMPARE(readBytes(other), shortText);
    }

    void unprovenOrForeignBackupIsNeverUsed_data()
    {
        // Backups in the format from before they recorded their note: only one of ours beside a note that is no
        // longer UTF-8 proves a cut.
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<QString>("planted"); // by "us" or "another" user; "linked": ours, a hard link to another file
        QTest::addColumn<int>("backupMode");
        QTest::addColumn<QByteArray>("noteText");
        QTest::addColumn<bool>("putBack");
        const QByteArray cutInACharacter = "NEW \xC3";
        QTest::newRow("ours beside newer text: kept, not put back")
            << 0755 << "us" << 0600 << QByteArray("NEWER\n") << false;
        QTest::newRow("ours beside a cut note: put back") << 0755 << "us" << 0600 << cutInACharacter << true;
        QTest::newRow("ours, but a hard link to another file") << 0755 << "linked" << 0600 << cutInACharacter << false;
        QTest::newRow("planted in a sticky folder") << 01777 << "another" << 0644 << cutInACharacter << false;
        QTest::newRow("planted by a group member") << 02775 << "another" << 0664 << cutInACharacter << false;
        QTest::newRow("ours, writable by the group") << 02775 << "us" << 0660 << cutInACharacter << false;
    }

    void unprovenOrForeignBackupIsNeverUsed()
    {
        QFETCH(int, folderMode);
        QFETCH(QString, planted);
        QFETCH(int, backupMode);
        QFETCH(QByteArray, noteText);
        QFETCH(bool, putBack);
        const bool plantedByAnother = planted == u"another";
        if (plantedByAnother && ::geteuid() != 0)
            QSKIP("needs root to plant the file as another user (nobody, with setpriv)");
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("shared"), note = folder + "/list.txt",
                      backup = folder + "/.list.txt.nolt-backup-zz9.tmp";
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chown(qPrintable(folder), 0, 65534) == 0 || ::geteuid() != 0, true);
        QCOMPARE(::chmod(qPrintable(folder), mode_t(folderMode)), 0);
        writeBytes(note, noteText);
        const QStringList plant = {"-c",
                                   "printf 'old\\n' > \"$0\" && chmod " + QString::number(backupMode, 8) + " \"$0\"" +
                                       (planted == u"linked" ? " && ln \"$0\" \"$1\"" : ""),
                                   backup, dir.filePath("elsewhere.txt")};
        QCOMPARE((plantedByAnother ? runUnprivileged("sh", plant) : run("sh", plant)).exitCode, 0);
        const InPlaceSave::Repair repair = InPlaceSave::repair(note, nullptr);
        QCOMPARE(repair.outcome == InPlaceSave::Repair::Outcome::PutBack, putBack);
        QCOMPARE(readBytes(note), putBack ? QByteArray("old\n") : noteText);
        QCOMPARE(readBytes(folder + "/list (interrupted save).txt"), putBack ? noteText : "<unreadable>");
        QCOMPARE(QFileInfo::exists(backup), !putBack);
    }

    void recoveredTextNeverGoesThroughAPlantedLink()
    {
        // Another member of a shared folder puts a link in place of the recovered file while it is written: the text
        // goes to the user's fallback folder instead, and nothing reaches what the link names.
        QTemporaryDir dir;
        const QString shared = dir.filePath("shared"), desktop = dir.filePath("Desktop"),
                      target = dir.filePath("home/.bash_profile"), go = dir.filePath("go"),
                      trace = dir.filePath("trace");
        for (const QString &folder : {shared, desktop, dir.filePath("home")})
            QVERIFY(QDir().mkpath(folder));
        const QString recovered = shared + "/plan (Recovered).txt";
        const QStringList command =
            FaultKit::underFaults({noteTool(), "recover", shared + "/plan.txt", desktop},
                                  {"FAULT_CALL=fsync", "FAULT_TIMES=1", "FAULT_PATH_SUBSTR=(Recovered)",
                                   "FAULT_WAIT_FILE=" + go, "FAULT_TRACE=" + trace});
        QProcess tool;
        tool.start(command.first(), command.mid(1));
        tool.write("typed\n");
        tool.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(trace).contains("waiting"), 20000);
        QVERIFY(QFile::remove(recovered) && QFile::link(target, recovered));
        writeBytes(go, {});
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.readAllStandardOutput().trimmed(), QFile::encodeName(desktop + "/plan (Recovered).txt"));
        QCOMPARE(readBytes(desktop + "/plan (Recovered).txt"), QByteArray("typed\n"));
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QFileInfo(recovered).symLinkTarget(), target);
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
        const QStringList before = snapshot(note.path);
        TextFiles::save(QString::fromUtf8(shortText), QUrl::fromLocalFile(note.path));
        QCOMPARE(readBytes(note.path), shortText);
        const QStringList after = snapshot(note.path);
        QCOMPARE(after.mid(0, 3), before.mid(0, 3));
        QVERIFY(after.at(3) != before.at(3) && after.at(4) != before.at(4)); // a new inode with the new bytes
    }
};

QTEST_GUILESS_MAIN(TestDurableSave)
#include "tst_durablesave.moc"
