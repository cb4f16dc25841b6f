#include "support/testsupport.h"

#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace TestSupport;
using namespace Qt::StringLiterals;

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

    // A name is bytes: any of them comes back exactly, from text and from a file address; UTF-8 reads as the toolkit
    // reads it, and the rest shows as U+FFFD.
    void fileNamesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII, spaces, # and %") << QByteArray("a b#?%.txt") << true;
        QTest::newRow("UTF-8") << QByteArray("\xc3\x89t\xc3\xa9 \xe2\x98\x83 \xf0\x9f\x98\x80.txt") << true;
        QTest::newRow("a byte order mark is kept") << QByteArray("\xef\xbb\xbfx") << true;
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.txt") << false;
        QTest::newRow("sequence cut short") << QByteArray("x\xe2\x82") << false;
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("an encoded surrogate") << QByteArray("\xed\xb2\x80") << false;
        QTest::newRow("never in UTF-8") << QByteArray("\xff\xfe.txt") << false;
    }
    void fileNamesKeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, utf8);
        const QString text = FileNames::decodeName(name);
        QCOMPARE(FileNames::encodeName(text), name);
        QCOMPARE(FileNames::hasEscapes(text), !utf8);
        if (utf8 && !name.startsWith("\xef\xbb\xbf")) // the toolkit drops a leading byte order mark
            QCOMPARE(text, QFile::decodeName(name));
        const QString shown = FileNames::displayName(text);
        QVERIFY(shown.size() == text.size() && !FileNames::hasEscapes(shown));
        const QUrl url(FileNames::urlOfPath(u"/tmp/"_s + text).toString(QUrl::FullyEncoded), QUrl::StrictMode);
        QCOMPARE(FileNames::encodeName(FileNames::pathOfUrl(url)), "/tmp/" + name);
    }
};

QTEST_GUILESS_MAIN(TestPosixFile)
#include "tst_posixfile.moc"
