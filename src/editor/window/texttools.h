#pragma once

#include "editor/commands/commandresponder.h"

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
class SpellingSetting;
class SpellingTools;

// What the menu bar's find, spelling and editing commands reach for one note's text view: this routes each to
// the tool that does it (the find bar, spelling, smart insert and delete, case changes). The focus chain asks it
// just before the text view, and before the window when the focus is in the find bar.
class TextTools : public QObject, public CommandResponder
{
    Q_OBJECT

public:
    // findBar may be none; the find commands then do nothing.
    TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent = nullptr);
    ~TextTools() override;

    QPlainTextEdit *textView() const;
    FindBar *findBar() const;
    SpellChecker *spellChecker() const;

    // From now on "Check Spelling While Typing" is the app's setting: this note follows it, and the menu item
    // changes it for every note. Without one (none given), the note keeps its own, on by default.
    void followSetting(SpellingSetting *setting);
    bool isContinuousSpellCheckingEnabled() const;
    void setContinuousSpellCheckingEnabled(bool enabled);
    bool isAutomaticSpellingCorrectionEnabled() const;
    void setAutomaticSpellingCorrectionEnabled(bool enabled);

    // The spelling suggestions on top of the text view's context menu.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);
    bool selectNextMisspelling();
    // Pastes words with the spaces they need; false, with nothing done, for other text.
    bool pasteSmartly(const QString &text);

    bool answers(Command command) const override;
    // Find Next and Previous need a search string; Cut, Paste and Delete what the text view allows.
    bool canPerform(Command command) const override;
    bool isChecked(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

Q_SIGNALS:
    // For the check mark of "Check Spelling While Typing".
    void continuousSpellCheckingChanged(bool enabled);

private:
    void performFind(Command command);
    void showSpellingPanel();

    QPointer<QPlainTextEdit> m_textView;
    QPointer<FindBar> m_findBar;
    SpellingTools *m_spelling = nullptr;
    AutoCorrector *m_autoCorrector = nullptr;
    SmartEditing *m_smartEditing = nullptr;
    QPointer<SpellingPanel> m_panel;
    QPointer<SpellingSetting> m_setting;
};
