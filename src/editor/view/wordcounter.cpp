#include "editor/view/wordcounter.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <climits>
#include <memory>

namespace {

struct BreakIteratorCloser
{
    void operator()(UBreakIterator *iterator) const { ubrk_close(iterator); }
};

// Opening a word break iterator costs far more than counting one paragraph, so each thread keeps one.
UBreakIterator *wordIterator()
{
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The root locale: the count is the same whatever language the user's system speaks.
        std::unique_ptr<UBreakIterator, BreakIteratorCloser> opened(ubrk_open(UBRK_WORD, "", nullptr, 0, &status));
        if (U_FAILURE(status))
            opened.reset();
        return opened;
    }();
    return iterator.get();
}

// Calls onWord with the start of each word of text, which must fit ICU's 32-bit indexes.
template<typename OnWord> void forEachWord(UBreakIterator *iterator, QStringView text, OnWord onWord)
{
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    // UText over the UTF-16 in place: the text is never copied.
    utext_openUChars(&utext, reinterpret_cast<const UChar *>(text.utf16()), static_cast<int64_t>(text.size()), &status);
    ubrk_setUText(iterator, &utext, &status);
    if (U_SUCCESS(status)) {
        int32_t start = ubrk_first(iterator);
        for (int32_t end = ubrk_next(iterator); end != UBRK_DONE; start = end, end = ubrk_next(iterator)) {
            // Statuses from UBRK_WORD_NONE_LIMIT up mark numbers, letters, kana and ideographs.
            if (ubrk_getRuleStatus(iterator) >= UBRK_WORD_NONE_LIMIT)
                onWord(start);
        }
    }
    // Leave the iterator on no text, so it never points into a string that is gone.
    UErrorCode resetStatus = U_ZERO_ERROR;
    ubrk_setText(iterator, nullptr, 0, &resetStatus);
    utext_close(&utext);
}

// What a character is to the word rules, for the characters of plain Latin text.
enum class Kind
{
    Letter,
    Digit,
    // Joins letters to letters and digits to digits: "don't", "e.g", "3.14".
    MidLetterOrNumber,
    // Joins digits to digits only: "1,000".
    MidNumber,
    // Joins nothing: spaces and the other ASCII punctuation.
    Other,
    // Anything else is left to ICU.
    Unknown
};

Kind kindOf(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        return Kind::Letter;
    if (c >= u'0' && c <= u'9')
        return Kind::Digit;
    switch (c) {
    case u'\'':
    case u'.':
    case u'\u2019':
        return Kind::MidLetterOrNumber;
    case u',':
    case u';':
        return Kind::MidNumber;
    case u' ':
    case u'\t':
    case u'\u00A0': // no-break space
    case u'\u2013': // dashes
    case u'\u2014':
    case u'\u2018': // quotation marks
    case u'\u201C':
    case u'\u201D':
    case u'\u2026': // ellipsis
        return Kind::Other;
    default:
        break;
    }
    // The accented letters of Latin-1 and Latin Extended-A and B, without × and ÷; Cyrillic without its
    // combining marks.
    if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x400 && c <= 0x481) || (c >= 0x48A && c <= 0x4FF))
        return Kind::Letter;
    // ASCII punctuation that no word rule joins; not the underscore, which joins and counts alone.
    if (c > u' ' && c < 0x7F && c != u'_')
        return Kind::Other;
    return Kind::Unknown;
}

