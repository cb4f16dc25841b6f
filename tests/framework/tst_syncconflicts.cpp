// The names sync engines give the other device's version: a rename to one is never followed as a move.
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
        // Our own copies are among the names recognised.
        QVERIFY(SyncConflicts::isCopyOf(SyncConflicts::ownCopyName(note, QDateTime::currentDateTime()), note));
    }
};

QTEST_GUILESS_MAIN(TestSyncConflicts)
#include "tst_syncconflicts.moc"
