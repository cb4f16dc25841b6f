#include "editor/view/noteloader.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>

#include <algorithm>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>

namespace {

// After the first screen, a big note follows in parts, as much as fits in the slice of time each turn of the event
// loop gives it: one part a slice where the machine allows, since the view answers each part with a new layout of
// what it shows.
constexpr qsizetype firstLaterPart = 32 * 1024;
constexpr qsizetype smallestPart = 8 * 1024;
constexpr qsizetype largestPart = 512 * 1024;
constexpr int loadSliceMs = 8;

// Keys that reach the end of the whole note, or may edit it, wait for all of it. Looking around the text already
// shown goes on while the rest of a long note comes in.
bool waitsForWholeNote(const QKeyEvent *event)
{
    static const QKeySequence::StandardKey keys[] = {QKeySequence::MoveToEndOfDocument,
                                                     QKeySequence::SelectEndOfDocument,
                                                     QKeySequence::SelectAll,
                                                     QKeySequence::Undo,
                                                     QKeySequence::Redo,
                                                     QKeySequence::Cut,
                                                     QKeySequence::Paste,
                                                     QKeySequence::Delete,
                                                     QKeySequence::DeleteStartOfWord,
                                                     QKeySequence::DeleteEndOfWord,
                                                     QKeySequence::DeleteEndOfLine,
                                                     QKeySequence::DeleteCompleteLine,
                                                     QKeySequence::InsertParagraphSeparator,
                                                     QKeySequence::InsertLineSeparator};
    const QString typed = event->text();
    if (event->key() == Qt::Key_Backspace || (!typed.isEmpty() && (typed.front().isPrint() || typed.front() == u'\t')))
        return true;
    return std::any_of(std::begin(keys), std::end(keys), [event](auto key) { return event->matches(key); });
}

// A drop's data belongs to the drag, which ends with the drop: a held drop from another program carries a copy.
std::function<void()> heldDrop(QObject *target, QDropEvent *drop)
{
    auto data = std::make_shared<QMimeData>();
    for (const QString &format : drop->mimeData()->formats())
        data->setData(format, drop->mimeData()->data(format));
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    return [target = QPointer(target), data, at = drop->position(), buttons = drop->buttons(),
            modifiers = drop->modifiers()] {
        QDropEvent copy(at, Qt::CopyAction, data.get(), buttons, modifiers);
        if (target)
            QCoreApplication::sendEvent(target, &copy);
    };
}

} // namespace

NoteLoader::NoteLoader(AppendPart appendPart, QAbstractScrollArea *view)
    : QObject(view)
    , m_appendPart(std::move(appendPart))
    , m_view(view)
    , m_viewport(view->viewport())
    , m_partUnits(firstLaterPart)
{}

void NoteLoader::await()
{
    m_awaiting = true;
    // The application's filters see events first: input is held before any part of the window acts on it.
    QCoreApplication::instance()->installEventFilter(this);
}

void NoteLoader::start(const QString &text, qsizetype from)
{
    const bool awaited = std::exchange(m_awaiting, false);
    m_pending = from < text.size() ? text : QString();
    m_pendingFrom = from;
    if (isLoading()) {
        QCoreApplication::instance()->installEventFilter(this);
        queueLoad();
    } else if (awaited) {
        // All of the note is in at once: what the user did meanwhile is done to it now.
        Q_EMIT loaded();
        doHeld();
    }
}

void NoteLoader::finish()
{
    // No note is coming any more (its window closes): what was held goes to the text there is.
    if (m_awaiting && m_pending.isEmpty()) {
        m_awaiting = false;
        Q_EMIT loaded();
        doHeld();
        return;
    }
    while (!m_pending.isEmpty())
        loadPart(std::numeric_limits<qsizetype>::max());
}

bool NoteLoader::hold(std::function<void()> edit)
{
    if (!isLoading())
        return false;
    m_held.push_back(std::move(edit));
    return true;
}

bool NoteLoader::eventFilter(QObject *watched, QEvent *event)
{
    if (!isLoading() || (watched != m_view && watched != m_viewport))
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (m_held.empty() && !waitsForWholeNote(static_cast<QKeyEvent *>(event)))
            return false;
        break;
    case QEvent::InputMethod:
    case QEvent::ContextMenu: // its actions edit the note
        break;
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        // Text dragged within the note would stay where it is and come in again as a copy: that drop is refused.
        if (drop->source() == m_view || drop->source() == m_viewport)
            drop->ignore();
        else
            m_held.push_back(heldDrop(watched, drop));
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        // Once an edit waits, so does all that follows it, so that the caret is where it was for each.
        if (m_held.empty())
            return false;
        break;
    default:
        return false;
    }
    m_held.push_back([target = QPointer(watched), copy = std::shared_ptr<QEvent>(event->clone())] {
        if (target)
            QCoreApplication::sendEvent(target, copy.get());
    });
    return true;
}

void NoteLoader::doHeld()
{
    QCoreApplication::instance()->removeEventFilter(this);
    while (!m_held.empty() && !isLoading()) {
        const std::function<void()> edit = std::move(m_held.front());
        m_held.pop_front();
        edit();
    }
}

void NoteLoader::queueLoad()
{
    // A posted call waits for the next pass over the posted events, where a timer of no interval may fire three
    // times in one turn of the event loop; a turn may still take two slices, so a slice is kept short.
    if (std::exchange(m_loadQueued, true))
        return;
    QMetaObject::invokeMethod(this, &NoteLoader::loadMore, Qt::QueuedConnection);
}

void NoteLoader::loadMore()
{
    m_loadQueued = false;
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.isEmpty() && clock.elapsed() < loadSliceMs) {
        const qint64 before = clock.nsecsElapsed();
        const qsizetype from = m_pendingFrom;
        loadPart(m_partUnits);
        // What this part took says how much fills a slice: a part never keeps the window longer than two slices.
        const qint64 took = std::max<qint64>(clock.nsecsElapsed() - before, 1);
        const double perSlice = double(m_pendingFrom - from) * loadSliceMs * 1e6 / double(took);
        m_partUnits = std::clamp<qsizetype>(qsizetype(perSlice), smallestPart, largestPart);
    }
    if (!m_pending.isEmpty())
        queueLoad();
}

void NoteLoader::loadPart(qsizetype budget)
{
    const LineEndings::Piece part = LineEndings::piece(m_pending, m_pendingFrom, budget);
    m_appendPart(part);
    m_pendingFrom = part.end;
    if (m_pendingFrom < m_pending.size()) {
        // Once most of a big text is in the view, the rest is copied out and the whole let go, so that a long
        // note is not held twice by the end of its load. Halving each time keeps the copying under one pass.
        if (m_pending.size() > compactPendingAbove && m_pendingFrom > m_pending.size() / 2) {
            m_pending = m_pending.sliced(m_pendingFrom);
            m_pendingFrom = 0;
        }
        return;
    }
    m_pending = QString();
    m_pendingFrom = 0;
    Q_EMIT loaded();
    doHeld();
}
