#include "editor/view/breakmap.h"

#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace {

// Character format property of a paragraph break holding the note's ending there; absent means the default.
constexpr int endingProperty = QTextFormat::UserProperty + 0x2029;

} // namespace

qsizetype BreakMap::length(qsizetype pending) const
{
    const QTextDocument *doc = m_document;
    qsizetype length = doc->characterCount() - 1 + pending;
    if (!mixedEndings)
        return length + (defaultEnding == LineEndings::Ending::CrLf ? doc->blockCount() - 1 : 0);
    const QList<signed char> endings = endingsByFormat();
    for (QTextBlock block = doc->begin().next(); block.isValid(); block = block.next())
        length += LineEndings::text(endingBefore(block, endings)).size() - 1;
    return length;
}

QTextCharFormat BreakMap::breakFormat(QTextCharFormat format, LineEnding ending)
{
    if (ending == defaultEnding) {
        format.clearProperty(endingProperty);
    } else {
        format.setProperty(endingProperty, int(ending));
        mixedEndings = true;
    }
    return format;
}

QList<signed char> BreakMap::endingsByFormat() const
{
    const QList<QTextFormat> formats = m_document->allFormats();
    QList<signed char> endings(formats.size(), -1);
    for (qsizetype i = 0; i < formats.size(); ++i) {
        const QVariant value = formats.at(i).property(endingProperty);
        if (value.isValid())
            endings[i] = static_cast<signed char>(value.toInt());
    }
    return endings;
}

LineEndings::Ending BreakMap::endingBefore(const QTextBlock &block, const QList<signed char> &endings) const
{
    // The character format of a block is that of the break before it.
    const int index = block.charFormatIndex();
    if (index >= 0 && index < endings.size() && endings.at(index) >= 0)
        return LineEndings::Ending(endings.at(index));
    return defaultEnding;
}

std::vector<signed char> BreakMap::breakEndings(QTextBlock block, qsizetype count) const
{
    const QList<signed char> byFormat = endingsByFormat();
    std::vector<signed char> endings;
    endings.reserve(std::size_t(std::max<qsizetype>(count, 0)));
    for (qsizetype n = 0; n < count && (block = block.next()).isValid(); ++n) {
        const LineEndings::Ending ending = endingBefore(block, byFormat);
        endings.push_back(ending == defaultEnding ? -1 : static_cast<signed char>(ending));
    }
    return endings;
}

QString BreakMap::withEndings(QString raw, const QTextBlock &block) const
{
    if (!mixedEndings)
        return LineEndings::noteText(std::move(raw), defaultEnding);
    const std::vector<signed char> endings = breakEndings(block, QStringView(raw).count(QChar::ParagraphSeparator));
    return LineEndings::noteText(std::move(raw), defaultEnding, &endings);
}

BreakMap::NotePositions BreakMap::noteFromDocument(int first, int second) const
{
    const QTextDocument *doc = m_document;
    if (!mixedEndings) {
        if (defaultEnding != LineEndings::Ending::CrLf)
            return {first, second};
        return {first + doc->findBlock(first).blockNumber(), second + doc->findBlock(second).blockNumber()};
    }
    // One pass over the paragraphs, adding up how much longer or shorter than one unit each break is in the note.
    const QList<signed char> endings = endingsByFormat();
    const std::array<int, 2> positions{first, second};
    NotePositions note{};
    std::size_t resolved = 0;
    qsizetype extra = 0;
    int blockStart = 0;
    for (QTextBlock block = doc->begin();;) {
        const QTextBlock next = block.next();
        const int nextStart = blockStart + block.length();
        while (resolved < positions.size() && (!next.isValid() || positions[resolved] < nextStart)) {
            note[resolved] = positions[resolved] + extra;
            ++resolved;
        }
        if (resolved == positions.size())
            return note;
        if (next.isValid())
            extra += LineEndings::text(endingBefore(next, endings)).size() - 1;
        blockStart = nextStart;
        block = next;
    }
}

BreakMap::DocumentPositions BreakMap::documentFromNote(qsizetype first, qsizetype second) const
{
    // Positions past the end go to the end; a position between CR and LF goes before the break.
    const QTextDocument *doc = m_document;
    const int last = doc->characterCount() - 1;
    if (!mixedEndings && defaultEnding != LineEndings::Ending::CrLf)
        return {int(std::min<qsizetype>(first, last)), int(std::min<qsizetype>(second, last))};
    if (!mixedEndings) {
        // Every break is CRLF: paragraph n starts n units later in the note than in the document.
        const auto map = [doc](qsizetype position) {
            int low = 0;
            int high = doc->blockCount() - 1;
            while (low < high) {
                const int middle = (low + high + 1) / 2;
                if (doc->findBlockByNumber(middle).position() + middle <= position)
                    low = middle;
                else
                    high = middle - 1;
            }
            const QTextBlock block = doc->findBlockByNumber(low);
            return block.position() + int(std::min<qsizetype>(position - block.position() - low, block.length() - 1));
        };
        return {map(first), map(second)};
    }
    const QList<signed char> endings = endingsByFormat();
    const std::array<qsizetype, 2> positions{first, second};
    DocumentPositions result{};
    std::size_t resolved = 0;
    qsizetype noteStart = 0;
    int blockStart = 0;
    for (QTextBlock block = doc->begin();;) {
        const QTextBlock next = block.next();
        const qsizetype textLength = block.length() - 1;
        const qsizetype nextStart = next.isValid()
                                        ? noteStart + textLength + LineEndings::text(endingBefore(next, endings)).size()
                                        : std::numeric_limits<qsizetype>::max();
        while (resolved < positions.size() && positions[resolved] < nextStart) {
            result[resolved] = blockStart + int(std::min(positions[resolved] - noteStart, textLength));
            ++resolved;
        }
        if (resolved == positions.size())
            return result;
        noteStart = nextStart;
        blockStart += block.length();
        block = next;
    }
}
