#pragma once

#include "editor/commands/commandresponder.h"

#include <memory>

class QWidget;

// The editing commands (Undo, Redo, Cut, Copy, Paste, Select All) for Qt's own editing widgets, such as the find
// bar's fields, and the rule of when each can be carried out, which the note's text view and its tools share.
class EditCommands : public CommandResponder
{
public:
    // A responder for widget when it is one of Qt's editing widgets, else none.
    static std::unique_ptr<EditCommands> forWidget(QWidget *widget);
    // Whether an editing command can be carried out in widget now: Cut and Delete need a selection that may be
    // removed, Copy a selection, Paste text on the clipboard, Undo and Redo history, Select All text. True for
    // other commands and other widgets.
    static bool canPerformIn(const QWidget *widget, Command command);
    // Carries out Undo, Redo, Cut, Copy, Paste or Select All in a Qt editing widget; false for anything else.
    static bool performIn(QWidget *widget, Command command);

    bool answers(Command command) const override;
    bool canPerform(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

private:
    explicit EditCommands(QWidget *widget);

    QWidget *m_widget;
};
