#include "editor/texttools.h"

#include "editor/casetransform.h"

#include "editor/findbar.h"
#include "editor/spellchecker.h"
#include "editor/spellhighlighter.h"
#include "editor/spellingpanel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVariant>

namespace {

// Context menus list at most this many suggestions.
constexpr qsizetype maxMenuSuggestions = 8;

int tagOf(const QObject *sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

// Typing one of these right after a word finishes the word.
bool finishesWord(const QString &typed)
{
    if (typed.size() != 1)
        return false;
    const QChar c = typed.front();
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t' || c == u'.' || c == u',' || c == u';' || c == u':' ||
           c == u'!' || c == u'?' || c == u')' || c == u'"';
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

// The word of text that contains offset (or ends right at it).
SpellChecker::Word wordAt(const QString &text, qsizetype offset)
{
    for (const SpellChecker::Word &word : SpellChecker::words(text)) {
        if (offset >= word.position && offset <= word.position + word.length)
            return word;
    }
    return {};
}

} // namespace

TextTools::TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_findBar(findBar)
{
    m_spellChecker = new SpellChecker({}, this);
    m_highlighter = new SpellHighlighter(textView, m_spellChecker, this);
    textView->installEventFilter(this);
    connect(textView->document(), &QTextDocument::contentsChange, this, &TextTools::trackCorrection);
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

bool TextTools::isContinuousSpellCheckingEnabled() const
{
    return m_highlighter->isEnabled();
}

void TextTools::setContinuousSpellCheckingEnabled(bool enabled)
{
    if (enabled == m_highlighter->isEnabled())
        return;
    m_highlighter->setEnabled(enabled);
    Q_EMIT continuousSpellCheckingChanged(enabled);
}

void TextTools::extendContextMenu(QMenu *menu, const QPoint &viewportPosition)
{
    if (!m_textView || !menu || !m_spellChecker->hasDictionary())
        return;
    const QTextCursor at = m_textView->cursorForPosition(viewportPosition);
    const QTextBlock block = at.block();
    const QString text = block.text();
    const SpellChecker::Word word = wordAt(text, at.positionInBlock());
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
        connect(action, &QAction::triggered, this, [this, position, misspelled, guess] {
            if (!m_textView)
                return;
            QTextCursor cursor(m_textView->document());
            cursor.setPosition(position);
            cursor.setPosition(position + misspelled.size(), QTextCursor::KeepAnchor);
            // The note may have changed while the menu was open.
            if (cursor.selectedText() != misspelled)
                return;
            cursor.insertText(guess);
            m_textView->setTextCursor(cursor);
        });
        added << action;
    }
    if (guesses.isEmpty()) {
        auto *none = new QAction(tr("No Guesses Found"), menu);
        none->setEnabled(false);
        added << none;
    }
    auto *separator = new QAction(menu);
    separator->setSeparator(true);
    added << separator;
    auto *ignore = new QAction(tr("Ignore Spelling"), menu);
    connect(ignore, &QAction::triggered, m_spellChecker, [this, misspelled] { m_spellChecker->ignore(misspelled); });
    auto *learn = new QAction(tr("Learn Spelling"), menu);
    connect(learn, &QAction::triggered, m_spellChecker, [this, misspelled] { m_spellChecker->learn(misspelled); });
    added << ignore << learn;
    if (first) {
        auto *end = new QAction(menu);
        end->setSeparator(true);
        added << end;
    }
    menu->insertActions(first, added);
}

bool TextTools::selectNextMisspelling()
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

void TextTools::replaceSelection(const QString &text)
{
    if (!m_textView || m_textView->isReadOnly())
        return;
    QTextCursor cursor = m_textView->textCursor();
    const int start = cursor.selectionStart();
    cursor.insertText(text);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    m_textView->setTextCursor(cursor);
}

void TextTools::deleteSelectionSmartly()
{
    if (!m_textView || m_textView->isReadOnly())
        return;
    QTextCursor cursor = m_textView->textCursor();
    if (!cursor.hasSelection())
        return;
    if (m_smartInsertDelete && isWholeWordSelection(cursor)) {
        const QTextBlock block = cursor.block().document()->findBlock(cursor.selectionStart());
        const QString text = block.text();
        int start = cursor.selectionStart();
        int end = cursor.selectionEnd();
        const qsizetype startInBlock = start - block.position();
        const qsizetype endInBlock = end - block.position();
        const QChar before = startInBlock > 0 ? text.at(startInBlock - 1) : QChar();
        const QChar after = endInBlock < text.size() ? text.at(endInBlock) : QChar();
        // "a word b" leaves "a b"; "a word." leaves "a."; "word b" at the start of a line leaves "b".
        if (after == u' ' && (before.isNull() || before.isSpace()))
            ++end;
        else if (before == u' ' && (after.isNull() || after.isPunct()))
            --start;
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
    }
    cursor.removeSelectedText();
    m_textView->setTextCursor(cursor);
}

void TextTools::cutSmartly()
{
    if (!m_textView || m_textView->isReadOnly() || !m_textView->textCursor().hasSelection())
        return;
    m_textView->copy();
    deleteSelectionSmartly();
}

bool TextTools::pasteSmartly(const QString &text)
{
    if (!m_textView || m_textView->isReadOnly() || !m_smartInsertDelete || text.isEmpty() ||
        !isWordCharacter(text.front()) || !isWordCharacter(text.back()))
        return false;
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar::Null)
            return false;
    }
    QTextCursor cursor = m_textView->textCursor();
    QString inserted = text;
    {
        const QTextBlock block = m_textView->document()->findBlock(cursor.selectionStart());
        const QString blockText = block.text();
        const qsizetype startInBlock = cursor.selectionStart() - block.position();
        const qsizetype endInBlock = cursor.selectionEnd() - block.position();
        if (startInBlock > 0 && isWordCharacter(blockText.at(startInBlock - 1)))
            inserted.prepend(u' ');
        if (endInBlock < blockText.size() && isWordCharacter(blockText.at(endInBlock)))
            inserted.append(u' ');
    }
    cursor.insertText(inserted);
    m_textView->setTextCursor(cursor);
    m_textView->ensureCursorVisible();
    return true;
}

