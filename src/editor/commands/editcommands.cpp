#include "editor/commands/editcommands.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

#include <optional>

namespace {

bool isTextEditing(Command command)
{
    switch (command) {
    case Command::Undo:
    case Command::Redo:
    case Command::Cut:
    case Command::Copy:
    case Command::Paste:
    case Command::SelectAll:
        return true;
    default:
        return false;
    }
}

bool clipboardHasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

struct TextState
{
    bool editable = false;
    bool selection = false;
    bool undo = false;
    bool redo = false;
    bool empty = true;
};

std::optional<TextState> textStateOf(const QWidget *widget)
{
    if (const auto *view = qobject_cast<const QPlainTextEdit *>(widget)) {
        const QTextDocument *document = view->document();
        return TextState{!view->isReadOnly(), view->textCursor().hasSelection(), document->isUndoAvailable(),
                         document->isRedoAvailable(), document->isEmpty()};
    }
    if (const auto *field = qobject_cast<const QLineEdit *>(widget)) {
        return TextState{!field->isReadOnly(), field->hasSelectedText(), field->isUndoAvailable(),
                         field->isRedoAvailable(), field->text().isEmpty()};
    }
    return std::nullopt;
}

// The same commands on the three text widgets, which name them alike without sharing a base that has them.
template<typename Edit> void performOnText(Edit *edit, Command command)
{
    switch (command) {
    case Command::Undo:
        edit->undo();
        break;
    case Command::Redo:
        edit->redo();
        break;
    case Command::Cut:
        edit->cut();
        break;
    case Command::Copy:
        edit->copy();
        break;
    case Command::Paste:
        edit->paste();
        break;
    case Command::SelectAll:
        edit->selectAll();
        break;
    default:
        break;
    }
}

bool selectsAllOnly(const QWidget *widget)
{
    return qobject_cast<const QAbstractItemView *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget);
}

bool isTextWidget(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget) ||
           qobject_cast<const QTextEdit *>(widget);
}

} // namespace

EditCommands::EditCommands(QWidget *widget)
    : m_widget(widget)
{}

std::unique_ptr<EditCommands> EditCommands::forWidget(QWidget *widget)
{
    if (!isTextWidget(widget) && !selectsAllOnly(widget))
        return nullptr;
    return std::unique_ptr<EditCommands>(new EditCommands(widget));
}

bool EditCommands::canPerformIn(const QWidget *widget, Command command)
{
    const std::optional<TextState> text = textStateOf(widget);
    if (!text)
        return true;
    switch (command) {
    case Command::Cut:
    case Command::Delete:
        return text->editable && text->selection;
    case Command::Copy:
        return text->selection;
    case Command::Paste:
    case Command::PasteAsPlainText:
        return text->editable && clipboardHasText();
    case Command::Undo:
        return text->undo;
    case Command::Redo:
        return text->redo;
    case Command::SelectAll:
        return !text->empty;
    default:
        return true;
    }
}

bool EditCommands::performIn(QWidget *widget, Command command)
{
    if (!isTextEditing(command))
        return false;
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        performOnText(field, command);
    else if (auto *view = qobject_cast<QPlainTextEdit *>(widget))
        performOnText(view, command);
    else if (auto *edit = qobject_cast<QTextEdit *>(widget))
        performOnText(edit, command);
    else if (auto *items = qobject_cast<QAbstractItemView *>(widget); items && command == Command::SelectAll)
        items->selectAll();
    else if (auto *spinBox = qobject_cast<QAbstractSpinBox *>(widget); spinBox && command == Command::SelectAll)
        spinBox->selectAll();
    else
        return false;
    return true;
}

bool EditCommands::answers(Command command) const
{
    // A field with nothing of its own to undo or redo lets the command go on to the text it serves (the note
    // under the find bar).
    if (const auto *field = qobject_cast<const QLineEdit *>(m_widget)) {
        if (command == Command::Undo)
            return field->isUndoAvailable();
        if (command == Command::Redo)
            return field->isRedoAvailable();
    }
    if (isTextWidget(m_widget))
        return isTextEditing(command);
    return command == Command::SelectAll;
}

bool EditCommands::canPerform(Command command) const
{
    return canPerformIn(m_widget, command);
}

void EditCommands::perform(Command command, const QVariant &)
{
    performIn(m_widget, command);
}
