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
        for (std::unique_ptr<QProcess> *process : {&m_app, &m_windowManager}) {
            if (*process && (*process)->state() != QProcess::NotRunning) {
                (*process)->kill();
                (*process)->waitForFinished();
            }
            process->reset();
        }
    }

    // Another program changes the note while it has unsaved typing: the question waits in the window's bar, typing
    // goes on into the text (a Space presses no button), the other version is not written over, and a SIGHUP
    // while the question is open (the session ending) keeps everything typed for recovery.
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
        terminate(SIGHUP);
        QCOMPARE(readBytes(note), QByteArray("theirs"));
        QCOMPARE(recovered(), QByteArray("one two three four five"));
    }

    // A second launch hands its file to the first; one without files makes nothing new. At the end a Ctrl+C saves
    // what was typed first.
    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus (ctest runs this test under dbus-run-session)");
        startApp({}, true);
        QVERIFY(waitForWindow(m_stamp + u" Note"_s));
        const QString other = m_home->filePath(u"other.txt"_s);
        writeBytes(other, "from the file manager");
        QCOMPARE(run(appBinary(), {other}, {}, appEnvironment(true)).exitCode, 0);
        QVERIFY(waitForWindow(u"other"_s));
        QCOMPARE(run(appBinary(), {}, {}, appEnvironment(true)).exitCode, 0);
        settle();
        QCOMPARE(QDir(m_home->filePath(u"Desktop"_s)).entryList(QDir::Files).size(), 1);
        QVERIFY(waitForWindow(u"other"_s));
        type(u"before the end"_s);
        terminate(SIGINT);
        QVERIFY(readBytes(other).contains("before the end"));
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
    }

    // Files dragged from a file manager, which offers them as addresses and as text, taken by a note's window: they
    // open in windows of their own and the note keeps their names out of its text.
    void droppingFilesOntoANote()
    {
        QStringList offers{u"text/uri-list"_s, u"file://%1/drag%20me.txt\r\nfile://%1/b.txt"_s, u"text/plain"_s,
                           u"%1/drag me.txt\n%1/b.txt"_s};
        const QString note = m_home->filePath(u"note.txt"_s);
        for (const QString &name : {u"note.txt"_s, u"drag me.txt"_s, u"b.txt"_s})
            writeBytes(m_home->filePath(name), "note");
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
        QVERIFY(waitForWindow(u"drag me"_s) && waitForWindow(u"b"_s));
        QTest::qWait(1000); // longer than a save takes to follow an edit
        QCOMPARE(readBytes(note), QByteArray("note"));
        terminate();
    }

    // Under a real window manager the first launch's new note comes back where the user left it, with what was
    // typed just before Quit, fully on the screen (ctest runs this on a 1024x600 screen too), and no new note.
    void windowsComeBackWhereTheyWereLeft()
    {
        if (QStandardPaths::findExecutable(u"openbox"_s).isEmpty())
            QSKIP("needs openbox");
        QVERIFY(startWindowManager());
        const QRect screen = frameOf(u"-root"_s);
        startApp(); // a new note on the Desktop
        QString window;
        QVERIFY(waitForWindow(m_stamp + u" Note"_s, &window));
        QTRY_VERIFY2(screen.contains(frameOf(window)), QTest::toString(frameOf(window)));
        // Dragged by its title bar to where it still fits, as the user moves it.
        const QRect first = frameOf(window);
        const QPoint grab(first.center().x(), (first.top() + geometryOf(window).top()) / 2);
        const QPoint to =
            grab +
            QPoint(std::min(600, screen.width() - first.width()), std::min(120, screen.height() - first.height())) -
            first.topLeft();
        xdotool(QString::asprintf(
                    "mousemove %d %d mousedown 1 mousemove %d %d sleep 0.2 mousemove %d %d sleep 0.2 mouseup 1",
                    grab.x(), grab.y(), grab.x() + 5, grab.y() + 5, to.x(), to.y())
                    .split(u' '));
        const QRect left = frameOf(window);
        QVERIFY2(screen.contains(left), QTest::toString(left));
        // Typed and quit at once: nothing typed may be lost.
        type(u"last words"_s);
        xdotool({u"key"_s, u"ctrl+q"_s});
        QVERIFY(m_app->waitForFinished(10000));
        // Gone from the server before the next launch, so the search below finds only the new window.
        QTRY_VERIFY(run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, m_stamp}).out.isEmpty());
        QCOMPARE(readBytes(m_home->filePath(u"Desktop/"_s) + m_stamp + u" Note.txt"_s), QByteArray("last words"));
        startApp();
        QVERIFY(waitForWindow(m_stamp + u" Note"_s, &window));
        const auto near = [&left](const QRect &frame) {
            return (frame.topLeft() - left.topLeft()).manhattanLength() <= 4 &&
                   std::abs(frame.width() - left.width()) + std::abs(frame.height() - left.height()) <= 4;
        };
        QTRY_VERIFY2(near(frameOf(window)), QTest::toString(frameOf(window)));
        QCOMPARE(QDir(m_home->filePath(u"Desktop"_s)).entryList(QDir::Files).size(), 1);
        terminate();
    }

