#include "framework/document.h"
#include "framework/documentcontroller.h"
#include "framework/recoverystore.h"
#include "framework/windowcontroller.h"
#include "shell/appdelegate.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace TestSupport;

// The app's answers to launch, reopen and open requests, in process, with real files.
class TestAppDelegate : public QObject
{
    Q_OBJECT

public:
    TestAppDelegate()
    {
        // Settings and recovered texts of this run stay in a folder of its own.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("state"))));
    }

private Q_SLOTS:
    void init()
    {
        m_notes = std::make_unique<QTemporaryDir>();
        m_errors.clear();
        DocumentController::shared().takeRememberedDocumentUrls();
    }

    void launch_data()
    {
        QTest::addColumn<int>("givenFiles");
        QTest::addColumn<int>("rememberedFiles");
        QTest::addColumn<int>("expectedOpen");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::newRow("nothing given: one new note") << 0 << 0 << 1 << 1;
        QTest::newRow("files given: those, no new note") << 2 << 0 << 2 << 0;
        QTest::newRow("notes open at the last quit: those, no new note") << 0 << 2 << 2 << 0;
    }

    void launch()
    {
        QFETCH(int, givenFiles);
        QFETCH(int, rememberedFiles);
        QFETCH(int, expectedOpen);
        QFETCH(int, expectedNewNotes);
        const QList<QUrl> given = makeFiles(QStringLiteral("given"), givenFiles);
        if (rememberedFiles > 0) {
            AppDelegate earlier;
            configure(earlier);
            earlier.applicationOpenUrls(makeFiles(QStringLiteral("remembered"), rememberedFiles));
            QVERIFY(DocumentController::shared().reviewUnsavedDocumentsBeforeQuit());
        }

        AppDelegate delegate;
        configure(delegate);
        delegate.setLaunchFiles(given);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(DocumentController::shared().documents().size(), expectedOpen);
        QCOMPARE(newNotes().size(), expectedNewNotes);
        QCOMPARE(m_errors, QStringList());
        for (Document *document : DocumentController::shared().documents())
            QVERIFY(document->windowControllers().first()->window()->isVisible());
    }

    void textKeptFromALostRunIsOfferedFirst()
    {
        const QString note = m_notes->filePath(QStringLiteral("note.txt"));
        writeBytes(note, "what the disk had");
        RecoveryStore store(RecoveryStore::defaultFolder(QStringLiteral("noltnolt")));
        store.keep(note, "what the user typed");

        AppDelegate delegate;
        configure(delegate);
        int asked = 0;
        delegate.setRecoveryQuestion([&](const RecoveryStore::Entry &entry, const QByteArray &text) {
            ++asked;
            return entry.originalPath == note && text == "what the user typed"
                       ? RecoveryOffer::Choice::OpenRecoveredText
                       : RecoveryOffer::Choice::Later;
        });
        delegate.applicationDidFinishLaunching();
        QCOMPARE(asked, 1);
        QCOMPARE(readBytes(note), QByteArray("what the disk had"));
        const QString recovered = m_notes->filePath(QStringLiteral("note (Recovered).txt"));
        QCOMPARE(readBytes(recovered), QByteArray("what the user typed"));
        QCOMPARE(DocumentController::shared().documents().size(), 1);
        QCOMPARE(DocumentController::shared().documents().first()->fileUrl(), QUrl::fromLocalFile(recovered));
        QCOMPARE(newNotes().size(), 0);
        QCOMPARE(store.entries().size(), 0);
    }

    void endingWithoutQuitWritesEditedNotes()
    {
        const QString path = m_notes->filePath(QStringLiteral("note.txt"));
        writeBytes(path, "old");
        {
            AppDelegate delegate;
            configure(delegate);
            delegate.applicationOpenUrls({QUrl::fromLocalFile(path)});
            auto *document = qobject_cast<PlainTextDocument *>(DocumentController::shared().documents().first());
            document->setText(QStringLiteral("typed, never saved"));
            document->updateChangeCount(Document::ChangeType::Done);
        }
        QCOMPARE(readBytes(path), QByteArray("typed, never saved"));
    }

    void reopen_data()
    {
        QTest::addColumn<bool>("closeWindowsFirst");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::newRow("a window is visible: nothing new") << false << 1;
        QTest::newRow("no window visible: a new note") << true << 2;
    }

    void reopen()
    {
        QFETCH(bool, closeWindowsFirst);
        QFETCH(int, expectedNewNotes);
        AppDelegate delegate;
        configure(delegate);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(newNotes().size(), 1);
        if (closeWindowsFirst) {
            for (Document *document : DocumentController::shared().documents())
                QVERIFY(document->windowControllers().first()->window()->close());
            QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
        }
        delegate.reopen();
        QCOMPARE(newNotes().size(), expectedNewNotes);
    }

    void openUrlsOpensEachAndReportsEachFailure()
    {
        AppDelegate delegate;
        configure(delegate);
        const QString good1 = m_notes->filePath(QStringLiteral("one.txt"));
        const QString bad = m_notes->filePath(QStringLiteral("latin1.txt"));
        const QString good2 = m_notes->filePath(QStringLiteral("two.txt"));
        writeBytes(good1, "one");
        writeBytes(bad, "caf\xe9");
        writeBytes(good2, "two");
        delegate.applicationOpenUrls(
            {QUrl::fromLocalFile(good1), QUrl::fromLocalFile(bad), QUrl::fromLocalFile(good2)});
        QCOMPARE(DocumentController::shared().documents().size(), 2);
        QCOMPARE(m_errors, QStringList{QStringLiteral("This file is not UTF-8 plain text.")});
        QCOMPARE(readBytes(bad), QByteArray("caf\xe9"));

        // The same file again: its window comes forward, no second document, no error.
        delegate.open(QUrl::fromLocalFile(good1));
        QCOMPARE(DocumentController::shared().documents().size(), 2);
        QCOMPARE(m_errors.size(), 1);
    }

    void newNoteThatCannotBeCreatedIsReported()
    {
        AppDelegate delegate;
        configure(delegate);
        writeBytes(m_notes->filePath(QStringLiteral("file")), "in the way");
        delegate.setNotesFolder(m_notes->filePath(QStringLiteral("file/Desktop")));
        delegate.newDocument(nullptr);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors.first().contains(u"Desktop"), qPrintable(m_errors.first()));
        QCOMPARE(DocumentController::shared().documents().size(), 0);
    }

    void cleanup()
    {
        const QList<Document *> open = DocumentController::shared().documents();
        for (Document *document : open)
            document->close();
        QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
    }

private:
    void configure(AppDelegate &delegate)
    {
        delegate.setNotesFolder(m_notes->filePath(QStringLiteral("Desktop")));
        delegate.setErrorPresenter([this](const Error &error) { m_errors.append(error.description()); });
    }

    QList<QUrl> makeFiles(const QString &prefix, int count)
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i) {
            const QString path = m_notes->filePath(prefix + QString::number(i) + QStringLiteral(".txt"));
            writeBytes(path, "text");
            urls.append(QUrl::fromLocalFile(path));
        }
        return urls;
    }

    QStringList newNotes() const
    {
        return QDir(m_notes->filePath(QStringLiteral("Desktop"))).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_notes;
    QStringList m_errors;
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
