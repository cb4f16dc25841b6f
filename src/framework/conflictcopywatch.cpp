#include "conflictcopywatch.h"

#include "framework/filenames.h"
#include "framework/filewatcher.h"
#include "framework/offthread.h"
#include "framework/syncconflicts.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr int settleMs = 300;

QStringList copiesOf(const QString &notePath)
{
    const QFileInfo note(notePath);
    QStringList copies;
    const QStringList names = note.dir().entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (SyncConflicts::isCopyOf(name, note.fileName()))
            copies.append(note.dir().filePath(name));
    }
    return copies;
}

} // namespace

ConflictCopyWatch::ConflictCopyWatch(FileWatcher &watcher, QObject *parent)
    : QObject(parent)
    , m_watcher(watcher)
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    connect(m_settle, &QTimer::timeout, this, &ConflictCopyWatch::look);
}

ConflictCopyWatch::~ConflictCopyWatch()
{
    m_watcher.unwatch(m_folder);
}

void ConflictCopyWatch::watch(const QString &notePath)
{
    if (notePath == m_note)
        return;
    m_watcher.unwatch(std::exchange(m_folder, 0));
    m_note = notePath;
    m_told.clear();
    if (m_note.isEmpty())
        return;
    // Only a name that could be a copy of this note's is worth a look at the folder: other files cost nothing here.
    const QFileInfo note(m_note);
    m_folder = m_watcher.watchFolder(FileNames::encodeName(note.absolutePath()), {}, this,
                                     [this, name = note.fileName()](const QByteArray &entry) {
                                         if (SyncConflicts::isCopyOf(FileNames::decodeName(entry), name))
                                             m_settle->start();
                                     });
    look();
}

void ConflictCopyWatch::ignore(const QString &copyPath)
{
    m_told.insert(copyPath);
}

void ConflictCopyWatch::look()
{
    if (m_note.isEmpty())
        return;
    const QString note = m_note;
    runOffThread<QStringList>(
        this, [note] { return copiesOf(note); }, [this, note](const QStringList &copies) { listed(note, copies); });
}

void ConflictCopyWatch::listed(const QString &notePath, const QStringList &copies)
{
    // A listing made for the name the note had before a rename tells nothing about it now.
    if (notePath != m_note)
        return;
    const QSet<QString> there(copies.cbegin(), copies.cend());
    for (auto told = m_told.begin(); told != m_told.end();) {
        if (there.contains(*told)) {
            ++told;
            continue;
        }
        const QString copy = *told;
        told = m_told.erase(told);
        Q_EMIT gone(copy);
    }
    for (const QString &copy : copies) {
        if (!m_told.contains(copy)) {
            m_told.insert(copy);
            Q_EMIT found(copy);
        }
    }
}
