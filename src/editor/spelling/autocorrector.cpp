#include "editor/spelling/autocorrector.h"

#include "editor/spelling/correctionmark.h"
#include "editor/spelling/spellchecker.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

// Corrections remembered for "Change Back"; older ones are forgotten.
constexpr qsizetype maxCorrections = 32;

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
    , m_mark(new CorrectionMark(textView, this))
{
    textView->installEventFilter(this);
    connect(textView->document(), &QTextDocument::contentsChange, this, &AutoCorrector::trackCorrections);
}

AutoCorrector::~AutoCorrector() = default;

bool AutoCorrector::eventFilter(QObject *watched, QEvent *event)
{
    // The event's type first: a view being destroyed still sends events, and must not be looked at then.
    if (event->type() != QEvent::KeyPress || !isEnabled() || watched != m_textView || m_forwardingKey ||
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
    if (m_rejected.contains(original))
        return;
    const QString replacement = m_spellChecker->correctionFor(original);
    if (replacement.isEmpty())
        return;
    // Which language the user writes here, the words around tell: the paragraph, and the one before it too.
    const QTextBlock previous = block.previous();
    const QString before = previous.isValid() ? previous.text() + u'\n' : QString();
    if (m_spellChecker->isOtherLanguageAround(before + text, {before.size() + word.position, word.length}))
        return;
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(int(position));
    cursor.setPosition(int(position + original.size()), QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.insertText(replacement);
    cursor.endEditBlock();
    m_corrections.append({position, original, replacement});
    if (m_corrections.size() > maxCorrections)
        m_corrections.removeFirst();
    m_mark->show(position, replacement.size());
}

QString AutoCorrector::textAt(qsizetype position, qsizetype length) const
{
    QTextCursor word(m_textView->document());
    word.setPosition(int(position));
    word.setPosition(int(position + length), QTextCursor::KeepAnchor);
    return word.selectedText();
}

void AutoCorrector::extendContextMenu(QMenu *menu, const QPoint &viewportPosition)
{
    if (!m_textView || !menu)
        return;
    const qsizetype at = m_textView->cursorForPosition(viewportPosition).position();
    for (const Correction &correction : std::as_const(m_corrections)) {
        if (at < correction.position || at > correction.position + correction.replacement.size() ||
            textAt(correction.position, correction.replacement.size()) != correction.replacement)
            continue;
        auto *changeBack = new QAction(tr("Change Back to “%1”").arg(correction.original), menu);
        connect(changeBack, &QAction::triggered, this, [this, correction] { this->changeBack(correction); });
        auto *separator = new QAction(menu);
        separator->setSeparator(true);
        QAction *first = menu->actions().value(0);
        menu->insertActions(first, first ? QList<QAction *>{changeBack, separator} : QList<QAction *>{changeBack});
        return;
    }
}

void AutoCorrector::changeBack(const Correction &correction)
{
    if (!m_textView || m_textView->isReadOnly() ||
        textAt(correction.position, correction.replacement.size()) != correction.replacement)
        return;
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(int(correction.position));
    cursor.setPosition(int(correction.position + correction.replacement.size()), QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.insertText(correction.original);
    cursor.endEditBlock();
    m_textView->setTextCursor(cursor);
}

void AutoCorrector::trackCorrections(int position, int removed, int added)
{
    if (!m_textView)
        return;
    for (qsizetype i = m_corrections.size() - 1; i >= 0; --i) {
        Correction &correction = m_corrections[i];
        if (position + removed <= correction.position) {
            correction.position += added - removed;
            continue;
        }
        if (position >= correction.position + correction.replacement.size())
            continue;
        // An edit of the corrected word: when it brings back what was typed (Undo, Change Back, or typing it
        // again), the user wants it so.
        if (textAt(correction.position, correction.original.size()) != correction.original)
            continue;
        m_rejected.insert(correction.original);
        m_corrections.removeAt(i);
        m_mark->hide();
    }
}
