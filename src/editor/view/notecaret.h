#pragma once

#include <QColor>
#include <QObject>

class QPainter;
class QPlainTextEdit;

// The note's own caret, kept off the middle of a character: Qt paints its caret in the text colour, so the view
// has Qt's drawn zero pixels wide and this one painted where it is, while it is on. Qt's caret keeps the timing:
// it shows at once when the caret moves or the view takes the focus, blinks, and repaints where it was and is.
class NoteCaret : public QObject
{
    Q_OBJECT

public:
    explicit NoteCaret(QPlainTextEdit *view);

    static QColor color();
    // Draws the caret over the text just painted; the view calls it while Qt's caret is on.
    void paint(QPainter &painter) const;

private:
    // Moves the caret and the anchor off the middle of a surrogate pair.
    void keepOffHalfCharacters();

    QPlainTextEdit *m_view;
};
