#include "main/commandline.h"

#include <QProcess>
#include <QTest>

#include <vector>

class TestLaunchMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The app's own arguments: the toolkit never sees them, "--" ends the options, names are bytes.
    void commandLine_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("undecodable");
        const int run = int(CommandLine::Action::Run);
        const int error = int(CommandLine::Action::Error);
        QTest::newRow("toolkit option is unknown") << QByteArrayList{"-reverse"} << error << QStringList{} << 0;
        QTest::newRow("toolkit options after --: files")
            << QByteArrayList{"--", "-reverse", "-style", "x", "--help"} << run
            << QStringList{"-reverse", "-style", "x", "--help"} << 0;
        QTest::newRow("an address-like name after --: a file")
            << QByteArrayList{"--", "file:x"} << run << QStringList{"./file:x"} << 0;
        QTest::newRow("name not UTF-8: refused by name, others open")
            << QByteArrayList{"caf\xe9.txt", "ok.txt"} << run << QStringList{"ok.txt"} << 1;
        QTest::newRow("session restart option ignored")
            << QByteArrayList{"-session", "1234", "a.txt"} << run << QStringList{"a.txt"} << 0;
    }
    void commandLine()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(int, action);
        QFETCH(QStringList, files);
        QFETCH(int, undecodable);
        std::vector<const char *> argv{"noltnolt"};
        for (const QByteArray &argument : arguments)
            argv.push_back(argument.constData());
        const CommandLine line = CommandLine::parse(int(argv.size()), argv.data());
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.files, files);
        QCOMPARE(line.undecodableNames.size(), undecodable);
    }

    // As every Linux tool: --help and --version print and succeed, a wrong option fails with a hint.
    void commandLineProcess_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("--help") << "--help" << 0 << "Usage: noltnolt";
        QTest::newRow("--version") << "--version" << 0 << "Nolt Nolt " NOLTNOLT_VERSION;
        QTest::newRow("unknown option") << "-reverse" << 2 << "put \"--\" before it";
    }
    void commandLineProcess()
    {
        QFETCH(QString, argument);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcess app;
        app.start(qEnvironmentVariable("NOLTNOLT_BINARY"), {argument});
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), status);
        const QString printed =
            QString::fromUtf8(status == 0 ? app.readAllStandardOutput() : app.readAllStandardError());
        QVERIFY2(printed.contains(output), qPrintable(printed));
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
