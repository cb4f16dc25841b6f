#include "framework/recoverystore.h"
#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace TestSupport;
using namespace Qt::StringLiterals;

// The app as a user meets it: a real window on a real X server (Xvfb, started by ctest), typed into with xdotool.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (ctest runs this test on an Xvfb of its own)");
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            QSKIP("needs xdotool");
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_stamp = TextFiles::dayStamp(QDateTime::currentDateTime());
    }

    void cleanup()
    {
        if (m_app && m_app->state() != QProcess::NotRunning) {
            m_app->kill();
            m_app->waitForFinished();
        }
        m_app.reset();
    }

    void newNoteTypingAndQuit()
    {
        startApp();
        const QString first = desktop(u" Note.txt"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(first), 10000);
        QVERIFY(waitForWindow(m_stamp + u" Note"_s));
        const QByteArray sentence = "The quick brown fox jumps over the lazy dog.";
        type(QString::fromUtf8(sentence));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(first), sentence, 3000);
        xdotool({u"key"_s, u"ctrl+n"_s});
        const QString second = desktop(u" Note 2.txt"_s);
        QVERIFY(waitForWindow(m_stamp + u" Note 2"_s));
        // Typed and quit at once: nothing typed may be lost.
        type(u"last words"_s);
        xdotool({u"key"_s, u"ctrl+q"_s});
        QVERIFY(m_app->waitForFinished(10000));
        QCOMPARE(m_app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(readBytes(second), QByteArray("last words"));
        QCOMPARE(readBytes(first), sentence);
    }

    // Another program changes the note while it has unsaved typing: the question waits in the window's bar, typing
    // goes on into the text (a Space presses no button), the other version is not written over, and a SIGTERM
    // while the question is open keeps everything typed for recovery.
    void aQuestionInTheWindowNeverTakesTypingOrText()
    {
        const QString note = m_home->filePath(u"note.txt"_s);
        writeBytes(note, "");
        startApp({note});
        QVERIFY(waitForWindow(u"note"_s));
        type(u"one two"_s);
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(note), QByteArray("one two"), 3000);
        type(u" three"_s);
        writeBytes(note, "theirs");
        const RecoveryStore recovery(m_home->filePath(u".local/state/noltnolt/recovery"_s));
        const auto recovered = [&recovery] {
            return recovery.entries().isEmpty() ? QByteArray() : readBytes(recovery.entries().first().recoveryPath);
        };
        QTRY_COMPARE_WITH_TIMEOUT(recovered(), QByteArray("one two three"), 5000);
        type(u" four five"_s);
        QTRY_COMPARE_WITH_TIMEOUT(recovered(), QByteArray("one two three four five"), 5000);
        terminate();
        QCOMPARE(readBytes(note), QByteArray("theirs"));
        QCOMPARE(recovered(), QByteArray("one two three four five"));
    }

    // A second launch hands its file to the first, twice, in one window; one without files makes nothing new. At
    // the end a SIGTERM saves what was typed first.
    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus (ctest runs this test under dbus-run-session)");
        startApp({}, true);
        QVERIFY(waitForWindow(m_stamp + u" Note"_s));
        const QString other = m_home->filePath(u"other.txt"_s);
        writeBytes(other, "from the file manager");
        for (int launch = 0; launch < 2; ++launch) {
            QCOMPARE(run(appBinary(), {other}, {}, appEnvironment(true)).exitCode, 0);
            QVERIFY(waitForWindow(u"other"_s));
        }
        const Run found = run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^other"_s});
        QCOMPARE(found.out.trimmed().count('\n'), 0);
        QCOMPARE(run(appBinary(), {}, {}, appEnvironment(true)).exitCode, 0);
        settle();
        QCOMPARE(QDir(m_home->filePath(u"Desktop"_s)).entryList(QDir::Files).size(), 1);
        QVERIFY(waitForWindow(u"other"_s));
        type(u"before the end"_s);
        terminate();
        QVERIFY(readBytes(other).contains("before the end"));
    }

    // Killed with two notes open, started again without files: the two notes come back where they were, and no new
    // note is made.
    void aKilledAppBringsItsNotesBack()
    {
        const QStringList notes{m_home->filePath(u"one.txt"_s), m_home->filePath(u"two.txt"_s)};
        for (const QString &note : notes)
            writeBytes(note, "text");
        startApp(notes);
        QVERIFY(waitForWindow(u"one"_s) && waitForWindow(u"two"_s));
        xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^one"_s, u"windowmove"_s, u"300"_s, u"200"_s});
        QTest::qWait(1000); // a frame is kept half a second after it changes
        m_app->kill();
        QVERIFY(m_app->waitForFinished(10000));
        // The killed app's windows leave the server before the next one starts, so the search below finds only new.
        QTRY_VERIFY(run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^(one|two)"_s}).out.isEmpty());
        startApp();
        QVERIFY(waitForWindow(u"one"_s) && waitForWindow(u"two"_s));
        settle();
        QVERIFY(QDir(m_home->filePath(u"Desktop"_s)).entryList(QDir::Files).isEmpty());
        const Run where =
            run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^one"_s, u"getwindowgeometry"_s});
        QVERIFY2(where.out.contains("Position: 300,200"), where.out.constData());
        terminate();
    }

    // Text kept from the last run is offered in a question of its own; Escape (Later) keeps it for the next launch
    // and the app goes on with a new note, as at any launch.
    void answeringTheRecoveryQuestionGoesOn()
    {
        const QString note = m_home->filePath(u"kept.txt"_s);
        RecoveryStore recovery(m_home->filePath(u".local/state/noltnolt/recovery"_s));
        recovery.keepLater(note, [] { return QByteArray("typed before the end"); });
        recovery.finishKeeping();
        startApp();
        QVERIFY(waitForWindow(u"kept.txt"_s));
        xdotool({u"key"_s, u"Escape"_s});
        QVERIFY(waitForWindow(m_stamp + u" Note"_s));
        QCOMPARE(m_app->state(), QProcess::Running);
        QCOMPARE(recovery.entries().size(), 1);
        terminate();
        QCOMPARE(m_app->exitCode(), 0);
    }

    // A drag from another program, taken by the note's window: files open in windows of their own whatever types
    // the drag offers (a folder is refused as Open… refuses it) and the note keeps its text; text goes into it.
    void droppingOntoANote_data()
    {
        QTest::addColumn<QStringList>("offers"); // types and their data; %1 is the folder of the files
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QByteArray>("noteAfter");
        QTest::newRow("two files, offered as a file manager does")
            << QStringList{u"text/uri-list"_s, u"file://%1/drag%20me.txt\r\nfile://%1/b.txt"_s, u"text/plain"_s,
                           u"%1/drag me.txt\n%1/b.txt"_s}
            << QStringList{u"drag me"_s, u"b"_s} << QByteArray("note");
        QTest::newRow("a file offered only as an address")
            << QStringList{u"text/uri-list"_s, u"file://%1/b.txt"_s} << QStringList{u"b"_s} << QByteArray("note");
        QTest::newRow("a folder") << QStringList{u"text/uri-list"_s, u"file://%1/folder"_s, u"text/plain"_s,
                                                 u"%1/folder"_s}
                                  << QStringList() << QByteArray("note");
        QTest::newRow("text from another program")
            << QStringList{u"text/plain"_s, u" dropped"_s} << QStringList() << QByteArray("note dropped");
    }

    void droppingOntoANote()
    {
        QFETCH(QStringList, offers);
        QFETCH(QStringList, opened);
        const QString note = m_home->filePath(u"note.txt"_s);
        for (const QString &name : {u"note.txt"_s, u"drag me.txt"_s, u"b.txt"_s})
            writeBytes(m_home->filePath(name), "note");
        QDir(m_home->path()).mkdir(u"folder"_s);
        startApp({note});
        QString target;
        QVERIFY(waitForWindow(u"note"_s, &target));
        QProcess source;
        source.setEnvironment(QProcess::systemEnvironment() << u"QT_QPA_PLATFORM=xcb"_s);
        source.start(QString::fromLocal8Bit(qgetenv("NOLTNOLT_DRAGSOURCE")),
                     offers.replaceInStrings(u"%1"_s, m_home->path()));
        QVERIFY(waitForWindow(u"drag source"_s));
        // Pressed in the source, dragged on to the note's window, dropped below its one line.
        xdotool(
            u"mousemove --sync 60 60 mousedown 1 sleep 0.3 mousemove --sync 200 200 sleep 0.3 mousemove --window %1 "
            u"300 300 sleep 0.3 mousemove --window %1 310 310 sleep 0.3 mouseup 1"_s.arg(target)
                .split(u' '));
        QVERIFY(source.waitForFinished(10000));
        for (const QString &title : opened)
            QVERIFY(waitForWindow(title));
        QTest::qWait(1000); // longer than a save takes to follow an edit
        QTEST(readBytes(note), "noteAfter");
        QCOMPARE(run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^folder"_s}).out, QByteArray());
        terminate();
    }

private:
    void terminate()
    {
        ::kill(pid_t(m_app->processId()), SIGTERM);
        QVERIFY(m_app->waitForFinished(10000));
    }

    QString desktop(const QString &suffix) const { return m_home->filePath(u"Desktop/"_s) + m_stamp + suffix; }

    QStringList appEnvironment(bool sessionBus) const
    {
        const QString home = m_home->path();
        QStringList env{u"HOME="_s + home, u"QT_QPA_PLATFORM=xcb"_s};
        for (const QString &xdg : {u"CONFIG=/.config"_s, u"DATA=/.local/share"_s, u"STATE=/.local/state"_s})
            env << u"XDG_"_s + xdg.section(u'=', 0, 0) + u"_HOME="_s + home + xdg.section(u'=', 1);
        // Without the bus each launch is an instance of its own, so tests never meet another running app.
        if (!sessionBus)
            env << u"DBUS_SESSION_BUS_ADDRESS=disabled:"_s;
        return env;
    }

    void startApp(const QStringList &arguments = {}, bool sessionBus = false)
    {
        m_app = std::make_unique<QProcess>();
        m_app->setEnvironment(QProcess::systemEnvironment() + appEnvironment(sessionBus));
        m_app->setProcessChannelMode(QProcess::ForwardedChannels);
        m_app->start(appBinary(), arguments);
        QVERIFY(m_app->waitForStarted());
    }

    // Waits for the window (ctest's timeout ends a wait that never ends) and gives it the keyboard: mostly there is
    // no window manager on Xvfb. Gives its id.
    bool waitForWindow(const QString &title, QString *window = nullptr)
    {
        const QString pattern = u"^"_s + QRegularExpression::escape(title) + u"( — Nolt Nolt)?$"_s;
        const Run found = run(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, pattern});
        const QString id = QString::fromLatin1(found.out).split(u'\n').first().trimmed();
        if (id.isEmpty())
            return false;
        xdotool({u"windowfocus"_s, u"--sync"_s, id});
        settle();
        if (window)
            *window = id;
        return true;
    }

    void type(const QString &text) { xdotool({u"type"_s, u"--delay"_s, u"10"_s, text}); }

    void xdotool(const QStringList &arguments)
    {
        const Run result = run(u"xdotool"_s, arguments);
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    QString m_stamp;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
