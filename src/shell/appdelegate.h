#pragma once

#include "editor/spelling/spellingsetting.h"
#include "editor/window/editorservices.h"
#include "editor/view/textzoom.h"
#include "framework/error.h"
#include "framework/noteservices.h"
#include "shell/appcommands.h"
#include "shell/appresources.h"
#include "shell/recoveryoffer.h"
#include "storage/notesfolder.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class ActionDispatcher;
class AppMenus;
class Document;
class DocumentController;
class Editor;
class OpenErrorReport;
class InterruptedSaveLog;
class Quitting;
class RecoveryStore;
class SingleInstance;
class WindowPlacement;

// Answers the application's launch, reopen and open-files requests; owns the app's menus, their commands that
// belong to no window, and what the note windows share.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Shows an error that ended a command (a note that could not be created, a file that could not be opened).
    using ErrorPresenter = std::function<void(const Error &error)>;
    using OpenPanel = AppCommands::OpenPanel;

    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // Of the app's catalogs ("de", "he": the names after "noltnolt_"), the one for the first of the user's languages
    // (as QLocale::uiLanguages gives them) that has one, each tried whole and then without its region: "de-AT" finds
    // "de" before the next language is tried. Empty when none has one: the English of the sources.
    static QString catalogFor(const QStringList &languages, const QStringList &catalogs);

    // Files handed to this process at launch (the command line).
    void setLaunchFiles(const QList<QUrl> &files);
    // The folder new notes go to; by default the user's Desktop.
    void setNotesFolder(const QString &folder);
    // The folder the user picks with "Choose Notes Folder", remembered across launches.
    NotesFolder &chosenFolder() { return m_chosenFolder; }
    void setErrorPresenter(ErrorPresenter presenter);
    void setOpenPanel(OpenPanel panel);
    // How the launch asks about texts that could not be saved last time; by default a dialog.
    void setRecoveryQuestion(RecoveryOffer::Question question);
    AppResources &resources();
    // The open notes, and those being opened.
    DocumentController &documents() { return m_documents; }
    ActionDispatcher &dispatcher();

    // Answers the requests a later launch or a launcher sends over the session bus.
    void listenTo(SingleInstance &instance);

    // Opens one file through the document controller; failures of quick succession are told together. opened gets
    // the note once it is open.
    void open(const QUrl &url, const std::function<void(Document *)> &opened = {});
    // At launch: a new note when no note is open once the files being read have opened or failed.
    void newNoteUnlessOneOpens();
    // The editor of the current note, or none.
    Editor *current() const;
    // A new empty note in the notes folder, in a window.
    void newDocument();

public Q_SLOTS:
    void applicationDidFinishLaunching();
    // A second launch without files: a new note when no window is visible, else the windows come forward.
    void applicationShouldHandleReopen(bool hasVisibleWindows);
    void reopen();
    void applicationOpenUrls(const QList<QUrl> &urls);
    void applicationOpenUntitledFile();
    void performAction(const QString &name);
    void chooseNotesFolder();

Q_SIGNALS:
    void launched();

private:
    // What each note window is made with.
    EditorServices editorServices();
    void presentError(const Error &error);
    // Offers the texts kept from the last run, opening each recovered file as it is chosen; true while questions
    // wait for their answers.
    bool offerRecoveredTexts();
    void setApplicationIcon();

    // First of all: what the settings' own file left unread, before any part of the app reads them.
    std::optional<Error> m_settingsProblem;
    // What every note uses: made before the notes, gone after them and after every write they started.
    struct Services;
    std::unique_ptr<Services> m_owned;
    NoteServices m_services;
    DocumentController &m_documents;
    NotesFolder m_chosenFolder;
    AppResources m_resources;
    TextZoom m_zoom;
    SpellingSetting m_spelling;
    Quitting *m_quitting = nullptr;
    AppMenus *m_menus = nullptr;
    AppCommands m_commands;
    OpenErrorReport *m_openErrors = nullptr;
    WindowPlacement *m_placement = nullptr;
    QList<QUrl> m_launchFiles;
    QString m_notesFolder;
    ErrorPresenter m_errorPresenter;
    RecoveryOffer::Question m_recoveryQuestion;
    // Launch opened nothing while recovery questions wait: a new note comes if none is open once all are answered.
    bool m_untitledAfterRecovery = false;
    bool m_choosingFolder = false;
};
