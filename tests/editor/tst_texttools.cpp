// The editing tools around the note's text: find, spelling, autocorrection, smart delete and paste, case changes.
#include "editor/casetransform.h"
#include "editor/findbar.h"
#include "editor/notetextview.h"
#include "editor/spellchecker.h"
#include "editor/texttools.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using CaseTransform::Mapping;

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
};

using Edit = void (*)(Window &);

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestTextTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:

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
        w.select(caret, caret);
        for (const qsizetype position : expected) {
            QVERIFY(forward ? w.bar->findNext() : w.bar->findPrevious());
            QCOMPARE(w.text->textCursor().selectionStart(), position);
        }
    }

    // A very long line is cut into pieces in the view; a match across a cut is found, counted and replaced whole.
    void findSpansLongLineCuts_data()
    {
        QTest::addColumn<qsizetype>("from");
        QTest::addColumn<qsizetype>("length");
        QTest::newRow("a few words") << qsizetype(2) << qsizetype(9);
        QTest::newRow("longer than a piece") << qsizetype(100) << qsizetype(5003);
    }
    void findSpansLongLineCuts()
    {
        QFETCH(qsizetype, from);
        QFETCH(qsizetype, length);
        const QString line = QStringLiteral("word ").repeated(3000);
        const QString needle = line.mid(from, length);
        QWidget window;
        auto *view = new NoteTextView(&window);
        auto *bar = new FindBar(view, &window);
        view->setText(line);
        QVERIFY(view->document()->blockCount() > 3);
        QSignalSpy counted(bar, &FindBar::countFinished);
        bar->setSearchText(needle);
        bar->showFind();
        QString replaced = line;
        replaced.replace(needle, QStringLiteral("X"));
        QTRY_COMPARE(bar->matchCount(), replaced.count(u'X'));
        QVERIFY(bar->findNext());
        QVERIFY(bar->findNext());
        QCOMPARE(bar->currentMatch(), 2);
        bar->setReplaceText(QStringLiteral("X"));
        bar->replaceAll();
        QCOMPARE(view->text(), replaced);
    }

    // Each edit is undone in one step.
    void edits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("smart delete: a word takes one space")
            << "a word b" << 2 << 6 << Edit([](Window &w) { QTest::keyClick(w.text, Qt::Key_Backspace); }) << "a b";
        QTest::newRow("smart paste: adds a space before")
            << "hello world" << 5 << 5 << Edit([](Window &w) { w.tools->pasteSmartly(QStringLiteral("big")); })
            << "hello big world";
        QTest::newRow("replace all") << "cat dog cat\ncat" << 0 << 0 << Edit([](Window &w) {
            w.bar->setSearchText(QStringLiteral("cat"));
            w.bar->setReplaceText(QStringLiteral("lion"));
            w.bar->replaceAll();
        }) << "lion dog lion\nlion";
        QTest::newRow("capitalize: words of a selection")
            << "an ox" << 0 << 5 << Edit([](Window &w) { CaseTransform::apply(w.text, Mapping::Capitalize); })
            << "An Ox";
        QTest::newRow("upper: the word around the caret")
            << u"die straße"_qs << 6 << 6 << Edit([](Window &w) { CaseTransform::apply(w.text, Mapping::Upper); })
            << "die STRASSE";
    }
    void edits()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(Edit, edit);
        QFETCH(QString, expected);
        Window w(content);
        w.select(start, end);
        edit(w);
        QCOMPARE(w.text->toPlainText(), expected);
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), content);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }

    void spellingSkipsWhatIsNotAWord()
    {
        QStringList found;
        const QString text = QStringLiteral("don't abc123 snake_case see notes.txt, me@example.org or /usr/share");
        for (const SpellChecker::Word &word : SpellChecker::words(text))
            found << text.mid(word.position, word.length);
        QCOMPARE(found, (QStringList{"don't", "see", "or"}));
    }

    void spellingJudgesOnlyTheDictionarysScript()
    {
        const SpellChecker english(QStringLiteral("en_US"));
        if (!english.hasDictionary())
            QSKIP("The American English dictionary (hunspell-en-us) is not installed.");
        QVERIFY(!english.isCorrect(QStringLiteral("quikc")));
        QVERIFY(english.isCorrect(u"שלום"_qs));
        QVERIFY(english.isCorrect(u"مرحبا"_qs));
    }

    // Notes share one dictionary of the user's language; a word learned in one counts in the others once they
    // look again, even where they had already judged it.
    void aWordLearnedInOneNoteCountsInTheOthers()
    {
        SpellChecker::preload();
        SpellChecker first;
        SpellChecker second;
        if (!first.hasDictionary())
            QSKIP("No dictionary of the user's language or American English is installed.");
        const QString word = QStringLiteral("Zorblaxian");
        QVERIFY(!second.isCorrect(word));
        QSignalSpy changed(&second, &SpellChecker::wordListChanged);
        first.learn(word);
        QVERIFY(second.refreshWordList());
        QCOMPARE(changed.size(), 1);
        QVERIFY(second.isCorrect(word) && SpellChecker().isCorrect(word));
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
