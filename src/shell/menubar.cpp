#include "menubar.h"

#include "editor/commands/actiondispatcher.h"
#include "editor/window/windowcontroller.h"
#include "shell/menustate.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>
#include <QShortcut>
#include <QWidget>

namespace {

constexpr char windowListProperty[] = "noltnoltWindowListItem";
constexpr char tableTitleProperty[] = "noltnoltTableTitle";
constexpr char roleProperty[] = "noltnoltMenuRole";

// Object names of the menus the app fills or watches, for tools and tests that look a menu up by what it is for.
QString objectNameFor(MenuTable::Role role)
{
    switch (role) {
    case MenuTable::Role::None:
        break;
    case MenuTable::Role::Services:
        return QStringLiteral("servicesMenu");
    case MenuTable::Role::OpenRecent:
        return QStringLiteral("openRecentMenu");
    case MenuTable::Role::Windows:
        return QStringLiteral("windowMenu");
    case MenuTable::Role::Help:
        return QStringLiteral("helpMenu");
    }
    return {};
}

// Marks one letter of each title as its mnemonic, as Linux menus do. A translation may choose its own with "&" (its
// translator knows which of its words start alike); every other title gets the first letter of a word not yet taken
// in the same menu, else any free letter. The table keeps its titles; only the shown text gets the "&".
class Mnemonics
{
public:
    // Called for every title of the menu before any is marked, so that no earlier title takes a chosen letter.
    void reserve(const QString &title)
    {
        if (const qsizetype chosen = chosenAt(title); chosen >= 0)
            m_taken.append(title.at(chosen + 1).toLower());
    }

    QString mark(const QString &title)
    {
        if (chosenAt(title) >= 0)
            return title;
        QString shown = title;
        shown.replace(u'&', QStringLiteral("&&"));
        qsizetype chosen = -1;
        for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
            for (qsizetype i = 0; i < shown.size() && chosen < 0; ++i) {
                const bool wordStart = i == 0 || shown.at(i - 1).isSpace();
                if (shown.at(i).isLetterOrNumber() && (wordStart || pass == 1) &&
                    !m_taken.contains(shown.at(i).toLower()))
                    chosen = i;
            }
        }
        if (chosen < 0)
            return shown;
        m_taken.append(shown.at(chosen).toLower());
        return shown.insert(chosen, u'&');
    }

private:
    // Where a translation marked its letter; "&&" is an ampersand, and "& " is one standing between words.
    static qsizetype chosenAt(const QString &title)
    {
        for (qsizetype i = 0; i + 1 < title.size(); ++i) {
            if (title.at(i) != u'&')
                continue;
            if (title.at(i + 1).isLetterOrNumber())
                return i;
            if (title.at(i + 1) == u'&')
                ++i;
        }
        return -1;
    }

    QList<QChar> m_taken;
};

QList<QWidget *> allNoteWindows()
{
    QList<QWidget *> windows;
    const QList<QWidget *> topLevels = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevels) {
        if (WindowController::forWindow(widget))
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
    , m_windows(allNoteWindows)
{
    MenuState::install(dispatcher);
    Mnemonics topLevel;
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        topLevel.reserve(MenuTable::translatedTitle(menu.title));
    for (const MenuTable::Menu &menu : MenuTable::mainMenu()) {
        QMenu *built = buildMenu(menu, this);
        built->setTitle(topLevel.mark(MenuTable::translatedTitle(menu.title)));
        addMenu(built);
    }
    // F10 opens the first menu, as in every Linux desktop's apps.
    auto *openFirst = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openFirst, &QShortcut::activated, this, [this] {
        if (!actions().isEmpty())
            setActiveAction(actions().constFirst());
    });
}

void MenuBar::setWindowList(WindowList windows)
{
    m_windows = std::move(windows);
}

QMenu *MenuBar::findMenu(const QString &title) const
{
    const QList<QMenu *> menus = findChildren<QMenu *>();
    for (QMenu *menu : menus) {
        if (menu->property(tableTitleProperty).toString() == title)
            return menu;
    }
    return nullptr;
}

QMenu *MenuBar::menu(MenuTable::Role role) const
{
    return role == MenuTable::Role::None ? nullptr : findChild<QMenu *>(objectNameFor(role));
}

MenuTable::Role MenuBar::roleOf(const QMenu *menu)
{
    const QVariant role = menu ? menu->property(roleProperty) : QVariant();
    return role.isValid() ? static_cast<MenuTable::Role>(role.toInt()) : MenuTable::Role::None;
}

QMenu *MenuBar::buildMenu(const MenuTable::Menu &table, QWidget *parent)
{
    Mnemonics mnemonics;
    for (const MenuTable::Item &row : table.items) {
        if (MenuTable::isOffered(row))
            mnemonics.reserve(MenuTable::translatedTitle(row.title));
    }
    auto *menu = new QMenu(MenuTable::translatedTitle(table.title), parent);
    menu->setProperty(tableTitleProperty, QString::fromUtf8(table.title));
    menu->setProperty(roleProperty, static_cast<int>(table.role));
    menu->setObjectName(objectNameFor(table.role));
    for (const MenuTable::Item &row : table.items) {
        if (!MenuTable::isOffered(row))
            continue;
        switch (row.kind) {
        case MenuTable::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuTable::Kind::Submenu: {
            QMenu *submenu = buildMenu(*row.submenu, menu);
            submenu->setTitle(mnemonics.mark(MenuTable::translatedTitle(row.title)));
            menu->addMenu(submenu);
            break;
        }
        case MenuTable::Kind::Item: {
            QAction *item = menu->addAction(mnemonics.mark(MenuTable::translatedTitle(row.title)));
            item->setProperty(tableTitleProperty, MenuTable::title(row));
            QList<QKeySequence> shortcuts{MenuTable::shortcut(row)};
            // Help answers F1 as well, as on every Linux desktop.
            if (row.command == Command::Help)
                shortcuts.append(QKeySequence(Qt::Key_F1));
            item->setShortcuts(shortcuts);
            m_dispatcher.bind(item, row.command, row.target);
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
    // Shown or minimised, not those on their way out.
    QList<QWidget *> windows = m_windows();
    windows.removeIf([](const QWidget *window) { return window->isHidden(); });
    if (windows.isEmpty())
        return;
    QAction *separator = menu->addSeparator();
    separator->setProperty(windowListProperty, true);
    QWidget *active = QApplication::activeWindow();
    for (QWidget *window : windows) {
        QAction *item = menu->addAction(plainTitle(window));
        item->setProperty(windowListProperty, true);
        // Only the active window carries a mark; a checkable item would show an empty box beside every other.
        item->setCheckable(window == active);
        item->setChecked(window == active);
        connect(item, &QAction::triggered, window, [window] {
            if (window->isMinimized())
                window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}
