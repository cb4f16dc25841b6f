// The editing tools around the note's text: find, spelling, autocorrection, smart delete and paste, case changes.
#include "editor/casetransform.h"
#include "editor/findbar.h"
#include "editor/spellchecker.h"
#include "editor/spellingpanel.h"
#include "editor/texttools.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

using CaseTransform::Mapping;
Q_DECLARE_METATYPE(CaseTransform::Mapping)

namespace {

// A window laid out like the editor's: the text with the find bar below it and the text tools on both.
struct Window
{
    QWidget window;
    QPlainTextEdit *text = new QPlainTextEdit(&window);
    FindBar *bar = new FindBar(text, &window);
    TextTools *tools = new TextTools(text, bar, &window);

    explicit Window(const QString &content = {})
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(text);
        layout->addWidget(bar);
        text->setPlainText(content);
        window.show();
    }
    void select(qsizetype start, qsizetype end)
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(int(start));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
    }
    QPair<qsizetype, qsizetype> selection() const
    {
        return {text->textCursor().selectionStart(), text->textCursor().selectionEnd()};
    }
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
};

} // namespace

class TestTextTools : public QObject
{
    Q_OBJECT

private:
    bool m_english = false;

    bool english()
    {
        if (!m_english)
            QTest::qSkip("needs the American English dictionary (hunspell-en-us) as the user's language", __FILE__,
                         __LINE__);
        return m_english;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Window w;
        m_english = SpellChecker(QStringLiteral("en_US")).hasDictionary() &&
                    w.tools->spellChecker()->language().startsWith(u"en");
    }

