#include "editor/textwindow.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// Types text as key presses, also characters that QTest::keyClicks cannot spell.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

struct Window : TextWindow
{
    using TextWindow::TextWindow;

    void send(int tag)
    {
        QAction action;
        action.setProperty("tag", tag);
        tools->performFindPanelAction(&action);
    }
};

} // namespace

class TestFindBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stepsWrapAround_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("barShown");
        QTest::addColumn<QList<qsizetype>>("expected");
        const QString three = QStringLiteral("one two\none two\nthree one");
        QTest::newRow("next: wraps to the top, bar shown")
            << three << "one" << 5 << true << true << QList<qsizetype>{8, 22, 0, 8};
        QTest::newRow("next: wraps to the top, bar hidden")
            << three << "one" << 5 << true << false << QList<qsizetype>{8, 22, 0, 8};
        QTest::newRow("previous: wraps to the bottom, bar shown")
            << three << "one" << 5 << false << true << QList<qsizetype>{0, 22, 8, 0};
        QTest::newRow("previous: wraps to the bottom, bar hidden")
            << three << "one" << 5 << false << false << QList<qsizetype>{0, 22, 8, 0};
        QTest::newRow("next: single match comes back to itself")
            << three << "three" << 0 << true << false << QList<qsizetype>{16, 16};
        QTest::newRow("next: match at the very end")
            << QStringLiteral("ab ab") << "ab" << 1 << true << false << QList<qsizetype>{3, 0};
        QTest::newRow("previous: from inside a match")
            << QStringLiteral("ab ab") << "ab" << 4 << false << false << QList<qsizetype>{3, 0, 3};
        QTest::newRow("next: non-BMP text before the match")
            << QStringLiteral("🌱🌱 x 🌱 x") << "x" << 0 << true << true << QList<qsizetype>{5, 10, 5};
    }

    void stepsWrapAround()
    {
        QFETCH(QString, content);
        QFETCH(QString, needle);
        QFETCH(int, caret);
        QFETCH(bool, forward);
        QFETCH(bool, barShown);
        QFETCH(QList<qsizetype>, expected);
        Window w(content);
        w.bar->setSearchText(needle);
        if (barShown) {
            w.bar->showFind();
            QCOMPARE(w.bar->matchCount(), content.count(needle));
        }
        w.select(caret, caret);
        for (const qsizetype position : expected) {
            QVERIFY(forward ? w.bar->findNext() : w.bar->findPrevious());
            QCOMPARE(w.selection(), qMakePair(position, position + needle.size()));
        }
    }

    void caseOption_data()
    {
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<qsizetype>("first");
        QTest::newRow("ignores case by default") << false << qsizetype(3) << qsizetype(0);
        QTest::newRow("match case") << true << qsizetype(1) << qsizetype(6);
    }

    void caseOption()
    {
        QFETCH(bool, caseSensitive);
        QFETCH(qsizetype, count);
        QFETCH(qsizetype, first);
        Window w(QStringLiteral("Apple apple APPLE ÄPFEL äpfel"));
        w.bar->setCaseSensitive(caseSensitive);
        w.bar->showFind();
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("apple"));
        QCOMPARE(w.bar->matchCount(), count);
        QCOMPARE(w.selection().first, first);
        w.bar->searchField()->setText({});
        type(w.bar->searchField(), QStringLiteral("äpfel"));
        QCOMPARE(w.bar->matchCount(), caseSensitive ? 1 : 2);
    }

    void incrementalSearchSelectsFirstAfterCaret()
    {
        Window w(QStringLiteral("tea tan\ntea ten\ntan"));
        w.select(5, 5);
        w.tools->performFindPanelAction(nullptr);
        w.send(TextTools::ShowFindInterface);
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("t"));
        QCOMPARE(w.selection(), qMakePair(qsizetype(8), qsizetype(9)));
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("e"));
        QCOMPARE(w.selection(), qMakePair(qsizetype(8), qsizetype(10)));
        QCOMPARE(w.bar->countText(), QStringLiteral("2 of 3"));
        // Every match in view is highlighted.
        QCOMPARE(w.text->extraSelections().size(), 3);
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("n"));
        QCOMPARE(w.selection(), qMakePair(qsizetype(12), qsizetype(15)));
        QCOMPARE(w.bar->countText(), QStringLiteral("1 of 1"));
        QCOMPARE(w.text->extraSelections().size(), 1);
        // Enter and Shift+Enter move on.
        QTest::keyClick(w.bar->searchField(), Qt::Key_Backspace);
        QTest::keyClick(w.bar->searchField(), Qt::Key_Return);
        QCOMPARE(w.selection().first, qsizetype(0));
        QTest::keyClick(w.bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(w.selection().first, qsizetype(12));
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("x"));
        QCOMPARE(w.bar->countText(), QStringLiteral("Not found"));
        QVERIFY(w.text->extraSelections().isEmpty());
    }

    void tagsFromTheMenu_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("barVisible");
        QTest::addColumn<bool>("replaceMode");
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<qsizetype>("selectionStart");
        QTest::newRow("1: shows the find bar") << 1 << true << false << "beta" << qsizetype(6);
        QTest::newRow("12: shows it for replacing") << 12 << true << true << "beta" << qsizetype(6);
        QTest::newRow("2: next match, bar stays hidden") << 2 << false << false << "beta" << qsizetype(12);
        QTest::newRow("3: previous match, bar stays hidden") << 3 << false << false << "beta" << qsizetype(0);
        QTest::newRow("7: selection becomes the search, bar stays hidden")
            << 7 << false << false << "gamma" << qsizetype(6);
    }

    void tagsFromTheMenu()
    {
        QFETCH(int, tag);
        QFETCH(bool, barVisible);
        QFETCH(bool, replaceMode);
        QFETCH(QString, searchText);
        QFETCH(qsizetype, selectionStart);
        Window w(QStringLiteral("beta  gamma beta beta"));
        w.bar->setSearchText(QStringLiteral("beta"));
        w.select(6, 11);
        w.send(tag);
        QCOMPARE(w.bar->isVisible(), barVisible);
        QCOMPARE(w.bar->isReplaceMode(), replaceMode);
        QCOMPARE(w.bar->searchText(), searchText);
        QCOMPARE(w.selection().first, selectionStart);
        if (barVisible) {
            // The search text is selected, ready to be typed over.
            QCOMPARE(w.bar->searchField()->selectedText(), searchText);
        }
    }

    // Tag 7 above sets the search from one word; here from a selection over lines, then used without the bar.
    void useSelectionThenFindNext()
    {
        Window w(QStringLiteral("red line\ngreen\nline"));
        w.select(4, 14);
        w.send(TextTools::SetSearchString);
        QCOMPARE(w.bar->searchText(), QStringLiteral("line"));
        w.send(TextTools::NextMatch);
        QCOMPARE(w.selection(), qMakePair(qsizetype(15), qsizetype(19)));
        QVERIFY(w.bar->isHidden());
        // An empty selection leaves the last search as it was.
        w.select(0, 0);
        w.send(TextTools::SetSearchString);
        QCOMPARE(w.bar->searchText(), QStringLiteral("line"));
    }

    void replaceAllIsOneUndoStep()
    {
        const QString original = QStringLiteral("cat dog cat\ncat");
        Window w(original);
        w.send(TextTools::ShowReplaceInterface);
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("cat"));
        w.bar->setReplaceText(QStringLiteral("lion"));
        QCOMPARE(w.bar->replaceAll(), qsizetype(3));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("lion dog lion\nlion"));
        QCOMPARE(w.bar->matchCount(), qsizetype(0));
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), original);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }

    void replaceOneMovesOn()
    {
        Window w(QStringLiteral("a-b-c"));
        w.send(TextTools::ShowReplaceInterface);
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("-"));
        QCOMPARE(w.selection().first, qsizetype(1));
        QTest::keyClicks(w.bar->replaceField(), QStringLiteral("+"));
        QTest::keyClick(w.bar->replaceField(), Qt::Key_Return);
        QCOMPARE(w.text->toPlainText(), QStringLiteral("a+b-c"));
        QCOMPARE(w.selection().first, qsizetype(3));
    }

    void escapeGivesFocusBack()
    {
        Window w(QStringLiteral("some text"));
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.text->setFocus();
        w.send(TextTools::ShowFindInterface);
        QTRY_VERIFY(w.bar->searchField()->hasFocus());
        QTest::keyClick(w.bar->searchField(), Qt::Key_Escape);
        QVERIFY(w.bar->isHidden());
        QTRY_VERIFY(w.text->hasFocus());
        QVERIFY(w.text->extraSelections().isEmpty());
    }

    void highlightsFollowTheView()
    {
        QString content;
        for (int i = 0; i < 400; ++i)
            content += i < 200 ? QStringLiteral("plain line\n") : QStringLiteral("needle line\n");
        Window w(content);
        w.bar->showFind();
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("zzz"));
        QVERIFY(w.text->extraSelections().isEmpty());
        w.bar->setSearchText(QStringLiteral("needle"));
        QVERIFY(w.text->extraSelections().isEmpty());
        w.text->moveCursor(QTextCursor::End);
        QTRY_VERIFY(!w.text->extraSelections().isEmpty());
        // Only what is in view, not all 200.
        QVERIFY(w.text->extraSelections().size() < 100);
        QCOMPARE(w.bar->matchCount(), qsizetype(200));
    }

    void jumpToSelectionCentresIt()
    {
        QString content;
        for (int i = 0; i < 1000; ++i)
            content += QStringLiteral("line %1\n").arg(i);
        Window w(content);
        const qsizetype at = content.indexOf(QStringLiteral("line 500"));
        // Selecting scrolls the selection only just into view, at an edge.
        w.select(at, at + 8);
        QAction jump;
        w.tools->centerSelectionInVisibleArea(&jump);
        const int middle = w.text->viewport()->height() / 2;
        const QRect caret = w.text->cursorRect();
        QVERIFY2(qAbs(caret.center().y() - middle) <= caret.height(),
                 qPrintable(QStringLiteral("caret at %1, middle %2").arg(caret.center().y()).arg(middle)));
        QCOMPARE(w.selection(), qMakePair(at, at + 8));
    }

    void bigNoteIsCountedInSlices()
    {
        QString content;
        const QString line = QStringLiteral("the quick brown fox jumps over the lazy dog\n");
        content.reserve(line.size() * 100000);
        for (int i = 0; i < 100000; ++i)
            content += line;
        Window w(content);
        QSignalSpy finished(w.bar, &FindBar::countFinished);
        w.bar->showFind();
        QTest::keyClicks(w.bar->searchField(), QStringLiteral("fox"));
        // The first match after the caret is selected before the count ends.
        QCOMPARE(w.selection(), qMakePair(qsizetype(16), qsizetype(19)));
        QTRY_COMPARE_WITH_TIMEOUT(w.bar->matchCount(), qsizetype(100000), 20000);
        QCOMPARE(w.bar->countText(), QStringLiteral("1 of 100000"));
        // An edit recounts.
        finished.clear();
        QTextCursor(w.text->document()).insertText(QStringLiteral("fox "));
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.last().first().value<qsizetype>(), qsizetype(100001));
    }
};

int main(int argc, char **argv)
{
    return execWithTemporaryHome<TestFindBar>(argc, argv);
}

#include "tst_findbar.moc"
