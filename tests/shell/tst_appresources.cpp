#include "shell/appresources.h"
#include "shell/singleinstance.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Records what the app asked to open instead of opening it.
std::shared_ptr<QList<QUrl>> recordOpens(AppResources &resources)
{
    auto opened = std::make_shared<QList<QUrl>>();
    resources.setOpener([opened](const QUrl &url) { return (opened->append(url), true); });
    return opened;
}

QString installedFolder()
{
    return QFileInfo(TestSupport::appBinary()).absolutePath() + QStringLiteral("/../share/noltnolt");
}

} // namespace

class TestAppResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("opened");
        QTest::newRow("help present") << "Help" << QStringList{"Help.html"} << true;
        QTest::newRow("help missing") << "Help" << QStringList{"Privacy.html"} << false;
        QTest::newRow("help is a folder") << "Help" << QStringList{"dir:Help.html"} << false;
        QTest::newRow("privacy present") << "Privacy" << QStringList{"Privacy.html"} << true;
        QTest::newRow("privacy missing") << "Privacy" << QStringList{} << false;
    }
    void pages()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, files);
        QFETCH(bool, opened);
        QTemporaryDir dir;
        for (const QString &file : files) {
            if (file.startsWith(QLatin1String("dir:")))
                QDir(dir.path()).mkdir(file.mid(4));
            else
                TestSupport::writeBytes(dir.filePath(file), "<html></html>");
        }
        AppResources resources(dir.path());
        const auto calls = recordOpens(resources);
        QCOMPARE(page == u"Help" ? resources.showHelp() : resources.showPrivacy(), opened);
        QCOMPARE(*calls, opened ? QList<QUrl>{QUrl::fromLocalFile(dir.filePath(page + u".html"_s))} : QList<QUrl>{});
    }

    void website_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QString>("opened");
        QTest::newRow("valid address") << QByteArray("{\"QuorbellWebsite\": \"https://noltnolt.quorbell.com/\"}")
                                       << "https://noltnolt.quorbell.com/";
        QTest::newRow("key missing") << QByteArray("{\"Name\": \"Nolt Nolt\"}") << "";
        QTest::newRow("not a string: number") << QByteArray("{\"QuorbellWebsite\": 42}") << "";
        QTest::newRow("not a string: object") << QByteArray("{\"QuorbellWebsite\": {\"url\": \"https://a.b/\"}}") << "";
        QTest::newRow("not a URL: words") << QByteArray("{\"QuorbellWebsite\": \"our web site\"}") << "";
        QTest::newRow("not a URL: empty") << QByteArray("{\"QuorbellWebsite\": \"\"}") << "";
        QTest::newRow("not a web address: no scheme") << QByteArray("{\"QuorbellWebsite\": \"quorbell.com\"}") << "";
        QTest::newRow("not a web address: a program")
            << QByteArray("{\"QuorbellWebsite\": \"file:///usr/bin/xterm\"}") << "";
        QTest::newRow("information file damaged") << QByteArray("{\"QuorbellWebsite\": \"https://a.b/\"") << "";
        QTest::newRow("information file missing") << QByteArray() << "";
    }
    void website()
    {
        QFETCH(QByteArray, info);
        QFETCH(QString, opened);
        QTemporaryDir dir;
        if (!info.isNull())
            TestSupport::writeBytes(dir.filePath(QStringLiteral("info.json")), info);
        AppResources resources(dir.path());
        const auto calls = recordOpens(resources);
        QCOMPARE(resources.openWebsite(), !opened.isEmpty());
        QCOMPARE(*calls, opened.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(opened)});
    }

    // The build tree is laid out as installed.
    void shippedResourcesAreFoundNextToTheApp()
    {
        AppResources resources(installedFolder());
        QVERIFY(resources.pageUrl(QStringLiteral("Help")));
        QVERIFY(resources.pageUrl(QStringLiteral("Privacy")));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::websiteKey)));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::updateFeedKey)));
        // The icon draws even where no icon theme has it, in the About box too.
        QVERIFY(!AppResources::applicationIcon(installedFolder()).pixmap(64).isNull());
        QCOMPARE(QLatin1String(AppResources::applicationId), QLatin1String(SingleInstance::serviceName));
    }

    // The help page tells what no menu shows: F1, F10, the zoom keys, and the way to the privacy page.
    void helpPage_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text :
             {"<kbd>F1</kbd>", "<kbd>F10</kbd>", "<kbd>Ctrl</kbd>+<kbd>+</kbd>", "<kbd>Ctrl</kbd>+<kbd>-</kbd>",
              "<kbd>Ctrl</kbd>+<kbd>0</kbd>", "href=\"Privacy.html\""})
            QTest::newRow(text) << QString::fromUtf8(text);
    }
    void helpPage()
    {
        QFETCH(QString, text);
        QVERIFY(QString::fromUtf8(TestSupport::readBytes(installedFolder() + u"/Help.html"_s)).contains(text));
    }

    // File managers offer the app for text files and start it with the chosen files.
    void desktopEntry_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("name") << u"Name"_s << u"Nolt Nolt"_s;
        QTest::newRow("text files") << u"MimeType"_s << u"text/plain;"_s;
        QTest::newRow("files on the command line") << u"Exec"_s << u"noltnolt %F"_s;
        QTest::newRow("icon") << u"Icon"_s << QString::fromLatin1(AppResources::applicationId);
        QTest::newRow("application interface") << u"Implements"_s << u"org.freedesktop.Application;"_s;
    }
    void desktopEntry()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QStringList lines =
            QString::fromUtf8(TestSupport::readBytes(installedFolder() + u'/' +
                                                     QLatin1String(AppResources::applicationId) + u".desktop"_s))
                .split(u'\n');
        QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
        const QStringList matches = lines.filter(QRegularExpression(QStringLiteral("^%1=").arg(key)));
        QCOMPARE(matches, QStringList{key + u'=' + value});
    }
};

QTEST_MAIN(TestAppResources)
#include "tst_appresources.moc"
