#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A copy of a text document's raw text, in UTF-8 pieces (each break one '\n') that share their memory with every
// snapshot taken. It follows the document edit by edit, so taking the whole text for a save costs a list copy
// instead of a pass over it, the copy can be read on another thread while the document goes on changing, and it
// takes about half the memory of the document's own UTF-16. Pieces hold whole characters. A copy shares the pieces
// until either side changes, and costs one reference whatever the text's length.
class TextMirror
{
public:
    explicit TextMirror(qsizetype pieceUnits = 32 * 1024);

    void reset(QStringView raw);
    // Replaces removed UTF-16 units at position by added. False when that does not fit the text held, or would cut
    // a character in two (the caller then resets the mirror from the document).
    bool replace(qsizetype position, qsizetype removed, QStringView added);
    // False while the text holds half a character, which the pieces hold as "?".
    bool isExact() const { return m_exact; }
    // In UTF-16 units, as the document counts.
    qsizetype size() const { return m_size; }
    QList<QByteArray> pieces() const;
    qsizetype pieceCount() const { return m_pieces.size(); }
    const QByteArray &piece(qsizetype index) const { return m_pieces.at(index).utf8; }

private:
    struct Piece
    {
        QByteArray utf8;
        qsizetype units = 0;
    };
    // raw in pieces of whole characters.
    QList<Piece> cut(QStringView raw) const;
    void splitLarge(qsizetype index);
    // The piece holding position, from the last edit's place: typing goes on where it was, so neither the pieces
    // before it nor the characters before the caret are walked again.
    qsizetype pieceAt(qsizetype position);
    // The byte offset of the unit offset in piece index; -1 inside a character.
    qsizetype byteAt(qsizetype index, qsizetype offset) const;

    // Where the last edit left off: piece index starts at unit start of the text, and its unit units is its byte
    // bytes (0 and 0 when not known). An edit changes only the pieces from its own on, so the start holds.
    struct Place
    {
        qsizetype index = 0;
        qsizetype start = 0;
        qsizetype units = 0;
        qsizetype bytes = 0;
    };

    qsizetype m_pieceUnits;
    QList<Piece> m_pieces;
    qsizetype m_size = 0;
    bool m_exact = true;
    Place m_place;
};
