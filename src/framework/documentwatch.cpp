#include "document.h"

#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/windowcontroller.h"
#include "framework/writequeue.h"

#include <QFileInfo>

// The document's side of other programs' changes: looking at the file, asking which version to keep, reloading,
// and following a file moved away.

bool Document::confirmOverwrite(std::function<bool()> *replaceIf)
{
    // Checked again right before replacing the file: another program may have written it since we last looked, or
    // moved it, and the text follows it there.
    FileIdentity now = FileIdentity::of(QFileInfo(FileNames::pathOfUrl(m_fileUrl)).absoluteFilePath());
    if (!now.exists && followMovedFile())
        now = FileIdentity::of(FileNames::pathOfUrl(m_fileUrl));
    if (!now.exists || !m_tracker->knewFile())
        return true;
    const FileChangeTracker::Knowledge knowledge = m_tracker->knowledgeOf(now);
    if (knowledge == FileChangeTracker::Knowledge::Known)
        return true;
    // A background write compares the bytes on its own thread, right before it replaces them: a long note is not
    // read here after every pause.
    if ((knowledge == FileChangeTracker::Knowledge::ContentToCompare || sameBytesMayBeBack()) && replaceIf &&
        !m_asking && now != m_keptOnDiskIdentity && now != m_overwriteIdentity) {
        *replaceIf = m_tracker->sameContentTask();
        return true;
    }
    if (knowledge == FileChangeTracker::Knowledge::ContentToCompare && m_tracker->isKnown(now))
        return true;
    if (knowledge == FileChangeTracker::Knowledge::Unknown && !m_asking && sameBytesMayBeBack() &&
        m_tracker->sameContentTask()()) {
        m_tracker->acceptSameContent(now);
        return true;
    }
    if (m_asking || now == m_keptOnDiskIdentity) {
        // The open question decides, or the user chose this version on disk and it could not be read in: it is not
        // overwritten unasked, and the window's text is kept for recovery instead of asking after every pause.
        keepForRecovery();
        return false;
    }
    if (now == m_overwriteIdentity)
        return true; // answered once: a retry after a failed write does not ask again
    askAboutConflict(now);
    return false;
}

void Document::askAboutConflict(const FileIdentity &now)
{
    m_asking = true;
    // Until the answer the window's text lives only in memory: a kept copy survives any end of the process.
    keepForRecovery();
    DocumentAsker::whichVersion(this, [this, now](Conflict answer) { conflictAnswered(now, answer); });
}

void Document::conflictAnswered(const FileIdentity &now, Conflict answer)
{
    if (!m_asking)
        return; // settled meanwhile (saved elsewhere)
    m_asking = false;
    try {
        if (answer == Conflict::KeepMine) {
            // Mine wins: it is written over the other version at once, so the choice sticks.
            m_overwriteIdentity = now;
            // A swapped-in link is replaced by the note's own text even when nothing was typed.
            if (isDocumentEdited() || m_tracker->linkSwappedIn())
                saveInPlace();
            return;
        }
        m_keptOnDiskIdentity = now;
        // Once the other version is in, the kept copy of the window's text may go.
        reloadFromDisk(now, [this] { discardRecovered(); });
    } catch (const Error &error) {
        presentError(error, MessageKind::FileChanged);
    }
}

void Document::reloadFromDisk(const FileIdentity &identity, const std::function<void()> &then)
{
    // Read and decoded on the writer, after our writes: the window goes on while a long note comes in.
    m_reloading = true;
    const quint64 generation = m_editGeneration;
    auto loaded = std::make_shared<LoadedFile>();
    m_writes->run(
        [loaded, url = m_fileUrl, decode = decoder(m_fileType)] {
            *loaded = load(url, decode, false);
            return true;
        },
        [this, loaded, identity, generation, then](bool) {
            m_reloading = false;
            const bool lookAgain = std::exchange(m_checkAfterReload, false);
            if (m_closed)
                return;
            if (generation != m_editGeneration && !loaded->readFailure && !loaded->refusal) {
                // Typed meanwhile: that typing is not replaced unasked.
                fileMayHaveChanged();
                return;
            }
            try {
                // What was read is the known version, which a change during the read makes another than identity.
                const FileIdentity version = loaded->identity;
                const bool compareBeforeWrite = loaded->compareBeforeWrite;
                takeLoaded(std::move(*loaded), m_fileType);
                m_tracker->accept(identity);
                m_tracker->noteReadVersion(version, compareBeforeWrite);
                updateChangeCount(ChangeType::Cleared);
                Q_EMIT reloadedFromDisk();
                if (then)
                    then();
            } catch (const Error &error) {
                m_tracker->refuse(identity);
                presentError(error, MessageKind::FileChanged);
            }
            // A change seen while the file was read may be a later one.
            if (lookAgain)
                fileMayHaveChanged();
        });
}

