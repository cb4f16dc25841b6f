// The names sync engines give the other device's version: a rename to one is never followed as a move.
#include "framework/linediff.h"
#include "framework/syncconflicts.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSyncConflicts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knowsTheEnginesCopies_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("note");
        QTest::addColumn<bool>("copy");
        QTest::newRow("Syncthing") << u"one.sync-conflict-20261207-021530-VJMWRMI.txt"_s << u"one.txt"_s << true;
        QTest::newRow("Nextcloud") << u"one (conflicted copy 2026-12-07 021530).txt"_s << u"one.txt"_s << true;
        QTest::newRow("ownCloud") << u"one_conflict-20261207-021530.txt"_s << u"one.txt"_s << true;
        QTest::newRow("Dropbox") << u"one (Anna's conflicted copy 2026-12-07).txt"_s << u"one.txt"_s << true;
        QTest::newRow("ours, no extension") << u"todo (conflict 2026-12-07 0215)"_s << u"todo"_s << true;
        QTest::newRow("not: another note's copy")
            << u"two.sync-conflict-20261207-021530-VJMWRMI.txt"_s << u"one.txt"_s << false;
        QTest::newRow("not: a plain rename") << u"one, renamed.txt"_s << u"one.txt"_s << false;
        QTest::newRow("not: a name that only looks like one")
            << u"one.sync-conflict-2026.txt"_s << u"one.txt"_s << false;
        QTest::newRow("not: special characters are not patterns")
            << u"one(conflicted copy 2026-12-07 021530).txt"_s << u"one.txt"_s << false;
    }

    void knowsTheEnginesCopies()
    {
        QFETCH(QString, name);
        QFETCH(QString, note);
        QFETCH(bool, copy);
        QCOMPARE(SyncConflicts::isCopyOf(name, note), copy);
        // Our own copies, numbered or not, are among the names recognised.
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(SyncConflicts::isCopyOf(SyncConflicts::ownCopyName(note, now), note));
        QVERIFY(SyncConflicts::isCopyOf(SyncConflicts::ownCopyName(note, now, 3), note));
    }

    // What the question about another version shows: where the two part, and the lines each has there.
    void tellsWhatDiffers_data()
    {
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<qsizetype>("firstLine");
        QTest::addColumn<QStringList>("oursShown");
        QTest::addColumn<QStringList>("theirsShown");
        // The shared start and end overlap: each line is counted once.
        QTest::newRow("a repeated line taken away")
            << u"a\na\na"_s << u"a\na"_s << qsizetype(3) << QStringList{u"a"_s} << QStringList();
        QTest::newRow("only the first lines are kept") << u"1\n2\n3\n4\n5"_s << QString() << qsizetype(1)
                                                       << QStringList{u"1"_s, u"2"_s, u"3"_s} << QStringList{QString()};
    }
    void tellsWhatDiffers()
    {
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(qsizetype, firstLine);
        QFETCH(QStringList, oursShown);
        QFETCH(QStringList, theirsShown);
        const LineDiff diff = LineDiff::between(ours, theirs);
        QCOMPARE(diff.firstLine, firstLine);
        QCOMPARE(diff.ours, oursShown);
        QCOMPARE(diff.theirs, theirsShown);
    }
};

QTEST_GUILESS_MAIN(TestSyncConflicts)
#include "tst_syncconflicts.moc"
