#include "editor/actiondispatcher.h"
#include "editor/notetextview.h"
#include "editor/windowcontroller.h"
#include "framework/document.h"
#include "framework/filenames.h"
#include "framework/recoverystore.h"
#include "framework/settingsfile.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSettings>

#include <sys/stat.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace TestSupport;

// The app's answers to launch, reopen and open requests, in process, with real files.
class TestAppDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_notes = std::make_unique<QTemporaryDir>();
        m_errors.clear();
        DocumentController([] { return nullptr; }, {}).takeRememberedDocumentUrls();
    }

    // Notes open at the last quit come back without a new note: see relaunchBringsBackExactlyTheWindowsOpenAtQuit.
    // Whatever comes, the windows answer within a second throughout, memory stays bounded, and what could not be
    // done is told in one message.
    void launch_data()
    {
        QTest::addColumn<bool>("keptFromALostRun");
        QTest::addColumn<int>("givenFiles");
        QTest::addColumn<int>("newNames");     // names no file has, given too (a script's)
        QTest::addColumn<QString>("settings"); // what a backup or dotfile tool left: "fifo", "lock folder", "huge"
        QTest::addColumn<int>("expectedOpen");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::addColumn<QString>("message"); // how it starts; %1 the names not opened
        const QString unread = u"Nolt Nolt could not read its settings in “tst_appdelegate.conf”"_s;
        QTest::newRow("nothing given: one new note") << false << 0 << 0 << "" << 1 << 1 << "";
        QTest::newRow("files given: those, no new note") << false << 2 << 0 << "" << 2 << 0 << "";
        QTest::newRow("text kept from a lost run: offered first, no new note") << true << 0 << 0 << "" << 1 << 0 << "";
        QTest::newRow("10000 names no file has: the first open") << false << 0 << 10000 << "" << 50 << 0
                                                                 << "%1 new notes were not opened: Nolt Nolt makes "
                                                                    "at most 50 at once. The first of them is “new "
                                                                    "50.txt”";
        QTest::newRow("a FIFO at the settings file") << false << 0 << 0 << "fifo" << 1 << 1 << unread;
        QTest::newRow("a folder at its lock's name") << false << 0 << 0 << "lock folder" << 1 << 1 << unread;
        QTest::newRow("a settings file of 5 MB") << false << 0 << 0 << "huge" << 1 << 1 << unread;
    }

    void launch()
    {
        QFETCH(bool, keptFromALostRun);
        QFETCH(int, givenFiles);
        QFETCH(int, newNames);
        QFETCH(QString, settings);
        QFETCH(int, expectedNewNotes);
        QFETCH(QString, message);
        QList<QUrl> given = makeFiles(u"given"_s, givenFiles);
        for (int i = 0; i < newNames; ++i)
            given.append(FileNames::urlOfPath(m_notes->filePath(u"new %1.txt"_s.arg(i))));
        const QString note = m_notes->filePath(u"note.txt"_s), file = SettingsFile::path();
        QCOMPARE(file, QSettings().fileName());
        if (keptFromALostRun) {
            writeBytes(note, "what the disk had");
            RecoveryStore(RecoveryStore::defaultFolder(u"noltnolt"_s)).keep(note, "what the user typed");
        }
        if (settings == u"fifo")
            QCOMPARE((QFile::remove(file), ::mkfifo(qPrintable(file), 0600)), 0);
        if (settings == u"lock folder")
            QVERIFY(QDir().mkdir(file + ".lock"));
        if (settings == u"huge")
            writeBytes(file, QByteArray(5 << 20, 'x'));
        const LoopWatch watch;
        {
            AppDelegate delegate;
            configure(delegate);
            delegate.setRecoveryQuestion(
                [](const RecoveryStore::Entry &, const QByteArray &, const RecoveryOffer::Answer &answer) {
                    answer(RecoveryOffer::Choice::OpenRecoveredText);
                });
            delegate.setLaunchFiles(given);
            delegate.applicationDidFinishLaunching();
            settle();
            QTEST(int(m_delegate->documents().documents().size()), "expectedOpen");
            QCOMPARE(newNotes().size(), expectedNewNotes);
            for (QWidget *window : windows())
                QVERIFY(window->isVisible());
            if (keptFromALostRun)
                QCOMPARE(readBytes(m_notes->filePath(u"note (Recovered).txt"_s)), QByteArray("what the user typed"));
            const QString told = message.contains(u"%1") ? message.arg(QLocale().toString(newNames - 50)) : message;
            QTRY_VERIFY2(m_errors.size() == (told.isEmpty() ? 0 : 1) &&
                             (told.isEmpty() || m_errors.constFirst().startsWith(told)),
                         qPrintable(m_errors.join(u'\n')));
        }
        QVERIFY2(watch.worstLateMs() < 1000, qPrintable(u"%1 ms without an answer"_s.arg(watch.worstLateMs())));
        QVERIFY2(watch.peakGrowthMb() < 600, qPrintable(u"%1 MB more"_s.arg(watch.peakGrowthMb())));
        QFile::remove(file);
        QDir().rmdir(file + ".lock");
        QCOMPARE(SettingsFile::useIfReadable(), std::nullopt);
    }

    void reopen_data()
    {
        QTest::addColumn<QString>("windowsBefore");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::newRow("a window is visible: nothing new") << "shown" << 1;
        QTest::newRow("windows minimised by Hide: they come back, nothing new") << "hidden" << 1;
        // The launch's note, closed untouched, leaves no file behind.
        QTest::newRow("no window visible: a new note") << "closed" << 1;
        // A note with any byte in it is never removed, whoever wrote it.
        QTest::newRow("the launch's note filled by another program, closed: kept") << "filled" << 2;
        QTest::newRow("a note still being read: nothing new") << "opening" << 0;
    }

    void reopen()
    {
        QFETCH(QString, windowsBefore);
        QFETCH(int, expectedNewNotes);
        AppDelegate delegate;
        configure(delegate);
        delegate.applicationDidFinishLaunching();
        settle();
        QCOMPARE(newNotes().size(), 1);
        if (windowsBefore == u"hidden")
            delegate.dispatcher().send(Command::Hide);
        if (windowsBefore == u"filled")
            writeBytes(m_notes->filePath(u"Desktop/"_s + newNotes().constFirst()), "theirs");
        if (windowsBefore != u"shown" && windowsBefore != u"hidden") {
            for (Document *document : m_delegate->documents().documents())
                QVERIFY(WindowController::of(document).constFirst()->window()->close());
            QTRY_COMPARE(m_delegate->documents().documents().size(), 0);
        }
        if (windowsBefore == u"opening")
            delegate.applicationOpenUrls(makeFiles(u"opening"_s, 1));
        delegate.reopen();
        settle();
        QCOMPARE(newNotes().size(), expectedNewNotes);
        for (QWidget *window : windows())
            QVERIFY(window->isVisible() && !window->isMinimized());
    }

    void openUrlsOpensEachAndReportsEachFailure()
    {
        AppDelegate delegate;
        configure(delegate);
        QList<QUrl> urls = makeFiles(u"good"_s, 2);
        writeBytes(m_notes->filePath(u"latin1.txt"_s), "caf\xe9");
        urls.insert(1, QUrl::fromLocalFile(m_notes->filePath(u"latin1.txt"_s)));
        // A name that is not UTF-8, as the bus hands it over.
        writeBytes(FileNames::decodeName(QFile::encodeName(m_notes->path()) + "/caf\xe9.txt"), "text");
        urls.append(
            QUrl(QUrl::fromLocalFile(m_notes->path()).toString() + QLatin1String("/caf%E9.txt"), QUrl::StrictMode));
        delegate.applicationOpenUrls(urls);
        settle();
        QCOMPARE(m_delegate->documents().documents().size(), 3);
        QTRY_COMPARE(m_errors, QStringList{QStringLiteral(
                                   "This file is not UTF-8 plain text.\n“latin1.txt” is not UTF-8 plain text.")});
        // An address that names no file says which address it was.
        delegate.open(QUrl(u"file:"_s));
        QTRY_COMPARE(m_errors.size(), 2);
        QVERIFY2(m_errors.last().startsWith(u"Could not open “file:”"), qPrintable(m_errors.last()));
    }

    // Runs last: a quit ends every event loop the test could still start.
    void relaunchBringsBackExactlyTheWindowsOpenAtQuit()
    {
        QList<QUrl> kept = makeFiles(FileNames::decodeName("kept\xe9"), 3); // names kept to the byte
        std::reverse(kept.begin(), kept.end()); // opened, and so brought back, out of the names' order
        { // launched with a file, Ctrl+N, every window closed by the user: the app ends with nothing open
            AppDelegate delegate;
            configure(delegate);
            delegate.setLaunchFiles({kept.first()});
            delegate.applicationDidFinishLaunching();
            settle();
            delegate.newDocument();
            settle();
            for (QWidget *window : windows())
                window->close();
            QTRY_COMPARE(m_delegate->documents().documents().size(), 0);
        }
        { // three notes, one typed into by the user, then Quit
            AppDelegate delegate;
            configure(delegate);
            delegate.applicationDidFinishLaunching();
            settle();
            QCOMPARE(urlsOpen().size(), 1); // a new note: none of the notes closed earlier
            m_delegate->documents().documents().first()->close();
            delegate.applicationOpenUrls(kept);
            settle();
            QTest::keyClicks(windowOf(kept.at(1))->findChild<NoteTextView *>(), u"typed "_s);
            delegate.dispatcher().send(Command::Quit);
            QTRY_COMPARE(m_delegate->documents().documents().size(), 0);
        }
        QCOMPARE(readBytes(FileNames::pathOfUrl(kept.at(1))), QByteArray("typed text")); // quitting wrote it
        // One deleted meanwhile is not reopened.
        QCOMPARE(::unlink(FileNames::encodeName(FileNames::pathOfUrl(kept.takeLast())).constData()), 0);
        AppDelegate delegate;
        configure(delegate);
        delegate.applicationDidFinishLaunching();
        settle();
        QCOMPARE(urlsOpen(), kept);
    }

    void cleanup()
    {
        // Each test's delegate closed its notes as it went.
        m_delegate = nullptr;
        run("rm", {"-rf", m_notes->path()}); // the toolkit cannot remove names that are not UTF-8
    }

