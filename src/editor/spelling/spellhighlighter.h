#pragma once

#include <QPointer>
#include <QList>
#include <QSyntaxHighlighter>
#include <QTextCursor>
#include <QTextLayout>

#include <optional>

class QPlainTextEdit;
class QTimer;
class SpellChecker;

// Draws the platform's spell-check underline under misspelled words of a text view. Only paragraphs in view
// (and a margin around them) are checked, as they come into view, so a big note opens and scrolls at once.
class SpellHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    SpellHighlighter(QPlainTextEdit *textView, SpellChecker *checker, QObject *parent = nullptr);
    ~SpellHighlighter() override;

    bool isEnabled() const { return m_enabled; }
    // Off removes every underline; on checks what is in view again.
    void setEnabled(bool enabled);

    // Checks the paragraphs in view that are not checked yet. Runs by itself after scrolling and resizing.
    void checkVisible();
    // Checks again the paragraphs that hold word, after it was learned or ignored.
    void recheckWord(const QString &word);
    // Checks the paragraphs in view again and forgets what was checked elsewhere.
    void recheckAll();

    static QTextCharFormat misspelledFormat();

protected:
    void highlightBlock(const QString &text) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Unchecked is the state of a new paragraph, so leaving one unchecked never makes the base class go on to
    // the next paragraph too.
    enum BlockState
    {
        Unchecked = -1,
        Checked = 1
    };

    void scheduleCheck();
    void textChanged(int position, int removed, int added);
    // Checks the paragraphs from..to once the edit is over. Rehighlighting while Qt still reports the edit makes it
    // lay out and repaint the whole view on every keystroke.
    void recheckLater(int from, int to);
    void recheckPending();
    bool isInView(int blockNumber) const;
    // Rehighlights one paragraph; the format changes it makes are not taken for the user's edits.
    void recheckBlock(QTextBlock block);
    // The marks of the paragraph's misspelled words; none when it is not checked (out of view, spelling off).
    std::optional<QList<QTextLayout::FormatRange>> misspellings(const QTextBlock &block) const;

    QPointer<QPlainTextEdit> m_textView;
    // Ranges edited since the last check; cursors, so that they follow further edits.
    QList<QTextCursor> m_pending;
    QPointer<SpellChecker> m_checker;
    QTimer *m_checkTimer = nullptr;
    bool m_enabled = true;
    bool m_rehighlighting = false;
    // Just after the letter being typed, in the word being written, or -1.
    int m_typingAt = -1;
    // Paragraph numbers in view when last looked; before the view is laid out, a first screenful.
    int m_firstVisible = 0;
    int m_lastVisible = 100;
};
