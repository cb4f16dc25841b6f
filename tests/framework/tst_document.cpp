// A document's life with its file: saves one at a time, other programs' changes, conflicts, recovery, rename and move.
#include "framework/documentmover.h"
#include "framework/filenames.h"
#include "framework/noteservices.h"
#include "framework/recoverystore.h"
#include "mountsandbox.h"
#include "support/bytesdocument.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>

#include <cstring>
#include <sys/stat.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

// Answers every question about another program's version the same way, counting the questions.
void answerConflicts(int &asked, bool keepMine)
{
    TestNotes::answerConflicts([&asked, keepMine](Document *) {
        ++asked;
        return keepMine ? NoteQuestions::Conflict::KeepMine : NoteQuestions::Conflict::UseDisk;
    });
}

QString lastError(const QSignalSpy &errors)
{
    return errors.isEmpty() ? QString() : errors.last().at(0).value<Error>().description();
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestNotes::resetServices(); }

    // The user's inotify instances are few and shared with every program: however many notes are open, they hold
    // one watch between them, and the last of them still hears of other programs' changes and saves its typing.
    void manyNotesShareOneWatch()
    {
        QTemporaryDir dir;
        std::vector<std::unique_ptr<BytesDocument>> notes;
        for (int i = 0; i < 500; ++i) {
            const QUrl url = FileNames::urlOfPath(dir.filePath(u"note %1.txt"_s.arg(i)));
            writeBytes(url.toLocalFile(), "old");
            notes.push_back(std::make_unique<BytesDocument>());
            TestNotes::read(*notes.back(), url);
            notes.back()->setFileUrl(url);
        }
        int instances = 0;
        for (const QFileInfo &fd : QDir(u"/proc/self/fd"_s).entryInfoList(QDir::System | QDir::Files))
            instances += fd.symLinkTarget().contains(u"inotify");
        QVERIFY2(instances <= 4, QByteArray::number(instances));
        BytesDocument &last = *notes.back();
        replaceByRename(last.fileUrl().toLocalFile(), "theirs");
        QTRY_COMPARE(last.bytes, QByteArray("theirs"));
        last.edit("typed");
        bool saved = false;
        last.autosave([&saved](const std::optional<Error> &error) { saved = !error; });
        QTRY_VERIFY(saved);
        QCOMPARE(readBytes(last.fileUrl().toLocalFile()), QByteArray("typed"));
    }

    void closingANoteThatCannotBeWrittenOffersChoices_data()
    {
        QTest::addColumn<int>("choice"); // -1: a signal, nobody to ask
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("savedAs"); // otherwise kept for recovery
        using C = NoteQuestions::UnsavedChoice;
        QTest::newRow("cancel: the window stays") << int(C::Cancel) << false << false;
        QTest::newRow("close without saving") << int(C::CloseWithoutSaving) << true << false;
        QTest::newRow("save as") << int(C::SaveAs) << true << true;
        QTest::newRow("a signal") << -1 << true << false;
    }

    void closingANoteThatCannotBeWrittenOffersChoices()
    {
        QFETCH(int, choice);
        QFETCH(bool, closed);
        QFETCH(bool, savedAs);
        QTemporaryDir state;
        RecoveryStore recovery(state.filePath(QStringLiteral("recovery")));
        TestNotes::services().recovery = &recovery;
        OpenNote note("old");
        note.controller->showWindow();
        QVERIFY(::chmod(QFile::encodeName(note.path).constData(), 0444) == 0);
        const QString copyPath = note.dir.filePath(QStringLiteral("copy.txt"));
        QStringList reasons;
        TestNotes::services().questions.closeUnsaved = [&](Document *, const Error &reason) {
            reasons << reason.description();
            return NoteQuestions::UnsavedChoice(choice);
        };
        TestNotes::services().questions.saveAsPath = [&](Document *) {
            return std::optional<QString>(copyPath);
        };
        note.document->edit("typed");
        if (choice < 0) {
            note.document->letGoUnsaved();
            note.document->close();
        } else {
            QCOMPARE(note.controller->window()->close(), closed);
        }
        QCOMPARE(reasons.size(), choice < 0 ? 0 : 1);
        QVERIFY(reasons.isEmpty() || reasons.first().contains(u"read-only"));
        QCOMPARE(readBytes(note.path), QByteArray("old"));
        QCOMPARE(readBytes(savedAs ? copyPath : recovery.entries().value(0).recoveryPath), QByteArray("typed"));
        QCOMPARE(recovery.entries().size(), savedAs ? 0 : 1);
        if (!closed) // a closed window is gone
            QVERIFY(note.controller->window()->isVisible() && note.document->isDocumentEdited());
    }

    // An unedited note takes in other programs' versions whatever its name is; then its own typing goes to that very
    // name, never to one the toolkit would make of it.
    void externalChangeReloadsAnUneditedNote_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("UTF-8 name") << QByteArray("note.txt") << u"note.txt"_s;
        QTest::newRow("name not UTF-8: watched through the file held open")
            << QByteArray("caf\xe9.txt") << u"caf\ufffd.txt"_s;
    }
    void externalChangeReloadsAnUneditedNote()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const auto removeAll = qScopeGuard([&dir] { run("rm", {"-rf", dir.path()}); }); // the toolkit cannot remove it
        OpenNote note("first", FileNames::decodeName(QFile::encodeName(dir.path()) + '/' + name));
        // The watch follows the note across every replacement.
        for (const QByteArray &content : {QByteArray("one"), QByteArray("two")}) {
            replaceByRename(note.path, content);
            QTRY_COMPARE(note.document->bytes, content);
        }
        writeBytes(note.path, "three"); // rewritten in place: only a watch on the file itself sees it
        QTRY_COMPARE(note.document->bytes, QByteArray("three"));
        QVERIFY(!note.document->isDocumentEdited());
        QTEST(note.controller->window()->windowTitle(), "title");
        note.document->edit("typed");
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(run("ls", {"-A", dir.path()}).out + readBytes(note.path), name + "\ntyped");
    }

    // Another program saves right after our background write landed, before this thread heard of it: its version is
    // another, never taken for ours (and later written over).
    void aSaveRightAfterOursIsNotTakenForOurs()
    {
        int asked = 0;
        answerConflicts(asked, true);
        OpenNote note("first");
        note.document->edit("mine");
        note.document->autosave({});
        // No events here: the write's report waits while the other program saves.
        QElapsedTimer clock;
        clock.start();
        while (readBytes(note.path) != "mine" && clock.elapsed() < 10000)
            QThread::msleep(1);
        QThread::msleep(100);
        replaceByRename(note.path, "theirs");
        // Past the tick in which a version is also compared by content: only its identity tells it apart.
        QThread::msleep(2100);
        QTRY_COMPARE(note.document->bytes, QByteArray("theirs"));
        QCOMPARE(asked, 0);
    }

    void movedAwayIsFollowed_data()
    {
        QTest::addColumn<QString>("how"); // run in the note's folder, $N naming the note
        QTest::addColumn<QString>("followedTo");
        QTest::newRow("moved to another folder: followed") << "mkdir elsewhere && mv \"$N\" elsewhere/"
                                                           << "elsewhere/note.txt";
        QTest::newRow("renamed to a name that is not UTF-8: followed")
            << "mv \"$N\" \"$(printf 'caf\\351.txt')\"" << FileNames::decodeName("caf\xe9.txt");
    }

    void movedAwayIsFollowed()
    {
        QFETCH(QString, how);
        QFETCH(QString, followedTo);
        OpenNote note("first");
        QSignalSpy presented(note.document, &Document::errorPresented);
        QSignalSpy moved(note.document, &Document::fileMoved);
        QCOMPARE(run("sh", {"-ec", "cd \"$(dirname \"$N\")\"; " + how}, {}, {"N=" + note.path}).exitCode, 0);
        // The open file is followed: its window, its watch and Open Recent take the new place.
        const QString path = note.dir.filePath(followedTo);
        QTRY_COMPARE(moved.count(), 1);
        QCOMPARE(note.document->fileUrl(), FileNames::urlOfPath(path));
        QCOMPARE(note.controller->window()->windowFilePath(), path);
        note.document->edit("first, again");
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(readBytes(path), QByteArray("first, again"));
        QVERIFY(!QFileInfo::exists(note.path)); // never two copies
        settle();
        QCOMPARE(presented.count(), 0);
        run("rm", {"-rf", note.dir.path()}); // the toolkit cannot remove a name that is not UTF-8
    }

    // A link another program puts in the note's place is never written through: the note is written in its place.
    // One that was there when the note was opened stays a link, and its target gets the text.
    void links_data()
    {
        QTest::addColumn<bool>("atOpen");
        QTest::newRow("swapped in: never written through") << false;
        QTest::newRow("there at opening: stays a link") << true;
    }

    void links()
    {
        QFETCH(bool, atOpen);
        int asked = 0;
        answerConflicts(asked, true);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"bashrc"_s), path = dir.filePath(u"note.txt"_s);
        const QByteArray theirs = "export SECRET=1\n";
        writeBytes(target, theirs);
        if (atOpen)
            QVERIFY(QFile::link(u"bashrc"_s, path));
        OpenNote note(atOpen ? QByteArray() : QByteArray("first"), path);
        const QString swap = "ln -s bashrc \"$N.link\" && mv -T \"$N.link\" \"$N\"";
        if (!atOpen)
            QCOMPARE(run("sh", {"-ec", swap}, {}, {"N=" + path}).exitCode, 0);
        note.document->edit("typed");
        QTRY_COMPARE(asked, atOpen ? 0 : 1);
        QCOMPARE(note.autosave(), std::nullopt);
        QCOMPARE(QFileInfo(path).isSymLink(), atOpen);
        QCOMPARE(readBytes(path), QByteArray("typed"));
        QCOMPARE(readBytes(target), atOpen ? QByteArray("typed") : theirs);
    }

    // Rename and Move To: the edited note is written first, and an existing file is never overwritten.
    void renameOrMove_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("answer");   // a name, or a folder in the note's folder
        QTest::addColumn<QString>("expected"); // where the note ends up
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("renames, edited") << false << u"Été 2026.txt"_s << u"Été 2026.txt"_s << QString();
        QTest::newRow("rename refuses an existing name")
            << false << u"taken.txt"_s << u"note.txt"_s << u"“taken.txt” already exists"_s;
        QTest::newRow("moves, edited") << true << u"sub"_s << u"sub/note.txt"_s << QString();
        QTest::newRow("move refuses an existing name")
            << true << u"full"_s << u"note.txt"_s << u"“note.txt” already exists"_s;
    }

    void renameOrMove()
    {
        QFETCH(bool, move);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        QFETCH(QString, errorPart);
        OpenNote note("the note", {}, 0640);
        const QDir dir(note.dir.path());
        writeBytes(dir.filePath("taken.txt"), "someone else's");
        dir.mkpath("sub");
        dir.mkpath("full");
        writeBytes(dir.filePath("full/note.txt"), "someone else's");
        QSignalSpy moved(note.document, &Document::fileMoved);
        QSignalSpy errors(note.document, &Document::errorPresented);
        if (errorPart.isEmpty())
            note.document->edit("typed");
        TestNotes::services().questions.newFileName = [answer](Document *) {
            return std::optional<QString>(answer);
        };
        TestNotes::services().questions.destinationFolder = [&](Document *) {
            return std::optional<QString>(dir.filePath(answer));
        };
        move ? DocumentMover::move(*note.document) : DocumentMover::rename(*note.document);
        QVERIFY2(lastError(errors).isEmpty() == errorPart.isEmpty() && lastError(errors).contains(errorPart),
                 qPrintable(lastError(errors)));
        const QString path = dir.filePath(expected);
        QCOMPARE(note.document->fileUrl().toLocalFile(), path);
        QCOMPARE(QFileInfo::exists(note.path), path == note.path);
        QCOMPARE(readBytes(path), errorPart.isEmpty() ? "typed" : "the note");
        QCOMPARE(modeOf(path), 0640);
        QCOMPARE(readBytes(dir.filePath("taken.txt")) + readBytes(dir.filePath("full/note.txt")),
                 QByteArray("someone else'ssomeone else's"));
        QCOMPARE(moved.size(), errorPart.isEmpty() ? 1 : 0);
    }

    void moveAcrossFileSystems_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("moves") << QByteArray("the note\n") << QString() << QString();
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
        const QString mount = dir.filePath("disk"), home = dir.filePath("home");
        QVERIFY(QDir().mkpath(mount) && QDir().mkpath(home));
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
        TestNotes::services().questions.destinationFolder = [target](Document *) {
            return std::optional<QString>(target);
        };
        DocumentMover::move(*note.document);
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
        QCOMPARE(modeOf(target + "/note.txt"), 0604);
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
