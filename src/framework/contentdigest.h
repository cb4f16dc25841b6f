#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// A 128-bit digest that tells one content of a file from another, fast enough to take of a big file on every save
// and every look at the file. It only has to tell our own writes from other programs' within this process, so it is
// keyed with a seed drawn at random for each process instead of being a cryptographic hash. The same bytes give
// the same digest however they are fed in.
class ContentDigest
{
public:
    void add(QByteArrayView bytes);
    QByteArray result() const;

    static QByteArray of(QByteArrayView bytes);
    // The digest of the file at path, read in small blocks without waiting on anything but a regular file; none when
    // it cannot be read.
    static std::optional<QByteArray> ofFile(const QString &path);

private:
    void addBlock(QByteArrayView block);

    QByteArray m_partial;
    size_t m_first = 0;
    size_t m_second = 0;
    qsizetype m_size = 0;
};
