#include "support/testsupport.h"

#include "framework/recoverystore.h"
#include "shell/recoveryoffer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestRecoveryOffer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("earlierRecoveredFile");
        QTest::addColumn<QString>("expectedFile");
        QTest::addColumn<bool>("stillKept");
        QTest::newRow("open: a new file beside the note")
            << int(RecoveryOffer::Choice::OpenRecoveredText) << false << "20261206 Note (Recovered).txt" << false;
        QTest::newRow("open when a recovered file is there: the next free name")
            << int(RecoveryOffer::Choice::OpenRecoveredText) << true << "20261206 Note (Recovered 2).txt" << false;
        QTest::newRow("discard: nothing written, nothing kept")
            << int(RecoveryOffer::Choice::Discard) << false << QString() << false;
        QTest::newRow("later: nothing written, still kept")
            << int(RecoveryOffer::Choice::Later) << false << QString() << true;
    }

    void answers()
    {
        QFETCH(int, choice);
        QFETCH(bool, earlierRecoveredFile);
        QFETCH(QString, expectedFile);
        QFETCH(bool, stillKept);
        QTemporaryDir dir;
        const QString notes = dir.filePath("notes");
        QDir().mkpath(notes);
        const QString note = notes + "/20261206 Note.txt";
        writeBytes(note, "on disk\n");
        if (earlierRecoveredFile)
            writeBytes(notes + "/20261206 Note (Recovered).txt", "earlier\n");
        RecoveryStore store(dir.filePath("state/recovery"));
        store.keep(note, "typed but never saved\n");

        RecoveryOffer offer(store);
        QStringList asked;
        offer.setQuestion([&](const RecoveryStore::Entry &entry, const QByteArray &text) {
            asked << entry.originalPath + u'|' + QString::fromUtf8(text);
            return RecoveryOffer::Choice(choice);
        });
        const QList<QUrl> opened = offer.offer();

        QCOMPARE(asked, QStringList{note + "|typed but never saved\n"});
        QVERIFY(offer.errors().isEmpty());
        QCOMPARE(readBytes(note), QByteArray("on disk\n"));
        if (earlierRecoveredFile)
            QCOMPARE(readBytes(notes + "/20261206 Note (Recovered).txt"), QByteArray("earlier\n"));
        QCOMPARE(opened,
                 expectedFile.isEmpty() ? QList<QUrl>{} : QList{QUrl::fromLocalFile(notes + u'/' + expectedFile)});
        if (!expectedFile.isEmpty())
            QCOMPARE(readBytes(opened.first().toLocalFile()), QByteArray("typed but never saved\n"));
        QCOMPARE(store.entries().size(), stillKept ? 1 : 0);
    }

    void folderGoneKeepsTheText()
    {
        // Nowhere to put the recovered file: the text stays for a later launch and the error says why.
        QTemporaryDir dir;
        const QString note = dir.filePath("gone/note.txt");
        RecoveryStore store(dir.filePath("recovery"));
        store.keep(note, "only copy\n");
        RecoveryOffer offer(store);
        offer.setQuestion(
            [](const RecoveryStore::Entry &, const QByteArray &) { return RecoveryOffer::Choice::OpenRecoveredText; });
        QVERIFY(offer.offer().isEmpty());
        QCOMPARE(offer.errors().size(), 1);
        QVERIFY2(offer.errors().first().description().startsWith("Could not create “note (Recovered).txt”"),
                 qPrintable(offer.errors().first().description()));
        QVERIFY(store.holds(note));
        QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
    }
};

QTEST_GUILESS_MAIN(TestRecoveryOffer)
#include "tst_recoveryoffer.moc"
