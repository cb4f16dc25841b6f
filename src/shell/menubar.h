#pragma once

#include "shell/menutable.h"

#include <QMenuBar>

#include <functional>

class ActionDispatcher;
class QMenu;

// One window's menu bar, built from the menu table. Each top-level window on Linux carries its own menu bar, so
// every editor window gets an instance of the same bar; all of them send their actions through one dispatcher.
class MenuBar : public QMenuBar
{
    Q_OBJECT

public:
    // The note windows the Window menu lists, in the order it lists them.
    using WindowList = std::function<QList<QWidget *>()>;

    explicit MenuBar(ActionDispatcher &dispatcher, QWidget *parent = nullptr);

    // By default every note window, in no particular order.
    void setWindowList(WindowList windows);

    // The menu with this title in the table, at any depth, or none.
    QMenu *findMenu(const QString &title) const;
    // The menu the app fills or watches for role, or none: found by what it is for, whatever its shown title.
    QMenu *menu(MenuTable::Role role) const;
    static MenuTable::Role roleOf(const QMenu *menu);

private:
    QMenu *buildMenu(const MenuTable::Menu &table, QWidget *parent);
    void updateWindowList(QMenu *menu);

    ActionDispatcher &m_dispatcher;
    WindowList m_windows;
};
