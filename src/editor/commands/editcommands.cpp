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

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

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

// Runs edit on the three text widgets, which name their commands alike without sharing a base that has them; false
// for other widgets.
template<typename Edit> bool onText(QWidget *widget, Edit edit)
{
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        edit(field);
    else if (auto *view = qobject_cast<QPlainTextEdit *>(widget))
        edit(view);
    else if (auto *text = qobject_cast<QTextEdit *>(widget))
        edit(text);
    else
        return false;
    return true;
}

bool selectAllItems(QWidget *widget)
{
    if (auto *items = qobject_cast<QAbstractItemView *>(widget))
        items->selectAll();
    else if (auto *spinBox = qobject_cast<QAbstractSpinBox *>(widget))
        spinBox->selectAll();
    else
        return false;
    return true;
}

// Each editing command: when it can be carried out in a text widget, and what it does in Qt's own; none for the
// commands only the note's text view carries out, which share the rule.
struct Rule
{
    Command command;
    bool (*allowed)(const TextState &text);
    bool (*run)(QWidget *widget);
};

constexpr Rule rules[] = {
    {Command::Undo, [](const TextState &text) { return text.undo; },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->undo(); });
     }},
    {Command::Redo, [](const TextState &text) { return text.redo; },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->redo(); });
     }},
    {Command::Cut, [](const TextState &text) { return text.editable && text.selection; },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->cut(); });
     }},
    {Command::Copy, [](const TextState &text) { return text.selection; },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->copy(); });
     }},
    {Command::Paste, [](const TextState &text) { return text.editable && clipboardHasText(); },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->paste(); });
     }},
    {Command::SelectAll, [](const TextState &text) { return !text.empty; },
     [](QWidget *widget) {
         return onText(widget, [](auto *edit) { edit->selectAll(); }) || selectAllItems(widget);
     }},
    {Command::Delete, [](const TextState &text) { return text.editable && text.selection; }, nullptr},
    {Command::PasteAsPlainText, [](const TextState &text) { return text.editable && clipboardHasText(); }, nullptr},
};

const Rule *ruleOf(Command command)
{
    const auto found = std::find_if(std::begin(rules), std::end(rules),
                                    [command](const Rule &rule) { return rule.command == command; });
    return found == std::end(rules) ? nullptr : found;
}

bool isTextEditing(Command command)
{
    const Rule *rule = ruleOf(command);
    return rule && rule->run;
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
    const Rule *rule = ruleOf(command);
    return !text || !rule || rule->allowed(*text);
}

bool EditCommands::performIn(QWidget *widget, Command command)
{
    const Rule *rule = ruleOf(command);
    return rule && rule->run && rule->run(widget);
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
