#include "editor/view/wordcounter.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <unicode/ubrk.h>

class TestWordCounter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Plain Latin and Cyrillic text is counted without ICU, and ICU counts only the stretch around anything else:
    // seeded random runs of what joins words and what does not must come to ICU's own count.
    void plainLatinCountsAsIcuDoes()
    {
        const QStringList latin =
            u"a|Zé|1|90| |.|,|;|'|’|!|-|\t|ab|:|_|x.y|3,5|дЖ|—|“|…|\u00A0|\u0483|ª|📝|漢字|\u0301|\u200D|\u3000"_qs
                .split(u'|');
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

    // Seeded random edits from one long paragraph, counted in pieces, to many split and joined: words of several
    // scripts, breaks, and what sits around a space (marks, joiners, flags, other spaces). After each edit the running
    // total must equal a full count of the text.
    void followsRandomEdits()
    {
        const QStringList pieces =
            u"word| |\n|two words |, |e.g. |3.14|café |我喜欢吃苹果|日本語を話します|🌱|\u2028|a\nb|x|"
            u"\n\n|don't |  |\u3000|\u00A0|\u0301|\u200D|🇩🇪🇫🇷|カタカナ|👩\u200D💻|'|a:b "_qs.split(u'|');
        QRandomGenerator random(1014);
        QString start;
        for (int i = 0; i < 1500; ++i)
            start += pieces[random.bounded(int(pieces.size()))];
        start = start.replace(u'\n', u' ') + u"\nshort line"_qs;
        QTextDocument document;
        QTextCursor(&document).insertText(start);
        WordCounter counter(&document);
        QSignalSpy totals(&counter, &WordCounter::totalChanged);
        for (int step = 0; step < 3000; ++step) {
            const int length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            cursor.setPosition(random.bounded(length + 1));
            const QString piece = pieces[random.bounded(int(pieces.size()))];
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
    }
};

QTEST_MAIN(TestWordCounter)
#include "tst_wordcounter.moc"
