#pragma once

#include "framework/byteparts.h"
#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/fileidentity.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

// Writes a note's bytes to its file on the app's writers, one write at a time and in order, so the window stays
// responsive while a long text goes to disk. A request made during a write is served by the write after it. The
// writers are the app's, shared by every note: a write under way when its note goes finishes with what it owns,
// and its report is dropped.
class WriteQueue : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(const std::optional<Error> &)>;
    // With the write's error or none, the digest of the bytes it wrote and the file it left, looked at on the writer
    // right after (by the time this thread hears of it, another program may have put its own file there); or, when
    // the file was no longer what the write was allowed to replace, nothing written and changedOnDisk.
    // theirsKept: another program's version renamed in during the write itself, which could not be put back, is
    // ours no more to replace: it was kept at this path beside the note, and ours is written.
    struct Written
    {
        QByteArray digest;
        FileIdentity identity;
        bool changedOnDisk = false;
        QString theirsKept;
    };
    using Finished = std::function<void(const std::optional<Error> &, const Written &written)>;

    // writers: the app's pool, which outlives every note; none: the process's own.
    explicit WriteQueue(QThreadPool *writers, QObject *parent = nullptr);
    // Never waits: what is under way goes on without this queue, and its reports are dropped.
    ~WriteQueue() override;

    bool isWriting() const;
    // Takes the bytes from bytesOf and runs DurableWriter::replace(path, bytes, options), both on the writer, then
    // finished on this thread with its error or none and the digest of what was written. With replaceIf, the file
    // is replaced only when replaceIf(), run on the writer first, says it still holds what we know.
    void start(const QString &path, const std::function<ByteParts()> &bytesOf, const DurableWriter::Options &options,
               const std::function<bool()> &replaceIf, const Finished &finished);
    // Takes version, the file the note's text was read from, for the file the last save wrote: the next save copies
    // from it the start of the text that is still its bytes, as far as shown (the block hashes of the text's bytes
    // as bytesOf gives them now) agrees with the file's.
    void seed(std::shared_ptr<DurableWriter::LastWritten> version, const std::function<ByteParts()> &bytesOf,
              std::vector<ContentDigest::BlockHash> shown);
    // Runs check on the writer, after the writes asked for before, then done on this thread with its answer.
    void run(const std::function<bool()> &check, const std::function<void(bool)> &done);
    // Remembers that another write is wanted once the current one has finished, and who waits for it.
    void requestAgain(const Completion &completion);
    // Whether a write was asked for during the last one, with those waiting for it; forgets them.
    bool takeRequest(QList<Completion> &waiting);
    // Forgets the tasks given and not begun yet: they never run and never report. What runs goes on.
    void discardQueued();
    // Waits for the writes, reads and comparisons asked for so far (and those their reports ask for), and delivers
    // their reports on this thread; false when they are still under way after timeoutMs.
    bool finish(int timeoutMs);

private:
    struct Order;
    // Runs task on the writers after the tasks given before it, then report on this thread unless the queue is gone.
    void enqueue(std::function<std::function<void()>()> task);

    QThreadPool &m_writers;
    std::shared_ptr<Order> m_order;
    bool m_writing = false;
    // Tasks given to the writer whose report has not been delivered yet.
    int m_outstanding = 0;
    bool m_again = false;
    QList<Completion> m_waiting;
};
