#include "editor/textsearch.h"

#include <QTextBlock>
#include <QTextDocument>

TextSearch::TextSearch(QTextDocument *document, const QString &needle, Qt::CaseSensitivity sensitivity)
    : m_document(document)
    , m_needle(needle)
    , m_sensitivity(sensitivity)
{}

void TextSearch::appendMatches(const QTextBlock &block, QList<qsizetype> &matches, qsizetype limit) const
{
    const QString text = block.text();
    const qsizetype base = block.position();
    for (qsizetype at = text.indexOf(m_needle, 0, m_sensitivity); at >= 0 && matches.size() < limit;
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

qsizetype TextSearch::forward(qsizetype from) const
{
    if (isEmpty())
        return -1;
    const QTextBlock start = m_document->findBlock(int(from));
    qsizetype offset = from - start.position();
    for (QTextBlock block = start; block.isValid(); block = block.next(), offset = 0) {
        if (const qsizetype at = block.text().indexOf(m_needle, offset, m_sensitivity); at >= 0)
            return block.position() + at;
    }
    // Around from the top, up to and including the block we started in.
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (const qsizetype at = block.text().indexOf(m_needle, 0, m_sensitivity); at >= 0)
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
        if (const qsizetype at = start.text().lastIndexOf(m_needle, offset - 1, m_sensitivity); at >= 0)
            return start.position() + at;
    }
    for (QTextBlock block = start.previous(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = block.text().lastIndexOf(m_needle, -1, m_sensitivity); at >= 0)
            return block.position() + at;
    }
    // Around from the bottom, down to and including the block we started in.
    for (QTextBlock block = m_document->lastBlock(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = block.text().lastIndexOf(m_needle, -1, m_sensitivity); at >= 0)
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
        cursor.setPosition(int(*it + m_needle.size()), QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    return matches.size();
}
