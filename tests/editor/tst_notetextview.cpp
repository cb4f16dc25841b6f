#include "editor/notetextview.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QStyleHints>
#include <QSyntaxHighlighter>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using Range = NoteTextView::Range;
using Action = void (*)(NoteTextView &);

Q_DECLARE_METATYPE(Range)
Q_DECLARE_METATYPE(Action)

namespace {

// The note's text as the document decodes it: strict UTF-8 with a leading byte-order mark kept.
QString decode(const QByteArray &bytes)
{
    using enum QStringDecoder::Flag;
    return QStringDecoder(QStringDecoder::Utf8, Stateless | ConvertInitialBom).decode(bytes);
}

// Types text where the caret is, the way a keyboard would deliver it.
void type(QWidget *view, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(view, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, view, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Marks every word, the way the spelling checker will.
class WordMarker : public QSyntaxHighlighter
{
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;

protected:
    void highlightBlock(const QString &text) override
    {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        setFormat(0, int(text.size()), underline);
    }
};

class ExposedView : public NoteTextView
{
public:
    using NoteTextView::canInsertFromMimeData;
    using NoteTextView::insertFromMimeData;
};

} // namespace

class TestNoteTextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Opening such a note and typing at its end changes only the typed bytes.
    void keepsBytesWhenTyping_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << QByteArray("one\ntwo\n");
        QTest::newRow("CRLF") << QByteArray("one\r\ntwo\r\n");
        QTest::newRow("mixed CRLF, LF and CR") << QByteArray("a\r\nb\nc\rd\r\ne");
        QTest::newRow("lone CR") << QByteArray("a\rb\r");
        QTest::newRow("LF then CR is two breaks") << QByteArray("a\n\rb");
        QTest::newRow("blank CRLF lines") << QByteArray("\r\n\r\n");
        QTest::newRow("no-break space") << QByteArray("a\302\240b");
        QTest::newRow("line separator U+2028") << QByteArray("a\342\200\250b");
        QTest::newRow("literal U+2029") << QByteArray("a\342\200\251b\n");
        QTest::newRow("only U+2029 breaks") << QByteArray("a\342\200\251b");
        QTest::newRow("noncharacters U+FDD0 and U+FDD1") << QByteArray("a\357\267\220b\357\267\221c\n");
        QTest::newRow("NUL") << QByteArray("a\0b\n", 4);
        QTest::newRow("byte-order mark") << QByteArray("\357\273\277hello\r\n");
        QTest::newRow("emoji") << QByteArray("\360\237\214\261\r\n");
        QTest::newRow("no final newline") << QByteArray("last line");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("long CRLF lines, cut for the view") << QByteArray("word ").repeated(3000) + "\r\nend\r\n";
        QTest::newRow("long line without spaces") << QByteArray("x\360\237\214\261").repeated(5000);
        QTest::newRow("big note, put into the view in parts") << QByteArray("line\r\n").repeated(40000);
    }

    void keepsBytesWhenTyping()
    {
        QFETCH(QByteArray, file);
        NoteTextView view;
        view.setText(decode(file));
        QCOMPARE(view.text().toUtf8(), file);
        QCOMPARE(view.snapshot().text().toUtf8(), file);
        QCOMPARE(view.textLength(), decode(file).size());
        QTRY_VERIFY(!view.isLoading());
        // A long line is held in pieces, so that a keystroke lays out only a piece.
        if (QByteArray(QTest::currentDataTag()).startsWith("long"))
            QVERIFY(view.document()->blockCount() > 3);
        view.moveCursor(QTextCursor::End);
        type(&view, QStringLiteral("x\u00e9"));
        const QByteArray expected = file + "x\303\251";
        QCOMPARE(view.text().toUtf8(), expected);
        QCOMPARE(view.snapshot().text().toUtf8(), expected);
        QCOMPARE(view.textLength(), decode(expected).size());
    }

