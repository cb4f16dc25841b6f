#pragma once

#include "editor/commands/command.h"

#include <QVariant>

// Something on the focus chain that carries out menu commands. The dispatcher asks each responder in turn whether it
// answers a command; the first that does decides whether the item is enabled and carries the command out.
class CommandResponder
{
public:
    virtual ~CommandResponder() = default;

    // Whether command is this responder's: the chain stops here, enabled or not.
    virtual bool answers(Command command) const = 0;
    // Whether it can be carried out now (a selection to cut, text to paste).
    virtual bool canPerform(Command command) const
    {
        Q_UNUSED(command);
        return true;
    }
    // Whether a command that is switched on and off is on now (its menu item's check mark).
    virtual bool isChecked(Command command) const
    {
        Q_UNUSED(command);
        return false;
    }
    // argument: what the menu item carries, such as the file of an Open Recent item.
    virtual void perform(Command command, const QVariant &argument) = 0;
};
