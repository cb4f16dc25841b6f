#pragma once

#include <QByteArray>
#include <QList>

// A file's bytes as parts laid end to end, sharing their memory with the text they were taken from: a long note is
// written and hashed part by part, never first joined into one more copy of itself.
struct ByteParts
{
    QList<QByteArray> parts;

    ByteParts() = default;
    ByteParts(QByteArray whole)
    {
        if (!whole.isEmpty())
            parts.append(std::move(whole));
    }
    explicit ByteParts(QList<QByteArray> list)
        : parts(std::move(list))
    {}

    qsizetype size() const
    {
        qsizetype total = 0;
        for (const QByteArray &part : parts)
            total += part.size();
        return total;
    }

    // The bytes from offset on: the parts after it shared, the one it falls in copied from there.
    ByteParts from(qsizetype offset) const
    {
        ByteParts rest;
        for (const QByteArray &part : parts) {
            if (offset >= part.size()) {
                offset -= part.size();
                continue;
            }
            rest.parts.append(offset > 0 ? part.sliced(offset) : part);
            offset = 0;
        }
        return rest;
    }

    // One copy of the whole, for what needs the bytes in one place; a single part is shared, not copied.
    QByteArray joined() const
    {
        if (parts.size() == 1)
            return parts.first();
        QByteArray whole;
        whole.reserve(size());
        for (const QByteArray &part : parts)
            whole.append(part);
        return whole;
    }
};
