#include "framework/contentdigest.h"

#include "framework/posixfile.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

// A file is read through one buffer of this size.
constexpr qsizetype readSize = 256 * 1024;

struct Secret
{
    // Random bytes are the best secret the hash can have; its own minimum is 136.
    unsigned char bytes[192];
};

const Secret &secret()
{
    static const Secret drawn = [] {
        Secret made;
        QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(made.bytes),
                                             reinterpret_cast<quint32 *>(made.bytes + sizeof made.bytes));
        return made;
    }();
    return drawn;
}

} // namespace

struct ContentDigest::State
{
    XXH3_state_t *hash = XXH3_createState();
    // The block being hashed holds this many bytes.
    qsizetype filled = 0;
    std::vector<BlockHash> blocks;
    ~State() { XXH3_freeState(hash); }
    void reset() { XXH3_128bits_reset_withSecret(hash, secret().bytes, sizeof secret().bytes); }
};

ContentDigest::ContentDigest()
    : m_state(std::make_unique<State>())
{
    if (!m_state->hash)
        throw std::bad_alloc();
    m_state->reset();
}

ContentDigest::~ContentDigest() = default;

void ContentDigest::add(QByteArrayView bytes)
{
    State &state = *m_state;
    while (!bytes.isEmpty()) {
        const qsizetype take = std::min(bytes.size(), blockSize - state.filled);
        XXH3_128bits_update(state.hash, bytes.data(), size_t(take));
        bytes = bytes.sliced(take);
        state.filled += take;
        if (state.filled == blockSize) {
            const XXH128_hash_t block = XXH3_128bits_digest(state.hash);
            state.blocks.push_back({block.low64, block.high64});
            state.reset();
            state.filled = 0;
        }
    }
}

void ContentDigest::addHashed(const std::vector<BlockHash> &blocks, qsizetype count)
{
    Q_ASSERT(m_state->blocks.empty() && m_state->filled == 0 && count <= qsizetype(blocks.size()));
    m_state->blocks.assign(blocks.begin(), blocks.begin() + count);
}

const std::vector<ContentDigest::BlockHash> &ContentDigest::blocks() const
{
    return m_state->blocks;
}

QByteArray ContentDigest::result() const
{
    // The blocks' hashes and the last, partial block's, which is there even when empty.
    const XXH128_hash_t last = XXH3_128bits_digest(m_state->hash);
    std::vector<BlockHash> hashes = m_state->blocks;
    hashes.push_back({last.low64, last.high64});
    const XXH128_hash_t value = XXH3_128bits_withSecret(hashes.data(), hashes.size() * sizeof(BlockHash),
                                                        secret().bytes, sizeof secret().bytes);
    QByteArray digest;
    digest.append(reinterpret_cast<const char *>(&value.low64), sizeof value.low64);
    digest.append(reinterpret_cast<const char *>(&value.high64), sizeof value.high64);
    return digest;
}

QByteArray ContentDigest::of(const ByteParts &bytes)
{
    ContentDigest digest;
    for (const QByteArray &part : bytes.parts)
        digest.add(part);
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
        QByteArray block(readSize, Qt::Uninitialized);
        ContentDigest digest;
        for (;;) {
            const ssize_t got = retryEintr([&] { return ::read(fd, block.data(), size_t(readSize)); });
            if (got < 0)
                break;
            if (got == 0) {
                result = digest.result();
                break;
            }
            digest.add(QByteArrayView(block).first(got));
        }
    }
    ::close(fd);
    return result;
}
