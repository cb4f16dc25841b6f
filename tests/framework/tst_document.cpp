// A document's life with its file: saves one at a time, other programs' changes, conflicts, recovery, rename and move.
#include "framework/documentasker.h"
#include "framework/messagebar.h"
#include "framework/recoverystore.h"
#include "mountsandbox.h"
#include "support/bytesdocument.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QInputDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

#include <cstring>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

// Answers every question about another program's version the same way, counting the questions.
void answerConflicts(int &asked, bool keepMine)
{
    Document::setConflictResolver([&asked, keepMine](Document *) {
        ++asked;
        return keepMine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
    });
}

QString lastError(const QSignalSpy &errors)
{
    return errors.isEmpty() ? QString() : errors.last().at(0).value<Error>().description();
}

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        Document::setConflictResolver({});
        Document::setFileNameAsker({});
        Document::setFolderAsker({});
        DocumentAsker::setUnsavedResolver({});
        DocumentAsker::setSaveAsAsker({});
    }

    void changeCount()
    {
        // An edit made before a save and undone after it leaves the note edited.
        using C = Document::ChangeType;
        BytesDocument document;
        document.updateChangeCount(C::Done);
        document.updateChangeCount(C::Undone);
        QVERIFY(!document.isDocumentEdited());
        document.updateChangeCount(C::Cleared);
        document.updateChangeCount(C::Undone);
        QVERIFY(document.isDocumentEdited());
    }

    void autosaveWritesInPlaceOrReportsTheError()
    {
        OpenNote note("old");
        note.document->edit("new");
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(readBytes(note.path), QByteArray("new"));
        QVERIFY(!note.document->isDocumentEdited());
        // The folder goes away: the save fails, the note stays edited, the text stays in memory.
        note.document->edit("newer");
        QVERIFY(QDir(note.dir.path()).removeRecursively());
        const std::optional<Error> failure = note.autosave();
        QVERIFY(failure && failure->description().contains(u"“note.txt”"));
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
        settle();
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
        OpenNote note("old", {}, atOpen ? 0444 : 0644);
        const QString notePath = note.path;
        if (!atOpen)
            QVERIFY(::chmod(QFile::encodeName(notePath).constData(), 0444) == 0);
        note.document->edit("typed");
        QCOMPARE(note.autosave(), std::nullopt);
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
        if (how == u"write") {
            writeBytes(note.path, "second version");
            QTRY_COMPARE(note.document->bytes, QByteArray("second version"));
        } else if (how == u"rename") {
            // The watch follows the note across every replacement.
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
        QTest::addColumn<bool>("saveAtOnce");
        QTest::addColumn<QByteArray>("theirs");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("watcher asks, keep mine") << true << false << QByteArray("theirs") << QByteArray("mine");
        QTest::newRow("watcher asks, use theirs") << false << false << QByteArray("theirs") << QByteArray("theirs");
        // Written and saved over at once, before the watcher has said anything: the save looks again.
        QTest::newRow("save rechecks, keep mine") << true << true << QByteArray("theirs") << QByteArray("mine");
        QTest::newRow("save rechecks, use theirs") << false << true << QByteArray("theirs") << QByteArray("theirs");
        QTest::newRow("refused bytes are not overwritten unasked")
            << false << true << QByteArray("REFUSE \xff") << QByteArray("REFUSE \xff");
    }

    void externalChangeWithUnsavedEditsAsks()
    {
        QFETCH(bool, keepMine);
        QFETCH(bool, saveAtOnce);
        QFETCH(QByteArray, theirs);
        QFETCH(QByteArray, kept);
        int asked = 0;
        answerConflicts(asked, keepMine);
        OpenNote note("first");
        note.document->edit("mine");
        writeBytes(note.path, theirs);
        if (saveAtOnce) {
            note.autosave();
            QCOMPARE(asked, 1);
        }
        QTRY_COMPARE(asked, 1);
        QTRY_COMPARE(readBytes(note.path), kept);
        if (!theirs.startsWith("REFUSE")) {
            QTRY_COMPARE(note.document->bytes, kept);
            QTRY_VERIFY(!note.document->isDocumentEdited());
        }
        settle();
        QCOMPARE(asked, 1);
        QCOMPARE(readBytes(note.path), kept);
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
        note.autosave();
        note.document->edit("mine, more");
        note.autosave();
        settle();
        QCOMPARE(asked, 1);
        QCOMPARE(readBytes(note.path), QByteArray("REFUSE \xff"));
        // An explicit save asks again; this time mine wins.
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
        settle();
        QCOMPARE(presented.count(), 1);
        QCOMPARE(note.document->bytes, QByteArray("first"));
    }

    void deletedOrMovedAway_data()
    {
        QTest::addColumn<QString>("how");        // run in the note's folder, $N naming the note
        QTest::addColumn<QString>("followedTo"); // empty: the note is gone and written again at its place
        QTest::newRow("deleted") << "rm \"$N\"" << QString();
        QTest::newRow("moved to another file system")
            << "mv \"$N\" /dev/shm/tst_document-$$ && rm /dev/shm/tst_document-$$" << QString();
        QTest::newRow("moved to another folder: followed") << "mkdir elsewhere && mv \"$N\" elsewhere/"
                                                           << "elsewhere/note.txt";
        QTest::newRow("renamed in its folder: followed") << "mv \"$N\" renamed.txt"
                                                         << "renamed.txt";
    }

    void deletedOrMovedAway()
    {
        QFETCH(QString, how);
        QFETCH(QString, followedTo);
        OpenNote note("first");
        QSignalSpy presented(note.document, &Document::errorPresented);
        QSignalSpy moved(note.document, &Document::fileMoved);
        QCOMPARE(run("sh", {"-ec", "cd \"$(dirname \"$N\")\"; " + how}, {}, {"N=" + note.path}).exitCode, 0);
        QString path = note.path;
        if (followedTo.isEmpty()) {
            QTRY_COMPARE(presented.count(), 1);
            QVERIFY(lastError(presented).contains(u"“note.txt” was moved or deleted"));
            QVERIFY(note.document->isDocumentEdited());
        } else {
            // The open file is followed: its window, its watch and Open Recent take the new place.
            path = note.dir.filePath(followedTo);
            QTRY_COMPARE(moved.count(), 1);
            QCOMPARE(note.document->fileUrl(), QUrl::fromLocalFile(path));
            QCOMPARE(note.controller->window()->windowFilePath(), path);
            note.document->edit("first, again");
        }
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(readBytes(path), followedTo.isEmpty() ? QByteArray("first") : QByteArray("first, again"));
        QCOMPARE(QFileInfo::exists(note.path), followedTo.isEmpty()); // never two copies
        settle();
        QCOMPARE(presented.count(), followedTo.isEmpty() ? 1 : 0);
    }

    // Another program puts a link in the note's place: the other file is never shown unasked nor written through.
    void linkSwappedIn_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("keepMine");
        QTest::newRow("unedited, keeps the window's text") << false << true;
        QTest::newRow("edited, keeps the window's text") << true << true;
        QTest::newRow("unedited, shows the other file as asked") << false << false;
    }

    void linkSwappedIn()
    {
        QFETCH(bool, edited);
        QFETCH(bool, keepMine);
        int asked = 0;
        answerConflicts(asked, keepMine);
        OpenNote note("first");
        const QString other = note.dir.filePath(QStringLiteral("bashrc"));
        const QByteArray theirs = "export SECRET=1\n";
        writeBytes(other, theirs);
        QCOMPARE(run("sh", {"-ec", "cd \"$(dirname \"$N\")\"; ln -s bashrc link && mv -T link \"$N\""}, {},
                     {"N=" + note.path})
                     .exitCode,
                 0);
        if (edited)
            note.document->edit("first, typed");
        QTRY_COMPARE(asked, 1);
        if (keepMine) {
            QTRY_VERIFY(!QFileInfo(note.path).isSymLink());
            QCOMPARE(readBytes(note.path), edited ? QByteArray("first, typed") : QByteArray("first"));
        } else {
            QTRY_COMPARE(note.document->bytes, theirs);
            note.document->edit(theirs + "typed");
            QCOMPARE(note.autosave(), std::nullopt);
            QVERIFY(!QFileInfo(note.path).isSymLink());
            QCOMPARE(readBytes(note.path), theirs + "typed");
        }
        QCOMPARE(readBytes(other), theirs);
    }

    void unsavableTextIsKeptForRecoveryUntilSaved()
    {
        QTemporaryDir state;
        RecoveryStore store(state.filePath(QStringLiteral("recovery")));
        Document::setRecoveryStore(&store);
        OpenNote note("first");
        note.document->edit("typed where it cannot be written");
        QVERIFY(QDir(note.dir.path()).removeRecursively());
        QVERIFY(note.autosave());
        QCOMPARE(store.entries().size(), 1);
        QCOMPARE(readBytes(store.entries().first().recoveryPath), QByteArray("typed where it cannot be written"));
        QVERIFY(QDir().mkpath(note.dir.path()));
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(store.entries().size(), 0);
        Document::setRecoveryStore(nullptr);
    }

    void rename_data()
    {
        QTest::addColumn<QByteArray>("edit");
        QTest::addColumn<QString>("answer"); // a null answer is a cancelled dialog
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("renames") << QByteArray() << u"Été 2026.txt"_s << u"Été 2026.txt"_s << QString();
        QTest::newRow("renames: edited note written first")
            << QByteArray("typed just now") << u"new.txt"_s << u"new.txt"_s << QString();
        QTest::newRow("refuses: existing name, nothing changed")
            << QByteArray() << u"taken.txt"_s << u"note.txt"_s << u"a file named “taken.txt” already exists"_s;
        QTest::newRow("refuses: name with a slash")
            << QByteArray() << u"sub/moved.txt"_s << u"note.txt"_s << u"a name cannot contain “/”"_s;
        QTest::newRow("refuses: name of a save's temporary")
            << QByteArray() << u".note.txt.nolt-abc.tmp"_s << u"note.txt"_s << u"temporary copies"_s;
        QTest::newRow("no-op: cancelled") << QByteArray() << QString() << u"note.txt"_s << QString();
    }

    void rename()
    {
        QFETCH(QByteArray, edit);
        QFETCH(QString, answer);
        QFETCH(QString, expectedName);
        QFETCH(QString, errorPart);
        OpenNote note("the note");
        writeBytes(note.dir.filePath("taken.txt"), "someone else's");
        QDir(note.dir.path()).mkdir("sub");
        QSignalSpy moved(note.document, &Document::fileMoved);
        QSignalSpy errors(note.document, &Document::errorPresented);
        if (!edit.isEmpty())
            note.document->edit(edit);
        const QByteArray expectedText = edit.isEmpty() || !errorPart.isEmpty() ? QByteArray("the note") : edit;
        Document::setFileNameAsker(
            [answer](Document *) { return answer.isNull() ? std::nullopt : std::optional<QString>(answer); });
        note.document->renameDocument(nullptr);
        QVERIFY2(lastError(errors).isEmpty() == errorPart.isEmpty() && lastError(errors).contains(errorPart),
                 qPrintable(lastError(errors)));
        QStringList expected{expectedName, "sub", "taken.txt"};
        expected.sort();
        QCOMPARE(entries(note.dir.path()), expected);
        QCOMPARE(entries(note.dir.filePath("sub")), QStringList());
        QCOMPARE(readBytes(note.dir.filePath(expectedName)), expectedText);
        QCOMPARE(readBytes(note.dir.filePath("taken.txt")), QByteArray("someone else's"));
        QCOMPARE(note.document->fileUrl().toLocalFile(), note.dir.filePath(expectedName));
        QCOMPARE(note.controller->window()->windowTitle(), expectedName);
        QCOMPARE(moved.size(), expectedName == u"note.txt" ? 0 : 1);
        // A refused name keeps the edit in the window, unsaved, for the next save.
        QCOMPARE(note.document->isDocumentEdited(), !edit.isEmpty() && !errorPart.isEmpty());
    }

    void nameDialogSelectsTheNameWithoutItsExtension()
    {
        QTemporaryDir dir;
        OpenNote named("the note", dir.filePath("a.b.txt"));
        named.controller->showWindow();
        QString seenSelection;
        // The user types a new name over the selection and presses Rename.
        QTimer::singleShot(0, this, [&] {
            QVERIFY(QTest::qWaitFor([] { return qobject_cast<QInputDialog *>(QApplication::activeModalWidget()); }));
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            auto *edit = dialog->findChild<QLineEdit *>();
            (void)QTest::qWaitFor([&] { return edit->selectedText() == u"a.b"; });
            seenSelection = edit->selectedText();
            QTest::keyClicks(edit, QStringLiteral("Groceries"));
            dialog->accept();
        });
        named.document->renameDocument(nullptr);
        QCOMPARE(seenSelection, u"a.b"_s);
        QCOMPARE(entries(dir.path()), QStringList{"Groceries.txt"});
    }

    void watchAndAutosaveFollowARename()
    {
        OpenNote note("before");
        Document::setFileNameAsker([](Document *) { return u"renamed.txt"_s; });
        note.document->renameDocument(nullptr);
        QSignalSpy reloaded(note.document, &Document::reloadedFromDisk);
        replaceByRename(note.dir.filePath("renamed.txt"), "changed elsewhere");
        QVERIFY(reloaded.wait(5000));
        QCOMPARE(note.document->bytes, QByteArray("changed elsewhere"));
        // The old name is no longer this note: a new file there is someone else's.
        writeBytes(note.path, "a new file under the old name");
        settle();
        QCOMPARE(reloaded.count(), 1);
        note.document->edit("after");
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(readBytes(note.dir.filePath("renamed.txt")), QByteArray("after"));
        QCOMPARE(readBytes(note.path), QByteArray("a new file under the old name"));
    }

    void move_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("nameTaken");
        QTest::addColumn<QByteArray>("edit");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("moves: edited note written first") << "other" << false << QByteArray("typed") << "";
        QTest::newRow("refuses: name exists in the folder")
            << "other" << true << QByteArray() << "a file named “note.txt” already exists";
        QTest::newRow("refuses: folder gone") << "gone" << false << QByteArray() << "does not exist";
        QTest::newRow("no-op: its own folder") << "own" << false << QByteArray() << "";
    }

    void move()
    {
        QFETCH(QString, destination);
        QFETCH(bool, nameTaken);
        QFETCH(QByteArray, edit);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        QTemporaryDir other;
        const QString source = dir.filePath("note.txt");
        writeBytes(source, "the note");
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0640) == 0);
        OpenNote note("", source);
        QSignalSpy moved(note.document, &Document::fileMoved);
        QSignalSpy errors(note.document, &Document::errorPresented);
        if (nameTaken)
            writeBytes(other.filePath("note.txt"), "someone else's");
        if (!edit.isEmpty())
            note.document->edit(edit);
        const QString folder = destination == u"other" ? other.path()
                               : destination == u"own" ? dir.path()
                                                       : dir.filePath(destination);
        Document::setFolderAsker([folder](Document *) { return folder; });
        note.document->moveDocument(nullptr);
        QVERIFY2(lastError(errors).isEmpty() == errorPart.isEmpty() && lastError(errors).contains(errorPart),
                 qPrintable(lastError(errors)));
        const bool movedAway = errorPart.isEmpty() && destination == u"other";
        const QString expected = movedAway ? other.filePath("note.txt") : note.path;
        QCOMPARE(note.document->fileUrl().toLocalFile(), expected);
        QCOMPARE(QFileInfo::exists(note.path), !movedAway);
        QCOMPARE(readBytes(expected), edit.isEmpty() || !errorPart.isEmpty() ? QByteArray("the note") : edit);
        QCOMPARE(modeOf(expected), mode_t(0640));
        if (nameTaken)
            QCOMPARE(readBytes(other.filePath("note.txt")), QByteArray("someone else's"));
        QCOMPARE(moved.size(), movedAway ? 1 : 0);
    }

    void moveAcrossFileSystems_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("moves: copy, then the original removed") << QByteArray("the note\n") << ""
                                                                << "";
        QTest::newRow("refuses: name exists on the other disk") << QByteArray("the note\n") << "taken"
                                                                << "a file named “note.txt” already exists";
        QTest::newRow("refuses: other disk full, original kept") << QByteArray(256 * 1024, 'x') << ""
                                                                 << "No space left on device";
        QTest::newRow("refuses: original cannot go, the copy is removed")
            << QByteArray("the note\n") << "readonly" << QString::fromLocal8Bit(std::strerror(EROFS));
    }

    void moveAcrossFileSystems()
    {
        // Never a temporary left behind, never the note in two places or in none.
        QFETCH(QByteArray, text);
        QFETCH(QString, setup);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        const QString mount = dir.filePath("disk");
        const QString home = dir.filePath("home");
        QDir().mkpath(mount);
        QDir().mkpath(home);
        writeBytes(home + "/note.txt", text);
        QVERIFY(::chmod(QFile::encodeName(home + "/note.txt").constData(), 0604) == 0);
        MountSandbox sandbox;
        if (!sandbox.start(MountSandbox::tmpfs(mount, QStringLiteral("size=128k")) +
                           (setup == u"taken" ? "printf 'theirs' > '" + mount + "/note.txt'\n" : QString()) +
                           (setup == u"readonly" ? MountSandbox::readOnlyBind(home) : QString())))
            QSKIP(qPrintable("needs a private 128 KiB tmpfs as a second file system: " + sandbox.reason()));
        const QString target = sandbox.view(mount);
        const QString source = sandbox.view(home + "/note.txt");
        OpenNote note("", source);
        QSignalSpy errors(note.document, &Document::errorPresented);
        Document::setFolderAsker([target](Document *) { return target; });
        note.document->moveDocument(nullptr);
        QVERIFY2(lastError(errors).isEmpty() == errorPart.isEmpty() && lastError(errors).contains(errorPart),
                 qPrintable(lastError(errors)));
        QCOMPARE(entries(target), (errorPart.isEmpty() || setup == u"taken") ? QStringList{"note.txt"} : QStringList());
        if (!errorPart.isEmpty()) {
            QCOMPARE(note.document->fileUrl().toLocalFile(), source);
            QCOMPARE(readBytes(source), text);
            return;
        }
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(readBytes(target + "/note.txt"), text);
        QCOMPARE(modeOf(target + "/note.txt"), mode_t(0604));
        // The watch follows to the other disk.
        QSignalSpy reloaded(note.document, &Document::reloadedFromDisk);
        replaceByRename(target + "/note.txt", "changed elsewhere");
        QVERIFY(reloaded.wait(5000));
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
