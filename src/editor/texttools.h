#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

class FindBar;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QTextCursor;
class SpellChecker;
class SpellHighlighter;
class SpellingPanel;

// What the menu bar's find, spelling and editing commands reach for one note's text view. The commands arrive
// by name along the focus chain as slots name(QObject *sender); the sender is the menu's QAction with its tag
// in the property "tag". Also corrects clear-cut misspellings as words are finished and keeps spaces right
// when whole words are deleted or pasted.
class TextTools : public QObject
{
    Q_OBJECT

public:
    // The find codes a menu item carries in its tag.
    enum FindAction
    {
        ShowFindInterface = 1,
        NextMatch = 2,
        PreviousMatch = 3,
        SetSearchString = 7,
        ShowReplaceInterface = 12,
    };
    Q_ENUM(FindAction)

    // findBar may be none; the find commands then do nothing.
    TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent = nullptr);
    ~TextTools() override;

    QPlainTextEdit *textView() const;
    FindBar *findBar() const;
    SpellChecker *spellChecker() const { return m_spellChecker; }
    SpellHighlighter *spellHighlighter() const { return m_highlighter; }

    // "Check Spelling While Typing", on by default.
    bool isContinuousSpellCheckingEnabled() const;
    void setContinuousSpellCheckingEnabled(bool enabled);
    bool isAutomaticSpellingCorrectionEnabled() const { return m_autoCorrect; }
    void setAutomaticSpellingCorrectionEnabled(bool enabled) { m_autoCorrect = enabled; }
    bool isSmartInsertDeleteEnabled() const { return m_smartInsertDelete; }
    void setSmartInsertDeleteEnabled(bool enabled) { m_smartInsertDelete = enabled; }

    // Puts the spelling actions for the word at a viewport position on top of a context menu of the view:
    // the suggestions, "Ignore Spelling" and "Learn Spelling". Nothing is added for a correct word.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);

    // Selects the next misspelled word after the selection, wrapping around; false when there is none.
    bool selectNextMisspelling();
    // Replaces the selection as one undo step and selects the new text.
    void replaceSelection(const QString &text);

    // Edits with smart insert and delete; each is one undo step.
    void deleteSelectionSmartly();
    void cutSmartly();
    // Pastes text that is one line beginning and ending with a letter or digit, adding the spaces it needs
    // between words; false, with nothing done, for anything else (the view's own paste takes that).
    bool pasteSmartly(const QString &text);
    // The clipboard: smartly when it holds such words, else through the view's own paste.
    void pasteClipboard();

public Q_SLOTS:
    void performFindPanelAction(QObject *sender);
    // "Jump to Selection": the selection goes to the middle of the view.
    void centerSelectionInVisibleArea(QObject *sender);
    // "Show Spelling and Grammar": the spelling panel.
    void showGuessPanel(QObject *sender);
    // "Check Document Now".
    void checkSpelling(QObject *sender);
    // "Check Spelling While Typing".
    void toggleContinuousSpellChecking(QObject *sender);
    void cut(QObject *sender);
    void paste(QObject *sender);
    void pasteAsPlainText(QObject *sender);
    void deleteSelection(QObject *sender);
    // The Transformations menu: the selection, or the word at the caret.
    void uppercaseWord(QObject *sender);
    void lowercaseWord(QObject *sender);
    void capitalizeWord(QObject *sender);

Q_SIGNALS:
    // For the check mark of "Check Spelling While Typing".
    void continuousSpellCheckingChanged(bool enabled);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Correction
    {
        qsizetype position = -1;
        QString original;
        QString replacement;
    };

    void correctWordBeforeCaret();
    void trackCorrection(int position, int removed, int added);
    bool isWholeWordSelection(const QTextCursor &cursor) const;

    QPointer<QPlainTextEdit> m_textView;
    QPointer<FindBar> m_findBar;
    SpellChecker *m_spellChecker = nullptr;
    SpellHighlighter *m_highlighter = nullptr;
    QPointer<SpellingPanel> m_panel;
    bool m_autoCorrect = true;
    bool m_smartInsertDelete = true;
    bool m_forwardingKey = false;
    Correction m_lastCorrection;
    // Words whose correction the user undid: they are left as typed in this note.
    QSet<QString> m_rejected;
};
