#include "menubar.h"

#include "framework/actiondispatcher.h"
#include "framework/windowcontroller.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidget>

namespace {

constexpr char windowListProperty[] = "noltnoltWindowListItem";

// The windows the Window menu lists: the open document windows, shown or minimised.
QList<QWidget *> listedWindows()
{
    QList<QWidget *> windows;
    const QList<QWidget *> topLevels = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevels) {
        if (!widget->isHidden() && WindowController::forWindow(widget))
            windows.append(widget);
    }
    return windows;
}

QString plainTitle(const QWidget *window)
{
    QString title = window->windowTitle();
    // "[*]" marks where the edited indicator goes; the list shows the name alone.
    title.remove(QStringLiteral("[*]"));
    return title.trimmed();
}

} // namespace

MenuBar::MenuBar(ActionDispatcher &dispatcher, QWidget *parent)
    : QMenuBar(parent)
    , m_dispatcher(dispatcher)
{
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        addMenu(buildMenu(menu, this));
}

QMenu *MenuBar::findMenu(const QString &title) const
{
    const QList<QMenu *> menus = findChildren<QMenu *>();
    for (QMenu *menu : menus) {
        if (menu->title() == title)
            return menu;
    }
    return nullptr;
}

QMenu *MenuBar::buildMenu(const MenuTable::Menu &table, QWidget *parent)
{
    auto *menu = new QMenu(QString::fromUtf8(table.title), parent);
    for (const MenuTable::Item &row : table.items) {
        switch (row.kind) {
        case MenuTable::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuTable::Kind::Submenu:
            menu->addMenu(buildMenu(*row.submenu, menu));
            break;
        case MenuTable::Kind::Item: {
            QAction *item = menu->addAction(MenuTable::title(row));
            item->setShortcut(MenuTable::shortcut(row));
            item->setProperty("tag", row.tag);
            m_dispatcher.bind(item, row.action, row.target);
            break;
        }
        }
    }
    if (table.role == MenuTable::Role::Services)
        menu->menuAction()->setEnabled(false);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, role = table.role] {
        if (role == MenuTable::Role::Windows)
            updateWindowList(menu);
        m_dispatcher.menuAboutToShow(menu);
    });
    return menu;
}

void MenuBar::updateWindowList(QMenu *menu)
{
    const QList<QAction *> old = menu->actions();
    for (QAction *item : old) {
        if (item->property(windowListProperty).toBool()) {
            menu->removeAction(item);
            item->deleteLater();
        }
    }
    const QList<QWidget *> windows = listedWindows();
    if (windows.isEmpty())
        return;
    QAction *separator = menu->addSeparator();
    separator->setProperty(windowListProperty, true);
    QWidget *active = QApplication::activeWindow();
    for (QWidget *window : windows) {
        QAction *item = menu->addAction(plainTitle(window));
        item->setProperty(windowListProperty, true);
        item->setCheckable(true);
        item->setChecked(window == active);
        connect(item, &QAction::triggered, window, [window] {
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}
