#include "shell/updatechecker.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A plain HTTP/1.1 server on 127.0.0.1 that answers every request for the feed with one status and body; or, as
// a misbehaving server, with a body without end or with nothing at all.
class FeedServer : public QObject
{
public:
    enum class Misbehaviour
    {
        None,
        Endless,
        Silent,
        Down
    };

    FeedServer(int status, const QByteArray &body, Misbehaviour misbehaviour = Misbehaviour::None)
        : m_misbehaviour(misbehaviour)
    {
        const QByteArray reason = status == 200 ? "OK" : "Not Found";
        m_response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                     "\r\nContent-Type: application/rss+xml\r\nConnection: close\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body;
        connect(&m_server, &QTcpServer::newConnection, this, &FeedServer::accept);
        m_server.listen(QHostAddress::LocalHost);
        m_port = m_server.serverPort();
        if (misbehaviour == Misbehaviour::Down)
            m_server.close();
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(m_port)); }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                // Answer once the whole request head is in.
                if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n") ||
                    m_misbehaviour == Misbehaviour::Silent)
                    return;
                socket->readAll();
                if (m_misbehaviour == Misbehaviour::Endless) {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n\r\n<rss><channel>");
                    // Another 64 KiB whenever the last went out, for as long as the client reads.
                    connect(socket, &QTcpSocket::bytesWritten, socket,
                            [socket] { socket->write(QByteArray(64 * 1024, ' ')); });
                    return;
                }
                socket->write(m_response);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    QByteArray m_response;
    Misbehaviour m_misbehaviour;
    quint16 m_port = 0;
};

QByteArray item(const QByteArray &version, const QByteArray &extra = {})
{
    return "<item><title>Nolt Nolt " + version + "</title><link>https://noltnolt.quorbell.com/download/" + version +
           "</link>"
           "<enclosure url=\"https://noltnolt.quorbell.com/noltnolt-" +
           version + ".tar.gz\" sparkle:version=\"" + version + "\" length=\"1\" type=\"application/gzip\"/>" + extra +
           "</item>";
}

QByteArray feed(const QByteArray &items)
{
    return "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Nolt Nolt</title>" +
           items + "</channel></rss>";
}

// One check and its single answer; a check that goes to the network is busy until that answer.
std::optional<UpdateChecker::Result> run(UpdateChecker &checker)
{
    QSignalSpy finished(&checker, &UpdateChecker::finished);
    checker.check();
    if (!checker.isChecking() || !finished.wait(10000) || finished.size() != 1 || checker.isChecking())
        return std::nullopt;
    return finished.at(0).at(0).value<UpdateChecker::Result>();
}

} // namespace

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A server that is down or sends without end, too much, or nothing gets a clear error, not the app's memory
    // or patience. Code -1: any error.
    void checkAgainstServer_data()
    {
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<int>("code");
        using M = FeedServer::Misbehaviour;
        const int none = int(M::None);
        QTest::newRow("newer: update available") << none << 200 << feed(item("1.2.0")) << "1.2.0" << 0;
        QTest::newRow("same: up to date") << none << 200 << feed(item("1.0.0")) << "1.0.0" << 0;
        QTest::newRow("newest is not the first item")
            << none << 200 << feed(item("1.0.0") + item("1.10.0") + item("1.9.0")) << "1.10.0" << 0;
        QTest::newRow("malformed feed") << none << 200 << QByteArray("<rss><channel><item><title>1.2") << "" << -1;
        QTest::newRow("HTTP 404") << none << 404 << feed(item("9.0")) << "" << -1;
        QTest::newRow("endless body") << int(M::Endless) << 200 << QByteArray() << "" << int(UpdateChecker::TooLarge);
        QTest::newRow("declared larger than 1 MiB")
            << none << 200 << feed(QByteArray(UpdateChecker::maxFeedBytes + 1, ' ')) << ""
            << int(UpdateChecker::TooLarge);
        QTest::newRow("never answers") << int(M::Silent) << 200 << QByteArray() << "" << int(UpdateChecker::TimedOut);
        QTest::newRow("server down") << int(M::Down) << 200 << QByteArray() << "" << int(UpdateChecker::Unreachable);
    }
    void checkAgainstServer()
    {
        QFETCH(int, misbehaviour);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, latest);
        QFETCH(int, code);
        FeedServer server(status, body, FeedServer::Misbehaviour(misbehaviour));
        UpdateChecker checker(server.url(), QStringLiteral("1.0.0"));
        checker.setTimeout(1500);
        const auto result = run(checker);
        QVERIFY(result);
        using O = UpdateChecker::Outcome;
        QCOMPARE(result->outcome, code ? O::Failed : latest == u"1.0.0" ? O::UpToDate : O::UpdateAvailable);
        QCOMPARE(result->latest.version, latest);
        QCOMPARE(result->error.has_value(), code != 0);
        if (result->error) {
            QVERIFY(code < 0 || result->error->code() == code);
            QVERIFY2(result->error->description().contains(server.url().toDisplayString()),
                     qPrintable(result->error->description()));
        }
    }

    // Only web links leave the app: https always, http only from a feed that came over http.
    void links_data()
    {
        QTest::addColumn<QString>("feedUrl");
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("accepted");
        const QString https = u"https://e.org/appcast.xml"_s;
        QTest::newRow("https link") << https << QByteArray() << true;
        QTest::newRow("refused: a desktop file") << https << QByteArray("<link>file:///tmp/x.desktop</link>") << false;
        QTest::newRow("refused: http from an https feed")
            << https << QByteArray("<link>http://e.org/d</link>") << false;
        QTest::newRow("http from an http feed")
            << u"http://e.org/a.xml"_s << QByteArray("<link>http://e.org/d</link>") << true;
        QTest::newRow("refused: release notes elsewhere")
            << https << QByteArray("<sparkle:releaseNotesLink>ftp://e.org/n</sparkle:releaseNotesLink>") << false;
    }
    void links()
    {
        QFETCH(QString, feedUrl);
        QFETCH(QByteArray, extra);
        QFETCH(bool, accepted);
        // A second link element overrides the item's own.
        QByteArray body = feed(item("1.2.0", extra));
        if (extra.startsWith("<link>"))
            body.replace("<link>https://noltnolt.quorbell.com/download/1.2.0</link>", "");
        const auto result = UpdateChecker::evaluate(body, QUrl(feedUrl), QStringLiteral("1.0"));
        QCOMPARE(result.outcome == UpdateChecker::Outcome::UpdateAvailable, accepted);
        if (!accepted)
            QCOMPARE(result.error->code(), int(UpdateChecker::UnsafeLink));
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
