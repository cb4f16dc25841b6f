#include "editor/spelling/spellhighlighter.h"

#include "editor/view/visibleblocks.h"
#include "editor/spelling/spellchecker.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QScopedValueRollback>
#include <QTextLayout>
#include <QTimer>

#include <utility>

namespace {

// Paragraphs checked beyond each edge of the view, so short scrolls find them ready.
constexpr int visibleMargin = 40;
// A view cannot show more paragraphs than this; a bound for a broken layout.
constexpr int maxVisibleBlocks = 5000;

} // namespace

SpellHighlighter::SpellHighlighter(QPlainTextEdit *textView, SpellChecker *checker, QObject *parent)
    : QSyntaxHighlighter(parent)
    , m_textView(textView)
    , m_checker(checker)
{
    setDocument(textView->document());
    // QSyntaxHighlighter would now run over every paragraph once, which holds the window for a second in a
    // 20 MB note, and then over every edited one, giving each paragraph that comes in a layout of its own. Drop
    // both (a queued call to us, and its slot on every change) and follow the edits ourselves, checking only what
    // is in view.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    disconnect(textView->document(), SIGNAL(contentsChange(int, int, int)), this,
               SLOT(_q_reformatBlocks(int, int, int)));
    connect(textView->document(), &QTextDocument::contentsChange, this, &SpellHighlighter::textChanged);
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(0);
    connect(m_checkTimer, &QTimer::timeout, this, &SpellHighlighter::checkVisible);
    // The view scrolls without the scroll bar's signal (it blocks it), but always asks for a repaint that moves.
    connect(textView, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
        if (dy != 0)
            scheduleCheck();
    });
    connect(textView, &QPlainTextEdit::blockCountChanged, this, &SpellHighlighter::scheduleCheck);
    connect(checker, &SpellChecker::wordAccepted, this, &SpellHighlighter::recheckWord);
    connect(checker, &SpellChecker::wordListChanged, this, &SpellHighlighter::recheckAll);
    connect(textView, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        // Leaving the word being written finishes it: check it now.
        if (m_typingAt < 0 || !m_textView || m_textView->textCursor().position() == m_typingAt)
            return;
        const QTextBlock block = document()->findBlock(m_typingAt);
        m_typingAt = -1;
        if (block.isValid() && block.userState() == Checked)
            recheckLater(block.position(), block.position());
    });
    textView->viewport()->installEventFilter(this);
    textView->installEventFilter(this);
    scheduleCheck();
}

SpellHighlighter::~SpellHighlighter()
{
    // The base class takes its marks off the note as it goes, an edit of the document that must not reach us
    // half destroyed.
    if (QTextDocument *note = document())
        disconnect(note, nullptr, this, nullptr);
    if (m_textView)
        disconnect(m_textView, nullptr, this, nullptr);
}

void SpellHighlighter::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled) {
        checkVisible();
        return;
    }
    // Only checked paragraphs can carry underlines.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() == Checked)
            recheckBlock(block);
    }
}

void SpellHighlighter::checkVisible()
{
    if (!m_textView || !m_enabled)
        return;
    const QRect area = m_textView->viewport()->rect();
    const QTextBlock first = m_textView->cursorForPosition(area.topLeft()).block();
    const QTextBlock last = VisibleBlocks::last(m_textView, first, maxVisibleBlocks);
    m_firstVisible = first.blockNumber();
    m_lastVisible = std::max(last.blockNumber(), m_firstVisible);
    QTextBlock block = document()->findBlockByNumber(std::max(0, m_firstVisible - visibleMargin));
    for (int count = 0; block.isValid() && block.blockNumber() <= m_lastVisible + visibleMargin &&
                        count < maxVisibleBlocks + 2 * visibleMargin;
         block = block.next(), ++count) {
        if (block.userState() != Checked)
            recheckBlock(block);
    }
}

void SpellHighlighter::textChanged(int position, int removed, int added)
{
    if (m_rehighlighting)
        return;
    // A letter typed into a word, at its end or within it: the word is still being written and gets no mark yet.
    const QChar typed = document()->characterAt(position);
    m_typingAt = added == 1 && removed == 0 && (typed.isLetter() || typed.isMark()) ? position + 1 : -1;
    // Only the edited paragraphs: what comes into view by an edit comes with a scroll or a new paragraph count,
    // or was within the margin already checked.
    recheckLater(position, position + added);
}

