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
        QTest::newRow("test: flag in the middle")
            << QStringList{app, QStringLiteral("a"), flag, QStringLiteral("b")} << true;
        QTest::newRow("test: flag last") << QStringList{app, QStringLiteral("a"), flag} << true;
        QTest::newRow("test: flag twice") << QStringList{app, flag, flag} << true;
        QTest::newRow("test: flag as program path") << QStringList{flag} << true;
        QTest::newRow("app: flag with a value") << QStringList{app, QStringLiteral("--self-test=yes")} << false;
        QTest::newRow("app: other case") << QStringList{app, QStringLiteral("--Self-Test")} << false;
        QTest::newRow("app: single hyphen") << QStringList{app, QStringLiteral("-self-test")} << false;
        QTest::newRow("app: trailing blank") << QStringList{app, QStringLiteral("--self-test ")} << false;
        QTest::newRow("app: leading blank") << QStringList{app, QStringLiteral(" --self-test")} << false;
        QTest::newRow("app: prefix only") << QStringList{app, QStringLiteral("--self-tes")} << false;
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
