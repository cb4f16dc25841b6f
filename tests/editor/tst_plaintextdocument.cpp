#include "editor/notefixture.h"

#include <QTextDocument>

using namespace NoteFixture;
using Range = NoteTextView::Range;

Q_DECLARE_METATYPE(Range)

namespace {

const QString sampleText = QStringLiteral("Plain text\nUnicode: café 🌱\n\tIndented\n");

} // namespace

class TestPlainTextDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void acceptsWellFormedUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("accepts: empty file") << QByteArray() << QString();
        QTest::newRow("accepts: sample text") << sampleText.toUtf8() << sampleText;
        QTest::newRow("accepts: NUL as an ordinary character")
            << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("accepts: U+FFFD written literally") << QByteArray("x\357\277\275y") << u"x\uFFFDy"_qs;
        QTest::newRow("keeps: leading byte-order mark") << QByteArray("\357\273\277note") << u"\uFEFFnote"_qs;
        QTest::newRow("accepts: U+10FFFF") << QByteArray("\364\217\277\277") << QString::fromUcs4(U"\U0010FFFF", 1);
    }

    void acceptsWellFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        PlainTextDocument note;
        const Editor *editor = readWithEditor(note, bytes);
        QCOMPARE(note.windowControllers().size(), 1);
        QCOMPARE(editor->textDocument(), &note);
        QCOMPARE(editor->textView()->text(), expected);
        QCOMPARE(note.data(typeName), bytes);
    }

    void rejectsIllFormedUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("rejects: FF FE FF (UTF-16 byte-order mark look-alike)") << QByteArray("\xFF\xFE\xFF");
        QTest::newRow("rejects: lone continuation byte") << QByteArray("ab\200cd");
        QTest::newRow("rejects: sequence cut short at the very end") << QByteArray("caf\xC3");
        QTest::newRow("rejects: three-byte sequence cut short at the end") << QByteArray("x\xE2\x82");
        QTest::newRow("rejects: overlong slash C0 AF") << QByteArray("\xC0\xAF");
        QTest::newRow("rejects: overlong slash E0 80 AF") << QByteArray("\xE0\x80\xAF");
        QTest::newRow("rejects: surrogate ED A0 80") << QByteArray("\xED\xA0\x80");
        QTest::newRow("rejects: above U+10FFFF F4 90 80 80") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("rejects: F5 lead byte") << QByteArray("\xF5\x80\x80\x80");
        QTest::newRow("rejects: one bad byte deep in good text")
            << (sampleText.toUtf8().repeated(1000) + "\xFF" + sampleText.toUtf8());
    }

    void rejectsIllFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        // Without an editor the document keeps its own copy of the text.
        PlainTextDocument bare;
        bare.read(sampleText.toUtf8(), typeName);
        QVERIFY_THROWS_EXCEPTION(Error, bare.read(bytes, typeName));
        QCOMPARE(bare.text(), sampleText);

        PlainTextDocument note;
        NoteTextView *view = readWithEditor(note, sampleText.toUtf8())->textView();
        view->setSelectedRange({8, 3});
        try {
            note.read(bytes, typeName);
            QFAIL("ill-formed bytes were accepted");
        } catch (const Error &error) {
            QCOMPARE(error.domain(), QStringLiteral("NSCocoaErrorDomain"));
            QCOMPARE(error.code(), 261);
            QCOMPARE(error.description(), QStringLiteral("This file is not UTF-8 plain text."));
        }
        QCOMPARE(view->text(), sampleText);
        QCOMPARE(view->selectedRange(), (Range{8, 3}));
        QCOMPARE(note.data(typeName), sampleText.toUtf8());
    }

    void reloadClampsSelection_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<Range>("expected");
        QTest::addColumn<QString>("count");
        const QString lines = QStringLiteral("One two\nThree four");
        const QString twenty = QStringLiteral("abcde fghij klmno pq");
        QTest::newRow("keeps: selection inside a longer text")
            << lines << Range{4, 3} << lines + u'!' << Range{4, 3} << "4";
        QTest::newRow("collapses: start beyond the new end") << lines << Range{4, 3} << "On" << Range{2, 0} << "1";
        QTest::newRow("collapses: 20 units, 15/5, new length 10")
            << twenty << Range{15, 5} << twenty.left(10) << Range{10, 0} << "2";
        QTest::newRow("shortens: 20 units, 5/10, new length 8")
            << twenty << Range{5, 10} << twenty.left(8) << Range{5, 3} << "2";
        QTest::newRow("counts UTF-16: two emoji are four units")
            << u"ab🌱🌱cd"_qs << Range{2, 4} << u"ab🌱🌱"_qs << Range{2, 4} << "1";
        QTest::newRow("counts UTF-16: one emoji left of two")
            << u"ab🌱🌱cd"_qs << Range{2, 4} << u"ab🌱"_qs << Range{2, 2} << "1";
        QTest::newRow("counts UTF-16: precomposed é is one unit")
            << u"café au lait"_qs << Range{3, 5} << u"café"_qs << Range{3, 1} << "1";
        QTest::newRow("collapses: reload to empty") << u"One two"_qs << Range{2, 3} << QString() << Range{0, 0} << "0";
    }

    void reloadClampsSelection()
    {
        QFETCH(QString, shown);
        QFETCH(Range, selection);
        QFETCH(QString, reloaded);
        QFETCH(Range, expected);
        QFETCH(QString, count);
        PlainTextDocument note;
        Editor *editor = readWithEditor(note, shown.toUtf8());
        editor->textView()->setSelectedRange(selection);
        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(editor->textView()->text(), reloaded);
        QCOMPARE(editor->textView()->selectedRange(), expected);
        QCOMPARE(shownCount(editor), count);
        QCOMPARE(note.text(), reloaded);
        // The new text is laid out like the old one.
        QCOMPARE(editor->textView()->document()->documentMargin(), 5.0);
        QCOMPARE(editor->textView()->document()->defaultFont().pointSize(), 15);
    }

    void canonicallyEqualTextLeavesEditorAlone_data()
    {
        QTest::addColumn<QString>("reloaded");
        QTest::newRow("same text") << QStringLiteral("café crème x");
        QTest::newRow("same text, accents decomposed") << QStringLiteral("cafe\u0301 cre\u0300me x");
    }

    void canonicallyEqualTextLeavesEditorAlone()
    {
        QFETCH(QString, reloaded);
        PlainTextDocument note;
        Editor *editor = readWithEditor(note, QStringLiteral("café crème ").toUtf8());
        NoteTextView *view = editor->textView();
        typeAtEnd(view, QStringLiteral("x"));
        view->setSelectedRange({1, 2});
        const int undoSteps = view->document()->availableUndoSteps();
        QVERIFY(undoSteps > 0);
        // A label changed behind our back would show that the count ran again.
        countLabel(editor)->setText(QStringLiteral("untouched"));
        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(view->text(), QStringLiteral("café crème x"));
        QCOMPARE(view->selectedRange(), (Range{1, 2}));
        QCOMPARE(view->document()->availableUndoSteps(), undoSteps);
        QCOMPARE(shownCount(editor), QStringLiteral("untouched"));
    }

    void savesWhatTheEditorShows()
    {
        PlainTextDocument note;
        typeAtEnd(readWithEditor(note, QByteArrayLiteral("One\r\ntwo"))->textView(), QStringLiteral(" three"));
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
        // Once its window is closed the document keeps the last text.
        note.close();
        QCOMPARE(note.windowControllers().size(), 0);
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
    }
};

QTEST_MAIN(TestPlainTextDocument)
#include "tst_plaintextdocument.moc"
