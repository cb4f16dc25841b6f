#include "editor/notetextview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QSyntaxHighlighter>
#include <QTest>
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

} // namespace

class TestNoteTextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Opening such a note and typing at its end changes only the typed bytes.
    void keepsBytesWhenTyping_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("mixed CRLF, LF and CR") << QByteArray("a\r\nb\nc\rd\r\ne");
        QTest::newRow("literal U+2029") << QByteArray("a\342\200\251b\n");
        QTest::newRow("byte-order mark") << QByteArray("\357\273\277hello\r\n");
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
        QTRY_VERIFY(!view.isLoading());
        // A long line is held in pieces, so that a keystroke lays out only a piece.
        if (QByteArray(QTest::currentDataTag()).startsWith("long"))
            QVERIFY(view.document()->blockCount() > 3);
        view.moveCursor(QTextCursor::End);
        type(&view, QStringLiteral("x\u00e9"));
        const QByteArray expected = file + "x\303\251";
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
        const int ret = Qt::Key_Return, back = Qt::Key_Backspace;
        QTest::newRow("Return: mixed, CRLF most common")
            << QByteArray("a\r\nb\r\nc\nd") << Range{9, 0} << ret << QByteArray("a\r\nb\r\nc\nd\r\n");
        QTest::newRow("Return: splitting a CR line keeps its CR")
            << QByteArray("a\r\nbc\rd\r\n") << Range{4, 0} << ret << QByteArray("a\r\nb\r\nc\rd\r\n");
        QTest::newRow("Backspace joins CRLF lines") << QByteArray("a\r\nb") << Range{3, 0} << back << QByteArray("ab");
        QTest::newRow("selection across several endings")
            << QByteArray("a\rb\r\nc\nd\re") << Range{1, 7} << back << QByteArray("a\re");
        const QByteArray longLine = QByteArray(2048, 'a') + " b\r\nc";
        QTest::newRow("Backspace where a long line is cut")
            << longLine << Range{2048, 0} << back << QByteArray(2047, 'a') + " b\r\nc";
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
        QCOMPARE(view.snapshot().text().toUtf8(), file);
    }

    void mapsRanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Range>("set");
        QTest::addColumn<Range>("expected");
        const QString crlf = QStringLiteral("ab\r\ncd\r\nef");
        QTest::newRow("start between CR and LF goes before the break") << crlf << Range{3, 2} << Range{2, 3};
        QTest::newRow("end between CR and LF goes before the break") << crlf << Range{0, 3} << Range{0, 2};
        QTest::newRow("clamped: location past the end") << crlf << Range{20, 5} << Range{10, 0};
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

    void copiesAndPastesTheNotesCharacters()
    {
        const QString text = QStringLiteral("a\r\nb\nc\rd\r\n");
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

    void signalsUserEditsOnly_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("edited");
        QTest::newRow("typing") << Action([](NoteTextView &v) { type(&v, QStringLiteral("x")); }) << true;
        QTest::newRow("not: setText") << Action([](NoteTextView &v) { v.setText(QStringLiteral("new\rtext")); })
                                      << false;
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
        QSignalSpy spy(&view, &NoteTextView::textEdited);
        action(view);
        QCOMPARE(spy.count() > 0, edited);
    }
};

QTEST_MAIN(TestNoteTextView)
#include "tst_notetextview.moc"
