// Prints how long a note save takes: in a small folder, in a folder of 10000 files (each save looks through the
// folder for temporaries a killed save left), and for a note with a second hard link (rewritten in place after a
// synced backup). Run by hand: bench_save [FOLDER], FOLDER on the disk to measure (default: the temp folder).
#include "storage/textfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

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
    return 0;
}
