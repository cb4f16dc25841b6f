#pragma once

#include <QList>
#include <QUrl>

#include <functional>

// Hands files and addresses to the desktop. "Show in File Manager" asks the desktop's file manager to show files
// selected (org.freedesktop.FileManager1.ShowItems on the session bus); when no file manager answers, the folder
// of the first file opens in the default file viewer instead. Pages and web addresses go to xdg-open.
class FileManager
{
public:
    // Opens a folder when no file manager answers; replaceable for tests.
    using FolderOpener = std::function<void(const QUrl &folder)>;
    // Told when nothing could open url, with the reason in words.
    using Failure = std::function<void(const QUrl &url, const QString &reason)>;

    static void showItems(const QList<QUrl> &files, FolderOpener openFolder = {});
    // Opens url in the user's default program without waiting for it. When no program answers (no xdg-open, or
    // it finds none), failed is called; by default the user sees a message in the app. False when it could not
    // even start.
    static bool openUrl(const QUrl &url, Failure failed = {});
    static void showOpenFailure(const QUrl &url, const QString &reason);
};
