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

Q_DECLARE_METATYPE(Range)

namespace {

// The note's text as the document decodes it: strict UTF-8 with a leading byte-order mark kept.
QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return text;
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
    void keepsBytesWhenTyping_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("LF") << QByteArray("one\ntwo\n") << "x" << QByteArray("one\ntwo\nx");
        QTest::newRow("CRLF") << QByteArray("one\r\ntwo\r\n") << "x" << QByteArray("one\r\ntwo\r\nx");
        QTest::newRow("mixed CRLF, LF and CR")
            << QByteArray("a\r\nb\nc\rd\r\ne") << "x" << QByteArray("a\r\nb\nc\rd\r\nex");
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << "x" << QByteArray("a\rb\rx");
        QTest::newRow("LF then CR is two breaks") << QByteArray("a\n\rb") << "x" << QByteArray("a\n\rbx");
        QTest::newRow("blank CRLF lines") << QByteArray("\r\n\r\n") << "x" << QByteArray("\r\n\r\nx");
        QTest::newRow("no-break space") << QByteArray("a\xc2\xa0"
                                                      "b")
                                        << "x"
                                        << QByteArray("a\xc2\xa0"
                                                      "bx");
        QTest::newRow("line separator U+2028") << QByteArray("a\xe2\x80\xa8"
                                                             "b")
                                               << "x"
                                               << QByteArray("a\xe2\x80\xa8"
                                                             "bx");
        QTest::newRow("literal U+2029") << QByteArray("a\xe2\x80\xa9"
                                                      "b\n")
                                        << "x"
                                        << QByteArray("a\xe2\x80\xa9"
                                                      "b\nx");
        QTest::newRow("only U+2029 breaks") << QByteArray("a\xe2\x80\xa9"
                                                          "b")
                                            << "x"
                                            << QByteArray("a\xe2\x80\xa9"
                                                          "bx");
        QTest::newRow("noncharacters U+FDD0 and U+FDD1") << QByteArray("a\xef\xb7\x90"
                                                                       "b\xef\xb7\x91"
                                                                       "c\n")
                                                         << "x"
                                                         << QByteArray("a\xef\xb7\x90"
                                                                       "b\xef\xb7\x91"
                                                                       "c\nx");
        QTest::newRow("NUL") << QByteArray("a\0b\n", 4) << "x" << QByteArray("a\0b\nx", 5);
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfhello\r\n") << "x"
                                         << QByteArray("\xef\xbb\xbfhello\r\nx");
        QTest::newRow("emoji, typing non-ASCII") << QByteArray("\xf0\x9f\x8c\xb1\r\n") << QString::fromUtf8("é")
                                                 << QByteArray("\xf0\x9f\x8c\xb1\r\n\xc3\xa9");
        QTest::newRow("no final newline") << QByteArray("last line") << "x" << QByteArray("last linex");
        QTest::newRow("empty") << QByteArray() << "x" << QByteArray("x");
    }

    void keepsBytesWhenTyping()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, typed);
        QFETCH(QByteArray, expected);
        NoteTextView view;
        const QString text = decode(file);
        view.setText(text);
        QCOMPARE(view.text().toUtf8(), file);
        QCOMPARE(view.textLength(), text.size());
        view.moveCursor(QTextCursor::End);
        type(&view, typed);
        QCOMPARE(view.text().toUtf8(), expected);
        QCOMPARE(view.textLength(), decode(expected).size());
    }

    void newLineTakesTheNotesEnding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qsizetype>("caret");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("CRLF note") << QByteArray("a\r\nb") << qsizetype(4) << Qt::KeyboardModifiers()
                                   << QByteArray("a\r\nb\r\n");
        QTest::newRow("mixed, CRLF most common") << QByteArray("a\r\nb\r\nc\nd") << qsizetype(9)
                                                 << Qt::KeyboardModifiers() << QByteArray("a\r\nb\r\nc\nd\r\n");
        QTest::newRow("mixed, LF most common")
            << QByteArray("a\nb\nc\r\nd") << qsizetype(8) << Qt::KeyboardModifiers() << QByteArray("a\nb\nc\r\nd\n");
        QTest::newRow("CR note") << QByteArray("a\rb") << qsizetype(3) << Qt::KeyboardModifiers()
                                 << QByteArray("a\rb\r");
        QTest::newRow("empty note") << QByteArray() << qsizetype(0) << Qt::KeyboardModifiers() << QByteArray("\n");
        QTest::newRow("one line") << QByteArray("abc") << qsizetype(1) << Qt::KeyboardModifiers()
                                  << QByteArray("a\nbc");
        QTest::newRow("splitting a CR line keeps its CR")
            << QByteArray("a\r\nbc\rd\r\n") << qsizetype(4) << Qt::KeyboardModifiers()
            << QByteArray("a\r\nb\r\nc\rd\r\n");
        QTest::newRow("at the start of a CR line") << QByteArray("a\r\nb\rc\r\n") << qsizetype(5)
                                                   << Qt::KeyboardModifiers() << QByteArray("a\r\nb\r\r\nc\r\n");
        QTest::newRow("Shift+Return is a new line too")
            << QByteArray("a\r\nb") << qsizetype(4) << Qt::KeyboardModifiers(Qt::ShiftModifier)
            << QByteArray("a\r\nb\r\n");
    }

    void newLineTakesTheNotesEnding()
    {
        QFETCH(QByteArray, file);
        QFETCH(qsizetype, caret);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QByteArray, expected);
        NoteTextView view;
        view.setText(decode(file));
        view.setSelectedRange({caret, 0});
        QTest::keyClick(&view, Qt::Key_Return, modifiers);
        QCOMPARE(view.text().toUtf8(), expected);
        view.undo();
        QCOMPARE(view.text().toUtf8(), file);
        view.redo();
        QCOMPARE(view.text().toUtf8(), expected);
    }

    void deletingRemovesExactlyWhatWasSelected_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("Backspace joins CRLF lines")
            << QByteArray("a\r\nb") << Range{3, 0} << int(Qt::Key_Backspace) << QByteArray("ab");
        QTest::newRow("Delete joins CRLF lines")
            << QByteArray("a\r\nb") << Range{1, 0} << int(Qt::Key_Delete) << QByteArray("ab");
        QTest::newRow("Backspace joins a CR line in a CRLF note")
            << QByteArray("a\r\nb\rc\r\nd") << Range{5, 0} << int(Qt::Key_Backspace) << QByteArray("a\r\nbc\r\nd");
        QTest::newRow("Backspace joins an LF line in a CRLF note")
            << QByteArray("x\r\ny\r\nz\nw") << Range{8, 0} << int(Qt::Key_Backspace) << QByteArray("x\r\ny\r\nzw");
        QTest::newRow("Delete joins a CR line, keeping the ending before")
            << QByteArray("a\nb\rc\r\nd") << Range{3, 0} << int(Qt::Key_Delete) << QByteArray("a\nbc\r\nd");
        QTest::newRow("selection from a line start over a CR")
            << QByteArray("a\r\nb\rc\nd") << Range{3, 3} << int(Qt::Key_Delete) << QByteArray("a\r\n\nd");
        QTest::newRow("selection across several endings")
            << QByteArray("a\rb\r\nc\nd\re") << Range{1, 7} << int(Qt::Key_Backspace) << QByteArray("a\re");
        QTest::newRow("Backspace after an empty line")
            << QByteArray("a\r\n\nb") << Range{4, 0} << int(Qt::Key_Backspace) << QByteArray("a\r\nb");
        QTest::newRow("Delete on an empty line")
            << QByteArray("a\r\n\nb") << Range{3, 0} << int(Qt::Key_Delete) << QByteArray("a\r\nb");
        QTest::newRow("whole note") << QByteArray("a\rb\r\nc") << Range{0, 6} << int(Qt::Key_Delete) << QByteArray();
    }

    void deletingRemovesExactlyWhatWasSelected()
    {
        QFETCH(QByteArray, file);
        QFETCH(Range, selection);
        QFETCH(int, key);
        QFETCH(QByteArray, expected);
        NoteTextView view;
        view.setText(decode(file));
        view.setSelectedRange(selection);
        QTest::keyClick(&view, Qt::Key(key));
        QCOMPARE(view.text().toUtf8(), expected);
        view.undo();
        QCOMPARE(view.text().toUtf8(), file);
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
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("edited");
        QTest::newRow("typing") << "type" << true;
        QTest::newRow("Return") << "return" << true;
        QTest::newRow("Backspace") << "backspace" << true;
        QTest::newRow("paste") << "paste" << true;
        QTest::newRow("cut") << "cut" << true;
        QTest::newRow("Delete command") << "deleteSelection" << true;
        QTest::newRow("undo") << "undo" << true;
        QTest::newRow("redo") << "redo" << true;
        QTest::newRow("not: setText") << "setText" << false;
        QTest::newRow("not: selecting") << "select" << false;
        QTest::newRow("not: copying") << "copy" << false;
        QTest::newRow("not: words marked by a highlighter") << "highlight" << false;
    }

    void signalsUserEditsOnly()
    {
        QFETCH(QString, action);
        QFETCH(bool, edited);
        NoteTextView view;
        view.setText(QStringLiteral("one\r\ntwo three\r\n"));
        WordMarker marker(static_cast<QObject *>(nullptr));
        view.setSelectedRange({5, 3});
        if (action == u"undo" || action == u"redo")
            type(&view, QStringLiteral("x"));
        if (action == u"redo")
            view.undo();
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted\r\n"));
        QSignalSpy spy(&view, &NoteTextView::textEdited);

        if (action == u"type")
            type(&view, QStringLiteral("x"));
        else if (action == u"return")
            QTest::keyClick(&view, Qt::Key_Return);
        else if (action == u"backspace")
            QTest::keyClick(&view, Qt::Key_Backspace);
        else if (action == u"paste")
            view.paste();
        else if (action == u"cut")
            view.cut();
        else if (action == u"deleteSelection")
            view.deleteSelection(nullptr);
        else if (action == u"undo")
            view.undo();
        else if (action == u"redo")
            view.redo();
        else if (action == u"setText")
            view.setText(QStringLiteral("new\rtext"));
        else if (action == u"select")
            view.setSelectedRange({0, 2});
        else if (action == u"copy")
            view.copy();
        else if (action == u"highlight") {
            marker.setDocument(view.document());
            marker.rehighlight();
        }

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
