#include "editor/wordcounter.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Words joined by the separators a note has: spaces, a comma, a line break, a tab.
QString wordsText(int words)
{
    static const QString separators[] = {QStringLiteral(" "), QStringLiteral(", "), QStringLiteral("\n"),
                                         QStringLiteral("\t"), QStringLiteral("  ")};
    QString text;
    for (int i = 0; i < words; ++i)
        text += (i % 7 == 0 ? QStringLiteral("Note") : QStringLiteral("word%1").arg(i % 5)) + separators[i % 5];
    return text;
}

// Pieces a random edit inserts: words of several scripts, spaces, punctuation, paragraph and line breaks.
const QString pieces[] = {
    QStringLiteral("word"),
    QStringLiteral(" "),
    QStringLiteral("\n"),
    QStringLiteral("two words "),
    QStringLiteral(", "),
    QStringLiteral("e.g."),
    QStringLiteral("3.14"),
    QStringLiteral(u"café"),
    QStringLiteral(u"我喜欢吃苹果"),
    QStringLiteral(u"日本語を話します"),
    QStringLiteral(u"🌱"),
    QStringLiteral(u"\u2028"),
    QStringLiteral("a\nb"),
    QStringLiteral("x"),
    QStringLiteral("\n\n"),
    QStringLiteral(u"don't"),
};

// Pieces for long paragraphs, rich in what sits around a space: marks and joiners after or before it,
// flags, ideographic space, no-break space, line separators.
const QString inlinePieces[] = {
    QStringLiteral("word"),      QStringLiteral(" "),       QStringLiteral("  "),      QStringLiteral(u"\u3000"),
    QStringLiteral(u"\u00A0"),   QStringLiteral(u"\u0301"), QStringLiteral(u"\u200D"), QStringLiteral(u"🇩🇪🇫🇷"),
    QStringLiteral("e.g. "),     QStringLiteral("3.14"),    QStringLiteral(","),       QStringLiteral(u"我喜欢吃苹果"),
    QStringLiteral(u"カタカナ"), QStringLiteral(u"\u2028"), QStringLiteral("don't "),  QStringLiteral(u"👩\u200D💻"),
    QStringLiteral("x"),         QStringLiteral(u"café "),  QStringLiteral("'"),       QStringLiteral("a:b "),
};

QString randomInline(QRandomGenerator &random, int pieces)
{
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += inlinePieces[random.bounded(int(std::size(inlinePieces)))];
    return text;
}

} // namespace

