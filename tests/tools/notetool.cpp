// Runs note-file operations in their own process, for tests that need another user, a mount namespace, injected
// faults or a kill. Prints the error description on stderr and exits 1 when an operation fails.
//   notetool create FOLDER                  one new note; prints its path
//   notetool create FOLDER COUNT TAG        waits for a line on stdin, then makes COUNT notes, saving "TAG <i>\n"
//                                           into each right away; prints each path
//   notetool save FILE < text               saves stdin's bytes as the note's text
//   notetool saves FILE < texts             saves each NUL-separated text in turn, as typing with autosave does,
//                                           and prints "saved <i>" once save i has returned
//   notetool recover NOTE FALLBACK < text   writes stdin's bytes as the note's recovered text; prints its path
#include "framework/error.h"
#include "framework/interruptedsavelog.h"
#include "shell/recoveryoffer.h"
#include "storage/textfiles.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

QByteArray readStdin()
{
    QFile in;
    return in.open(stdin, QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

int createMany(const QString &folder, int count, const QString &tag)
{
    char go[16];
    if (!std::fgets(go, sizeof go, stdin))
        return 2;
    for (int i = 1; i <= count; ++i) {
        const QUrl url = TextFiles::create(QUrl::fromLocalFile(folder));
        TextFiles::save(tag + u' ' + QString::number(i) + u'\n', url);
        std::printf("%s\n", qPrintable(url.toLocalFile()));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // Its saves in place are noted where the app's are, so that the app's next launch repairs one a kill cut short.
    InterruptedSaveLog log(InterruptedSaveLog::defaultFolder(QStringLiteral("noltnolt")));
    try {
        if (args.size() == 3 && args.at(1) == u"create") {
            std::printf("%s\n", qPrintable(TextFiles::create(QUrl::fromLocalFile(args.at(2))).toLocalFile()));
            return 0;
        }
        if (args.size() == 5 && args.at(1) == u"create")
            return createMany(args.at(2), args.at(3).toInt(), args.at(4));
        if (args.size() == 3 && args.at(1) == u"save") {
            TextFiles::save(QString::fromUtf8(readStdin()), QUrl::fromLocalFile(args.at(2)), &log);
            return 0;
        }
        if (args.size() == 4 && args.at(1) == u"recover") {
            const QUrl url = RecoveryOffer::writeRecoveredFile(args.at(2), readStdin(), {args.at(3)});
            std::printf("%s\n", qPrintable(url.toLocalFile()));
            return 0;
        }
        if (args.size() == 3 && args.at(1) == u"saves") {
            const QList<QByteArray> texts = readStdin().split('\0');
            for (qsizetype i = 0; i < texts.size(); ++i) {
                TextFiles::save(QString::fromUtf8(texts.at(i)), QUrl::fromLocalFile(args.at(2)), &log);
                std::printf("saved %lld\n", static_cast<long long>(i + 1));
                std::fflush(stdout);
            }
            return 0;
        }
    } catch (const Error &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    std::fprintf(stderr, "usage: notetool create FOLDER [COUNT TAG] | save FILE < text | saves FILE < texts | recover "
                         "NOTE FALLBACK < text\n");
    return 2;
}
