#include "openrecentmenu.h"

#include "editor/commands/actiondispatcher.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>

void OpenRecentMenu::rebuild(QMenu *menu, const QList<QUrl> &recentUrls, ActionDispatcher &dispatcher)
{
    if (!menu)
        return;
    // The menu owns the items it made, and clear() deletes them.
    menu->clear();
    menu->setToolTipsVisible(true);
    for (const QUrl &url : recentUrls) {
        // The list is not compared with the disk: a file that is gone shows its error when chosen.
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
        QAction *item = menu->addAction(QFileInfo(path).fileName());
        item->setToolTip(path);
        item->setData(url);
        dispatcher.bind(item, Command::OpenRecent, ActionDispatcher::Target::Delegate);
    }
    if (menu->actions().isEmpty()) {
        menu->addAction(QCoreApplication::translate("OpenRecentMenu", "No Recent Documents"))->setEnabled(false);
        return;
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(QCoreApplication::translate("OpenRecentMenu", "Clear Menu"));
    dispatcher.bind(clear, Command::ClearRecent, ActionDispatcher::Target::DocumentController);
}
