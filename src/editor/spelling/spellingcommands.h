#pragma once

#include "editor/commands/commandresponder.h"

#include <QObject>
#include <QPointer>

class AutoCorrector;
class QMenu;
class QPlainTextEdit;
class QPoint;
class SpellChecker;
class SpellingPanel;
class SpellingSetting;
class SpellingTools;

// Spelling for one note's text view and the Spelling and Grammar menu: the marks under misspelled words, correction
// as words are finished, the suggestions in the context menu, the spelling panel, and checking while typing.
class SpellingCommands : public QObject, public CommandTable<SpellingCommands>
{
    Q_OBJECT

public:
    explicit SpellingCommands(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~SpellingCommands() override;

    SpellChecker *spellChecker() const;

    // From now on "Check Spelling While Typing" is the app's setting: this note follows it, and the menu item
    // changes it for every note. Without one (none given), the note keeps its own, on by default.
    void followSetting(SpellingSetting *setting);
    bool isContinuousSpellCheckingEnabled() const;
    void setContinuousSpellCheckingEnabled(bool enabled);

    // The spelling suggestions on top of the text view's context menu.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);

protected:
    std::span<const Row> commandRows() const override;

private:
    void showSpellingPanel();

    QPointer<QPlainTextEdit> m_textView;
    SpellingTools *m_spelling = nullptr;
    AutoCorrector *m_autoCorrector = nullptr;
    QPointer<SpellingPanel> m_panel;
    QPointer<SpellingSetting> m_setting;
};
