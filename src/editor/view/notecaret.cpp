#include "editor/view/notecaret.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleHints>
#include <QTextDocument>

namespace {

constexpr int caretWidth = 2;

} // namespace

NoteCaret::NoteCaret(QPlainTextEdit *view)
    : QObject(view)
    , m_view(view)
{
    // Qt paints the caret in the text colour; this one is painted instead.
    view->setCursorWidth(0);
    connect(view, &QPlainTextEdit::cursorPositionChanged, this, &NoteCaret::keepOffHalfCharacters);
    // After keeping off half characters, so that the caret is drawn where it stays.
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

void NoteCaret::keepOffHalfCharacters()
{
    // Qt's hit testing can put the caret between the halves of an emoji in a line that mixes directions; what is
    // typed there would split it, and half a character cannot be written.
    const QTextDocument *doc = m_view->document();
    const auto whole = [doc](int at) {
        return at > 0 && doc->characterAt(at).isLowSurrogate() && doc->characterAt(at - 1).isHighSurrogate() ? at - 1
                                                                                                             : at;
    };
    QTextCursor cursor = m_view->textCursor();
    const int anchor = whole(cursor.anchor());
    const int position = whole(cursor.position());
    if (anchor == cursor.anchor() && position == cursor.position())
        return;
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
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
