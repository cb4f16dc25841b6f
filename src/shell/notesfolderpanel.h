#pragma once

#include "storage/notesfolder.h"

#include <QUrl>

#include <optional>

class QWidget;

// The folder chooser behind the notes folder: a modal folder dialog with the panel's title, its message shown
// above the buttons and as tool tip, and "Use Folder" on the confirm button.
class NotesFolderPanel
{
public:
    static std::optional<QUrl> run(const NotesFolder::PanelRequest &request, QWidget *parent = nullptr);
};
