#include "editor/notecaret.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleHints>

namespace {

constexpr int caretWidth = 2;

} // namespace

NoteCaret::NoteCaret(QPlainTextEdit *view)
    : QObject(view)
    , m_view(view)
{
    // Qt paints the caret in the text colour; this one is painted instead.
    view->setCursorWidth(0);
    connect(view, &QPlainTextEdit::cursorPositionChanged, this, &NoteCaret::restartBlink);
    connect(&m_blink, &QTimer::timeout, this, &NoteCaret::toggle);
}

QColor NoteCaret::color()
{
    return QColor(0xD9, 0x66, 0x8F);
}

void NoteCaret::paint(QPainter &painter) const
{
    if (m_on && m_view->hasFocus() && !m_view->isReadOnly())
        painter.fillRect(rect(), color());
}

void NoteCaret::restartBlink()
{
    m_on = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (m_view->hasFocus() && flashTime > 0)
        m_blink.start(flashTime / 2);
    else
        m_blink.stop();
    update();
}

void NoteCaret::stopBlink()
{
    m_blink.stop();
    update();
}

void NoteCaret::toggle()
{
    m_on = !m_on;
    update();
}

void NoteCaret::update()
{
    m_view->viewport()->update(m_drawn);
    m_drawn = rect();
    m_view->viewport()->update(m_drawn);
}

QRect NoteCaret::rect() const
{
    const QRect cursor = m_view->cursorRect();
    return QRect(cursor.left(), cursor.top(), caretWidth, cursor.height());
}
