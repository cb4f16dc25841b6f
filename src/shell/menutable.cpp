#include "menutable.h"

namespace {

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
constexpr char revealDocumentTitle[] = "Show in Finder";
#else
constexpr char revealDocumentTitle[] = "Show in File Manager";
#endif

constexpr Item separator{Kind::Separator};

// The platform fills Services; on Linux it stays empty.
constexpr Menu servicesMenu{"Services", Role::Services, {}};

constexpr Item applicationItems[] = {
    {Kind::Item, "About Nolt Nolt", "orderFrontStandardAboutPanel:"},
    {Kind::Submenu, "Services", "", "", 0, 0, Target::Chain, &servicesMenu},
    {Kind::Item, "Check for Updates\u2026", "checkForUpdates:", "", 0, 0, Target::Delegate},
    {Kind::Item, "Hide Others", "hideOtherApplications:", "h", commandOption},
    {Kind::Item, "Hide Nolt Nolt", "hide:", "h", command},
    {Kind::Item, "Show All", "unhideAllApplications:"},
    {Kind::Item, "Quit Nolt Nolt", "terminate:", "q", command},
};

// Filled each time it opens, from the recent list.
constexpr Menu openRecentMenu{"Open Recent", Role::OpenRecent, {}};

constexpr Item fileItems[] = {
    {Kind::Item, "New", "newDocument:", "n", command},
    {Kind::Item, "Open\u2026", "openDocument:", "o", command},
    {Kind::Submenu, "Open Recent", "", "", 0, 0, Target::Chain, &openRecentMenu},
    {Kind::Item, "Save", "saveDocument:", "s", command},
    {Kind::Item, "Rename\u2026", "renameDocument:"},
    {Kind::Item, "Move To\u2026", "moveDocument:"},
    {Kind::Item, revealDocumentTitle, "revealDocument:"},
    {Kind::Item, "Close", "performClose:", "w", command},
};

constexpr Item findItems[] = {
    {Kind::Item, "Find\u2026", "performFindPanelAction:", "f", command, 1},
    {Kind::Item, "Find and Replace\u2026", "performFindPanelAction:", "f", commandOption, 12},
    {Kind::Item, "Find Next", "performFindPanelAction:", "g", command, 2},
    {Kind::Item, "Find Previous", "performFindPanelAction:", "G", command, 3},
    {Kind::Item, "Use Selection for Find", "performFindPanelAction:", "e", command, 7},
    {Kind::Item, "Jump to Selection", "centerSelectionInVisibleArea:", "j", command, 0},
};
constexpr Menu findMenu{"Find", Role::None, findItems};

constexpr Item spellingItems[] = {
    {Kind::Item, "Show Spelling and Grammar", "showGuessPanel:", ":", command},
    {Kind::Item, "Check Document Now", "checkSpelling:", ";", command},
    {Kind::Item, "Check Spelling While Typing", "toggleContinuousSpellChecking:"},
};
constexpr Menu spellingMenu{"Spelling and Grammar", Role::None, spellingItems};

constexpr Item transformationItems[] = {
    {Kind::Item, "Make Upper Case", "uppercaseWord:"},
    {Kind::Item, "Make Lower Case", "lowercaseWord:"},
    {Kind::Item, "Capitalize", "capitalizeWord:"},
};
constexpr Menu transformationsMenu{"Transformations", Role::None, transformationItems};

constexpr Item editItems[] = {
    {Kind::Item, "Undo", "undo:", "z", command},
    {Kind::Item, "Redo", "redo:", "Z", command},
    separator,
    {Kind::Item, "Cut", "cut:", "x", command},
    {Kind::Item, "Copy", "copy:", "c", command},
    {Kind::Item, "Paste", "paste:", "v", command},
    {Kind::Item, "Paste and Match Style", "pasteAsPlainText:", "V", commandOptionShift},
    {Kind::Item, "Delete", "delete:"},
    {Kind::Item, "Select All", "selectAll:", "a", command},
    separator,
    {Kind::Submenu, "Find", "", "", 0, 0, Target::Chain, &findMenu},
    {Kind::Submenu, "Spelling and Grammar", "", "", 0, 0, Target::Chain, &spellingMenu},
    {Kind::Submenu, "Transformations", "", "", 0, 0, Target::Chain, &transformationsMenu},
};

constexpr Item windowItems[] = {
    {Kind::Item, "Minimize", "performMiniaturize:", "m", command},
    {Kind::Item, "Zoom", "performZoom:"},
    {Kind::Item, "Bring All to Front", "arrangeInFront:"},
};

constexpr Item helpItems[] = {
    {Kind::Item, "Nolt Nolt Help", "showHelp:", "?", command},
    {Kind::Item, "Download Latest Version\u2026", "openWebsite:"},
};

constexpr Menu mainMenus[] = {
    {"Nolt Nolt", Role::None, applicationItems}, {"File", Role::None, fileItems}, {"Edit", Role::None, editItems},
    {"Window", Role::Windows, windowItems},      {"Help", Role::Help, helpItems},
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
