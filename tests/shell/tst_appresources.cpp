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
};

QTEST_MAIN(TestAppResources)
#include "tst_appresources.moc"
