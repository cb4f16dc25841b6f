#include "framework/contentdigest.h"

#include "framework/posixfile.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

// A file is read through one buffer of this size.
constexpr qsizetype blockSize = 256 * 1024;

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
    ~State() { XXH3_freeState(hash); }
};

ContentDigest::ContentDigest()
    : m_state(std::make_unique<State>())
{
    if (!m_state->hash)
        throw std::bad_alloc();
    XXH3_128bits_reset_withSecret(m_state->hash, secret().bytes, sizeof secret().bytes);
}

ContentDigest::~ContentDigest() = default;

void ContentDigest::add(QByteArrayView bytes)
{
    XXH3_128bits_update(m_state->hash, bytes.data(), size_t(bytes.size()));
}

QByteArray ContentDigest::result() const
{
    const XXH128_hash_t value = XXH3_128bits_digest(m_state->hash);
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
        QByteArray block(blockSize, Qt::Uninitialized);
        ContentDigest digest;
        for (;;) {
            const ssize_t got = retryEintr([&] { return ::read(fd, block.data(), size_t(blockSize)); });
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
