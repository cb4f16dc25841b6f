#include "shell/appmenus.h"

#include "editor/commands/editcommands.h"
#include "framework/document.h"
#include "shell/documentcontroller.h"
#include "editor/window/windowcontroller.h"
#include "shell/menubar.h"
#include "shell/openrecentmenu.h"

#include <QAction>
#include <QMenu>

AppMenus::AppMenus(DocumentController &documents, QObject *parent)
    : QObject(parent)
    , m_documents(documents)
{
    m_dispatcher.setWidgetResponders(&EditCommands::forWidget);
}

void AppMenus::install(CommandResponder *delegate)
{
    m_dispatcher.setDelegate(delegate);
    m_dispatcher.setDocumentController(&m_documents);
    connect(&m_dispatcher, &ActionDispatcher::menuWillOpen, this, &AppMenus::menuWillOpen);
    // Each note window carries its own copy of the one menu bar, also while its note is still read.
    const auto giveMenus = [this](WindowController *controller) {
        m_dispatcher.setWindowResponder(controller->window(), controller);
        if (controller->menuBar())
            return;
        auto *bar = new MenuBar(m_dispatcher, controller->window());
        bar->setWindowList([this] { return noteWindows(); });
        controller->setMenuBar(bar);
    };
    connect(&m_documents, &DocumentController::windowControllersMade, this, [giveMenus](Document *document) {
        const QList<WindowController *> controllers = WindowController::of(document);
        for (WindowController *controller : controllers)
            giveMenus(controller);
    });
    connect(&m_documents, &DocumentController::readingWindowMade, this, giveMenus);
}

void AppMenus::menuWillOpen(QMenu *menu)
{
    // Told by the role it was built for: its shown title is translated and carries a mnemonic.
    if (MenuBar::roleOf(menu) == MenuTable::Role::OpenRecent)
        OpenRecentMenu::rebuild(menu, m_documents.recentDocumentUrls(), m_dispatcher);
    const QList<QAction *> items = menu->actions();
    for (QAction *item : items) {
        if (ActionDispatcher::commandOf(item) != Command::ToggleSpellingWhileTyping)
            continue;
        item->setCheckable(true);
        item->setChecked(m_dispatcher.isChecked(Command::ToggleSpellingWhileTyping));
    }
}

QList<QWidget *> AppMenus::noteWindows() const
{
    // The order the notes were opened in: the Window menu keeps its items where the user last saw them.
    QList<QWidget *> windows;
    const QList<Document *> documents = m_documents.documents();
    for (const Document *document : documents) {
        const QList<WindowController *> controllers = WindowController::of(document);
        for (const WindowController *controller : controllers)
            windows.append(controller->window());
    }
    return windows;
}
