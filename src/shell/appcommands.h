#pragma once

#include "editor/commands/commandresponder.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class AppDelegate;
class Quitting;
class UpdatePrompt;

// The menu commands that belong to no window: about, updates, hiding and showing the windows, quitting, new notes,
// opening, recent files, the file manager, help and the website. The last responder on the focus chain.
class AppCommands : public CommandTable<AppCommands>
{
public:
    // Asks for files to open; empty when the user cancels.
    using OpenPanel = std::function<QList<QUrl>()>;

    AppCommands(AppDelegate &delegate, Quitting &quitting);
    ~AppCommands() override;

    void setOpenPanel(OpenPanel panel);
    // The Open panel's choices: plain text of every kind the system knows (the first), and all files.
    static QStringList openFilters();
    // Updates are looked for from launch on.
    void startUpdateChecks();

protected:
    std::span<const Row> commandRows() const override;

private:
    void showAbout() const;
    void openDocument();
    void revealDocument() const;

    AppDelegate &m_delegate;
    Quitting &m_quitting;
    OpenPanel m_openPanel;
    std::unique_ptr<UpdatePrompt> m_updater;
};
