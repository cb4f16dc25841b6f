#include "editor/spellhighlighter.h"

#include "editor/visibleblocks.h"
#include "editor/spellchecker.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

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
    // 20 MB note. Drop that pass (a queued call to us) and follow the edits ourselves, checking only what is in
    // view; should the pass run anyway, it is merely slower.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
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
            recheckBlock(block);
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
    // A letter typed at the end of a word: the word is still being written and gets no mark yet.
    const QChar typed = document()->characterAt(position);
    m_typingAt = added == 1 && removed == 0 && (typed.isLetter() || typed.isMark()) ? position + 1 : -1;
    QTextBlock block = document()->findBlock(position);
    const QTextBlock last = document()->findBlock(position + added);
    for (int number = block.blockNumber(); block.isValid(); block = block.next(), ++number) {
        if (number >= m_firstVisible - visibleMargin && number <= m_lastVisible + visibleMargin)
            recheckBlock(block);
        else
            block.setUserState(Unchecked);
        if (block == last)
            break;
    }
    scheduleCheck();
}

void SpellHighlighter::recheckBlock(const QTextBlock &block)
{
    m_rehighlighting = true;
    QSyntaxHighlighter::rehighlightBlock(block);
    m_rehighlighting = false;
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

void SpellHighlighter::highlightBlock(const QString &text)
{
    const int number = currentBlock().blockNumber();
    const bool inView = number >= m_firstVisible - visibleMargin && number <= m_lastVisible + visibleMargin;
    if (!m_enabled || !m_checker || !m_checker->hasDictionary() || !inView) {
        setCurrentBlockState(Unchecked);
        return;
    }
    const QTextCharFormat format = misspelledFormat();
    const qsizetype typingAt = m_typingAt - currentBlock().position();
    for (const SpellChecker::Word &word : SpellChecker::words(text)) {
        if (word.position + word.length == typingAt)
            continue;
        if (!m_checker->isCorrect(text.mid(word.position, word.length)))
            setFormat(int(word.position), int(word.length), format);
    }
    setCurrentBlockState(Checked);
}

bool SpellHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    if (m_textView && watched == m_textView->viewport() && event->type() == QEvent::Resize)
        scheduleCheck();
    // Coming back to this note: words may have been learned in another one meanwhile.
    if (m_textView && watched == m_textView && event->type() == QEvent::FocusIn && m_checker)
        m_checker->refreshWordList();
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void SpellHighlighter::scheduleCheck()
{
    if (m_enabled)
        m_checkTimer->start();
}
