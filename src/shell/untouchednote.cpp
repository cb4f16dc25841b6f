#include "untouchednote.h"

#include "framework/document.h"
#include "framework/filemover.h"
#include "framework/filenames.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <memory>
#include <unistd.h>

namespace {

bool sameEmptyFile(const FileIdentity &now, const FileIdentity &made)
{
    return now.exists && now.size == 0 && now.device == made.device && now.inode == made.inode;
}

void removeIfStillEmpty(const QString &path, const FileIdentity &made)
{
    if (!sameEmptyFile(FileIdentity::of(path), made))
        return;
    // Moved aside first and looked at there, so a file another program puts at the path meanwhile is never the one
    // removed; one that changed in between goes back.
    const QFileInfo file(path);
    const QString aside = file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".unused-") +
                          QString::number(QRandomGenerator::global()->generate(), 36);
    try {
        FileMover::rename(path, aside);
    } catch (const Error &) {
        return;
    }
    if (sameEmptyFile(FileIdentity::of(aside), made)) {
        ::unlink(FileNames::encodeName(aside).constData());
        return;
    }
    try {
        FileMover::rename(aside, path);
    } catch (const Error &) {
    }
}

} // namespace

void UntouchedNote::removeWhenClosedUntouched(Document *note, const FileIdentity &made)
{
    auto typed = std::make_shared<bool>(false);
    QObject::connect(note, &Document::documentEditedChanged, note, [typed](bool edited) { *typed = *typed || edited; });
    QObject::connect(note, &Document::closed, note, [note, typed, made] {
        if (!*typed && !note->isDocumentEdited())
            removeIfStillEmpty(FileNames::pathOfUrl(note->fileUrl()), made);
    });
}
