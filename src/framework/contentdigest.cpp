#include "framework/contentdigest.h"

#include "framework/posixfile.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Blocks hashed one after the other, each seeded with the hash so far: a block fits the cache and a file is read
// through one buffer of this size.
constexpr qsizetype blockSize = 256 * 1024;

struct Seeds
{
    size_t first;
    size_t second;
};

const Seeds &seeds()
{
    static const Seeds drawn{size_t(QRandomGenerator::system()->generate64()),
                             size_t(QRandomGenerator::system()->generate64())};
    return drawn;
}

} // namespace

void ContentDigest::addBlock(QByteArrayView block)
{
    // Qt takes its fastest hash for a seed other than zero.
    m_first = qHash(block, (m_first ^ seeds().first) | 1);
    m_second = qHash(block, (m_second ^ seeds().second) | 1);
}

void ContentDigest::add(QByteArrayView bytes)
{
    m_size += bytes.size();
    if (!m_partial.isEmpty()) {
        const qsizetype take = std::min(bytes.size(), blockSize - m_partial.size());
        m_partial.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (m_partial.size() < blockSize)
            return;
        addBlock(m_partial);
        m_partial.clear();
    }
    while (bytes.size() >= blockSize) {
        addBlock(bytes.first(blockSize));
        bytes = bytes.sliced(blockSize);
    }
    m_partial.append(bytes);
}

QByteArray ContentDigest::result() const
{
    size_t first = m_first;
    size_t second = m_second;
    if (!m_partial.isEmpty()) {
        first = qHash(QByteArrayView(m_partial), (first ^ seeds().first) | 1);
        second = qHash(QByteArrayView(m_partial), (second ^ seeds().second) | 1);
    }
    first = qHash(m_size, first);
    QByteArray digest;
    digest.append(reinterpret_cast<const char *>(&first), sizeof first);
    digest.append(reinterpret_cast<const char *>(&second), sizeof second);
    return digest;
}

QByteArray ContentDigest::of(QByteArrayView bytes)
{
    ContentDigest digest;
    digest.add(bytes);
    return digest.result();
}

std::optional<QByteArray> ContentDigest::ofFile(const QString &path)
{
    using PosixFile::retryEintr;
    const QByteArray name = QFile::encodeName(path);
    const int fd = retryEintr([&] { return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {};
    std::optional<QByteArray> result;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        // Whole blocks, so that the digest sees the blocks it sees when given the bytes at once.
        QByteArray block(blockSize, Qt::Uninitialized);
        ContentDigest digest;
        for (;;) {
            qsizetype filled = 0;
            ssize_t got = 0;
            while (filled < blockSize && (got = retryEintr([&] {
                                              return ::read(fd, block.data() + filled, size_t(blockSize - filled));
                                          })) > 0)
                filled += got;
            if (got < 0)
                break;
            digest.add(QByteArrayView(block).first(filled));
            if (filled < blockSize) {
                result = digest.result();
                break;
            }
        }
    }
    ::close(fd);
    return result;
}