    void findWrapsAround_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<QList<qsizetype>>("expected");
        const QString three = QStringLiteral("one two\none two\nthree one");
        QTest::newRow("next: wraps to the top") << three << 5 << true << QList<qsizetype>{8, 22, 0, 8};
        QTest::newRow("previous: wraps to the bottom") << three << 5 << false << QList<qsizetype>{0, 22, 8, 0};
        QTest::newRow("next: non-BMP text before the match")
            << QStringLiteral("🌱🌱 one 🌱 one") << 0 << true << QList<qsizetype>{5, 12, 5};
    }
    void findWrapsAround()
    {
        QFETCH(QString, content);
        QFETCH(int, caret);
        QFETCH(bool, forward);
        QFETCH(QList<qsizetype>, expected);
        Window w(content);
        w.bar->setSearchText(QStringLiteral("one"));
        w.bar->showFind();
        QCOMPARE(w.bar->matchCount(), content.count(QStringLiteral("one")));
        w.select(caret, caret);
        for (const qsizetype position : expected) {
            QVERIFY(forward ? w.bar->findNext() : w.bar->findPrevious());
            QCOMPARE(w.selection(), qMakePair(position, position + 3));
        }
    }

    void findTagFromTheMenu()
    {
        // "Use Selection for Find" (7) takes the selection without showing the bar; Find (1) shows it.
        Window w(QStringLiteral("beta  gamma beta beta"));
        w.select(6, 11);
        QAction action;
        action.setProperty("tag", 7);
        w.tools->performFindPanelAction(&action);
        QVERIFY(!w.bar->isVisible());
        QCOMPARE(w.bar->searchText(), QStringLiteral("gamma"));
        action.setProperty("tag", 1);
        w.tools->performFindPanelAction(&action);
        QVERIFY(w.bar->isVisible());
        QCOMPARE(w.bar->searchField()->selectedText(), QStringLiteral("gamma"));
    }

    void replaceAllIsOneUndoStep()
    {
        const QString original = QStringLiteral("cat dog cat\ncat");
        Window w(original);
        w.bar->setSearchText(QStringLiteral("cat"));
        w.bar->setReplaceText(QStringLiteral("lion"));
        QCOMPARE(w.bar->replaceAll(), qsizetype(3));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("lion dog lion\nlion"));
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), original);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }

    void bigNoteIsCountedInSlices()
    {
        Window w(QStringLiteral("the quick brown fox jumps over the lazy dog\n").repeated(100000));
        QSignalSpy finished(w.bar, &FindBar::countFinished);
        w.bar->showFind();
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("fox"));
        // The first match after the caret is selected before the count ends.
        QCOMPARE(w.selection(), qMakePair(qsizetype(16), qsizetype(19)));
        QTRY_COMPARE_WITH_TIMEOUT(w.bar->countText(), QStringLiteral("1 of 100000"), 20000);
        finished.clear();
        QTextCursor(w.text->document()).insertText(QStringLiteral("fox "));
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.last().first().value<qsizetype>(), qsizetype(100001));
    }

    void typingMarksAndUnmarks()
    {
        if (!english())
            return;
        Window w(QStringLiteral("not in notes.txt or me@exmple.org: "));
        w.tools->setAutomaticSpellingCorrectionEnabled(false);
        w.text->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.text, QStringLiteral("a tset is wrod"));
        // The word being typed is not marked until it is finished.
        QTRY_COMPARE(w.underlined(), QStringList{"tset"});
        QTest::keyClick(w.text, Qt::Key_Space);
        QTRY_COMPARE(w.underlined(), (QStringList{"tset", "wrod"}));
        w.select(37, 41);
        QTest::keyClicks(w.text, QStringLiteral("test"));
        QTRY_COMPARE(w.underlined(), QStringList{"wrod"});
    }

    void automaticCorrection_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("corrects: on space") << u"I saw teh cat"_qs << u"I saw the cat"_qs;
        QTest::newRow("leaves: word still being typed") << u"wait teh"_qs << u"wait teh"_qs;
        QTest::newRow("leaves: ambiguous guess") << u"dont go"_qs << u"dont go"_qs;
        QTest::newRow("leaves: learned word") << u"my wrold "_qs << u"my wrold "_qs;
    }
    void automaticCorrection()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        if (!english())
            return;
        Window w;
        w.tools->spellChecker()->learn(QStringLiteral("wrold"));
        QTest::keyClicks(w.text, typed);
        QCOMPARE(w.text->toPlainText(), expected);
    }

    void undoRevertsTheCorrectionAlone()
    {
        if (!english())
            return;
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

    void smartEdits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("pasted"); // none: the selection is deleted
        QTest::addColumn<QString>("expected");
        QTest::newRow("delete: a word takes one space") << "a word b" << 2 << 6 << QString() << "a b";
        QTest::newRow("delete: part of a word alone") << "a word b" << 2 << 5 << QString() << "a d b";
        QTest::newRow("paste: adds a space before") << "hello world" << 5 << 5 << "big"
                                                    << "hello big world";
        QTest::newRow("paste: text with its own spaces is left alone") << "ab" << 1 << 1 << " x "
                                                                       << "ab";
    }
    void smartEdits()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Window w(content);
        w.select(start, end);
        if (pasted.isNull())
            QTest::keyClick(w.text, Qt::Key_Backspace);
        else
            QCOMPARE(w.tools->pasteSmartly(pasted), expected != content);
        QCOMPARE(w.text->toPlainText(), expected);
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), content);
    }

    void spellingPanelChangesIgnoresAndLearns()
    {
        if (!english())
            return;
        {
            Window w(QStringLiteral("one tset and one Blorvik, then Zwonkel and Blorvik"));
            w.tools->showGuessPanel(nullptr);
            auto *panel = w.window.findChild<SpellingPanel *>();
            QVERIFY(panel && panel->isVisible());
            QCOMPARE(panel->word(), QStringLiteral("tset"));
            panel->guessList()->setCurrentRow(int(panel->guesses().indexOf(QStringLiteral("test"))));
            panel->change();
            QCOMPARE(w.text->toPlainText(), QStringLiteral("one test and one Blorvik, then Zwonkel and Blorvik"));
            // Ignored for this note: its second use is passed over too.
            panel->ignore();
            QCOMPARE(panel->word(), QStringLiteral("Zwonkel"));
            panel->learn();
            QVERIFY(panel->word().isEmpty());
        }
        // Learned words outlive the note, in the user's word list; ignored ones do not.
        SpellChecker later(QStringLiteral("en_US"));
        QVERIFY(later.isLearned(QStringLiteral("Zwonkel")));
        QVERIFY(!later.isCorrect(QStringLiteral("Blorvik")));
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/enchant/en_US.dic")));
    }

    void spellingSkipsWhatIsNotAWord()
    {
        QStringList found;
        const QString text = QStringLiteral("don't abc123 snake_case see notes.txt, me@example.org or /usr/share");
        for (const SpellChecker::Word &word : SpellChecker::words(text))
            found << text.mid(word.position, word.length);
        QCOMPARE(found, (QStringList{"don't", "see", "or"}));
        if (english())
            QCOMPARE(SpellChecker(QStringLiteral("xx_NOWHERE")).language(), QStringLiteral("en_US"));
    }

    void caseChanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<Mapping>("mapping");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("expectedEnd");
        QTest::newRow("capitalize: words of a selection")
            << u"an ox"_qs << 0 << 5 << Mapping::Capitalize << u"An Ox"_qs << 0 << 5;
        QTest::newRow("upper: across lines keeps the breaks")
            << u"one\ntwo\n\nstraße"_qs << 1 << 15 << Mapping::Upper << u"oNE\nTWO\n\nSTRASSE"_qs << 1 << 16;
        QTest::newRow("caret: the word around it grows")
            << u"die straße"_qs << 6 << 6 << Mapping::Upper << u"die STRASSE"_qs << 4 << 11;
        QTest::newRow("caret: between words does nothing")
            << u"hello   world"_qs << 6 << 6 << Mapping::Lower << u"hello   world"_qs << 6 << 6;
    }
    void caseChanges()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(Mapping, mapping);
        QFETCH(QString, expected);
        QFETCH(int, expectedStart);
        QFETCH(int, expectedEnd);
        Window w(text);
        const int blocks = w.text->blockCount();
        w.select(start, end);
        CaseTransform::apply(w.text, mapping);
        QCOMPARE(w.text->toPlainText(), expected);
        QCOMPARE(w.text->blockCount(), blocks);
        QCOMPARE(w.selection(), qMakePair(qsizetype(expectedStart), qsizetype(expectedEnd)));
        // One undo step takes it all back.
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), text);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }
};

// enchant reads the user's word list folder once per process: point it into a temporary home before then.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    TestTextTools test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_texttools.moc"
