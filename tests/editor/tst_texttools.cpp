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

    void automaticCorrection_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("corrects: on space") << u"I saw teh cat"_qs << u"I saw the cat"_qs;
        QTest::newRow("leaves: ambiguous guess") << u"dont go"_qs << u"dont go"_qs;
        QTest::newRow("leaves: word still being typed") << u"wait teh"_qs << u"wait teh"_qs;
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
        QTest::newRow("leaves: part of a word") << "a word b" << 2 << 5 << "a d b";
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
        QTest::newRow("leaves: text with its own spaces") << u"ab"_qs << 1 << 1 << u" x "_qs << QString();
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
