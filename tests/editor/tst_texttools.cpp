#include "editor/findbar.h"
#include "editor/spellchecker.h"
#include "editor/spellhighlighter.h"
#include "editor/spellingpanel.h"
#include "editor/texttools.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

struct Window
{
    QWidget window;
    QPlainTextEdit *text = nullptr;
    FindBar *bar = nullptr;
    TextTools *tools = nullptr;

    explicit Window(const QString &content = {})
    {
        auto *layout = new QVBoxLayout(&window);
        text = new QPlainTextEdit(&window);
        text->setPlainText(content);
        bar = new FindBar(text, &window);
        layout->addWidget(text);
        layout->addWidget(bar);
        tools = new TextTools(text, bar, &window);
        window.resize(600, 400);
        window.show();
    }

    void select(qsizetype start, qsizetype end)
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(int(start));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
    }

    QString selected() const { return text->textCursor().selectedText(); }

    // The words drawn with the spell-check underline, read from the paragraphs' layouts.
    QStringList underlined() const
    {
        QStringList words;
        for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
            for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
                if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                    words << block.text().mid(range.start, range.length);
            }
        }
        return words;
    }

    QPoint pointAt(int position) const
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(position);
        return text->cursorRect(cursor).center();
    }
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

QAction *actionNamed(QMenu *menu, const QString &name)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == name)
            return action;
    }
    return nullptr;
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
        QCOMPARE(changed.first().first().toBool(), false);
        QVERIFY(!w.tools->isContinuousSpellCheckingEnabled());
        QVERIFY(w.underlined().isEmpty());
        // Typing while off marks nothing.
        w.tools->setAutomaticSpellingCorrectionEnabled(false);
        w.text->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.text, QStringLiteral(" zorp"));
        QTest::qWait(0);
        QVERIFY(w.underlined().isEmpty());
        w.tools->toggleContinuousSpellChecking(nullptr);
        QVERIFY(w.tools->isContinuousSpellCheckingEnabled());
        w.text->moveCursor(QTextCursor::Start);
        QTRY_COMPARE(w.underlined(), (QStringList{"tset", "wrod", "zorp"}));
    }

    void contextMenuOffersSuggestions()
    {
        Window w(QStringLiteral("a speling error and a wrod"));
        QTRY_COMPARE(w.underlined().size(), 2);
        std::unique_ptr<QMenu> menu(w.text->createStandardContextMenu());
        const qsizetype standard = menu->actions().size();
        w.tools->extendContextMenu(menu.get(), w.pointAt(4));
        QVERIFY(menu->actions().size() > standard);
        QVERIFY(actionNamed(menu.get(), QStringLiteral("Ignore Spelling")));
        QVERIFY(actionNamed(menu.get(), QStringLiteral("Learn Spelling")));
        QAction *spelling = actionNamed(menu.get(), QStringLiteral("spelling"));
        QVERIFY(spelling);
        spelling->trigger();
        QCOMPARE(w.text->toPlainText(), QStringLiteral("a spelling error and a wrod"));
        QTRY_COMPARE(w.underlined(), QStringList{"wrod"});

        // Ignore lasts for this note: the mark goes.
        std::unique_ptr<QMenu> second(w.text->createStandardContextMenu());
        w.tools->extendContextMenu(second.get(), w.pointAt(24));
        actionNamed(second.get(), QStringLiteral("Ignore Spelling"))->trigger();
        QTRY_VERIFY(w.underlined().isEmpty());

        // A correct word adds nothing.
        std::unique_ptr<QMenu> third(w.text->createStandardContextMenu());
        w.tools->extendContextMenu(third.get(), w.pointAt(14));
        QCOMPARE(third->actions().size(), standard);
    }

    void learnFromTheMenuReachesANewNote()
    {
        Window w(QStringLiteral("Flurbish is my word"));
        QTRY_COMPARE(w.underlined(), QStringList{"Flurbish"});
        std::unique_ptr<QMenu> menu(w.text->createStandardContextMenu());
        w.tools->extendContextMenu(menu.get(), w.pointAt(2));
        actionNamed(menu.get(), QStringLiteral("Learn Spelling"))->trigger();
        QTRY_VERIFY(w.underlined().isEmpty());
        Window later(QStringLiteral("Flurbish again"));
        QTest::qWait(0);
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

    void wordsLearnedInAnotherNoteAreTakenIn()
    {
        Window first(QStringLiteral("Grumbleweed grows"));
        Window second(QStringLiteral("more Grumbleweed"));
        QTRY_COMPARE(second.underlined(), QStringList{"Grumbleweed"});
        first.tools->spellChecker()->learn(QStringLiteral("Grumbleweed"));
        QTRY_VERIFY(first.underlined().isEmpty());
        QCOMPARE(second.underlined(), QStringList{"Grumbleweed"});
        QFocusEvent focusIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(second.text, &focusIn);
        QTRY_VERIFY(second.underlined().isEmpty());
    }

    void ignoringIsForOneNote()
    {
        Window first(QStringLiteral("Snarfblat here"));
        Window second(QStringLiteral("Snarfblat there"));
        first.tools->spellChecker()->ignore(QStringLiteral("Snarfblat"));
        QTRY_VERIFY(first.underlined().isEmpty());
        QTRY_COMPARE(second.underlined(), QStringList{"Snarfblat"});
    }

    void checkDocumentNowWalksWithWrap()
    {
        Window w(QStringLiteral("tset one\ntwo wrod\nthree"));
        w.select(5, 5);
        const QStringList expected{"wrod", "tset", "wrod"};
        for (const QString &word : expected) {
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
        QTest::newRow("corrects: on space") << "I saw teh cat"
                                            << "I saw the cat";
        QTest::newRow("corrects: on punctuation") << "we recieve."
                                                  << "we receive.";
        QTest::newRow("corrects: on return") << "teh\nend"
                                             << "the\nend";
        QTest::newRow("corrects: keeps the capital") << "Teh end"
                                                     << "The end";
        QTest::newRow("leaves: ambiguous guess") << "dont go"
                                                 << "dont go";
        QTest::newRow("leaves: word still being typed") << "wait teh"
                                                        << "wait teh";
        QTest::newRow("leaves: correct words") << "the end"
                                               << "the end";
    }

    void automaticCorrection()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Window w;
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

    void learnedWordIsNeverCorrected()
    {
        Window w;
        w.tools->spellChecker()->learn(QStringLiteral("wrold"));
        QTest::keyClicks(w.text, QStringLiteral("my wrold "));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("my wrold "));
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
        QTest::newRow("adds a space before") << "hello world" << 5 << 5 << "big"
                                             << "hello big world";
        QTest::newRow("adds spaces on both sides") << "helloworld" << 5 << 5 << "big"
                                                   << "hello big world";
        QTest::newRow("adds a space after") << "hello world" << 6 << 6 << "big"
                                            << "hello big world";
        QTest::newRow("over a selected word") << "a old b" << 2 << 5 << "new"
                                              << "a new b";
        QTest::newRow("two words") << "a b" << 1 << 1 << "big red"
                                   << "a big red b";
        QTest::newRow("leaves: end of the line") << "hello " << 6 << 6 << "big"
                                                 << "hello big";
        QTest::newRow("leaves: text with its own spaces") << "ab" << 1 << 1 << " x "
                                                          << "";
        QTest::newRow("leaves: several lines") << "ab" << 1 << 1 << "x\ny"
                                               << "";
        QTest::newRow("leaves: punctuation pasted") << "ab" << 1 << 1 << ","
                                                    << "";
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
        if (expected.isEmpty())
            expected = content;
        QCOMPARE(w.text->toPlainText(), expected);
        if (expected == content)
            return;
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
        bool saysSpellingOnly = false;
        for (const QLabel *label : panel->findChildren<QLabel *>())
            saysSpellingOnly = saysSpellingOnly || label->text().contains(QStringLiteral("no grammar"));
        QVERIFY(saysSpellingOnly);
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
    // enchant reads the user's config folder once per process: the personal word list goes to a temporary home.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    TestTextTools test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_texttools.moc"
