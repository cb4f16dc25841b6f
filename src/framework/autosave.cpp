#include "autosave.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

AutoSave::AutoSave(std::function<void(const Completion &)> save, std::function<void(const Error &)> tell,
                   std::function<bool()> edited, QObject *parent)
    : QObject(parent)
    , m_save(std::move(save))
    , m_tell(std::move(tell))
    , m_edited(std::move(edited))
{}

QTimer *AutoSave::retry() const
{
    return m_retry && m_retry->isActive() ? m_retry : nullptr;
}

void AutoSave::schedule()
{
    // The edit's own save comes first; a retry after it waits from the start again.
    m_retryDelayMs = 0;
    if (m_retry)
        m_retry->stop();
    if (!m_pause) {
        m_pause = new QTimer(this);
        m_pause->setSingleShot(true);
        m_pause->setTimerType(Qt::PreciseTimer);
        m_pause->setInterval(delayMs);
        connect(m_pause, &QTimer::timeout, this, &AutoSave::saveNow);
    }
    m_pause->start();
}

void AutoSave::saveNow()
{
    if (m_retry)
        m_retry->stop();
    Q_EMIT requested();
    m_save([self = QPointer<AutoSave>(this)](const std::optional<Error> &error) {
        if (self)
            self->finished(error);
    });
}

void AutoSave::finished(const std::optional<Error> &error)
{
    // A save put off waits for the question or the grace that the window shows already.
    if (error && error->source() == Error::Source::Deferred)
        return;
    if (!error) {
        m_shownFailure.reset();
        m_retryDelayMs = 0;
        if (m_retry)
            m_retry->stop();
        return;
    }
    // A disk that stays full or read-only fails every save the same way: one message says it. A different failure
    // is news and is shown.
    const bool same = m_shownFailure && m_shownFailure->domain() == error->domain() &&
                      m_shownFailure->code() == error->code() && m_shownFailure->description() == error->description();
    m_shownFailure = *error;
    if (!same)
        m_tell(*error);
    // Only a file system failure may pass by itself; refused bytes wait for the user.
    if (!m_edited() || error->source() != Error::Source::System)
        return;
    if (!m_retry) {
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &AutoSave::saveNow);
    }
    m_retryDelayMs = m_retryDelayMs == 0 ? firstRetryMs : std::min(m_retryDelayMs * 2, mostRetryMs);
    m_retry->start(m_retryDelayMs);
}
