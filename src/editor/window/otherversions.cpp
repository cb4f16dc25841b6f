#include "editor/window/otherversions.h"

#include "editor/messages/notemessages.h"
#include "editor/window/windowquestions.h"
#include "framework/conflictcopywatch.h"
#include "framework/filenames.h"
#include "framework/filewatcher.h"
#include "framework/linediff.h"
#include "framework/loadedfile.h"
#include "framework/offthread.h"
#include "storage/plaintextdocument.h"

#include <QFileInfo>
#include <QPointer>

OtherVersions::OtherVersions(NoteMessages *messages, PlainTextDocument *note, Opener open, QObject *parent)
    : QObject(parent)
    , m_messages(messages)
    , m_note(note)
    , m_open(std::move(open))
    , m_watch(
          new ConflictCopyWatch(note->services().watcher ? *note->services().watcher : FileWatcher::forProcess(), this))
{
    connect(m_watch, &ConflictCopyWatch::found, this, &OtherVersions::found);
    connect(m_watch, &ConflictCopyWatch::gone, this, &OtherVersions::gone);
    connect(note, &Document::otherVersionKept, this, &OtherVersions::kept);
    connect(note, &Document::fileUrlChanged, this,
            [this](const QUrl &url) { m_watch->watch(url.isEmpty() ? QString() : FileNames::pathOfUrl(url)); });
    if (!note->fileUrl().isEmpty())
        m_watch->watch(FileNames::pathOfUrl(note->fileUrl()));
}

void OtherVersions::found(const QString &copy)
{
    m_waiting.append(copy);
    if (m_shown.isEmpty())
        showNext();
}

void OtherVersions::gone(const QString &copy)
{
    // Nothing is left to tell of a copy that is no longer there.
    m_waiting.removeAll(copy);
    if (copy == m_shown)
        showNext();
}

void OtherVersions::kept(const QString &copy, bool show)
{
    // The user chose this copy: no engine's conflict to tell of.
    m_watch->ignore(copy);
    if (show)
        open(copy);
    const QString name = QFileInfo(copy).fileName();
    m_shown.clear();
    m_messages->showMessage(MessageKind::ConflictCopy,
                            tr("The other version is kept beside this note as “%1”.").arg(name),
                            {{tr("Open"),
                              [this, copy] {
                                  open(copy);
                              }}},
                            true);
}

void OtherVersions::showNext()
{
    m_shown = m_waiting.isEmpty() ? QString() : m_waiting.takeFirst();
    if (m_shown.isEmpty())
        return m_messages->dismissMessage(MessageKind::ConflictCopy);
    show(m_shown, {});
}

void OtherVersions::show(const QString &copy, const QString &difference)
{
    const QString text =
        tr("Another version of this note, from another device, is beside it: “%1”. Nothing of it is in this window.")
            .arg(QFileInfo(copy).fileName());
    m_messages->showMessage(MessageKind::ConflictCopy, difference.isEmpty() ? text : text + u'\n' + difference,
                            {{tr("Compare"),
                              [this, copy] {
                                  compare(copy);
                              }},
                             {tr("Open"),
                              [this, copy] {
                                  open(copy);
                              }},
                             // Both stay: this note as it is, and the copy on disk. Only the bar goes.
                             {tr("Keep Both"), [this] {
                                  showNext();
                              }}});
}

void OtherVersions::compare(const QString &copy)
{
    // Read and compared off the window's thread: a long note never holds up typing.
    const auto difference = [ours = m_note->dataTask(), decode = m_note->decoder(), url = FileNames::urlOfPath(copy)] {
        const LoadedFile theirs = LoadedFile::read(url, decode, false);
        if (theirs.readFailure || theirs.refusal)
            return (theirs.readFailure ? *theirs.readFailure : *theirs.refusal).description();
        LineDiff diff;
        try {
            diff = LineDiff::between(decode(ours().joined(), url), theirs.text);
        } catch (const Error &error) {
            return error.description();
        }
        return diff.isSame() ? tr("It holds the same text as this note.") : WindowQuestions::describe(diff);
    };
    runOffThread<QString>(this, difference, [this, copy](const QString &described) {
        if (m_shown == copy)
            show(copy, described);
    });
}

void OtherVersions::open(const QString &copy)
{
    if (m_open)
        m_open(copy);
}
