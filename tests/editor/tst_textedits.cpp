// The editing tools that change the note's text: replace, autocorrection, smart delete, case changes; and what an
// edit repaints and marks.
#include "editor/view/casetransform.h"
#include "editor/notefixture.h"
#include "editor/spelling/spellchecker.h"

#include <QClipboard>

using CaseTransform::Mapping;
using NoteFixture::ShownNote;

using Edit = void (*)(ShownNote &);

Q_DECLARE_METATYPE(Edit)

// The area a widget paints from the moment this is made.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(QWidget *widget) { widget->installEventFilter(this); }
    QRegion region;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

class TestTextEdits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        FindBar *bar = n.findBar();
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

    // Typed words are corrected only amid the dictionary's language, and never when another dictionary knows them;
    // only swapped letters with one guess, never case or short words ("ot" would swap to "to"). One Ctrl+Z undoes the
    // last correction alone.
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
    }
    void corrections()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, undone);
        QFETCH(QString, needs);
        ShownNote n;
        if (!n.spelling()->spellChecker()->language().startsWith(u"en"))
            QSKIP("The note's dictionary is not English (hunspell-en-us).");
        if (needs == u"German" && SpellChecker(QStringLiteral("de_DE")).language() != u"de_DE")
            QSKIP("The German dictionary (hunspell-de-de) is not installed.");
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

    // An edit within a paragraph that moves nothing after it repaints that paragraph, not the view: a word pasted
    // over one as long, and marks that move with a letter typed before them (each key of typing there).
    void editsRepaintTheirParagraph_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<bool>("needsEnglish");
        QTest::newRow("pasting over the last word") << u"one two"_qs << Edit([](ShownNote &n) {
            QApplication::clipboard()->setText(u"six"_qs);
            n.view->setSelectedRange({4, 3});
            QTest::keyClick(n.view, Qt::Key_V, Qt::ControlModifier);
        }) << false;
        QTest::newRow("typing before a misspelled word") << u"We went qzxv"_qs << Edit([](ShownNote &n) {
            n.view->setSelectedRange({0, 0});
            QTest::keyClick(n.view, Qt::Key_A);
        }) << true;
    }
    void editsRepaintTheirParagraph()
    {
        QFETCH(QString, first);
        QFETCH(Edit, edit);
        QFETCH(bool, needsEnglish);
        ShownNote n((first + u"\nsecond\nthird\n"_qs).toUtf8());
        if (needsEnglish && !n.spelling()->spellChecker()->language().startsWith(u"en"))
            QSKIP("The note's dictionary is not English (hunspell-en-us).");
        // Whatever the window still has to paint from showing is painted first.
        QVERIFY(QTest::qWaitForWindowExposed(n.view->window()));
        n.view->viewport()->repaint();
        PaintRecorder painted(n.view->viewport());
        edit(n);
        QTRY_VERIFY(!painted.region.isEmpty());
        QTest::qWait(50);
        const QRect line = n.view->cursorRect(QTextCursor(n.view->document()->findBlockByNumber(1)));
        const QRect second(0, line.center().y(), n.view->viewport()->width(), 1);
        QVERIFY2(!painted.region.intersects(second), "the paragraph after the edit was painted again");
    }

    // A word being written gets no mark while letters are typed into it, at its start as at its end; leaving it
    // checks it.
    void wordBeingWrittenIsMarkedOnLeaving()
    {
        ShownNote n("They went\n");
        if (!n.spelling()->spellChecker()->language().startsWith(u"en"))
            QSKIP("The note's dictionary is not English (hunspell-en-us).");
        const auto marks = [&n] {
            QTest::qWait(20);
            return n.view->document()->firstBlock().layout()->formats().size();
        };
        n.view->setSelectedRange({0, 0});
        QTest::keyClicks(n.view, u"qz"_qs);
        QCOMPARE(marks(), 0);
        QTest::keyClick(n.view, Qt::Key_End);
        QCOMPARE(marks(), 1);
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestTextEdits>(argc, argv);
}

#include "tst_textedits.moc"
