#include "support/testsupport.h"

#include "framework/recoverystore.h"
#include "shell/recoveryoffer.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace TestSupport;

class TestRecoveryOffer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What each answer leaves (Later, as Escape gives it, is the end-to-end test's). When the note's folder is gone the
    // text goes to the next fallback folder that takes it, and the user is told where; with none, it stays kept and the
    // error says why.
    void answers_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("setup"); // "earlier": a recovered file is there already; "gone": the notes folder
        QTest::addColumn<QStringList>("fallbacks");
        QTest::addColumn<QString>("expectedFile"); // in the test's folder; empty: nothing written
        QTest::addColumn<QString>("error");        // a pattern, %1 the test's folder
        const int open = int(RecoveryOffer::Choice::OpenRecoveredText);
        const QString recovered = u"20261206 Note (Recovered).txt"_s;
        QTest::newRow("open: a new file beside the note") << open << "" << QStringList() << "notes/" + recovered << "";
        QTest::newRow("open when a recovered file is there: the next free name")
            << open << "earlier" << QStringList() << u"notes/20261206 Note (Recovered 2).txt"_s << "";
        QTest::newRow("discard: nothing written, nothing kept")
            << int(RecoveryOffer::Choice::Discard) << QString() << QStringList() << QString() << QString();
        QTest::newRow("folder gone, no other place: kept, the error says why")
            << open << "gone" << QStringList() << ""
            << "^Could not create “20261206 Note \\(Recovered\\)\\.txt”";
        QTest::newRow("folder gone: the Desktop when the notes folder is gone too")
            << open << "gone" << QStringList{"gone too", "Desktop"} << "Desktop/" + recovered
            << "“20261206 Note \\(Recovered\\)\\.txt” in “%1/Desktop”";
    }

    void answers()
    {
        QFETCH(int, choice);
        QFETCH(QString, setup);
        QFETCH(QStringList, fallbacks);
        QFETCH(QString, expectedFile);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString notes = dir.filePath("notes");
        const QString note = notes + "/20261206 Note.txt";
        QDir().mkpath(dir.filePath("Desktop"));
        if (setup != u"gone") {
            QDir().mkpath(notes);
            writeBytes(note, "on disk\n");
        }
        if (setup == u"earlier")
            writeBytes(notes + "/20261206 Note (Recovered).txt", "earlier\n");
        RecoveryStore store(dir.filePath("state/recovery"));
        store.keep(note, "typed but never saved\n");

        RecoveryOffer offer(store);
        for (QString &folder : fallbacks)
            folder = dir.filePath(folder);
        offer.setFallbackFolders(fallbacks);
        offer.setQuestion([&](const RecoveryStore::Entry &, const QByteArray &, const RecoveryOffer::Answer &answer) {
            answer(RecoveryOffer::Choice(choice));
        });
        offer.offer();
        const QList<QUrl> opened = offer.opened();
        QCOMPARE(readBytes(note), setup == u"gone" ? QByteArray("<unreadable>") : QByteArray("on disk\n"));
        QCOMPARE(opened,
                 expectedFile.isEmpty() ? QList<QUrl>{} : QList{QUrl::fromLocalFile(dir.filePath(expectedFile))});
        if (!expectedFile.isEmpty())
            QCOMPARE(readBytes(opened.first().toLocalFile()), QByteArray("typed but never saved\n"));
        const bool kept = choice == int(RecoveryOffer::Choice::OpenRecoveredText) && expectedFile.isEmpty();
        QCOMPARE(store.entries().size(), kept ? 1 : 0);
        QCOMPARE(offer.errors().size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(offer.errors().first().description().contains(
                         QRegularExpression(error.arg(QRegularExpression::escape(dir.path())))),
                     qPrintable(offer.errors().first().description()));
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

    // A keep runs beside the window's thread, and what comes after it sees it done.
    void keepingNeverWaitsForTheDisk()
    {
        QTemporaryDir dir;
        RecoveryStore store(dir.filePath("recovery"));
        const QString note = dir.filePath("note.txt");
        QSemaphore diskReady;
        store.keepLater(note, [&diskReady] {
            diskReady.acquire();
            return QByteArray("typed\n");
        });
        diskReady.release();
        QCOMPARE(readBytes(store.entries().value(0).recoveryPath), QByteArray("typed\n"));
        store.keepLater(note, [] { return QByteArray("more\n"); });
        store.discard(note);
        QVERIFY(store.entries().isEmpty());
    }
};

QTEST_MAIN(TestRecoveryOffer)
#include "tst_recoveryoffer.moc"
