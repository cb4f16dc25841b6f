// Prints the speed of the text core: strict UTF-8 checking and decoding, and word counting in big notes.
// Run by hand on a quiet machine: build/bench/bench_textcore

#include "editor/view/casetransform.h"
#include "editor/view/wordcounter.h"
#include "storage/notecodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

// Mostly Latin prose as notes are, with accents, Cyrillic, Chinese, Japanese and emoji mixed in.
const char *const lines[] = {
    "Meeting notes: the budget for next year is due by Friday, so let us review the numbers once more.\n",
    "Café au lait, crème brûlée and a naïve façade: résumé of the trip to Zürich.\n",
    "Straße, Größe, Übermut — deutsche Wörter mit Umlauten.\n",
    "Привет, как дела? Всё хорошо, спасибо.\n",
    "我喜欢吃苹果，也喜欢喝茶。今天天气很好。\n",
    "今日は良い天気ですね。カタカナとひらがな。\n",
    "Plants 🌱 and stars ⭐ and a family 👨‍👩‍👧 in one line.\n",
    "\tIndented line with numbers 3.14, 42 and 1,000,000.\n",
    "Short.\n",
    "\n",
};

QByteArray mixedText(qsizetype size)
{
    QByteArray bytes;
    bytes.reserve(size + 256);
    for (int i = 0; bytes.size() < size; ++i)
        bytes += lines[(i * 7 + i / 10) % std::size(lines)];
    return bytes;
}

// The best of a few runs, in seconds: the least disturbed by other work on the machine.
template<typename Work> double bestOf(int runs, Work work)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void benchUtf8(const QByteArray &bytes)
{
    bool valid = false;
    const double check = bestOf(5, [&] { valid = NoteCodec::isValid(bytes); });
    std::printf("UTF-8 check, %.1f MB mixed text: %.2f GB/s (%.1f ms)%s\n", bytes.size() / 1e6,
                bytes.size() / check / 1e9, check * 1e3, valid ? "" : " REJECTED");
    qsizetype length = 0;
    const double cold = bestOf(1, [&] { length = NoteCodec::decode(bytes)->size(); });
    const double decode = bestOf(5, [&] { length = NoteCodec::decode(bytes)->size(); });
    std::printf("UTF-8 check and decode: %.1f ms (%.2f GB/s), %lld UTF-16 units; first time, into memory new to "
                "the process: %.1f ms\n",
                decode * 1e3, bytes.size() / decode / 1e9, static_cast<long long>(length), cold * 1e3);
    QString qtText;
    const double qt = bestOf(3, [&] { qtText = QString::fromUtf8(bytes); });
    std::printf("  for scale, QString::fromUtf8 alone: %.1f ms\n", qt * 1e3);
}

double megabytes(const QString &text)
{
    return text.toUtf8().size() / 1e6;
}

void benchFullCount(const QString &text)
{
    int words = 0;
    const double seconds = bestOf(3, [&] { words = WordCounter::count(text); });
    std::printf("Word count of a %.1f MB note: %.1f ms (%d words)\n", megabytes(text), seconds * 1e3, words);
}

// A share of the way through the sorted samples: 0.5 gives the median.
double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(values.size() * share))];
}

// The counter's own work per keystroke in a big note, timed from inside the document's change signal: one
// connection made before the counter's starts the clock, one made after it stops it.
void benchKeystrokes(const QString &text)
{
    // Laid out as the text view lays out its document, so the first count is our work only.
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    QElapsedTimer setup;
    setup.start();
    document.setPlainText(text);
    const double load = setup.nsecsElapsed() / 1e9;

    QElapsedTimer timer;
    std::vector<double> samples;
    QObject::connect(&document, &QTextDocument::contentsChange, &document, [&] { timer.start(); });
    setup.restart();
    WordCounter counter(&document);
    const double attach = setup.nsecsElapsed() / 1e9;
    QObject::connect(&document, &QTextDocument::contentsChange, &document,
                     [&] { samples.push_back(timer.nsecsElapsed() / 1e6); });
    std::printf("Note of %.1f MB in a text document: setPlainText %.0f ms (Qt's), first count %.0f ms, %d "
                "paragraphs, %d words\n",
                megabytes(text), load * 1e3, attach * 1e3, document.blockCount(), counter.total());

    QTextCursor cursor(&document);
    cursor.setPosition(document.characterCount() / 2);
    cursor.movePosition(QTextCursor::EndOfBlock);
    for (int i = 0; i < 1000; ++i)
        cursor.insertText(i % 6 == 5 ? QStringLiteral(" ") : QStringLiteral("x"));
    const double typing = percentile(samples, 0.5);
    const double slowTyping = percentile(samples, 0.99);
    samples.clear();
    for (int i = 0; i < 200; ++i)
        cursor.insertText(QStringLiteral("\n"));
    const double enter = percentile(samples, 0.5);
    samples.clear();
    for (int i = 0; i < 200; ++i)
        cursor.deletePreviousChar();
    const double join = percentile(samples, 0.5);
    std::printf("  recount per keystroke in its middle (median): typing %.4f ms (99th percentile %.4f), Enter "
                "%.4f ms, Backspace joining lines %.4f ms\n",
                typing, slowTyping, enter, join);
}

// The recount is per paragraph, so its cost follows the length of the paragraph typed in, not of the note.
void benchLongParagraph(qsizetype size)
{
    QString paragraph;
    while (paragraph.size() < size)
        paragraph +=
            QStringLiteral(u"A long paragraph of prose with café, numbers like 42 and 我喜欢吃苹果 mixed in. ");
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    document.setPlainText(paragraph);
    QElapsedTimer timer;
    std::vector<double> samples;
    QObject::connect(&document, &QTextDocument::contentsChange, &document, [&] { timer.start(); });
    WordCounter counter(&document);
    QObject::connect(&document, &QTextDocument::contentsChange, &document,
                     [&] { samples.push_back(timer.nsecsElapsed() / 1e6); });
    QTextCursor cursor(&document);
    cursor.setPosition(document.characterCount() / 2);
    for (int i = 0; i < 200; ++i)
        cursor.insertText(QStringLiteral("x"));
    std::printf("Recount per keystroke in one paragraph of %lld characters: %.4f ms (median)\n",
                static_cast<long long>(paragraph.size()), percentile(samples, 0.5));
}

// A case change of a whole note is one edit per changed paragraph inside one undo step.
void benchCaseChange(const QString &text)
{
    QPlainTextEdit view;
    view.setPlainText(text);
    WordCounter counter(view.document());
    view.selectAll();
    QElapsedTimer timer;
    timer.start();
    CaseTransform::uppercaseWord(&view);
    const double upper = timer.nsecsElapsed() / 1e9;
    timer.restart();
    view.undo();
    const double undo = timer.nsecsElapsed() / 1e9;
    std::printf("Make Upper Case of the whole of a %.1f MB note: %.0f ms, its undo %.0f ms (with Qt's work)\n",
                megabytes(text), upper * 1e3, undo * 1e3);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Keep freed memory in the process, so repeated runs measure our work and not the first touch of new pages
    // (which costs far more in a virtual machine than the decoding itself; the first run shows it).
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const QByteArray big = mixedText(20 * 1000 * 1000);
    benchUtf8(big);
    const QString small = *NoteCodec::decode(mixedText(1000 * 1000));
    const QString large = *NoteCodec::decode(big);
    benchFullCount(small);
    benchFullCount(large);
    benchKeystrokes(small);
    benchKeystrokes(large);
    for (qsizetype size : {1000, 10000, 100000})
        benchLongParagraph(size);
    benchCaseChange(small);
    return 0;
}
