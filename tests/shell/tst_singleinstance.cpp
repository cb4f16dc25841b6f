#include "shell/singleinstance.h"
#include "support/testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString helper()
{
    return qEnvironmentVariable("NOLTNOLT_INSTANCE_HELPER");
}

// Starts the second process and lets this one's event loop answer its call while it waits.
TestSupport::Run runSecond(const QStringList &arguments, const QString &workingDirectory,
                           const QStringList &environment = {})
{
    QProcess process;
    process.setProgram(helper());
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    process.setProcessEnvironment(env);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start();
    TestSupport::Run run;
    if (!finished.wait(30000))
        return run;
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    SingleInstance *m_first = nullptr;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QVERIFY(QFileInfo(helper()).isExecutable());
        m_first = new SingleInstance(this);
        QVERIFY(m_first->start({}));
        QCOMPARE(m_first->role(), SingleInstance::Role::Primary);
    }

    void urlsFromArguments_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("path");
        QTest::newRow("relative path") << u"note.txt"_s << u"/home/u/Desktop/note.txt"_s;
        QTest::newRow("file URI, escaped") << u"file:///tmp/a%20b.txt"_s << u"/tmp/a b.txt"_s;
    }
    void urlsFromArguments()
    {
        QFETCH(QString, argument);
        QFETCH(QString, path);
        QCOMPARE(SingleInstance::urlsFromArguments({argument}, QStringLiteral("/home/u/Desktop")),
                 QList<QUrl>{QUrl::fromLocalFile(path)});
    }

    void secondInstanceHandsOver_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("no files: activate") << QStringList{} << QStringList{};
        QTest::newRow("one file") << QStringList{"a.txt"} << QStringList{"a.txt"};
        QTest::newRow("three files in order, odd names")
            << QStringList{"b.txt", "a b.txt", "ünï #1.txt"} << QStringList{"b.txt", "a b.txt", "ünï #1.txt"};
    }
    void secondInstanceHandsOver()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, opened);
        QSignalSpy activated(m_first, &SingleInstance::activateRequested);
        QSignalSpy openRequested(m_first, &SingleInstance::openRequested);
        const TestSupport::Run run = runSecond(arguments, m_dir.path());
        QCOMPARE(run.out.trimmed(), QByteArray("handed over"));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(activated.size(), opened.isEmpty() ? 1 : 0);
        QCOMPARE(openRequested.size(), opened.isEmpty() ? 0 : 1);
        QList<QUrl> expected;
        for (const QString &name : opened)
            expected.append(QUrl::fromLocalFile(QDir(m_dir.path()).filePath(name)));
        if (!opened.isEmpty())
            QCOMPARE(openRequested.at(0).at(0).value<QList<QUrl>>(), expected);
    }

    void withoutSessionBusRunsAlone()
    {
        const TestSupport::Run run = runSecond({QStringLiteral("a.txt")}, m_dir.path(),
                                               {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent")});
        QCOMPARE(run.out.trimmed(), QByteArray("alone"));
        QCOMPARE(run.exitCode, 3);
    }

    void activateAction_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("offered");
        QTest::newRow("chooseNotesFolder: offered") << "chooseNotesFolder" << true;
        QTest::newRow("unknown: refused") << "eraseEverything" << false;
    }
    void activateAction()
    {
        QFETCH(QString, action);
        QFETCH(bool, offered);
        QSignalSpy requested(m_first, &SingleInstance::actionRequested);
        // A separate connection, as a launcher would call from its own process.
        QDBusConnection launcher =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("launcher"));
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(SingleInstance::serviceName), QLatin1String(SingleInstance::objectPath),
            QLatin1String(SingleInstance::interfaceName), QStringLiteral("ActivateAction"));
        call << action << QVariantList{} << QVariantMap{};
        QDBusPendingCall pending = launcher.asyncCall(call);
        QTRY_VERIFY(pending.isFinished());
        QCOMPARE(pending.isError(), !offered);
        QCOMPARE(requested.size(), offered ? 1 : 0);
        if (offered)
            QCOMPARE(requested.at(0).at(0).toString(), action);
        QDBusConnection::disconnectFromBus(QStringLiteral("launcher"));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
