#include "shell/updatechecker.h"
#include "shell/updateprompt.h"

#include <QApplication>
#include <QHash>
#include <QAbstractButton>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A plain HTTP/1.1 server on 127.0.0.1 that answers each path with a fixed status and body.
class FeedServer : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
    };

    FeedServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FeedServer::accept);
        m_server.listen(QHostAddress::LocalHost);
    }

    void serve(const QByteArray &path, Answer answer) { m_answers.insert(path, std::move(answer)); }
    QUrl url(const QByteArray &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QString::fromUtf8(path)));
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        m_pending.remove(socket);
        const Answer answer = m_answers.value(path, Answer{404, "not here"});
        const QByteArray reason = answer.status == 200 ? "OK" : "Not Found";
        socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reason +
                      "\r\nContent-Type: application/rss+xml\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_pending;
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
        QTest::newRow("same") << "1.2.0"
                              << "1.2.0" << 0;
        QTest::newRow("missing component is zero") << "1.2"
                                                   << "1.2.0" << 0;
        QTest::newRow("numeric, not text: 1.10 > 1.9") << "1.10"
                                                       << "1.9" << 1;
        QTest::newRow("older patch") << "1.0.1"
                                     << "1.0.2" << -1;
        QTest::newRow("major wins") << "2.0"
                                    << "1.99.99" << 1;
        QTest::newRow("suffix ignored") << "1.2.0-beta"
                                        << "1.2.0" << 0;
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
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<UpdateChecker::Outcome>("outcome");
        QTest::addColumn<QString>("latest");
        using O = UpdateChecker::Outcome;
        QTest::newRow("newer: update available")
            << QByteArray("/appcast.xml") << 200 << feed(item("1.2.0")) << O::UpdateAvailable << "1.2.0";
        QTest::newRow("same: up to date")
            << QByteArray("/appcast.xml") << 200 << feed(item("1.0.0")) << O::UpToDate << "1.0.0";
        QTest::newRow("older: up to date")
            << QByteArray("/appcast.xml") << 200 << feed(item("0.9.5")) << O::UpToDate << "0.9.5";
        QTest::newRow("newest is not the first item")
            << QByteArray("/appcast.xml") << 200 << feed(item("1.0.0") + item("1.10.0") + item("1.9.0"))
            << O::UpdateAvailable << "1.10.0";
        QTest::newRow("version as an element")
            << QByteArray("/appcast.xml") << 200
            << feed("<item><title>x</title><version>2.0</version><link>https://example.org/2</link></item>")
            << O::UpdateAvailable << "2.0";
        QTest::newRow("undeclared prefix still read")
            << QByteArray("/appcast.xml") << 200
            << QByteArray("<rss version=\"2.0\"><channel><item><enclosure url=\"https://e.org/x\" "
                          "sparkle:version=\"3.1\"/></item></channel></rss>")
            << O::UpdateAvailable << "3.1";
        QTest::newRow("malformed feed") << QByteArray("/appcast.xml") << 200
                                        << QByteArray("<rss><channel><item><title>1.2") << O::Failed << "";
        QTest::newRow("not a feed: HTML page")
            << QByteArray("/appcast.xml") << 200 << QByteArray("<html><body>Hello</body></html>") << O::Failed << "";
        QTest::newRow("empty feed") << QByteArray("/appcast.xml") << 200 << feed({}) << O::Failed << "";
        QTest::newRow("empty body") << QByteArray("/appcast.xml") << 200 << QByteArray() << O::Failed << "";
        QTest::newRow("items without versions")
            << QByteArray("/appcast.xml") << 200 << feed("<item><title>News</title></item>") << O::Failed << "";
        QTest::newRow("HTTP 404") << QByteArray("/elsewhere.xml") << 200 << feed(item("9.0")) << O::Failed << "";
    }
    void checkAgainstServer()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(UpdateChecker::Outcome, outcome);
        QFETCH(QString, latest);
        FeedServer server;
        server.serve(path == "/elsewhere.xml" ? QByteArray("/appcast.xml") : path, {status, body});
        UpdateChecker checker(server.url(path), QStringLiteral("1.0.0"));
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        checker.check();
        QVERIFY(checker.isChecking());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        const auto result = finished.at(0).at(0).value<UpdateChecker::Result>();
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.latest.version, latest);
        QCOMPARE(result.error.has_value(), outcome == UpdateChecker::Outcome::Failed);
        if (result.error) {
            QVERIFY2(result.error->description().contains(server.url(path).toDisplayString()),
                     qPrintable(result.error->description()));
        }
        QVERIFY(!checker.isChecking());
    }

    void releaseDetails()
    {
        const auto result =
            UpdateChecker::evaluate(feed(item("1.2.0")), QUrl(QStringLiteral("https://e.org/a.xml")), "1.0");
        QCOMPARE(result.latest.downloadUrl, QUrl(QStringLiteral("https://noltnolt.quorbell.com/download/1.2.0")));
        QCOMPARE(result.latest.notes, QStringLiteral("<p>Faster saving.</p>"));
        QCOMPARE(result.latest.date, QDateTime(QDate(2026, 10, 14), QTime(9, 0), Qt::UTC));
    }

    void serverDown()
    {
        quint16 port = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            port = closed.serverPort();
        }
        UpdateChecker checker(QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port)), "1.0.0");
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        checker.check();
        QVERIFY(finished.wait(10000));
        const auto result = finished.at(0).at(0).value<UpdateChecker::Result>();
        QCOMPARE(result.outcome, UpdateChecker::Outcome::Failed);
        QCOMPARE(result.error->code(), int(UpdateChecker::Unreachable));
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
        FeedServer server;
        server.serve("/appcast.xml", {200, body});
        UpdatePrompt prompt(server.url("/appcast.xml"), QStringLiteral("1.0.0"));
        bool sawProgress = false;
        QString shownText;
        QStringList shownButtons;
        // The answer is a modal box: read it and dismiss it from its own event loop.
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
        for (QWidget *window : windows) {
            if (qobject_cast<QProgressDialog *>(window) && window->isVisible())
                sawProgress = true;
        }
        QTRY_VERIFY(!shownText.isEmpty());
        QVERIFY(sawProgress);
        QCOMPARE(shownText, text);
        QCOMPARE(shownButtons.contains(QStringLiteral("Download…")), offersDownload);
    }

    void noFeedAddress()
    {
        UpdateChecker checker(QUrl(), "1.0.0");
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        checker.check();
        QVERIFY(finished.wait(10000));
        const auto result = finished.at(0).at(0).value<UpdateChecker::Result>();
        QCOMPARE(result.outcome, UpdateChecker::Outcome::Failed);
        QCOMPARE(result.error->code(), int(UpdateChecker::NoFeed));
    }
};

QTEST_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
