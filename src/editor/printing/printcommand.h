#pragma once

#include "editor/commands/commandresponder.h"

#include <QObject>
#include <QPointer>

#include <functional>

class NoteMessages;
class QPlainTextEdit;

// Print… for the window that shows a note's text.
class PrintCommand : public QObject, public CommandTable<PrintCommand>
{
    Q_OBJECT

public:
    // name: the note's, for the dialog and each page's header; pointSize: the text's usual size, as zoom is for the
    // screen. messages outlive parent.
    PrintCommand(const QPlainTextEdit *textView, NoteMessages *messages, std::function<QString()> name, int pointSize,
                 QObject *parent);

protected:
    std::span<const Row> commandRows() const override;

private:
    QPointer<const QPlainTextEdit> m_textView;
    NoteMessages *m_messages;
    std::function<QString()> m_name;
    int m_pointSize;
};
