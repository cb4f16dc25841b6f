#include "framework/document.h"
#include "framework/documentcontroller.h"
#include "shell/appdelegate.h"
#include "shell/singleinstance.h"
#include "storage/notesfolder.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QMessageBox>
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

QDBusMessage request(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(SingleInstance::serviceName),
                                                       QLatin1String(SingleInstance::objectPath),
                                                       QLatin1String(SingleInstance::interfaceName), method);
    call.setArguments(arguments);
    return call;
}

QList<QWidget *> messageWindows()
{
    QList<QWidget *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox *>(widget) && widget->isVisible())
            found.append(widget);
    }
    return found;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

public:
    TestSingleInstance()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("state"))));
    }

private:
    // The running app as main() wires it, on this test's own session bus.
    SingleInstance *m_first = nullptr;
    AppDelegate *m_delegate = nullptr;
    QTemporaryDir m_dir;
    int m_panels = 0;
    std::function<void()> m_whilePanelShows;

    // Sends every call at once from a launcher's own connection; true when each was answered without error.
    static bool callAll(const QList<QDBusMessage> &calls)
    {
        QDBusConnection launcher = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"launcher"_s);
        QList<QDBusPendingCall> pending;
        for (const QDBusMessage &call : calls)
            pending.append(launcher.asyncCall(call, 20000));
        const bool answered = QTest::qWaitFor(
            [&] { return std::all_of(pending.begin(), pending.end(), [](auto &p) { return p.isFinished(); }); }, 20000);
        return answered && std::none_of(pending.begin(), pending.end(), [](auto &p) { return p.isError(); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QVERIFY(QFileInfo(helper()).isExecutable());
        m_first = new SingleInstance(this);
        QVERIFY(m_first->start({}));
        QCOMPARE(m_first->role(), SingleInstance::Role::Primary);
        m_delegate = new AppDelegate(this);
        m_delegate->setNotesFolder(m_dir.filePath(u"Desktop"_s));
        m_delegate->listenTo(*m_first);
        // The folder panel as a modal dialog would behave: its own event loop, for as long as the row needs.
        NotesFolder::shared().setPanel([this](const NotesFolder::PanelRequest &) -> std::optional<QUrl> {
            ++m_panels;
            if (m_whilePanelShows)
                std::exchange(m_whilePanelShows, {})();
            return std::nullopt;
        });
    }

    void cleanup()
    {
        for (Document *document : DocumentController::shared().documents())
            document->close();
        for (QWidget *window : messageWindows())
            window->close();
        QTRY_VERIFY(DocumentController::shared().documents().isEmpty() && messageWindows().isEmpty());
        m_panels = 0;
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
        for (const QString &name : opened)
            TestSupport::writeBytes(QDir(m_dir.path()).filePath(name), "text");
        const TestSupport::Run run = runSecond(arguments, m_dir.path());
        QCOMPARE(run.out.trimmed(), QByteArray("handed over"));
        QCOMPARE(run.exitCode, 0);
        QTRY_COMPARE(activated.size() + openRequested.size(), 1);
        QCOMPARE(openRequested.size(), opened.isEmpty() ? 0 : 1);
        // The files open in this instance; a reopen without windows makes a new note.
        QCOMPARE(DocumentController::shared().documents().size(), opened.isEmpty() ? 1 : opened.size());
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

    void unansweredInstanceStopsTheSecondLaunch()
    {
        // This process stands still, as a running instance stuck in a long task would.
        QProcess process;
        process.setProgram(helper());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"NOLTNOLT_HANDOVER_TIMEOUT_MS"_s, u"1000"_s);
        process.setProcessEnvironment(env);
        process.start();
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QVERIFY(process.readAllStandardError().contains("does not answer"));
        QTRY_COMPARE(DocumentController::shared().documents().size(), 1); // the late request is still served
    }

    void burstOfRequests_data()
    {
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("urisPerCall");
        QTest::addColumn<bool>("sameExistingFile");
        QTest::addColumn<int>("expectedWindows");
        QTest::addColumn<int>("expectedFailures");
        QTest::newRow("3000 Open calls for missing files: one message lists them") << 3000 << 1 << false << 0 << 3000;
        QTest::newRow("10000 URIs of one file in one Open: one window") << 1 << 10000 << true << 1 << 0;
    }
    void burstOfRequests()
    {
        QFETCH(int, calls);
        QFETCH(int, urisPerCall);
        QFETCH(bool, sameExistingFile);
        QFETCH(int, expectedWindows);
        QFETCH(int, expectedFailures);
        const QString same = m_dir.filePath(u"same.txt"_s);
        TestSupport::writeBytes(same, "text");
        QList<QDBusMessage> requests;
        for (int call = 0; call < calls; ++call) {
            QStringList uris;
            for (int i = 0; i < urisPerCall; ++i) {
                const QString path = sameExistingFile ? same : m_dir.filePath(u"missing %1.txt"_s.arg(call));
                uris.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
            }
            requests.append(request(u"Open"_s, {uris, QVariantMap{}}));
        }
        QVERIFY(callAll(requests));
        QTRY_COMPARE(DocumentController::shared().documents().size(), expectedWindows);
        if (expectedFailures > 0) {
            QTRY_COMPARE(messageWindows().size(), 1);
            auto *message = qobject_cast<QMessageBox *>(messageWindows().first());
            QVERIFY2(message->text().contains(u"files could not be opened"), qPrintable(message->text()));
            QTRY_COMPARE(message->detailedText().count(u'\n') + 1, expectedFailures);
        }
        QCOMPARE(messageWindows().size(), expectedFailures > 0 ? 1 : 0);
    }

    void requestsWhileThePanelShows_data()
    {
        QTest::addColumn<bool>("secondLaunch");
        QTest::addColumn<int>("repeats");
        QTest::newRow("ActivateAction(chooseNotesFolder) x1500: one panel") << false << 1500;
        QTest::newRow("a second launch with a file: handed over") << true << 0;
    }
    void requestsWhileThePanelShows()
    {
        QFETCH(bool, secondLaunch);
        QFETCH(int, repeats);
        const QDBusMessage choose =
            request(u"ActivateAction"_s, {u"chooseNotesFolder"_s, QVariantList{}, QVariantMap{}});
        const QString note = m_dir.filePath(u"handed.txt"_s);
        TestSupport::writeBytes(note, "text");
        QDBusConnection launcher = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"opener"_s);
        QDBusPendingCall opening = launcher.asyncCall(choose, 5000);
        // The panel's own request and every later one are answered while the panel still shows.
        bool answered = false;
        m_whilePanelShows = [&] {
            answered = QTest::qWaitFor([&] { return opening.isFinished(); }, 5000);
            answered = answered && (secondLaunch ? runSecond({note}, m_dir.path()).out.trimmed() == "handed over"
                                                 : callAll(QList<QDBusMessage>(repeats, choose)));
        };
        QTRY_VERIFY(opening.isFinished() && !m_whilePanelShows);
        QVERIFY(!opening.isError());
        QVERIFY(answered);
        QCOMPARE(m_panels, 1);
        QTRY_COMPARE(DocumentController::shared().documents().size(), secondLaunch ? 1 : 0);
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
        QTRY_COMPARE(requested.size(), offered ? 1 : 0);
        if (offered)
            QCOMPARE(requested.at(0).at(0).toString(), action);
        QDBusConnection::disconnectFromBus(QStringLiteral("launcher"));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
