#include "framework/document.h"
#include "framework/messagebar.h"
#include "framework/recoverystore.h"
#include "framework/windowcontroller.h"
#include "support/testsupport.h"

#include <QDir>
#include <QPushButton>
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

    explicit OpenNote(const QByteArray &content, mode_t mode = 0644)
    {
        path = dir.filePath(QStringLiteral("note.txt"));
        writeBytes(path, content);
        ::chmod(QFile::encodeName(path).constData(), mode);
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

std::optional<Error> autosaveAndWait(Document *document)
{
    bool done = false;
    std::optional<Error> result;
    document->autosave([&](const std::optional<Error> &error) {
        done = true;
        result = error;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return Error(QStringLiteral("Test"), 0, QStringLiteral("autosave never finished"));
    return result;
}

// Answers every question about another program's version the same way, counting the questions.
void answerConflicts(int &asked, bool keepMine)
{
    Document::setConflictResolver([&asked, keepMine](Document *) {
        ++asked;
        return keepMine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
    });
}

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
    void cleanup()
    {
        Document::setConflictResolver({});
        DocumentAsker::setUnsavedResolver({});
        DocumentAsker::setSaveAsAsker({});
    }

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

    void autosaveWritesInPlaceOrReportsTheError()
    {
        OpenNote note("old");
        note.document->edit("new");
        QCOMPARE(autosaveAndWait(note.document), std::nullopt);
        QCOMPARE(readBytes(note.path), QByteArray("new"));
        QVERIFY(!note.document->isDocumentEdited());

        // The folder goes away: the save fails, the note stays edited, the text stays in memory.
        note.document->edit("newer");
        QVERIFY(QDir(note.dir.path()).removeRecursively());
        const std::optional<Error> failure = autosaveAndWait(note.document);
        QVERIFY(failure);
        QVERIFY(failure->description().contains(u"“note.txt”"));
        QVERIFY(note.document->isDocumentEdited());
        QCOMPARE(note.document->bytes, QByteArray("newer"));
    }

    void writesRunOneAtATimeAndTheLastTextWins()
    {
        OpenNote note("old");
        QList<int> finished;
        for (int i = 0; i < 20; ++i) {
            note.document->edit(QByteArray("version ") + QByteArray::number(i));
            note.document->autosave([&finished, i](const std::optional<Error> &error) {
                QVERIFY(!error);
                finished.append(i);
            });
        }
        QTRY_COMPARE(finished.size(), 20);
        QCOMPARE(readBytes(note.path), QByteArray("version 19"));
        QVERIFY(!note.document->isDocumentEdited());
        QTest::qWait(200);
        QCOMPARE(note.document->reads, 0); // none of our own writes looked like another program's
    }

    void anEditDuringAWriteStaysUnsaved()
    {
        OpenNote note("old");
        note.document->edit("first");
        bool done = false;
        note.document->autosave([&](const std::optional<Error> &) { done = true; });
        note.document->edit("second"); // typed while the first write is on its way
        QTRY_VERIFY(done);
        QVERIFY(note.document->isDocumentEdited());
        QVERIFY(note.document->prepareToClose());
        QCOMPARE(readBytes(note.path), QByteArray("second"));
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

    void closingANoteThatCannotBeWrittenOffersChoices_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QByteArray>("copy");
        QTest::addColumn<int>("recovered");
        using C = DocumentAsker::UnsavedChoice;
        QTest::newRow("cancel: the window stays") << int(C::Cancel) << false << QByteArray() << 1;
        QTest::newRow("close without saving: kept for recovery")
            << int(C::CloseWithoutSaving) << true << QByteArray() << 1;
        QTest::newRow("save as: the copy holds the text") << int(C::SaveAs) << true << QByteArray("typed") << 0;
        QTest::newRow("a signal: no question, kept for recovery") << -1 << true << QByteArray() << 1;
    }

    void closingANoteThatCannotBeWrittenOffersChoices()
    {
        QFETCH(int, choice);
        QFETCH(bool, closed);
        QFETCH(QByteArray, copy);
        QFETCH(int, recovered);
        QTemporaryDir state;
        RecoveryStore store(state.filePath(QStringLiteral("recovery")));
        Document::setRecoveryStore(&store);
        OpenNote note("old");
        note.controller->showWindow();
        QVERIFY(::chmod(QFile::encodeName(note.path).constData(), 0444) == 0);
        const QString copyPath = state.filePath(QStringLiteral("copy.txt"));
        int asked = 0;
        DocumentAsker::setUnsavedResolver([&](Document *, const Error &reason) {
            ++asked;
            [&] {
                QVERIFY2(reason.description().contains(u"read-only"), qPrintable(reason.description()));
            }();
            return DocumentAsker::UnsavedChoice(choice);
        });
        DocumentAsker::setSaveAsAsker([&](Document *) { return std::optional<QString>(copyPath); });
        note.document->edit("typed");
        if (choice < 0) {
            note.document->letGoUnsaved();
            note.document->close();
        } else {
            QCOMPARE(note.controller->window()->close(), closed);
        }
        QCOMPARE(asked, choice < 0 ? 0 : 1);
        QCOMPARE(readBytes(note.path), QByteArray("old"));
        QCOMPARE(QFile::exists(copyPath) ? readBytes(copyPath) : QByteArray(), copy);
        QCOMPARE(store.entries().size(), recovered);
        if (recovered)
            QCOMPARE(readBytes(store.entries().first().recoveryPath), QByteArray("typed"));
        if (!closed)
            QVERIFY(note.controller->window()->isVisible() && note.document->isDocumentEdited());
        Document::setRecoveryStore(nullptr);
    }

    void readOnlyNotesAreNotWritten_data()
    {
        QTest::addColumn<bool>("atOpen");
        QTest::newRow("read-only when opened") << true;
        QTest::newRow("made read-only while open") << false;
    }

    void readOnlyNotesAreNotWritten()
    {
        QFETCH(bool, atOpen);
        QTemporaryDir state;
        RecoveryStore store(state.filePath(QStringLiteral("recovery")));
        Document::setRecoveryStore(&store);
        OpenNote note("old", atOpen ? 0444 : 0644);
        const QString notePath = note.path;
        if (!atOpen)
            QVERIFY(::chmod(QFile::encodeName(notePath).constData(), 0444) == 0);
        note.document->edit("typed");
        QCOMPARE(autosaveAndWait(note.document), std::nullopt);
        QVERIFY(note.document->isReadOnly());
        QVERIFY(note.controller->window()->windowTitle().endsWith(u"Read-Only"));
        QVERIFY(note.controller->message(MessageKind::ReadOnly));
        QCOMPARE(readBytes(notePath), QByteArray("old"));
        QCOMPARE(readBytes(store.entries().value(0).recoveryPath), QByteArray("typed"));

        // Save As… from the bar: the copy holds the text, and the note stands for the copy from then on.
        const QString copyPath = note.dir.filePath(QStringLiteral("copy.txt"));
        DocumentAsker::setSaveAsAsker([&](Document *) { return std::optional<QString>(copyPath); });
        note.controller->message(MessageKind::ReadOnly)->buttons().constFirst()->click();
        QTRY_COMPARE(readBytes(copyPath), QByteArray("typed"));
        QVERIFY(!note.document->isReadOnly() && !note.document->isDocumentEdited());
        QVERIFY(!note.controller->message(MessageKind::ReadOnly));
        QCOMPARE(store.entries().size(), 0);
        QCOMPARE(readBytes(notePath), QByteArray("old"));
        Document::setRecoveryStore(nullptr);
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
        answerConflicts(asked, keepMine);
        OpenNote note("first");
        note.document->edit("mine");
        writeBytes(note.path, "theirs");
        QTRY_COMPARE(asked, 1);
        QTRY_COMPARE(readBytes(note.path), onDisk);
        QCOMPARE(note.document->bytes, inMemory);
        QVERIFY(!note.document->isDocumentEdited());
    }

    void answersAreNotAskedAgain()
    {
        int asked = 0;
        Document::Conflict answer = Document::Conflict::UseDisk;
        Document::setConflictResolver([&](Document *) {
            ++asked;
            return answer;
        });
        OpenNote note("first");
        // Theirs cannot be read in and the user keeps it: later pauses neither ask nor overwrite it.
        note.document->edit("mine");
        writeBytes(note.path, "REFUSE \xff");
        autosaveAndWait(note.document);
        note.document->edit("mine, more");
        autosaveAndWait(note.document);
        QTest::qWait(200);
        QCOMPARE(asked, 1);
        QCOMPARE(readBytes(note.path), QByteArray("REFUSE \xff"));
        // An explicit save asks again; this time mine wins, and stays the answer.
        answer = Document::Conflict::KeepMine;
        note.document->saveDocument(nullptr);
        QCOMPARE(asked, 2);
        QTRY_COMPARE(readBytes(note.path), QByteArray("mine, more"));
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
        QCOMPARE(autosaveAndWait(note.document), std::nullopt);
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
        answerConflicts(asked, keepMine);
        OpenNote note("first");
        note.document->edit("mine");
        // Written and saved over at once, before the watcher has said anything.
        writeBytes(note.path, theirs);
        autosaveAndWait(note.document);
        QCOMPARE(asked, 1);
        QTRY_COMPARE(readBytes(note.path), onDisk);
        QTest::qWait(200);
        QCOMPARE(readBytes(note.path), onDisk);
    }

    void unsavableTextIsKeptForRecoveryUntilSaved()
    {
        QTemporaryDir state;
        RecoveryStore store(state.filePath(QStringLiteral("recovery")));
        Document::setRecoveryStore(&store);
        OpenNote note("first");
        note.document->edit("typed where it cannot be written");
        QVERIFY(QDir(note.dir.path()).removeRecursively()); // the folder is gone: nothing can be written there
        QVERIFY(autosaveAndWait(note.document));
        QCOMPARE(store.entries().size(), 1);
        QCOMPARE(readBytes(store.entries().first().recoveryPath), QByteArray("typed where it cannot be written"));
        QVERIFY(QDir().mkpath(note.dir.path()));
        QCOMPARE(autosaveAndWait(note.document), std::nullopt);
        QCOMPARE(store.entries().size(), 0);
        Document::setRecoveryStore(nullptr);
    }

    void recoveryStoreListsWhatItKeeps()
    {
        QTemporaryDir state;
        RecoveryStore store(state.filePath(QStringLiteral("deeper/recovery")));
        store.keep(QStringLiteral("/notes/a.txt"), "text of a");
        store.keep(QStringLiteral("/notes/b.txt"), "text of b");
        store.keep(QStringLiteral("/notes/a.txt"), "newer text of a");
        QList<RecoveryStore::Entry> entries = store.entries();
        std::sort(entries.begin(), entries.end(),
                  [](const auto &x, const auto &y) { return x.originalPath < y.originalPath; });
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).originalPath, QStringLiteral("/notes/a.txt"));
        QCOMPARE(readBytes(entries.at(0).recoveryPath), QByteArray("newer text of a"));
        store.discard(QStringLiteral("/notes/a.txt"));
        QCOMPARE(store.entries().size(), 1);
        QVERIFY(!store.holds(QStringLiteral("/notes/a.txt")));
        QVERIFY(store.holds(QStringLiteral("/notes/b.txt")));
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
