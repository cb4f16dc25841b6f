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

// The platform fills Services where it has them; elsewhere the menu is left out.
constexpr Menu servicesMenu{QT_TRANSLATE_NOOP("MenuTable", "Services"), Role::Services, {}};

constexpr Item applicationItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "About Nolt Nolt"), Command::About},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Services"), Command::None, "", 0, Target::Chain, &servicesMenu},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check for Updates\u2026"), Command::CheckForUpdates, "", 0,
     Target::Delegate},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Hide Others"), Command::HideOthers, "h", commandOption},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Hide Nolt Nolt"), Command::Hide, "h", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Show All"), Command::ShowAll},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Quit Nolt Nolt"), Command::Quit, "q", command},
};

// Filled each time it opens, from the recent list.
constexpr Menu openRecentMenu{QT_TRANSLATE_NOOP("MenuTable", "Open Recent"), Role::OpenRecent, {}};

constexpr Item fileItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "New"), Command::New, "n", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Open\u2026"), Command::Open, "o", command},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Open Recent"), Command::None, "", 0, Target::Chain,
     &openRecentMenu},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Save"), Command::Save, "s", command},
    // A copy under a new name, which the window then shows: the key every Linux editor gives it.
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Save As\u2026"), Command::SaveAs, "S", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Rename\u2026"), Command::Rename},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Move To\u2026"), Command::MoveTo},
    {Kind::Item, revealDocumentTitle, Command::Reveal},
    // Where Linux editors keep it, with the key they all give it.
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Print\u2026"), Command::Print, "p", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Close"), Command::Close, "w", command},
};

constexpr Item findItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find\u2026"), Command::Find, "f", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find and Replace\u2026"), Command::FindAndReplace, "f", commandOption},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find Next"), Command::FindNext, "g", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Find Previous"), Command::FindPrevious, "G", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Use Selection for Find"), Command::UseSelectionForFind, "e", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Jump to Selection"), Command::JumpToSelection, "j", command},
};
constexpr Menu findMenu{QT_TRANSLATE_NOOP("MenuTable", "Find"), Role::None, findItems};

constexpr Item spellingItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Show Spelling and Grammar"), Command::ShowSpelling, ":", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check Document Now"), Command::CheckSpelling, ";", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Check Spelling While Typing"), Command::ToggleSpellingWhileTyping},
};
constexpr Menu spellingMenu{QT_TRANSLATE_NOOP("MenuTable", "Spelling and Grammar"), Role::None, spellingItems};

constexpr Item transformationItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Make Upper Case"), Command::Uppercase},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Make Lower Case"), Command::Lowercase},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Capitalize"), Command::Capitalize},
};
constexpr Menu transformationsMenu{QT_TRANSLATE_NOOP("MenuTable", "Transformations"), Role::None, transformationItems};

constexpr Item editItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Undo"), Command::Undo, "z", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Redo"), Command::Redo, "Z", command},
    separator,
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Cut"), Command::Cut, "x", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Copy"), Command::Copy, "c", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Paste"), Command::Paste, "v", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Paste and Match Style"), Command::PasteAsPlainText, "V",
     commandOptionShift},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Delete"), Command::Delete},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Select All"), Command::SelectAll, "a", command},
    separator,
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Find"), Command::None, "", 0, Target::Chain, &findMenu},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Spelling and Grammar"), Command::None, "", 0, Target::Chain,
     &spellingMenu},
    {Kind::Submenu, QT_TRANSLATE_NOOP("MenuTable", "Transformations"), Command::None, "", 0, Target::Chain,
     &transformationsMenu},
};

constexpr Item windowItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Minimize"), Command::Minimize, "m", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Zoom"), Command::Zoom},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Bring All to Front"), Command::BringAllToFront},
};

constexpr Item helpItems[] = {
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Nolt Nolt Help"), Command::Help, "?", command},
    {Kind::Item, QT_TRANSLATE_NOOP("MenuTable", "Download Latest Version\u2026"), Command::DownloadLatest},
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

bool MenuTable::isOffered(const Item &item)
{
#if defined(Q_OS_MACOS)
    Q_UNUSED(item);
    return true;
#else
    // Only the Mac's desktop hides and shows other applications and fills Services: here these rows could never
    // do anything, so they are not shown at all rather than greyed in every window.
    return item.command != Command::HideOthers && item.command != Command::ShowAll &&
           !(item.submenu && item.submenu->role == Role::Services);
#endif
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
