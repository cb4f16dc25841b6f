#include "editor/undosteps.h"

#include <QCoreApplication>
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
    if (!m_textView || m_typing)
        return false;
    if (watched == m_textView->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            endStep();
        return false;
    }
    if (watched != m_textView || m_textView->isReadOnly())
        return false;
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isLineBreak(key)) {
            type(event, true);
            return true;
        }
        return typeText(event, typedText(key));
    }
    if (event->type() == QEvent::InputMethod)
        return typeText(event, static_cast<QInputMethodEvent *>(event)->commitString());
    return false;
}

bool UndoSteps::typeText(QEvent *event, const QString &typed)
{
    if (typed.isEmpty())
        return false;
    if (m_paused && !continuesWord(typed))
        endStep();
    type(event, false);
    return true;
}

void UndoSteps::type(QEvent *event, bool endsStep)
{
    QTextCursor block = m_textView->textCursor();
    {
        const QScopedValueRollback typing(m_typing, true);
        m_typed = false;
        if (m_open)
            block.joinPreviousEditBlock();
        else
            block.beginEditBlock();
        QCoreApplication::sendEvent(m_textView, event);
        block.endEditBlock();
    }
    // Layout follows the edit only once its block ends.
    m_textView->ensureCursorVisible();
    if (endsStep) {
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
