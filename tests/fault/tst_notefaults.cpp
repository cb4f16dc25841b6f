// Whole note windows under faults: unwritable notes back off and keep their text, slow disks keep saves in order.
#include "faultkit.h"
#include "mountsandbox.h"

#include "framework/document.h"
#include "framework/recoverystore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestSupport;
using FaultKit::cause;
using namespace Qt::StringLiterals;

namespace {

const QByteArray oldBytes = "old bytes\n";

QStringList linesOf(const QByteArray &out)
{
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestNoteFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (FaultKit::faultLibrary().isEmpty() || m_noteWindow.isEmpty())
            QSKIP("run through ctest, which names the fault library and the note window tool");
        // The note window remembers its frame; it does so here, not in the home folder.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    void unwritableNoteKeepsItsText_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full disk") << "full" << cause(ENOSPC);
        QTest::newRow("read-only mount") << "readonly" << cause(EROFS);
    }
    void unwritableNoteKeepsItsText()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath("folder"), note = folder + "/note.txt", recovery = dir.filePath("recovery");
        QDir().mkpath(folder);
        writeBytes(dir.filePath("old"), oldBytes);
        MountSandbox sandbox;
        const QString makeWritable = sandbox.startUnwritable(kind, folder);
        if (makeWritable.isEmpty())
            QSKIP(qPrintable("needs a private mount: " + sandbox.reason()));
        // Three edits with saves and retries in between, then writable again and one more edit.
        const QString script = QStringLiteral("type xxxxxx\nwait 400\ntype y\nwait 400\ntype z\nwait 2800\n"
                                              "sh cmp -s '%1' '%2' && echo old-bytes-kept\n"
                                              "sh ls '%3' | grep -q txt && echo kept-for-recovery\n"
                                              "sh %4\ntype !\nsettle\nstate\nquit\n")
                                   .arg(note, dir.filePath("old"), recovery, makeWritable);
        const Run result = sandbox.run({m_noteWindow, note, recovery}, script.toUtf8());
        const QStringList lines = linesOf(result.out);
        QVERIFY2(result.exitCode == 0 && lines.contains("old-bytes-kept") && lines.contains("kept-for-recovery"),
                 result.out + result.err);
        // One alert for a failure that stays the same, however often the save is tried.
        const QStringList shown = lines.filter(QRegularExpression("^error "));
        QVERIFY2(shown.size() == 1 &&
                     shown.first().startsWith("error Could not save “note.txt” in “" + folder + "”: " + expected),
                 qPrintable(shown.join(u'\n')));
        QCOMPARE(lines.mid(lines.size() - 3), (QStringList{"edited 0", "retry 0", "closed 1"}));
        QCOMPARE(readBytes(sandbox.view(note)), oldBytes + "xxxxxxyz!");
    }

    void changeInTheSameSecondIsNoticed()
    {
        // ext4 with small inodes keeps whole seconds: two writes in one second differ in content only.
        if (QStandardPaths::findExecutable("mkfs.ext4").isEmpty())
            QSKIP("needs mkfs.ext4 (e2fsprogs)");
        QTemporaryDir dir;
        const QString folder = dir.filePath("folder"), note = folder + "/note.txt", image = dir.filePath("seconds.img");
        QDir().mkpath(folder);
        MountSandbox sandbox;
        if (!sandbox.start("truncate -s 1024K '" + image + "'\nmkfs.ext4 -q -F -I 128 -O ^has_journal '" + image +
                           "'\nmount -o loop '" + image + "' '" + folder + "'\nprintf 'opened\\n' > '" + note + "'\n"))
            QSKIP(qPrintable("needs a loop-mounted ext4 image: " + sandbox.reason()));
        QString script;
        for (int i = 1; i <= 3; ++i)
            for (const QString &word : {u"first "_s, u"second"_s})
                script += u"sh printf '%1 %2\\n' > '%3'; stat -c 'id %s %Y %Z %i' '%3'\nwait %4\ntext\n"_s.arg(word)
                              .arg(i)
                              .arg(note)
                              .arg(word == u"first " ? 100 : 300);
        const Run result = sandbox.run({m_noteWindow, note}, (script + "quit\n").toUtf8());
        const QStringList lines = linesOf(result.out).filter(QRegularExpression("^(id|text) "));
        QVERIFY2(result.exitCode == 0 && lines.size() == 12, result.out + result.err);
        int sameSecond = 0;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines.at(4 * i + 1), u"text first  %1\\n"_s.arg(i + 1));
            QCOMPARE(lines.at(4 * i + 3), u"text second %1\\n"_s.arg(i + 1));
            sameSecond += lines.at(4 * i) == lines.at(4 * i + 2);
        }
        if (sameSecond == 0)
            QSKIP("no second write fell into the same second as the first");
    }

    // Another program renames its version in while the rename of our save is held: theirs is never replaced nor
    // lost. The window keeps its text when asked, so theirs ends in a copy beside the note.
    void aVersionRenamedInDuringOurSaveIsKept_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("the note is there: swapped back") << QString();
        QTest::newRow("the note was deleted: never replaced") << u"sh rm '%1'\nwait 2500\n"_s;
    }
    void aVersionRenamedInDuringOurSaveIsKept()
    {
        QFETCH(QString, before);
        QTemporaryDir dir;
        const QString notes = dir.filePath("notes"), note = notes + "/note.txt", theirs = dir.filePath("theirs"),
                      go = dir.filePath("go"), trace = dir.filePath("trace");
        QVERIFY(QDir().mkdir(notes));
        writeBytes(note, oldBytes);
        writeBytes(theirs, "their version\n");
        const QString script = (before.isEmpty() ? before : before.arg(note)) +
                               u"type mine\nwait 1000\nsh unset LD_PRELOAD; until grep -q waiting '%1'; do sleep 0.05; "
                               u"done; mv '%2' '%3'; "
                               "touch '%4'\nwait 1500\nsettle\nquit\n"_s.arg(trace, theirs, note, go);
        const QStringList command = FaultKit::underFaults(
            {m_noteWindow, note}, {"FAULT_CALL=rename", "FAULT_PATH_SUBSTR=note.txt", "FAULT_TIMES=1",
                                   "FAULT_WAIT_FILE=" + go, "FAULT_TRACE=" + trace});
        const Run result = run(command.first(), command.mid(1), script.toUtf8());
        QVERIFY2(result.exitCode == 0, result.out + result.err);
        QCOMPARE(readBytes(note), oldBytes + "mine");
        const QStringList copies = QDir(notes).entryList({"note (conflict *"}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(readBytes(notes + '/' + copies.constFirst()), QByteArray("their version\n"));
    }

    // A save never reads back what it wrote: three pauses in typing on a long note read it once, when it opens.
    void savesDoNotReadTheNoteBack()
    {
        QTemporaryDir dir;
        const QString note = dir.filePath("notes/note.txt"), trace = dir.filePath("trace");
        QVERIFY(QDir().mkdir(dir.filePath("notes")));
        const QByteArray text = QByteArray("a line of a long note\n").repeated(200'000);
        writeBytes(note, text);
        // Past the clock tick of its last change, so that no change by another program could hide in it.
        QTest::qSleep(2100);
        const QStringList command =
            FaultKit::underFaults({m_noteWindow, note}, {"FAULT_CALL=read,pread", "FAULT_PATH_SUBSTR=notes/note.txt",
                                                         "FAULT_TRACE=" + trace});
        const Run result = run(command.first(), command.mid(1),
                               "loaded\ntype 1\nwait 700\ntype 2\nwait 700\ntype 3\nwait 700\nsettle\nquit\n");
        QVERIFY2(result.exitCode == 0, result.out + result.err);
        QCOMPARE(readBytes(note), text + "123");
        static const QRegularExpression got(u"^faultinject: p?read\\S* .*notes/note\\.txt = (\\d+)$"_s);
        qint64 read = 0;
        for (const QString &line : QString::fromUtf8(readBytes(trace)).split(u'\n'))
            read += got.match(line).captured(1).toLongLong();
        QVERIFY2(read >= text.size() && read < text.size() + 1'000'000, QByteArray::number(read));
    }

    void slowDiskSavesOneAtATimeAndQuitWaits_data()
    {
        QTest::addColumn<int>("syncMs");
        QTest::addColumn<int>("typings");
        // Every sync lands before the quit's wait ends: all of the typing is on disk.
        QTest::newRow("two-second syncs while typing") << 2000 << 8;
        // The write under way outlives the wait: the app ends anyway, and what it wrote and kept is whole.
        QTest::newRow("a sync held past the close wait") << 12000 << 2;
    }

    // The whole app, ended as it ends, while a slow disk holds its writes.
    void slowDiskSavesOneAtATimeAndQuitWaits()
    {
        QFETCH(int, syncMs);
        QFETCH(int, typings);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt"), trace = dir.filePath("trace");
        writeBytes(note, oldBytes);
        QString script;
        QByteArray expected = oldBytes;
        for (int i = 1; i <= typings; ++i) {
            script += u"type %1 \nwait 400\n"_s.arg(i);
            expected += QByteArray::number(i) + ' ';
        }
        const QStringList command = FaultKit::underFaults(
            {m_noteWindow, "--app", note},
            {"HOME=" + dir.path(), "XDG_CONFIG_HOME=" + dir.filePath("config"),
             "XDG_STATE_HOME=" + dir.filePath("state"), "FAULT_CALL=fsync", "FAULT_PATH_SUBSTR=/.note.txt.",
             "FAULT_DELAY_MS=" + QString::number(syncMs), "FAULT_TRACE=" + trace});
        QElapsedTimer ending;
        ending.start();
        const Run result = run(command.first(), command.mid(1), (script + "quit\n").toUtf8());
        QVERIFY2(result.exitCode == 0 && linesOf(result.out).contains("ended"), result.out + result.err);
        // Never longer than a note's close and the app's wait for its writers.
        QVERIFY2(ending.elapsed() < 30'000, QByteArray::number(ending.elapsed()));
        if (syncMs < Document::closeWaitMs) {
            QCOMPARE(readBytes(note), expected);
        } else {
            // The note is a whole version, and the typing the disk did not take is kept for the next launch.
            QVERIFY(expected.startsWith(readBytes(note)));
            const QStringList kept = QDir(dir.filePath("state/noltnolt/recovery")).entryList(QDir::Files);
            QVERIFY2(!kept.isEmpty(), qPrintable(QDir(dir.filePath("state")).entryList().join(u' ')));
        }
        // One save at a time: the syncs of the temporaries never overlap.
        const QStringList syncs = QString::fromUtf8(readBytes(trace))
                                      .split(u'\n')
                                      .filter(QRegularExpression("^faultinject: fsync .*/\\.note\\.txt\\..*\\.tmp"));
        QVERIFY2(syncs.size() >= 2, qPrintable(syncs.join(u'\n')));
        for (qsizetype i = 0; i < syncs.size(); ++i)
            QVERIFY2(syncs.at(i).contains(i % 2 ? " = 0" : " delayed"), qPrintable(syncs.join(u'\n')));
    }

    void changedWhileReadIsNeverOverwritten_data()
    {
        QTest::addColumn<int>("readsBefore");
        QTest::addColumn<QString>("change");
        QTest::newRow("replaced by rename") << 0 << "mv -f \"$1\" \"$0\"";
        QTest::newRow("rewritten in place, longer, midway") << 1 << "dd if=\"$1\" of=\"$0\" conv=notrunc status=none";
    }
    void changedWhileReadIsNeverOverwritten()
    {
        // Another program saves a big note while the window reads it, then one key is typed well after: the file
        // is never the old text (or a mix) plus the key, and the other version is not lost.
        QFETCH(int, readsBefore);
        QFETCH(QString, change);
        // The note has a folder of its own: the kit's own files would wake the folder's watch.
        QTemporaryDir dir;
        const QString note = dir.filePath("notes/note.txt"), newer = dir.filePath("newer"), go = dir.filePath("go"),
                      trace = dir.filePath("trace");
        QVERIFY(QDir().mkdir(dir.filePath("notes")));
        const QByteArray theirs = QByteArray("their line\n").repeated(2'600'000);
        writeBytes(note, QByteArray("old line\n").repeated(2'400'000));
        writeBytes(newer, theirs);
        const QStringList command =
            FaultKit::underFaults({m_noteWindow, note}, {"FAULT_CALL=pread", "FAULT_PATH_SUBSTR=" + note,
                                                         "FAULT_TIMES=1", "FAULT_AFTER=" + QString::number(readsBefore),
                                                         "FAULT_WAIT_FILE=" + go, "FAULT_TRACE=" + trace});
        QProcess window;
        window.start(command.first(), command.mid(1));
        QVERIFY(window.waitForStarted());
        window.write("wait 2500\ntype k\nsettle\nquit\n");
        window.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(trace).contains("waiting"), 20000);
        QCOMPARE(run("sh", {"-c", change, note, newer}).exitCode, 0);
        writeBytes(go, {});
        QVERIFY(window.waitForFinished(60000));
        QVERIFY2(window.exitCode() == 0, window.readAllStandardOutput() + window.readAllStandardError());
        // Their text, or their text with the key where the window's end was as it loaded.
        const QByteArray now = readBytes(note);
        qsizetype at = 0;
        while (at < theirs.size() && at < now.size() && now.at(at) == theirs.at(at))
            ++at;
        QVERIFY2(now == theirs ||
                     (now.size() == theirs.size() + 1 && now.at(at) == 'k' && now.mid(at + 1) == theirs.mid(at)),
                 qPrintable(u"%1 bytes, ending “%2”"_s.arg(now.size()).arg(QString::fromUtf8(now.right(12)))));
    }

private:
    const QString m_noteWindow = qEnvironmentVariable("NOLTNOLT_NOTEWINDOW");
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestNoteFaults)
#include "tst_notefaults.moc"