    // A new line takes the note's most common ending; deleting removes exactly the selected characters.
    void keysKeepTheOtherEndings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("expected");
        const int ret = Qt::Key_Return, back = Qt::Key_Backspace, del = Qt::Key_Delete;
        QTest::newRow("Return: CRLF note") << QByteArray("a\r\nb") << Range{4, 0} << ret << QByteArray("a\r\nb\r\n");
        QTest::newRow("Return: mixed, CRLF most common")
            << QByteArray("a\r\nb\r\nc\nd") << Range{9, 0} << ret << QByteArray("a\r\nb\r\nc\nd\r\n");
        QTest::newRow("Return: mixed, LF most common")
            << QByteArray("a\nb\nc\r\nd") << Range{8, 0} << ret << QByteArray("a\nb\nc\r\nd\n");
        QTest::newRow("Return: CR note") << QByteArray("a\rb") << Range{3, 0} << ret << QByteArray("a\rb\r");
        QTest::newRow("Return: empty note") << QByteArray() << Range{0, 0} << ret << QByteArray("\n");
        QTest::newRow("Return: one line") << QByteArray("abc") << Range{1, 0} << ret << QByteArray("a\nbc");
        QTest::newRow("Return: splitting a CR line keeps its CR")
            << QByteArray("a\r\nbc\rd\r\n") << Range{4, 0} << ret << QByteArray("a\r\nb\r\nc\rd\r\n");
        QTest::newRow("Return: at the start of a CR line")
            << QByteArray("a\r\nb\rc\r\n") << Range{5, 0} << ret << QByteArray("a\r\nb\r\r\nc\r\n");
        QTest::newRow("Shift+Return is a new line too")
            << QByteArray("a\r\nb") << Range{4, 0} << (Qt::ShiftModifier | Qt::Key_Return).toCombined()
            << QByteArray("a\r\nb\r\n");
        QTest::newRow("Backspace joins CRLF lines") << QByteArray("a\r\nb") << Range{3, 0} << back << QByteArray("ab");
        QTest::newRow("Delete joins CRLF lines") << QByteArray("a\r\nb") << Range{1, 0} << del << QByteArray("ab");
        QTest::newRow("Backspace joins a CR line in a CRLF note")
            << QByteArray("a\r\nb\rc\r\nd") << Range{5, 0} << back << QByteArray("a\r\nbc\r\nd");
        QTest::newRow("Backspace joins an LF line in a CRLF note")
            << QByteArray("x\r\ny\r\nz\nw") << Range{8, 0} << back << QByteArray("x\r\ny\r\nzw");
        QTest::newRow("Delete joins a CR line, keeping the ending before")
            << QByteArray("a\nb\rc\r\nd") << Range{3, 0} << del << QByteArray("a\nbc\r\nd");
        QTest::newRow("selection from a line start over a CR")
            << QByteArray("a\r\nb\rc\nd") << Range{3, 3} << del << QByteArray("a\r\n\nd");
        QTest::newRow("selection across several endings")
            << QByteArray("a\rb\r\nc\nd\re") << Range{1, 7} << back << QByteArray("a\re");
        QTest::newRow("Backspace after an empty line")
            << QByteArray("a\r\n\nb") << Range{4, 0} << back << QByteArray("a\r\nb");
        QTest::newRow("Delete on an empty line")
            << QByteArray("a\r\n\nb") << Range{3, 0} << del << QByteArray("a\r\nb");
        QTest::newRow("whole note") << QByteArray("a\rb\r\nc") << Range{0, 6} << del << QByteArray();
        const QByteArray longLine = QByteArray(2048, 'a') + " b\r\nc";
        QTest::newRow("Backspace where a long line is cut")
            << longLine << Range{2048, 0} << back << QByteArray(2047, 'a') + " b\r\nc";
        QTest::newRow("deleting a selection over a cut")
            << longLine << Range{2040, 10} << del << QByteArray(2040, 'a') + "\r\nc";
    }

    void keysKeepTheOtherEndings()
    {
        QFETCH(QByteArray, file);
        QFETCH(Range, selection);
        QFETCH(int, key);
        QFETCH(QByteArray, expected);
        NoteTextView view;
        view.setText(decode(file));
        view.setSelectedRange(selection);
        QTest::keyClick(&view, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(view.text().toUtf8(), expected);
        QCOMPARE(view.snapshot().text().toUtf8(), expected);
        view.undo();
        QCOMPARE(view.text().toUtf8(), file);
        QCOMPARE(view.snapshot().text().toUtf8(), file);
        view.redo();
        QCOMPARE(view.text().toUtf8(), expected);
    }

    void mapsRanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Range>("set");
        QTest::addColumn<Range>("expected");
        const QString crlf = QStringLiteral("ab\r\ncd\r\nef");
        QTest::newRow("CRLF before the selection") << crlf << Range{8, 2} << Range{8, 2};
        QTest::newRow("selection spanning a CRLF") << crlf << Range{1, 4} << Range{1, 4};
        QTest::newRow("start between CR and LF goes before the break") << crlf << Range{3, 2} << Range{2, 3};
        QTest::newRow("end between CR and LF goes before the break") << crlf << Range{0, 3} << Range{0, 2};
        QTest::newRow("clamped: location past the end") << crlf << Range{20, 5} << Range{10, 0};
        QTest::newRow("clamped: length past the end") << crlf << Range{8, 10} << Range{8, 2};
        QTest::newRow("clamped: negative location") << crlf << Range{-3, 2} << Range{0, 2};
        QTest::newRow("clamped: negative length") << crlf << Range{4, -1} << Range{4, 0};
        QTest::newRow("emoji counts two units")
            << QString::fromUtf8("\xf0\x9f\x8c\xb1\r\nx") << Range{4, 1} << Range{4, 1};
        QTest::newRow("LF note") << QStringLiteral("ab\ncd") << Range{2, 2} << Range{2, 2};
        QTest::newRow("mixed endings") << QStringLiteral("a\rb\r\nc\nd") << Range{5, 3} << Range{5, 3};
        QTest::newRow("CRLF note with one LF") << QStringLiteral("a\r\nb\nc\r\nd") << Range{4, 3} << Range{4, 2};
        QTest::newRow("mixed, clamped: length past the end")
            << QStringLiteral("a\rb\r\nc") << Range{5, 10} << Range{5, 1};
        QTest::newRow("mixed, clamped: location past the end")
            << QStringLiteral("a\rb\r\nc") << Range{9, 1} << Range{6, 0};
        QTest::newRow("LF, clamped: location past the end") << QStringLiteral("a\nb") << Range{9, 1} << Range{3, 0};
        QTest::newRow("last line of a CRLF note with one CR")
            << QStringLiteral("a\r\nb\rc\r\nd") << Range{8, 1} << Range{8, 1};
    }

    void mapsRanges()
    {
        QFETCH(QString, text);
        QFETCH(Range, set);
        QFETCH(Range, expected);
        NoteTextView view;
        view.setText(text);
        view.setSelectedRange(set);
        QCOMPARE(view.selectedRange(), expected);
        QCOMPARE(view.selectedRanges(), QList<Range>{expected});
        view.copy();
        if (expected.length > 0)
            QCOMPARE(QGuiApplication::clipboard()->text(), text.mid(expected.location, expected.length));
    }

    void copiesAndPastesTheNotesCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("mixed endings") << QStringLiteral("a\r\nb\nc\rd\r\n");
        QTest::newRow("no-break space and U+2028") << QStringLiteral("a\u00a0b\u2028c");
        QTest::newRow("literal U+2029 in a CRLF note") << QStringLiteral("a\u2029b\r\nc\r\n");
        QTest::newRow("NUL and byte-order mark") << QStringView(u"\ufeffa\0b", 4).toString();
    }

    void copiesAndPastesTheNotesCharacters()
    {
        QFETCH(QString, text);
        NoteTextView view;
        view.setText(text);
        view.selectAll();
        view.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        // Pasted into a note with other endings, the pasted lines keep theirs.
        view.setText(QStringLiteral("x\n"));
        view.moveCursor(QTextCursor::End);
        view.paste();
        QCOMPARE(view.text(), QStringLiteral("x\n") + text);
        view.undo();
        QCOMPARE(view.text(), QStringLiteral("x\n"));
    }

    void pastesPlainTextOnly_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<bool>("insertable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("rich: its plain part") << "<b>bold</b> <i>text</i>"
                                              << "bold text" << true << "bold text";
        QTest::newRow("rich without plain text: nothing") << "<b>bold</b>" << QString() << false << QString();
        QTest::newRow("plain text") << QString() << "plain" << true << "plain";
    }

    void pastesPlainTextOnly()
    {
        QFETCH(QString, html);
        QFETCH(QString, plain);
        QFETCH(bool, insertable);
        QFETCH(QString, expected);
        QMimeData mime;
        if (!html.isNull())
            mime.setHtml(html);
        if (!plain.isNull())
            mime.setText(plain);
        ExposedView view;
        QCOMPARE(view.canInsertFromMimeData(&mime), insertable);
        view.insertFromMimeData(&mime);
        QCOMPARE(view.text(), expected);
        for (QTextBlock::iterator it = view.document()->begin().begin(); !it.atEnd(); ++it) {
            QCOMPARE(it.fragment().charFormat().fontWeight(), int(QFont::Normal));
            QVERIFY(!it.fragment().charFormat().fontItalic());
        }
    }

    void dropInsertsPlainTextAtTheDropPoint()
    {
        NoteTextView view;
        view.resize(300, 200);
        view.setText(QStringLiteral("one\r\n"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy edited(&view, &NoteTextView::textEdited);
        QMimeData mime;
        mime.setHtml(QStringLiteral("<b>two</b>"));
        mime.setText(QStringLiteral("two\n"));
        const QPoint point = view.cursorRect(QTextCursor(view.document()->lastBlock())).center();
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &drop);
        QCOMPARE(view.text(), QStringLiteral("one\r\ntwo\n"));
        QCOMPARE(edited.count(), 1);
    }

    void signalsUserEditsOnly_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("edited");
        QTest::newRow("typing") << Action([](NoteTextView &v) { type(&v, QStringLiteral("x")); }) << true;
        QTest::newRow("Return") << Action([](NoteTextView &v) { QTest::keyClick(&v, Qt::Key_Return); }) << true;
        QTest::newRow("Backspace") << Action([](NoteTextView &v) { QTest::keyClick(&v, Qt::Key_Backspace); }) << true;
        QTest::newRow("paste") << Action([](NoteTextView &v) { v.paste(); }) << true;
        QTest::newRow("cut") << Action([](NoteTextView &v) { v.cut(); }) << true;
        QTest::newRow("Delete command") << Action([](NoteTextView &v) { v.deleteSelection(nullptr); }) << true;
        QTest::newRow("undo") << Action([](NoteTextView &v) { v.undo(); }) << true;
        QTest::newRow("redo") << Action([](NoteTextView &v) { v.redo(); }) << true;
        QTest::newRow("not: setText") << Action([](NoteTextView &v) { v.setText(QStringLiteral("new\rtext")); })
                                      << false;
        QTest::newRow("not: selecting") << Action([](NoteTextView &v) { v.setSelectedRange({0, 2}); }) << false;
        QTest::newRow("not: copying") << Action([](NoteTextView &v) { v.copy(); }) << false;
        QTest::newRow("not: words marked by a highlighter")
            << Action([](NoteTextView &v) { (new WordMarker(v.document()))->rehighlight(); }) << false;
    }

    void signalsUserEditsOnly()
    {
        QFETCH(Action, action);
        QFETCH(bool, edited);
        NoteTextView view;
        view.setText(QStringLiteral("one\r\ntwo three\r\n"));
        view.setSelectedRange({5, 3});
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted\r\n"));
        // Two separate edits, one undone: there is something to undo and something to redo.
        type(&view, QStringLiteral("x"));
        view.setSelectedRange({0, 0});
        type(&view, QStringLiteral("y"));
        view.undo();
        view.setSelectedRange({5, 3});
        QSignalSpy spy(&view, &NoteTextView::textEdited);
        action(view);
        QCOMPARE(spy.count() > 0, edited);
    }

    void setTextLeavesNoHistory()
    {
        NoteTextView view;
        view.setText(QStringLiteral("a\r\nb\r\r\nc"));
        QVERIFY(!view.document()->isUndoAvailable());
        // Typed on the empty line after the CR, where the caret takes on that break's format.
        view.setSelectedRange({5, 0});
        type(&view, QStringLiteral("x"));
        QCOMPARE(view.text(), QStringLiteral("a\r\nb\rx\r\nc"));
        QVERIFY(view.document()->isUndoAvailable());
        view.setText(QStringLiteral("other\r\nmore\nlast\r\n"));
        QVERIFY(!view.document()->isUndoAvailable());
        QCOMPARE(view.text(), QStringLiteral("other\r\nmore\nlast\r\n"));
    }

    void drawsTheCaretInTheNoteColour_data()
    {
        QTest::addColumn<int>("flashTime");
        QTest::newRow("steady caret") << 0;
        QTest::newRow("blinking caret") << 200;
    }

    void drawsTheCaretInTheNoteColour()
    {
        QFETCH(int, flashTime);
        QStyleHints *hints = QGuiApplication::styleHints();
        const auto restoreFlashTime =
            qScopeGuard([hints, old = hints->cursorFlashTime()] { hints->setCursorFlashTime(old); });
        hints->setCursorFlashTime(flashTime);
        NoteTextView view;
        view.resize(300, 200);
        view.setText(QStringLiteral("caret"));
        view.show();
        view.activateWindow();
        view.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTRY_VERIFY(view.hasFocus());
        view.moveCursor(QTextCursor::End);
        const QRect cursor = view.cursorRect();
        const QPoint probe(cursor.left() + 1, cursor.center().y());
        const auto caretShown = [&] {
            return view.viewport()->grab().toImage().pixelColor(probe) == NoteTextView::caretColor();
        };
        QVERIFY(caretShown());
        if (flashTime > 0) {
            QTRY_VERIFY(!caretShown());
            QTRY_VERIFY(caretShown());
        }
        view.clearFocus();
        QTRY_VERIFY(!caretShown());
    }
};

QTEST_MAIN(TestNoteTextView)
#include "tst_notetextview.moc"
