#include "editor/wordcounter.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <unicode/ubrk.h>

namespace {

// Pieces a random edit inserts: words of several scripts, spaces, punctuation, paragraph and line breaks.
const QStringList pieces =
    u"word| |\n|two words |, |e.g.|3.14|café|我喜欢吃苹果|日本語を話します|🌱|\u2028|a\nb|x|\n\n|don't"_qs.split(u'|');

// Pieces for long paragraphs, rich in what sits around a space: marks and joiners after or before it,
// flags, ideographic space, no-break space, line separators.
const QStringList inlinePieces = {
    u"word"_qs,  u" "_qs,     u"  "_qs, u"\u3000"_qs,       u"\u00A0"_qs,   u"\u0301"_qs, u"\u200D"_qs, u"🇩🇪🇫🇷"_qs,
    u"e.g. "_qs, u"3.14"_qs,  u","_qs,  u"我喜欢吃苹果"_qs, u"カタカナ"_qs, u"\u2028"_qs, u"don't "_qs, u"👩\u200D💻"_qs,
    u"x"_qs,     u"café "_qs, u"'"_qs,  u"a:b "_qs};

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
        QTest::newRow("words across every kind of line break")
            << QStringLiteral("one\ntwo\r\nthree\rfour\u2028five\u2029six") << 6;
        QTest::newRow("apostrophe inside a word, emoji between words") << QStringLiteral(u"don't plant🌱tree") << 3;
    }
    void count()
    {
        QFETCH(QString, text);
        QFETCH(int, words);
        QCOMPARE(WordCounter::count(text), words);
    }

    // Plain Latin and Cyrillic text is counted without ICU: seeded random runs of what joins words and what does not
    // must come to ICU's own count.
    void plainLatinCountsAsIcuDoes()
    {
        const QStringList latin =
            u"a|Zé|1|90| |.|,|;|'|’|!|-|\t|ab|:|_|x.y|3,5|дЖ|—|“|…|\u00A0|\u0483|ª"_qs.split(u'|');
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator *icu = ubrk_open(UBRK_WORD, "", nullptr, 0, &status);
        QVERIFY(U_SUCCESS(status));
        QRandomGenerator random(7);
        for (int round = 0; round < 3000; ++round) {
            QString text;
            for (int i = random.bounded(1, 12); i > 0; --i)
                text += latin[random.bounded(int(latin.size()))];
            ubrk_setText(icu, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
            int expected = 0;
            for (int32_t end = ubrk_next(icu); end != UBRK_DONE; end = ubrk_next(icu))
                expected += ubrk_getRuleStatus(icu) >= UBRK_WORD_NONE_LIMIT;
            QVERIFY2(WordCounter::count(text) == expected, qPrintable(text));
        }
        ubrk_close(icu);
    }

    // Seeded random edits; after each the running total must equal a full count of the text.
    void followsRandomEdits_data()
    {
        QTest::addColumn<QStringList>("insertions");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("mostBlocks");
        QRandomGenerator random(3007);
        QString paragraph;
        for (int i = 0; i < 1500; ++i)
            paragraph += inlinePieces[random.bounded(int(inlinePieces.size()))];
        QTest::newRow("many paragraphs split and joined") << pieces << QString() << 3000 << 20;
        QTest::newRow("one long paragraph counted in pieces")
            << inlinePieces << paragraph + u"\nshort line"_qs << 1000 << 2;
    }

    void followsRandomEdits()
    {
        QFETCH(QStringList, insertions);
        QFETCH(QString, start);
        QFETCH(int, steps);
        QFETCH(int, mostBlocks);
        QRandomGenerator random(1014);
        QTextDocument document;
        QTextCursor(&document).insertText(start);
        WordCounter counter(&document);
        QSignalSpy totals(&counter, &WordCounter::totalChanged);
        int blocks = 0;
        for (int step = 0; step < steps; ++step) {
            const int length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            cursor.setPosition(random.bounded(length + 1));
            const QString piece = insertions[random.bounded(int(insertions.size()))];
            const int kind = random.bounded(20);
            if (kind < 9) {
                // Typing or pasting, which may split a paragraph.
                cursor.insertText(piece);
            } else if (kind < 15) {
                // Deleting a range, which may join paragraphs.
                cursor.setPosition(std::min(length, cursor.position() + random.bounded(1, 12)),
                                   QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else if (kind < 17) {
                // Two changes far apart in one step, as a replace-all or an undo of one does.
                cursor.beginEditBlock();
                cursor.insertText(piece);
                cursor.setPosition(random.bounded(document.characterCount()));
                cursor.setPosition(std::min(document.characterCount() - 1, cursor.position() + 3),
                                   QTextCursor::KeepAnchor);
                cursor.insertText(QStringLiteral("x"));
                cursor.endEditBlock();
            } else if (kind < 19) {
                random.bounded(2) ? document.undo() : document.redo();
            } else if (random.bounded(60) == 0) {
                random.bounded(2) ? document.clear() : document.setPlainText(start);
            }
            blocks = std::max(blocks, document.blockCount());
            // The full count must leave the paragraph counts right for the edits after it.
            if (step % 400 == 399)
                counter.recountAll();
            const int expected = WordCounter::count(document.toRawText());
            QVERIFY2(counter.total() == expected,
                     qPrintable(u"step %1: %2 words, counted %3"_qs.arg(step).arg(expected).arg(counter.total())));
            if (!totals.isEmpty())
                QCOMPARE(totals.constLast().at(0).toInt(), counter.total());
        }
        QVERIFY(totals.size() > 100);
        QVERIFY2(blocks >= mostBlocks, qPrintable(QString::number(blocks)));
    }
};

QTEST_MAIN(TestWordCounter)
#include "tst_wordcounter.moc"
