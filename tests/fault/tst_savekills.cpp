// A save killed at any moment leaves the old or the new complete text, and at most a hidden temporary that the next
// save removes. Two processes making notes in one folder at once never share a name.
#include "faultkit.h"
#include "filesnapshot.h"

#include "framework/durablewriter.h"
#include "storage/plaintextdocument.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

const QByteArray oldText = QByteArrayLiteral("the old text of the note\n");
const QByteArray shortNew = QByteArrayLiteral("the new text\n");

QByteArray numberedText(int number, int size)
{
    QByteArray text = "text " + QByteArray::number(number) + '\n';
    while (text.size() < size)
        text += "typing goes on in text " + QByteArray::number(number) + '\n';
    return text;
}

// Each save of the typing loop: text i grows, as typing does.
QByteArray typedText(int i)
{
    return numberedText(i, 40 * i * i);
}

constexpr int typedSaves = 8;

QStringList strays(const QString &folder)
{
    QStringList names = entries(folder);
    names.removeAll(QStringLiteral("note.txt"));
    names.removeAll(QStringLiteral("other name.txt"));
    return names;
}

// Anything a kill left that could be shown as a note.
QStringList visibleStrays(const QString &folder)
{
    QStringList names = strays(folder);
    names.removeIf(FaultKit::looksTemporary);
    return names;
}

} // namespace

