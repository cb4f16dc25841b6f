#pragma once

#include "framework/error.h"
#include "framework/noteservices.h"
#include "shell/appresources.h"
#include "shell/recoveryoffer.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class DocumentController;
class Editor;
class OpenErrorReport;
class QMenu;
class InterruptedSaveLog;
class RecoveryStore;
class SingleInstance;
class TerminationSignals;
class UpdatePrompt;
class WindowPlacement;

// Answers the application's launch, reopen and open-files requests and the commands of the menu bar that belong
// to no window: new notes, opening, recent files, help, updates, quitting.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Shows an error that ended a command (a note that could not be created, a file that could not be opened).
    using ErrorPresenter = std::function<void(const Error &error)>;
    // Asks for files to open; empty when the user cancels.
    using OpenPanel = std::function<QList<QUrl>()>;

    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Files handed to this process at launch (the command line).
    void setLaunchFiles(const QList<QUrl> &files);
    // The folder new notes go to; by default the user's Desktop.
    void setNotesFolder(const QString &folder);
    QString notesFolder() const;
    void setErrorPresenter(ErrorPresenter presenter);
    void setOpenPanel(OpenPanel panel);
    // How the launch asks about texts that could not be saved last time; by default a dialog.
    void setRecoveryQuestion(RecoveryOffer::Question question);
    AppResources &resources();
    // The open notes, and those being opened.
    DocumentController &documents() { return m_documents; }
    // What every note the app opens is given: recovery, the log of rewrites in place, the questions in its window.
    NoteServices &services() { return m_services; }

    // Answers the requests a later launch or a launcher sends over the session bus.
    void listenTo(SingleInstance &instance);

    // Opens one file through the document controller; failures of quick succession are told together.
    void open(const QUrl &url);
    // At launch: a new note when no note is open once the files being read have opened or failed.
    void newNoteUnlessOneOpens();
    // The editor of the current note, or none.
    Editor *current() const;

public Q_SLOTS:
    void applicationDidFinishLaunching();
    // A second launch without files: a new note when no window is visible, else the windows come forward.
    void applicationShouldHandleReopen(bool hasVisibleWindows);
    void reopen();
    void applicationOpenUrls(const QList<QUrl> &urls);
    void applicationOpenUntitledFile();
    void performAction(const QString &name);

    // Menu actions.
    void orderFrontStandardAboutPanel(QObject *sender);
    void checkForUpdates(QObject *sender);
    void hideApplication(QObject *sender);
    void unhideAllApplications(QObject *sender);
    void terminate(QObject *sender);
    void newDocument(QObject *sender);
    void openDocument(QObject *sender);
    void openRecent(QObject *sender);
    void revealDocument(QObject *sender);
    void arrangeInFront(QObject *sender);
    void showHelp(QObject *sender);
    void showPrivacy(QObject *sender);
    void openWebsite(QObject *sender);
    void chooseNotesFolder(QObject *sender);

Q_SIGNALS:
    void launched();

private:
    void buildMenus();
    void menuWillOpen(QMenu *menu);
    void presentError(const Error &error);
    // Writes every note and ends the event loop; true when all were written.
    bool quitAfterSaving(bool force);
    bool hasNoteWindowsShown() const;
    // Offers the texts kept from the last run, opening each recovered file as it is chosen; true while questions
    // wait for their answers.
    bool offerRecoveredTexts();

    NoteServices m_services;
    std::unique_ptr<InterruptedSaveLog> m_interruptedSaves;
    DocumentController &m_documents;
    AppResources m_resources;
    std::unique_ptr<UpdatePrompt> m_updater;
    std::unique_ptr<RecoveryStore> m_recovery;
    TerminationSignals *m_terminationSignals = nullptr;
    OpenErrorReport *m_openErrors = nullptr;
    WindowPlacement *m_placement = nullptr;
    QList<QUrl> m_launchFiles;
    QString m_notesFolder;
    ErrorPresenter m_errorPresenter;
    OpenPanel m_openPanel;
    RecoveryOffer::Question m_recoveryQuestion;
    bool m_launched = false;
    // Launch opened nothing while recovery questions wait: a new note comes if none is open once all are answered.
    bool m_untitledAfterRecovery = false;
    bool m_choosingFolder = false;
};
