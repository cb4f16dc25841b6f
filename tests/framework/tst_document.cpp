#include "framework/document.h"
#include "framework/windowcontroller.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {

// The least document: its content is the file's bytes.
class BytesDocument : public Document
{
public:
    using Document::Document;
    void read(const QByteArray &data, const QString &) override
    {
        if (data.startsWith("REFUSE"))
            throw Error(QStringLiteral("Test"), 1, QStringLiteral("refused"));
        bytes = data;
        ++reads;
    }
    QByteArray data(const QString &) const override { return bytes; }
    bool autosavesInPlace() const override { return true; }

    void edit(const QByteArray &newBytes)
    {
        bytes = newBytes;
        updateChangeCount(ChangeType::Done);
    }

    QByteArray bytes;
    int reads = 0;
};

struct OpenNote
{
    QTemporaryDir dir;
    QString path;
    BytesDocument *document = nullptr;
    WindowController *controller = nullptr;

    explicit OpenNote(const QByteArray &content)
    {
        path = dir.filePath(QStringLiteral("note.txt"));
        writeBytes(path, content);
        document = new BytesDocument;
        document->setFileType(QStringLiteral("text/plain"));
        document->readFromUrl(QUrl::fromLocalFile(path), QStringLiteral("text/plain"));
        document->setFileUrl(QUrl::fromLocalFile(path));
        controller = new WindowController(new QWidget);
        document->addWindowController(controller);
        document->reads = 0;
    }
    ~OpenNote() { delete document; }
};

