#include "syncthingpair.h"

#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QMap>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr auto folderId = "notes"_L1;
constexpr auto apiKey = "nolt-test-key"_L1;
constexpr int restTimeoutMs = 5000;
constexpr int pollMs = 20;

// Only the two devices on loopback: no discovery, relays, port mapping or reports, a watcher that reacts within a
// second, and every conflict copy kept, so a test can look for each side's text afterwards.
// %1 own device, %2 other device, %3 GUI port, %4 own sync port, %5 the other's address, %6 folder, %7 API key.
constexpr auto configTemplate = R"(<configuration version="36">
    <folder id="notes" label="notes" path="%6" type="sendreceive" rescanIntervalS="5" fsWatcherEnabled="true"
            fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">
        <device id="%1"></device>
        <device id="%2"></device>
        <maxConflicts>-1</maxConflicts>
    </folder>
    <device id="%1" name="self"><address>dynamic</address></device>
    <device id="%2" name="other"><address>%5</address></device>
    <gui enabled="true" tls="false"><address>127.0.0.1:%3</address><apikey>%7</apikey></gui>
    <options>
        <listenAddress>tcp://127.0.0.1:%4</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <urAccepted>-1</urAccepted>
        <crashReportingEnabled>false</crashReportingEnabled>
        <startBrowser>false</startBrowser>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <reconnectionIntervalS>1</reconnectionIntervalS>
    </options>
</configuration>
)"_L1;

// Ports nobody listens on now: all are held at once so that they differ.
QList<quint16> freePorts(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> held;
    QList<quint16> ports;
    for (int i = 0; i < count; ++i) {
        held.push_back(std::make_unique<QTcpServer>());
        if (!held.back()->listen(QHostAddress::LocalHost, 0))
            return {};
        ports.append(held.back()->serverPort());
    }
    return ports;
}

// The folder's files and their bytes. Syncthing's own marker folder and the partial downloads it keeps to reuse
// later are left out: they are never synced.
QMap<QString, QByteArray> contents(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(folder).relativeFilePath(it.next());
        const QString name = it.fileName();
        if (!relative.startsWith(u".stfolder") && !(name.startsWith(u".syncthing.") && name.endsWith(u".tmp")))
            files.insert(relative, TestSupport::readBytes(it.filePath()));
    }
    return files;
}

} // namespace

SyncthingPair::SyncthingPair()
{
    m_network.setProxy(QNetworkProxy::NoProxy);
}

SyncthingPair::~SyncthingPair()
{
    stop();
}

QString SyncthingPair::path(Side side, const QString &relativePath) const
{
    return m_sides[side].folder + u'/' + relativePath;
}

QString SyncthingPair::prepare(Instance &instance, const QString &name)
{
    instance.home = m_dir.filePath(name + u"-home"_s);
    instance.folder = m_dir.filePath(name + u"-notes"_s);
    // The marker tells Syncthing the folder is there on purpose (not an unmounted disk).
    if (!QDir().mkpath(instance.folder + u"/.stfolder"_s))
        return u"cannot make %1"_s.arg(instance.folder);
    QProcess generate;
    generate.setProcessEnvironment(environment());
    generate.start(u"syncthing"_s, {u"generate"_s, u"--home="_s + instance.home, u"--no-default-folder"_s});
    if (!generate.waitForFinished(restTimeoutMs) || generate.exitCode() != 0)
        return u"syncthing generate failed: "_s + QString::fromLocal8Bit(generate.readAllStandardError());
    QProcess id;
    id.setProcessEnvironment(environment());
    id.start(u"syncthing"_s, {u"serve"_s, u"--home="_s + instance.home, u"--device-id"_s});
    id.waitForFinished(restTimeoutMs);
    instance.deviceId = QString::fromLatin1(id.readAllStandardOutput()).trimmed();
    if (id.exitCode() != 0 || instance.deviceId.isEmpty())
        return u"syncthing gave no device ID: "_s + QString::fromLocal8Bit(id.readAllStandardError());
    return {};
}

QProcessEnvironment SyncthingPair::environment() const
{
    // Nothing of theirs reaches the user's real home, they never restart or upgrade themselves, and a fixed hasher
    // spares each start a second of measuring which one is faster.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        environment.insert(QString::fromLatin1(variable), m_dir.path());
    environment.insert(u"STNOUPGRADE"_s, u"1"_s);
    environment.insert(u"STNORESTART"_s, u"1"_s);
    environment.insert(u"GOMAXPROCS"_s, u"1"_s);
    environment.insert(u"STHASHING"_s, u"minio"_s);
    return environment;
}

void SyncthingPair::writeConfig(Side side) const
{
    const Instance &self = m_sides[side];
    const Instance &other = m_sides[side == A ? B : A];
    // Only A dials. When both dial at once, Syncthing 1.19 can leave both connections waiting for a hello until they
    // time out twenty seconds later.
    const QString otherAddress = side == A ? u"tcp://127.0.0.1:"_s + QString::number(other.syncPort) : u"dynamic"_s;
    // The generated configuration is replaced; its keys and certificate stay.
    QFile config(self.home + u"/config.xml"_s);
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    config.write(QString(configTemplate)
                     .arg(self.deviceId, other.deviceId, QString::number(self.guiPort), QString::number(self.syncPort),
                          otherAddress, self.folder.toHtmlEscaped(), QString(apiKey))
                     .toUtf8());
}

