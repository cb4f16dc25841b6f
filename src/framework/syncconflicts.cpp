#include "syncconflicts.h"

#include <QRegularExpression>

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
    // Ours, from Keep Both: one (conflict 2026-12-07 0215).txt
    uR"(%1 \(conflict \d{4}-\d{2}-\d{2} \d{4}\)%2)",
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
    for (const char16_t *pattern : copyPatterns) {
        const QRegularExpression copy(QRegularExpression::anchoredPattern(
            QString::fromUtf16(pattern).arg(QRegularExpression::escape(base), QRegularExpression::escape(extension))));
        if (copy.match(name).hasMatch())
            return true;
    }
    return false;
}

QString SyncConflicts::ownCopyName(const QString &note, const QDateTime &when)
{
    const auto [base, extension] = split(note);
    return base + when.toString(QStringLiteral(" ('conflict' yyyy-MM-dd HHmm)")) + extension;
}
