#include "editor/view/undosteps.h"

#include "editor/view/notetextview.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextBlock>

namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

bool isLineBreak(const QKeyEvent *key)
{
    return key->matches(QKeySequence::InsertParagraphSeparator) || key->matches(QKeySequence::InsertLineSeparator);
}

// The text a key types into the view, as the view decides it; empty for keys that do not type.
QString typedText(const QKeyEvent *key)
{
    const QString text = key->text();
    if (text.isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) ||
        !(text.front().isPrint() || text.front() == u'\t'))
        return {};
    return text;
}

} // namespace

UndoSteps::UndoSteps(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(pauseMs);
    connect(&m_pause, &QTimer::timeout, this, [this] { m_paused = m_open; });
    connect(textView->document(), &QTextDocument::contentsChange, this, &UndoSteps::contentsChanged);
    // Any caret move that is not typing: arrows, selecting, Find, a command setting the selection.
    connect(textView, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!m_typing)
            endStep();
    });
    textView->installEventFilter(this);
    // A click where the caret already is moves nothing, yet starts anew for the user.
    textView->viewport()->installEventFilter(this);
}

UndoSteps::~UndoSteps() = default;

void UndoSteps::endStep()
{
    m_open = false;
    m_paused = false;
    m_pause.stop();
}

bool UndoSteps::eventFilter(QObject *watched, QEvent *event)
{
    // The event's type first: a view being destroyed still sends events, and must not be asked anything then.
    const QEvent::Type kind = event->type();
    if ((kind != QEvent::MouseButtonPress && kind != QEvent::KeyPress && kind != QEvent::InputMethod) || m_typing ||
        !m_textView)
        return false;
    if (kind == QEvent::MouseButtonPress) {
        if (watched == m_textView->viewport())
            endStep();
        return false;
    }
    if (watched != m_textView || m_textView->isReadOnly())
        return false;
    if (kind == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isLineBreak(key)) {
            type(QString(), true);
            return true;
        }
        return typeText(typedText(key));
    }
    // The input method keeps its composition in the view's layout: its text goes in the view's own way, as a
    // step of its own.
    if (!static_cast<QInputMethodEvent *>(event)->commitString().isEmpty())
        endStep();
    return false;
}

bool UndoSteps::typeText(const QString &typed)
{
    if (typed.isEmpty())
        return false;
    if (m_paused && !continuesWord(typed))
        endStep();
    type(typed, false);
    return true;
}

void UndoSteps::type(const QString &typed, bool lineBreak)
{
    // The text goes in through a cursor of our own: nothing may ask the view for a caret rectangle or a layout
    // while the block is open, as the layout follows the edit only once the block ends.
    QTextCursor cursor = m_textView->textCursor();
    {
        const QScopedValueRollback typing(m_typing, true);
        m_typed = false;
        if (m_open)
            cursor.joinPreviousEditBlock();
        else
            cursor.beginEditBlock();
        if (!lineBreak)
            cursor.insertText(typed);
        else if (auto *note = qobject_cast<NoteTextView *>(m_textView))
            note->insertLineBreak(cursor);
        else
            cursor.insertBlock();
        cursor.endEditBlock();
        m_textView->setTextCursor(cursor);
    }
    m_textView->ensureCursorVisible();
    if (lineBreak) {
        endStep();
    } else if (m_typed) {
        m_open = true;
        m_pause.start();
    }
}

bool UndoSteps::continuesWord(const QString &typed) const
{
    const QTextCursor caret = m_textView->textCursor();
    if (caret.hasSelection() || caret.positionInBlock() == 0 || !isWordCharacter(typed.front()))
        return false;
    return isWordCharacter(caret.block().text().at(caret.positionInBlock() - 1));
}

void UndoSteps::contentsChanged(int, int removed, int added)
{
    if (removed == 0 && added == 0)
        return;
    if (m_typing)
        m_typed = true;
    else
        endStep();
}
