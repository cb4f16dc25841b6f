#include "editor/notefixture.h"
#include "editor/window/otherversions.h"
#include "editor/window/windowquestions.h"
#include "framework/autosave.h"
#include "framework/recoverystore.h"

#include <QAccessible>
#include <QStandardPaths>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace NoteFixture;
using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

// Real key events through the window, so they go wherever the focus is, as the user's do.
void typeIntoWindow(QWidget *window, const QByteArray &text)
{
    for (char c : text)
        QTest::keyClick(window->windowHandle(), c);
}

} // namespace

class TestMessageBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { TestNotes::resetServices(); }

    // A message appears in the middle of typing: no keystroke is lost, none presses a button, and the bar goes
    // when its cause does. Reload puts their text in place with the user's typing one Ctrl+Z away.
    void typingGoesOnWhileAMessageAppears_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("kind");
        QTest::newRow("another program changed the note: Keep My Text") << "conflict" << int(MessageKind::Conflict);
        QTest::newRow("another program changed the note: Reload") << "conflict, reload" << int(MessageKind::Conflict);
        QTest::newRow("the note became read-only") << "readonly" << int(MessageKind::ReadOnly);
        QTest::newRow("a save failed") << "savefailed" << int(MessageKind::SaveFailed);
    }

    void typingGoesOnWhileAMessageAppears()
    {
        QFETCH(QString, cause);
        QFETCH(int, kind);
        QTemporaryDir dir;
        RecoveryStore store(dir.filePath(QStringLiteral("recovery")));
        TestNotes::services().recovery = &store;
        ShownNote n;
        const QString &path = n.path;
        const QString folder = QFileInfo(path).path();
        Editor *editor = n.editor;
        QWidget *window = editor->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        typeIntoWindow(window, "one two");
        QTRY_COMPARE(readBytes(path), QByteArray("one two"));
        if (cause == u"readonly")
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        else if (cause == u"savefailed")
            QVERIFY(QDir(folder).removeRecursively());
        typeIntoWindow(window, " three");
        if (cause.startsWith(u"conflict"))
            writeBytes(path, "theirs");
        QTRY_VERIFY(editor->message(MessageKind(kind)));
        typeIntoWindow(window, " four five");

        MessageBar *bar = editor->message(MessageKind(kind));
        QString written = path;
        QCOMPARE(editor->textView()->text(), QStringLiteral("one two three four five"));
        QCOMPARE(QApplication::focusWidget(), editor->textView());
        for (const QPushButton *button : bar->buttons())
            QVERIFY(!button->isDefault() && !button->hasFocus());
        const QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(spoken->role(), QAccessible::AlertMessage);
        QVERIFY2(spoken->text(QAccessible::Name).contains(u"Note.txt"), qPrintable(spoken->text(QAccessible::Name)));
        // Nothing is written over the note meanwhile, and the text is kept for recovery until it is saved.
        const auto recovered = [&store] {
            return readBytes(store.entries().value(0).recoveryPath);
        };
        if (cause.startsWith(u"conflict")) {
            // The question waits.
            QTest::qWait(AutoSave::delayMs * 2);
            QCOMPARE(readBytes(path), QByteArray("theirs"));
            QCOMPARE(recovered(), QByteArray("one two three four five"));
        }
        if (cause == u"conflict, reload") {
            QVERIFY(clickButton(bar, WindowQuestions::tr("Reload")));
            QTRY_COMPARE(editor->textView()->text(), u"theirs"_s);
            QCOMPARE(recovered(), QByteArray("one two three four five"));
            QTest::keyClick(window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        } else if (cause == u"conflict") {
            QVERIFY(clickButton(bar, WindowQuestions::tr("Keep My Text")));
            // Theirs is not lost: it waits in a copy beside the note.
            QTRY_COMPARE(QDir(folder).entryList({u"Note (conflict *).txt"_s}).size(), 1);
            QCOMPARE(readBytes(folder + u'/' + QDir(folder).entryList({u"Note (conflict *).txt"_s}).constFirst()),
                     QByteArray("theirs"));
            // The window says where, and does not take its own copy for another device's.
            QTRY_VERIFY(editor->message(MessageKind::ConflictCopy));
            QVERIFY(editor->message(MessageKind::ConflictCopy)->text().contains(u"kept beside"));
        } else if (cause == u"readonly") {
            QTRY_COMPARE(recovered(), QByteArray("one two three four five"));
            QCOMPARE(readBytes(path), QByteArray("one two"));
            QVERIFY(window->windowTitle().endsWith(u"Read-Only") && !editor->message(MessageKind::SaveFailed));
            written = folder + QStringLiteral("/copy.txt");
            TestNotes::services().questions.saveAsPath = [&written](Document *) {
                return std::optional<QString>(written);
            };
            QTest::mouseClick(bar->buttons().constFirst(), Qt::LeftButton); // "Save As…"
        } else {
            QTRY_COMPARE(recovered(), QByteArray("one two three four five"));
            QVERIFY(QDir().mkpath(folder)); // the retry after a second finds it again
        }
        QTRY_VERIFY_WITH_TIMEOUT(!editor->message(MessageKind(kind)), 5000);
        QTRY_COMPARE(readBytes(written), QByteArray("one two three four five"));
        QTRY_VERIFY(store.entries().isEmpty());
        QCOMPARE(QApplication::focusWidget(), editor->textView());
        n.note->close();
    }

    // Copies a sync engine leaves beside the note are told one at a time, compared on request, and never deleted.
    void conflictCopiesBesideTheNoteAreTold()
    {
        ShownNote n("one\ntwo\nthree");
        QVERIFY(QTest::qWaitForWindowExposed(n.editor->window()));
        const QString folder = QFileInfo(n.path).path();
        const QStringList copies = {folder + u"/Note.sync-conflict-20261207-021530-VJMWRMI.txt"_s,
                                    folder + u"/Note (conflicted copy 2026-12-07 021531).txt"_s};
        // Put in place as an engine does: written under another name, then renamed in.
        for (const QString &copy : copies)
            replaceByRename(copy, "one\nTWO\nthree");
        const auto bar = [&n] {
            return n.editor->message(MessageKind::ConflictCopy);
        };
        QTRY_VERIFY(bar());
        QVERIFY(clickButton(bar(), OtherVersions::tr("Compare")));
        QTRY_VERIFY2(bar()->text().contains(u"From line 2, yours: “two”; theirs: “TWO”."), qPrintable(bar()->text()));
        QVERIFY(clickButton(bar(), OtherVersions::tr("Keep Both")));
        // The next copy is told; when the engine takes it away again, its bar goes without a click.
        QTRY_VERIFY(bar() && !bar()->text().contains(u"From line 2"));
        const bool secondShown = bar()->text().contains(QFileInfo(copies.at(1)).fileName());
        QVERIFY(QFile::remove(copies.at(secondShown ? 1 : 0)));
        QTRY_VERIFY(!bar());
        QVERIFY(QFileInfo::exists(copies.at(secondShown ? 0 : 1)));
        QCOMPARE(n.view->text(), u"one\ntwo\nthree"_s);
        n.note->close();
    }

    // A recovery folder that is not the user's own is never made private nor written into: the text goes to the
    // next place, and the note's window says where, or that it cannot be kept.
    void unusableRecoveryFolderIsPassedOver_data()
    {
        QTest::addColumn<QString>("usual");
        QTest::addColumn<bool>("fallbackWorks");
        QTest::newRow("a link to a folder with a script") << "link" << true;
        QTest::newRow("owned by another user") << "not mine" << true;
        QTest::newRow("a regular file") << "file" << true;
        QTest::newRow("a dangling link") << "dangling" << true;
        QTest::newRow("the fallback is a file too: cannot be kept") << "file" << false;
    }
    void unusableRecoveryFolderIsPassedOver()
    {
        QFETCH(QString, usual);
        QFETCH(bool, fallbackWorks);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state/recovery"));
        const QString fallback = dir.filePath(QStringLiteral("runtime/recovery"));
        const QString documents = dir.filePath(QStringLiteral("Documents"));
        const QString script = documents + QStringLiteral("/run.sh");
        for (const QString &made :
             {documents, dir.filePath(QStringLiteral("state")), dir.filePath(QStringLiteral("runtime"))})
            QVERIFY(QDir().mkpath(made));
        writeBytes(script, "#!/bin/sh\n");
        QVERIFY(::chmod(QFile::encodeName(documents).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(script).constData(), 0755) == 0);
        if (usual == u"link")
            QVERIFY(QFile::link(documents, folder));
        else if (usual == u"dangling")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), folder));
        else if (usual == u"file")
            writeBytes(folder, {});
        else if (::geteuid() != 0) // root may write anywhere: only the owner tells the folder is not the user's
            QSKIP("Giving a folder to another user takes root.");
        else
            QVERIFY(QDir().mkpath(folder) && ::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        if (!fallbackWorks)
            writeBytes(fallback, {});
        RecoveryStore store(folder, {fallback});
        TestNotes::services().recovery = &store;
        ShownNote n("one");
        QVERIFY(QDir(QFileInfo(n.path).path()).removeRecursively()); // the save fails
        typeAtEnd(n.view, QStringLiteral(" two"));
        QTRY_VERIFY_WITH_TIMEOUT(n.editor->message(MessageKind::Recovery), 5000);
        QCOMPARE(modeOf(documents), 0755);
        QCOMPARE(modeOf(script), 0755);
        QCOMPARE(entries(documents), QStringList{QStringLiteral("run.sh")});
        const QString said = n.editor->message(MessageKind::Recovery)->text();
        if (fallbackWorks) {
            QVERIFY2(said.contains(fallback) && said.contains(folder), qPrintable(said));
            QCOMPARE(store.entries().size(), 1);
            QCOMPARE(readBytes(store.entries().constFirst().recoveryPath), QByteArray("one two"));
            QCOMPARE(modeOf(fallback), 0700);
        } else {
            QVERIFY2(said.contains(u"cannot be kept") && said.contains(u"Note.txt"), qPrintable(said));
        }
    }
};

QTEST_MAIN(TestMessageBar)
#include "tst_messagebar.moc"
