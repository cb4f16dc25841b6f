#pragma once

#include "storage/notecodec.h"

#include <QList>
#include <QTextBlock>
#include <QTextCharFormat>

#include <array>
#include <vector>

class QTextDocument;

// Where a note's line endings sit in its text document, and how positions in the one map to the other. The text
// document holds every line break as one paragraph break; the note's ending there rides on the break's character
// format, so deleting, undo and redo keep it with the break. Breaks without that format stand for defaultEnding.
class BreakMap
{
public:
    using LineEnding = LineEndings::Ending;
    using NotePositions = std::array<qsizetype, 2>;
    using DocumentPositions = std::array<int, 2>;

    explicit BreakMap(const QTextDocument *document)
        : m_document(document)
    {}

    // The format for a paragraph break standing for ending, based on format.
    QTextCharFormat breakFormat(QTextCharFormat format, LineEnding ending);
    // Endings of the formats in use, indexed by format index; -1 where a format carries none.
    QList<signed char> endingsByFormat() const;
    LineEnding endingBefore(const QTextBlock &block, const QList<signed char> &endings) const;
    // The endings of the count breaks after block, -1 for the default ending.
    std::vector<signed char> breakEndings(QTextBlock block, qsizetype count) const;
    // The note's text for a piece of raw document text that starts in block.
    QString withEndings(QString raw, const QTextBlock &block) const;
    // The note's length: the document's text and pending units not in it yet.
    qsizetype length(qsizetype pending) const;
    // Both mappings take two ascending positions, so a selection costs one pass over the paragraphs.
    NotePositions noteFromDocument(int first, int second) const;
    // Positions past the end go to the end; a position between CR and LF goes before the break.
    DocumentPositions documentFromNote(qsizetype first, qsizetype second) const;

    LineEnding defaultEnding = LineEnding::Lf;
    // False while every paragraph break is the default ending, which keeps the text and the mapping cheap.
    bool mixedEndings = false;

private:
    const QTextDocument *m_document;
};
