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
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(first), sentence, 3000);
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+n")});
        const QString second = desktop(QStringLiteral(" Note 2.txt"));
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note 2")));
        // Typed and quit at once: nothing typed may be lost.
        type(QStringLiteral("last words"));
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
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
        const QString note = m_home->filePath(QStringLiteral("note.txt"));
        writeBytes(note, "");
        startApp({note});
        QVERIFY(waitForWindow(QStringLiteral("note")));
        type(QStringLiteral("one two"));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(note), QByteArray("one two"), 3000);
        type(QStringLiteral(" three"));
        writeBytes(note, "theirs");
        const RecoveryStore recovery(m_home->filePath(QStringLiteral(".local/state/noltnolt/recovery")));
        const auto recovered = [&recovery] {
            return recovery.entries().isEmpty() ? QByteArray() : readBytes(recovery.entries().first().recoveryPath);
        };
        QTRY_COMPARE_WITH_TIMEOUT(recovered(), QByteArray("one two three"), 5000);
        type(QStringLiteral(" four five"));
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
        QVERIFY(waitForWindow(m_stamp + QStringLiteral(" Note")));
        const QString other = m_home->filePath(QStringLiteral("other.txt"));
        writeBytes(other, "from the file manager");
        for (int launch = 0; launch < 2; ++launch) {
            QCOMPARE(run(appBinary(), {other}, {}, appEnvironment(true)).exitCode, 0);
            QVERIFY(waitForWindow(QStringLiteral("other")));
        }
        const Run found = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                          QStringLiteral("--name"), QStringLiteral("^other")});
        QCOMPARE(found.out.trimmed().count('\n'), 0);
        QCOMPARE(run(appBinary(), {}, {}, appEnvironment(true)).exitCode, 0);
        settle();
        QCOMPARE(QDir(m_home->filePath(QStringLiteral("Desktop"))).entryList(QDir::Files).size(), 1);
        QVERIFY(waitForWindow(QStringLiteral("other")));
        type(QStringLiteral("before the end"));
        terminate();
        QVERIFY(readBytes(other).contains("before the end"));
    }

private:
    void terminate()
    {
        ::kill(pid_t(m_app->processId()), SIGTERM);
        QVERIFY(m_app->waitForFinished(10000));
    }

    QString desktop(const QString &suffix) const
    {
        return m_home->filePath(QStringLiteral("Desktop/")) + m_stamp + suffix;
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

    // Waits for the window (ctest's timeout ends a wait that never ends) and gives it the keyboard: there is no
    // window manager on Xvfb.
    bool waitForWindow(const QString &title)
    {
        const QString pattern = u"^"_s + QRegularExpression::escape(title) + u"( — Nolt Nolt)?$"_s;
        const Run found = run(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, pattern});
        const QString id = QString::fromLatin1(found.out).split(u'\n').first().trimmed();
        if (id.isEmpty())
            return false;
        xdotool({u"windowfocus"_s, u"--sync"_s, id});
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
