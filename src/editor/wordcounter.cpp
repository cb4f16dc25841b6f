#include "editor/wordcounter.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
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

int countChunk(UBreakIterator *iterator, QStringView text)
{
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    // UText over the UTF-16 in place: the text is never copied.
    utext_openUChars(&utext, reinterpret_cast<const UChar *>(text.utf16()), static_cast<int64_t>(text.size()), &status);
    ubrk_setUText(iterator, &utext, &status);
    int words = 0;
    if (U_SUCCESS(status)) {
        ubrk_first(iterator);
        while (ubrk_next(iterator) != UBRK_DONE) {
            // Statuses from UBRK_WORD_NONE_LIMIT up mark numbers, letters, kana and ideographs.
            if (ubrk_getRuleStatus(iterator) >= UBRK_WORD_NONE_LIMIT)
                ++words;
        }
    }
    // Leave the iterator on no text, so it never points into a string that is gone.
    UErrorCode resetStatus = U_ZERO_ERROR;
    ubrk_setText(iterator, nullptr, 0, &resetStatus);
    utext_close(&utext);
    return words;
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

WordCounter::WordCounter(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{
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
    m_counts.clear();
    if (!m_document) {
        setTotal(0);
        return;
    }
    m_counts.reserve(static_cast<std::size_t>(m_document->blockCount()));
    qint64 total = 0;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        const int words = count(block.text());
        m_counts.push_back(words);
        total += words;
    }
    setTotal(total);
}

void WordCounter::contentsChanged(int from, int charsRemoved, int charsAdded)
{
    Q_UNUSED(charsRemoved);
    if (!m_document)
        return;
    // A word never spans a paragraph, so only the paragraphs from the one holding the start of the change to
    // the one holding its end (after the change) can count differently. The blocks before them are untouched,
    // the blocks after them only moved; the change in the number of blocks says how many old ones they replace.
    const int newBlockCount = m_document->blockCount();
    const auto oldBlockCount = static_cast<qsizetype>(m_counts.size());
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
    std::vector<int> fresh;
    fresh.reserve(static_cast<std::size_t>(newSpan));
    QTextBlock block = firstBlock;
    for (qsizetype i = 0; i < newSpan; ++i, block = block.next()) {
        const int words = count(block.text());
        fresh.push_back(words);
        total += words;
    }
    const auto begin = m_counts.begin() + first;
    for (auto it = begin; it != begin + oldSpan; ++it)
        total -= *it;
    if (oldSpan == newSpan) {
        std::copy(fresh.begin(), fresh.end(), begin);
    } else {
        const auto kept = m_counts.erase(begin, begin + oldSpan);
        m_counts.insert(kept, fresh.begin(), fresh.end());
    }
    setTotal(total);
}

void WordCounter::setTotal(qint64 total)
{
    if (total == m_total)
        return;
    m_total = total;
    Q_EMIT totalChanged(this->total());
}
