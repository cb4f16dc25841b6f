#include "editor/view/smartediting.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

bool isOneLine(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar::Null)
            return false;
    }
    return true;
}

} // namespace

SmartEditing::SmartEditing(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    textView->installEventFilter(this);
}

SmartEditing::~SmartEditing() = default;

void SmartEditing::deleteSelection()
{
    if (!m_textView || m_textView->isReadOnly())
        return;
    QTextCursor cursor = m_textView->textCursor();
    if (!cursor.hasSelection())
        return;
    if (isWholeWordSelection(cursor)) {
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

void SmartEditing::cut()
{
    if (!m_textView || m_textView->isReadOnly() || !m_textView->textCursor().hasSelection())
        return;
    m_textView->copy();
    deleteSelection();
}

bool SmartEditing::paste(const QString &text)
{
    if (!m_textView || m_textView->isReadOnly() || text.isEmpty() || !isWordCharacter(text.front()) ||
        !isWordCharacter(text.back()) || !isOneLine(text))
        return false;
    QTextCursor cursor = m_textView->textCursor();
    QString inserted = text;
    const QTextBlock block = m_textView->document()->findBlock(cursor.selectionStart());
    const QString blockText = block.text();
    const qsizetype startInBlock = cursor.selectionStart() - block.position();
    const qsizetype endInBlock = cursor.selectionEnd() - block.position();
    if (startInBlock > 0 && isWordCharacter(blockText.at(startInBlock - 1)))
        inserted.prepend(u' ');
    if (endInBlock < blockText.size() && isWordCharacter(blockText.at(endInBlock)))
        inserted.append(u' ');
    // An edit block of its own: a bare insert would merge with the typing before it into one undo step.
    cursor.beginEditBlock();
    cursor.insertText(inserted);
    cursor.endEditBlock();
    m_textView->setTextCursor(cursor);
    m_textView->ensureCursorVisible();
    return true;
}

void SmartEditing::pasteClipboard()
{
    if (m_textView && !paste(QApplication::clipboard()->text()))
        m_textView->paste();
}

bool SmartEditing::eventFilter(QObject *watched, QEvent *event)
{
    // The event's type first: a view being destroyed still sends events, and must not be looked at then.
    if (event->type() != QEvent::KeyPress || watched != m_textView || m_textView->isReadOnly())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool hasSelection = m_textView->textCursor().hasSelection();
    if (hasSelection && (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        deleteSelection();
        return true;
    }
    // A key that types a character is neither Cut nor Paste, and the platform's list of their keys is made anew
    // at each asking.
    if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !key->text().isEmpty() &&
        key->text().front().isPrint())
        return false;
    if (key->matches(QKeySequence::Cut) && hasSelection) {
        cut();
        return true;
    }
    return key->matches(QKeySequence::Paste) && paste(QApplication::clipboard()->text());
}

bool SmartEditing::isWholeWordSelection(const QTextCursor &cursor) const
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
