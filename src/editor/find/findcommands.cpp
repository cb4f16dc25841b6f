#include "editor/find/findcommands.h"

#include "editor/find/findbar.h"

#include <QPlainTextEdit>

FindCommands::FindCommands(QPlainTextEdit *textView, FindBar *findBar, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_findBar(findBar)
{}

std::span<const FindCommands::Row> FindCommands::commandRows() const
{
    using Self = FindCommands;
    // Next and Previous need a search string.
    static constexpr auto searched = [](const Self &self, Command) {
        return self.m_findBar && !self.m_findBar->searchText().isEmpty();
    };
    // Each with the bar and its note still there.
    static constexpr auto withBar = [](Self &self, void (*run)(FindBar &, QPlainTextEdit &)) {
        if (self.m_findBar && self.m_textView)
            run(*self.m_findBar, *self.m_textView);
    };
    static constexpr Row rows[] = {
        {Command::Find, nullptr,
         [](Self &self, Command, const QVariant &) {
             withBar(self, [](FindBar &bar, QPlainTextEdit &) { bar.showFind(); });
         }},
        {Command::FindAndReplace, nullptr,
         [](Self &self, Command, const QVariant &) {
             withBar(self, [](FindBar &bar, QPlainTextEdit &) { bar.showReplace(); });
         }},
        {Command::FindNext, searched,
         [](Self &self, Command, const QVariant &) {
             withBar(self, [](FindBar &bar, QPlainTextEdit &) { bar.findNext(); });
         }},
        {Command::FindPrevious, searched,
         [](Self &self, Command, const QVariant &) {
             withBar(self, [](FindBar &bar, QPlainTextEdit &) { bar.findPrevious(); });
         }},
        {Command::UseSelectionForFind, nullptr,
         [](Self &self, Command, const QVariant &) {
             withBar(self, [](FindBar &bar, QPlainTextEdit &view) {
                 if (const QString selected = view.textCursor().selectedText(); !selected.isEmpty())
                     bar.setSearchText(selected);
             });
         }},
    };
    return rows;
}
