#include "editor/view/noteloader.h"

#include <QElapsedTimer>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// After the first screen, a big note follows in parts, as much as fits in the slice of time each turn of the event
// loop gives it: one part a slice where the machine allows, since the view answers each part with a new layout of
// what it shows.
constexpr qsizetype firstLaterPart = 32 * 1024;
constexpr qsizetype smallestPart = 8 * 1024;
constexpr qsizetype largestPart = 512 * 1024;
constexpr int loadSliceMs = 8;

} // namespace

NoteLoader::NoteLoader(AppendPart appendPart, QObject *parent)
    : QObject(parent)
    , m_appendPart(std::move(appendPart))
    , m_partUnits(firstLaterPart)
{}

void NoteLoader::start(const QString &text, qsizetype from)
{
    m_pending = from < text.size() ? text : QString();
    m_pendingFrom = from;
    if (isLoading())
        queueLoad();
}

void NoteLoader::finish()
{
    while (isLoading())
        loadPart(std::numeric_limits<qsizetype>::max());
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
    while (isLoading() && clock.elapsed() < loadSliceMs) {
        const qint64 before = clock.nsecsElapsed();
        const qsizetype from = m_pendingFrom;
        loadPart(m_partUnits);
        // What this part took says how much fills a slice: a part never keeps the window longer than two slices.
        const qint64 took = std::max<qint64>(clock.nsecsElapsed() - before, 1);
        const double perSlice = double(m_pendingFrom - from) * loadSliceMs * 1e6 / double(took);
        m_partUnits = std::clamp<qsizetype>(qsizetype(perSlice), smallestPart, largestPart);
    }
    if (isLoading())
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
}
