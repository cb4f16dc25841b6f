#include "editor/spelling/spellingcommands.h"

#include "editor/spelling/autocorrector.h"
#include "editor/spelling/spellingpanel.h"
#include "editor/spelling/spellingsetting.h"
#include "editor/spelling/spellingtools.h"

#include <QPlainTextEdit>

SpellingCommands::SpellingCommands(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    m_spelling = new SpellingTools(textView, this);
    m_autoCorrector = new AutoCorrector(textView, m_spelling->spellChecker(), this);
    // Correction goes with checking while typing: a word is never changed where misspellings are not shown.
    m_autoCorrector->setCheckingWhileTyping(m_spelling->isContinuousSpellCheckingEnabled());
    connect(m_spelling, &SpellingTools::continuousSpellCheckingChanged, m_autoCorrector,
            &AutoCorrector::setCheckingWhileTyping);
}

SpellingCommands::~SpellingCommands() = default;

SpellChecker *SpellingCommands::spellChecker() const
{
    return m_spelling->spellChecker();
}

void SpellingCommands::followSetting(SpellingSetting *setting)
{
    if (!setting)
        return;
    m_setting = setting;
    setContinuousSpellCheckingEnabled(setting->isCheckingWhileTyping());
    connect(setting, &SpellingSetting::checkingWhileTypingChanged, this,
            &SpellingCommands::setContinuousSpellCheckingEnabled);
}

bool SpellingCommands::isContinuousSpellCheckingEnabled() const
{
    return m_spelling->isContinuousSpellCheckingEnabled();
}

void SpellingCommands::setContinuousSpellCheckingEnabled(bool enabled)
{
    m_spelling->setContinuousSpellCheckingEnabled(enabled);
}

void SpellingCommands::extendContextMenu(QMenu *menu, const QPoint &viewportPosition)
{
    m_spelling->extendContextMenu(menu, viewportPosition);
    m_autoCorrector->extendContextMenu(menu, viewportPosition);
}

std::span<const SpellingCommands::Row> SpellingCommands::commandRows() const
{
    using Self = SpellingCommands;
    static constexpr Row rows[] = {
        {Command::ShowSpelling, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.showSpellingPanel();
         }},
        {Command::CheckSpelling, nullptr,
         [](Self &self, Command, const QVariant &) {
             if (self.m_panel && self.m_panel->isVisible())
                 self.m_panel->findNext();
             else
                 self.m_spelling->selectNextMisspelling();
         }},
        {Command::ToggleSpellingWhileTyping, nullptr,
         [](Self &self, Command, const QVariant &) {
             if (self.m_setting)
                 self.m_setting->setCheckingWhileTyping(!self.isContinuousSpellCheckingEnabled());
             else
                 self.setContinuousSpellCheckingEnabled(!self.isContinuousSpellCheckingEnabled());
         },
         [](const Self &self) {
             return self.isContinuousSpellCheckingEnabled();
         }},
    };
    return rows;
}

void SpellingCommands::showSpellingPanel()
{
    if (!m_textView)
        return;
    if (!m_panel)
        m_panel = new SpellingPanel(m_spelling, m_textView->window());
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    m_panel->findNext();
}
