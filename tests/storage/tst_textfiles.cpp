#include "storage/textfiles.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

const QDateTime october14(QDate(2026, 10, 14), QTime(12, 0));

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
        QTest::newRow("numbered: two taken")
            << QStringList{"file:20261014 Note.txt", "file:20261014 Note 2.txt"} << october14 << "20261014 Note 3.txt";
        QTest::newRow("taken: a dangling link")
            << QStringList{"dangling:20261014 Note.txt"} << october14 << "20261014 Note 2.txt";
        QTest::newRow("other names ignored")
            << QStringList{"file:20261014 Note 1.txt", "file:20261014 note.txt"} << october14 << "20261014 Note.txt";
    }

    void firstFreeName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QDateTime, date);
        QTemporaryDir dir;
        layOut(dir.path(), existing);
        const QStringList before = entries(dir.path());

        const QUrl url = TextFiles::create(QUrl::fromLocalFile(dir.path()), date);
        QTEST(url.fileName(), "expected");
        QCOMPARE(QFileInfo(url.toLocalFile()).size(), 0);
        QCOMPARE(entries(dir.path()).size(), before.size() + 1);
        for (const QString &item : existing) { // nothing that was there changed
            const QString path = dir.filePath(item.section(u':', 1));
            if (item.startsWith(u"file:"))
                QCOMPARE(readBytes(path), QByteArray("kept"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
