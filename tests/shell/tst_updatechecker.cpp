#include "shell/updatechecker.h"
#include "shell/updateprompt.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
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
        Silent
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
    }
    QUrl url() const { return QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(m_server.serverPort())); }

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
};

QByteArray item(const QByteArray &version, const QByteArray &extra = {})
{
    return "<item><title>Nolt Nolt " + version +
           "</title><pubDate>Wed, 14 Oct 2026 09:00:00 +0000</pubDate>"
           "<description><![CDATA[<p>Faster saving.</p>]]></description>"
           "<link>https://noltnolt.quorbell.com/download/" +
           version +
           "</link>"
           "<enclosure url=\"https://noltnolt.quorbell.com/noltnolt-" +
           version + ".tar.gz\" sparkle:version=\"" + version + "\" length=\"1\" type=\"application/gzip\"/>" + extra +
           "</item>";
}

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Nolt Nolt</title>" +
           items + "</channel></rss>";
}

// One check and its single answer; a check that goes to the network is busy until that answer.
std::optional<UpdateChecker::Result> run(UpdateChecker &checker, bool viaNetwork = true)
{
    QSignalSpy finished(&checker, &UpdateChecker::finished);
    checker.check();
    if (checker.isChecking() != viaNetwork || !finished.wait(10000) || finished.size() != 1 || checker.isChecking())
        return std::nullopt;
    return finished.at(0).at(0).value<UpdateChecker::Result>();
}

} // namespace

Q_DECLARE_METATYPE(UpdateChecker::Outcome)

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("same") << u"1.2.0"_s << u"1.2.0"_s << 0;
        QTest::newRow("numeric, not text: 1.10 > 1.9") << u"1.10"_s << u"1.9"_s << 1;
        QTest::newRow("suffix ignored") << u"1.2.0-beta"_s << u"1.2.0"_s << 0;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(UpdateChecker::compareVersions(a, b), order);
        QCOMPARE(UpdateChecker::compareVersions(b, a), -order);
    }

    void checkAgainstServer_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<UpdateChecker::Outcome>("outcome");
        QTest::addColumn<QString>("latest");
        using O = UpdateChecker::Outcome;
        QTest::newRow("newer: update available") << 200 << feed(item("1.2.0")) << O::UpdateAvailable << "1.2.0";
        QTest::newRow("same: up to date") << 200 << feed(item("1.0.0")) << O::UpToDate << "1.0.0";
        QTest::newRow("newest is not the first item")
            << 200 << feed(item("1.0.0") + item("1.10.0") + item("1.9.0")) << O::UpdateAvailable << "1.10.0";
        QTest::newRow("malformed feed") << 200 << QByteArray("<rss><channel><item><title>1.2") << O::Failed << "";
        QTest::newRow("HTTP 404") << 404 << feed(item("9.0")) << O::Failed << "";
    }
    void checkAgainstServer()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(UpdateChecker::Outcome, outcome);
        QFETCH(QString, latest);
        FeedServer server(status, body);
        UpdateChecker checker(server.url(), QStringLiteral("1.0.0"));
        const auto result = run(checker);
        QVERIFY(result);
        QCOMPARE(result->outcome, outcome);
        QCOMPARE(result->latest.version, latest);
        QCOMPARE(result->error.has_value(), outcome == UpdateChecker::Outcome::Failed);
        if (result->error) {
            QVERIFY2(result->error->description().contains(server.url().toDisplayString()),
                     qPrintable(result->error->description()));
        }
    }

    void failsWithoutAServer_data()
    {
        QTest::addColumn<bool>("haveAddress");
        QTest::addColumn<int>("code");
        QTest::newRow("server down") << true << int(UpdateChecker::Unreachable);
        QTest::newRow("no feed address") << false << int(UpdateChecker::NoFeed);
    }
    void failsWithoutAServer()
    {
        QFETCH(bool, haveAddress);
        QFETCH(int, code);
        quint16 port = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            port = closed.serverPort();
        }
        UpdateChecker checker(haveAddress ? QUrl(u"http://127.0.0.1:%1/appcast.xml"_s.arg(port)) : QUrl(), "1.0.0");
        const auto result = run(checker, haveAddress);
        QVERIFY(result && result->error);
        QCOMPARE(result->outcome, UpdateChecker::Outcome::Failed);
        QCOMPARE(result->error->code(), code);
    }

    // A server that sends without end, too much, or nothing gets a clear error, not the app's memory or patience.
    void misbehavingServer_data()
    {
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        using M = FeedServer::Misbehaviour;
        QTest::newRow("endless body") << int(M::Endless) << QByteArray() << int(UpdateChecker::TooLarge);
        QTest::newRow("declared larger than 1 MiB")
            << int(M::None) << feed(QByteArray(UpdateChecker::maxFeedBytes + 1, ' ')) << int(UpdateChecker::TooLarge);
        QTest::newRow("never answers") << int(M::Silent) << QByteArray() << int(UpdateChecker::TimedOut);
    }
    void misbehavingServer()
    {
        QFETCH(int, misbehaviour);
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        FeedServer server(200, body, FeedServer::Misbehaviour(misbehaviour));
        UpdateChecker checker(server.url(), QStringLiteral("1.0.0"));
        checker.setTimeout(500);
        const auto result = run(checker);
        QVERIFY(result && result->error);
        QCOMPARE(result->error->code(), code);
        QVERIFY2(result->error->description().contains(server.url().toDisplayString()),
                 qPrintable(result->error->description()));
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

    void promptTellsTheUser_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("offersDownload");
        QTest::newRow("newer: version and a download button")
            << feed(item("1.2.0")) << QStringLiteral("Nolt Nolt 1.2.0 is available.") << true;
        QTest::newRow("same: up to date") << feed(item("1.0.0")) << QStringLiteral("You're up to date.") << false;
        QTest::newRow("malformed: an error")
            << QByteArray("<rss><channel>") << QStringLiteral("The update check failed.") << false;
    }
    void promptTellsTheUser()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QFETCH(bool, offersDownload);
        QApplication::setApplicationDisplayName(QStringLiteral("Nolt Nolt"));
        FeedServer server(200, body);
        UpdatePrompt prompt(server.url(), QStringLiteral("1.0.0"));
        QString shownText;
        QStringList shownButtons;
        // The answer is a modal box: read and dismiss it from its own event loop.
        QTimer look;
        look.setInterval(5);
        connect(&look, &QTimer::timeout, &look, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shownText = box->text();
                const QList<QAbstractButton *> boxButtons = box->buttons();
                for (QAbstractButton *button : boxButtons)
                    shownButtons.append(button->text());
                look.stop();
                box->reject();
            }
        });
        look.start();
        prompt.checkForUpdates(nullptr);
        // While the feed is on its way, the user sees that something is happening.
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        QVERIFY(std::any_of(windows.begin(), windows.end(),
                            [](QWidget *w) { return qobject_cast<QProgressDialog *>(w) && w->isVisible(); }));
        QTRY_VERIFY(!shownText.isEmpty());
        QCOMPARE(shownText, text);
        QCOMPARE(shownButtons.contains(QStringLiteral("Download…")), offersDownload);
    }
};

QTEST_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
