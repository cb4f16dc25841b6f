#pragma once

#include "editor/find/textsearch.h"

#include <QObject>
#include <QPointer>
#include <QTextBlock>

class QTimer;

// Counts the matches of a search in the whole note in short slices, so that typing stays fluid meanwhile. Starts
// in the paragraph of the caret and goes around the note.
class MatchCounter : public QObject
{
    Q_OBJECT

public:
    explicit MatchCounter(QObject *parent = nullptr);
    ~MatchCounter() override;

    // Counts the first slice at once, the rest later (finished may come before this returns).
    void start(const TextSearch &search, qsizetype origin);
    void stop();
    bool isCounting() const;
    // The matches counted so far.
    qsizetype counted() const { return m_head.size() + m_tail.size(); }

Q_SIGNALS:
    // The first match at or after origin, before going around; at most once a count.
    void firstMatchAfterOrigin(qsizetype position);
    // A slice was counted and more remain.
    void progressed();
    // Every match of the note, in order.
    void finished(const QList<qsizetype> &matches);

private:
    void countSlice();

    QTimer *m_sliceTimer = nullptr;
    TextSearch m_search;
    QPointer<const QTextDocument> m_document;
    QTextBlock m_block;
    QTextBlock m_stopBlock;
    bool m_wrapped = false;
    bool m_reportedFirst = false;
    qsizetype m_origin = 0;
    // Matches from the top to the origin's paragraph, and from there to the end.
    QList<qsizetype> m_head;
    QList<qsizetype> m_tail;
};