void Document::fileMayHaveChanged()
{
    try {
        checkFileOnDisk();
    } catch (const Error &error) {
        presentError(error, MessageKind::FileChanged);
    }
}

void Document::checkFileOnDisk()
{
    if (m_fileUrl.isEmpty() || m_asking || m_closed)
        return;
    if (m_reloading) {
        m_checkAfterReload = true;
        return;
    }
    if (m_writes->isWriting()) {
        // Our own write is landing; look again once it has, with its result known.
        m_checkAfterWrite = true;
        return;
    }
    const FileIdentity now = m_tracker->current();
    if (!now.exists) {
        if (!followMovedFile())
            reportMissingFile();
        return;
    }
    if (m_tracker->isRefused(now))
        return;
    switch (m_tracker->knowledgeOf(now)) {
    case FileChangeTracker::Knowledge::Known:
        return;
    case FileChangeTracker::Knowledge::ContentToCompare:
        compareContentLater(now);
        return;
    case FileChangeTracker::Knowledge::Unknown:
        // Typing would make it a question: first see whether the bytes are ours after all.
        if (isDocumentEdited() && sameBytesMayBeBack()) {
            compareContentLater(now);
            return;
        }
        break;
    }
    changedOnDisk(now);
}

bool Document::sameBytesMayBeBack() const
{
    // Another version of the file may hold our very bytes: sync engines and backup tools put the same text back as
    // a new file. A link put in its place is another file whatever it holds.
    return m_tracker->hasKnownContent() && !m_tracker->linkSwappedIn();
}

void Document::compareContentLater(const FileIdentity &now)
{
    // A comparison of this very version that has not begun to read answers for this look too (a save is seen by
    // the watch and by the look after the write).
    if (m_queuedCompare && m_queuedCompare->identity == now && !m_queuedCompare->started)
        return;
    auto queued = std::make_shared<QueuedCompare>();
    queued->identity = now;
    m_queuedCompare = queued;
    // Read on the writer, after our writes: the window never waits for a long note to be read again.
    const auto compare = [queued, same = m_tracker->sameContentTask()] {
        queued->started = true;
        return same();
    };
    m_writes->run(compare, [this, now](bool same) {
        if (m_asking || m_closed)
            return;
        if (m_writes->isWriting() || m_tracker->current() != now) {
            // Our write is landing, or the file changed again meanwhile: look afresh.
            fileMayHaveChanged();
            return;
        }
        if (same) {
            m_tracker->acceptSameContent(now);
            return;
        }
        try {
            changedOnDisk(now);
        } catch (const Error &error) {
            presentError(error, MessageKind::FileChanged);
        }
    });
}

void Document::changedOnDisk(const FileIdentity &now)
{
    // A link put in the note's place shows another file: never taken in without asking.
    if (isDocumentEdited() || m_tracker->linkSwappedIn()) {
        askAboutConflict(now);
        return;
    }
    reloadFromDisk(now);
}

bool Document::followMovedFile()
{
    const std::optional<QString> moved = m_tracker->movedTo();
    if (!moved)
        return false;
    const QUrl from = m_fileUrl;
    setFileUrl(FileNames::urlOfPath(*moved));
    Q_EMIT fileMoved(from, m_fileUrl);
    return true;
}

void Document::reportMissingFile()
{
    if (!m_tracker->firstTimeMissing())
        return;
    // The text stays in the window and counts as unsaved, so the next save writes it again at its place; a window
    // that saves its edits by itself schedules that save as for an edit.
    const QFileInfo file(FileNames::pathOfUrl(m_fileUrl));
    updateChangeCount(ChangeType::Done);
    presentError(Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                       tr("“%1” was moved or deleted by another program. Its text is still open here and will be "
                          "saved again in “%2”.")
                           .arg(file.fileName(), file.absolutePath())),
                 MessageKind::FileChanged);
    if (!m_windowControllers.isEmpty())
        m_windowControllers.first()->scheduleSave();
}
