#pragma once

#include <QList>
#include <QString>

// A copy of a text document's raw text in pieces that share their memory with every snapshot taken. It follows
// the document edit by edit, so taking the whole text for a save costs a list copy instead of a pass over it, and
// the copy can be read on another thread while the document goes on changing.
class TextMirror
{
public:
    void reset(const QString &raw);
    // Replaces removed units at position by added. False when that does not fit the text held (the caller then
    // resets the mirror from the document).
    bool replace(qsizetype position, qsizetype removed, QStringView added);
    qsizetype size() const { return m_size; }
    QList<QString> pieces() const { return m_pieces; }

private:
    void splitLarge(qsizetype index);

    QList<QString> m_pieces;
    qsizetype m_size = 0;
};
