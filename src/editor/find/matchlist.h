#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class MatchCounter;
class QTextDocument;
class QTimer;
class TextSearch;

// The matches of the find bar's search in the whole note, counted in short slices so that typing stays fluid. An
// edit of the note makes the count stale, and it is counted again after a short pause in typing; until a count is
// done, searching goes along the text.
class MatchList : public QObject
{
    Q_OBJECT

public:
    explicit MatchList(QTextDocument *document, QObject *parent = nullptr);

    // Counts the matches of search from the paragraph of origin on (finished may come before this returns). With
    // selectFirst, the first match from origin on is offered as soon as it is found, unless forgetFirst() comes
    // first; when there is none after origin, the note's first match once all are counted.
    void start(const TextSearch &search, qsizetype origin, bool selectFirst);
    // Stops counting and forgets the matches; edits of the note then start no count.
    void stop();
    // The caret moved: the first match is no longer wanted.
    void forgetFirst() { m_selectFirst = false; }
    // Edits made meanwhile (replacing every match) leave the count alone: whoever makes them counts again.
    void setIgnoringEdits(bool ignoring);

    // A count is under way or waits for a pause in typing.
    bool isCounting() const { return m_counting; }
    // The matches are counted and the note has not changed since.
    bool isValid() const { return m_valid; }
    const QList<qsizetype> &matches() const { return m_matches; }
    // The matches counted so far while counting.
    qsizetype counted() const;
    // The 1-based number of the match that starts at start, 0 when none does.
    qsizetype numberOf(qsizetype start) const;
    // From the counted matches when there are, else along the text; wraps around; -1 when there is no match.
    qsizetype forward(const TextSearch &search, qsizetype from) const;
    qsizetype backward(const TextSearch &search, qsizetype before) const;

Q_SIGNALS:
    void firstMatchFound(qsizetype position);
    // A slice was counted and more remain.
    void progressed();
    void finished(qsizetype count);
    // The note was edited: the count no longer holds.
    void stale();
    // Typing paused after an edit: the search should be counted again.
    void recountDue();

private:
    void noteChanged();
    void takeCount(const QList<qsizetype> &matches);

    QPointer<QTextDocument> m_document;
    MatchCounter *m_counter = nullptr;
    QTimer *m_recountTimer = nullptr;
    bool m_counting = false;
    bool m_valid = false;
    bool m_selectFirst = false;
    bool m_ignoringEdits = false;
    int m_revision = 0;
    QList<qsizetype> m_matches;
};
