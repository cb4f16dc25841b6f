#include "editor/spelling/spellingtools.h"

#include "editor/view/notetextview.h"
#include "editor/spelling/spellchecker.h"
#include "editor/spelling/spellhighlighter.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

// Context menus list at most this many suggestions.
constexpr qsizetype maxMenuSuggestions = 8;

QAction *separatorIn(QMenu *menu)
{
    auto *separator = new QAction(menu);
    separator->setSeparator(true);
    return separator;
}

} // namespace

SpellingTools::SpellingTools(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    m_spellChecker = new SpellChecker({}, this);
    m_highlighter = new SpellHighlighter(textView, m_spellChecker, this);
}

SpellingTools::~SpellingTools() = default;

QPlainTextEdit *SpellingTools::textView() const
{
    return m_textView;
}

bool SpellingTools::isContinuousSpellCheckingEnabled() const
{
    return m_highlighter->isEnabled();
}

void SpellingTools::setContinuousSpellCheckingEnabled(bool enabled)
{
    if (enabled == m_highlighter->isEnabled())
        return;
    m_highlighter->setEnabled(enabled);
    Q_EMIT continuousSpellCheckingChanged(enabled);
}

void SpellingTools::extendContextMenu(QMenu *menu, const QPoint &viewportPosition)
{
    if (!m_textView || !menu || !m_spellChecker->hasDictionary())
        return;
    const QTextCursor at = m_textView->cursorForPosition(viewportPosition);
    const QTextBlock block = at.block();
    const QString text = block.text();
    const SpellChecker::Word word = SpellChecker::wordAt(text, at.positionInBlock());
    if (!word.isValid())
        return;
    const QString misspelled = text.mid(word.position, word.length);
    if (m_spellChecker->isCorrect(misspelled))
        return;
    const qsizetype position = block.position() + word.position;

    QAction *first = menu->actions().value(0);
    QList<QAction *> added;
    const QStringList guesses = m_spellChecker->suggestions(misspelled).mid(0, maxMenuSuggestions);
    for (const QString &guess : guesses) {
        auto *action = new QAction(guess, menu);
        QFont font = action->font();
        font.setBold(true);
        action->setFont(font);
        connect(action, &QAction::triggered, this,
                [this, position, misspelled, guess] { replaceWord(position, misspelled, guess); });
        added << action;
    }
    if (guesses.isEmpty()) {
        auto *none = new QAction(tr("No Guesses Found"), menu);
        none->setEnabled(false);
        added << none;
    }
    added << separatorIn(menu);
    auto *ignore = new QAction(tr("Ignore Spelling"), menu);
    connect(ignore, &QAction::triggered, m_spellChecker, [this, misspelled] { m_spellChecker->ignore(misspelled); });
    auto *learn = new QAction(tr("Learn Spelling"), menu);
    connect(learn, &QAction::triggered, m_spellChecker, [this, misspelled] { m_spellChecker->learn(misspelled); });
    added << ignore << learn;
    if (first)
        added << separatorIn(menu);
    menu->insertActions(first, added);
}

void SpellingTools::replaceWord(qsizetype position, const QString &misspelled, const QString &guess)
{
    if (!m_textView)
        return;
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(int(position));
    cursor.setPosition(int(position + misspelled.size()), QTextCursor::KeepAnchor);
    // The note may have changed while the menu was open.
    if (cursor.selectedText() != misspelled)
        return;
    cursor.insertText(guess);
    m_textView->setTextCursor(cursor);
}

bool SpellingTools::selectNextMisspelling()
{
    if (!m_textView || !m_spellChecker->hasDictionary())
        return false;
    QTextDocument *document = m_textView->document();
    const qsizetype from = m_textView->textCursor().selectionEnd();
    const QTextBlock start = document->findBlock(from);
    auto select = [this, document](const QTextBlock &block, const SpellChecker::Word &word) {
        QTextCursor cursor(document);
        cursor.setPosition(block.position() + word.position);
        cursor.setPosition(block.position() + word.position + word.length, QTextCursor::KeepAnchor);
        m_textView->setTextCursor(cursor);
        m_textView->ensureCursorVisible();
        return true;
    };
    qsizetype offset = from - start.position();
    for (QTextBlock block = start; block.isValid(); block = block.next(), offset = 0) {
        if (const auto word = m_spellChecker->nextMisspelling(block.text(), offset); word.isValid())
            return select(block, word);
    }
    // Around from the top; the block we started in is searched whole, which finds words before the caret.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (const auto word = m_spellChecker->nextMisspelling(block.text(), 0); word.isValid())
            return select(block, word);
        if (block == start)
            break;
    }
    return false;
}

void SpellingTools::replaceSelection(const QString &text)
{
    if (!m_textView || m_textView->isReadOnly())
        return;
    if (NoteTextView::heldUntilLoaded(m_textView, [this, text] { replaceSelection(text); }))
        return;
    QTextCursor cursor = m_textView->textCursor();
    const int start = cursor.selectionStart();
    cursor.insertText(text);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    m_textView->setTextCursor(cursor);
}
