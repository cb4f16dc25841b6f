#include "menutable.h"

#include <QCoreApplication>

namespace {

// Titles are marked for translation where they stand; the table keeps the English text, the menus show the
// translation.

using Kind = MenuTable::Kind;
using Item = MenuTable::Item;
using Menu = MenuTable::Menu;
using Role = MenuTable::Role;
using Target = ActionDispatcher::Target;

constexpr quint32 command = MenuTable::command;
constexpr quint32 commandOption = MenuTable::command | MenuTable::option;
constexpr quint32 commandOptionShift = MenuTable::command | MenuTable::option | MenuTable::shift;

// The one title that names the platform's file manager.
#if defined(Q_OS_MACOS)
constexpr char revealDocumentTitle[] = QT_TRANSLATE_NOOP("MenuTable", "Show in Finder");
#else
constexpr char revealDocumentTitle[] = QT_TRANSLATE_NOOP("MenuTable", "Show in File Manager");
#endif

constexpr Item separator{Kind::Separator};

// The platform fills Services; on Linux it stays empty.
constexpr Menu servicesMenu{QT_TRANSLATE_NOOP("MenuTable", "Services"), Role::Services, {}};

constexpr Item applicationItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "About Nolt Nolt"), "orderFrontStandardAboutPanel:"},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Services"), "", "", 0, 0, Target::Chain, &servicesMenu},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check for Updates\u2026"), "checkForUpdates:", "", 0, 0,
     Target::Delegate},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Hide Others"), "hideOtherApplications:", "h", commandOption},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Hide Nolt Nolt"), "hide:", "h", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Show All"), "unhideAllApplications:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Quit Nolt Nolt"), "terminate:", "q", command},
};

// Filled each time it opens, from the recent list.
constexpr Menu openRecentMenu{QT_TRANSLATE_NOOP("MenuTable", "Open Recent"), Role::OpenRecent, {}};

constexpr Item fileItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "New"), "newDocument:", "n", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Open\u2026"), "openDocument:", "o", command},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Open Recent"), "", "", 0, 0, Target::Chain, &openRecentMenu},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Save"), "saveDocument:", "s", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Rename\u2026"), "renameDocument:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Move To\u2026"), "moveDocument:"},
    {Kind::Item, revealDocumentTitle, "revealDocument:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Close"), "performClose:", "w", command},
};

constexpr Item findItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find\u2026"), "performFindPanelAction:", "f", command, 1},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find and Replace\u2026"), "performFindPanelAction:", "f",
     commandOption, 12},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find Next"), "performFindPanelAction:", "g", command, 2},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find Previous"), "performFindPanelAction:", "G", command, 3},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Use Selection for Find"), "performFindPanelAction:", "e", command, 7},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Jump to Selection"), "centerSelectionInVisibleArea:", "j", command, 0},
};
constexpr Menu findMenu{QT_TRANSLATE_NOOP("MenuTable", "Find"), Role::None, findItems};

constexpr Item spellingItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Show Spelling and Grammar"), "showGuessPanel:", ":", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check Document Now"), "checkSpelling:", ";", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check Spelling While Typing"), "toggleContinuousSpellChecking:"},
};
constexpr Menu spellingMenu{QT_TRANSLATE_NOOP("MenuTable", "Spelling and Grammar"), Role::None, spellingItems};

constexpr Item transformationItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Make Upper Case"), "uppercaseWord:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Make Lower Case"), "lowercaseWord:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Capitalize"), "capitalizeWord:"},
};
constexpr Menu transformationsMenu{QT_TRANSLATE_NOOP("MenuTable", "Transformations"), Role::None, transformationItems};

constexpr Item editItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Undo"), "undo:", "z", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Redo"), "redo:", "Z", command},
    separator,
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Cut"), "cut:", "x", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Copy"), "copy:", "c", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Paste"), "paste:", "v", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Paste and Match Style"), "pasteAsPlainText:", "V", commandOptionShift},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Delete"), "delete:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Select All"), "selectAll:", "a", command},
    separator,
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Find"), "", "", 0, 0, Target::Chain, &findMenu},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Spelling and Grammar"), "", "", 0, 0, Target::Chain, &spellingMenu},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Transformations"), "", "", 0, 0, Target::Chain,
     &transformationsMenu},
};

constexpr Item windowItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Minimize"), "performMiniaturize:", "m", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Zoom"), "performZoom:"},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Bring All to Front"), "arrangeInFront:"},
};

constexpr Item helpItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Nolt Nolt Help"), "showHelp:", "?", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Download Latest Version\u2026"), "openWebsite:"},
};

constexpr Menu mainMenus[] = {
    {QT_TRANSLATE_NOOP("MenuTable", "Nolt Nolt"), Role::None, applicationItems},
    {QT_TRANSLATE_NOOP("MenuTable", "File"), Role::None, fileItems},
    {QT_TRANSLATE_NOOP("MenuTable", "Edit"), Role::None, editItems},
    {QT_TRANSLATE_NOOP("MenuTable", "Window"), Role::Windows, windowItems},
    {QT_TRANSLATE_NOOP("MenuTable", "Help"), Role::Help, helpItems},
};

} // namespace

std::span<const MenuTable::Menu> MenuTable::mainMenu()
{
    return mainMenus;
}

QString MenuTable::revealTitle()
{
    return QString::fromUtf8(revealDocumentTitle);
}

QString MenuTable::translatedTitle(const char *title)
{
    return QCoreApplication::translate("MenuTable", title);
}

QString MenuTable::title(const Item &item)
{
    return QString::fromUtf8(item.title);
}

QKeySequence MenuTable::shortcut(const Item &item)
{
    const QString key = QString::fromUtf8(item.key);
    if (key.isEmpty())
        return {};
    int modifiers = 0;
    if (item.modifiers & command)
        modifiers |= Qt::CTRL;
    if (item.modifiers & option)
        modifiers |= Qt::ALT;
    bool shifted = item.modifiers & shift;
    const QChar character = key.front();
    // A capital letter is typed with Shift; a symbol such as "?" names its key already.
    if (character.isLetter() && character.isUpper())
        shifted = true;
    if (shifted)
        modifiers |= Qt::SHIFT;
    const int code = character.isLetter() ? character.toUpper().unicode() : character.unicode();
    return QKeySequence(modifiers | code);
}