void TextTools::pasteClipboard()
{
    if (m_textView && !pasteSmartly(QApplication::clipboard()->text()))
        m_textView->paste();
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
        m_panel = new SpellingPanel(this, m_textView->window());
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
        selectNextMisspelling();
}

void TextTools::toggleContinuousSpellChecking(QObject *)
{
    setContinuousSpellCheckingEnabled(!isContinuousSpellCheckingEnabled());
}

void TextTools::cut(QObject *)
{
    cutSmartly();
}

void TextTools::paste(QObject *)
{
    pasteClipboard();
}

void TextTools::pasteAsPlainText(QObject *)
{
    pasteClipboard();
}

void TextTools::deleteSelection(QObject *)
{
    deleteSelectionSmartly();
}

bool TextTools::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_textView || event->type() != QEvent::KeyPress || m_forwardingKey || m_textView->isReadOnly())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool hasSelection = m_textView->textCursor().hasSelection();
    if (hasSelection && (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        deleteSelectionSmartly();
        return true;
    }
    if (key->matches(QKeySequence::Cut) && hasSelection) {
        cutSmartly();
        return true;
    }
    if (key->matches(QKeySequence::Paste) && pasteSmartly(QApplication::clipboard()->text()))
        return true;
    if (m_autoCorrect && !hasSelection && finishesWord(key->text()) && m_spellChecker->hasDictionary()) {
        // Let the view type the character first, so the correction is an undo step of its own.
        m_forwardingKey = true;
        QCoreApplication::sendEvent(m_textView, event);
        m_forwardingKey = false;
        correctWordBeforeCaret();
        return true;
    }
    return false;
}

void TextTools::correctWordBeforeCaret()
{
    if (!m_textView)
        return;
    const QTextCursor caret = m_textView->textCursor();
    if (caret.hasSelection())
        return;
    // Return splits the paragraph: the finished word ends the previous one.
    QTextBlock block = caret.block();
    qsizetype end = caret.positionInBlock() - 1;
    if (caret.positionInBlock() == 0) {
        block = block.previous();
        end = block.isValid() ? block.length() - 1 : -1;
    }
    if (!block.isValid() || end <= 0)
        return;
    const QString text = block.text();
    const SpellChecker::Word word = wordAt(text, end);
    if (!word.isValid() || word.position + word.length != end)
        return;
    const QString original = text.mid(word.position, word.length);
    const qsizetype position = block.position() + word.position;

    // The last correction is back to what was typed: the user undid it, so the word stays as typed from now on.
    if (m_lastCorrection.position >= 0) {
        QTextCursor last(m_textView->document());
        last.setPosition(int(m_lastCorrection.position));
        last.setPosition(int(m_lastCorrection.position + m_lastCorrection.original.size()), QTextCursor::KeepAnchor);
        if (last.selectedText() == m_lastCorrection.original)
            m_rejected.insert(m_lastCorrection.original);
        m_lastCorrection = {};
    }
    if (m_rejected.contains(original))
        return;
    const QString replacement = m_spellChecker->correctionFor(original);
    if (replacement.isEmpty())
        return;
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(int(position));
    cursor.setPosition(int(position + original.size()), QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.insertText(replacement);
    cursor.endEditBlock();
    m_lastCorrection = {position, original, replacement};
}

void TextTools::trackCorrection(int position, int removed, int added)
{
    if (m_lastCorrection.position < 0)
        return;
    if (position + removed <= m_lastCorrection.position) {
        m_lastCorrection.position += added - removed;
        return;
    }
    if (position >= m_lastCorrection.position + m_lastCorrection.replacement.size())
        return;
    // An edit of the corrected word: when it brings back what was typed (Undo, or typing it again), the user
    // wants it so.
    QTextCursor word(m_textView->document());
    word.setPosition(int(m_lastCorrection.position));
    word.setPosition(int(m_lastCorrection.position + m_lastCorrection.original.size()), QTextCursor::KeepAnchor);
    if (word.selectedText() == m_lastCorrection.original) {
        m_rejected.insert(m_lastCorrection.original);
        m_lastCorrection = {};
    }
}

bool TextTools::isWholeWordSelection(const QTextCursor &cursor) const
{
    const QString selected = cursor.selectedText();
    if (selected.isEmpty() || selected.contains(QChar::ParagraphSeparator) || !isWordCharacter(selected.front()) ||
        !isWordCharacter(selected.back()))
        return false;
    QTextDocument *document = cursor.document();
    const QChar before = cursor.selectionStart() > 0 ? document->characterAt(cursor.selectionStart() - 1) : QChar();
    const QChar after = document->characterAt(cursor.selectionEnd());
    return !isWordCharacter(before) && !isWordCharacter(after);
}

void TextTools::uppercaseWord(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_textView)
        CaseTransform::uppercaseWord(m_textView);
}

void TextTools::lowercaseWord(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_textView)
        CaseTransform::lowercaseWord(m_textView);
}

void TextTools::capitalizeWord(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_textView)
        CaseTransform::capitalizeWord(m_textView);
}
