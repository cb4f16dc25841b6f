// Whole note windows under faults: unwritable notes back off and keep their text, slow disks keep saves in order.
#include "faultkit.h"
#include "mountsandbox.h"

#include "framework/recoverystore.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestSupport;
using FaultKit::cause;

namespace {

const QByteArray oldBytes = "old bytes\n";

QString noteWindow()
{
    return qEnvironmentVariable("NOLTNOLT_NOTEWINDOW");
}

QStringList linesOf(const QByteArray &out)
{
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

// The lines starting with word, without it.
QStringList valuesOf(const QStringList &lines, const QString &word)
{
    QStringList values = lines.filter(QRegularExpression(u'^' + word));
    for (QString &value : values)
        value = value.mid(word.size() + 1);
    return values;
}

} // namespace

class TestNoteFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (FaultKit::faultLibrary().isEmpty() || noteWindow().isEmpty())
            QSKIP("run through ctest, which names the fault library and the note window tool");
        // The note window remembers its frame; it does so here, not in the home folder.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    void unwritableNoteBacksOffAndRecovers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full disk, short text") << "full" << cause(ENOSPC);
        QTest::newRow("read-only mount") << "readonly" << cause(EROFS);
    }

    void unwritableNoteBacksOffAndRecovers()
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
        const QStringList before = entries(sandbox.view(folder));

        // Three edits, each followed by its save, then a pause with no typing: only the growing retries try.
        const QString script = QStringLiteral("type xxxxxx\nwait 400\ntype y\nwait 400\ntype z\nwait 2800\nstate\n"
                                              "sh cmp -s '%1' '%2' && echo old-bytes-kept\n"
                                              "sh ls '%3' | grep -q txt && echo kept-for-recovery\n"
                                              "sh %4\ntype !\nsettle\nstate\nquit\n")
                                   .arg(note, dir.filePath("old"), recovery, makeWritable);
        const Run result = sandbox.run({noteWindow(), note, recovery}, script.toUtf8());
        const QStringList lines = linesOf(result.out);
        const qsizetype firstState = lines.indexOf("edited 1");
        QVERIFY2(result.exitCode == 0 && firstState > 0, result.out + result.err);
        const QStringList whileUnwritable = lines.mid(0, firstState);
        // One alert for a failure that stays the same, however often the save is tried.
        const QStringList shown = valuesOf(lines, "error");
        QVERIFY2(shown.size() == 1 &&
                     shown.first().startsWith("Could not save “note.txt” in “" + folder + "”: " + expected),
                 qPrintable(shown.join(u'\n')));
        // Three edits' saves, then retries without an edit, one second and then two later; no more.
        const qsizetype attempts = whileUnwritable.count("attempt");
        QVERIFY2(attempts >= 4 && attempts <= 5, qPrintable(QString::number(attempts) + " saves tried"));
        QVERIFY(lines.at(firstState + 1) == "retry 1" && lines.contains("old-bytes-kept") &&
                lines.contains("kept-for-recovery"));
        QVERIFY(!whileUnwritable.contains("saved"));

        // Writable again: the next save goes through, the note is clean and the kept copy is gone.
        QCOMPARE(lines.mid(lines.size() - 4, 2), (QStringList{"edited 0", "retry 0"}));
        QCOMPARE(readBytes(sandbox.view(note)), oldBytes + "xxxxxxyz!");
        QVERIFY(RecoveryStore(recovery).entries().isEmpty());
        // Nothing stray beside the note; only the filler that made the disk full is gone.
        QStringList folderBefore = before;
        folderBefore.removeAll("filler");
        QCOMPARE(entries(sandbox.view(folder)), folderBefore);
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
        const int pairs = 3;
        for (int i = 1; i <= pairs; ++i) {
            script += QStringLiteral("sh printf 'first  %1\\n' > '%2'; stat -c 'id %s %Y %Z %i' '%2'\nwait 100\ntext\n"
                                     "sh printf 'second %1\\n' > '%2'; stat -c 'id %s %Y %Z %i' '%2'\nwait 300\n"
                                     "text\n")
                          .arg(i)
                          .arg(note);
        }
        script += "quit\n";
        const Run result = sandbox.run({noteWindow(), note}, script.toUtf8());
        const QStringList lines = linesOf(result.out).filter(QRegularExpression("^(id|text) "));
        QVERIFY2(result.exitCode == 0 && lines.size() == 4 * pairs, result.out + result.err);
        int sameSecond = 0;
        for (int i = 0; i < pairs; ++i) {
            const QStringList pair = lines.mid(4 * i, 4);
            QCOMPARE(pair.at(1), QStringLiteral("text first  %1\\n").arg(i + 1));
            QCOMPARE(pair.at(3), QStringLiteral("text second %1\\n").arg(i + 1));
            sameSecond += pair.at(0) == pair.at(2);
        }
        if (sameSecond == 0)
            QSKIP("no second write fell into the same second as the first");
    }

    void slowDiskKeepsSavesInOrderAndQuitWaits()
    {
        // Every sync of a save's temporary takes two seconds while typing goes on.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldBytes);
        const QString trace = dir.filePath("trace");
        QString script;
        QByteArray expected = oldBytes;
        for (int i = 1; i <= 8; ++i) {
            script += QStringLiteral("type %1 \nwait 400\n").arg(i);
            expected += QByteArray::number(i) + ' ';
        }
        script += "quit\n";
        const QStringList command =
            FaultKit::underFaults({noteWindow(), note}, {"FAULT_CALL=fsync", "FAULT_PATH_SUBSTR=.tmp",
                                                         "FAULT_DELAY_MS=2000", "FAULT_TRACE=" + trace});
        const Run result = run(command.first(), command.mid(1), script.toUtf8());
        const QStringList lines = linesOf(result.out);
        // Quitting waited for the last text to land.
        QVERIFY2(result.exitCode == 0 && lines.contains("closed 1"), result.out + result.err);
        QCOMPARE(readBytes(note), expected);

        // On disk the note only ever grew: no older text landed after a newer one.
        const QStringList sizes = valuesOf(lines, "sizes").value(0).split(u',');
        for (qsizetype i = 1; i < sizes.size(); ++i)
            QVERIFY2(sizes.at(i).toLongLong() > sizes.at(i - 1).toLongLong(), qPrintable(sizes.join(u',')));
        QVERIFY2(sizes.size() >= 3 && sizes.last().toLongLong() == expected.size(), qPrintable(sizes.join(u',')));

        // One save at a time: the syncs of the temporaries never overlap.
        const QStringList syncs =
            QString::fromUtf8(readBytes(trace)).split(u'\n').filter(QRegularExpression("^faultinject: fsync .*\\.tmp"));
        for (qsizetype i = 0; i < syncs.size(); ++i)
            QVERIFY2(syncs.at(i).contains(i % 2 ? " = 0" : " delayed"), qPrintable(syncs.join(u'\n')));
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestNoteFaults)
#include "tst_notefaults.moc"
