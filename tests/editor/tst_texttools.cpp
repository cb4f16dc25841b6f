// The editing tools around the note's text: find, spelling, autocorrection, smart delete and paste, case changes.
#include "editor/casetransform.h"
#include "editor/findbar.h"
#include "editor/installeddictionaries.h"
#include "editor/notefixture.h"
#include "editor/spellchecker.h"
#include "editor/texttools.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using CaseTransform::Mapping;
using NoteFixture::ShownNote;

using Edit = void (*)(ShownNote &);

Q_DECLARE_METATYPE(Edit)

class TestTextTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    // Typing a search selects its first match from the caret on, or the note's first when none follows; Next and
    // Previous wrap around. Typing in the note makes the count stale until a pause; Esc in the note closes the bar.
    void findFollowsTyping_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<QList<qsizetype>>("expected");
        const QString three = QStringLiteral("one two\none two\nthree one");
        QTest::newRow("a match follows the caret; next wraps to the top")
            << three << 5 << "2 of 3" << true << QList<qsizetype>{8, 22, 0, 8};
        QTest::newRow("previous wraps to the bottom") << three << 5 << "2 of 3" << false << QList<qsizetype>{8, 0, 22};
        QTest::newRow("none follows: the first") << three << 23 << "1 of 3" << true << QList<qsizetype>{0, 8};
        QTest::newRow("non-BMP text before the match")
            << u"🌱🌱 one 🌱 one"_qs << 0 << "1 of 2" << true << QList<qsizetype>{5, 12, 5};
    }
    void findFollowsTyping()
    {
        QFETCH(QString, content);
        QFETCH(int, caret);
        QFETCH(QString, shown);
        QFETCH(bool, forward);
        QFETCH(QList<qsizetype>, expected);
        ShownNote n(content.toUtf8());
        FindBar *bar = n.tools()->findBar();
        QLabel *count = bar->findChild<QLabel *>();
        QVERIFY(count && count->accessibleName() == u"Match count");
        n.view->setSelectedRange({caret, 0});
        bar->showFind();
        QTest::keyClicks(bar->searchField(), QStringLiteral("one"));
        QTRY_COMPARE(count->text(), shown);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY(i == 0 || (forward ? bar->findNext() : bar->findPrevious()));
            QCOMPARE(n.view->textCursor().selectionStart(), expected.at(i));
            QCOMPARE(n.view->textCursor().selectedText(), u"one");
        }
        QTest::keyClick(n.view, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(n.view, QStringLiteral(" one"));
        QCOMPARE(bar->matchCount(), -1);
        QTRY_COMPARE(count->text(), u"%1 matches"_qs.arg(content.count(u"one") + 1));
        QTest::keyClick(n.view, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QCOMPARE(n.view->text(), content + u" one"_qs);
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
        ShownNote n(line.toUtf8());
        n.view->setSelectedRange({0, 0});
        QVERIFY(n.view->document()->blockCount() > 3);
        FindBar *bar = n.tools()->findBar();
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
        QCOMPARE(n.view->text(), replaced);
    }

    // Each edit is undone in one step (Replace All's is the menu journey's).
    void edits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("smart delete: a word takes one space")
            << "a word b" << 2 << 6 << Edit([](ShownNote &n) { QTest::keyClick(n.view, Qt::Key_Backspace); }) << "a b";
        QTest::newRow("smart paste: adds a space before")
            << "hello world" << 5 << 5 << Edit([](ShownNote &n) { n.tools()->pasteSmartly(QStringLiteral("big")); })
            << "hello big world";
        QTest::newRow("capitalize: words of a selection")
            << "an ox" << 0 << 5 << Edit([](ShownNote &n) { CaseTransform::apply(n.view, Mapping::Capitalize); })
            << "An Ox";
        QTest::newRow("upper: the word around the caret")
            << u"die straße"_qs << 6 << 6 << Edit([](ShownNote &n) { CaseTransform::apply(n.view, Mapping::Upper); })
            << "die STRASSE";
    }
    void edits()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(Edit, edit);
        QFETCH(QString, expected);
        ShownNote n(content.toUtf8());
        n.view->setSelectedRange({start, end - start});
        edit(n);
        QCOMPARE(n.view->text(), expected);
        n.view->undo();
        QCOMPARE(n.view->text(), content);
        QVERIFY(!n.view->document()->isUndoAvailable());
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

    void dictionaryFollowsTheUser_data()
    {
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");
        const QStringList both{"de_DE", "en_US"};
        QTest::newRow("the user's own") << QStringList{"de_DE"} << both << "de_DE";
        QTest::newRow("another region of the language") << QStringList{"de_AT", "de"} << both << "de_DE";
        QTest::newRow("C locale: English") << QStringList{} << both << "en_US";
        QTest::newRow("none of the language: English")
            << QStringList{"fr_FR"} << QStringList{"de_DE", "en_GB"} << "en_GB";
        QTest::newRow("nothing suits: none") << QStringList{"fr_FR"} << QStringList{"de_DE"} << "";
    }
    void dictionaryFollowsTheUser()
    {
        QFETCH(QStringList, preferred);
        QFETCH(QStringList, installed);
        QTEST(InstalledDictionaries::choose(preferred, installed), "chosen");
    }

    // Typed words are corrected only amid the dictionary's language, and never when another dictionary knows them;
    // only swapped letters with one guess, never case or short words ("ot" would swap to "to"). One Ctrl+Z undoes the
    // last correction alone. Nothing is corrected while spelling is not checked as one types.
    void corrections_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("undone");
        QTest::addColumn<QString>("needs");
        const QString asTyped, unchecked, any;
        QTest::newRow("English around: corrected")
            << u"We have read teh "_qs << u"We have read the "_qs << unchecked << any;
        QTest::newRow("German around: as typed") << "Wir haben gestern teh " << asTyped << unchecked << any;
        QTest::newRow("German in the paragraph before: as typed")
            << "Wir haben gestern\nteh " << asTyped << unchecked << any;
        QTest::newRow("a word German knows: as typed") << "That was sehr " << asTyped << unchecked << u"German"_qs;
        QTest::newRow("only swapped letters")
            << u"teh ok ty ot TEH frist quikc "_qs << u"the ok ty ot TEH first quick "_qs
            << u"the ok ty ot TEH first quikc "_qs << any;
        QTest::newRow("not checked as one types: as typed") << "teh " << asTyped << unchecked << u"off"_qs;
    }
    void corrections()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, undone);
        QFETCH(QString, needs);
        ShownNote n;
        if (!n.tools()->spellChecker()->language().startsWith(u"en"))
            QSKIP("The note's dictionary is not English (hunspell-en-us).");
        if (needs == u"German" && SpellChecker(QStringLiteral("de_DE")).language() != u"de_DE")
            QSKIP("The German dictionary (hunspell-de-de) is not installed.");
        n.tools()->setContinuousSpellCheckingEnabled(needs != u"off");
        const QStringList paragraphs = typed.split(u'\n');
        for (const QString &paragraph : paragraphs) {
            if (&paragraph != &paragraphs.front())
                QTest::keyClick(n.view, Qt::Key_Return);
            QTest::keyClicks(n.view, paragraph);
        }
        QCOMPARE(n.view->text(), expected.isEmpty() ? typed : expected);
        QTest::keyClick(n.view, Qt::Key_Z, Qt::ControlModifier);
        if (!undone.isEmpty())
            QCOMPARE(n.view->text(), undone);
    }

    // Notes share one dictionary of the user's language; a word learned in one counts in the others once they
    // look again, even where they had already judged it.
    void aWordLearnedInOneNoteCountsInTheOthers()
    {
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

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestTextTools>(argc, argv);
}

#include "tst_texttools.moc"
