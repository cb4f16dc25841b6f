#pragma once

#include <QPointer>
#include <QWidget>

class MatchHighlighter;
class MatchList;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class ReplaceRow;
class TextSearch;

// The find bar under a note's text: a search field with previous/next, the match count, a case option and
// "Done"; in replace mode a replace row below. Searching is incremental and never blocks typing for long: the
// visible part is highlighted at once, the whole note is counted in short slices. Matches never span a line break.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QPlainTextEdit *textView, QWidget *parent = nullptr);

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
    QLineEdit *replaceField() const;

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
    void resizeEvent(QResizeEvent *event) override;

private:
    void makeRows();
    void fitRows(int width);
    void connectControls();
    void showBar(bool replaceMode);
    void searchEdited();
    void restartCount(bool selectFirst);
    void highlightVisible();
    void updateCountLabel();
    // Selects the match found at position, or says there is none (-1); false then.
    bool selectMatch(qsizetype position);
    TextSearch search() const;

    QPointer<QPlainTextEdit> m_textView;
    QLineEdit *m_searchField = nullptr;
    QHBoxLayout *m_findRow = nullptr;
    // The count and the case option, when the window is too narrow for them beside the search field.
    QHBoxLayout *m_optionsRow = nullptr;
    QLabel *m_countLabel = nullptr;
    QCheckBox *m_caseBox = nullptr;
    ReplaceRow *m_replaceRow = nullptr;
    MatchList *m_matches = nullptr;
    MatchHighlighter *m_highlighter = nullptr;
    // The bar itself moves the caret: the first match found is still wanted.
    bool m_selecting = false;
};
