#include "editor/find/textsearch.h"

#include "editor/view/breakmap.h"

#include <QTextBlock>
#include <QTextDocument>

TextSearch::TextSearch(QTextDocument *document, const QString &needle, Qt::CaseSensitivity sensitivity)
    : m_document(document)
    , m_needle(needle)
    , m_sensitivity(sensitivity)
{
    if (m_document)
        m_endings = BreakMap(m_document).endingsByFormat();
}

bool TextSearch::cutFollows(const QTextBlock &block) const
{
    const QTextBlock next = block.next();
    return next.isValid() && BreakMap(m_document).endingBefore(next, m_endings) == LineEndings::Ending::Wrap;
}

QString TextSearch::textFrom(const QTextBlock &block) const
{
    QString text = block.text();
    const qsizetype wanted = text.size() + m_needle.size() - 1;
    for (QTextBlock at = block; text.size() < wanted && cutFollows(at);) {
        at = at.next();
        text += at.text().left(wanted - text.size());
    }
    return text;
}

qsizetype TextSearch::matchEnd(qsizetype start) const
{
    qsizetype end = start + m_needle.size();
    if (!m_document)
        return end;
    // Each cut the match runs over adds its character.
    for (QTextBlock block = m_document->findBlock(int(start));
         block.isValid() && end >= block.position() + block.length() && cutFollows(block); block = block.next())
        ++end;
    return end;
}

bool TextSearch::isMatch(qsizetype start, qsizetype end) const
{
    return forward(start) == start && matchEnd(start) == end;
}

void TextSearch::appendMatches(const QTextBlock &block, QList<qsizetype> &matches, qsizetype limit) const
{
    const QString text = textFrom(block);
    const qsizetype base = block.position();
    const qsizetype starts = block.length() - 1;
    const qsizetype from = matches.isEmpty() ? 0 : std::max<qsizetype>(0, matchEnd(matches.last()) - base);
    for (qsizetype at = text.indexOf(m_needle, from, m_sensitivity); at >= 0 && at < starts && matches.size() < limit;
         at = text.indexOf(m_needle, at + m_needle.size(), m_sensitivity))
        matches.append(base + at);
}

QList<qsizetype> TextSearch::allMatches() const
{
    QList<qsizetype> matches;
    if (isEmpty())
        return matches;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        appendMatches(block, matches);
    return matches;
}

qsizetype TextSearch::firstIn(const QTextBlock &block, qsizetype from) const
{
    const qsizetype at = textFrom(block).indexOf(m_needle, from, m_sensitivity);
    return at < block.length() - 1 ? at : -1;
}

qsizetype TextSearch::lastIn(const QTextBlock &block, qsizetype from) const
{
    return from < 0 ? -1 : textFrom(block).lastIndexOf(m_needle, from, m_sensitivity);
}

qsizetype TextSearch::forward(qsizetype from) const
{
    if (isEmpty())
        return -1;
    const QTextBlock start = m_document->findBlock(int(from));
    qsizetype offset = from - start.position();
    for (QTextBlock block = start; block.isValid(); block = block.next(), offset = 0) {
        if (const qsizetype at = firstIn(block, offset); at >= 0)
            return block.position() + at;
    }
    // Around from the top, up to and including the block we started in.
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (const qsizetype at = firstIn(block, 0); at >= 0)
            return block.position() + at;
        if (block == start)
            break;
    }
    return -1;
}

qsizetype TextSearch::backward(qsizetype before) const
{
    if (isEmpty())
        return -1;
    const QTextBlock start = m_document->findBlock(int(before));
    const qsizetype offset = before - start.position();
    if (offset > 0) {
        if (const qsizetype at = lastIn(start, offset - 1); at >= 0)
            return start.position() + at;
    }
    for (QTextBlock block = start.previous(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = lastIn(block, block.length() - 2); at >= 0)
            return block.position() + at;
    }
    // Around from the bottom, down to and including the block we started in.
    for (QTextBlock block = m_document->lastBlock(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = lastIn(block, block.length() - 2); at >= 0)
            return block.position() + at;
        if (block == start)
            break;
    }
    return -1;
}

qsizetype TextSearch::replaceAll(const QString &replacement) const
{
    const QList<qsizetype> matches = allMatches();
    if (matches.isEmpty())
        return 0;
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    // Back to front, so the positions still to come stay valid.
    for (auto it = matches.crbegin(); it != matches.crend(); ++it) {
        cursor.setPosition(int(*it));
        cursor.setPosition(int(matchEnd(*it)), QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    return matches.size();
}
