#include "main/launchmode.h"

#include <QTest>

#include <vector>

class TestLaunchMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selfTestFlag_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("selfTest");
        const QString app = QStringLiteral("/usr/bin/noltnolt");
        const QString flag = QStringLiteral("--self-test");
        QTest::newRow("app: program path only") << QStringList{app} << false;
        QTest::newRow("app: a file") << QStringList{app, QStringLiteral("note.txt")} << false;
        QTest::newRow("test: flag first") << QStringList{app, flag, QStringLiteral("a")} << true;
        QTest::newRow("app: flag with a value") << QStringList{app, QStringLiteral("--self-test=yes")} << false;
    }

    void selfTestFlag()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, selfTest);
        std::vector<QByteArray> bytes;
        std::vector<const char *> argv;
        for (const QString &argument : arguments)
            bytes.push_back(argument.toUtf8());
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        QCOMPARE(isSelfTestMode(int(argv.size()), argv.data()), selfTest);
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
