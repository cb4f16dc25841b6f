#include "shell/quitting.h"

#include "shell/documentcontroller.h"
#include "shell/terminationsignals.h"
#include "shell/windowplacement.h"

#include <QApplication>
#include <QSessionManager>

Quitting::Quitting(DocumentController &documents, QObject *parent)
    : QObject(parent)
    , m_documents(documents)
    , m_signals(new TerminationSignals(this))
{
    // A kill, Ctrl+C or the end of the session writes every note before the app ends.
    connect(m_signals, &TerminationSignals::terminationRequested, this, [this](int) { quitAfterSaving(true); });
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) {
            WindowPlacement::rememberFrames(m_documents.documents());
            m_documents.reviewUnsavedDocumentsBeforeQuit(DocumentController::QuitReview::KeepForRecovery);
        });
    }
}

bool Quitting::quitAfterSaving(bool force)
{
    WindowPlacement::rememberFrames(m_documents.documents());
    const bool saved = m_documents.reviewUnsavedDocumentsBeforeQuit(
        force ? DocumentController::QuitReview::KeepForRecovery : DocumentController::QuitReview::AskUser);
    if (!saved)
        return false;
    // Every note is written (or, when its disk refuses, kept for recovery): the windows may go.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
    return saved;
}
