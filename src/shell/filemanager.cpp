#include "filemanager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

namespace {

constexpr int answerTimeoutMs = 10000;

QUrl folderOf(const QUrl &file)
{
    return QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
}

} // namespace

void FileManager::showItems(const QList<QUrl> &files, FolderOpener openFolder)
{
    if (files.isEmpty())
        return;
    if (!openFolder)
        openFolder = [](const QUrl &folder) {
            QDesktopServices::openUrl(folder);
        };
    const QUrl folder = folderOf(files.first());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QStringList uris;
    for (const QUrl &url : files)
        uris.append(url.toString(QUrl::FullyEncoded));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString::fromUtf8(qgetenv("DESKTOP_STARTUP_ID"));
    // Asynchronous, so a slow file manager never freezes the note window.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, answerTimeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, folder, openFolder](QDBusPendingCallWatcher *) {
                         watcher->deleteLater();
                         if (watcher->isError())
                             openFolder(folder);
                     });
}
