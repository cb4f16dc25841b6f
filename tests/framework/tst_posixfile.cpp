#include "support/testsupport.h"

#include "framework/error.h"
#include "framework/posixfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace TestSupport;

class TestPosixFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A folder that cannot be made reports why, not a guessed "Permission denied".
    void makePathReportsTheRealCause_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("code");
        QTest::newRow("makes: missing parents") << QString() << "a/b/c" << 0;
        QTest::newRow("refuses: a file in the way") << "Desktop"
                                                    << "Desktop/Notes" << ENOTDIR;
        QTest::newRow("refuses: a file at the place") << "Notes"
                                                      << "Notes" << ENOTDIR;
    }
    void makePathReportsTheRealCause()
    {
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QFETCH(int, code);
        QTemporaryDir home;
        if (!file.isEmpty())
            writeBytes(home.filePath(file), "text");
        const QString path = QDir::cleanPath(home.filePath(folder));
        try {
            PosixFile::makePath(path, QStringLiteral("Could not create the folder"));
            QCOMPARE(0, code);
            QVERIFY(QFileInfo(path).isDir());
        } catch (const Error &error) {
            QCOMPARE(error.code(), code);
            QVERIFY2(error.description().contains(QString::fromLocal8Bit(std::strerror(code))),
                     qPrintable(error.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TestPosixFile)
#include "tst_posixfile.moc"