class TestWordCounter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void count_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("words");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("blanks only") << QStringLiteral(" \t\n\r\n  \u00A0\u2028\u2029") << 0;
        QTest::newRow("punctuation only") << QStringLiteral("... , ; !? -- ()[]") << 0;
        QTest::newRow("runs of spaces") << QStringLiteral("a   b    c") << 3;
        QTest::newRow("comma and space") << QStringLiteral("one, two") << 2;
        QTest::newRow("1234 words") << wordsText(1234) << 1234;
        QTest::newRow("words across lines") << QStringLiteral("one\ntwo\r\nthree\rfour\u2028five\u2029six") << 6;
        // ICU keeps a period between letters inside the word, so "e.g." is one word and its final period none.
        QTest::newRow("abbreviation e.g. is one word") << QStringLiteral("e.g.") << 1;
        // ICU's default rules leave the colon out of the word-joining punctuation.
        QTest::newRow("a:b is two words") << QStringLiteral("a:b") << 2;
        QTest::newRow("apostrophe inside a word") << QStringLiteral("don't stop") << 2;
        QTest::newRow("numbers 3.14 42") << QStringLiteral("3.14 42") << 2;
        QTest::newRow("grouped number") << QStringLiteral("1,000,000") << 1;
        QTest::newRow("accented letters") << QStringLiteral(u"naïve café Straße") << 3;
        // Dictionary segmentation: 我 / 喜欢 / 吃 / 苹果, not one word per character nor one for the run.
        QTest::newRow("Chinese by dictionary") << QStringLiteral(u"我喜欢吃苹果") << 4;
        // 私 / は / 日本語 / を / 話 / し / ます
        QTest::newRow("Japanese by dictionary") << QStringLiteral(u"私は日本語を話します") << 7;
        QTest::newRow("emoji only") << QStringLiteral(u"🌱 👨‍👩‍👧 ⭐") << 0;
        QTest::newRow("emoji between words") << QStringLiteral(u"plant🌱tree") << 2;
        QTest::newRow("sample note") << QStringLiteral(u"Plain text\nUnicode: café 🌱\n\tIndented\n") << 5;
    }
    void count()
    {
        QFETCH(QString, text);
        QFETCH(int, words);
        QCOMPARE(WordCounter::count(text), words);
        // Counted in a document, paragraph by paragraph, it must come to the same.
        QTextDocument document;
        document.setPlainText(text);
        WordCounter counter(&document);
        QCOMPARE(counter.total(), words);
    }

    void countsAViewWithoutCopying()
    {
        const QString text = QStringLiteral("skip these words then count three words");
        QCOMPARE(WordCounter::count(QStringView(text).sliced(22)), 3);
    }

    void followsRandomEdits()
    {
        QRandomGenerator random(1014);
        QTextDocument document;
        WordCounter counter(&document);
        QSignalSpy totals(&counter, &WordCounter::totalChanged);
        int mostBlocks = 0;
        for (int step = 0; step < 3000; ++step) {
            const int length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            const int kind = random.bounded(20);
            if (kind < 9) {
                // Typing or pasting, which may split a paragraph.
                cursor.setPosition(random.bounded(length + 1));
                cursor.insertText(pieces[random.bounded(int(std::size(pieces)))]);
            } else if (kind < 15 && length > 0) {
                // Deleting a range, which may join paragraphs.
                const int start = random.bounded(length);
                cursor.setPosition(start);
                cursor.setPosition(std::min(length, start + random.bounded(1, 12)), QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else if (kind < 17 && length > 0) {
                // Several edits in one step, as a replace-all or an undo of one does.
                cursor.beginEditBlock();
                cursor.setPosition(random.bounded(length + 1));
                cursor.insertText(QStringLiteral("new\nwords "));
                cursor.setPosition(random.bounded(document.characterCount()));
                cursor.insertBlock();
                cursor.endEditBlock();
            } else if (kind < 19) {
                if (random.bounded(2))
                    document.undo();
                else
                    document.redo();
            } else if (random.bounded(60) == 0) {
                if (random.bounded(3) == 0)
                    document.clear();
                else
                    document.setPlainText(random.bounded(2) ? QString() : QStringLiteral("one\ntwo three\n\nfour"));
            }
            mostBlocks = std::max(mostBlocks, document.blockCount());
            // The full count must leave the paragraph counts right for the edits after it.
            if (step % 400 == 399)
                counter.recountAll();
            const int expected = WordCounter::count(document.toRawText());
            if (counter.total() != expected)
                QFAIL(qPrintable(QStringLiteral("step %1: counted %2, the text has %3 words")
                                     .arg(step)
                                     .arg(counter.total())
                                     .arg(expected)));
            if (!totals.isEmpty())
                QCOMPARE(totals.constLast().at(0).toInt(), counter.total());
        }
        QVERIFY(totals.size() > 100);
        QVERIFY2(mostBlocks > 20, qPrintable(QString::number(mostBlocks)));
    }

    // Long paragraphs are counted in pieces cut before spaces; that is only right if no word rule reaches
    // across a space.
    void spacesCutSafely()
    {
        QRandomGenerator random(2911);
        for (int round = 0; round < 300; ++round) {
            const QString text = randomInline(random, 12);
            const int whole = WordCounter::count(text);
            for (qsizetype i = 1; i < text.size(); ++i) {
                if (text[i] != u' ' && text[i] != u'\u3000')
                    continue;
                const int parts =
                    WordCounter::count(QStringView(text).first(i)) + WordCounter::count(QStringView(text).sliced(i));
                if (parts != whole)
                    QFAIL(qPrintable(QStringLiteral("cut at %1 of \"%2\"").arg(i).arg(text)));
            }
        }
    }

    void followsEditsInALongParagraph()
    {
        QRandomGenerator random(3007);
        QTextDocument document;
        QTextCursor(&document).insertText(randomInline(random, 1500) + QStringLiteral("\nshort line"));
        WordCounter counter(&document);
        QVERIFY(document.firstBlock().length() > 3000);
        for (int step = 0; step < 1000; ++step) {
            const int length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            const int kind = random.bounded(20);
            cursor.setPosition(random.bounded(length + 1));
            if (kind < 10) {
                cursor.insertText(randomInline(random, random.bounded(1, 3)));
            } else if (kind < 16) {
                cursor.setPosition(std::min(length, cursor.position() + random.bounded(1, 8)), QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else if (kind < 18) {
                // Two changes far apart in one step.
                cursor.beginEditBlock();
                cursor.insertText(QStringLiteral(" two "));
                cursor.setPosition(random.bounded(document.characterCount()));
                cursor.setPosition(std::min(document.characterCount() - 1, cursor.position() + 3),
                                   QTextCursor::KeepAnchor);
                cursor.insertText(QStringLiteral("x"));
                cursor.endEditBlock();
            } else if (kind < 19) {
                document.undo();
            } else if (random.bounded(20) == 0) {
                cursor.insertText(QStringLiteral("\n")); // now and then a split, so pieces start over
            } else {
                document.redo();
            }
            const int expected = WordCounter::count(document.toRawText());
            if (counter.total() != expected)
                QFAIL(qPrintable(QStringLiteral("step %1: counted %2, the text has %3 words")
                                     .arg(step)
                                     .arg(counter.total())
                                     .arg(expected)));
        }
    }

    void followsTypingInATextView()
    {
        QPlainTextEdit view;
        WordCounter counter(view.document());
        QSignalSpy totals(&counter, &WordCounter::totalChanged);
        QTest::keyClicks(&view, QStringLiteral("hello world"));
        QCOMPARE(counter.total(), 2);
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClicks(&view, QStringLiteral("again"));
        QCOMPARE(counter.total(), 3);
        QTest::keyClick(&view, Qt::Key_Up);
        QTest::keyClick(&view, Qt::Key_End);
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(counter.total(), 2); // "worldagain"
        view.undo();
        QCOMPARE(counter.total(), 3);
        QCOMPARE(totals.constLast().at(0).toInt(), 3);
    }

    // A counter attached before the view must leave the document usable by a plain-text view.
    void countsADocumentBeforeItIsShown()
    {
        QTextDocument document;
        WordCounter counter(&document);
        QTextCursor(&document).insertText(QStringLiteral("one two"));
        QCOMPARE(counter.total(), 2);
        QPlainTextEdit view;
        view.setDocument(&document);
        QCOMPARE(view.document(), &document);
        view.moveCursor(QTextCursor::End);
        QTest::keyClicks(&view, QStringLiteral(" three"));
        QCOMPARE(counter.total(), 3);
        view.setDocument(nullptr);
    }

    void survivesItsDocument()
    {
        auto *document = new QTextDocument(QStringLiteral("three little words"));
        WordCounter counter(document);
        QCOMPARE(counter.total(), 3);
        delete document;
        counter.recountAll();
        QCOMPARE(counter.total(), 0);
    }
};

QTEST_MAIN(TestWordCounter)
#include "tst_wordcounter.moc"
