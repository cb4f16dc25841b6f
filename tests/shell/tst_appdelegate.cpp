#include "framework/recoverystore.h"
#include "framework/settingsfile.h"
#include "editor/messages/messagebar.h"
#include "support/launchfixture.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

#include <algorithm>

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
        m_app = std::make_unique<LaunchFixture>();
        DocumentController([] { return nullptr; }, {}).takeRememberedDocumentUrls();
    }

    // Notes open at the last quit come back without a new note: see relaunchBringsBackExactlyTheWindowsOpenAtQuit.
    // Whatever comes, the windows answer within a second throughout, memory stays bounded, and what could not be
    // done is told in one message.
    void launch_data()
    {
        QTest::addColumn<bool>("keptFromALostRun");
        QTest::addColumn<int>("givenFiles");
        QTest::addColumn<QString>("settings"); // what a backup or dotfile tool left: "fifo", "lock folder", "huge"
        QTest::addColumn<int>("expectedOpen");
        QTest::addColumn<int>("expectedNewNotes");
        QTest::addColumn<QString>("message"); // how it starts
        const QString unread = u"Nolt Nolt could not read its settings in “tst_appdelegate.conf”"_s;
        QTest::newRow("nothing given: one new note") << false << 0 << "" << 1 << 1 << "";
        QTest::newRow("files given: those, no new note") << false << 2 << "" << 2 << 0 << "";
        QTest::newRow("text kept from a lost run: offered first, no new note") << true << 0 << "" << 1 << 0 << "";
        QTest::newRow("a FIFO at the settings file") << false << 0 << "fifo" << 1 << 1 << unread;
        QTest::newRow("a folder at its lock's name") << false << 0 << "lock folder" << 1 << 1 << unread;
        QTest::newRow("a settings file of 5 MB") << false << 0 << "huge" << 1 << 1 << unread;
    }

    void launch()
    {
        QFETCH(bool, keptFromALostRun);
        QFETCH(int, givenFiles);
        QFETCH(QString, settings);
        QFETCH(int, expectedNewNotes);
        QFETCH(QString, message);
        const QList<QUrl> given = m_app->notes(names(u"given"_s, givenFiles));
        const QString note = m_app->dir.filePath(u"note.txt"_s), file = SettingsFile::path();
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
        m_app->start(true).setRecoveryQuestion(
            [](const RecoveryStore::Entry &, const QByteArray &, const RecoveryOffer::Answer &answer) {
                answer(RecoveryOffer::Choice::OpenRecoveredText);
            });
        m_app->launchUrls(given);
        QTEST(int(m_app->windows().size()), "expectedOpen");
        QCOMPARE(newNotes().size(), expectedNewNotes);
        for (QWidget *window : m_app->windows())
            QVERIFY(window->isVisible());
        // What the answers write is the recovery offer's test; here the one it opens is the only window.
        QVERIFY(!keptFromALostRun ||
                m_app->windowOf(FileNames::urlOfPath(m_app->dir.filePath(u"note (Recovered).txt"_s))));
        QTRY_VERIFY2(m_app->errors.size() == (message.isEmpty() ? 0 : 1) &&
                         (message.isEmpty() || m_app->errors.constFirst().startsWith(message)),
                     qPrintable(m_app->errors.join(u'\n')));
        m_app->app.reset();
        QVERIFY2(watch.worstLateMs() < 1000, qPrintable(u"%1 ms without an answer"_s.arg(watch.worstLateMs())));
        QVERIFY2(watch.peakGrowthMb() < 600, qPrintable(u"%1 MB more"_s.arg(watch.peakGrowthMb())));
        QFile::remove(file);
        QDir().rmdir(file + ".lock");
        QCOMPARE(SettingsFile::useIfReadable(), std::nullopt);
    }

    // A second launch without files while a window is visible makes nothing new: the end-to-end test walks it.
    void reopen_data()
    {
        QTest::addColumn<QString>("windowsBefore");
        QTest::addColumn<int>("expectedNewNotes");
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
        m_app->launchUrls({});
        QCOMPARE(newNotes().size(), 1);
        if (windowsBefore == u"hidden")
            m_app->app->dispatcher().send(Command::Hide);
        if (windowsBefore == u"filled")
            writeBytes(m_app->dir.filePath(u"Desktop/"_s + newNotes().constFirst()), "theirs");
        if (windowsBefore != u"hidden") {
            for (QWidget *window : m_app->windows())
                QVERIFY(window->close());
            QTRY_COMPARE(m_app->windows().size(), 0);
        }
        if (windowsBefore == u"opening")
            m_app->app->applicationOpenUrls(m_app->notes({u"opening.txt"_s}));
        m_app->app->reopen();
        m_app->settle();
        QCOMPARE(newNotes().size(), expectedNewNotes);
        for (QWidget *window : m_app->windows())
            QVERIFY(window->isVisible() && !window->isMinimized());
    }

    // The refused file is named in what the user reads: in the window that opened, else in a box in front.
    void refusalNamesTheFile_data()
    {
        QTest::addColumn<bool>("withGoodFile");
        QTest::newRow("beside a note that opens: in its window") << true;
        QTest::newRow("alone: a box in front") << false;
    }

    void refusalNamesTheFile()
    {
        QFETCH(bool, withGoodFile);
        writeBytes(m_app->dir.filePath(u"latin1.txt"_s), "caf\xe9");
        const QList<QWidget *> opened =
            m_app->launch(withGoodFile ? QStringList{u"latin1.txt"_s, u"good.txt"_s} : QStringList{u"latin1.txt"_s});
        QCOMPARE(opened.size(), withGoodFile ? 1 : 0);
        // The window made while the files were read is the good note's, or goes with the refusal.
        const auto frames = [] {
            const QWidgetList tops = QApplication::topLevelWidgets();
            return std::count_if(tops.begin(), tops.end(),
                                 [](const QWidget *top) { return top->findChild<NoteTextView *>(); });
        };
        QTRY_COMPARE(frames(), withGoodFile ? 1 : 0);
        QWidget *good = opened.value(0);
        const QString expected = u"“latin1.txt” could not be opened. This file is not UTF-8 plain text."_s;
        if (withGoodFile) {
            QTRY_VERIFY(good->findChild<MessageBar *>() && good->findChild<MessageBar *>()->isVisible());
            QCOMPARE(good->findChild<MessageBar *>()->text(), expected);
            QVERIFY(TestSupport::messageBoxes().isEmpty());
        } else {
            QTRY_COMPARE(TestSupport::messageBoxes().size(), 1);
            QCOMPARE(TestSupport::messageBoxes().constFirst()->text(), expected);
            QTRY_COMPARE(QApplication::activeWindow(), TestSupport::messageBoxes().constFirst());
        }
    }

    // Keys typed while a big note loads wait for the whole note: a quit before then still writes them.
    void typingDuringALoadIsWrittenAtQuit()
    {
        const QByteArray big = QByteArray("a line of a long note\n").repeated(1'000'000);
        NoteTextView *view = LaunchFixture::viewOf(m_app->launch({u"big.txt"_s}, big).constFirst());
        QVERIFY(view->isLoading());
        QTest::keyClicks(view, u"x"_s);
        m_app->app->dispatcher().send(Command::Quit);
        QTRY_COMPARE(m_app->windows().size(), 0);
        QVERIFY(readBytes(m_app->dir.filePath(u"big.txt"_s)) == "x" + big);
    }

    // Runs last: a quit ends every event loop the test could still start. What was typed before Quit is kept, and
    // where the window comes back, are the end-to-end test's.
    void relaunchBringsBackExactlyTheWindowsOpenAtQuit()
    {
        QList<QUrl> kept = m_app->notes(names(FileNames::decodeName("kept\xe9"), 3)); // names kept to the byte
        std::reverse(kept.begin(), kept.end()); // opened, and so brought back, out of the names' order
        // Launched with a file, Ctrl+N, every window closed by the user: the app ends with nothing open.
        m_app->start(true);
        m_app->launchUrls({kept.first()});
        m_app->app->newDocument();
        m_app->settle();
        for (QWidget *window : m_app->windows())
            window->close();
        QTRY_COMPARE(m_app->windows().size(), 0);
        // A new note, none of the notes closed earlier; three notes then, and Quit.
        m_app->start(true);
        QCOMPARE(m_app->launchUrls({}).size(), 1);
        m_app->app->documents().documents().first()->close();
        m_app->open(kept);
        m_app->app->dispatcher().send(Command::Quit);
        QTRY_COMPARE(m_app->windows().size(), 0);
        // One deleted meanwhile is not reopened.
        QCOMPARE(::unlink(FileNames::encodeName(FileNames::pathOfUrl(kept.takeLast())).constData()), 0);
        m_app->start(true);
        m_app->launchUrls({});
        QList<QUrl> open;
        for (Document *document : m_app->app->documents().documents())
            open.append(document->fileUrl());
        QCOMPARE(open, kept);
    }

    void cleanup()
    {
        m_app->app.reset();
        run("rm", {"-rf", m_app->dir.path()}); // the toolkit cannot remove names that are not UTF-8
        m_app.reset();
    }

private:
    static QStringList names(const QString &prefix, int count)
    {
        QStringList made;
        for (int i = 0; i < count; ++i)
            made.append(prefix + QString::number(i) + u".txt"_s);
        return made;
    }

    QStringList newNotes() const { return QDir(m_app->dir.filePath(u"Desktop"_s)).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<LaunchFixture> m_app;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestAppDelegate>(argc, argv, 1);
}
#include "tst_appdelegate.moc"
