#include "framework/error.h"
#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

const QDateTime october14(QDate(2026, 10, 14), QTime(12, 0));
const QByteArray sampleBytes = QByteArrayLiteral("Plain text\nUnicode: caf\xc3\xa9 \xf0\x9f\x8c\xb1\n\tIndented\n");

// Lays out entries named "file:NAME", "dir:NAME" or "dangling:NAME" in folder.
void layOut(const QString &folder, const QStringList &items)
{
    for (const QString &item : items) {
        const QString kind = item.section(u':', 0, 0);
        const QString path = QDir(folder).filePath(item.section(u':', 1));
        if (kind == u"file")
            writeBytes(path, "kept");
        else if (kind == u"dir")
            QDir().mkpath(path);
        else if (kind == u"dangling")
            QFile::link(QDir(folder).filePath(QStringLiteral("nowhere")), path);
    }
}

} // namespace

class TestTextFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstFreeName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("expected");
        const QDateTime october15 = october14.addDays(1);
        QTest::newRow("plain: empty folder") << QStringList{} << october14 << "20261014 Note.txt";
        QTest::newRow("numbered: first taken")
            << QStringList{"file:20261014 Note.txt"} << october14 << "20261014 Note 2.txt";
        QTest::newRow("numbered: two taken")
            << QStringList{"file:20261014 Note.txt", "file:20261014 Note 2.txt"} << october14 << "20261014 Note 3.txt";
        QTest::newRow("gap filled first")
            << QStringList{"file:20261014 Note.txt", "file:20261014 Note 3.txt"} << october14 << "20261014 Note 2.txt";
        QTest::newRow("taken: a directory")
            << QStringList{"dir:20261014 Note.txt"} << october14 << "20261014 Note 2.txt";
        QTest::newRow("taken: a dangling link")
            << QStringList{"dangling:20261014 Note.txt"} << october14 << "20261014 Note 2.txt";
        QTest::newRow("next day starts over")
            << QStringList{"file:20261014 Note.txt", "file:20261014 Note 2.txt", "file:20261014 Note 3.txt"}
            << october15 << "20261015 Note.txt";
        QTest::newRow("other names ignored")
            << QStringList{"file:20261014 Note 1.txt", "file:20261014 note.txt"} << october14 << "20261014 Note.txt";
    }

    void firstFreeName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QDateTime, date);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        layOut(dir.path(), existing);
        const QStringList before = entries(dir.path());

        const QUrl url = TextFiles::create(QUrl::fromLocalFile(dir.path()), date);
        QCOMPARE(url.fileName(), expected);
        QCOMPARE(QFileInfo(url.toLocalFile()).size(), 0);
        QCOMPARE(entries(dir.path()).size(), before.size() + 1);
        for (const QString &item : existing) { // nothing that was there changed
            const QString path = dir.filePath(item.section(u':', 1));
            if (item.startsWith(u"file:"))
                QCOMPARE(readBytes(path), QByteArray("kept"));
        }
    }

    void dayStampInLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("just after midnight, far east of UTC")
            << QByteArray("Pacific/Kiritimati") << QDateTime(QDate(2026, 10, 14), QTime(10, 5), Qt::UTC) << "20261015";
        QTest::newRow("just before midnight, far west of UTC")
            << QByteArray("Etc/GMT+12") << QDateTime(QDate(2026, 10, 15), QTime(11, 30), Qt::UTC) << "20261014";
        QTest::newRow("year below 1000 is padded")
            << QByteArray("UTC") << QDateTime(QDate(999, 1, 2), QTime(12, 0), Qt::UTC) << "09990102";
    }

    void dayStampInLocalTime()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, moment);
        QFETCH(QString, stamp);
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", zone);
        ::tzset();
        const QString got = TextFiles::dayStamp(moment);
        qputenv("TZ", oldZone);
        ::tzset();
        QCOMPARE(got, stamp);
    }

    void createFailures()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("gone"));
        try {
            TextFiles::create(QUrl::fromLocalFile(missing), october14);
            QFAIL("created a note in a missing folder");
        } catch (const Error &error) {
            QCOMPARE(error.code(), ENOENT);
            QCOMPARE(
                error.description(),
                QStringLiteral("Could not create “20261014 Note.txt” in “%1”: No such file or directory").arg(missing));
        }
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void createInReadOnlyFolderFails()
    {
        if (!canRunUnprivileged())
            QSKIP("needs an unprivileged user; root ignores permission bits and setpriv is missing");
        QTemporaryDir dir;
        openToEveryone(dir.path());
        const QString folder = dir.filePath(QStringLiteral("ReadOnly"));
        QVERIFY(QDir().mkdir(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        const Run result = runUnprivileged(noteTool(), {QStringLiteral("create"), folder});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("Could not create “20261014") || result.err.contains("Could not create “"),
                 result.err.constData());
        QVERIFY2(result.err.contains("Permission denied"), result.err.constData());
        QCOMPARE(entries(folder), QStringList());
    }

    void everyNameTaken()
    {
        QTemporaryDir dir;
        const QString stamp = TextFiles::dayStamp(october14);
        for (int n = 1; n <= TextFiles::maxNotesPerDay; ++n)
            QFile(dir.filePath(TextFiles::noteFileName(stamp, n))).open(QIODevice::WriteOnly);
        try {
            TextFiles::create(QUrl::fromLocalFile(dir.path()), october14);
            QFAIL("found a name among 100000 taken ones");
        } catch (const Error &error) {
            QCOMPARE(error.domain(), QStringLiteral("Quorbell"));
            QCOMPARE(error.code(), 1);
            QCOMPARE(error.description(), QStringLiteral("Could not find an available document name."));
        }
        QCOMPARE(entries(dir.path()).size(), TextFiles::maxNotesPerDay);
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("text");
        QTest::newRow("sample round trip") << QByteArray("") << QString::fromUtf8(sampleBytes);
        QTest::newRow("shorter over longer") << sampleBytes << QStringLiteral("Updated");
        QTest::newRow("empty text") << sampleBytes << QString();
        QTest::newRow("CRLF, NUL and BOM kept") << QByteArray("x")
                                                << QString::fromUtf8("\xef\xbb\xbf"
                                                                     "a\r\nb\0c\r",
                                                                     9);
    }

    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("20261014 Note.txt"));
        writeBytes(path, before);
        TextFiles::save(text, QUrl::fromLocalFile(path));
        QCOMPARE(readBytes(path), text.toUtf8());
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("20261014 Note.txt")});
    }

    void saveKeepsWhatSurroundsTheNote_data()
    {
        QTest::addColumn<bool>("relativeLink");
        QTest::newRow("absolute link") << false;
        QTest::newRow("relative link") << true;
    }

    void saveKeepsWhatSurroundsTheNote()
    {
        QFETCH(bool, relativeLink);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("real"));
        const QString target = dir.filePath(QStringLiteral("real/note.txt"));
        const QString link = dir.filePath(QStringLiteral("link.txt"));
        writeBytes(target, "old text that is longer");
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(::symlink(relativeLink ? "real/note.txt" : QFile::encodeName(target).constData(),
                          QFile::encodeName(link).constData()) == 0);

        TextFiles::save(QStringLiteral("new"), QUrl::fromLocalFile(link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), QByteArray("new"));
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        QCOMPARE(entries(dir.filePath(QStringLiteral("real"))), QStringList{QStringLiteral("note.txt")});
    }

    void saveThroughLinkLoopFails()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.txt"));
        const QString b = dir.filePath(QStringLiteral("b.txt"));
        QFile::link(b, a);
        QFile::link(a, b);
        try {
            TextFiles::save(QStringLiteral("x"), QUrl::fromLocalFile(a));
            QFAIL("saved through a link loop");
        } catch (const Error &error) {
            QCOMPARE(error.code(), ELOOP);
        }
        QCOMPARE(entries(dir.path()), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    }

    void saveOnFullDiskKeepsOldBytes_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("short text") << 5;
        QTest::newRow("long text") << 200000;
    }

    void saveOnFullDiskKeepsOldBytes()
    {
        QFETCH(int, length);
        if (!canMountPrivately())
            QSKIP("cannot mount a small tmpfs here (needs root and a private mount namespace)");
        QTemporaryDir dir;
        const QString script =
            QStringLiteral("mount -t tmpfs -o size=64k tmpfs \"$DIR\"\n"
                           "printf 'old bytes' > \"$DIR/note.txt\"\n"
                           "dd if=/dev/zero of=\"$DIR/filler\" bs=1k 2>/dev/null || true\n"
                           "head -c %1 /dev/zero | tr '\\0' 'x' | \"$TOOL\" save \"$DIR/note.txt\" && echo SAVED\n"
                           "echo CONTENT=$(cat \"$DIR/note.txt\")\n"
                           "rm \"$DIR/filler\"\n"
                           "echo AFTER; ls -A \"$DIR\"\n")
                .arg(length);
        const Run result =
            runInMountNamespace(script, {QStringLiteral("DIR=") + dir.path(), QStringLiteral("TOOL=") + noteTool()});
        QVERIFY2(!result.out.contains("SAVED"), result.out.constData());
        QVERIFY2(result.err.contains("Could not save “note.txt”"), result.err.constData());
        QVERIFY2(result.err.contains("No space left on device"), result.err.constData());
        QVERIFY2(result.out.contains("CONTENT=old bytes\n"), result.out.constData());
        QVERIFY2(result.out.endsWith("AFTER\nnote.txt\n"), result.out.constData());
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
