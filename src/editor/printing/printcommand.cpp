#include "editor/printing/printcommand.h"

#include "editor/printing/noteprinter.h"

#include <QPlainTextEdit>

PrintCommand::PrintCommand(const QPlainTextEdit *textView, NoteMessages *messages, std::function<QString()> name,
                           int pointSize, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_messages(messages)
    , m_name(std::move(name))
    , m_pointSize(pointSize)
{}

std::span<const PrintCommand::Row> PrintCommand::commandRows() const
{
    static constexpr Row rows[] = {
        {Command::Print, nullptr,
         [](PrintCommand &self, Command, const QVariant &) {
             if (self.m_textView)
                 NotePrinter::ask(*self.m_messages, self.m_textView, self.m_name(), self.m_pointSize);
         }},
    };
    return rows;
}