private:
    // Each way a session ends the app (kill's SIGTERM, Ctrl+C's SIGINT, the session's SIGHUP) is a quit.
    void terminate(int signalNumber = SIGTERM)
    {
        ::kill(pid_t(m_app->processId()), signalNumber);
        QVERIFY(m_app->waitForFinished(10000));
        QCOMPARE(m_app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app->exitCode(), 0);
    }

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

    // openbox with the configuration it comes with, as a user who never changed it has it. On a loaded machine it
    // now and then fails to reach the X server: it is started again then.
    bool startWindowManager()
    {
        m_windowManager = std::make_unique<QProcess>();
        m_windowManager->setEnvironment(QProcess::systemEnvironment() + appEnvironment(false));
        m_windowManager->setProcessChannelMode(QProcess::ForwardedChannels);
        return QTest::qWaitFor(
            [this] {
                if (m_windowManager->state() == QProcess::NotRunning)
                    m_windowManager->start(u"openbox"_s, {u"--sm-disable"_s});
                return run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s}).out.contains("window id");
            },
            30000);
    }

    // A window as the X server has it: where its inside is, and the frame the window manager put around it.
    static QRect geometryOf(const QString &window)
    {
        const QStringList which = window == u"-root" ? QStringList{window} : QStringList{u"-id"_s, window};
        const QString info = QString::fromLatin1(run(u"xwininfo"_s, which).out);
        const auto value = [&info](const QString &name) {
            return QRegularExpression(name + u":\\s+(-?\\d+)"_s).match(info).captured(1).toInt();
        };
        return {value(u"Absolute upper-left X"_s), value(u"Absolute upper-left Y"_s), value(u"Width"_s),
                value(u"Height"_s)};
    }
    static QRect frameOf(const QString &window)
    {
        const QRect inside = geometryOf(window);
        if (window == u"-root")
            return inside;
        const QByteArray extents = run(u"xprop"_s, {u"-id"_s, window, u"_NET_FRAME_EXTENTS"_s}).out;
        const QList<QByteArray> sides = extents.mid(extents.indexOf('=') + 1).split(',');
        if (sides.size() != 4)
            return inside;
        return inside.adjusted(-sides.at(0).trimmed().toInt(), -sides.at(2).trimmed().toInt(),
                               sides.at(1).trimmed().toInt(), sides.at(3).trimmed().toInt());
    }

    void type(const QString &text) { xdotool({u"type"_s, u"--delay"_s, u"10"_s, text}); }

    void xdotool(const QStringList &arguments)
    {
        const Run result = run(u"xdotool"_s, arguments);
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    std::unique_ptr<QProcess> m_windowManager;
    QString m_stamp;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
