#include "shell/appresources.h"
#include "shell/singleinstance.h"
#include "support/testsupport.h"

#include <QTest>

class TestAppResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The build tree is laid out as installed.
    void shippedResourcesAreFoundNextToTheApp()
    {
        AppResources resources(QFileInfo(TestSupport::appBinary()).absolutePath() +
                               QStringLiteral("/../share/noltnolt"));
        QVERIFY(resources.pageUrl(QStringLiteral("Help")));
        QVERIFY(resources.pageUrl(QStringLiteral("Privacy")));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::websiteKey)));
        QVERIFY(resources.infoWebUrl(QLatin1String(AppResources::updateFeedKey)));
        QCOMPARE(QLatin1String(AppResources::applicationId), QLatin1String(SingleInstance::serviceName));
    }
};

QTEST_MAIN(TestAppResources)
#include "tst_appresources.moc"
