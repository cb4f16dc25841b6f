#include "support/testsupport.h"

#include "framework/filenames.h"
#include "framework/recoverystore.h"
#include "shell/recoveryoffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
        QTest::newRow("open: a new file beside the note")
            << int(RecoveryOffer::Choice::OpenRecoveredText) << false << "20261206 Note (Recovered).txt";
        QTest::newRow("open when a recovered file is there: the next free name")
            << int(RecoveryOffer::Choice::OpenRecoveredText) << true << "20261206 Note (Recovered 2).txt";
        QTest::newRow("discard: nothing written, nothing kept")
            << int(RecoveryOffer::Choice::Discard) << false << QString();
        QTest::newRow("later: nothing written, still kept") << int(RecoveryOffer::Choice::Later) << false << QString();
    }

    void answers()
    {
        QFETCH(int, choice);
        QFETCH(bool, earlierRecoveredFile);
        QFETCH(QString, expectedFile);
        QTemporaryDir dir;
        const QString notes = dir.filePath("notes");
        const QString note = notes + "/20261206 Note.txt";
        QDir().mkpath(notes);
        writeBytes(note, "on disk\n");
        if (earlierRecoveredFile)
            writeBytes(notes + "/20261206 Note (Recovered).txt", "earlier\n");
        RecoveryStore store(dir.filePath("state/recovery"));
        store.keep(note, "typed but never saved\n");

        RecoveryOffer offer(store);
        offer.setQuestion([&](const RecoveryStore::Entry &, const QByteArray &, const RecoveryOffer::Answer &answer) {
            answer(RecoveryOffer::Choice(choice));
        });
        offer.offer();
        const QList<QUrl> opened = offer.opened();
        QCOMPARE(readBytes(note), QByteArray("on disk\n"));
        QCOMPARE(opened,
                 expectedFile.isEmpty() ? QList<QUrl>{} : QList{QUrl::fromLocalFile(notes + u'/' + expectedFile)});
        if (!expectedFile.isEmpty())
            QCOMPARE(readBytes(opened.first().toLocalFile()), QByteArray("typed but never saved\n"));
        QCOMPARE(store.entries().size(), choice == int(RecoveryOffer::Choice::Later) ? 1 : 0);
    }

    // The question waits in a window of its own: offering returns at once, and keys never answer it.
    void theQuestionStopsNothing()
    {
        QTemporaryDir dir;
        const QString note = dir.filePath("note.txt");
        writeBytes(note, "on disk\n");
        RecoveryStore store(dir.filePath("recovery"));
        store.keep(note, "typed\n");
        RecoveryOffer offer(store);
        QSignalSpy finished(&offer, &RecoveryOffer::finished);
        QCOMPARE(offer.offer(), 1);
        QTRY_COMPARE(messageBoxes().size(), 1);
        QMessageBox *box = messageBoxes().first();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter})
            QTest::keyClick(box, key);
        QVERIFY(box->isVisible());
        QVERIFY(store.holds(note));
        for (QAbstractButton *button : box->buttons()) {
            if (button->text().contains("Open"))
                button->click();
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(readBytes(dir.filePath("note (Recovered).txt")), QByteArray("typed\n"));
        QVERIFY(!store.holds(note));
    }

    void nowhereBesideTheNote_data()
    {
        QTest::addColumn<QStringList>("fallbacks");
        QTest::addColumn<QString>("writtenTo"); // empty: kept for a later launch
        QTest::newRow("no other place: kept, the error says why") << QStringList() << QString();
        QTest::newRow("the Desktop when the notes folder is gone too")
            << QStringList{"gone too", "Desktop"} << "Desktop";
    }

    void nowhereBesideTheNote()
    {
        // The note's folder is gone: the text goes to the next place that takes it, and the user is told where.
        QFETCH(QStringList, fallbacks);
        QFETCH(QString, writtenTo);
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("Desktop"));
        const QString note = dir.filePath("gone/note.txt");
        RecoveryStore store(dir.filePath("recovery"));
        store.keep(note, "only copy\n");
        RecoveryOffer offer(store);
        for (QString &folder : fallbacks)
            folder = dir.filePath(folder);
        offer.setFallbackFolders(fallbacks);
        offer.setQuestion([](const RecoveryStore::Entry &, const QByteArray &, const RecoveryOffer::Answer &answer) {
            answer(RecoveryOffer::Choice::OpenRecoveredText);
        });
        offer.offer();
        const QList<QUrl> opened = offer.opened();
        QCOMPARE(offer.errors().size(), 1);
        const QString message = offer.errors().first().description();
        if (writtenTo.isEmpty()) {
            QVERIFY(opened.isEmpty());
            QVERIFY2(message.startsWith("Could not create “note (Recovered).txt”"), qPrintable(message));
            QVERIFY(store.holds(note));
        } else {
            const QString file = dir.filePath(writtenTo + "/note (Recovered).txt");
            QCOMPARE(opened, QList{QUrl::fromLocalFile(file)});
            QCOMPARE(readBytes(file), QByteArray("only copy\n"));
            QVERIFY2(message.contains(u"“note (Recovered).txt” in “%1”"_s.arg(dir.filePath(writtenTo))),
                     qPrintable(message));
            QVERIFY(!store.holds(note));
        }
    }

    void keptTextIsPrivate()
    {
        // Other users may read a home folder: kept texts never, and what an older version left is closed at launch.
        QTemporaryDir dir;
        const QString folder = dir.filePath("recovery");
        QDir().mkpath(folder);
        writeBytes(folder + "/old.txt", "left readable\n");
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7755)));
        QVERIFY(QFile::setPermissions(folder + "/old.txt", QFileDevice::Permissions(0x6644)));
        RecoveryStore store(folder);
        store.keep(dir.filePath("note.txt"), "typed\n");
        QCOMPARE(modeOf(folder), 0700);
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 3);
        for (const QString &name : files)
            QCOMPARE(modeOf(folder + u'/' + name), 0600);
    }

    void longNamesAreShortenedToWholeCharacters()
    {
        QCOMPARE(RecoveryOffer::recoveredName(QString(250, u'n') + ".txt", 2),
                 QString(237, u'n') + " (Recovered 2).txt");
        QCOMPARE(RecoveryOffer::recoveredName(QString(125, u'é') + ".txt", 1), QString(119, u'é') + " (Recovered).txt");
        // Bytes that are not UTF-8 are kept, one by one.
        const QString latin1 = FileNames::decodeName(QByteArray(250, '\xe9') + ".txt");
        QCOMPARE(FileNames::encodeName(RecoveryOffer::recoveredName(latin1, 1)),
                 QByteArray(239, '\xe9') + " (Recovered).txt");
        QTemporaryDir state;
        RecoveryStore store(state.path());
        store.keep("/nowhere/" + latin1, "typed");
        QCOMPARE(store.entries().value(0).originalPath, "/nowhere/" + latin1);
    }
};

QTEST_MAIN(TestRecoveryOffer)
#include "tst_recoveryoffer.moc"
