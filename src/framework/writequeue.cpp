#include "writequeue.h"

#include "framework/durablewriter.h"
#include "framework/contentdigest.h"
#include "framework/syncconflicts.h"

#include <QDateTime>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

#include <algorithm>
#include <deque>

// The tasks of one note, run one at a time in order on the shared writers, and whether its queue still takes reports.
struct WriteQueue::Order
{
    // Only the note's own tasks use it, one at a time.
    DurableWriter::LastWritten lastWritten;
    QMutex mutex;
    QWaitCondition idle;
    std::deque<std::function<void()>> tasks;
    bool running = false;
    WriteQueue *queue = nullptr;
};

WriteQueue::WriteQueue(QThreadPool *writers, QObject *parent)
    : QObject(parent)
    , m_writers(writers ? *writers : *QThreadPool::globalInstance())
    , m_order(std::make_shared<Order>())
{
    m_order->queue = this;
}

WriteQueue::~WriteQueue()
{
    const QMutexLocker lock(&m_order->mutex);
    m_order->queue = nullptr;
}

void WriteQueue::enqueue(std::function<std::function<void()>()> task)
{
    ++m_outstanding;
    const std::shared_ptr<Order> order = m_order;
    // Each task gives back its report; it is posted while the queue is known to exist, under the lock it takes to go.
    auto run = [order, task = std::move(task)] {
        std::function<void()> report = task();
        const QMutexLocker lock(&order->mutex);
        if (order->queue)
            QMetaObject::invokeMethod(order->queue, std::move(report), Qt::QueuedConnection);
    };
    const QMutexLocker lock(&order->mutex);
    order->tasks.push_back(std::move(run));
    if (std::exchange(order->running, true))
        return;
    m_writers.start([order] {
        for (;;) {
            std::function<void()> next;
            {
                const QMutexLocker lock(&order->mutex);
                if (order->tasks.empty()) {
                    order->running = false;
                    order->idle.wakeAll();
                    return;
                }
                next = std::move(order->tasks.front());
                order->tasks.pop_front();
            }
            next();
        }
    });
}

bool WriteQueue::isWriting() const
{
    return m_writing;
}

void WriteQueue::start(const QString &path, const std::function<ByteParts()> &bytesOf,
                       const DurableWriter::Options &options, const std::function<bool()> &replaceIf,
                       const Finished &finished)
{
    m_writing = true;
    enqueue([this, order = m_order, path, bytesOf, options, replaceIf, finished]() -> std::function<void()> {
        std::optional<Error> failure;
        Written written;
        written.changedOnDisk = replaceIf && !replaceIf();
        try {
            if (!written.changedOnDisk) {
                ContentDigest digest;
                DurableWriter::Options writing = options;
                writing.digest = &digest;
                writing.lastWritten = &order->lastWritten;
                written.identity = DurableWriter::replace(path, bytesOf(), writing);
                written.digest = digest.result();
            }
        } catch (const Error &error) {
            failure = error;
        } catch (const DurableWriter::OtherVersion &other) {
            written.changedOnDisk = other.theirsAt.isEmpty();
            if (!written.changedOnDisk) {
                try {
                    written.theirsKept = SyncConflicts::nameBeside(other.theirsAt, path, QDateTime::currentDateTime());
                } catch (const Error &error) {
                    failure = error;
                }
                written.identity = FileIdentity::of(path);
            }
        }
        // Run on this thread, only while the queue exists.
        return [this, failure, written, finished] {
            m_writing = false;
            --m_outstanding;
            finished(failure, written);
        };
    });
}

void WriteQueue::seed(std::shared_ptr<DurableWriter::LastWritten> version, const std::function<ByteParts()> &bytesOf,
                      std::vector<ContentDigest::BlockHash> shown)
{
    enqueue([this, order = m_order, version, bytesOf, shown = std::move(shown)]() -> std::function<void()> {
        const auto differs =
            std::mismatch(shown.cbegin(), shown.cend(), version->blocks.cbegin(), version->blocks.cend()).first;
        version->blocks.resize(std::size_t(differs - shown.cbegin()));
        // Newer than what any save before it wrote: the text shown now came from it.
        if (!version->blocks.empty()) {
            version->bytes = DurableWriter::LastWritten::sharedStart(bytesOf());
            order->lastWritten = std::move(*version);
        }
        return [this] {
            --m_outstanding;
        };
    });
}

void WriteQueue::run(const std::function<bool()> &check, const std::function<void(bool)> &done)
{
    enqueue([this, check, done]() -> std::function<void()> {
        const bool answer = check();
        return [this, answer, done] {
            --m_outstanding;
            done(answer);
        };
    });
}

void WriteQueue::requestAgain(const Completion &completion)
{
    m_again = true;
    if (completion)
        m_waiting.append(completion);
}

bool WriteQueue::takeRequest(QList<Completion> &waiting)
{
    waiting = std::exchange(m_waiting, {});
    return std::exchange(m_again, false);
}

void WriteQueue::discardQueued()
{
    const QMutexLocker lock(&m_order->mutex);
    m_outstanding -= int(m_order->tasks.size());
    m_order->tasks.clear();
}

bool WriteQueue::finish(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_outstanding > 0) {
        {
            QMutexLocker lock(&m_order->mutex);
            while (m_order->running) {
                if (!m_order->idle.wait(&m_order->mutex, deadline))
                    return false;
            }
        }
        // The reports of what ran are delivered here; they may ask for more.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return true;
}
