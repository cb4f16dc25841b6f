#pragma once

#include "editor/find/textsearch.h"

#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QTimer;

// Marks the matches of a search in the visible part of a text view, and marks again as the view scrolls or
// resizes. Leaves the view's own extra selections alone while it has nothing to mark.
class MatchHighlighter : public QObject
{
    Q_OBJECT

public:
    explicit MatchHighlighter(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~MatchHighlighter() override;

    // Marks the matches of search now; an empty search removes the marks.
    void highlight(const TextSearch &search);
    // Marks again once control returns to the event loop (the text or the view changed).
    void schedule();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void highlightNow();

    QPointer<QPlainTextEdit> m_textView;
    QTimer *m_timer = nullptr;
    TextSearch m_search;
};
