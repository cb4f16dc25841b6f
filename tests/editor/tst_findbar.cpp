#include "editor/textwindow.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

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
        QTest::newRow("previous: wraps to the bottom, bar shown")
            << three << "one" << 5 << false << true << QList<qsizetype>{0, 22, 8, 0};
        QTest::newRow("next: match at the very end")
            << QStringLiteral("ab ab") << "ab" << 1 << true << false << QList<qsizetype>{3, 0};
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

    void tagsFromTheMenu_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("barVisible");
        QTest::addColumn<bool>("replaceMode");
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<qsizetype>("selectionStart");
        QTest::newRow("1: shows the find bar") << 1 << true << false << "beta" << qsizetype(6);
        QTest::newRow("2: next match, bar stays hidden") << 2 << false << false << "beta" << qsizetype(12);
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
