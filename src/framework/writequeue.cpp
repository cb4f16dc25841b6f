#include "writequeue.h"

#include "framework/durablewriter.h"
#include "framework/contentdigest.h"
#include "framework/syncconflicts.h"

#include <QDateTime>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThreadPool>

WriteQueue::WriteQueue(QObject *parent)
    : QObject(parent)
    , m_writer(std::make_unique<QThreadPool>())
{
    m_writer->setMaxThreadCount(1);
}

WriteQueue::~WriteQueue()
{
    m_writer->waitForDone();
}

bool WriteQueue::isWriting() const
{
    return m_writing;
}

void WriteQueue::start(const QString &path, const std::function<QByteArray()> &bytesOf,
                       const DurableWriter::Options &options, const std::function<bool()> &replaceIf,
                       const Finished &finished)
{
    m_writing = true;
    ++m_outstanding;
    m_writer->start([this, path, bytesOf, options, replaceIf, finished] {
        std::optional<Error> failure;
        Written written;
        written.changedOnDisk = replaceIf && !replaceIf();
        try {
            if (!written.changedOnDisk) {
                const QByteArray bytes = bytesOf();
                written.digest = ContentDigest::of(bytes);
                DurableWriter::replace(path, bytes, options);
                written.identity = FileIdentity::of(path);
            }
        } catch (const Error &error) {
            failure = error;
        } catch (const DurableWriter::OtherVersion &other) {
            written.changedOnDisk = other.theirsAt.isEmpty();
            if (!written.changedOnDisk) {
                try {
                    written.theirsKept = SyncConflicts::nameBeside(other.theirsAt, path, QDateTime::currentDateTime());
                } catch (const Error &error) {
                    failure = error; // theirs stays under its hidden name, which no sweep removes while it is named
                }
                written.identity = FileIdentity::of(path);
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, failure, written, finished] {
                m_writing = false;
                --m_outstanding;
                finished(failure, written);
            },
            Qt::QueuedConnection);
    });
}

void WriteQueue::run(const std::function<bool()> &check, const std::function<void(bool)> &done)
{
    ++m_outstanding;
    m_writer->start([this, check, done] {
        const bool answer = check();
        QMetaObject::invokeMethod(
            this,
            [this, answer, done] {
                --m_outstanding;
                done(answer);
            },
            Qt::QueuedConnection);
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

bool WriteQueue::finish(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_outstanding > 0) {
        if (!m_writer->waitForDone(int(deadline.remainingTime())))
            return false;
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return true;
}