// The words of plain Latin (or Cyrillic) text, the way ICU's word rules count them, without a break iterator: most
// notes are made of such text, and this is several times faster. Stops at the first character of anything else,
// giving where it is in unknownAt (-1 when there is none) and no count.
int countPlainLatin(QStringView text, qsizetype &unknownAt)
{
    unknownAt = -1;
    const char16_t *chars = text.utf16();
    const qsizetype size = text.size();
    int words = 0;
    // The letter or digit before, in a word being read; Other between words.
    Kind last = Kind::Other;
    for (qsizetype i = 0; i < size; ++i) {
        const Kind kind = kindOf(chars[i]);
        if (kind == Kind::Unknown) {
            unknownAt = i;
            return 0;
        }
        if (kind == Kind::Letter || kind == Kind::Digit) {
            if (last == Kind::Other)
                ++words;
            last = kind;
            continue;
        }
        if (kind == Kind::Other || last == Kind::Other || i + 1 == size) {
            last = Kind::Other;
            continue;
        }
        const Kind next = kindOf(chars[i + 1]);
        if (next == Kind::Unknown) {
            unknownAt = i + 1;
            return 0;
        }
        const bool joins = next == last && (next == Kind::Digit || kind == Kind::MidLetterOrNumber);
        if (!joins)
            last = Kind::Other;
    }
    return words;
}

int countChunk(UBreakIterator *iterator, QStringView text)
{
    // Only the words around a character of anything else, from the space before them to the space after, go to
    // ICU: no word rule looks across a space. A line with one emoji is otherwise counted as slowly as a Thai one.
    int words = 0;
    qsizetype unknownAt = -1;
    for (;;) {
        const int plain = countPlainLatin(text, unknownAt);
        if (unknownAt < 0)
            return words + plain;
        const qsizetype from = std::max<qsizetype>(text.first(unknownAt).lastIndexOf(u' '), 0);
        const qsizetype to = text.indexOf(u' ', unknownAt);
        words += countPlainLatin(text.first(from), unknownAt);
        forEachWord(iterator, text.sliced(from, (to < 0 ? text.size() : to) - from), [&words](int32_t) { ++words; });
        if (to < 0)
            return words;
        text = text.sliced(to);
    }
}

// Paragraphs longer than this are kept in pieces once they are edited, so a keystroke recounts a few hundred
// characters around it instead of the whole paragraph.
constexpr int longParagraph = 2048;
constexpr int pieceLength = 512;

// No word rule looks across a space: text cut just before one counts the same in two parts as whole.
bool isCut(QChar c)
{
    return c == u' ' || c == u'\u3000';
}

// The text of one stretch of the document, copied alone.
QString textBetween(QTextDocument *document, int start, int end)
{
    QTextCursor cursor(document);
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

} // namespace

int WordCounter::count(QStringView text)
{
    UBreakIterator *iterator = wordIterator();
    if (!iterator || text.isEmpty())
        return 0;
    // ICU indexes with 32-bit integers; a text longer than that is counted in pieces cut at line breaks,
    // which no word spans.
    constexpr qsizetype largest = INT_MAX / 2;
    int words = 0;
    while (text.size() > largest) {
        qsizetype cut = text.first(largest).lastIndexOf(u'\n') + 1;
        if (cut <= 0) {
            cut = largest;
            if (text[cut - 1].isHighSurrogate())
                --cut;
        }
        words += countChunk(iterator, text.first(cut));
        text = text.sliced(cut);
    }
    return words + countChunk(iterator, text);
}

WordCounter::WordCounter(QTextDocument *document, QObject *parent, IncomingText incoming)
    : QObject(parent)
    , m_document(document)
    , m_incoming(std::move(incoming))
{
    if (!document)
        return;
    // A document reports where it changed only once it has a layout. A text view gives it one; a document
    // counted before it is shown gets the plain-text layout the view would give it.
    if (!document->findChild<QAbstractTextDocumentLayout *>(QString(), Qt::FindDirectChildrenOnly))
        document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    connect(document, &QTextDocument::contentsChange, this, &WordCounter::contentsChanged);
    recountAll();
}

WordCounter::~WordCounter() = default;

int WordCounter::total() const
{
    return static_cast<int>(std::min<qint64>(m_total, INT_MAX));
}

