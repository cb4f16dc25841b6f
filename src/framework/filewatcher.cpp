#include "filewatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr quint32 entryChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB;
constexpr quint32 selfChanges = IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FileWatcher::FileWatcher(QObject *parent)
    : QObject(parent)
    , m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    // Without an instance (the user's limit is reached by other programs) nothing is told: notes are still looked at
    // before every write, so no version is lost, only noticed later.
    if (m_inotify < 0)
        return;
    m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FileWatcher::readEvents);
}

FileWatcher &FileWatcher::forProcess()
{
    // Made once and never destroyed: notes made without an app may outlive any owner, up to the process's end.
    static FileWatcher *const watcher = new FileWatcher;
    return *watcher;
}

FileWatcher::~FileWatcher()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
}

int FileWatcher::add(const QByteArray &path, quint32 mask, Watch watch)
{
    if (m_inotify < 0 || path.isEmpty())
        return 0;
    // The kernel gives one descriptor per watched file or folder: a second watch of it only adds its mask.
    watch.descriptor = ::inotify_add_watch(m_inotify, path.constData(), mask | IN_MASK_ADD);
    if (watch.descriptor < 0)
        return 0;
    const int id = m_nextId++;
    m_byDescriptor.insert(watch.descriptor, id);
    m_watches.insert(id, std::move(watch));
    return id;
}

int FileWatcher::watchFolder(const QByteArray &folder, const QByteArray &name, QObject *receiver,
                             const std::function<void(const QByteArray &)> &changed)
{
    return add(folder, entryChanges | selfChanges | IN_ONLYDIR, {-1, name, receiver, changed});
}

int FileWatcher::watchFile(const QByteArray &path, QObject *receiver, const std::function<void()> &changed)
{
    return add(path, IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | selfChanges,
               {-1, {}, receiver, [changed](const QByteArray &) {
                    changed();
                }});
}

void FileWatcher::unwatch(int id)
{
    const auto watch = m_watches.constFind(id);
    if (watch == m_watches.cend())
        return;
    const int descriptor = watch->descriptor;
    m_watches.erase(watch);
    if (descriptor < 0)
        return;
    m_byDescriptor.remove(descriptor, id);
    if (!m_byDescriptor.contains(descriptor))
        ::inotify_rm_watch(m_inotify, descriptor);
}

void FileWatcher::tell(const Watch &watch, const QByteArray &name) const
{
    if (watch.receiver)
        watch.changed(name);
}

void FileWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16 * 1024];
    // Each event with the watches it concerns, as they were when it came.
    QList<std::pair<QList<int>, QByteArray>> events;
    bool overflowed = false;
    for (;;) {
        const ssize_t got = ::read(m_inotify, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflowed = true;
                continue;
            }
            events.append({m_byDescriptor.values(event->wd), event->len ? QByteArray(event->name) : QByteArray()});
            if (event->mask & IN_IGNORED) {
                // The kernel dropped the watch (the file is gone): its watches wait to be renewed by their owners.
                for (const int id : m_byDescriptor.values(event->wd))
                    m_watches[id].descriptor = -1;
                m_byDescriptor.remove(event->wd);
            }
        }
    }
    if (overflowed) {
        events.clear();
        for (auto watch = m_watches.cbegin(); watch != m_watches.cend(); ++watch)
            events.append({{watch.key()}, watch->name});
    }
    // Callers may unwatch and watch anew from inside a call: each watch is looked up again before it is told.
    for (const auto &[ids, name] : std::as_const(events)) {
        for (const int id : ids) {
            const auto watch = m_watches.constFind(id);
            // An event of the folder itself (gone, moved) concerns every entry watched in it.
            if (watch == m_watches.cend() || !(watch->name.isEmpty() || name.isEmpty() || watch->name == name))
                continue;
            const Watch told = *watch; // the call may unwatch it
            tell(told, name.isEmpty() ? told.name : name);
        }
    }
}
