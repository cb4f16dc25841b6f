#pragma once

#include "editor/commands/commandresponder.h"
#include "framework/error.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class Document;
class InterruptedSaveLog;
class QThreadPool;
class WindowController;
class WriteQueue;

// The one controller of all open documents: opening by URL, the current document, recent files,
// and writing every edited document before the app quits.
class DocumentController : public QObject, public CommandTable<DocumentController>
{
    Q_OBJECT

public:
    using OpenCompletion = std::function<void(Document *document, bool alreadyOpen, const std::optional<Error> &)>;
    // Makes a note for a file being opened, with the app's services; gives a note that was read its window.
    using NoteMaker = std::function<Document *()>;
    // prepared: a window the preparer made while the note was read, which the maker takes; or none.
    using WindowMaker = std::function<void(Document *note, WindowController *prepared)>;
    using WindowPreparer = std::function<WindowController *()>;

    static constexpr int maximumRecentDocuments = 10;
    // Notes asked for by names no file has yet open empty, this many in a burst of opens at most: a script's
    // thousands of names must not become thousands of windows.
    static constexpr int newNotesPerBurst = 50;
    static constexpr char recentDocumentsKey[] = "RecentDocuments";
    static constexpr char openDocumentsKey[] = "OpenDocumentsAtQuit";

    // settingsFile empty: the app's own settings. workers: the app's pool for reading files and the settings, which
    // outlives this controller; none: the process's own. Never waits longer than a note's close for them.
    DocumentController(NoteMaker makeNote, WindowMaker makeWindow, const QString &settingsFile = {},
                       QThreadPool *workers = nullptr, QObject *parent = nullptr);
    ~DocumentController() override;
    // While a file is read its window is made, hidden, so that it only takes the text once the file is in. When the
    // file to show next is still being read by then (a long note), the window shows at once and waits for it.
    void setWindowPreparer(WindowPreparer prepare) { m_prepareWindow = std::move(prepare); }

    // An open URL brings its window forward; otherwise the document is made, its file is read and decoded on a
    // worker thread, and then it is given its windows and shown, and completion runs. Opens finish in the order
    // they were asked for; asking again for a file being read joins that open. All of it happens from the event
    // loop, a window at a time, so that a burst of thousands of names never keeps the windows from answering. A new
    // note beyond newNotesPerBurst is not opened: completion gets neither a document nor an error.
    void openDocument(const QUrl &url, bool display, const OpenCompletion &completion);
    // Repairs the in-place saves that a kill cut short, as log names them, on the thread that reads files for
    // opening and before the files asked for after it: the window never waits, and no note is read cut.
    void repairInterruptedSaves(InterruptedSaveLog *log);
    // Files are waiting or being read for opening; their windows (or errors) are still to come.
    bool isOpening() const { return !m_pending.isEmpty() || !m_waiting.isEmpty(); }
    QList<Document *> documents() const;
    Document *documentForUrl(const QUrl &url) const;
    // The document of the active window, or none.
    Document *currentDocument() const;

    QList<QUrl> recentDocumentUrls() const;
    void noteNewRecentDocumentUrl(const QUrl &url);
    void removeRecentDocumentUrl(const QUrl &url);

    enum class QuitReview
    {
        // The user quits: a document that cannot be written asks "Save As…", "Close Without Saving" or "Cancel".
        AskUser,
        // A signal or the end of the session: no questions; what cannot be written is kept for recovery.
        KeepForRecovery
    };
    // Writes every edited document; false when the user cancelled. Then remembers the open documents, in the order
    // they were opened, for the next launch.
    bool reviewUnsavedDocumentsBeforeQuit(QuitReview review = QuitReview::AskUser);
    // The documents open at the last quit that still exist, in order; forgets them, so they come back once.
    QList<QUrl> takeRememberedDocumentUrls();

    void clearRecentDocuments();
    // Open Recent's Clear Menu.
    std::span<const Row> commandRows() const override;

Q_SIGNALS:
    // A newly opened document has its window, which is not shown yet (or shows already, while it was read).
    void windowControllersMade(Document *document);
    // The window of a note still being read is about to show, before the note is there.
    void readingWindowMade(WindowController *controller, const QUrl &url);
    void recentDocumentsChanged();
    // A burst of opens left count names no file has, from first on, unopened: more than newNotesPerBurst.
    void newNotesNotOpened(const QUrl &first, int count);
    // Every open asked for so far has finished, opened or failed.
    void opensFinished();

private:
    struct Request
    {
        QUrl url;
        bool display = false;
        OpenCompletion completion;
    };
    struct PendingOpen;
    // One turn's share of the opening: the next window, or a few opens that make none, and more files to read.
    void step();
    void start(const Request &request);
    // Returns whether the document got its window.
    bool finishOpen(const std::shared_ptr<PendingOpen> &pending);
    // Shows the prepared window for the open at the head, whose file is still being read.
    void showWhileReading(PendingOpen &pending);
    // The window shown while the file was read, for an open that ends without one.
    void dropReadingWindow(PendingOpen &pending);
    // At quit: the note whose window shows while it is read comes in now.
    void finishReadingWindows();
    void adopt(Document *document, const QUrl &url, bool display);
    static void showWindows(Document *document);
    void forget(Document *document);
    QList<QUrl> openUrls() const;
    // Remembers the notes open now (and those being read) and the recent list for the next launch, whatever ends
    // this one: soon, once for a burst of changes, off the window's thread.
    void recordSoon();
    void record();
    void writeUrlList(const char *key, const QList<QUrl> &urls);
    QList<QUrl> readUrlList(const char *key) const;

    NoteMaker m_makeNote;
    WindowMaker m_makeWindow;
    WindowPreparer m_prepareWindow;
    // At most one, for the next window to show; gone once the opens are over.
    QPointer<WindowController> m_prepared;
    QString m_settingsFile;
    QList<QPointer<Document>> m_documents;
    // Opens asked for and not yet started, in order.
    QList<Request> m_waiting;
    // Opens whose file is being read, in the order they were asked for; read one at a time.
    QList<std::shared_ptr<PendingOpen>> m_pending;
    QTimer m_step;
    int m_newNotesLeft = newNotesPerBurst;
    QUrl m_firstNotOpened;
    int m_notOpened = 0;
    // Read from the settings once, then kept here and written with the record.
    mutable std::optional<QList<QUrl>> m_recent;
    QTimer m_recordTimer;
    // Files read one at a time, in the order asked for; the settings written one after the other.
    WriteQueue *m_reader;
    WriteQueue *m_recorder;
    // Off once the app is ending: the windows that close then are still the ones to bring back.
    bool m_recording = true;
};