class TestSaveKills : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (FaultKit::faultLibrary().isEmpty())
            QSKIP("run through ctest, which names the fault library");
    }

    void killedAtStep_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("when");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("landed");
        // 2.5 MiB goes down in three writes.
        const QByteArray longNew = numberedText(1, 2560 * 1024);
        for (const QString call : {"open", "write", "fsync", "close", "rename"}) {
            for (const QString when : {"before", "after"})
                QTest::addRow("%s of the temporary, %s", qPrintable(call), qPrintable(when))
                    << call << 0 << when << shortNew << (call == u"rename" && when == u"after");
        }
        for (int write = 0; write < 3; ++write)
            QTest::addRow("long text: write %d, after", write + 1) << "write" << write << "after" << longNew << false;
        QTest::newRow("long text: fsync of the temporary, after") << "fsync" << 0 << "after" << longNew << false;
        QTest::newRow("open of the folder, after") << "open" << 1 << "after" << shortNew << true;
        QTest::newRow("folder fsync, before") << "fsync" << 1 << "before" << shortNew << true;
        QTest::newRow("long text: folder fsync, after") << "fsync" << 1 << "after" << longNew << true;
    }

    void killedAtStep()
    {
        QFETCH(QString, call);
        QFETCH(int, after);
        QFETCH(QString, when);
        QFETCH(QByteArray, text);
        QFETCH(bool, landed);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldText);
        const FileSnapshot before = FileSnapshot::take(note);

        const Run killed = FaultKit::save(note, text,
                                          {"FAULT_CALL=" + call, "FAULT_AFTER=" + QString::number(after),
                                           "FAULT_KILL=" + when, "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + dir.path()});
        QVERIFY2(killed.exitStatus == QProcess::CrashExit, killed.err.constData());
        QCOMPARE(FaultKit::traceLines(killed.err).filter(" killed ").size(), 1);
        QVERIFY(readBytes(note) == (landed ? text : oldText));
        QCOMPARE(visibleStrays(dir.path()), QStringList{});
        const FileSnapshot now = FileSnapshot::take(note);
        QStringList changes = now.changes(before);
        changes.removeAll(QStringLiteral("folder")); // the temporary the kill left
        QVERIFY2(changes.isEmpty() || landed, qPrintable(now.describe(before)));

        // The next save removes what the killed one left behind.
        const Run next = FaultKit::save(note, shortNew);
        QVERIFY2(next.exitCode == 0, next.err.constData());
        QCOMPARE(readBytes(note), shortNew);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
    }

    void sweep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("removed");
        QTest::newRow("removes: a stale temporary of the note") << ".note.txt.nolt-1k3j9xa.tmp" << false << true;
        QTest::newRow("removes: a backup of a rewrite the note has outlived")
            << ".note.txt.nolt-backup-1k3j9xa.tmp" << false << true;
        QTest::newRow("keeps: a temporary whose save still runs") << ".note.txt.nolt-1k3j9xa.tmp" << true << false;
        QTest::newRow("keeps: another note's temporary") << ".other.txt.nolt-1k3j9xa.tmp" << false << false;
        QTest::newRow("keeps: a user's look-alike file") << ".note.txt.backup.tmp" << false << false;
        QTest::newRow("keeps: a longer random part than ours") << ".note.txt.nolt-12345678.tmp" << false << false;
    }

    void sweep()
    {
        // After a successful save, temporaries that killed saves left beside the note go; anything else stays.
        QFETCH(QString, name);
        QFETCH(bool, locked);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldText);
        const QString stray = dir.filePath(name);
        writeBytes(stray, "left behind");
        QFile holder(stray);
        QVERIFY(holder.open(QIODevice::ReadOnly));
        if (locked)
            QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

        const Run result = FaultKit::save(note, shortNew);
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(QFile::exists(stray), !removed);
        QCOMPARE(readBytes(note), shortNew);
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
        writeBytes(note, oldText);
        const Run killed =
            FaultKit::save(note, shortNew, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        QStringList left = entries(dir.path());
        left.removeAll(name);
        QCOMPARE(left.size(), 1);
        QVERIFY(DurableWriter::isTemporaryName(left.first()));
        const Run next = FaultKit::save(note, shortNew);
        QVERIFY2(next.exitCode == 0, next.err.constData());
        QCOMPARE(readBytes(note), shortNew);
        QCOMPARE(entries(dir.path()), QStringList{name});
    }

    void temporaryStaysPrivate()
    {
        // Until it takes the note's mode the temporary is its owner's only: others could read the text arriving.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldText);
        QVERIFY(
            QFile::setPermissions(note, QFile::permissions(note) | QFileDevice::ReadOther | QFileDevice::WriteOther));
        const Run killed =
            FaultKit::save(note, shortNew, {"FAULT_CALL=open", "FAULT_KILL=after", "FAULT_PATH_SUBSTR=" + dir.path()});
        QCOMPARE(killed.exitStatus, QProcess::CrashExit);
        const QStringList left = strays(dir.path());
        QCOMPARE(left.size(), 1);
        QVERIFY(DurableWriter::isTemporaryName(left.first()));
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(left.first())).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void temporaryNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("temporary");
        QTest::newRow("temporary: of a note") << ".20261014 Note.txt.nolt-1k3j9xa.tmp" << true;
        QTest::newRow("temporary: short random part") << ".a.txt.nolt-0.tmp" << true;
        QTest::newRow("not: the note") << "20261014 Note.txt" << false;
        QTest::newRow("not: a user's hidden backup") << ".note.txt.backup.tmp" << false;
        QTest::newRow("not: upper case") << ".note.txt.nolt-1K3J.tmp" << false;
        QTest::newRow("not: no note name") << "..nolt-1k3.tmp" << false;
        QTest::newRow("not: visible") << "note.txt.nolt-1k3.tmp" << false;
    }

    void temporaryNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, temporary);
        QCOMPARE(DurableWriter::isTemporaryName(name), temporary);
    }

    void killedWhileRewritingHardLinkedNote()
    {
        // A hard-linked note is rewritten in place: killed midway, its old text is whole in the synced backup, and
        // opening the note again puts that text back under both names before anything else reads or saves it.
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        const QByteArray longOld = numberedText(0, 3 * 1024 * 1024);
        writeBytes(note, longOld);
        QVERIFY(::link(QFile::encodeName(note).constData(),
                       QFile::encodeName(dir.filePath("other name.txt")).constData()) == 0);

        // Only calls on the note itself count, so this is the first of the rewrite's two pieces.
        const QByteArray text = numberedText(2, 1536 * 1024);
        const Run killed = FaultKit::save(
            note, text,
            {"FAULT_CALL=write", "FAULT_AFTER=0", "FAULT_KILL=after", "FAULT_TRACE=1", "FAULT_PATH_SUBSTR=" + note});
        QVERIFY2(killed.exitStatus == QProcess::CrashExit, killed.err.constData());
        const QStringList left = strays(dir.path());
        QCOMPARE(left.size(), 1);
        QVERIFY(FaultKit::looksTemporary(left.first()));
        QCOMPARE(readBytes(dir.filePath(left.first())), longOld);
        QVERIFY(readBytes(note) != longOld && readBytes(note) != text);

        PlainTextDocument reopened;
        reopened.readFromUrl(QUrl::fromLocalFile(note), QString::fromLatin1(PlainTextDocument::typeName));
        QCOMPARE(reopened.text(), QString::fromUtf8(longOld));
        QCOMPARE(readBytes(dir.filePath("other name.txt")), longOld);
        QCOMPARE(strays(dir.path()), QStringList{});

        const Run next = FaultKit::save(note, text);
        QVERIFY2(next.exitCode == 0, next.err.constData());
        QCOMPARE(readBytes(note), text);
        QCOMPARE(readBytes(dir.filePath("other name.txt")), text);
        QCOMPARE(strays(dir.path()), QStringList{});
    }

    void randomKillsWhileTyping()
    {
        // After each kill the note holds the last returned save's text or the one in flight's. A kill is not a
        // power cut, so tmpfs spares the disk 3000 syncs.
        QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/tst_savekills-XXXXXX")
                                                    : QDir::tempPath() + QStringLiteral("/tst_savekills-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString note = dir.filePath("note.txt");
        writeBytes(note, oldText);
        QByteArray input;
        for (int i = 1; i <= typedSaves; ++i)
            input += (i > 1 ? QByteArray(1, '\0') : QByteArray()) + typedText(i);
        QByteArray current = oldText;
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int killedRuns = 0;
        for (int run = 0; run < 200; ++run) {
            const int at = random.bounded(typedSaves * 8 + 4);
            const QString when = random.bounded(2) ? QStringLiteral("after") : QStringLiteral("before");
            const QString context =
                QStringLiteral("seed %1, run %2, kill %3 call %4").arg(seed).arg(run).arg(when).arg(at);
            const QStringList command = FaultKit::underFaults(
                {noteTool(), "saves", note}, {"FAULT_CALL=any", "FAULT_AFTER=" + QString::number(at),
                                              "FAULT_KILL=" + when, "FAULT_PATH_SUBSTR=" + dir.path()});
            const Run result = TestSupport::run(command.first(), command.mid(1), input);
            killedRuns += result.exitStatus == QProcess::CrashExit;
            const QStringList acknowledged =
                QString::fromUtf8(result.out).split(u'\n').filter(QStringLiteral("saved "));
            const int last = acknowledged.isEmpty() ? 0 : acknowledged.last().mid(6).toInt();
            const QByteArray now = readBytes(note);
            const bool allowed =
                now == (last == 0 ? current : typedText(last)) || (last < typedSaves && now == typedText(last + 1));
            QVERIFY2(allowed,
                     qPrintable(
                         context +
                         QStringLiteral(": the note holds %1 bytes after save %2 returned").arg(now.size()).arg(last)));
            QVERIFY2(visibleStrays(dir.path()).isEmpty(), qPrintable(context + ": " + strays(dir.path()).join(u',')));
            // A save that returned has swept what earlier kills left; only the one in flight may have left one.
            if (last > 0)
                QVERIFY2(strays(dir.path()).size() <= 1, qPrintable(context + ": temporaries pile up"));
            current = now;
        }
        QVERIFY2(killedRuns > 150, qPrintable(QStringLiteral("only %1 runs were killed").arg(killedRuns)));
        QVERIFY(FaultKit::save(note, shortNew).exitCode == 0);
        QCOMPARE(entries(dir.path()), QStringList{"note.txt"});
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
};

QTEST_GUILESS_MAIN(TestSaveKills)
#include "tst_savekills.moc"
