#include "framework/recoverystore.h"
#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace TestSupport;

// The app as a user meets it: a real window on a real X server (Xvfb, started by ctest), typed into with xdotool.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (ctest runs this test under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
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
        const QString first = desktop(QStringLiteral(" Note.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(first), 10000);
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note")));

        const QByteArray sentence = "The quick brown fox jumps over the lazy dog.";
        type(QString::fromUtf8(sentence));
        QElapsedTimer sinceTyping;
        sinceTyping.start();
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(first), sentence, 3000);
        qInfo("typed text on disk %lld ms after the last keystroke", sinceTyping.elapsed());
        QVERIFY(sinceTyping.elapsed() < 1000);

        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+n")});
        const QString second = desktop(QStringLiteral(" Note 2.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(second), 5000);
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note 2")));

        // Typed and quit at once: nothing typed may be lost.
        type(QStringLiteral("last words"));
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
        QVERIFY(m_app->waitForFinished(10000));
        QCOMPARE(m_app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(readBytes(second), QByteArray("last words"));
        QCOMPARE(readBytes(first), sentence);
    }

    void terminationSignalSavesFirst()
    {
        startApp();
        const QString note = desktop(QStringLiteral(" Note.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(note), 10000);
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note")));
        type(QStringLiteral("before the end"));
        ::kill(pid_t(m_app->processId()), SIGTERM);
        QVERIFY(m_app->waitForFinished(10000));
        QCOMPARE(readBytes(note), QByteArray("before the end"));
    }

    // Another program changes the note while it has unsaved typing: the question waits in the window's bar, typing
    // goes on into the text (a Space presses no button), the other version is not written over, and a SIGTERM
    // while the question is open keeps everything typed for recovery.
    void aQuestionInTheWindowNeverTakesTypingOrText()
    {
        const QString note = m_home->filePath(QStringLiteral("note.txt"));
        writeBytes(note, "");
        startApp({note});
        QVERIFY(waitForWindow(QStringLiteral("note")));
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral("one two")});
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(note), QByteArray("one two"), 3000);
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral(" three")});
        writeBytes(note, "theirs");
        const RecoveryStore recovery(m_home->filePath(QStringLiteral(".local/state/noltnolt/recovery")));
        const auto recovered = [&recovery] {
            return recovery.entries().isEmpty() ? QByteArray() : readBytes(recovery.entries().first().recoveryPath);
        };
        QTRY_COMPARE_WITH_TIMEOUT(recovered(), QByteArray("one two three"), 5000);
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral(" four five")});
        QTRY_COMPARE_WITH_TIMEOUT(recovered(), QByteArray("one two three four five"), 5000);
        ::kill(pid_t(m_app->processId()), SIGTERM);
        QVERIFY(m_app->waitForFinished(10000));
        QCOMPARE(readBytes(note), QByteArray("theirs"));
        QCOMPARE(recovered(), QByteArray("one two three four five"));
    }

    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus (ctest runs this test under dbus-run-session)");
        startApp({}, true);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(desktop(QStringLiteral(" Note.txt"))), 10000);
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note")));
        const QString other = m_home->filePath(QStringLiteral("other.txt"));
        writeBytes(other, "from the file manager");

        for (int launch = 0; launch < 2; ++launch) {
            const Run second = run(appBinary(), {other}, {}, appEnvironment(true));
            QCOMPARE(second.exitCode, 0);
            QVERIFY(waitForWindow(QStringLiteral("other")));
        }
        QCOMPARE(visibleWindows(QStringLiteral("other")), 1);

        // A launch without files while windows are visible brings them forward and makes nothing new.
        QCOMPARE(run(appBinary(), {}, {}, appEnvironment(true)).exitCode, 0);
        settle();
        QCOMPARE(QDir(m_home->filePath(QStringLiteral("Desktop"))).entryList(QDir::Files).size(), 1);
        QCOMPARE(m_app->state(), QProcess::Running);
    }

private:
    int visibleWindows(const QString &title)
    {
        const Run found = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                          QStringLiteral("--name"), QStringLiteral("^") + title});
        return int(found.out.trimmed().split('\n').size()) - (found.out.trimmed().isEmpty() ? 1 : 0);
    }

    QString desktop(const QString &suffix) const
    {
        return m_home->filePath(QStringLiteral("Desktop/")) + m_stamp + suffix;
    }

    QStringList appEnvironment(bool sessionBus) const
    {
        const QString home = m_home->path();
        QStringList env{QStringLiteral("HOME=") + home,
                        QStringLiteral("XDG_CONFIG_HOME=") + home + QStringLiteral("/.config"),
                        QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/.local/share"),
                        QStringLiteral("XDG_STATE_HOME=") + home + QStringLiteral("/.local/state"),
                        QStringLiteral("XDG_CACHE_HOME=") + home + QStringLiteral("/.cache"),
                        QStringLiteral("QT_QPA_PLATFORM=xcb")};
        // Without the bus each launch is an instance of its own, so tests never meet another running app.
        if (!sessionBus)
            env << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=disabled:");
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

    bool waitForWindow(const QString &title)
    {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"),
                      QStringLiteral("^") + QRegularExpression::escape(title) + QStringLiteral("( — Nolt Nolt)?$")});
        if (!search.waitForFinished(10000)) {
            search.kill();
            return false;
        }
        const QString id = QString::fromLatin1(search.readAllStandardOutput()).split(u'\n').first().trimmed();
        if (id.isEmpty())
            return false;
        // No window manager on Xvfb: give the window the keyboard ourselves.
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
        settle();
        return true;
    }

    void type(const QString &text)
    {
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("10"), text});
    }

    void xdotool(const QStringList &arguments)
    {
        const Run result = run(QStringLiteral("xdotool"), arguments);
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    QString m_stamp;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
