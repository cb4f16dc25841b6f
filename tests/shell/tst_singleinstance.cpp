#include "shell/singleinstance.h"
#include "storage/notesfolder.h"
#include "support/launchfixture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

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

private:
    const QString m_helper = qEnvironmentVariable("NOLTNOLT_INSTANCE_HELPER");
    // The running app as main() wires it, on this test's own session bus.
    SingleInstance *m_first = nullptr;
    TestSupport::LaunchFixture m_app;

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QVERIFY(QFileInfo(m_helper).isExecutable());
        m_first = new SingleInstance(this);
        QVERIFY(m_first->start({}));
        m_app.start(true).listenTo(*m_first);
    }

    void cleanup()
    {
        for (Document *document : m_app.app->documents().documents())
            document->close();
        for (QWidget *window : TestSupport::messageBoxes())
            window->close();
        QTRY_VERIFY(m_app.windows().isEmpty() && TestSupport::messageBoxes().isEmpty());
        m_app.errors.clear();
    }

    // The first instance stuck (this process in a blocking wait) while a second launches: the second gives up with
    // exit 1, and its files are still opened, in order. A handover answered in time is the end-to-end test's.
    void secondLaunchToAStuckInstance()
    {
        const QStringList names{"b.txt", "a b.txt", "ünï #1.txt"};
        QSignalSpy openRequested(m_first, &SingleInstance::openRequested);
        QList<QUrl> expected;
        for (const QString &name : names) {
            TestSupport::writeBytes(m_app.dir.filePath(name), "text");
            expected.append(QUrl::fromLocalFile(m_app.dir.filePath(name)));
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"NOLTNOLT_HANDOVER_TIMEOUT_MS"_s, u"1000"_s);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_app.dir.path());
        process.start(m_helper, names);
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("does not answer"));
        QTRY_COMPARE(openRequested.size(), 1);
        QCOMPARE(openRequested.at(0).at(0).value<QList<QUrl>>(), expected);
        QTRY_COMPARE(m_app.app->documents().documents().size(), names.size());
    }

    // Bursts a script sends: this process, the running instance, keeps answering within a second, memory stays
    // bounded, and what is not opened is told in one message.
    void burstOfRequests_data()
    {
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("urisPerCall");
        QTest::addColumn<QString>("name"); // %1 the URI's number in the burst
        QTest::addColumn<int>("expectedWindows");
        QTest::addColumn<QString>("message"); // how the one message starts; %1 the count of what was not opened
        QTest::newRow("3000 Open calls for files in no folder: one message lists them")
            << 3000 << 1 << "no folder/missing %1.txt" << 0 << "%1 files could not be opened.";
        QTest::newRow("10000 URIs of one file in one Open: one window") << 1 << 10000 << "same.txt" << 1 << "";
        QTest::newRow("10000 new names in one Open: the first open, one message")
            << 1 << 10000 << "new %1.txt" << int(DocumentController::newNotesPerBurst)
            << "%1 new notes were not opened: Nolt Nolt makes at most 50 at once. The first of them is “new 50.txt”";
    }
    void burstOfRequests()
    {
        QFETCH(int, calls);
        QFETCH(int, urisPerCall);
        QFETCH(QString, name);
        QFETCH(int, expectedWindows);
        QFETCH(QString, message);
        TestSupport::writeBytes(m_app.dir.filePath(u"same.txt"_s), "text");
        QList<QDBusMessage> requests;
        for (int call = 0; call < calls; ++call) {
            QStringList uris;
            for (int uri = 0; uri < urisPerCall; ++uri)
                uris.append(QUrl::fromLocalFile(m_app.dir.filePath(QString(name).replace(
                                                    u"%1"_s, QString::number(call * urisPerCall + uri))))
                                .toString(QUrl::FullyEncoded));
            requests.append(QDBusMessage::createMethodCall(QLatin1String(SingleInstance::serviceName),
                                                           QLatin1String(SingleInstance::objectPath),
                                                           QLatin1String(SingleInstance::interfaceName), u"Open"_s)
                            << uris << QVariantMap{});
        }
        const TestSupport::LoopWatch watch;
        QVERIFY(callAll(requests));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_app.app->documents().documents().size() == expectedWindows && !m_app.app->documents().isOpening(), 60000);
        const QString told =
            message.isEmpty() ? message : message.arg(QLocale().toString(calls * urisPerCall - expectedWindows));
        QTRY_VERIFY2(m_app.errors.size() == (told.isEmpty() ? 0 : 1) &&
                         (told.isEmpty() || m_app.errors.constFirst().startsWith(told)),
                     qPrintable(m_app.errors.join(u'\n')));
        QVERIFY(calls == 1 || m_app.errors.constFirst().count(u'\n') == calls); // a line for each file
        QVERIFY2(watch.worstLateMs() < 1000, qPrintable(u"%1 ms without an answer"_s.arg(watch.worstLateMs())));
        QVERIFY2(watch.peakGrowthMb() < 600, qPrintable(u"%1 MB more"_s.arg(watch.peakGrowthMb())));
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestSingleInstance>(argc, argv);
}
#include "tst_singleinstance.moc"
