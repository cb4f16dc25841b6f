#include "editor/view/casetransform.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <unicode/ubrk.h>
#include <unicode/ustring.h>

#include <memory>
#include <optional>

namespace CaseTransform {

namespace {

struct BreakIteratorCloser
{
    void operator()(UBreakIterator *iterator) const { ubrk_close(iterator); }
};

const UChar *uchars(QStringView text)
{
    return reinterpret_cast<const UChar *>(text.utf16());
}

struct Span
{
    int start = 0;
    int end = 0;
};

// The word of a paragraph the caret at offset is in or touches, by the same word boundaries as the count.
std::optional<Span> wordAt(QStringView paragraph, int offset)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UBreakIterator, BreakIteratorCloser> words(
        ubrk_open(UBRK_WORD, "", uchars(paragraph), static_cast<int32_t>(paragraph.size()), &status));
    if (U_FAILURE(status))
        return std::nullopt;
    UBreakIterator *it = words.get();
    const auto isWord = [it] {
        return ubrk_getRuleStatus(it) >= UBRK_WORD_NONE_LIMIT;
    };
    if (!ubrk_isBoundary(it, offset)) {
        // Inside a segment: the status read after moving to its end is the segment's own.
        const int end = ubrk_following(it, offset);
        if (!isWord())
            return std::nullopt;
        return Span{ubrk_preceding(it, offset), end};
    }
    // On a boundary: the word just before the caret (usually the one just typed), else the one after it.
    if (offset > 0) {
        const int start = ubrk_preceding(it, offset);
        ubrk_following(it, start);
        if (isWord())
            return Span{start, offset};
    }
    if (offset < paragraph.size()) {
        const int end = ubrk_following(it, offset);
        if (end != UBRK_DONE && isWord())
            return Span{offset, end};
    }
    return std::nullopt;
}

} // namespace

QString mapped(QStringView text, Mapping mapping)
{
    if (text.isEmpty())
        return {};
    // Full case mapping can lengthen text ("ß" becomes "SS", "ΐ" three characters): ask ICU for the size.
    QString result;
    int32_t capacity = static_cast<int32_t>(text.size());
    for (int attempt = 0; attempt < 2; ++attempt) {
        result.resize(capacity);
        auto *out = reinterpret_cast<UChar *>(result.data());
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = 0;
        const auto size = static_cast<int32_t>(text.size());
        switch (mapping) {
        case Mapping::Upper:
            length = u_strToUpper(out, capacity, uchars(text), size, "", &status);
            break;
        case Mapping::Lower:
            length = u_strToLower(out, capacity, uchars(text), size, "", &status);
            break;
        case Mapping::Capitalize:
            // No iterator given: ICU finds the words with the root locale's word boundaries.
            length = u_strToTitle(out, capacity, uchars(text), size, nullptr, "", &status);
            break;
        }
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            capacity = length;
            continue;
        }
        if (U_FAILURE(status))
            return text.toString();
        result.resize(length);
        return result;
    }
    return text.toString();
}

bool apply(QPlainTextEdit *view, Mapping mapping)
{
    if (!view)
        return false;
    QTextCursor cursor = view->textCursor();
    if (!cursor.hasSelection()) {
        const QTextBlock block = cursor.block();
        const std::optional<Span> word = wordAt(block.text(), cursor.positionInBlock());
        if (!word)
            return false;
        cursor.setPosition(block.position() + word->start);
        cursor.setPosition(block.position() + word->end, QTextCursor::KeepAnchor);
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QTextDocument *document = view->document();

    // Paragraph by paragraph, and within each only the part that changes: paragraph breaks (and whatever the
    // editor keeps about a line's ending) stay as they are, and no word spans a paragraph, so the result is
    // the same as mapping the selection whole.
    QTextCursor edit(document);
    edit.beginEditBlock();
    int newEnd = end;
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() <= newEnd;
         block = block.next()) {
        const int from = std::max(start, block.position());
        const int to = std::min(newEnd, block.position() + block.length() - 1);
        if (to <= from)
            continue;
        const QString text = block.text();
        const QStringView original = QStringView(text).sliced(from - block.position(), to - from);
        const QString changed = mapped(original, mapping);
        if (changed == original)
            continue;
        qsizetype head = 0;
        while (head < original.size() && head < changed.size() && original[head] == changed[head])
            ++head;
        qsizetype tail = 0;
        while (tail < original.size() - head && tail < changed.size() - head &&
               original[original.size() - 1 - tail] == changed[changed.size() - 1 - tail])
            ++tail;
        // Never split a surrogate pair at the edge of the replaced part.
        if (head > 0 && original[head - 1].isHighSurrogate())
            --head;
        if (tail > 0 && original[original.size() - tail].isLowSurrogate())
            --tail;
        edit.setPosition(from + int(head));
        edit.setPosition(to - int(tail), QTextCursor::KeepAnchor);
        edit.insertText(changed.sliced(head, changed.size() - head - tail));
        newEnd += int(changed.size() - original.size());
    }
    edit.endEditBlock();

    cursor.setPosition(start);
    cursor.setPosition(newEnd, QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
    return true;
}

} // namespace CaseTransform
