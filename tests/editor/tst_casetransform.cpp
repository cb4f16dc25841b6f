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

        QTest::newRow("upper: sharp s becomes SS") << u"straße"_qs << 0 << 6 << upper << u"STRASSE"_qs << 0 << 7;
        QTest::newRow("lower: SS stays two letters") << u"STRASSE"_qs << 0 << 7 << lower << u"strasse"_qs << 0 << 7;
        // The root rules keep the dot: i followed by U+0307, one unit longer.
        QTest::newRow("lower: Turkish dotted I") << u"İstanbul"_qs << 0 << 8 << lower << u"i\u0307stanbul"_qs << 0 << 9;
        QTest::newRow("upper: Turkish dotless i") << u"ılık"_qs << 0 << 4 << upper << u"ILIK"_qs << 0 << 4;
        QTest::newRow("lower: Greek final sigma") << u"ΟΔΟΣ ΟΔΟΣ"_qs << 0 << 9 << lower << u"οδος οδος"_qs << 0 << 9;
        QTest::newRow("upper: emoji and CJK untouched")
            << u"tea 🍵 茶 ok"_qs << 0 << 11 << upper << u"TEA 🍵 茶 OK"_qs << 0 << 11;
        QTest::newRow("capitalize: mixed case words")
            << u"hELLO wORLD, don't"_qs << 0 << 18 << capitalize << u"Hello World, Don't"_qs << 0 << 18;
        QTest::newRow("capitalize: digraph takes its title form")
            << u"ǆungla"_qs << 0 << 6 << capitalize << u"ǅungla"_qs << 0 << 6;
        QTest::newRow("capitalize: sharp s first") << u"ßa"_qs << 0 << 2 << capitalize << u"Ssa"_qs << 0 << 3;
        QTest::newRow("upper: part of a word") << u"hello"_qs << 1 << 3 << upper << u"hELlo"_qs << 1 << 3;
        QTest::newRow("upper: across lines keeps the breaks")
            << u"one\ntwo\n\nstraße"_qs << 0 << 15 << upper << u"ONE\nTWO\n\nSTRASSE"_qs << 0 << 16;
        QTest::newRow("upper: mixed scripts in a line")
            << u"café 🌱 Привет 日本"_qs << 0 << 16 << upper << u"CAFÉ 🌱 ПРИВЕТ 日本"_qs << 0 << 16;
        QTest::newRow("caret: inside a word") << u"hello world"_qs << 8 << 8 << upper << u"hello WORLD"_qs << 6 << 11;
        QTest::newRow("caret: at the end of a word")
            << u"hello world"_qs << 5 << 5 << upper << u"HELLO world"_qs << 0 << 5;
        QTest::newRow("caret: at the start of a word")
            << u"hello world"_qs << 6 << 6 << upper << u"hello WORLD"_qs << 6 << 11;
        QTest::newRow("caret: at the end of the note") << u"done"_qs << 4 << 4 << capitalize << u"Done"_qs << 0 << 4;
        QTest::newRow("caret: word on the second line")
            << u"first\nsecond line"_qs << 8 << 8 << upper << u"first\nSECOND line"_qs << 6 << 12;
        QTest::newRow("caret: sharp s word grows")
            << u"die straße"_qs << 6 << 6 << upper << u"die STRASSE"_qs << 4 << 11;
        QTest::newRow("caret: between words does nothing")
            << u"hello   world"_qs << 6 << 6 << upper << u"hello   world"_qs << 6 << 6;
        QTest::newRow("caret: in an emoji does nothing") << u"a 🍵 b"_qs << 2 << 2 << upper << u"a 🍵 b"_qs << 2 << 2;
        QTest::newRow("caret: empty note does nothing") << QString() << 0 << 0 << upper << QString() << 0 << 0;
        // A Latin and a Chinese word touch at the caret: the one before it, as just typed.
        QTest::newRow("caret: touching a word on each side takes the one before")
            << u"ab苹果"_qs << 2 << 2 << upper << u"AB苹果"_qs << 0 << 2;
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

    // Whatever the editor keeps about a paragraph (its line ending, its spelling state) must survive: only the
    // letters inside a paragraph are replaced, never the breaks between them.
    void keepsParagraphData()
    {
        QPlainTextEdit view;
        view.setPlainText(u"one\ntwo\nthree"_qs);
        QList<QTextBlockUserData *> data;
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
            data << new QTextBlockUserData;
            block.setUserData(data.constLast());
        }
        view.selectAll();
        QVERIFY(CaseTransform::capitalizeWord(&view));
        QCOMPARE(view.toPlainText(), u"One\nTwo\nThree"_qs);
        qsizetype i = 0;
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
            QCOMPARE(block.userData(), data.at(i++));
    }

    void unchangedTextMakesNoUndoStep()
    {
        QPlainTextEdit view;
        view.setPlainText(u"ALREADY LOUD 茶"_qs);
        view.selectAll();
        QVERIFY(CaseTransform::apply(&view, Mapping::Upper));
        QVERIFY(!view.document()->isUndoAvailable());
        QCOMPARE(selectionOf(view).second, 14);
    }

    void reportsNothingToActOn()
    {
        QPlainTextEdit view;
        view.setPlainText(u"one , two"_qs);
        select(view, 4, 4);
        QVERIFY(!CaseTransform::uppercaseWord(&view));
        select(view, 3, 3);
        QVERIFY(CaseTransform::uppercaseWord(&view));
        QCOMPARE(view.toPlainText(), u"ONE , two"_qs);
    }
};

QTEST_MAIN(TestCaseTransform)
#include "tst_casetransform.moc"
