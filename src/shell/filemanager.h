#pragma once

#include <QList>
#include <QUrl>

#include <functional>

// "Show in File Manager": asks the desktop's file manager to show files selected
// (org.freedesktop.FileManager1.ShowItems on the session bus); when no file manager answers, the folder of the
// first file opens in the default file viewer instead.
class FileManager
{
public:
    // Opens a folder when no file manager answers; replaceable for tests.
    using FolderOpener = std::function<void(const QUrl &folder)>;

    static void showItems(const QList<QUrl> &files, FolderOpener openFolder = {});
};
