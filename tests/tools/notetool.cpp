// Runs one note-file operation in its own process, for tests that need another user, a mount namespace or
// injected faults. Prints the error description on stderr and exits 1 when the operation fails.
#include "framework/error.h"
#include "storage/textfiles.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args.at(1) == u"create") {
            const QUrl url = TextFiles::create(QUrl::fromLocalFile(args.at(2)));
            std::printf("%s\n", qPrintable(url.toLocalFile()));
            return 0;
        }
        if (args.size() == 3 && args.at(1) == u"save") {
            QFile in;
            if (!in.open(stdin, QIODevice::ReadOnly))
                return 2;
            TextFiles::save(QString::fromUtf8(in.readAll()), QUrl::fromLocalFile(args.at(2)));
            return 0;
        }
    } catch (const Error &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        return 1;
    }
    std::fprintf(stderr, "usage: notetool create FOLDER | save FILE < text\n");
    return 2;
}
