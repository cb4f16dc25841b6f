#include "editor/find/matchcounter.h"

#include <QElapsedTimer>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

// One slice of counting may hold the window this long; typing stays fluid in between.
constexpr qint64 sliceBudgetMs = 4;

} // namespace

MatchCounter::MatchCounter(QObject *parent)
    : QObject(parent)
    , m_sliceTimer(new QTimer(this))
{
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &MatchCounter::countSlice);
}

MatchCounter::~MatchCounter() = default;

void MatchCounter::start(const TextSearch &search, qsizetype origin)
{
    stop();
    if (search.isEmpty())
        return;
    m_search = search;
    m_document = search.document();
    m_origin = origin;
    m_block = m_document->findBlock(int(origin));
    m_stopBlock = m_block;
    m_sliceTimer->start();
    countSlice();
}

void MatchCounter::stop()
{
    m_sliceTimer->stop();
    m_document.clear();
    m_block = m_stopBlock = QTextBlock();
    m_wrapped = false;
    m_reportedFirst = false;
    m_head.clear();
    m_tail.clear();
}

bool MatchCounter::isCounting() const
{
    return m_sliceTimer->isActive();
}

void MatchCounter::countSlice()
{
    if (!m_document) {
        stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    int blocks = 0;
    for (;;) {
        if (!m_wrapped && !m_block.isValid()) {
            m_wrapped = true;
            m_block = m_document->begin();
        }
        if (m_wrapped && m_block == m_stopBlock)
            break;
        QList<qsizetype> &found = m_wrapped ? m_head : m_tail;
        const qsizetype before = found.size();
        m_search.appendMatches(m_block, found);
        if (!m_wrapped && !m_reportedFirst) {
            const auto first = std::lower_bound(found.cbegin() + before, found.cend(), m_origin);
            if (first != found.cend()) {
                m_reportedFirst = true;
                Q_EMIT firstMatchAfterOrigin(*first);
                if (!m_document)
                    return; // stopped meanwhile
            }
        }
        m_block = m_block.next();
        if (++blocks % 64 == 0 && clock.elapsed() >= sliceBudgetMs) {
            Q_EMIT progressed();
            return;
        }
    }
    const QList<qsizetype> matches = m_head + m_tail;
    stop();
    Q_EMIT finished(matches);
}
