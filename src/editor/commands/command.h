#pragma once

// Every command a menu item sends, one value each. Each responder lists the ones it answers in a table of its own,
// and nothing is looked up by name.
enum class Command
{
    // Rows that send nothing: submenus and separators.
    None,

    // The application menu.
    About,
    CheckForUpdates,
    HideOthers,
    Hide,
    ShowAll,
    Quit,

    // File.
    New,
    Open,
    // One file of Open Recent; the item carries the file's URL.
    OpenRecent,
    ClearRecent,
    Save,
    SaveAs,
    Rename,
    MoveTo,
    Reveal,
    Print,
    Close,

    // Edit.
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    PasteAsPlainText,
    Delete,
    SelectAll,

    // Find.
    Find,
    FindAndReplace,
    FindNext,
    FindPrevious,
    UseSelectionForFind,
    JumpToSelection,

    // Spelling and Grammar.
    ShowSpelling,
    CheckSpelling,
    ToggleSpellingWhileTyping,

    // Transformations.
    Uppercase,
    Lowercase,
    Capitalize,

    // Window.
    Minimize,
    Zoom,
    BringAllToFront,

    // Help.
    Help,
    DownloadLatest,
};
