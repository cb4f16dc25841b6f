#include "textfiles.h"

#include "framework/durablewriter.h"
#include "storage/notecodec.h"
#include "framework/error.h"
#include "framework/filenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace TextFiles {

QString dayStamp(const QDateTime &moment)
{
    const QDate day = moment.toLocalTime().date();
    return QString::asprintf("%04d%02d%02d", day.year(), day.month(), day.day());
}

QString noteFileName(const QString &stamp, int number)
{
    if (number <= 1)
        return stamp + QStringLiteral(" Note.txt");
    return stamp + QStringLiteral(" Note ") + QString::number(number) + QStringLiteral(".txt");
}

QUrl create(const QUrl &folder, const QDateTime &date)
{
    const QString stamp = dayStamp(date);
    const QDir dir(FileNames::pathOfUrl(folder));
    for (int number = 1; number <= maxNotesPerDay; ++number) {
        const QString path = dir.filePath(noteFileName(stamp, number));
        try {
            DurableWriter::createNew(path);
            return FileNames::urlOfPath(path);
        } catch (const Error &) {
            // Something at that name (a dangling link too) passes on to the next number; anything else is the cause.
            struct stat info
            {};
            if (::lstat(FileNames::encodeName(path).constData(), &info) != 0)
                throw;
        }
    }
    throw Error(QString::fromUtf16(ErrorDomain::quorbell), 1,
                QCoreApplication::translate("TextFiles", "Could not find an available document name."));
}

void save(const QString &text, const QUrl &url, InterruptedSaveLog *interruptedSaves)
{
    DurableWriter::Options options;
    options.interruptedSaves = interruptedSaves;
    DurableWriter::replace(FileNames::pathOfUrl(url), NoteCodec::encode(text), options);
}

} // namespace TextFiles
