#pragma once

#include "editor/commands/command.h"

#include <QVariant>

#include <span>

class Error;

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
    // Shows a failure of a command given in this responder's window; false leaves it to the app.
    virtual bool presentFailure(const Error &error)
    {
        Q_UNUSED(error);
        return false;
    }
};

// A responder whose commands are the rows of one table, so that each is stated once with when it can be carried out
// and what it does. Owner derives from CommandTable<Owner> and returns its rows from commandRows().
template<typename Owner> class CommandTable : public CommandResponder
{
public:
    struct Row
    {
        Command command;
        // None: always.
        bool (*enabled)(const Owner &owner, Command command);
        void (*run)(Owner &owner, Command command, const QVariant &argument);
        // None: no check mark.
        bool (*checked)(const Owner &owner) = nullptr;
    };

    bool answers(Command command) const override { return rowOf(command); }
    bool canPerform(Command command) const override
    {
        const Row *row = rowOf(command);
        return row && (!row->enabled || row->enabled(owner(), command));
    }
    bool isChecked(Command command) const override
    {
        const Row *row = rowOf(command);
        return row && row->checked && row->checked(owner());
    }
    void perform(Command command, const QVariant &argument) override
    {
        if (const Row *row = rowOf(command))
            row->run(static_cast<Owner &>(*this), command, argument);
    }

protected:
    virtual std::span<const Row> commandRows() const = 0;

private:
    const Owner &owner() const { return static_cast<const Owner &>(*this); }
    const Row *rowOf(Command command) const
    {
        for (const Row &row : commandRows()) {
            if (row.command == command)
                return &row;
        }
        return nullptr;
    }
};
