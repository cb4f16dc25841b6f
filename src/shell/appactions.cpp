// The app's menu commands that are not about one note: windows, help, files and folders.
#include "appdelegate.h"

#include "editor/editor.h"
#include "shell/documentcontroller.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "shell/filemanager.h"
#include "shell/notesfolderpanel.h"
#include "shell/openrecentmenu.h"
#include "shell/updateprompt.h"
#include "storage/notesfolder.h"
#include "storage/plaintextdocument.h"
#include "storage/textfiles.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace {

QList<QWidget *> noteWindows()
{
    QList<QWidget *> windows;
    const QList<QWidget *> topLevels = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevels) {
        if (WindowController::forWindow(widget) && widget->isWindow())
            windows.append(widget);
    }
    return windows;
}

} // namespace

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows)
        arrangeInFront(nullptr);
    else
        newDocument(nullptr);
}

void AppDelegate::reopen()
{
    // A note still being read counts as shown: it is on its way.
    applicationShouldHandleReopen(hasNoteWindowsShown() || m_documents.isOpening());
}

bool AppDelegate::hasNoteWindowsShown() const
{
    // Minimised windows count: after Hide, a reopen brings them back rather than adding a note.
    const QList<QWidget *> windows = noteWindows();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget *window) { return window->isVisible(); });
}

void AppDelegate::orderFrontStandardAboutPanel(QObject *sender)
{
    Q_UNUSED(sender);
    const QString website =
        m_resources.infoWebUrl(QString::fromLatin1(AppResources::websiteKey)).value_or(QUrl()).toString();
    QMessageBox::about(QApplication::activeWindow(), tr("About Nolt Nolt"),
                       tr("<p><b>Nolt Nolt</b></p><p>Version %1</p><p>Plain-text notes, saved as you type.</p>"
                          "<p><a href=\"%2\">%2</a></p>")
                           .arg(QCoreApplication::applicationVersion().toHtmlEscaped(), website.toHtmlEscaped()));
}

void AppDelegate::checkForUpdates(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_updater)
        m_updater->checkForUpdates(QApplication::activeWindow());
}

void AppDelegate::hideApplication(QObject *sender)
{
    Q_UNUSED(sender);
    const QList<QWidget *> windows = noteWindows();
    for (QWidget *window : windows)
        window->showMinimized();
}

void AppDelegate::unhideAllApplications(QObject *sender)
{
    Q_UNUSED(sender);
    const QList<QWidget *> windows = noteWindows();
    for (QWidget *window : windows) {
        if (window->isMinimized())
            window->showNormal();
    }
}

void AppDelegate::terminate(QObject *sender)
{
    Q_UNUSED(sender);
    quitAfterSaving(false);
}

void AppDelegate::newDocument(QObject *sender)
{
    Q_UNUSED(sender);
    QUrl note;
    try {
        PosixFile::makePath(m_notesFolder, tr("Could not create the folder"));
        note = TextFiles::create(FileNames::urlOfPath(m_notesFolder));
    } catch (const Error &error) {
        presentError(error);
        return;
    }
    open(note);
}

void AppDelegate::openDocument(QObject *sender)
{
    Q_UNUSED(sender);
    QList<QUrl> chosen;
    if (m_openPanel) {
        chosen = m_openPanel();
    } else {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setFileMode(QFileDialog::ExistingFiles);
        // By type, not by name: the desktop's dialog then offers every kind of plain text (source code, logs,
        // Markdown...), and the note's bytes still decide on reading.
        dialog.setMimeTypeFilters({QStringLiteral("text/plain"), QStringLiteral("application/octet-stream")});
        if (dialog.exec() != QDialog::Accepted)
            return;
        chosen = dialog.selectedUrls();
    }
    applicationOpenUrls(chosen);
}

void AppDelegate::openRecent(QObject *sender)
{
    const QUrl url = OpenRecentMenu::urlOf(sender);
    if (url.isValid() && url.isLocalFile())
        open(url);
}

void AppDelegate::revealDocument(QObject *sender)
{
    Q_UNUSED(sender);
    Editor *editor = current();
    PlainTextDocument *document = editor ? editor->textDocument() : nullptr;
    if (!document || document->fileUrl().isEmpty())
        return;
    FileManager::showItems({document->fileUrl()});
}

void AppDelegate::arrangeInFront(QObject *sender)
{
    Q_UNUSED(sender);
    QWidget *active = QApplication::activeWindow();
    const QList<QWidget *> windows = noteWindows();
    for (QWidget *window : windows) {
        if (window->isMinimized())
            window->showNormal();
        window->show();
        window->raise();
    }
    if (!active && !windows.isEmpty())
        active = windows.last();
    if (active) {
        active->raise();
        active->activateWindow();
    }
}

void AppDelegate::showHelp(QObject *sender)
{
    Q_UNUSED(sender);
    m_resources.showHelp();
}

void AppDelegate::showPrivacy(QObject *sender)
{
    Q_UNUSED(sender);
    m_resources.showPrivacy();
}

void AppDelegate::openWebsite(QObject *sender)
{
    Q_UNUSED(sender);
    m_resources.openWebsite();
}

void AppDelegate::chooseNotesFolder(QObject *sender)
{
    Q_UNUSED(sender);
    // Asked again while the panel shows (a launcher repeating its request): the panel comes forward, once.
    if (m_choosingFolder) {
        if (QWidget *panel = QApplication::activeModalWidget()) {
            panel->raise();
            panel->activateWindow();
        }
        return;
    }
    m_choosingFolder = true;
    try {
        NotesFolder::shared().choose();
    } catch (const Error &error) {
        presentError(error);
    }
    // Requests that came while the panel showed may still wait in the queue: they are answered by this panel too,
    // so the flag goes only after them.
    QMetaObject::invokeMethod(
        this, [this] { m_choosingFolder = false; }, Qt::QueuedConnection);
}
