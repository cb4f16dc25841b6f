// Prints how long a note save takes: in a small folder, in a folder of 10000 files (each save looks through the
// folder for temporaries a killed save left), and for a note with a second hard link (rewritten in place after a
// synced backup); and a 20 MB note's first save and the next, typed at its end, whose start is copied from the first.
// Run by hand: bench_save [FOLDER], FOLDER on the disk to measure (default: the temp folder).
#include "framework/contentdigest.h"
#include "framework/durablewriter.h"
#include "storage/textfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

constexpr int saves = 200;

double millisecondsPerSave(const QString &note)
{
    const QString text = QString(10 * 1024, u'x');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < saves; ++i)
        TextFiles::save(text, QUrl::fromLocalFile(note));
    return double(timer.nsecsElapsed()) / 1e6 / saves;
}

double threadMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The saving thread's time (the disk's own work after the copy into its cache is not in it), median of 9, for the
// first save of a 20 MB note in 32 KiB pieces and for the next, one piece at the end edited. Each comes a second
// after the last, as an autosave comes after a pause in typing: memory left alone that long is slower to reach again
// on some machines.
void bigNoteSaves(const QString &note)
{
    QList<QByteArray> text;
    for (int n = 0; n < 640; ++n)
        text.append(QByteArray(32 * 1024, char('a' + n % 26)));
    std::vector<double> first, next;
    for (int round = 0; round < 9; ++round) {
        DurableWriter::LastWritten last;
        for (int save = 0; save < 2; ++save) {
            text.last().append('x');
            const ByteParts bytes{QList<QByteArray>(text.cbegin(), text.cend())};
            ContentDigest digest;
            DurableWriter::Options options;
            options.digest = &digest;
            options.lastWritten = &last;
            ::usleep(1000 * 1000);
            const double start = threadMs();
            DurableWriter::replace(note, bytes, options);
            (save == 0 ? first : next).push_back(threadMs() - start);
        }
    }
    std::sort(first.begin(), first.end());
    std::sort(next.begin(), next.end());
    std::printf("save of 20 MB, first:                %.1f ms\n", first[first.size() / 2]);
    std::printf("save of 20 MB, next (end typed):     %.1f ms\n", next[next.size() / 2]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir small(base + QStringLiteral("/bench_save-XXXXXX"));
    QTemporaryDir crowded(base + QStringLiteral("/bench_save-XXXXXX"));
    for (int i = 0; i < 10000; ++i) {
        QFile file(crowded.filePath(QStringLiteral("other %1.txt").arg(i)));
        file.open(QIODevice::WriteOnly);
    }
    const QString linked = small.filePath(QStringLiteral("linked.txt"));
    QFile(linked).open(QIODevice::WriteOnly);
    ::link(QFile::encodeName(linked).constData(),
           QFile::encodeName(small.filePath(QStringLiteral("second name.txt"))).constData());

    std::printf("save of 10 KiB, small folder:        %.3f ms\n",
                millisecondsPerSave(small.filePath(QStringLiteral("note.txt"))));
    std::printf("save of 10 KiB, folder of 10000:     %.3f ms\n",
                millisecondsPerSave(crowded.filePath(QStringLiteral("note.txt"))));
    std::printf("save of 10 KiB, hard-linked note:    %.3f ms\n", millisecondsPerSave(linked));
    bigNoteSaves(small.filePath(QStringLiteral("big.txt")));
    return 0;
}
