#include "support/testsupport.h"

#include "framework/contentdigest.h"
#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "framework/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

// What this thread has read so far, copies inside the kernel included.
qint64 charactersRead()
{
    QFile io(u"/proc/thread-self/io"_s);
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = io.readLine();
    return line.startsWith("rchar:") ? line.mid(6).trimmed().toLongLong() : -1;
}

} // namespace

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

    // A long note goes out as its pieces, many to a call, and the next save copies the start it still shares with
    // the last from that file: every byte lands in order, the digest taken on the way is the file's own, and nothing
    // another program wrote since comes over.
    void savesGoOutAsTheirText_data()
    {
        QTest::addColumn<int>("edited");
        QTest::addColumn<bool>("writtenOver");
        QTest::addColumn<bool>("copies");
        QTest::newRow("typed at the end: the start is copied") << 699 << false << true;
        QTest::newRow("the first piece edited: all written") << 1 << false << false;
        QTest::newRow("written over in place since: all written") << 699 << true << false;
    }
    void savesGoOutAsTheirText()
    {
        QFETCH(int, edited);
        QFETCH(bool, writtenOver);
        QFETCH(bool, copies);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"note.txt"_s);
        // The text's pieces, which a save shares as the editor's do.
        QList<QByteArray> text;
        for (int n = 0; n < 700; ++n)
            text.append(QByteArray(n % 7 == 0 ? 0 : 1 + (n * 7919) % 9000, char('a' + n % 26)));
        DurableWriter::LastWritten last;
        qint64 read = 0;
        for (int save = 0; save < 2; ++save) {
            if (save == 1 && writtenOver) {
                QFile theirs(path);
                QVERIFY(theirs.open(QIODevice::ReadWrite));
                QVERIFY(theirs.write("theirs") == 6);
            }
            if (save == 1)
                text[edited].append("typed");
            const ByteParts bytes{QList<QByteArray>(text.cbegin(), text.cend())};
            ContentDigest digest;
            DurableWriter::Options options;
            options.digest = &digest;
            options.lastWritten = &last;
            const qint64 before = charactersRead();
            DurableWriter::replace(path, bytes, options);
            read = charactersRead() - before;
            QCOMPARE(TestSupport::readBytes(path), bytes.joined());
            QCOMPARE(digest.result(), ContentDigest::ofFile(path).value_or(QByteArray()));
        }
        QCOMPARE(read >= ContentDigest::blockSize, copies);
    }

    // A note with other names is rewritten where it is, and only while it holds the version the note knows.
    void rewritesInPlaceOnlyTheVersionItKnows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"note.txt"_s), other = dir.filePath(u"other name.txt"_s);
        TestSupport::writeBytes(path, "ours before");
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
        DurableWriter::Options options;
        options.guarded = true;
        options.expected = FileIdentity::of(path);
        TestSupport::writeBytes(other, "theirs, rewritten in place");
        QVERIFY_THROWS_EXCEPTION(DurableWriter::OtherVersion,
                                 DurableWriter::replace(path, QByteArray("ours after"), options));
        QCOMPARE(TestSupport::readBytes(path), QByteArray("theirs, rewritten in place"));
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

    // Put Back trusts only a trash of the user's own, laid out as the desktops lay it out, and only its record of
    // the note's own place. "UID" stands for the user's number; HOME for a folder outside the notes' one.
    void putBackTrustsOnlyTheUsersTrash_data()
    {
        QTest::addColumn<QString>("trash");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("sharedMode"); // of ".Trash", where there is one
        QTest::addColumn<bool>("plantedByAnother");
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("putBack");
        const QString note = u"NOTE"_s, relative = u"plan.txt"_s;
        QTest::newRow("home trash: put back") << "data/Trash" << 0700 << 0 << false << note << true << true;
        QTest::newRow("home trash whose record names another place: stays")
            << "data/Trash" << 0700 << 0 << false << "HOME/.bash_profile" << true << false;
        QTest::newRow("a Trash folder beside the note: not a trash")
            << "shared/Trash" << 0700 << 0 << false << note << false << false;
        QTest::newRow(".Trash-UID of the user's: put back")
            << "shared/.Trash-UID" << 0700 << 0 << false << relative << true << true;
        QTest::newRow(".Trash-UID whose record climbs out: stays")
            << "shared/.Trash-UID" << 0700 << 0 << false << "../home/.bash_profile" << true << false;
        QTest::newRow(".Trash-UID open to the group")
            << "shared/.Trash-UID" << 0770 << 0 << false << relative << false << false;
        QTest::newRow(".Trash-UID made by another user")
            << "shared/.Trash-UID" << 0700 << 0 << true << relative << false << false;
        QTest::newRow(".Trash/UID in a sticky .Trash: put back")
            << "shared/.Trash/UID" << 0700 << 01777 << false << relative << true << true;
        QTest::newRow(".Trash/UID in a .Trash that is not sticky")
            << "shared/.Trash/UID" << 0700 << 0777 << false << relative << false << false;
        QTest::newRow(".Trash/UID made by another user")
            << "shared/.Trash/UID" << 0700 << 01777 << true << relative << false << false;
    }
    void putBackTrustsOnlyTheUsersTrash()
    {
        QFETCH(QString, trash);
        QFETCH(int, mode);
        QFETCH(int, sharedMode);
        QFETCH(bool, plantedByAnother);
        QFETCH(QString, record);
        QFETCH(bool, putBack);
        if (plantedByAnother && ::geteuid() != 0)
            QSKIP("needs root to plant the trash as another user (nobody, with setpriv)");
        QTemporaryDir dir;
        openToEveryone(dir.path());
        QVERIFY(QDir().mkpath(dir.filePath("shared")) && QDir().mkpath(dir.filePath("home")));
        openToEveryone(dir.filePath("shared"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        const QString folder = dir.filePath(trash.replace("UID", QString::number(::getuid())));
        const QString note = dir.filePath("shared/plan.txt"), elsewhere = dir.filePath("home/.bash_profile");
        const QString plant =
            "set -e; if [ \"$4\" != 0 ]; then mkdir -p \"${1%/*}\"; chmod \"$4\" \"${1%/*}\"; fi; "
            "mkdir -p \"$1/files\" \"$1/info\"; chmod \"$2\" \"$1\"; echo plan > \"$1/files/plan.txt\"; "
            "printf '[Trash Info]\\nPath=%s\\n' \"$3\" > \"$1/info/plan.txt.trashinfo\"";
        record.replace("NOTE", note).replace("HOME", dir.filePath("home"));
        const QStringList args = {
            "-c", plant, "-", folder, QString::number(mode, 8), record, QString::number(sharedMode, 8)};
        QCOMPARE((plantedByAnother ? runUnprivileged("sh", args) : run("sh", args)).exitCode, 0);
        const QString trashed = folder + "/files/plan.txt";
        QTEST(Trash::holds(trashed), "trusted");
        QTEST(Trash::cameFrom(trashed, note), "putBack");
        try {
            Trash::putBack(trashed, note);
        } catch (const Error &) { // the note stays in the Trash
        }
        QCOMPARE(readBytes(note), putBack ? QByteArray("plan\n") : QByteArray("<unreadable>"));
        QVERIFY(!QFileInfo::exists(elsewhere));
    }
};

QTEST_GUILESS_MAIN(TestPosixFile)
#include "tst_posixfile.moc"
