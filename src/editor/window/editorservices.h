#pragma once

#include <QString>

#include <functional>

class ActionDispatcher;
class SpellingSetting;
class TextZoom;

// What every note window shares, handed in by the app. A window without a dispatcher has no tools on the menus'
// focus chain; one without zoom keeps its text size, one without a spelling setting checks spelling on its own.
struct EditorServices
{
    ActionDispatcher *dispatcher = nullptr;
    TextZoom *zoom = nullptr;
    SpellingSetting *spelling = nullptr;
    // Opens another file in a window of its own (a version of the note kept beside it, a file dropped on the
    // window); none: not offered, and dropped files are refused.
    std::function<void(const QString &path)> open = nullptr;
};
