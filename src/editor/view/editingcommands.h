#pragma once

#include "editor/commands/commandresponder.h"

#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class SmartEditing;

// The Edit and Transformations menus for one note's text view: smart cut, paste and delete, case changes, and the
// view's own Undo, Redo, Copy and Select All, also for the window while the focus is in its find bar (a Replace All
// undone from there). Undo steps are kept here too, so they are in place before any tool that edits the text.
class EditingCommands : public QObject, public CommandTable<EditingCommands>
{
    Q_OBJECT

public:
    EditingCommands(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~EditingCommands() override;

protected:
    std::span<const Row> commandRows() const override;

private:
    QPointer<QPlainTextEdit> m_textView;
    SmartEditing *m_smartEditing = nullptr;
};
