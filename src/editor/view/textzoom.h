#pragma once

#include <QObject>

class QPlainTextEdit;
class QWidget;

// The text size of every note window at once; the app holds one and hands it to each window. Ctrl+Plus, Ctrl+Minus,
// Ctrl+0 and Ctrl+wheel change it within bounds, and it is remembered for the next launch. These are window shortcuts,
// not menu items.
class TextZoom : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultPointSize = 15;
    static constexpr int minimumPointSize = 6;
    static constexpr int maximumPointSize = 72;

    explicit TextZoom(QObject *parent = nullptr);

    int pointSize() const { return m_pointSize; }
    // Clamped to the bounds; every attached view follows and the size is stored.
    void setPointSize(int pointSize);
    void zoomIn();
    void zoomOut();
    void reset();

    // Gives view the current size, follows later changes, and adds the shortcuts to window.
    void attach(QWidget *window, QPlainTextEdit *view);

Q_SIGNALS:
    void pointSizeChanged(int pointSize);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int m_pointSize = defaultPointSize;
    int m_wheelAngle = 0;
};