void WordCounter::recountAll()
{
    m_paragraphs.clear();
    m_pieceLists.clear();
    m_unusedPieceLists.clear();
    if (!m_document) {
        setTotal(0);
        return;
    }
    const auto blocks = static_cast<std::size_t>(m_document->blockCount());
    m_paragraphs.resize(blocks);
    qint64 total = 0;
    // One pass over the whole text, handing each word to its paragraph, costs half as much as a pass per
    // paragraph in a big note. In the raw text the paragraphs are separated by U+2029.
    const QString text = m_document->toRawText();
    UBreakIterator *iterator = wordIterator();
    if (iterator && text.size() <= INT_MAX / 2 &&
        static_cast<std::size_t>(text.count(QChar::ParagraphSeparator)) + 1 == blocks) {
        std::size_t block = 0;
        qsizetype nextBreak = text.indexOf(QChar::ParagraphSeparator);
        forEachWord(iterator, text, [&](int32_t start) {
            while (nextBreak >= 0 && start > nextBreak) {
                ++block;
                nextBreak = text.indexOf(QChar::ParagraphSeparator, nextBreak + 1);
            }
            ++m_paragraphs[block].words;
            ++total;
        });
    } else {
        std::size_t i = 0;
        for (QTextBlock block = m_document->begin(); block.isValid() && i < blocks; block = block.next(), ++i) {
            m_paragraphs[i].words = count(block.text());
            total += m_paragraphs[i].words;
        }
    }
    setTotal(total);
}

void WordCounter::contentsChanged(int from, int charsRemoved, int charsAdded)
{
    if (!m_document)
        return;
    // A word never spans a paragraph, so only the paragraphs from the one holding the start of the change to
    // the one holding its end (after the change) can count differently. The blocks before them are untouched,
    // the blocks after them only moved; the change in the number of blocks says how many old ones they replace.
    const int newBlockCount = m_document->blockCount();
    const auto oldBlockCount = static_cast<qsizetype>(m_paragraphs.size());
    const QTextBlock firstBlock = m_document->findBlock(std::max(from, 0));
    QTextBlock lastBlock = m_document->findBlock(std::max(from, 0) + std::max(charsAdded, 0));
    if (!lastBlock.isValid())
        lastBlock = m_document->lastBlock();
    if (!firstBlock.isValid()) {
        recountAll();
        return;
    }
    const int first = firstBlock.blockNumber();
    const int last = std::max(first, lastBlock.blockNumber());
    const qsizetype newSpan = last - first + 1;
    const qsizetype oldSpan = newSpan - (newBlockCount - oldBlockCount);
    if (oldSpan < 0 || first + oldSpan > oldBlockCount) {
        // Not a change this bookkeeping can follow: count everything again rather than drift.
        recountAll();
        return;
    }
    qint64 total = m_total;
    const auto begin = m_paragraphs.begin() + first;
    if (newSpan == 1 && oldSpan == 1 && firstBlock.length() > longParagraph) {
        const int before = begin->words;
        if (editLongParagraph(*begin, firstBlock, from - firstBlock.position(), charsRemoved, charsAdded)) {
            setTotal(total - before + begin->words);
            return;
        }
    }
    std::vector<Paragraph> fresh(static_cast<std::size_t>(newSpan));
    if (from != firstBlock.position() || !countIncoming(fresh, from, charsAdded, lastBlock)) {
        QTextBlock block = firstBlock;
        for (Paragraph &paragraph : fresh) {
            paragraph.words = count(block.text());
            block = block.next();
        }
    }
    for (const Paragraph &paragraph : fresh)
        total += paragraph.words;
    for (auto it = begin; it != begin + oldSpan; ++it) {
        total -= it->words;
        releasePieces(*it);
    }
    if (oldSpan == newSpan) {
        std::copy(fresh.begin(), fresh.end(), begin);
    } else {
        const auto kept = m_paragraphs.erase(begin, begin + oldSpan);
        m_paragraphs.insert(kept, fresh.begin(), fresh.end());
    }
    setTotal(total);
}

// The paragraphs of a change that spans them whole, counted from its incoming text; false when there is none or
// it does not match them.
bool WordCounter::countIncoming(std::vector<Paragraph> &fresh, int from, int charsAdded, const QTextBlock &last) const
{
    const QStringView text = m_incoming ? m_incoming() : QStringView();
    if (fresh.size() < 2 || text.size() != charsAdded || from + charsAdded != last.position() + last.length() - 1)
        return false;
    qsizetype at = 0;
    for (Paragraph &paragraph : fresh) {
        if (at > text.size())
            return false;
        qsizetype end = text.indexOf(QChar::ParagraphSeparator, at);
        end = end < 0 ? text.size() : end;
        paragraph.words = count(text.sliced(at, end - at));
        at = end + 1;
    }
    return at == text.size() + 1;
}

