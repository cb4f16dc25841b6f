#pragma once

#include <QList>
#include <QString>

#include <limits>

class QTextBlock;
class QTextDocument;

// Where a search string occurs in a note's text. Matches never span a line break; positions count the text
// document's characters.
class TextSearch
{
public:
    TextSearch() = default;
    TextSearch(QTextDocument *document, const QString &needle, Qt::CaseSensitivity sensitivity);

    const QTextDocument *document() const { return m_document; }
    bool isEmpty() const { return !m_document || m_needle.isEmpty(); }
    qsizetype needleLength() const { return m_needle.size(); }

    // Appends the matches of one paragraph, in order, until matches holds limit of them.
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
    QTextDocument *m_document = nullptr;
    QString m_needle;
    Qt::CaseSensitivity m_sensitivity = Qt::CaseInsensitive;
};
