#include "editor/textmirror.h"

namespace {

// Small enough that changing a piece another thread still reads copies little, large enough that finding the
// piece of an edit walks few of them.
constexpr qsizetype pieceSize = 32 * 1024;

} // namespace

void TextMirror::reset(const QString &raw)
{
    m_pieces.clear();
    m_size = raw.size();
    for (qsizetype at = 0; at < raw.size(); at += pieceSize)
        m_pieces.append(raw.sliced(at, std::min(pieceSize, raw.size() - at)));
}

bool TextMirror::replace(qsizetype position, qsizetype removed, QStringView added)
{
    if (position < 0 || removed < 0 || position + removed > m_size)
        return false;
    if (m_pieces.isEmpty())
        m_pieces.append(QString());
    // The piece holding position; the end of the text belongs to the last piece.
    qsizetype index = 0;
    qsizetype start = 0;
    while (index + 1 < m_pieces.size() && start + m_pieces[index].size() <= position) {
        start += m_pieces[index].size();
        ++index;
    }
    const qsizetype offset = position - start;
    // Removal may reach into the pieces after this one.
    qsizetype left = removed;
    const qsizetype here = std::min(left, m_pieces[index].size() - offset);
    m_pieces[index].remove(offset, here);
    left -= here;
    while (left > 0 && index + 1 < m_pieces.size()) {
        QString &next = m_pieces[index + 1];
        const qsizetype take = std::min(left, next.size());
        next.remove(0, take);
        left -= take;
        if (next.isEmpty())
            m_pieces.removeAt(index + 1);
    }
    m_pieces[index].insert(offset, added);
    m_size += added.size() - removed;
    if (m_pieces[index].size() > 2 * pieceSize)
        splitLarge(index);
    else if (m_pieces[index].isEmpty() && m_pieces.size() > 1)
        m_pieces.removeAt(index);
    return true;
}

void TextMirror::splitLarge(qsizetype index)
{
    const QString large = m_pieces.takeAt(index);
    for (qsizetype at = 0; at < large.size(); at += pieceSize, ++index)
        m_pieces.insert(index, large.sliced(at, std::min(pieceSize, large.size() - at)));
}
