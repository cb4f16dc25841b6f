#include "editor/view/notecaret.h"
#include "editor/view/noteloader.h"
#include "editor/view/notetextview.h"
#include "storage/notecodec.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;
using Range = NoteTextView::Range;

Q_DECLARE_METATYPE(Range)

class TestNoteTextView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A save encodes the mirror's pieces straight into the file's bytes: a break or a character may sit at the edge
    // of a piece, and the text not yet in the view follows as it is.
    void encodesSnapshots_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<int>("defaultEnding");
        QTest::addColumn<QList<int>>("endings");
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QByteArray>("expected");
        const int lf = int(NoteTextView::LineEnding::Lf), crlf = int(NoteTextView::LineEnding::CrLf),
                  cr = int(NoteTextView::LineEnding::Cr), wrap = int(NoteTextView::LineEnding::Wrap);
        QTest::newRow("CRLF break ending a piece") << QStringList{u"ab\u2029"_s, u"\u2029cd"_s} << crlf << QList<int>{}
                                                   << QString() << QByteArray("ab\r\n\r\ncd");
        QTest::newRow("lone surrogates") << QStringList{u"a"_s + QChar(0xD83C), u"\u2029b"_s + QChar(0xDF31)} << lf
                                         << QList<int>{} << QString() << QByteArray("a?\nb?");
        QTest::newRow("mixed endings, a cut, text still loading")
            << QStringList{u"x\u2029y\u2029"_s, u"z\u2029"_s} << lf << QList<int>{cr, wrap} << u"--\r\n\u2029"_s
            << QByteArray("x\ryz\n\r\n\342\200\251");
    }

    void encodesSnapshots()
    {
        QFETCH(QStringList, pieces);
        QFETCH(int, defaultEnding);
        QFETCH(QList<int>, endings);
        QFETCH(QString, pending);
        QFETCH(QByteArray, expected);
        NoteTextView::Snapshot snapshot;
        // Cut at the length of each row's first piece, which puts a break or half a character at a piece's edge.
        snapshot.text = TextMirror(pieces.first().size());
        snapshot.text.reset(pieces.join(QString()));
        snapshot.defaultEnding = NoteTextView::LineEnding(defaultEnding);
        snapshot.mixedEndings = !endings.isEmpty();
        for (const int ending : endings)
            snapshot.endings.push_back(static_cast<signed char>(ending));
        snapshot.pending = pending;
        snapshot.pendingFrom = pending.isEmpty() ? 0 : 2;
        QCOMPARE(snapshot.bytes().joined(), expected);
    }

    // The mirror follows each edit from where the last one left off: typing on, deleting back, and jumps to any
    // place, across the edges of its pieces and between the halves of no character.
    void mirrorFollowsEdits()
    {
        QRandomGenerator random(31);
        TextMirror mirror(4);
        QString text = u"ab\U0001F331cd\u2029\u00e9"_s.repeated(6);
        mirror.reset(text);
        qsizetype at = 0;
        for (int step = 0; step < 3000; ++step) {
            const int kind = random.bounded(10);
            qsizetype removed = 0;
            QString added;
            if (kind < 5) {
                added = kind == 0 ? u"\U0001F331"_s : kind == 1 ? u"\u2029"_s : QString(QChar(u'a' + kind));
            } else if (kind < 8) {
                at = std::max<qsizetype>(at - 1, 0);
                removed = at < text.size() ? 1 : 0;
            } else {
                at = random.bounded(int(text.size()) + 1);
                removed = random.bounded(int(std::min<qsizetype>(text.size() - at, 12)) + 1);
                added = u"xyz\u00e9"_s.left(random.bounded(5));
            }
            // Whole characters only: the view never edits half of one.
            if (at > 0 && at < text.size() && text[at].isLowSurrogate())
                --at;
            if (at + removed < text.size() && text[at + removed].isLowSurrogate())
                ++removed;
            QVERIFY(mirror.replace(at, removed, added));
            text.replace(at, removed, added);
            at += added.size();
            QCOMPARE(mirror.pieces().join(), LineEndings::rawBytes(text));
        }
    }

    // Typing changes only the typed bytes: a new line takes the note's most common ending, deleting removes exactly
    // the selected characters.
    void keysKeepTheOtherEndings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("expected");
        const int ret = Qt::Key_Return, back = Qt::Key_Backspace;
        QTest::newRow("a letter after a byte-order mark") << QByteArray("\357\273\277hello\r\n") << Range{8, 0}
                                                          << int(Qt::Key_X) << QByteArray("\357\273\277hello\r\nx");
        QTest::newRow("a big note, put into the view in parts")
            << QByteArray("line\r\n").repeated(200000) << Range{0, 0} << int(Qt::Key_X)
            << "x" + QByteArray("line\r\n").repeated(200000);
        QTest::newRow("a letter after a literal U+2029")
            << QByteArray("a\342\200\251b\n") << Range{4, 0} << int(Qt::Key_X) << QByteArray("a\342\200\251b\nx");
        QTest::newRow("Return: splitting a CR line, CRLF most common")
            << QByteArray("a\r\nbc\rd\r\n") << Range{4, 0} << ret << QByteArray("a\r\nb\r\nc\rd\r\n");
        QTest::newRow("Return: CRLF most common, breaks across runs of sixteen")
            << QByteArray("abcdefghijklmno\r\n").repeated(40) + QByteArray("x\n").repeated(38) << Range{0, 0} << ret
            << "\r\n" + QByteArray("abcdefghijklmno\r\n").repeated(40) + QByteArray("x\n").repeated(38);
        QTest::newRow("selection across several endings")
            << QByteArray("a\rb\r\nc\nd\re") << Range{1, 7} << back << QByteArray("a\re");
        QTest::newRow("Backspace where a long line is cut")
            << QByteArray(2048, 'a') + " b\r\nc" << Range{2048, 0} << back << QByteArray(2047, 'a') + " b\r\nc";
        // No selection: the key is typed while the view waits for its note, and goes in once the note is there.
        QTest::newRow("typed before a short note is read")
            << QByteArray("hello\r\n") << Range{-1, 0} << int(Qt::Key_X) << QByteArray("xhello\r\n");
        QTest::newRow("typed before a big note is read")
            << QByteArray("line\r\n").repeated(200000) << Range{-1, 0} << int(Qt::Key_X)
            << "x" + QByteArray("line\r\n").repeated(200000);
    }

    void keysKeepTheOtherEndings()
    {
        QFETCH(QByteArray, file);
        QFETCH(Range, selection);
        QFETCH(int, key);
        QFETCH(QByteArray, expected);
        NoteLoader::compactPendingAbove = 1024 * 1024;
        NoteTextView view;
        if (selection.location < 0) {
            view.awaitText();
            QTest::keyClick(&view, Qt::Key(key));
            QVERIFY(view.text().isEmpty() && view.isLoading());
        }
        view.setText(*NoteCodec::decode(file));
        QTRY_VERIFY(!view.isLoading());
        if (selection.location >= 0) {
            view.setSelectedRange(selection);
            QTest::keyClick(&view, Qt::Key(key));
        }
        QCOMPARE(view.snapshot().bytes().joined(), expected);
        view.undo();
        QCOMPARE(view.snapshot().bytes().joined(), file);
    }

    // The caret shows in the note's colour where typing goes, at once after each key, and not while the view has
    // no focus.
    void caretShowsWhereTypingGoes()
    {
        NoteTextView view;
        view.setText(u"hello\nworld"_s);
        view.resize(300, 200);
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        const auto caretColumns = [&view] {
            const QImage image = view.viewport()->grab().toImage();
            QList<int> columns;
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, view.cursorRect().center().y()) == NoteCaret::color())
                    columns.append(x);
            }
            return columns;
        };
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_Down, Qt::Key_Home}) {
            QTest::keyClick(&view, key);
            QCOMPARE(caretColumns(), (QList<int>{view.cursorRect().left(), view.cursorRect().left() + 1}));
        }
        view.clearFocus();
        QCOMPARE(caretColumns(), QList<int>());
    }

    // A range starting or ending between CR and LF is moved before the break.
    void mapsRanges()
    {
        NoteTextView view;
        view.setText(QStringLiteral("ab\r\ncd\r\nef"));
        view.setSelectedRange({3, 2});
        QCOMPARE(view.selectedRange(), (Range{2, 3}));
        view.setSelectedRange({0, 3});
        QCOMPARE(view.selectedRange(), (Range{0, 2}));
    }

    // However the caret or the anchor comes between the halves of an emoji (Qt's hit testing does so in lines that
    // mix directions), it moves off before anything is typed there: half a character cannot be written.
    void typingNeverSplitsACharacter_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        QTest::newRow("caret inside the emoji") << 1 << 1 << u"x🌱b"_s;
        QTest::newRow("selection from inside the emoji") << 1 << 3 << u"x"_s;
        QTest::newRow("selection to inside the emoji") << 3 << 1 << u"x"_s;
    }

    void typingNeverSplitsACharacter()
    {
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFETCH(QString, expected);
        NoteTextView view;
        view.setText(u"🌱b"_s);
        QTextCursor cursor(view.document());
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        view.setTextCursor(cursor);
        QTest::keyClicks(&view, u"x"_s);
        QCOMPARE(view.text(), expected);
    }
};

QTEST_MAIN(TestNoteTextView)
#include "tst_notetextview.moc"