private:
    // Files are read for opening on a worker thread: waits until every open asked for has finished.
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(!m_delegate->documents().isOpening(), 120000); }

    void configure(AppDelegate &delegate)
    {
        m_delegate = &delegate;
        delegate.setNotesFolder(m_notes->filePath(u"Desktop"_s));
        delegate.setErrorPresenter([this](const Error &error) {
            m_errors.append(error.description() +
                            (error.informativeText().isEmpty() ? QString() : u'\n' + error.informativeText()));
        });
    }

    QList<QUrl> makeFiles(const QString &prefix, int count)
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i) {
            const QString path = m_notes->filePath(prefix + QString::number(i) + u".txt"_s);
            writeBytes(path, "text");
            urls.append(FileNames::urlOfPath(path));
        }
        return urls;
    }

    QList<QWidget *> windows()
    {
        QList<QWidget *> found;
        for (Document *document : m_delegate->documents().documents())
            found.append(WindowController::of(document).constFirst()->window());
        return found;
    }

    QWidget *windowOf(const QUrl &url)
    {
        return WindowController::of(m_delegate->documents().documentForUrl(url)).constFirst()->window();
    }

    QList<QUrl> urlsOpen()
    {
        QList<QUrl> urls;
        for (Document *document : m_delegate->documents().documents())
            urls.append(document->fileUrl());
        return urls;
    }

    QStringList newNotes() const { return QDir(m_notes->filePath(u"Desktop"_s)).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<QTemporaryDir> m_notes;
    QStringList m_errors;
    AppDelegate *m_delegate = nullptr;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestAppDelegate>(argc, argv, 1);
}
#include "tst_appdelegate.moc"
