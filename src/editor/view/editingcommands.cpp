#include "editor/view/editingcommands.h"

#include "editor/commands/editcommands.h"
#include "editor/view/casetransform.h"
#include "editor/view/notetextview.h"
#include "editor/view/smartediting.h"
#include "editor/view/undosteps.h"

#include <QPlainTextEdit>
#include <QPointer>

namespace {

using Self = EditingCommands;

// What the view allows now: a selection to cut, text on the clipboard, history to undo.
bool allowedInView(const QPlainTextEdit *view, Command command)
{
    return EditCommands::canPerformIn(view, command);
}

// While a big note loads, the command is held and done again once the whole note is there.
bool waitsForTheNote(QPlainTextEdit *view, Self &self, Command command, const QVariant &argument)
{
    return NoteTextView::heldUntilLoaded(view, [held = QPointer(&self), command, argument] {
        if (held)
            held->perform(command, argument);
    });
}

CaseTransform::Mapping mappingOf(Command command)
{
    if (command == Command::Uppercase)
        return CaseTransform::Mapping::Upper;
    return command == Command::Lowercase ? CaseTransform::Mapping::Lower : CaseTransform::Mapping::Capitalize;
}

} // namespace

EditingCommands::EditingCommands(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    // First, so that a correction made after a typed key is not part of the typing step.
    new UndoSteps(textView, this);
    m_smartEditing = new SmartEditing(textView, this);
}

EditingCommands::~EditingCommands() = default;

std::span<const EditingCommands::Row> EditingCommands::commandRows() const
{
    static constexpr auto allowed = [](const Self &self, Command command) {
        return allowedInView(self.m_textView, command);
    };
    // The view's own, as any text field has them; all but Copy wait for the whole note.
    static constexpr auto byView = [](Self &self, Command command, const QVariant &argument) {
        if (self.m_textView && (command == Command::Copy || !waitsForTheNote(self.m_textView, self, command, argument)))
            EditCommands::performIn(self.m_textView, command);
    };
    // Smart editing and case changes wait for the whole note first.
    static constexpr auto smartly = [](Self &self, Command command, const QVariant &argument) {
        if (waitsForTheNote(self.m_textView, self, command, argument))
            return;
        if (command == Command::Cut)
            self.m_smartEditing->cut();
        else if (command == Command::Delete)
            self.m_smartEditing->deleteSelection();
        else
            self.m_smartEditing->pasteClipboard();
    };
    static constexpr auto changeCase = [](Self &self, Command command, const QVariant &argument) {
        if (waitsForTheNote(self.m_textView, self, command, argument))
            return;
        if (self.m_textView)
            CaseTransform::apply(self.m_textView, mappingOf(command));
    };
    static constexpr Row rows[] = {
        {Command::Cut, allowed, smartly},
        {Command::Paste, allowed, smartly},
        {Command::PasteAsPlainText, allowed, smartly},
        {Command::Delete, allowed, smartly},
        {Command::Uppercase, nullptr, changeCase},
        {Command::Lowercase, nullptr, changeCase},
        {Command::Capitalize, nullptr, changeCase},
        {Command::Undo, allowed, byView},
        {Command::Redo, allowed, byView},
        {Command::Copy, allowed, byView},
        {Command::SelectAll, allowed, byView},
        {Command::JumpToSelection, nullptr,
         [](Self &self, Command, const QVariant &) {
             // centerCursor() centres the caret; for a selection that is its moving end, which the user last saw.
             if (self.m_textView)
                 self.m_textView->centerCursor();
         }},
    };
    return rows;
}
