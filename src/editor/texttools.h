#pragma once

#include <QObject>
#include <QPointer>

class AutoCorrector;
class FindBar;
class QMenu;
class QPlainTextEdit;
class QPoint;
class SmartEditing;
class SpellChecker;
class SpellingPanel;
class SpellingTools;

// What the menu bar's find, spelling and editing commands reach for one note's text view: this routes each to
// the tool that does it (the find bar, spelling, smart insert and delete, case changes). The commands arrive by
// name along the focus chain as slots name(QObject *sender); the sender is the menu's QAction with its tag in
// the property "tag".
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
    SpellChecker *spellChecker() const;

    // "Check Spelling While Typing", on by default.
    bool isContinuousSpellCheckingEnabled() const;
    void setContinuousSpellCheckingEnabled(bool enabled);
    bool isAutomaticSpellingCorrectionEnabled() const;
    void setAutomaticSpellingCorrectionEnabled(bool enabled);

    // The spelling suggestions on top of the text view's context menu.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);
    bool selectNextMisspelling();
    // Pastes words with the spaces they need; false, with nothing done, for other text.
    bool pasteSmartly(const QString &text);

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

private:
    QPointer<QPlainTextEdit> m_textView;
    QPointer<FindBar> m_findBar;
    SpellingTools *m_spelling = nullptr;
    AutoCorrector *m_autoCorrector = nullptr;
    SmartEditing *m_smartEditing = nullptr;
    QPointer<SpellingPanel> m_panel;
};