void replaceByRename(const QString &path, const QByteArray &content)
{
    const QString temp = path + QStringLiteral(".other");
    writeBytes(temp, content);
    QVERIFY(::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0);
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Document::setConflictResolver({}); }

    void changeCount_data()
    {
        QTest::addColumn<QList<int>>("changes");
        QTest::addColumn<bool>("edited");
        using C = Document::ChangeType;
        QTest::newRow("nothing") << QList<int>{} << false;
        QTest::newRow("done") << QList<int>{int(C::Done)} << true;
        QTest::newRow("done, undone") << QList<int>{int(C::Done), int(C::Undone)} << false;
        QTest::newRow("done twice, undone") << QList<int>{int(C::Done), int(C::Done), int(C::Undone)} << true;
        QTest::newRow("done, cleared") << QList<int>{int(C::Done), int(C::Cleared)} << false;
        QTest::newRow("cleared, undone (edit before the save)") << QList<int>{int(C::Cleared), int(C::Undone)} << true;
    }

    void changeCount()
    {
        QFETCH(QList<int>, changes);
        QFETCH(bool, edited);
        BytesDocument document;
        for (int change : changes)
            document.updateChangeCount(Document::ChangeType(change));
        QCOMPARE(document.isDocumentEdited(), edited);
    }

    void readingAMissingFileNamesIt()
    {
        QTemporaryDir dir;
        BytesDocument document;
        const QString path = dir.filePath(QStringLiteral("gone.txt"));
        try {
            document.readFromUrl(QUrl::fromLocalFile(path), QString());
            QFAIL("read a missing file");
        } catch (const Error &error) {
            QCOMPARE(error.code(), ENOENT);
            QVERIFY(error.description().contains(u"“gone.txt”"));
        }
    }

    void autosaveWritesInPlaceOrReportsOnce()
    {
        OpenNote note("old");
        note.document->edit("new");
        int calls = 0;
        std::optional<Error> failure;
        note.document->autosave(false, [&](const std::optional<Error> &error) {
            ++calls;
            failure = error;
        });
        QCOMPARE(calls, 1);
        QVERIFY(!failure);
        QCOMPARE(readBytes(note.path), QByteArray("new"));
        QVERIFY(!note.document->isDocumentEdited());

        // The folder goes away: the save fails, the note stays edited, the text stays in memory.
        note.document->edit("newer");
        QVERIFY(QDir(note.dir.path()).removeRecursively());
        note.document->autosave(false, [&](const std::optional<Error> &error) {
            ++calls;
            failure = error;
        });
        QCOMPARE(calls, 2);
        QVERIFY(failure);
        QVERIFY(failure->description().contains(u"“note.txt”"));
        QVERIFY(note.document->isDocumentEdited());
        QCOMPARE(note.document->bytes, QByteArray("newer"));
    }

    void closingTheLastWindowWritesFirst()
    {
        OpenNote note("old");
        QSignalSpy closed(note.document, &Document::closed);
        note.controller->showWindow();
        note.document->edit("typed just now");
        QVERIFY(note.controller->window()->close());
        QCOMPARE(readBytes(note.path), QByteArray("typed just now"));
        QVERIFY(closed.wait(1000));
        QVERIFY(note.document->windowControllers().isEmpty());
    }

    void closingKeepsTheWindowWhenTheWriteFails()
    {
        OpenNote note("old");
        note.controller->showWindow();
        QSignalSpy presented(note.controller, &WindowController::errorPresented);
        note.document->edit("cannot be written");
        QVERIFY(QDir(note.dir.path()).removeRecursively());
        QVERIFY(!note.controller->window()->close());
        QCOMPARE(presented.count(), 1);
        QVERIFY(note.controller->window()->isVisible());
        QCOMPARE(note.document->bytes, QByteArray("cannot be written"));
    }

    void externalChangeReloadsAnUneditedNote_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewritten in place") << "write";
        QTest::newRow("replaced by rename, three times") << "rename";
        QTest::newRow("same size and time, content differs") << "sametime";
    }

    void externalChangeReloadsAnUneditedNote()
    {
        QFETCH(QString, how);
        OpenNote note("first");
        QSignalSpy reloaded(note.document, &Document::reloadedFromDisk);
        if (how == u"write") {
            writeBytes(note.path, "second version");
            QTRY_COMPARE(note.document->bytes, QByteArray("second version"));
        } else if (how == u"rename") {
            for (const QByteArray &content : {QByteArray("one"), QByteArray("two"), QByteArray("three")}) {
                replaceByRename(note.path, content);
                QTRY_COMPARE(note.document->bytes, content);
            }
        } else {
            struct stat before
            {};
            ::stat(QFile::encodeName(note.path).constData(), &before);
            writeBytes(note.path, "FIRST");
            struct utimbuf times
            {
                before.st_atime, before.st_mtime
            };
            ::utime(QFile::encodeName(note.path).constData(), &times);
            QTRY_COMPARE(note.document->bytes, QByteArray("FIRST"));
        }
        QVERIFY(!note.document->isDocumentEdited());
    }

    void ownSavesNeverReload()
    {
        OpenNote note("first");
        for (int i = 0; i < 5; ++i) {
            note.document->edit(QByteArray("save ") + QByteArray::number(i));
            note.document->autosave(false, {});
        }
        QTest::qWait(300); // give the watcher every chance to report our own writes
        QCOMPARE(note.document->reads, 0);
    }

    void externalChangeWithUnsavedEditsAsks_data()
    {
        QTest::addColumn<bool>("keepMine");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QByteArray>("inMemory");
        QTest::newRow("keep mine: written over theirs") << true << QByteArray("mine") << QByteArray("mine");
        QTest::newRow("use disk: theirs read in") << false << QByteArray("theirs") << QByteArray("theirs");
    }

    void externalChangeWithUnsavedEditsAsks()
    {
        QFETCH(bool, keepMine);
        QFETCH(QByteArray, onDisk);
        QFETCH(QByteArray, inMemory);
        int asked = 0;
        Document::setConflictResolver([&](Document *) {
            ++asked;
            return keepMine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
        });
        OpenNote note("first");
        note.document->edit("mine");
        writeBytes(note.path, "theirs");
        QTRY_COMPARE(asked, 1);
        QTRY_COMPARE(readBytes(note.path), onDisk);
        QCOMPARE(note.document->bytes, inMemory);
        QVERIFY(!note.document->isDocumentEdited());
    }

    void refusedReloadIsReportedOnceAndKeepsTheText()
    {
        OpenNote note("first");
        QSignalSpy presented(note.document, &Document::errorPresented);
        writeBytes(note.path, "REFUSE these bytes");
        QTRY_COMPARE(presented.count(), 1);
        writeBytes(note.dir.filePath(QStringLiteral("unrelated.txt")), "x"); // a folder change
        QTest::qWait(200);
        QCOMPARE(presented.count(), 1);
        QCOMPARE(note.document->bytes, QByteArray("first"));
    }

    void deletedFileKeepsTheTextAndIsWrittenAgain()
    {
        OpenNote note("first");
        QSignalSpy presented(note.document, &Document::errorPresented);
        QVERIFY(QFile::remove(note.path));
        QTRY_COMPARE(presented.count(), 1);
        QVERIFY(presented.first().first().value<Error>().description().contains(u"moved or deleted"));
        QVERIFY(note.document->isDocumentEdited());
        QCOMPARE(note.document->bytes, QByteArray("first"));
        note.document->autosave(false, {});
        QCOMPARE(readBytes(note.path), QByteArray("first"));
        QTest::qWait(200);
        QCOMPARE(presented.count(), 1);
    }

    void saveRechecksTheFileBeforeReplacingIt_data()
    {
        QTest::addColumn<QByteArray>("theirs");
        QTest::addColumn<bool>("keepMine");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::newRow("their text, keep mine") << QByteArray("theirs") << true << QByteArray("mine");
        QTest::newRow("their text, use theirs") << QByteArray("theirs") << false << QByteArray("theirs");
        QTest::newRow("refused bytes are not overwritten unasked")
            << QByteArray("REFUSE \xff") << false << QByteArray("REFUSE \xff");
    }

    void saveRechecksTheFileBeforeReplacingIt()
    {
        QFETCH(QByteArray, theirs);
        QFETCH(bool, keepMine);
        QFETCH(QByteArray, onDisk);
        int asked = 0;
        Document::setConflictResolver([&](Document *) {
            ++asked;
            return keepMine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
        });
        OpenNote note("first");
        note.document->edit("mine");
        // Written and saved over at once, before the watcher has said anything.
        writeBytes(note.path, theirs);
        std::optional<Error> failure;
        note.document->autosave(false, [&](const std::optional<Error> &error) { failure = error; });
        QCOMPARE(asked, 1);
        QCOMPARE(readBytes(note.path), onDisk);
        QTest::qWait(200);
        QCOMPARE(readBytes(note.path), onDisk);
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
