#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// The folder the user picked for new notes, remembered across launches as an opaque bookmark under
// "NotesFolderBookmark" in the settings. A bookmark names the folder and the very directory that was chosen:
// it resolves back to the folder, is stale when another folder now stands at that path, and fails when the
// folder is gone. Asking the user is left to a panel function the app provides: storage opens no dialogs.
class NotesFolder
{
    Q_DECLARE_TR_FUNCTIONS(NotesFolder)

public:
    static constexpr char key[] = "NotesFolderBookmark";

    // The texts the folder panel shows.
    struct PanelRequest
    {
        QString title;
        QString message;
        QString prompt;
    };
    // Asks the user for one folder (new folders may be made there); none when the user cancels.
    using Panel = std::function<std::optional<QUrl>(const PanelRequest &request)>;

    // The bookmark turned back into a folder.
    struct Resolved
    {
        QUrl url;
        bool stale = false;
    };

    // settingsFile empty: the app's own settings.
    explicit NotesFolder(const QString &settingsFile = {});
    ~NotesFolder();
    Q_DISABLE_COPY_MOVE(NotesFolder)

    void setPanel(Panel panel);
    static PanelRequest panelRequest();

    // Always asks; remembers and returns the chosen folder, or none when cancelled. Throws Error when the
    // choice cannot be remembered, leaving the earlier choice in place.
    std::optional<QUrl> choose();
    // The folder in use, else the remembered one when it still works, else whatever choose() gives.
    std::optional<QUrl> resolve();

    std::optional<QUrl> currentUrl() const { return m_currentUrl; }
    // Folders whose access was opened in this run, once per opening, in order.
    QList<QUrl> activeUrls() const { return m_activeUrls; }

    // Throws Error when the folder cannot be found.
    static QByteArray bookmarkData(const QUrl &folder);
    // Throws Error when the bookmark is damaged or its folder is gone.
    static Resolved resolveBookmark(const QByteArray &bookmark);
    // Access is granted when the folder can be listed, read and written by this user.
    static bool startAccessing(const QUrl &folder);
    static void stopAccessing(const QUrl &folder);

private:
    void remember(const QUrl &folder);
    QByteArray storedBookmark() const;

    QString m_settingsFile;
    Panel m_panel;
    QList<QUrl> m_activeUrls;
    std::optional<QUrl> m_currentUrl;
};
