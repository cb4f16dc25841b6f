#include "notewatch.h"

#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/loadedfile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

NoteWatch::NoteWatch(QObject *parent)
    : QObject(parent)
    , m_tracker(new FileChangeTracker(this))
{
    connect(m_tracker, &FileChangeTracker::fileMayHaveChanged, this, &NoteWatch::fileMayHaveChanged);
}

NoteWatch::~NoteWatch() = default;

void NoteWatch::watch(const QUrl &url)
{
    m_url = url;
    m_tracker->watch(url.isLocalFile() ? FileNames::pathOfUrl(url) : QString());
    if (const ReadVersion read = std::exchange(m_readVersion, {}); read.url == url && !url.isEmpty()) {
        m_tracker->noteContentDigest(read.digest);
        m_tracker->noteReadVersion(read.identity, read.compareBeforeWrite);
        // The file changed after it was read (or while): looked at as another program's change once the note has
        // its window.
        if (m_tracker->current() != read.identity)
            QMetaObject::invokeMethod(this, &NoteWatch::fileMayHaveChanged, Qt::QueuedConnection);
    }
    refreshReadOnly();
}

void NoteWatch::stop()
{
    m_tracker->stop();
}

void NoteWatch::noteRead(const LoadedFile &loaded)
{
    if (loaded.url != m_url || m_url.isEmpty()) {
        m_readVersion = {loaded.url, loaded.digest, loaded.identity, loaded.compareBeforeWrite};
        return;
    }
    m_tracker->noteContentDigest(loaded.digest);
    m_tracker->noteReadVersion(loaded.identity, loaded.compareBeforeWrite);
}

void NoteWatch::noteReloaded(const FileIdentity &seen, const LoadedFile &loaded)
{
    noteRead(loaded);
    m_tracker->accept(seen);
    // What was read is the known version, which a change during the read makes another than the one seen.
    m_tracker->noteReadVersion(loaded.identity, loaded.compareBeforeWrite);
}

void NoteWatch::refuse(const FileIdentity &version)
{
    m_tracker->refuse(version);
}

void NoteWatch::noteWritten(const QByteArray &digest, const FileIdentity &left)
{
    m_tracker->noteContentDigest(digest);
    m_tracker->noteOwnWrite(left);
}

NoteWatch::Look NoteWatch::look(bool typing, FileIdentity *now)
{
    *now = m_tracker->current();
    if (!now->exists) {
        if (m_tracker->movedTo())
            return Look::Moved;
        return m_tracker->firstTimeMissing() ? Look::Missing : Look::Ignored;
    }
    if (m_tracker->isRefused(*now))
        return Look::Ignored;
    switch (m_tracker->knowledgeOf(*now)) {
    case FileChangeTracker::Knowledge::Known:
        return Look::Known;
    case FileChangeTracker::Knowledge::ContentToCompare:
        return Look::Compare;
    case FileChangeTracker::Knowledge::Unknown:
        break;
    }
    // Typing would make it a question: first see whether the bytes are ours after all.
    return typing && sameBytesMayBeBack() ? Look::Compare : Look::Changed;
}

NoteWatch::BeforeWrite NoteWatch::beforeWrite(bool asking, FileIdentity *now)
{
    // Looked at right before replacing the file: another program may have written it since we last looked.
    *now = FileIdentity::of(FileNames::pathOfUrl(m_url));
    // A note whose file is still to be made (opened by a name nothing had yet) never takes a file that appeared
    // meanwhile for its own.
    if (!m_tracker->knewFile())
        return now->exists ? BeforeWrite::Ask : BeforeWrite::WriteIfAbsent;
    if (!now->exists)
        return BeforeWrite::Write;
    const FileChangeTracker::Knowledge knowledge = m_tracker->knowledgeOf(*now);
    if (knowledge == FileChangeTracker::Knowledge::Known)
        return BeforeWrite::Write;
    // The open question decides, or the user chose this version on disk and it could not be read in: it is not
    // overwritten unasked.
    if (asking)
        return BeforeWrite::Keep;
    if (*now == m_writeOver)
        return BeforeWrite::Write; // answered once: a retry after a failed write does not ask again
    // The writer compares the bytes right before it replaces them: a long note is not read here after every pause.
    if (knowledge == FileChangeTracker::Knowledge::ContentToCompare)
        return BeforeWrite::WriteIfSame;
    // The version the user kept could not be read in: it is not written over unasked.
    if (*now == m_keptOnDisk)
        return BeforeWrite::Keep;
    return sameBytesMayBeBack() ? BeforeWrite::WriteIfSame : BeforeWrite::Ask;
}

std::function<bool()> NoteWatch::sameContentTask() const
{
    return m_tracker->sameContentTask();
}

std::function<bool()> NoteWatch::absentTask() const
{
    return [path = FileNames::pathOfUrl(m_url)] {
        return !FileIdentity::of(path).exists;
    };
}

void NoteWatch::acceptSameContent(const FileIdentity &now)
{
    m_tracker->acceptSameContent(now);
}

std::function<bool()> NoteWatch::compareOnce(const FileIdentity &version)
{
    // A comparison of this very version that has not begun to read answers for this look too (a save is seen by the
    // watch and by the look after the write).
    if (m_queuedCompare && m_queuedCompare->identity == version && !m_queuedCompare->started)
        return {};
    auto queued = std::make_shared<QueuedCompare>();
    queued->identity = version;
    m_queuedCompare = queued;
    return [queued, same = m_tracker->sameContentTask()] {
        queued->started = true;
        return same();
    };
}

FileIdentity NoteWatch::current()
{
    return m_tracker->current();
}

std::optional<QString> NoteWatch::movedTo() const
{
    return m_tracker->movedTo();
}

bool NoteWatch::linkSwappedIn() const
{
    return m_tracker->linkSwappedIn();
}

bool NoteWatch::writesThroughLink() const
{
    return m_tracker->writesThroughLink();
}

void NoteWatch::forgetAnswers()
{
    m_keptOnDisk = {};
    m_writeOver = {};
}

bool NoteWatch::sameBytesMayBeBack() const
{
    return m_tracker->hasKnownContent() && !m_tracker->linkSwappedIn();
}

bool NoteWatch::readOnlyFile(const QString &path)
{
    // Root passes every permission check, yet a note made read-only on purpose stays so. A read-only mount or a
    // locked file is a failed save instead: it passes when the disk does.
    const QByteArray name = FileNames::encodeName(path);
    struct stat info
    {};
    if (path.isEmpty() || ::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(name.constData(), W_OK) != 0 && errno == EACCES);
}

bool NoteWatch::refreshReadOnly()
{
    const bool now = readOnlyFile(FileNames::pathOfUrl(m_url));
    if (now != m_readOnly) {
        m_readOnly = now;
        Q_EMIT readOnlyChanged(now);
    }
    return now;
}
