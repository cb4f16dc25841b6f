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
QByteArray runSecond(const QStringList &arguments, const QString &workingDirectory)
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(helper(), arguments);
    if (!finished.wait(30000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput().trimmed();
}

QDBusMessage request(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(SingleInstance::serviceName),
                                                       QLatin1String(SingleInstance::objectPath),
                                                       QLatin1String(SingleInstance::interfaceName), method);
    call.setArguments(arguments);
    return call;
}

QList<QMessageBox *> messageWindows()
{
    QList<QMessageBox *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            found.append(box);
    }
    return found;
}

// Sends every call at once from a launcher's own connection; true when each was answered without error.
bool callAll(const QList<QDBusMessage> &calls)
{
    QDBusConnection launcher = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"launcher"_s);
    QList<QDBusPendingCall> pending;
    for (const QDBusMessage &call : calls)
        pending.append(launcher.asyncCall(call, 20000));
    const bool answered = QTest::qWaitFor(
        [&] { return std::all_of(pending.begin(), pending.end(), [](auto &p) { return p.isFinished(); }); }, 20000);
    return answered && std::none_of(pending.begin(), pending.end(), [](auto &p) { return p.isError(); });
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

public:
    TestSingleInstance()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(u"config"_s)));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.filePath(u"state"_s)));
    }

private:
    // The running app as main() wires it, on this test's own session bus.
    SingleInstance *m_first = nullptr;
    QTemporaryDir m_dir;
    int m_panels = 0;
    std::function<void()> m_whilePanelShows;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QVERIFY(QFileInfo(helper()).isExecutable());
        m_first = new SingleInstance(this);
        QVERIFY(m_first->start({}));
        auto *delegate = new AppDelegate(this);
        delegate->setNotesFolder(m_dir.filePath(u"Desktop"_s));
        delegate->listenTo(*m_first);
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

    void secondInstanceHandsOverInOrder()
    {
        const QStringList names{"b.txt", "a b.txt", "ünï #1.txt"};
        QSignalSpy openRequested(m_first, &SingleInstance::openRequested);
        QList<QUrl> expected;
        for (const QString &name : names) {
            TestSupport::writeBytes(m_dir.filePath(name), "text");
            expected.append(QUrl::fromLocalFile(m_dir.filePath(name)));
        }
        QCOMPARE(runSecond(names, m_dir.path()), QByteArray("handed over"));
        QTRY_COMPARE(openRequested.size(), 1);
        QCOMPARE(openRequested.at(0).at(0).value<QList<QUrl>>(), expected);
        QCOMPARE(DocumentController::shared().documents().size(), names.size());
    }

    void unansweredInstanceStopsTheSecondLaunch()
    {
        // This process stands still, as a running instance stuck in a long task would.
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"NOLTNOLT_HANDOVER_TIMEOUT_MS"_s, u"1000"_s);
        process.setProcessEnvironment(env);
        process.start(helper());
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("does not answer"));
        QTRY_COMPARE(DocumentController::shared().documents().size(), 1); // the late request is still served
    }

    void burstOfRequests_data()
    {
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("urisPerCall");
        QTest::addColumn<int>("expectedWindows");
        QTest::newRow("3000 Open calls for missing files: one message lists them") << 3000 << 1 << 0;
        QTest::newRow("10000 URIs of one file in one Open: one window") << 1 << 10000 << 1;
    }
    void burstOfRequests()
    {
        QFETCH(int, calls);
        QFETCH(int, urisPerCall);
        QFETCH(int, expectedWindows);
        const QString same = m_dir.filePath(u"same.txt"_s);
        TestSupport::writeBytes(same, "text");
        QList<QDBusMessage> requests;
        for (int call = 0; call < calls; ++call) {
            const QString path = expectedWindows ? same : m_dir.filePath(u"missing %1.txt"_s.arg(call));
            const QStringList uris(urisPerCall, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
            requests.append(request(u"Open"_s, {uris, QVariantMap{}}));
        }
        QVERIFY(callAll(requests));
        QTRY_COMPARE(DocumentController::shared().documents().size(), expectedWindows);
        if (!expectedWindows) {
            QTRY_COMPARE(messageWindows().size(), 1);
            QVERIFY(messageWindows().first()->text().contains(u"files could not be opened"));
            QTRY_COMPARE(messageWindows().first()->detailedText().count(u'\n') + 1, calls);
        }
        QCOMPARE(messageWindows().size(), expectedWindows ? 0 : 1);
    }

    // The panel's own request and 1500 more are answered while the panel still shows; one panel opens.
    void chooseNotesFolderWhileThePanelShows()
    {
        const QDBusMessage choose =
            request(u"ActivateAction"_s, {u"chooseNotesFolder"_s, QVariantList{}, QVariantMap{}});
        QDBusConnection launcher = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"opener"_s);
        QDBusPendingCall opening = launcher.asyncCall(choose, 5000);
        bool answered = false;
        m_whilePanelShows = [&] {
            answered = QTest::qWaitFor([&] { return opening.isFinished(); }, 5000) &&
                       callAll(QList<QDBusMessage>(1500, choose));
        };
        QTRY_VERIFY(opening.isFinished() && !m_whilePanelShows);
        QVERIFY(!opening.isError());
        QVERIFY(answered);
        QCOMPARE(m_panels, 1);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
