#include "filemanager.h"

#include "framework/filenames.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr int answerTimeoutMs = 10000;

QUrl folderOf(const QUrl &file)
{
    return FileNames::urlOfPath(QFileInfo(FileNames::pathOfUrl(file)).absolutePath());
}

QString tr(const char *text)
{
    return QCoreApplication::translate("FileManager", text);
}

} // namespace

void FileManager::showItems(const QList<QUrl> &files, FolderOpener openFolder)
{
    if (files.isEmpty())
        return;
    if (!openFolder)
        openFolder = [](const QUrl &folder) {
            openUrl(folder);
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

bool FileManager::openUrl(const QUrl &url, Failure failed)
{
    if (!failed)
        failed = &FileManager::showOpenFailure;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        // A sandboxed or unusual desktop may still answer through the toolkit.
        if (QDesktopServices::openUrl(url))
            return true;
        failed(url, tr("No program to open it is installed (xdg-open was not found)."));
        return false;
    }
    // Ending the app ends only xdg-open; the program it started stays.
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    // A path whose bytes are not UTF-8 cannot travel as an argument's text: it goes as its address.
    const bool plainPath = url.isLocalFile() && !FileNames::hasEscapes(FileNames::pathOfUrl(url));
    process->setArguments({plainPath ? FileNames::pathOfUrl(url) : url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, [process, url, failed](int status, QProcess::ExitStatus) {
        process->deleteLater();
        if (status != 0)
            failed(url, tr("No program answered: xdg-open ended with status %1.").arg(status));
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, url, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        failed(url, tr("xdg-open could not be started: %1").arg(process->errorString()));
    });
    process->start();
    return true;
}

void FileManager::showOpenFailure(const QUrl &url, const QString &reason)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(),
                                tr("No program could open “%1”.").arg(url.toDisplayString(QUrl::PreferLocalFile)),
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setInformativeText(reason + u' ' +
                            tr("Install a web browser and a file manager, or choose default programs in your "
                               "desktop's settings."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
