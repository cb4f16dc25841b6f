#pragma once

#include "editor/commands/actiondispatcher.h"
#include "editor/commands/command.h"

#include <QKeySequence>
#include <QString>

#include <span>

// The whole menu bar as constant data: every title, command, key, modifier mask and target, in menu order.
// The builder (MenuBar) and the tests read the same rows.
class MenuTable
{
public:
    // The modifier masks of the menu rows; Command is Ctrl and Option is Alt here.
    static constexpr quint32 command = 0x100000;
    static constexpr quint32 option = 0x80000;
    static constexpr quint32 shift = 0x20000;

    enum class Kind
    {
        Item,
        Separator,
        Submenu
    };
    // Menus the app fills or watches itself.
    enum class Role
    {
        None,
        Services,
        OpenRecent,
        Windows,
        Help
    };

    struct Menu;

    struct Item
    {
        Kind kind = Kind::Item;
        const char *title = "";
        Command command = Command::None;
        const char *key = "";
        quint32 modifiers = 0;
        ActionDispatcher::Target target = ActionDispatcher::Target::Chain;
        const Menu *submenu = nullptr;
    };

    struct Menu
    {
        const char *title;
        Role role;
        std::span<const Item> items;
    };

    // The top-level menus, left to right.
    static std::span<const Menu> mainMenu();
    // The title of the item that shows the note in the file manager: the platform's file manager by name.
    static QString revealTitle();

    // Whether the menus show item here: rows for a desktop service this platform lacks are left out.
    static bool isOffered(const Item &item);

    static QString title(const Item &item);
    // A table title as the user's language says it (context "MenuTable").
    static QString translatedTitle(const char *title);
    // The key equivalent as a shortcut: a capital letter implies Shift; a shifted symbol stays as typed.
    static QKeySequence shortcut(const Item &item);
};
