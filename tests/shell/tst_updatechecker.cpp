#include "shell/updatechecker.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// An HTTP/1.1 server on 127.0.0.1 that answers every request with the feed; or, misbehaving, with a body without
// end or with nothing at all.
class FeedServer : public QObject
{
public:
    static constexpr int Endless = 1, Silent = 2; // how it misbehaves, if at all

    FeedServer(const QByteArray &body, int misbehaviour)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this, body, misbehaviour] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket, body, misbehaviour] {
                    // Answer once the whole request head is in.
                    if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n") || misbehaviour == Silent)
                        return;
                    socket->readAll();
                    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n";
                    if (misbehaviour == Endless) {
                        socket->write(head + "\r\n<rss><channel>");
                        // Another 64 KiB whenever the last went out, for as long as the client reads.
                        connect(socket, &QTcpSocket::bytesWritten, socket,
                                [socket] { socket->write(QByteArray(64 * 1024, ' ')); });
                        return;
                    }
                    socket->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(m_server.serverPort())); }

private:
    QTcpServer m_server;
};

QByteArray feed(const QList<QByteArray> &versions, const QByteArray &link = {})
{
    QByteArray items;
    for (const QByteArray &v : versions)
        items += "<item><title>Nolt Nolt " + v + "</title>" +
                 (link.isEmpty() ? "<link>https://noltnolt.quorbell.com/download/" + v + "</link>" : link) +
                 "<enclosure url=\"https://noltnolt.quorbell.com/noltnolt-" + v + ".tar.gz\" sparkle:version=\"" + v +
                 "\" length=\"1\" type=\"application/gzip\"/></item>";
    return "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Nolt Nolt</title>" +
           items + "</channel></rss>";
}

} // namespace

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A server that sends without end, too much, or nothing gets a clear error, not the app's memory or patience.
    // Code -1: any error.
    void checkAgainstServer_data()
    {
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<int>("code");
        QTest::newRow("same: up to date") << 0 << feed({"1.0.0"}) << "1.0.0" << 0;
        QTest::newRow("newer, and not the first item") << 0 << feed({"1.0.0", "1.10.0", "1.9.0"}) << "1.10.0" << 0;
        QTest::newRow("empty feed") << 0 << feed({}) << "" << -1;
        QTest::newRow("endless body") << int(FeedServer::Endless) << QByteArray() << "" << int(UpdateChecker::TooLarge);
        QTest::newRow("declared larger than 1 MiB")
            << 0 << QByteArray(UpdateChecker::maxFeedBytes + 1, ' ') << "" << int(UpdateChecker::TooLarge);
        QTest::newRow("never answers") << int(FeedServer::Silent) << QByteArray() << "" << int(UpdateChecker::TimedOut);
    }
    void checkAgainstServer()
    {
        QFETCH(int, misbehaviour);
        QFETCH(QByteArray, body);
        QFETCH(QString, latest);
        QFETCH(int, code);
        FeedServer server(body, misbehaviour);
        UpdateChecker checker(server.url(), u"1.0.0"_s);
        checker.setTimeout(1500);
        // One check and its single answer; a check that goes to the network is busy until that answer.
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        checker.check();
        QVERIFY(checker.isChecking() && finished.wait(10000) && finished.size() == 1 && !checker.isChecking());
        const auto result = finished.at(0).at(0).value<UpdateChecker::Result>();
        using O = UpdateChecker::Outcome;
        QCOMPARE(result.outcome, code ? O::Failed : latest == u"1.0.0" ? O::UpToDate : O::UpdateAvailable);
        QCOMPARE(result.latest.version, latest);
        QCOMPARE(result.error.has_value(), code != 0);
        if (result.error)
            QVERIFY2((code < 0 || result.error->code() == code) &&
                         result.error->description().contains(server.url().toDisplayString()),
                     qPrintable(result.error->description()));
    }

    // Only web links leave the app: https always, http only from a feed that came over http.
    void links_data()
    {
        QTest::addColumn<QString>("feedUrl");
        QTest::addColumn<QByteArray>("link");
        QTest::addColumn<bool>("accepted");
        const QString https = u"https://e.org/appcast.xml"_s;
        QTest::newRow("https link") << https << QByteArray("<link>https://e.org/d</link>") << true;
        QTest::newRow("refused: a desktop file") << https << QByteArray("<link>file:///tmp/x.desktop</link>") << false;
        QTest::newRow("refused: http from an https feed")
            << https << QByteArray("<link>http://e.org/d</link>") << false;
        QTest::newRow("refused: release notes elsewhere")
            << https << QByteArray("<sparkle:releaseNotesLink>ftp://e.org/n</sparkle:releaseNotesLink>") << false;
    }
    void links()
    {
        QFETCH(QString, feedUrl);
        QFETCH(QByteArray, link);
        QFETCH(bool, accepted);
        const auto result = UpdateChecker::evaluate(feed({"1.2.0"}, link), QUrl(feedUrl), u"1.0"_s);
        QCOMPARE(result.outcome == UpdateChecker::Outcome::UpdateAvailable, accepted);
        QCOMPARE(result.error ? result.error->code() : 0, accepted ? 0 : int(UpdateChecker::UnsafeLink));
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
