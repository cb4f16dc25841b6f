// The app's requests that are not about one note: reopening, new notes and the notes folder.
#include "appdelegate.h"

#include "shell/documentcontroller.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "shell/notewindows.h"
#include "shell/untouchednote.h"
#include "storage/notesfolder.h"
#include "storage/textfiles.h"

#include <QApplication>
#include <QWidget>

void AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows)
        NoteWindows::bringAllToFront();
    else
        newDocument();
}

void AppDelegate::reopen()
{
    // A note still being read counts as shown: it is on its way.
    applicationShouldHandleReopen(NoteWindows::anyShown() || m_documents.isOpening());
}

void AppDelegate::newDocument()
{
    QUrl note;
    try {
        PosixFile::makePath(m_notesFolder, tr("Could not create the folder"));
        note = TextFiles::create(FileNames::urlOfPath(m_notesFolder));
    } catch (const Error &error) {
        presentError(error);
        return;
    }
    const FileIdentity made = FileIdentity::of(FileNames::pathOfUrl(note));
    open(note, [made](Document *opened) { UntouchedNote::removeWhenClosedUntouched(opened, made); });
}

void AppDelegate::chooseNotesFolder()
{
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
        m_chosenFolder.choose();
    } catch (const Error &error) {
        presentError(error);
    }
    // Requests that came while the panel showed may still wait in the queue: they are answered by this panel too,
    // so the flag goes only after them.
    QMetaObject::invokeMethod(
        this, [this] { m_choosingFolder = false; }, Qt::QueuedConnection);
}
