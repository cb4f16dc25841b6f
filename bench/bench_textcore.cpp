// Prints the speed of the text core: strict UTF-8 checking and decoding, and word counting in big notes.
// Run by hand on a quiet machine: build/bench/bench_textcore

#include "storage/utf8.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <malloc.h>

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
    const double check = bestOf(5, [&] { valid = Utf8::isValid(bytes); });
    std::printf("UTF-8 check, %.1f MB mixed text: %.2f GB/s (%.1f ms)%s\n", bytes.size() / 1e6,
                bytes.size() / check / 1e9, check * 1e3, valid ? "" : " REJECTED");
    qsizetype length = 0;
    const double cold = bestOf(1, [&] { length = Utf8::decode(bytes)->size(); });
    const double decode = bestOf(5, [&] { length = Utf8::decode(bytes)->size(); });
    std::printf("UTF-8 check and decode: %.1f ms (%.2f GB/s), %lld UTF-16 units; first time, into memory new to "
                "the process: %.1f ms\n",
                decode * 1e3, bytes.size() / decode / 1e9, static_cast<long long>(length), cold * 1e3);
    QString qtText;
    const double qt = bestOf(3, [&] { qtText = QString::fromUtf8(bytes); });
    std::printf("  for scale, QString::fromUtf8 alone: %.1f ms\n", qt * 1e3);
}

} // namespace

int main()
{
    // Keep freed memory in the process, so repeated runs measure our work and not the first touch of new pages
    // (which costs far more in a virtual machine than the decoding itself; the first run shows it).
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const QByteArray big = mixedText(20 * 1000 * 1000);
    benchUtf8(big);
    return 0;
}
