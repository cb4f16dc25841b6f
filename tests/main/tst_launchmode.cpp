#include "framework/filenames.h"
#include "main/commandline.h"

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
        QTest::addColumn<QByteArrayList>("files");
        const int run = int(CommandLine::Action::Run);
        const int error = int(CommandLine::Action::Error);
        QTest::newRow("toolkit option is unknown") << QByteArrayList{"-reverse"} << error << QByteArrayList{};
        QTest::newRow("toolkit options after --: files") << QByteArrayList{"--", "-reverse", "-style", "x", "--help"}
                                                         << run << QByteArrayList{"-reverse", "-style", "x", "--help"};
        QTest::newRow("an address-like name after --: a file")
            << QByteArrayList{"--", "file:x"} << run << QByteArrayList{"./file:x"};
        QTest::newRow("name not UTF-8: kept to the byte")
            << QByteArrayList{"caf\xe9.txt", "ok.txt"} << run << QByteArrayList{"caf\xe9.txt", "ok.txt"};
        QTest::newRow("session restart option ignored")
            << QByteArrayList{"-session", "1234", "a.txt"} << run << QByteArrayList{"a.txt"};
    }
    void commandLine()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArrayList, files);
        std::vector<const char *> argv{"noltnolt"};
        for (const QByteArray &argument : arguments)
            argv.push_back(argument.constData());
        const CommandLine line = CommandLine::parse(int(argv.size()), argv.data());
        QTEST(int(line.action), "action");
        QByteArrayList names;
        for (const QString &file : line.files)
            names.append(FileNames::encodeName(file));
        QCOMPARE(names, files);
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
