#include "editor/casetransform.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

using CaseTransform::Mapping;

Q_DECLARE_METATYPE(CaseTransform::Mapping)

namespace {

// A caret is a selection whose start and end are equal.
QPair<int, int> selectionOf(const QPlainTextEdit &view)
{
    return {view.textCursor().selectionStart(), view.textCursor().selectionEnd()};
}

void select(QPlainTextEdit &view, int start, int end)
{
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
}

} // namespace

class TestCaseTransform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transforms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<Mapping>("mapping");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("expectedEnd");
        const auto upper = Mapping::Upper;
        const auto lower = Mapping::Lower;
        const auto capitalize = Mapping::Capitalize;

        QTest::newRow("capitalize: words of a selection") << u"an ox"_qs << 0 << 5 << capitalize << u"An Ox"_qs << 0 << 5;
        QTest::newRow("upper: part of a word") << u"hello"_qs << 1 << 3 << upper << u"hELlo"_qs << 1 << 3;
        QTest::newRow("upper: across lines keeps the breaks")
            << u"one\ntwo\n\nstraße"_qs << 0 << 15 << upper << u"ONE\nTWO\n\nSTRASSE"_qs << 0 << 16;
        QTest::newRow("caret: inside a word") << u"hello world"_qs << 8 << 8 << upper << u"hello WORLD"_qs << 6 << 11;
        QTest::newRow("caret: sharp s word grows")
            << u"die straße"_qs << 6 << 6 << upper << u"die STRASSE"_qs << 4 << 11;
        QTest::newRow("caret: between words does nothing")
            << u"hello   world"_qs << 6 << 6 << lower << u"hello   world"_qs << 6 << 6;
    }
    void transforms()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(Mapping, mapping);
        QFETCH(QString, expected);
        QFETCH(int, expectedStart);
        QFETCH(int, expectedEnd);
        QPlainTextEdit view;
        view.setPlainText(text);
        const int blocks = view.blockCount();
        select(view, start, end);
        CaseTransform::apply(&view, mapping);
        QCOMPARE(view.toPlainText(), expected);
        QCOMPARE(view.blockCount(), blocks);
        QCOMPARE(selectionOf(view), qMakePair(expectedStart, expectedEnd));
    }

    void undoesInOneStep_data()
    {
        QTest::addColumn<Mapping>("mapping");
        QTest::newRow("upper") << Mapping::Upper;
        QTest::newRow("lower") << Mapping::Lower;
        QTest::newRow("capitalize") << Mapping::Capitalize;
    }
    void undoesInOneStep()
    {
        QFETCH(Mapping, mapping);
        const QString text = u"Straße eins\nzWEI drei\n\nİki ΟΔΟΣ 🌱"_qs;
        QPlainTextEdit view;
        view.setPlainText(text);
        QVERIFY(!view.document()->isUndoAvailable());
        view.selectAll();
        QVERIFY(CaseTransform::apply(&view, mapping));
        QVERIFY(view.toPlainText() != text);
        view.undo();
        QCOMPARE(view.toPlainText(), text);
        QVERIFY(!view.document()->isUndoAvailable());
    }
};

QTEST_MAIN(TestCaseTransform)
#include "tst_casetransform.moc"
