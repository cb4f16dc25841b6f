#include "framework/document.h"
#include "framework/windowcontroller.h"
#include "mountsandbox.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <cstring>
#include <sys/stat.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

class BytesDocument : public Document
{
public:
    using Document::Document;
    void read(const QByteArray &data, const QString &) override { bytes = data; }
    QByteArray data(const QString &) const override { return bytes; }
    bool autosavesInPlace() const override { return true; }
    void edit(const QByteArray &newBytes)
    {
        bytes = newBytes;
        updateChangeCount(ChangeType::Done);
    }
    QByteArray bytes;
};

// A note open in a window, with spies on what the user would see.
struct OpenNote
{
    BytesDocument *document = new BytesDocument;
    WindowController *controller = new WindowController(new QWidget);
    QSignalSpy moved{document, &Document::fileMoved};
    QSignalSpy errors{document, &Document::errorPresented};

    explicit OpenNote(const QString &path)
    {
        document->setFileType(QStringLiteral("text/plain"));
        document->readFromUrl(QUrl::fromLocalFile(path), QStringLiteral("text/plain"));
        document->setFileUrl(QUrl::fromLocalFile(path));
        document->addWindowController(controller);
    }
    ~OpenNote() { delete document; }

    QString path() const { return document->fileUrl().toLocalFile(); }
    QString error() const { return errors.isEmpty() ? QString() : errors.last().at(0).value<Error>().description(); }
    // No error when none is expected, else one that says the expected part.
    bool failedWith(const QString &part) const { return error().isEmpty() == part.isEmpty() && error().contains(part); }
};

void answerWith(const std::optional<QString> &name)
{
    Document::setFileNameAsker([name](Document *) { return name; });
}

void moveInto(const std::optional<QString> &folder)
{
    Document::setFolderAsker([folder](Document *) { return folder; });
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Another program writes the note the way most editors do: a new file renamed over it.
void replaceByRename(const QString &path, const QByteArray &content)
{
    const QString temp = path + QStringLiteral(".other");
    writeBytes(temp, content);
    QVERIFY(::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0);
}

// Acts on the next modal dialog of type D from inside its own event loop, as the user would.
template<typename D> void whenShown(QObject *context, const std::function<void(D *)> &act)
{
    QTimer::singleShot(0, context, [act] {
        if (QTest::qWaitFor([] { return qobject_cast<D *>(QApplication::activeModalWidget()) != nullptr; }))
            act(qobject_cast<D *>(QApplication::activeModalWidget()));
    });
}

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

} // namespace

