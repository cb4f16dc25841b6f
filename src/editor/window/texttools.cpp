#include "editor/window/texttools.h"

#include "editor/spelling/autocorrector.h"
#include "editor/view/casetransform.h"
#include "editor/commands/editcommands.h"
#include "editor/find/findbar.h"
#include "editor/view/notetextview.h"
#include "editor/view/smartediting.h"
#include "editor/spelling/spellingpanel.h"
#include "editor/spelling/spellingsetting.h"
#include "editor/spelling/spellingtools.h"
#include "editor/view/undosteps.h"

#include <QPlainTextEdit>
#include <QVariant>

TextTools::TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_findBar(findBar)
{
    m_spelling = new SpellingTools(textView, this);
    // First, so that a correction made after a typed key is not part of the typing step.
    new UndoSteps(textView, this);
    m_autoCorrector = new AutoCorrector(textView, m_spelling->spellChecker(), this);
    m_smartEditing = new SmartEditing(textView, this);
    connect(m_spelling, &SpellingTools::continuousSpellCheckingChanged, this,
            &TextTools::continuousSpellCheckingChanged);
    // Correction goes with checking while typing: a word is never changed where misspellings are not shown.
    m_autoCorrector->setCheckingWhileTyping(m_spelling->isContinuousSpellCheckingEnabled());
    connect(m_spelling, &SpellingTools::continuousSpellCheckingChanged, m_autoCorrector,
            &AutoCorrector::setCheckingWhileTyping);
}

TextTools::~TextTools() = default;

QPlainTextEdit *TextTools::textView() const
{
    return m_textView;
}

FindBar *TextTools::findBar() const
{
    return m_findBar;
}

SpellChecker *TextTools::spellChecker() const
{
    return m_spelling->spellChecker();
}

void TextTools::followSetting(SpellingSetting *setting)
{
    if (!setting)
        return;
    m_setting = setting;
    setContinuousSpellCheckingEnabled(setting->isCheckingWhileTyping());
    connect(setting, &SpellingSetting::checkingWhileTypingChanged, this, &TextTools::setContinuousSpellCheckingEnabled);
}

bool TextTools::isContinuousSpellCheckingEnabled() const
{
    return m_spelling->isContinuousSpellCheckingEnabled();
}

void TextTools::setContinuousSpellCheckingEnabled(bool enabled)
{
    m_spelling->setContinuousSpellCheckingEnabled(enabled);
}

bool TextTools::isAutomaticSpellingCorrectionEnabled() const
{
    return m_autoCorrector->isEnabled();
}

void TextTools::setAutomaticSpellingCorrectionEnabled(bool enabled)
{
    m_autoCorrector->setEnabled(enabled);
}

void TextTools::extendContextMenu(QMenu *menu, const QPoint &viewportPosition)
{
    m_spelling->extendContextMenu(menu, viewportPosition);
    m_autoCorrector->extendContextMenu(menu, viewportPosition);
}

bool TextTools::selectNextMisspelling()
{
    return m_spelling->selectNextMisspelling();
}

bool TextTools::pasteSmartly(const QString &text)
{
    return m_smartEditing->paste(text);
}

bool TextTools::answers(Command command) const
{
    switch (command) {
    case Command::Find:
    case Command::FindAndReplace:
    case Command::FindNext:
    case Command::FindPrevious:
    case Command::UseSelectionForFind:
    case Command::JumpToSelection:
    case Command::ShowSpelling:
    case Command::CheckSpelling:
    case Command::ToggleSpellingWhileTyping:
    case Command::Cut:
    case Command::Paste:
    case Command::PasteAsPlainText:
    case Command::Delete:
    case Command::Uppercase:
    case Command::Lowercase:
    case Command::Capitalize:
    // The note's own, also from the find bar (a Replace All undone while the focus is still there).
    case Command::Undo:
    case Command::Redo:
    case Command::Copy:
    case Command::SelectAll:
        return true;
    default:
        return false;
    }
}

bool TextTools::canPerform(Command command) const
{
    switch (command) {
    case Command::FindNext:
    case Command::FindPrevious:
        return m_findBar && !m_findBar->searchText().isEmpty();
    case Command::Cut:
    case Command::Paste:
    case Command::PasteAsPlainText:
    case Command::Delete:
    case Command::Undo:
    case Command::Redo:
    case Command::Copy:
    case Command::SelectAll:
        return EditCommands::canPerformIn(m_textView, command);
    default:
        return true;
    }
}

bool TextTools::isChecked(Command command) const
{
    return command == Command::ToggleSpellingWhileTyping && isContinuousSpellCheckingEnabled();
}

void TextTools::perform(Command command, const QVariant &argument)
{
    switch (command) {
    case Command::Cut:
    case Command::Paste:
    case Command::PasteAsPlainText:
    case Command::Delete:
    case Command::Uppercase:
    case Command::Lowercase:
    case Command::Capitalize:
        NoteTextView::beforeEdit(m_textView);
        break;
    default:
        break;
    }
    switch (command) {
    case Command::Find:
    case Command::FindAndReplace:
    case Command::FindNext:
    case Command::FindPrevious:
    case Command::UseSelectionForFind:
        performFind(command);
        break;
    case Command::JumpToSelection:
        // centerCursor() centres the caret; for a selection that is its moving end, which is what the user last saw.
        if (m_textView)
            m_textView->centerCursor();
        break;
    case Command::ShowSpelling:
        showSpellingPanel();
        break;
    case Command::CheckSpelling:
        if (m_panel && m_panel->isVisible())
            m_panel->findNext();
        else
            m_spelling->selectNextMisspelling();
        break;
    case Command::ToggleSpellingWhileTyping:
        if (m_setting)
            m_setting->setCheckingWhileTyping(!isContinuousSpellCheckingEnabled());
        else
            setContinuousSpellCheckingEnabled(!isContinuousSpellCheckingEnabled());
        break;
    case Command::Cut:
        m_smartEditing->cut();
        break;
    case Command::Paste:
    case Command::PasteAsPlainText:
        m_smartEditing->pasteClipboard();
        break;
    case Command::Delete:
        m_smartEditing->deleteSelection();
        break;
    case Command::Uppercase:
        if (m_textView)
            CaseTransform::uppercaseWord(m_textView);
        break;
    case Command::Lowercase:
        if (m_textView)
            CaseTransform::lowercaseWord(m_textView);
        break;
    case Command::Capitalize:
        if (m_textView)
            CaseTransform::capitalizeWord(m_textView);
        break;
    case Command::Undo:
    case Command::Redo:
    case Command::Copy:
    case Command::SelectAll:
        // As the text view itself does them.
        if (auto *view = dynamic_cast<CommandResponder *>(m_textView.data()))
            view->perform(command, argument);
        else if (m_textView)
            EditCommands::performIn(m_textView, command);
        break;
    default:
        break;
    }
}

void TextTools::performFind(Command command)
{
    if (!m_findBar || !m_textView)
        return;
    switch (command) {
    case Command::Find:
        m_findBar->showFind();
        break;
    case Command::FindAndReplace:
        m_findBar->showReplace();
        break;
    case Command::FindNext:
        m_findBar->findNext();
        break;
    case Command::FindPrevious:
        m_findBar->findPrevious();
        break;
    case Command::UseSelectionForFind:
        if (const QString selected = m_textView->textCursor().selectedText(); !selected.isEmpty())
            m_findBar->setSearchText(selected);
        break;
    default:
        break;
    }
}

void TextTools::showSpellingPanel()
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
