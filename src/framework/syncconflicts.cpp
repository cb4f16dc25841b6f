#include "syncconflicts.h"

#include "framework/durablewriter.h"
#include "framework/filemover.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

#include <unistd.h>

namespace {

// %1: the note's name without its extension, %2: its extension with the dot (or nothing); both escaped.
constexpr const char16_t *copyPatterns[] = {
    // Syncthing: one.sync-conflict-20261207-021530-VJMWRMI.txt
    uR"(%1\.sync-conflict-\d{8}-\d{6}-[A-Z0-9]{7}%2)",
    // Nextcloud and ownCloud: one (conflicted copy 2026-12-07 021530).txt, one_conflict-20261207-021530.txt
    uR"(%1 \(conflicted copy \d{4}-\d{2}-\d{2} \d{6}\)%2)",
    uR"(%1_conflict-\d{8}-\d{6}%2)",
    // Dropbox: one (Anna's conflicted copy 2026-12-07).txt
    uR"(%1 \([^()]*conflicted copy[^()]*\)%2)",
    // Ours, from Keep Both: one (conflict 2026-12-07 0215).txt, one (conflict 2026-12-07 0215 2).txt
    uR"(%1 \(conflict \d{4}-\d{2}-\d{2} \d{4}( \d+)?\)%2)",
};

// "one.txt" → {"one", ".txt"}; a name with no dot past its first character has no extension.
std::pair<QString, QString> split(const QString &note)
{
    const qsizetype dot = note.lastIndexOf(u'.');
    if (dot <= 0)
        return {note, QString()};
    return {note.left(dot), note.mid(dot)};
}

} // namespace

bool SyncConflicts::isCopyOf(const QString &name, const QString &note)
{
    const auto [base, extension] = split(note);
    // Every copy's name starts with the note's and is longer: the rest of a folder is passed over at little cost.
    if (!name.startsWith(base) || name.size() <= note.size())
        return false;
    for (const char16_t *pattern : copyPatterns) {
        const QRegularExpression copy(QRegularExpression::anchoredPattern(
            QString::fromUtf16(pattern).arg(QRegularExpression::escape(base), QRegularExpression::escape(extension))));
        if (copy.match(name).hasMatch())
            return true;
    }
    return false;
}

QString SyncConflicts::ownCopyName(const QString &note, const QDateTime &when, int number)
{
    const auto [base, extension] = split(note);
    const QString numbered = number > 1 ? u' ' + QString::number(number) : QString();
    return base + when.toString(QStringLiteral(" ('conflict' yyyy-MM-dd HHmm")) + numbered + u')' + extension;
}

QString SyncConflicts::keepBeside(const QString &notePath, const QDateTime &when)
{
    const QByteArray bytes = PosixFile::readWholeFile(notePath);
    const QFileInfo note(notePath);
    // Written whole to a hidden temporary first, so that no engine ever syncs a half-made copy.
    PosixFile::Temporary temporary;
    const QByteArray folder = FileNames::encodeName(note.absolutePath());
    int failure = temporary.create(folder, FileNames::encodeName(note.fileName()));
    if (failure == 0)
        failure = PosixFile::writeAll(temporary.fd(), bytes.constData(), bytes.size());
    if (failure == 0 && ::fsync(temporary.fd()) != 0)
        failure = errno;
    if (failure == 0)
        failure = temporary.close();
    if (failure != 0)
        throw DurableWriter::folderError(failure, notePath);
    const QString copy = nameBeside(FileNames::decodeName(temporary.path()), notePath, when);
    temporary.release();
    return copy;
}

QString SyncConflicts::nameBeside(const QString &hidden, const QString &notePath, const QDateTime &when)
{
    const QFileInfo note(notePath);
    // A name taken, by a copy made within the same minute or by anything else, is never written over.
    constexpr int triedNames = 100;
    for (int number = 1;; ++number) {
        const QString copy = note.dir().filePath(ownCopyName(note.fileName(), when, number));
        try {
            FileMover::rename(hidden, copy);
        } catch (const Error &taken) {
            if (taken.code() == EEXIST && number < triedNames)
                continue;
            throw;
        }
        return copy;
    }
}
