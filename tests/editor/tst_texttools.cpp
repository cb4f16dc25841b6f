#include "editor/spellchecker.h"
#include "editor/spellingpanel.h"
#include "editor/textwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

QAction *actionNamed(QMenu *menu, const QString &name)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == name)
            return action;
    }
    return nullptr;
}

struct Window : TextWindow
{
    using TextWindow::TextWindow;

    QPoint pointAt(int position) const
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(position);
        return text->cursorRect(cursor).center();
    }

    // The spelling items the context menu gains at a position; triggers the one named, if any.
    QMenu *menuAt(int position, const QString &trigger = {})
    {
        menu.reset(text->createStandardContextMenu());
        tools->extendContextMenu(menu.get(), pointAt(position));
        if (!trigger.isEmpty())
            actionNamed(menu.get(), trigger)->trigger();
        return menu.get();
    }
    std::unique_ptr<QMenu> menu;
};

// Types text key by key; a line break is the Return key.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n')
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::keyClick(widget, c.toLatin1());
    }
}

} // namespace

class TestTextTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        SpellChecker checker(QStringLiteral("en_US"));
        if (!checker.hasDictionary())
            QSKIP("The American English dictionary (hunspell-en-us) is not installed.");
        Window w;
        if (!w.tools->spellChecker()->language().startsWith(u"en"))
            QSKIP("The user's language has its own dictionary here; these cases are written in English.");
    }

    void underlinesMisspelledWords_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two misspellings") << "This is a tset of speling." << QStringList{"tset", "speling"};
        QTest::newRow("over several paragraphs") << "fine\nwrod here\n\nlast thign" << QStringList{"wrod", "thign"};
        QTest::newRow("none in correct text") << "All of these words are fine." << QStringList{};
        QTest::newRow("not in file names and addresses") << "open notes.txt or mail me@exmple.org" << QStringList{};
    }

    void underlinesMisspelledWords()
    {
        QFETCH(QString, content);
        QFETCH(QStringList, expected);
        Window w(content);
        QVERIFY(w.tools->isContinuousSpellCheckingEnabled());
        QTRY_COMPARE(w.underlined(), expected);
    }

    void typingMarksAndUnmarks()
    {
        Window w;
        w.tools->setAutomaticSpellingCorrectionEnabled(false);
        QTest::keyClicks(w.text, QStringLiteral("a tset is"));
        QTRY_COMPARE(w.underlined(), QStringList{"tset"});
        QTest::keyClick(w.text, Qt::Key_Return);
        // The word being typed is not marked until it is finished or left.
        QTest::keyClicks(w.text, QStringLiteral("wrod"));
        QTest::qWait(0);
        QCOMPARE(w.underlined(), QStringList{"tset"});
        w.text->moveCursor(QTextCursor::Start);
        QTRY_COMPARE(w.underlined(), (QStringList{"tset", "wrod"}));
        w.text->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.text, QStringLiteral("s"));
        QTest::qWait(0);
        QCOMPARE(w.underlined(), QStringList{"tset"});
        QTest::keyClick(w.text, Qt::Key_Space);
        QTRY_COMPARE(w.underlined(), (QStringList{"tset", "wrods"}));
        // Fixing the word takes its mark away.
        w.select(2, 6);
        QTest::keyClicks(w.text, QStringLiteral("test"));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("a test is\nwrods "));
        QTRY_COMPARE(w.underlined(), QStringList{"wrods"});
    }

    void removingTheToolsLeavesACleanView()
    {
        Window w(QStringLiteral("a tset here"));
        QTRY_COMPARE(w.underlined(), QStringList{"tset"});
        delete w.tools;
        QVERIFY(w.underlined().isEmpty());
        QTest::keyClicks(w.text, QStringLiteral("teh "));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("teh a tset here"));
    }

    void farParagraphsAreCheckedWhenScrolledTo()
    {
        QString content;
        for (int i = 0; i < 3000; ++i)
            content += QStringLiteral("A line of good words.\n");
        content += QStringLiteral("The end has a tset.");
        Window w(content);
        QTRY_VERIFY(w.text->document()->firstBlock().userState() == 1);
        QVERIFY(w.underlined().isEmpty());
        // Opening went over the paragraphs in view only, not over the whole note.
        QTest::qWait(50);
        QCOMPARE(w.text->document()->lastBlock().userState(), -1);
        w.text->moveCursor(QTextCursor::End);
        w.text->ensureCursorVisible();
        QTRY_COMPARE(w.underlined(), QStringList{"tset"});
    }

    void toggleTurnsUnderlinesOff()
    {
        Window w(QStringLiteral("a tset and a wrod"));
        QTRY_COMPARE(w.underlined().size(), 2);
        QSignalSpy changed(w.tools, &TextTools::continuousSpellCheckingChanged);
        w.tools->toggleContinuousSpellChecking(nullptr);
        QCOMPARE(changed.size(), 1);
        QVERIFY(!w.tools->isContinuousSpellCheckingEnabled());
        QVERIFY(w.underlined().isEmpty());
        // Typing while off marks nothing.
        w.tools->setAutomaticSpellingCorrectionEnabled(false);
        w.text->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.text, QStringLiteral(" zorp"));
        QTest::qWait(0);
        QVERIFY(w.underlined().isEmpty());
        w.tools->toggleContinuousSpellChecking(nullptr);
        w.text->moveCursor(QTextCursor::Start);
        QTRY_COMPARE(w.underlined(), (QStringList{"tset", "wrod", "zorp"}));
    }

    void contextMenuOffersSuggestions()
    {
        Window w(QStringLiteral("a speling error and a wrod"));
        QTRY_COMPARE(w.underlined().size(), 2);
        const qsizetype standard = std::unique_ptr<QMenu>(w.text->createStandardContextMenu())->actions().size();
        QMenu *menu = w.menuAt(4);
        QVERIFY(actionNamed(menu, QStringLiteral("Ignore Spelling")));
        QVERIFY(actionNamed(menu, QStringLiteral("Learn Spelling")));
        w.menuAt(4, QStringLiteral("spelling"));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("a spelling error and a wrod"));
        QTRY_COMPARE(w.underlined(), QStringList{"wrod"});
        // Ignore lasts for this note only.
        w.menuAt(24, QStringLiteral("Ignore Spelling"));
        QTRY_VERIFY(w.underlined().isEmpty());
        Window other(QStringLiteral("a wrod"));
        QTRY_COMPARE(other.underlined(), QStringList{"wrod"});
        // A correct word adds nothing.
        QCOMPARE(w.menuAt(14)->actions().size(), standard);
    }

    void learnReachesOtherNotes()
    {
        Window first(QStringLiteral("Flurbish grows"));
        Window second(QStringLiteral("more Flurbish"));
        QTRY_COMPARE(second.underlined(), QStringList{"Flurbish"});
        first.menuAt(2, QStringLiteral("Learn Spelling"));
        QTRY_VERIFY(first.underlined().isEmpty());
        // An open note takes the word in when it is next activated; a new one has it from the start.
        QCOMPARE(second.underlined(), QStringList{"Flurbish"});
        QFocusEvent focusIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(second.text, &focusIn);
        QTRY_VERIFY(second.underlined().isEmpty());
        Window later(QStringLiteral("Flurbish again"));
        QTRY_VERIFY(later.text->document()->firstBlock().userState() == 1);
        QVERIFY(later.underlined().isEmpty());
    }

    void spellingMarksDoNotRestartTheFindCount()
    {
        Window w(QStringLiteral("a tset here, a tset there"));
        QTRY_COMPARE(w.underlined().size(), 2);
        w.bar->showFind();
        w.bar->setSearchText(QStringLiteral("tset"));
        QCOMPARE(w.bar->matchCount(), qsizetype(2));
        w.tools->spellChecker()->ignore(QStringLiteral("tset"));
        QTRY_VERIFY(w.underlined().isEmpty());
        QCOMPARE(w.bar->matchCount(), qsizetype(2));
    }

    void checkDocumentNowWalksWithWrap()
    {
        Window w(QStringLiteral("tset one\ntwo wrod\nthree"));
        w.select(5, 5);
        for (const QString &word : {u"wrod"_qs, u"tset"_qs, u"wrod"_qs}) {
            w.tools->checkSpelling(nullptr);
            QCOMPARE(w.selected(), word);
        }
        Window clean(QStringLiteral("nothing wrong here"));
        clean.select(3, 3);
        QVERIFY(!clean.tools->selectNextMisspelling());
        QCOMPARE(clean.text->textCursor().position(), 3);
    }

    void automaticCorrection_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("corrects: on space") << u"I saw teh cat"_qs << u"I saw the cat"_qs;
        QTest::newRow("corrects: on punctuation") << u"we recieve."_qs << u"we receive."_qs;
        QTest::newRow("corrects: on return") << u"teh\nend"_qs << u"the\nend"_qs;
        QTest::newRow("corrects: keeps the capital") << u"Teh end"_qs << u"The end"_qs;
        QTest::newRow("leaves: ambiguous guess") << u"dont go"_qs << u"dont go"_qs;
        QTest::newRow("leaves: word still being typed") << u"wait teh"_qs << u"wait teh"_qs;
        QTest::newRow("leaves: correct words") << u"the end"_qs << u"the end"_qs;
        QTest::newRow("leaves: learned word") << u"my wrold "_qs << u"my wrold "_qs;
    }

    void automaticCorrection()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Window w;
        w.tools->spellChecker()->learn(QStringLiteral("wrold"));
        QApplication::setActiveWindow(&w.window);
        w.text->setFocus();
        type(w.text, typed);
        QCOMPARE(w.text->toPlainText(), expected);
    }

    void undoRevertsTheCorrectionAlone()
    {
        Window w;
        QTest::keyClicks(w.text, QStringLiteral("so teh "));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("so the "));
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), QStringLiteral("so teh "));
        // Typed again after the undo, the word is left alone.
        w.text->moveCursor(QTextCursor::End);
        QTest::keyClick(w.text, Qt::Key_Backspace);
        QTest::keyClicks(w.text, QStringLiteral(" and teh end"));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("so teh and teh end"));
    }

    void smartDelete_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("word between words takes one space") << "a word b" << 2 << 6 << "a b";
        QTest::newRow("word before a full stop takes the space before") << "a word." << 2 << 6 << "a.";
        QTest::newRow("word at line start takes the space after") << "word b" << 0 << 4 << "b";
        QTest::newRow("word at line end takes the space before") << "a word\nnext" << 2 << 6 << "a\nnext";
        QTest::newRow("two words") << "a big word b" << 2 << 10 << "a b";
        QTest::newRow("leaves: part of a word") << "a word b" << 2 << 5 << "a d b";
        QTest::newRow("leaves: word in brackets") << "(word) b" << 1 << 5 << "() b";
        QTest::newRow("leaves: selection with a space") << "a word b" << 1 << 6 << "a b";
    }

    void smartDelete()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, expected);
        Window w(content);
        w.select(start, end);
        QTest::keyClick(w.text, Qt::Key_Backspace);
        QCOMPARE(w.text->toPlainText(), expected);
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), content);
    }

    void smartPaste_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("pasted");
        // Empty where the text is no words and is left to the view's own paste.
        QTest::addColumn<QString>("expected");
        QTest::newRow("adds a space before") << u"hello world"_qs << 5 << 5 << u"big"_qs << u"hello big world"_qs;
        QTest::newRow("adds spaces on both sides") << u"helloworld"_qs << 5 << 5 << u"big"_qs << u"hello big world"_qs;
        QTest::newRow("adds a space after") << u"hello world"_qs << 6 << 6 << u"big"_qs << u"hello big world"_qs;
        QTest::newRow("over a selected word") << u"a old b"_qs << 2 << 5 << u"new"_qs << u"a new b"_qs;
        QTest::newRow("two words") << u"a b"_qs << 1 << 1 << u"big red"_qs << u"a big red b"_qs;
        QTest::newRow("leaves: end of the line") << u"hello "_qs << 6 << 6 << u"big"_qs << u"hello big"_qs;
        QTest::newRow("leaves: text with its own spaces") << u"ab"_qs << 1 << 1 << u" x "_qs << QString();
        QTest::newRow("leaves: several lines") << u"ab"_qs << 1 << 1 << u"x\ny"_qs << QString();
        QTest::newRow("leaves: punctuation pasted") << u"ab"_qs << 1 << 1 << u","_qs << QString();
    }

    void smartPaste()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Window w(content);
        w.select(start, end);
        QCOMPARE(w.tools->pasteSmartly(pasted), !expected.isEmpty());
        QCOMPARE(w.text->toPlainText(), expected.isEmpty() ? content : expected);
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), content);
    }

    void pasteKeyAddsSpaces()
    {
        Window w(QStringLiteral("helloworld"));
        w.select(5, 5);
        QApplication::clipboard()->setText(QStringLiteral("big"));
        if (QApplication::clipboard()->text() != u"big")
            QSKIP("This platform has no clipboard.");
        QTest::keyClick(w.text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.text->toPlainText(), QStringLiteral("hello big world"));
        // Lines go in through the view's own paste, as they are.
        QApplication::clipboard()->setText(QStringLiteral("one\ntwo"));
        QTest::keyClick(w.text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.text->toPlainText(), QStringLiteral("hello big one\ntwoworld"));
    }

    void spellingPanelChangesIgnoresAndLearns()
    {
        Window w(QStringLiteral("one tset and one Blorvik, then Zwonkel and Blorvik"));
        w.tools->showGuessPanel(nullptr);
        auto *panel = w.window.findChild<SpellingPanel *>();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        // It does not pretend to check grammar.
        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel *l) { return l->text().contains(u"no grammar"); }));
        QCOMPARE(panel->word(), QStringLiteral("tset"));
        QVERIFY(panel->guesses().contains(QStringLiteral("test")));
        panel->guessList()->setCurrentRow(int(panel->guesses().indexOf(QStringLiteral("test"))));
        panel->change();
        QCOMPARE(w.text->toPlainText(), QStringLiteral("one test and one Blorvik, then Zwonkel and Blorvik"));
        QCOMPARE(panel->word(), QStringLiteral("Blorvik"));
        // Ignored for this note: its second use is passed over too.
        panel->ignore();
        QCOMPARE(panel->word(), QStringLiteral("Zwonkel"));
        QVERIFY(!w.tools->spellChecker()->isLearned(QStringLiteral("Blorvik")));
        panel->learn();
        QVERIFY(w.tools->spellChecker()->isLearned(QStringLiteral("Zwonkel")));
        QVERIFY(panel->word().isEmpty());
        QCOMPARE(panel->status(), QStringLiteral("No misspelled words found."));
        // The menu's "Check Document Now" drives the open panel.
        w.text->setPlainText(QStringLiteral("fine wrod"));
        w.tools->checkSpelling(nullptr);
        QCOMPARE(panel->word(), QStringLiteral("wrod"));
        QCOMPARE(w.selected(), QStringLiteral("wrod"));
    }
};

int main(int argc, char **argv)
{
    return execWithTemporaryHome<TestTextTools>(argc, argv);
}

#include "tst_texttools.moc"
