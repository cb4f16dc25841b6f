#pragma once

#include <QColor>
#include <QObject>
#include <QRect>
#include <QTimer>

class QPainter;
class QPlainTextEdit;

// The note's own caret, kept off the middle of a character: Qt paints it in the text colour and repaints more than
// it for each blink. The view hands its paint and focus events here.
class NoteCaret : public QObject
{
    Q_OBJECT

public:
    explicit NoteCaret(QPlainTextEdit *view);

    static QColor color();
    // Draws the caret over the text just painted, when it shows.
    void paint(QPainter &painter) const;
    // The caret shows at once, then blinks while the view has the focus.
    void restartBlink();
    void stopBlink();

private:
    // Moves the caret and the anchor off the middle of a surrogate pair.
    void keepOffHalfCharacters();
    void toggle();
    void update();
    QRect rect() const;

    QPlainTextEdit *m_view;
    bool m_on = true;
    QRect m_drawn;
    QTimer m_blink;
};