void SpellHighlighter::recheckLater(int from, int to)
{
    const int last = document()->characterCount() - 1;
    QTextCursor range(document());
    range.setPosition(std::min(from, last));
    range.setPosition(std::min(to, last), QTextCursor::KeepAnchor);
    m_pending.append(range);
    // Before the repaint, which Qt posts at a lower priority: the edited paragraph is drawn once, with its marks.
    if (m_pending.size() == 1)
        QMetaObject::invokeMethod(this, &SpellHighlighter::recheckPending, Qt::QueuedConnection);
}

void SpellHighlighter::recheckPending()
{
    const QList<QTextCursor> pending = std::exchange(m_pending, {});
    if (!document())
        return;
    for (const QTextCursor &range : pending) {
        QTextBlock block = document()->findBlock(range.selectionStart());
        const QTextBlock last = document()->findBlock(range.selectionEnd());
        for (int number = block.blockNumber(); block.isValid(); block = block.next(), ++number) {
            if (isInView(number))
                recheckBlock(block);
            else
                block.setUserState(Unchecked);
            if (block == last)
                break;
        }
    }
}

bool SpellHighlighter::isInView(int blockNumber) const
{
    return blockNumber >= m_firstVisible - visibleMargin && blockNumber <= m_lastVisible + visibleMargin;
}

void SpellHighlighter::recheckBlock(QTextBlock block)
{
    // The marks go straight onto the paragraph's layout, as QSyntaxHighlighter would put them. Its
    // rehighlightBlock() wraps that in an edit of the document, which Qt answers by laying out and repainting the
    // whole view on every keystroke.
    const std::optional<QList<QTextLayout::FormatRange>> marks = misspellings(block);
    block.setUserState(marks ? Checked : Unchecked);
    QTextLayout *layout = block.layout();
    if (!layout || layout->formats() == marks.value_or(QList<QTextLayout::FormatRange>()))
        return;
    const QScopedValueRollback rehighlighting(m_rehighlighting, true);
    layout->setFormats(marks.value_or(QList<QTextLayout::FormatRange>()));
    document()->markContentsDirty(block.position(), block.length());
}

std::optional<QList<QTextLayout::FormatRange>> SpellHighlighter::misspellings(const QTextBlock &block) const
{
    if (!m_enabled || !m_checker || !m_checker->hasDictionary() || !isInView(block.blockNumber()))
        return std::nullopt;
    const QString text = block.text();
    const qsizetype typingAt = m_typingAt - block.position();
    QList<QTextLayout::FormatRange> marks;
    for (const SpellChecker::Word &word : SpellChecker::words(text)) {
        if (word.position < typingAt && typingAt <= word.position + word.length)
            continue;
        if (!m_checker->isCorrect(text.mid(word.position, word.length)))
            marks.append({int(word.position), int(word.length), misspelledFormat()});
    }
    return marks;
}

void SpellHighlighter::recheckAll()
{
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() == Checked)
            block.setUserState(Unchecked);
    }
    checkVisible();
}

void SpellHighlighter::recheckWord(const QString &word)
{
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() == Checked && block.text().contains(word))
            recheckBlock(block);
    }
}

QTextCharFormat SpellHighlighter::misspelledFormat()
{
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    format.setUnderlineColor(Qt::red);
    return format;
}

void SpellHighlighter::highlightBlock(const QString &)
{
    // Should Qt's own pass run after all, it sets the marks recheckBlock() sets.
    const std::optional<QList<QTextLayout::FormatRange>> marks = misspellings(currentBlock());
    for (const QTextLayout::FormatRange &mark : marks.value_or(QList<QTextLayout::FormatRange>()))
        setFormat(mark.start, mark.length, mark.format);
    setCurrentBlockState(marks ? Checked : Unchecked);
}

bool SpellHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    // The event's type first: a view being destroyed still sends events, and must not be looked at then.
    if (event->type() == QEvent::Resize && m_textView && watched == m_textView->viewport())
        scheduleCheck();
    // Coming back to this note: words may have been learned in another one meanwhile.
    if (event->type() == QEvent::FocusIn && m_textView && watched == m_textView && m_checker)
        m_checker->refreshWordList();
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void SpellHighlighter::scheduleCheck()
{
    if (m_enabled)
        m_checkTimer->start();
}
