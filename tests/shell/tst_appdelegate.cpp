#include "framework/document.h"
#include "framework/documentcontroller.h"
#include "framework/recoverystore.h"
#include "framework/windowcontroller.h"
#include "shell/appdelegate.h"
#include "shell/windowplacement.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <csignal>

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
        QTest::addColumn<QString>("windowsBefore");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::newRow("a window is visible: nothing new") << "shown" << 1;
        QTest::newRow("windows minimised by Hide: they come back, nothing new") << "hidden" << 1;
        QTest::newRow("no window visible: a new note") << "closed" << 2;
    }

    void reopen()
    {
        QFETCH(QString, windowsBefore);
        QFETCH(int, expectedNewNotes);
        AppDelegate delegate;
        configure(delegate);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(newNotes().size(), 1);
        if (windowsBefore == u"hidden")
            delegate.hideApplication(nullptr);
        if (windowsBefore == u"closed") {
            for (Document *document : DocumentController::shared().documents())
                QVERIFY(document->windowControllers().first()->window()->close());
            QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
        }
        delegate.reopen();
        QCOMPARE(newNotes().size(), expectedNewNotes);
        for (QWidget *window : windows())
            QVERIFY(window->isVisible() && !window->isMinimized());
    }

    void newWindowsCascadeWithinTheScreen_data()
    {
        QTest::addColumn<bool>("firstAtBottomRight");
        QTest::newRow("one title bar down and right") << false;
        QTest::newRow("back to the edge at the bottom right") << true;
    }

    void newWindowsCascadeWithinTheScreen()
    {
        QFETCH(bool, firstAtBottomRight);
        AppDelegate delegate;
        configure(delegate);
        delegate.newDocument(nullptr);
        QWidget *first = windows().first();
        const QRect available = first->screen()->availableGeometry();
        QVERIFY(available.contains(first->frameGeometry()));
        const QSize size = first->frameGeometry().size();
        first->move(firstAtBottomRight ? available.bottomRight() - QPoint(size.width(), size.height()) + QPoint(1, 1)
                                       : available.topLeft() + QPoint(40, 30));
        QTRY_COMPARE(first->frameGeometry().size(), size);
        delegate.newDocument(nullptr);
        QCOMPARE(windows().size(), 2);
        QWidget *second = windows().last() == first ? windows().first() : windows().last();
        const int step = WindowPlacement::titleBarHeight(first);
        QVERIFY(step > 0);
        QCOMPARE(second->frameGeometry().topLeft(),
                 firstAtBottomRight ? available.topLeft() : first->frameGeometry().topLeft() + QPoint(step, step));
        QVERIFY(available.contains(second->frameGeometry()));
    }

    void fitsTheScreen_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 640, 450); // 1280x900 at scale factor 2
        QTest::newRow("too large: shrunk into the screen") << QRect(-69, -55, 780, 600) << screen;
        QTest::newRow("off to the bottom right: moved in") << QRect(500, 400, 300, 200) << QRect(340, 250, 300, 200);
        QTest::newRow("inside: kept") << QRect(10, 20, 300, 200) << QRect(10, 20, 300, 200);
    }

    void fitsTheScreen()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, expected);
        QCOMPARE(WindowPlacement::fitted(frame, QRect(0, 0, 640, 450)), expected);
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
        QTRY_COMPARE(m_errors, QStringList{QStringLiteral(
                                   "This file is not UTF-8 plain text.\n“latin1.txt” is not UTF-8 plain text.")});
        QCOMPARE(readBytes(bad), QByteArray("caf\xe9"));

        // The same file again: its window comes forward, no second document, no error.
        delegate.open(QUrl::fromLocalFile(good1));
        QCOMPARE(DocumentController::shared().documents().size(), 2);
        QCOMPARE(m_errors.size(), 1);

        // An address that names no file says which address it was.
        delegate.open(QUrl(QStringLiteral("file:")));
        QTRY_COMPARE(m_errors.size(), 2);
        QVERIFY2(m_errors.last().startsWith(u"Could not open “file:”"), qPrintable(m_errors.last()));
    }

    void unsavableNoteIsKeptWhenTheAppEnds()
    {
        // A signal ends the app while a note cannot be written: no error that nobody would see, and its text kept
        // for recovery, offered at the next launch.
        const QString folder = m_notes->filePath(QStringLiteral("going"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/note.txt");
        writeBytes(path, "old");
        int told = 0;
        {
            AppDelegate delegate;
            configure(delegate);
            delegate.applicationOpenUrls({QUrl::fromLocalFile(path)});
            auto *document = qobject_cast<PlainTextDocument *>(DocumentController::shared().documents().first());
            connect(document, &Document::errorPresented, this,
                    [&told](const Error &error) { told += error.description().startsWith(u"Could not save"); });
            QVERIFY(QDir(folder).removeRecursively());
            document->setText(QStringLiteral("typed, cannot be saved"));
            document->updateChangeCount(Document::ChangeType::Done);
            ::raise(SIGTERM);
            QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
        }
        QCOMPARE(told, 0);
        RecoveryStore store(RecoveryStore::defaultFolder(QStringLiteral("noltnolt")));
        QVERIFY(store.holds(path));
        store.discard(path);
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

    // Runs last: a quit ends every event loop the test could still start.
    void relaunchBringsBackExactlyTheWindowsOpenAtQuit()
    {
        const QList<QUrl> earlier = makeFiles(QStringLiteral("earlier"), 2);
        const QList<QUrl> kept = makeFiles(QStringLiteral("kept"), 2);
        const QList<QPoint> places{{60, 50}, {300, 200}};
        {
            AppDelegate remembered;
            configure(remembered);
            remembered.applicationOpenUrls(earlier);
            QVERIFY(DocumentController::shared().reviewUnsavedDocumentsBeforeQuit());
        }
        cleanup();
        { // launched with a file, Ctrl+N, every window closed by the user: the app ends with nothing open
            AppDelegate delegate;
            configure(delegate);
            delegate.setLaunchFiles({kept.first()});
            delegate.applicationDidFinishLaunching();
            delegate.newDocument(nullptr);
            for (QWidget *window : windows())
                window->close();
            QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
        }
        { // two notes moved by the user, then Quit
            AppDelegate delegate;
            configure(delegate);
            delegate.applicationDidFinishLaunching();
            QCOMPARE(urlsOpen(), QList<QUrl>{newNoteUrl()}); // not the earlier session's notes
            delegate.open(newNoteUrl());                     // already open
            DocumentController::shared().documents().first()->close();
            delegate.applicationOpenUrls(kept);
            for (int i = 0; i < kept.size(); ++i)
                windowOf(kept.at(i))->move(places.at(i));
            delegate.terminate(nullptr);
            QTRY_COMPARE(DocumentController::shared().documents().size(), 0);
        }
        AppDelegate delegate;
        configure(delegate);
        delegate.applicationDidFinishLaunching();
        QCOMPARE(urlsOpen(), kept);
        for (int i = 0; i < kept.size(); ++i)
            QCOMPARE(windowOf(kept.at(i))->pos(), places.at(i));
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
        delegate.setErrorPresenter([this](const Error &error) {
            m_errors.append(error.description() +
                            (error.informativeText().isEmpty() ? QString() : u'\n' + error.informativeText()));
        });
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

    static QList<QWidget *> windows()
    {
        QList<QWidget *> found;
        for (Document *document : DocumentController::shared().documents())
            found.append(document->windowControllers().first()->window());
        return found;
    }

    static QWidget *windowOf(const QUrl &url)
    {
        return DocumentController::shared().documentForUrl(url)->windowControllers().first()->window();
    }

    static QList<QUrl> urlsOpen()
    {
        QList<QUrl> urls;
        for (Document *document : DocumentController::shared().documents())
            urls.append(document->fileUrl());
        return urls;
    }

    QUrl newNoteUrl() const
    {
        return QUrl::fromLocalFile(m_notes->filePath(QStringLiteral("Desktop/") + newNotes().value(0)));
    }

    QStringList newNotes() const
    {
        return QDir(m_notes->filePath(QStringLiteral("Desktop"))).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_notes;
    QStringList m_errors;
};

int main(int argc, char **argv)
{
    // A 1280x900 screen whose windows have title bars, as on a desktop.
    QTemporaryDir config;
    const QString screens = config.filePath(QStringLiteral("screens.json"));
    writeBytes(screens, R"({"windowFrameMargins": true, "screens": [{"name": "desk", "x": 0, "y": 0,
                           "width": 1280, "height": 900, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
    QApplication app(argc, argv);
    TestAppDelegate test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_appdelegate.moc"
