#include "shell/appresources.h"
#include "shell/singleinstance.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString installedFolder()
{
    return QFileInfo(TestSupport::appBinary()).absolutePath() + QStringLiteral("/../share/noltnolt");
}

} // namespace

class TestAppResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The build tree is laid out as installed.
    void shippedResourcesAreFoundNextToTheApp()
    {
        QVERIFY(TestSupport::readBytes(installedFolder() + u"/Help.html"_s).contains("<kbd>F10</kbd>"));
        AppResources resources(installedFolder());
        QVERIFY(resources.pageUrl(QStringLiteral("Help")));
        QVERIFY(resources.pageUrl(QStringLiteral("Privacy")));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::websiteKey)));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::updateFeedKey)));
        // The icon draws even where no icon theme has it, in the About box too.
        QVERIFY(!AppResources::applicationIcon(installedFolder()).pixmap(64).isNull());
        QCOMPARE(QLatin1String(AppResources::applicationId), QLatin1String(SingleInstance::serviceName));
    }
};

QTEST_MAIN(TestAppResources)
#include "tst_appresources.moc"