QString SyncthingPair::start(int timeoutMs)
{
    if (QStandardPaths::findExecutable(u"syncthing"_s).isEmpty())
        return u"syncthing is not installed"_s;
    if (!m_dir.isValid())
        return u"no temporary folder"_s;
    for (const auto &[side, name] : {std::pair{A, u"a"_s}, std::pair{B, u"b"_s}}) {
        if (const QString failure = prepare(m_sides[side], name); !failure.isEmpty())
            return failure;
    }
    const QList<quint16> ports = freePorts(4);
    if (ports.size() != 4)
        return u"no free ports on 127.0.0.1"_s;
    m_sides[A].guiPort = ports[0];
    m_sides[A].syncPort = ports[1];
    m_sides[B].guiPort = ports[2];
    m_sides[B].syncPort = ports[3];

    QElapsedTimer clock;
    clock.start();
    // B listens before A dials, so that A's first dial finds it (a failed one is retried only seconds later).
    for (Side side : {B, A}) {
        if (!launch(side))
            return u"syncthing did not start"_s;
        while (!(side == B ? rest(B, "GET", u"/rest/system/ping"_s).has_value()
                           : connected(A) && connected(B) && idle(A) && idle(B))) {
            if (clock.hasExpired(timeoutMs))
                return u"the two syncthing instances did not connect within %1 s"_s.arg(timeoutMs / 1000);
            QTest::qWait(pollMs * 5);
        }
    }
    return {};
}

bool SyncthingPair::launch(Side side)
{
    Instance &instance = m_sides[side];
    writeConfig(side);
    instance.process = std::make_unique<QProcess>();
    instance.process->setProcessEnvironment(environment());
    instance.process->setProcessChannelMode(QProcess::MergedChannels);
    instance.process->setStandardOutputFile(instance.home + u"/log.txt"_s);
    // A process group of its own, so that stopping ends the helper process Syncthing starts too; and a test that
    // dies takes its instances with it.
    instance.process->setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    instance.process->start(u"syncthing"_s,
                            {u"serve"_s, u"--home="_s + instance.home, u"--no-browser"_s, u"--no-restart"_s});
    return instance.process->waitForStarted(restTimeoutMs);
}

void SyncthingPair::stop()
{
    for (Instance &instance : m_sides) {
        if (!instance.process || instance.process->state() == QProcess::NotRunning)
            continue;
        const pid_t group = pid_t(instance.process->processId());
        ::kill(-group, SIGTERM);
        if (!instance.process->waitForFinished(restTimeoutMs)) {
            ::kill(-group, SIGKILL);
            instance.process->waitForFinished(restTimeoutMs);
        }
    }
}

std::optional<QJsonDocument> SyncthingPair::rest(Side side, const QByteArray &verb, const QString &pathAndQuery)
{
    QNetworkRequest request(QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_sides[side].guiPort).arg(pathAndQuery)));
    request.setRawHeader("X-API-Key", QByteArray(apiKey.data(), apiKey.size()));
    request.setTransferTimeout(restTimeoutMs);
    const std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, verb));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    return QJsonDocument::fromJson(reply->readAll());
}

bool SyncthingPair::connected(Side side)
{
    const std::optional<QJsonDocument> answer = rest(side, "GET", u"/rest/system/connections"_s);
    const QString other = m_sides[side == A ? B : A].deviceId;
    return answer && answer->object()[u"connections"][other][u"connected"].toBool();
}

bool SyncthingPair::idle(Side side)
{
    const std::optional<QJsonDocument> answer = rest(side, "GET", u"/rest/db/status?folder="_s + folderId);
    return answer && answer->object()[u"state"].toString() == u"idle" &&
           answer->object()[u"needTotalItems"].toInt(-1) == 0;
}

bool SyncthingPair::waitUntilSynced(Side side, const QString &relativePath, const QByteArray &bytes, int timeoutMs)
{
    return QTest::qWaitFor([&] { return TestSupport::readBytes(path(side, relativePath)) == bytes; }, timeoutMs);
}

bool SyncthingPair::waitUntilAgreed(int timeoutMs)
{
    // Agreement seen twice in a row: a copy that is being replaced can match for a moment.
    int agreedLooks = 0;
    QElapsedTimer clock;
    clock.start();
    while (agreedLooks < 2) {
        if (clock.hasExpired(timeoutMs))
            return false;
        QTest::qWait(pollMs * 10);
        const bool agreed = contents(m_sides[A].folder) == contents(m_sides[B].folder) && idle(A) && idle(B);
        agreedLooks = agreed ? agreedLooks + 1 : 0;
    }
    return true;
}
