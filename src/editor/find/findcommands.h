#pragma once

#include "editor/commands/commandresponder.h"

#include <QObject>
#include <QPointer>

class FindBar;
class QPlainTextEdit;

// The Find menu for one note: shows its find bar, steps through the matches, searches for the selection.
class FindCommands : public QObject, public CommandTable<FindCommands>
{
    Q_OBJECT

public:
    FindCommands(QPlainTextEdit *textView, FindBar *findBar, QObject *parent = nullptr);

protected:
    std::span<const Row> commandRows() const override;

private:
    // The bar, while it and its note are there.
    FindBar *bar() const;

    QPointer<QPlainTextEdit> m_textView;
    QPointer<FindBar> m_findBar;
};
