#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class MatchCounter;
class MatchHighlighter;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class TextSearch;

// The find bar under a note's text: a search field with previous/next, the match count, a case option and
// "Done"; in replace mode a replace field with "Replace" and "All". Searching is incremental and never blocks
// typing for long: the visible part is highlighted at once, the whole note is counted in short slices.
// Matches never span a line break.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QPlainTextEdit *textView, QWidget *parent = nullptr);
    ~FindBar() override;

    QString searchText() const;
    // Sets the search string without moving the selection ("Use Selection for Find").
    void setSearchText(const QString &text);
    QString replaceText() const;
    void setReplaceText(const QString &text);
    bool isCaseSensitive() const;
    void setCaseSensitive(bool caseSensitive);
    bool isReplaceMode() const;

    // Matches in the whole note, or -1 while they are still being counted.
    qsizetype matchCount() const;
    // The 1-based number of the selected match, 0 when the selection is no match or counting goes on.
    qsizetype currentMatch() const;
    // What the count label shows, e.g. "3 of 12".
    QString countText() const;

    QLineEdit *searchField() const { return m_searchField; }
    QLineEdit *replaceField() const { return m_replaceField; }

public Q_SLOTS:
    // Shows the bar, focuses the search field and selects its text.
    void showFind();
    void showReplace();
    // Hides the bar and gives the focus back to the text.
    void done();
    // Select the next or previous match of the last search, wrapping around; false when there is none.
    bool findNext();
    bool findPrevious();
    // Replaces the selected match, if the selection is one, and moves to the next match.
    bool replace();
    // Replaces every match as one undo step and returns how many were replaced.
    qsizetype replaceAll();

Q_SIGNALS:
    // The whole note has been counted.
    void countFinished(qsizetype count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void makeRows();
    void connectControls();
    void followTextView();
    void showBar(bool replaceMode);
    void searchEdited();
    void restartCount(bool selectFirst);
    void selectFirstMatch(qsizetype position);
    void takeCount(const QList<qsizetype> &matches);
    void highlightVisible();
    void scheduleHighlight();
    void updateCountLabel();
    void documentChanged();
    Qt::CaseSensitivity caseSensitivity() const;
    bool selectionIsMatch() const;
    void selectMatch(qsizetype position);
    // Selects a match found by a search, or says there is none (-1); false then.
    bool selectFound(qsizetype position);
    TextSearch search() const;
    // From the counted matches when there are, else along the blocks; wraps around; -1 when there is no match.
    qsizetype searchForward(qsizetype from) const;
    qsizetype searchBackward(qsizetype before) const;

    QPointer<QPlainTextEdit> m_textView;
    QLineEdit *m_searchField = nullptr;
    QToolButton *m_previousButton = nullptr;
    QToolButton *m_nextButton = nullptr;
    QLabel *m_countLabel = nullptr;
    QCheckBox *m_caseBox = nullptr;
    QPushButton *m_doneButton = nullptr;
    QWidget *m_replaceRow = nullptr;
    QLineEdit *m_replaceField = nullptr;
    QPushButton *m_replaceButton = nullptr;
    QPushButton *m_replaceAllButton = nullptr;
    MatchCounter *m_counter = nullptr;
    MatchHighlighter *m_highlighter = nullptr;
    QTimer *m_recountTimer = nullptr;

    // A count is under way or waits for a pause in typing.
    bool m_counting = false;
    // The search was edited: its first match from the caret on gets selected as the count finds it.
    bool m_selectFirst = false;
    bool m_countValid = false;
    bool m_editing = false;
    bool m_selecting = false;
    int m_revision = 0;
    QList<qsizetype> m_matches;
};
