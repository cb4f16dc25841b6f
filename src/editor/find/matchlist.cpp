#include "editor/find/matchlist.h"

#include "editor/find/matchcounter.h"
#include "editor/find/textsearch.h"

#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Edits in a big note restart the count only after a short pause in typing.
constexpr int recountDelayMs = 120;

} // namespace

MatchList::MatchList(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_counter(new MatchCounter(this))
    , m_recountTimer(new QTimer(this))
{
    m_recountTimer->setSingleShot(true);
    m_recountTimer->setInterval(recountDelayMs);
    connect(m_recountTimer, &QTimer::timeout, this, &MatchList::recountDue);
    connect(m_counter, &MatchCounter::progressed, this, &MatchList::progressed);
    connect(m_counter, &MatchCounter::finished, this, &MatchList::takeCount);
    connect(m_counter, &MatchCounter::firstMatchAfterOrigin, this, [this](qsizetype position) {
        if (std::exchange(m_selectFirst, false))
            Q_EMIT firstMatchFound(position);
    });
    if (!m_document)
        return;
    m_revision = m_document->revision();
    connect(m_document, &QTextDocument::contentsChange, this, &MatchList::noteChanged);
}

void MatchList::start(const TextSearch &search, qsizetype origin, bool selectFirst)
{
    stop();
    if (m_document)
        m_revision = m_document->revision();
    m_selectFirst = selectFirst;
    m_counting = true;
    m_counter->start(search, origin);
}

void MatchList::stop()
{
    m_counter->stop();
    m_recountTimer->stop();
    m_matches.clear();
    m_counting = false;
    m_valid = false;
    m_selectFirst = false;
}

void MatchList::setIgnoringEdits(bool ignoring)
{
    m_ignoringEdits = ignoring;
    if (!ignoring && m_document)
        m_revision = m_document->revision();
}

qsizetype MatchList::counted() const
{
    return m_counter->counted();
}

qsizetype MatchList::numberOf(qsizetype start) const
{
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), start);
    if (it == m_matches.cend() || *it != start)
        return 0;
    return (it - m_matches.cbegin()) + 1;
}

qsizetype MatchList::forward(const TextSearch &search, qsizetype from) const
{
    if (!m_valid)
        return search.forward(from);
    if (m_matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), from);
    return it == m_matches.cend() ? m_matches.first() : *it;
}

qsizetype MatchList::backward(const TextSearch &search, qsizetype before) const
{
    if (!m_valid)
        return search.backward(before);
    if (m_matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), before);
    return it == m_matches.cbegin() ? m_matches.last() : *(it - 1);
}

void MatchList::noteChanged()
{
    if (m_ignoringEdits || !m_document)
        return;
    // Layout and highlighting changes come this way too; only a new revision is an edit of the text.
    const int revision = m_document->revision();
    if (revision == m_revision)
        return;
    m_revision = revision;
    // Only a search that is being counted or has been counts again; a stopped one waits for a new start.
    const bool searching = m_counting || m_valid;
    m_counter->stop();
    m_valid = false;
    m_matches.clear();
    m_selectFirst = false;
    m_counting = searching;
    if (m_counting)
        m_recountTimer->start();
    Q_EMIT stale();
}

void MatchList::takeCount(const QList<qsizetype> &matches)
{
    m_counting = false;
    m_matches = matches;
    m_valid = true;
    // Nothing after the caret: wrap to the first match of the note.
    if (!m_matches.isEmpty() && std::exchange(m_selectFirst, false))
        Q_EMIT firstMatchFound(m_matches.first());
    Q_EMIT finished(m_matches.size());
}