// An edit inside one long paragraph: recount from the start of the piece before the change to the end of the
// piece holding its end. Both edges are cuts whose space the edit did not touch, and the pieces outside kept
// their text, so their counts stand. False when the paragraph must be counted whole.
bool WordCounter::editLongParagraph(Paragraph &paragraph, const QTextBlock &block, int offset, int charsRemoved,
                                    int charsAdded)
{
    const int length = block.length() - 1;
    if (paragraph.pieces < 0) {
        // The first edit here: cut the paragraph into pieces once, at the cost of one whole count.
        if (m_unusedPieceLists.empty()) {
            paragraph.pieces = int(m_pieceLists.size());
            m_pieceLists.emplace_back();
        } else {
            paragraph.pieces = m_unusedPieceLists.back();
            m_unusedPieceLists.pop_back();
        }
        paragraph.words = cutIntoPieces(block.text(), m_pieceLists[std::size_t(paragraph.pieces)]);
        return true;
    }
    std::vector<Piece> &pieces = m_pieceLists[std::size_t(paragraph.pieces)];
    qint64 oldLength = 0;
    for (const Piece &piece : pieces)
        oldLength += piece.length;
    if (offset < 0 || charsRemoved < 0 || charsAdded < 0 || oldLength - charsRemoved + charsAdded != length ||
        offset + charsRemoved > oldLength || pieces.empty())
        return false;

    // The first piece: the one holding the character before the change (a cut at its start stays a cut).
    std::size_t firstPiece = 0;
    qint64 windowStart = 0;
    while (firstPiece + 1 < pieces.size() && windowStart + pieces[firstPiece].length < offset) {
        windowStart += pieces[firstPiece].length;
        ++firstPiece;
    }
    // The last piece: the one holding the first character after the change, in the old text.
    const qint64 oldChangeEnd = offset + charsRemoved;
    std::size_t lastPiece = firstPiece;
    qint64 windowEnd = windowStart + pieces[firstPiece].length;
    while (lastPiece + 1 < pieces.size() && windowEnd <= oldChangeEnd) {
        ++lastPiece;
        windowEnd += pieces[lastPiece].length;
    }
    windowEnd += charsAdded - charsRemoved;

    const QString window =
        textBetween(m_document, block.position() + int(windowStart), block.position() + int(windowEnd));
    std::vector<Piece> fresh;
    const int freshWords = cutIntoPieces(window, fresh);
    int oldWords = 0;
    for (std::size_t i = firstPiece; i <= lastPiece; ++i)
        oldWords += pieces[i].words;
    const auto erased = pieces.erase(pieces.begin() + qsizetype(firstPiece), pieces.begin() + qsizetype(lastPiece) + 1);
    pieces.insert(erased, fresh.begin(), fresh.end());
    paragraph.words += freshWords - oldWords;
    return true;
}

int WordCounter::cutIntoPieces(QStringView text, std::vector<Piece> &pieces)
{
    int words = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + pieceLength);
        while (end < text.size() && !isCut(text[end]))
            ++end;
        const int pieceWords = count(text.sliced(start, end - start));
        pieces.push_back({int(end - start), pieceWords});
        words += pieceWords;
        start = end;
    }
    return words;
}

void WordCounter::releasePieces(Paragraph &paragraph)
{
    if (paragraph.pieces < 0)
        return;
    m_pieceLists[std::size_t(paragraph.pieces)].clear();
    m_unusedPieceLists.push_back(paragraph.pieces);
    paragraph.pieces = -1;
}

void WordCounter::setTotal(qint64 total)
{
    if (total == m_total)
        return;
    m_total = total;
    Q_EMIT totalChanged(this->total());
}
