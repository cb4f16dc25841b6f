#include "editor/notetextview.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>

// The view's own caret: Qt paints it in the text colour and repaints more than it for each blink.

namespace {

constexpr int caretWidth = 2;

} // namespace

QColor NoteTextView::caretColor()
{
    return QColor(0xD9, 0x66, 0x8F);
}

void NoteTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!m_caretOn || !hasFocus() || isReadOnly())
        return;
    QPainter painter(viewport());
    painter.fillRect(caretRect(), caretColor());
}

void NoteTextView::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    restartCaretBlink();
}

void NoteTextView::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    m_caretBlink.stop();
    updateCaret();
}

void NoteTextView::restartCaretBlink()
{
    m_caretOn = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_caretBlink.start(flashTime / 2);
    else
        m_caretBlink.stop();
    updateCaret();
}

void NoteTextView::toggleCaret()
{
    m_caretOn = !m_caretOn;
    updateCaret();
}

void NoteTextView::updateCaret()
{
    viewport()->update(m_drawnCaret);
    m_drawnCaret = caretRect();
    viewport()->update(m_drawnCaret);
}

QRect NoteTextView::caretRect() const
{
    const QRect cursor = cursorRect();
    return QRect(cursor.left(), cursor.top(), caretWidth, cursor.height());
}
