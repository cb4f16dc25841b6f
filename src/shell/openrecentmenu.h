#pragma once

#include <QList>
#include <QUrl>

class ActionDispatcher;
class QAction;
class QMenu;

// Fills the Open Recent menu each time it opens: one item per recent file (title the file name, tool tip the
// full path, sending Open Recent with the file to the application delegate), then a separator and "Clear Menu"
// for the document controller; or the single disabled item "No Recent Documents".
class OpenRecentMenu
{
public:
    static void rebuild(QMenu *menu, const QList<QUrl> &recentUrls, ActionDispatcher &dispatcher);
};
