#include "editor/texttools.h"

#include "editor/autocorrector.h"
#include "editor/casetransform.h"
#include "editor/findbar.h"
#include "editor/smartediting.h"
#include "editor/spellingpanel.h"
#include "editor/spellingtools.h"
#include "editor/undosteps.h"

#include <QPlainTextEdit>
#include <QVariant>

namespace {

int tagOf(const QObject *sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

} // namespace

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

void TextTools::performFindPanelAction(QObject *sender)
{
    if (!m_findBar || !m_textView)
        return;
    switch (tagOf(sender)) {
    case ShowFindInterface:
        m_findBar->showFind();
        break;
    case ShowReplaceInterface:
        m_findBar->showReplace();
        break;
    case NextMatch:
        m_findBar->findNext();
        break;
    case PreviousMatch:
        m_findBar->findPrevious();
        break;
    case SetSearchString:
        if (const QString selected = m_textView->textCursor().selectedText(); !selected.isEmpty())
            m_findBar->setSearchText(selected);
        break;
    default:
        break;
    }
}

void TextTools::centerSelectionInVisibleArea(QObject *)
{
    if (!m_textView)
        return;
    // centerCursor() centres the caret; for a selection that is its moving end, which is what the user last saw.
    m_textView->centerCursor();
}

void TextTools::showGuessPanel(QObject *)
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

void TextTools::checkSpelling(QObject *)
{
    if (m_panel && m_panel->isVisible())
        m_panel->findNext();
    else
        m_spelling->selectNextMisspelling();
}

void TextTools::toggleContinuousSpellChecking(QObject *)
{
    setContinuousSpellCheckingEnabled(!isContinuousSpellCheckingEnabled());
}

void TextTools::cut(QObject *)
{
    m_smartEditing->cut();
}

void TextTools::paste(QObject *)
{
    m_smartEditing->pasteClipboard();
}

void TextTools::pasteAsPlainText(QObject *)
{
    m_smartEditing->pasteClipboard();
}

void TextTools::deleteSelection(QObject *)
{
    m_smartEditing->deleteSelection();
}

void TextTools::uppercaseWord(QObject *)
{
    if (m_textView)
        CaseTransform::uppercaseWord(m_textView);
}

void TextTools::lowercaseWord(QObject *)
{
    if (m_textView)
        CaseTransform::lowercaseWord(m_textView);
}

void TextTools::capitalizeWord(QObject *)
{
    if (m_textView)
        CaseTransform::capitalizeWord(m_textView);
}
