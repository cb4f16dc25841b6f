#include "editor/view/notecaret.h"

#include <QPainter>
#include <QPlainTextEdit>
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
}

QColor NoteCaret::color()
{
    return QColor(0xD9, 0x66, 0x8F);
}

void NoteCaret::paint(QPainter &painter) const
{
    // Qt repaints a few pixels either side of where its caret was and is: this one lies inside them.
    const QRect cursor = m_view->cursorRect();
    painter.fillRect(QRect(cursor.left(), cursor.top(), caretWidth, cursor.height()), color());
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
