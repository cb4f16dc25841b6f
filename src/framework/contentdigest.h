#pragma once

#include "framework/byteparts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// A 128-bit digest that tells one content of a file from another, fast enough to take of a big file on every save
// and every look at the file. It only has to tell our own writes from other programs' within this process, so it is
// keyed with a secret drawn at random for each process instead of being a cryptographic hash. The same bytes give
// the same digest however they are cut into parts.
// The bytes are hashed a block at a time and the digest is taken of the blocks' hashes: a save that copies the
// start of the note from the version it wrote or read before takes that start's hashes from then instead of
// reading it again.
class ContentDigest
{
public:
    static constexpr qsizetype blockSize = 1 << 20;
    struct BlockHash
    {
        quint64 low = 0;
        quint64 high = 0;
        bool operator==(const BlockHash &) const = default;
    };

    ContentDigest();
    ~ContentDigest();
    ContentDigest(const ContentDigest &) = delete;
    ContentDigest &operator=(const ContentDigest &) = delete;

    void add(QByteArrayView bytes);
    // Only before anything else is added: as if the whole blocks these hashes were taken of were added.
    void addHashed(const std::vector<BlockHash> &blocks, qsizetype count);
    // The hashes of the whole blocks added so far.
    const std::vector<BlockHash> &blocks() const;
    QByteArray result() const;

    static QByteArray of(const ByteParts &bytes);
    // The digest of the file at path, read in small blocks without waiting on anything but a regular file; none when
    // it cannot be read.
    static std::optional<QByteArray> ofFile(const QString &path);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