class TestDocumentMove : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        Document::setFileNameAsker({});
        Document::setFolderAsker({});
    }

    void rename_data()
    {
        QTest::addColumn<QByteArray>("edit");
        QTest::addColumn<QString>("answer"); // a null answer is a cancelled dialog
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("renames: plain") << QByteArray() << u"Shopping.txt"_s << u"Shopping.txt"_s << QString();
        QTest::newRow("renames: spaces and accents")
            << QByteArray() << u"Été 2026 list.txt"_s << u"Été 2026 list.txt"_s << QString();
        QTest::newRow("renames: edited note written first")
            << QByteArray("typed just now") << u"new.txt"_s << u"new.txt"_s << QString();
        QTest::newRow("refuses: existing name, nothing changed")
            << QByteArray() << u"taken.txt"_s << u"note.txt"_s << u"a file named “taken.txt” already exists"_s;
        QTest::newRow("refuses: name with a slash")
            << QByteArray() << u"sub/moved.txt"_s << u"note.txt"_s << u"a name cannot contain “/”"_s;
        QTest::newRow("refuses: empty name") << QByteArray() << u""_s << u"note.txt"_s << u"the new name is empty"_s;
        QTest::newRow("refuses: dot-dot") << QByteArray() << u".."_s << u"note.txt"_s << u"“..” is not a file name"_s;
        QTest::newRow("refuses: name of a save's temporary")
            << QByteArray() << u".note.txt.nolt-abc.tmp"_s << u"note.txt"_s << u"temporary copies"_s;
        QTest::newRow("no-op: same name") << QByteArray() << u"note.txt"_s << u"note.txt"_s << QString();
        QTest::newRow("no-op: cancelled") << QByteArray() << QString() << u"note.txt"_s << QString();
    }
    void rename()
    {
        QFETCH(QByteArray, edit);
        QFETCH(QString, answer);
        QFETCH(QString, expectedName);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        writeBytes(dir.filePath("note.txt"), "the note");
        writeBytes(dir.filePath("taken.txt"), "someone else's");
        QDir(dir.path()).mkdir("sub");
        OpenNote note(dir.filePath("note.txt"));
        if (!edit.isEmpty())
            note.document->edit(edit);
        const QByteArray expectedText = edit.isEmpty() || !errorPart.isEmpty() ? QByteArray("the note") : edit;

        answerWith(answer.isNull() ? std::nullopt : std::optional<QString>(answer));
        note.document->renameDocument(nullptr);

        QVERIFY2(note.failedWith(errorPart), qPrintable(note.error()));
        if (!errorPart.isEmpty() && !answer.isEmpty())
            QVERIFY2(note.error().contains(u"“note.txt”"), qPrintable(note.error()));
        QCOMPARE(sorted(entries(dir.path())), sorted({expectedName, "sub", "taken.txt"}));
        QCOMPARE(entries(dir.filePath("sub")), QStringList());
        QCOMPARE(readBytes(dir.filePath(expectedName)), expectedText);
        QCOMPARE(readBytes(dir.filePath("taken.txt")), QByteArray("someone else's"));
        QCOMPARE(note.path(), dir.filePath(expectedName));
        QCOMPARE(note.controller->window()->windowTitle(), expectedName);
        QCOMPARE(note.moved.size(), expectedName == u"note.txt" ? 0 : 1);
        // A refused name keeps the edit in the window, unsaved, for the next save.
        QCOMPARE(note.document->isDocumentEdited(), !edit.isEmpty() && !errorPart.isEmpty());
    }

    void nameDialogSelectsTheNameWithoutItsExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selected");
        QTest::newRow("one extension") << u"note.txt"_s << u"note"_s;
        QTest::newRow("only the last extension") << u"a.b.txt"_s << u"a.b"_s;
        QTest::newRow("no extension") << u"README"_s << u"README"_s;
        QTest::newRow("hidden file, no extension") << u".notes"_s << u".notes"_s;
    }
    void nameDialogSelectsTheNameWithoutItsExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, selected);
        const QString renamedTo = u"Groceries"_s + name.mid(selected.size());
        QTemporaryDir dir;
        writeBytes(dir.filePath(name), "the note");
        OpenNote note(dir.filePath(name));
        note.controller->showWindow();
        QString seenSelection;
        QString seenTitle;
        // The user types a new name over the selection and presses Rename.
        whenShown<QInputDialog>(this, [&](QInputDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            (void)QTest::qWaitFor([&] { return edit->selectedText() == selected; });
            seenSelection = edit->selectedText();
            seenTitle = dialog->windowTitle();
            QTest::keyClicks(edit, QStringLiteral("Groceries"));
            dialog->accept();
        });
        note.document->renameDocument(nullptr);
        QCOMPARE(seenTitle, QStringLiteral("Rename"));
        QCOMPARE(seenSelection, selected);
        QCOMPARE(note.error(), QString());
        QCOMPARE(entries(dir.path()), QStringList{renamedTo});
        QCOMPARE(note.path(), dir.filePath(renamedTo));
    }

    void folderDialogMovesToTheChosenFolder()
    {
        QTemporaryDir dir;
        QTemporaryDir other;
        writeBytes(dir.filePath("note.txt"), "the note");
        OpenNote note(dir.filePath("note.txt"));
        note.controller->showWindow();
        QString seenTitle;
        whenShown<QFileDialog>(this, [&](QFileDialog *dialog) {
            seenTitle = dialog->windowTitle();
            dialog->setDirectory(other.path());
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides accept()
        });
        note.document->moveDocument(nullptr);
        QCOMPARE(seenTitle, QStringLiteral("Move To"));
        QCOMPARE(note.error(), QString());
        QCOMPARE(note.path(), other.filePath("note.txt"));
        QCOMPARE(readBytes(other.filePath("note.txt")), QByteArray("the note"));
    }

    void watchAndAutosaveFollowARename()
    {
        QTemporaryDir dir;
        writeBytes(dir.filePath("note.txt"), "before");
        OpenNote note(dir.filePath("note.txt"));
        answerWith(QStringLiteral("renamed.txt"));
        note.document->renameDocument(nullptr);
        QCOMPARE(note.error(), QString());

        QSignalSpy reloaded(note.document, &Document::reloadedFromDisk);
        replaceByRename(dir.filePath("renamed.txt"), "changed elsewhere");
        QVERIFY(reloaded.wait(5000));
        QCOMPARE(note.document->bytes, QByteArray("changed elsewhere"));
        // The old name is no longer this note: a new file there is someone else's.
        writeBytes(dir.filePath("note.txt"), "a new file under the old name");
        QVERIFY(!reloaded.wait(500));
        QCOMPARE(note.document->bytes, QByteArray("changed elsewhere"));

        note.document->edit("after");
        bool done = false;
        note.document->autosave([&done](const std::optional<Error> &error) {
            QVERIFY(!error);
            done = true;
        });
        QTRY_VERIFY(done);
        QCOMPARE(sorted(entries(dir.path())), (QStringList{"note.txt", "renamed.txt"}));
        QCOMPARE(readBytes(dir.filePath("renamed.txt")), QByteArray("after"));
        QCOMPARE(readBytes(dir.filePath("note.txt")), QByteArray("a new file under the old name"));
    }

    void move_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("nameTaken");
        QTest::addColumn<QByteArray>("edit");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("moves: same file system") << "other" << false << QByteArray() << "";
        QTest::newRow("moves: edited note written first") << "other" << false << QByteArray("typed") << "";
        QTest::newRow("refuses: name exists in the folder")
            << "other" << true << QByteArray() << "a file named “note.txt” already exists";
        QTest::newRow("refuses: folder gone") << "gone" << false << QByteArray() << "does not exist";
        QTest::newRow("refuses: a file, not a folder") << "plain file" << false << QByteArray() << "is not a folder";
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
        if (nameTaken)
            writeBytes(other.filePath("note.txt"), "someone else's");
        writeBytes(dir.filePath("plain file"), "");
        const QString folder = destination == u"other" ? other.path()
                               : destination == u"own" ? dir.path()
                                                       : dir.filePath(destination);
        OpenNote note(source);
        if (!edit.isEmpty())
            note.document->edit(edit);

        moveInto(folder);
        note.document->moveDocument(nullptr);

        QVERIFY2(note.failedWith(errorPart), qPrintable(note.error()));
        const bool movedAway = errorPart.isEmpty() && destination == u"other";
        const QString expected = movedAway ? other.filePath("note.txt") : source;
        QCOMPARE(note.path(), expected);
        QCOMPARE(QFileInfo::exists(source), !movedAway);
        QCOMPARE(readBytes(expected), edit.isEmpty() || !errorPart.isEmpty() ? QByteArray("the note") : edit);
        QCOMPARE(modeOf(expected), mode_t(0640));
        if (nameTaken)
            QCOMPARE(readBytes(other.filePath("note.txt")), QByteArray("someone else's"));
        QCOMPARE(entries(other.path()), (movedAway || nameTaken) ? QStringList{"note.txt"} : QStringList());
        QCOMPARE(note.moved.size(), movedAway ? 1 : 0);
    }

    void moveAcrossFileSystems_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("nameTaken");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("moves: copy, then the original removed") << QByteArray("the note\n") << false << "";
        QTest::newRow("refuses: name exists on the other disk")
            << QByteArray("the note\n") << true << "a file named “note.txt” already exists";
        QTest::newRow("refuses: other disk full, original kept")
            << QByteArray(256 * 1024, 'x') << false << "No space left on device";
    }
    void moveAcrossFileSystems()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, nameTaken);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        const QString mount = dir.filePath("disk");
        QDir().mkpath(mount);
        MountSandbox sandbox;
        if (!sandbox.start(MountSandbox::tmpfs(mount, QStringLiteral("size=128k")) +
                           (nameTaken ? "printf 'theirs' > '" + mount + "/note.txt'\n" : QString())))
            QSKIP(qPrintable("needs a private 128 KiB tmpfs as a second file system: " + sandbox.reason()));
        const QString target = sandbox.view(mount);
        const QString source = dir.filePath("note.txt");
        writeBytes(source, text);
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0604) == 0);
        OpenNote note(source);

        moveInto(target);
        note.document->moveDocument(nullptr);

        QVERIFY2(note.failedWith(errorPart), qPrintable(note.error()));
        // Never a temporary left behind, never the note in two places or in none.
        QCOMPARE(entries(target), (errorPart.isEmpty() || nameTaken) ? QStringList{"note.txt"} : QStringList());
        if (nameTaken)
            QCOMPARE(readBytes(target + "/note.txt"), QByteArray("theirs"));
        if (!errorPart.isEmpty()) {
            QCOMPARE(note.path(), source);
            QCOMPARE(readBytes(source), text);
            QCOMPARE(note.moved.size(), 0);
            return;
        }
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(note.path(), target + "/note.txt");
        QCOMPARE(readBytes(note.path()), text);
        QCOMPARE(modeOf(note.path()), mode_t(0604));
        QCOMPARE(note.moved.size(), 1);

        // The watch follows to the other disk.
        QSignalSpy reloaded(note.document, &Document::reloadedFromDisk);
        replaceByRename(note.path(), "changed elsewhere");
        QVERIFY(reloaded.wait(5000));
        QCOMPARE(note.document->bytes, QByteArray("changed elsewhere"));
    }

    void moveAcrossFileSystemsKeepsTheNoteWhereItWasWhenTheOriginalCannotGo()
    {
        QTemporaryDir dir;
        QTemporaryDir other;
        const QString folder = dir.filePath("locked");
        QDir().mkpath(folder);
        writeBytes(folder + "/note.txt", "the note");
        MountSandbox sandbox;
        // Behind a read-only mount the note is on another file system and cannot be removed after the copy.
        if (!sandbox.start(MountSandbox::readOnlyBind(folder)))
            QSKIP(qPrintable("needs a private read-only bind mount: " + sandbox.reason()));
        const QString source = sandbox.view(folder + "/note.txt");
        OpenNote note(source);

        moveInto(other.path());
        note.document->moveDocument(nullptr);

        QVERIFY2(note.error().contains(QString::fromLocal8Bit(std::strerror(EROFS))), qPrintable(note.error()));
        QVERIFY2(note.error().contains(u"“note.txt”"), qPrintable(note.error()));
        // Not in two places: the copy is removed again.
        QCOMPARE(entries(other.path()), QStringList());
        QCOMPARE(readBytes(source), QByteArray("the note"));
        QCOMPARE(note.path(), source);
        QCOMPARE(note.moved.size(), 0);
    }
};

QTEST_MAIN(TestDocumentMove)
#include "tst_documentmove.moc"
