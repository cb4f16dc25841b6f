#include "editor/view/textmirror.h"

#include "storage/notecodec.h"

#include <cstdint>
#include <cstring>

namespace {

// Bytes of the UTF-8 sequence that starts with lead; the text was encoded by the toolkit, so it is well formed.
int sequenceLength(uchar lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The byte offset in utf8, from byte from, of the character units UTF-16 units further; -1 when that falls
// inside a character (between the halves of a surrogate pair) or beyond the end.
qsizetype advance(const QByteArray &utf8, qsizetype from, qsizetype units)
{
    const auto *bytes = reinterpret_cast<const uchar *>(utf8.constData());
    qsizetype at = from;
    while (units > 0 && at < utf8.size()) {
        // Typing at the end of a piece walks all of it: ASCII goes eight bytes, eight units, at a time.
        if (units >= 8 && utf8.size() - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                at += 8;
                units -= 8;
                continue;
            }
        }
        const int length = sequenceLength(bytes[at]);
        units -= length == 4 ? 2 : 1;
        at += length;
    }
    return units == 0 ? at : -1;
}

// The byte offset in utf8 of the character units UTF-16 units before byte from; -1 as advance().
qsizetype retreat(const QByteArray &utf8, qsizetype from, qsizetype units)
{
    const auto *bytes = reinterpret_cast<const uchar *>(utf8.constData());
    qsizetype at = from;
    while (units > 0 && at > 0) {
        qsizetype lead = at - 1;
        while (lead > 0 && (bytes[lead] & 0xC0) == 0x80)
            --lead;
        units -= at - lead == 4 ? 2 : 1;
        at = lead;
    }
    return units == 0 ? at : -1;
}

// Whole characters of raw from at, about units long.
qsizetype wholeUnits(QStringView raw, qsizetype at, qsizetype units)
{
    qsizetype length = std::min(units, raw.size() - at);
    if (at + length < raw.size() && raw[at + length - 1].isHighSurrogate() && raw[at + length].isLowSurrogate())
        --length;
    return length;
}

// Whether text holds half of a surrogate pair, which UTF-8 cannot hold (it would become "?").
bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

TextMirror::TextMirror(qsizetype pieceUnits)
    : m_pieceUnits(pieceUnits)
{}

QList<TextMirror::Piece> TextMirror::cut(QStringView raw) const
{
    QList<Piece> pieces;
    for (qsizetype at = 0, length = 0; at < raw.size(); at += length) {
        length = wholeUnits(raw, at, m_pieceUnits);
        pieces.append({LineEndings::rawBytes(raw.sliced(at, length)), length});
    }
    return pieces;
}

void TextMirror::reset(QStringView raw)
{
    m_pieces = cut(raw);
    m_size = raw.size();
    m_exact = !hasLoneSurrogate(raw);
    m_place = {};
}

qsizetype TextMirror::pieceAt(qsizetype position)
{
    Place &place = m_place;
    if (place.index >= m_pieces.size())
        place = {};
    while (place.index > 0 && position < place.start) {
        --place.index;
        place.start -= m_pieces[place.index].units;
        place.units = place.bytes = 0;
    }
    // The end of the text belongs to the last piece.
    while (place.index + 1 < m_pieces.size() && place.start + m_pieces[place.index].units <= position) {
        place.start += m_pieces[place.index].units;
        ++place.index;
        place.units = place.bytes = 0;
    }
    return place.index;
}

qsizetype TextMirror::byteAt(qsizetype index, qsizetype offset) const
{
    const QByteArray &utf8 = m_pieces[index].utf8;
    if (index != m_place.index)
        return advance(utf8, 0, offset);
    if (offset >= m_place.units)
        return advance(utf8, m_place.bytes, offset - m_place.units);
    if (m_place.units - offset <= offset)
        return retreat(utf8, m_place.bytes, m_place.units - offset);
    return advance(utf8, 0, offset);
}

QList<QByteArray> TextMirror::pieces() const
{
    QList<QByteArray> pieces;
    pieces.reserve(m_pieces.size());
    for (const Piece &piece : m_pieces)
        pieces.append(piece.utf8);
    return pieces;
}

bool TextMirror::replace(qsizetype position, qsizetype removed, QStringView added)
{
    // A half character cannot be mirrored: the caller takes the whole text again, until it is whole.
    if (!m_exact || position < 0 || removed < 0 || position + removed > m_size || hasLoneSurrogate(added))
        return false;
    // A long text coming in at the end (a note loading in parts) becomes pieces of its own.
    if (position == m_size && removed == 0 && added.size() >= m_pieceUnits) {
        m_pieces += cut(added);
        m_size += added.size();
        return true;
    }
    if (m_pieces.isEmpty())
        m_pieces.append(Piece());
    const qsizetype index = pieceAt(position);
    const qsizetype offset = position - m_place.start;
    const qsizetype here = std::min(removed, m_pieces[index].units - offset);
    const qsizetype from = byteAt(index, offset);
    const qsizetype to = from < 0 ? -1 : advance(m_pieces[index].utf8, from, here);
    if (to < 0)
        return false;
    m_pieces[index].utf8.remove(from, to - from);
    m_pieces[index].units -= here;
    // Known again below where the edit leaves a place to go on from.
    m_place.units = m_place.bytes = 0;
    // Removal may reach into the pieces after this one.
    qsizetype left = removed - here;
    while (left > 0 && index + 1 < m_pieces.size()) {
        Piece &next = m_pieces[index + 1];
        const qsizetype take = std::min(left, next.units);
        const qsizetype cut = advance(next.utf8, 0, take);
        if (cut < 0)
            return false;
        next.utf8.remove(0, cut);
        next.units -= take;
        left -= take;
        if (next.units == 0)
            m_pieces.removeAt(index + 1);
    }
    Piece &piece = m_pieces[index];
    if (added.size() >= m_pieceUnits) {
        // A long text becomes pieces of its own between the two halves of this one, so that nothing but the new
        // text is converted.
        Piece tail{piece.utf8.sliced(from), piece.units - offset};
        piece.utf8.truncate(from);
        piece.units = offset;
        QList<Piece> parts = cut(added);
        if (tail.units > 0)
            parts.append(std::move(tail));
        const qsizetype at = piece.units > 0 ? index + 1 : index;
        if (piece.units == 0)
            m_pieces.removeAt(index);
        m_pieces.insert(at, parts.size(), Piece());
        std::move(parts.begin(), parts.end(), m_pieces.begin() + at);
        m_size += added.size() - removed;
        return true;
    }
    const QByteArray bytes = LineEndings::rawBytes(added);
    piece.utf8.insert(from, bytes);
    piece.units += added.size();
    m_size += added.size() - removed;
    if (piece.units > 2 * m_pieceUnits) {
        splitLarge(index);
    } else if (piece.units == 0 && m_pieces.size() > 1) {
        m_pieces.removeAt(index);
    } else {
        m_place.units = offset + added.size();
        m_place.bytes = from + bytes.size();
    }
    return true;
}

void TextMirror::splitLarge(qsizetype index)
{
    const QList<Piece> parts = cut(QString::fromUtf8(m_pieces.at(index).utf8));
    m_pieces = m_pieces.first(index) + parts + m_pieces.sliced(index + 1);
}
