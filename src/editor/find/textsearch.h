#pragma once

#include <QList>
#include <QString>

#include <limits>

class QTextBlock;
class QTextDocument;

// Where a search string occurs in a note's text. Matches never span a line break, but do span the cuts the view
// puts into a very long line (those stand for no character); positions count the text document's characters, so
// a match across a cut is one character longer there than the search string.
class TextSearch
{
public:
    TextSearch() = default;
    TextSearch(QTextDocument *document, const QString &needle, Qt::CaseSensitivity sensitivity);

    const QTextDocument *document() const { return m_document; }
    bool isEmpty() const { return !m_document || m_needle.isEmpty(); }
    // Where the match starting at start ends in the document.
    qsizetype matchEnd(qsizetype start) const;
    // True when a match runs exactly from start to end, as a selected match does.
    bool isMatch(qsizetype start, qsizetype end) const;

    // Appends the matches that start in one paragraph, in order, until matches holds limit of them. A match that
    // overlaps the last one already in matches is left out.
    void appendMatches(const QTextBlock &block, QList<qsizetype> &matches,
                       qsizetype limit = std::numeric_limits<qsizetype>::max()) const;
    QList<qsizetype> allMatches() const;
    // The first match at or after from, wrapping around; -1 when there is none.
    qsizetype forward(qsizetype from) const;
    // The last match that starts before before, wrapping around; -1 when there is none.
    qsizetype backward(qsizetype before) const;
    // Replaces every match as one undo step and returns how many were replaced.
    qsizetype replaceAll(const QString &replacement) const;

private:
    // The paragraph's text and, when a cut follows it, enough of the text beyond for a match to end there.
    QString textFrom(const QTextBlock &block) const;
    bool cutFollows(const QTextBlock &block) const;
    // The first match in block at or after from, or the last one starting at or before from; -1 when none.
    qsizetype firstIn(const QTextBlock &block, qsizetype from) const;
    qsizetype lastIn(const QTextBlock &block, qsizetype from) const;

    QTextDocument *m_document = nullptr;
    QList<signed char> m_endings;
    QString m_needle;
    Qt::CaseSensitivity m_sensitivity = Qt::CaseInsensitive;
};
