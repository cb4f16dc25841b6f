#include "editor/find/findcommands.h"

#include "editor/find/findbar.h"

#include <QPlainTextEdit>

FindCommands::FindCommands(QPlainTextEdit *textView, FindBar *findBar, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_findBar(findBar)
{}

FindBar *FindCommands::bar() const
{
    return m_textView ? m_findBar.data() : nullptr;
}

std::span<const FindCommands::Row> FindCommands::commandRows() const
{
    using Self = FindCommands;
    // Next and Previous need a search string.
    static constexpr auto searched = [](const Self &self, Command) {
        return self.m_findBar && !self.m_findBar->searchText().isEmpty();
    };
    static constexpr Row rows[] = {
        {Command::Find, nullptr,
         [](Self &self, Command, const QVariant &) {
             if (FindBar *bar = self.bar())
                 bar->showFind();
         }},
        {Command::FindAndReplace, nullptr,
         [](Self &self, Command, const QVariant &) {
             if (FindBar *bar = self.bar())
                 bar->showReplace();
         }},
        {Command::FindNext, searched,
         [](Self &self, Command, const QVariant &) {
             if (FindBar *bar = self.bar())
                 bar->findNext();
         }},
        {Command::FindPrevious, searched,
         [](Self &self, Command, const QVariant &) {
             if (FindBar *bar = self.bar())
                 bar->findPrevious();
         }},
        {Command::UseSelectionForFind, nullptr,
         [](Self &self, Command, const QVariant &) {
             FindBar *bar = self.bar();
             if (const QString selected = bar ? self.m_textView->textCursor().selectedText() : QString();
                 !selected.isEmpty())
                 bar->setSearchText(selected);
         }},
    };
    return rows;
}
