#include "editor/findbar.h"
#include "editor/notefixture.h"
#include "editor/texttools.h"
#include "framework/autosave.h"
#include "shell/documentcontroller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace NoteFixture;
using namespace TestSupport;

namespace {

// Bounds a save that is due 0.3 s after the last keystroke, with room for a loaded machine.
constexpr qint64 latestSaveMs = 2000;

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setOrganizationName(QStringLiteral("Quorbell"));
        QApplication::setApplicationName(QStringLiteral("Nolt Nolt tests"));
    }

    void countsTheTextItOpensWith_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("count");
        QTest::newRow("two words: 2, not the first 0") << QStringLiteral("two words") << QStringLiteral("2");
        QTest::newRow("one long line") << QStringLiteral("word ").repeated(5000) << "5000";
        QTest::newRow("big note, counted as it comes into view")
            << QStringLiteral("two words\n").repeated(20000) << "40000";
    }

    void countsTheTextItOpensWith()
    {
        QFETCH(QString, text);
        QFETCH(QString, count);
        Editor editor(QUrl(), text);
        QTRY_COMPARE(shownCount(&editor), count);
        QCOMPARE(editor.textView()->text(), text);
    }

    // Typing a search selects its first match from the caret on, or the note's first when none follows; typing in
    // the note makes the count stale until a pause, when the note is counted again. Esc in the note closes the bar.
    void findFollowsTypingInBothFields_data()
    {
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a match follows the caret") << 5 << 8 << "2 of 3";
        QTest::newRow("none follows: wraps to the top") << 13 << 0 << "1 of 3";
    }

    void findFollowsTypingInBothFields()
    {
        QFETCH(int, caret);
        QFETCH(QString, shown);
        Editor editor(QUrl(), QStringLiteral("one two one\none"));
        editor.showWindow();
        FindBar *bar = editor.findChild<TextTools *>()->findBar();
        QLabel *count = bar->findChild<QLabel *>();
        QVERIFY(count && count->accessibleName() == u"Match count");
        QTextCursor cursor = editor.textView()->textCursor();
        cursor.setPosition(caret);
        editor.textView()->setTextCursor(cursor);
        bar->showFind();
        QTest::keyClicks(bar->searchField(), QStringLiteral("one"));
        QTRY_COMPARE(count->text(), shown);
        QTEST(editor.textView()->textCursor().selectionStart(), "selected");
        QCOMPARE(editor.textView()->textCursor().selectedText(), u"one");

        QTest::keyClick(editor.textView(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(editor.textView(), QStringLiteral(" one"));
        QCOMPARE(bar->matchCount(), -1);
        QTRY_COMPARE(count->text(), u"4 matches");
        QTest::keyClick(editor.textView(), Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QCOMPARE(editor.textView()->text(), u"one two one\none one");
    }

    void burstOfEditsSavesOnceAfterTheLast()
    {
        // Opened as the app opens notes, through the document controller: no other scheduler may add a write. The
        // note has a folder of its own, away from the controller's settings.
        QTemporaryDir home;
        const QString path = home.filePath(QStringLiteral("Notes/Note.txt"));
        QDir().mkpath(home.filePath(QStringLiteral("Notes")));
        writeBytes(path, "Start");
        DocumentController controller([] { return new PlainTextDocument(&TestNotes::services()); },
                                      [](Document *opened) { Editor::openFor(opened); },
                                      home.filePath(QStringLiteral("settings.ini")));
        Editor *editor = nullptr;
        controller.openDocument(QUrl::fromLocalFile(path), true, [&editor](Document *opened, bool, const auto &) {
            editor = editorOf(*qobject_cast<PlainTextDocument *>(opened));
        });
        QTRY_VERIFY(editor);
        QSignalSpy saves(editor->document(), &Document::autosaveRequested);
        QSignalSpy writes(editor->document(), &Document::saved);
        QCOMPARE(editor->document()->pendingSave(), nullptr);
        // Five keystrokes 100 ms apart, driven by the event loop.
        int edits = 0;
        QElapsedTimer clock;
        qint64 lastEdit = 0;
        qint64 longestGap = 0;
        QTimer typist;
        typist.setInterval(100);
        connect(&typist, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - lastEdit);
            lastEdit = clock.elapsed();
            typeAtEnd(editor->textView(), QStringLiteral("!"));
            QCOMPARE(writes.count(), 0);
            QVERIFY(editor->document()->isDocumentEdited());
            if (++edits == 5)
                typist.stop();
        });
        clock.start();
        typist.start();
        QTRY_COMPARE(edits, 5);
        if (longestGap >= AutoSave::delayMs)
            QSKIP("the machine was too busy to type 100 ms apart");
        QVERIFY(saves.wait(5000));
        const qint64 saveDelay = clock.elapsed() - lastEdit;
        QVERIFY2(saveDelay >= AutoSave::delayMs, QByteArray::number(saveDelay).constData());
        // Typing is saved 0.3 s after the last keystroke: a busy machine may be late, never seconds late.
        QVERIFY2(saveDelay < latestSaveMs, QByteArray::number(saveDelay).constData());
        QTRY_COMPARE(readBytes(path), QByteArrayLiteral("Start!!!!!"));
        QVERIFY(!saves.wait(AutoSave::delayMs * 2));
        QCOMPARE(saves.count(), 1);
        QCOMPARE(writes.count(), 1);
    }

    void closingRightAfterAnEditKeepsIt()
    {
        ShownNote n("text");
        typeAtEnd(n.view, QStringLiteral(" kept"));
        QVERIFY(n.note->pendingSave()->isActive());
        QVERIFY(n.editor->window()->close());
        QCOMPARE(readBytes(n.path), QByteArrayLiteral("text kept"));
    }

    void closedEditorIsNeverCalledBack()
    {
        ShownNote n("text");
        typeAtEnd(n.view, QStringLiteral("!"));
        QPointer<QTimer> timer = n.note->pendingSave();
        QVERIFY(timer && timer->isActive());
        n.note.reset();
        QVERIFY(!timer);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
