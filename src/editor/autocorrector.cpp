#include "editor/autocorrector.h"

#include "editor/spellchecker.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

// Typing one of these right after a word finishes the word.
bool finishesWord(const QString &typed)
{
    if (typed.size() != 1)
        return false;
    const QChar c = typed.front();
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t' || c == u'.' || c == u',' || c == u';' || c == u':' ||
           c == u'!' || c == u'?' || c == u')' || c == u'"';
}

} // namespace

AutoCorrector::AutoCorrector(QPlainTextEdit *textView, SpellChecker *spellChecker, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_spellChecker(spellChecker)
{
    textView->installEventFilter(this);
    connect(textView->document(), &QTextDocument::contentsChange, this, &AutoCorrector::trackCorrection);
}

AutoCorrector::~AutoCorrector() = default;

bool AutoCorrector::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_enabled || watched != m_textView || event->type() != QEvent::KeyPress || m_forwardingKey ||
        m_textView->isReadOnly() || !m_spellChecker || !m_spellChecker->hasDictionary())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (m_textView->textCursor().hasSelection() || !finishesWord(key->text()))
        return false;
    // Let the view type the character first, so the correction is an undo step of its own.
    m_forwardingKey = true;
    QCoreApplication::sendEvent(m_textView, event);
    m_forwardingKey = false;
    correctWordBeforeCaret();
    return true;
}

void AutoCorrector::correctWordBeforeCaret()
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
    const SpellChecker::Word word = SpellChecker::wordAt(text, end);
    if (!word.isValid() || word.position + word.length != end)
        return;
    const QString original = text.mid(word.position, word.length);
    const qsizetype position = block.position() + word.position;

    // The last correction is back to what was typed: the user undid it, so the word stays as typed from now on.
    if (m_lastCorrection.position >= 0) {
        if (lastCorrectionUndone())
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

bool AutoCorrector::lastCorrectionUndone() const
{
    QTextCursor word(m_textView->document());
    word.setPosition(int(m_lastCorrection.position));
    word.setPosition(int(m_lastCorrection.position + m_lastCorrection.original.size()), QTextCursor::KeepAnchor);
    return word.selectedText() == m_lastCorrection.original;
}

void AutoCorrector::trackCorrection(int position, int removed, int added)
{
    if (m_lastCorrection.position < 0 || !m_textView)
        return;
    if (position + removed <= m_lastCorrection.position) {
        m_lastCorrection.position += added - removed;
        return;
    }
    if (position >= m_lastCorrection.position + m_lastCorrection.replacement.size())
        return;
    // An edit of the corrected word: when it brings back what was typed (Undo, or typing it again), the user
    // wants it so.
    if (lastCorrectionUndone()) {
        m_rejected.insert(m_lastCorrection.original);
        m_lastCorrection = {};
    }
}
