#include "support/testsupport.h"

#include "editor/notefixture.h"
#include "editor/correctionmark.h"
#include "editor/matchhighlighter.h"
#include "editor/textsearch.h"
#include "editor/spellchecker.h"
#include "editor/texttools.h"
#include "editor/undosteps.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>

using namespace NoteFixture;

namespace {

QPoint pointAt(const ShownNote &n, int position)
{
    QTextCursor cursor(n.view->document());
    cursor.setPosition(position);
    return n.view->cursorRect(cursor).center() + QPoint(1, 0);
}

// Plays one step of a script: "<name argument>" is an action, anything else is typed.
void play(ShownNote &n, const QString &step)
{
    if (!step.startsWith(u'<')) {
        QTest::keyClicks(n.view, step);
        return;
    }
    const QString action = step.mid(1, step.size() - 2).section(u' ', 0, 0);
    const QString argument = step.mid(1, step.size() - 2).section(u' ', 1);
    static const QHash<QString, Qt::Key> keys{{QStringLiteral("Return"), Qt::Key_Return},
                                              {QStringLiteral("Backspace"), Qt::Key_Backspace}};
    if (keys.contains(action))
        QTest::keyClick(n.view, keys.value(action));
    else if (action == u"Click")
        QTest::mouseClick(n.view->viewport(), Qt::LeftButton, {}, pointAt(n, argument.toInt()));
    else if (action == u"Pause")
        QTRY_VERIFY(n.editor->findChild<UndoSteps *>()->isTypingPaused());
    else if (action == u"Loading" || action == u"Loaded") {
        const int caret = n.view->textCursor().position();
        QTRY_COMPARE(n.view->isLoading(), action == u"Loading");
        QCOMPARE(n.view->textCursor().position(), caret);
    } else if (action == u"Paste") {
        QApplication::clipboard()->setText(argument);
        n.tools()->perform(Command::Paste, {});
    } else
        QFAIL(qPrintable(QStringLiteral("unknown action ") + step));
}

} // namespace

class TestEditingSteps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Correction cases are written in English.
        ShownNote n;
        m_english = n.tools()->spellChecker()->language().startsWith(u"en");
    }

    void undoSteps_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("script");
        // The text after each Ctrl+Z, down to the note as it was opened.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("typing is one step; after a pause it ends where the word does")
            << QByteArray() << QStringList{"one tw", "<Pause>", "o three"} << QStringList{"one two", ""};
        QTest::newRow("a line break ends the step it is typed in")
            << QByteArray() << QStringList{"one", "<Return>", "two"} << QStringList{"one\n", ""};
        QTest::newRow("a click ends a step, also where the caret is")
            << QByteArray() << QStringList{"one", "<Click 3>", " two", "<Click 0>", "x"}
            << QStringList{"one two", "one", ""};
        QTest::newRow("deleting is a step of its own")
            << QByteArray() << QStringList{"abc", "<Backspace>", "<Backspace>", "d"} << QStringList{"a", "abc", ""};
        QTest::newRow("paste is a step of its own")
            << QByteArray() << QStringList{"ab ", "<Paste cd>", "ef"} << QStringList{"ab cd", "ab ", ""};
        const QByteArray big = QByteArray("line\n").repeated(400000);
        QTest::newRow("typing while a big note loads is a step of its own")
            << big << QStringList{"<Loading>", "<Click 2>", "x", "<Loaded>"} << QStringList{big};
        QTest::newRow("the rest of a big note comes in behind the caret")
            << big << QStringList{"<Loaded>", "x"} << QStringList{big};
        QTest::newRow("line endings of the file come back")
            << QByteArray("a\r\nb\rc") << QStringList{"<Return>", "x"} << QStringList{"a\r\nb\rc\r\n", "a\r\nb\rc"};
    }

    void undoSteps()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, script);
        QFETCH(QStringList, steps);
        ShownNote n(file);
        for (const QString &step : script)
            play(n, step);
        for (const QString &expected : steps) {
            QTest::keyClick(n.view, Qt::Key_Z, Qt::ControlModifier);
            QTRY_COMPARE(n.view->text(), expected);
        }
        QVERIFY(!n.view->document()->isUndoAvailable());
        // Undone back to the text its file holds, the note has nothing to save.
        QCOMPARE(n.note->isDocumentEdited(), TestSupport::readBytes(n.path) != file);
    }

    void correctionIsShownAndCanBeChangedBack()
    {
        if (!m_english)
            QSKIP("The American English dictionary (hunspell-en-us) is not installed.");
        ShownNote n;
        QTest::keyClicks(n.view, QStringLiteral("so teh "));
        QCOMPARE(n.view->text(), QStringLiteral("so the "));
        QCOMPARE(marked(n.view), QStringList{"the"});
        // Find's highlighting comes and goes without taking the mark along.
        MatchHighlighter matches(n.view);
        matches.highlight(TextSearch(n.view->document(), QStringLiteral("so"), Qt::CaseInsensitive));
        QTRY_COMPARE(n.view->extraSelections().size(), 2);
        matches.highlight(TextSearch());
        QTRY_COMPARE(n.view->extraSelections().size(), 1);
        QCOMPARE(marked(n.view), QStringList{"the"});
        // Briefly: the mark goes by itself, the way back stays.
        QTRY_VERIFY_WITH_TIMEOUT(marked(n.view).isEmpty(), CorrectionMark::shownMs * 2);
        QMenu menu;
        n.tools()->extendContextMenu(&menu, pointAt(n, 4));
        QCOMPARE(menu.actions().first()->text(), QStringLiteral("Change Back to “teh”"));
        menu.actions().first()->trigger();
        QCOMPARE(n.view->text(), QStringLiteral("so teh "));
        // Remembered for this note: typed again, it stays.
        n.view->setSelectedRange({n.view->textLength(), 0});
        QTest::keyClicks(n.view, QStringLiteral("teh "));
        QCOMPARE(n.view->text(), QStringLiteral("so teh teh "));
    }

private:
    static QStringList marked(const QPlainTextEdit *view)
    {
        QStringList words;
        for (const QTextEdit::ExtraSelection &selection : view->extraSelections()) {
            if (selection.format.underlineStyle() != QTextCharFormat::NoUnderline)
                words << selection.cursor.selectedText();
        }
        return words;
    }

    bool m_english = false;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestEditingSteps>(argc, argv);
}

#include "tst_editingsteps.moc"
