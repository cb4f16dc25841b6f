#include "editor/find/matchhighlighter.h"

#include "editor/view/extraselections.h"
#include "editor/view/visibleblocks.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

namespace {

// Caps on what is highlighted in view, for a one-letter search on a huge line.
constexpr int maxHighlightedBlocks = 2000;
constexpr int maxHighlightedMatches = 5000;
// Tells our extra selections from those of others.
constexpr int matchProperty = QTextFormat::UserProperty + 0xC1;

} // namespace

MatchHighlighter::MatchHighlighter(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &MatchHighlighter::highlightNow);
    if (!textView)
        return;
    // The view scrolls without the scroll bar's signal (it blocks it), but always asks for a repaint that moves.
    connect(textView, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
        if (dy != 0)
            schedule();
    });
    textView->viewport()->installEventFilter(this);
}

MatchHighlighter::~MatchHighlighter()
{
    // Our marks would stay in the text otherwise.
    if (m_textView)
        ExtraSelections::replaceOwn(m_textView, matchProperty, {});
}

void MatchHighlighter::highlight(const TextSearch &search)
{
    m_search = search;
    highlightNow();
}

void MatchHighlighter::schedule()
{
    if (!m_search.isEmpty())
        m_timer->start();
}

bool MatchHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_textView && watched == m_textView->viewport())
        schedule();
    return false;
}

void MatchHighlighter::highlightNow()
{
    if (!m_textView)
        return;
    QList<QTextEdit::ExtraSelection> selections;
    if (!m_search.isEmpty()) {
        QTextCharFormat format;
        format.setBackground(QColor(255, 222, 77));
        format.setForeground(Qt::black);
        const QRect area = m_textView->viewport()->rect();
        QTextBlock block = m_textView->cursorForPosition(area.topLeft()).block();
        const int last = VisibleBlocks::last(m_textView, block, maxHighlightedBlocks).blockNumber();
        QList<qsizetype> matches;
        for (int blocks = 0; block.isValid() && block.blockNumber() <= last && blocks < maxHighlightedBlocks;
             block = block.next(), ++blocks)
            m_search.appendMatches(block, matches, maxHighlightedMatches);
        for (const qsizetype at : std::as_const(matches)) {
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(m_textView->document());
            selection.cursor.setPosition(int(at));
            selection.cursor.setPosition(int(m_search.matchEnd(at)), QTextCursor::KeepAnchor);
            selection.format = format;
            selections.append(selection);
        }
    }
    ExtraSelections::replaceOwn(m_textView, matchProperty, selections);
}
