#include "documentcontroller.h"

#include "framework/document.h"
#include "framework/filenames.h"
#include "editor/window/windowcontroller.h"
#include "framework/interruptedsavelog.h"
#include "framework/startuptrace.h"
#include "framework/writequeue.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include <atomic>
#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace {

std::unique_ptr<QSettings> openSettings(const QString &file)
{
    if (file.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QStringList encoded(const QList<QUrl> &urls)
{
    QStringList strings;
    strings.reserve(urls.size());
    for (const QUrl &url : urls)
        strings.append(url.toString(QUrl::FullyEncoded));
    return strings;
}

// Two URLs name the same file when their resolved paths agree (a link and its target are one document).
QString identityOf(const QUrl &url)
{
    if (!url.isLocalFile())
        return url.toString();
    const QString path = FileNames::pathOfUrl(url);
    const QString canonical = FileNames::canonicalPath(path);
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

// A file asked for by name that does not exist yet, in a folder that does, opens as an empty note: what is typed
// creates it. A dangling link is no such file: it stays refused. Returns whether it is such a new note.
bool startNew(LoadedFile &loaded)
{
    if (!loaded.readFailure || loaded.readFailure->source() != Error::Source::System ||
        loaded.readFailure->code() != ENOENT)
        return false;
    const QString path = FileNames::pathOfUrl(loaded.url);
    struct stat info
    {};
    const QByteArray folder = FileNames::encodeName(QFileInfo(path).absolutePath());
    if (::lstat(FileNames::encodeName(path).constData(), &info) == 0 || ::stat(folder.constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode))
        return false;
    loaded.readFailure.reset();
    return true;
}

// Files read ahead of their windows, and opens a turn of the event loop takes on without making a window: bounds
// on the memory a burst holds and on the time the windows wait for one turn.
constexpr int maxReading = 16;
constexpr int maxStepsPerTurn = 16;
// How soon a change of the open notes or the recent list is written; changes meanwhile go with it.
constexpr int recordDelayMs = 250;

} // namespace

struct DocumentController::PendingOpen
{
    QUrl url;
    QString identity;
    bool display = false;
    Document *document = nullptr;
    QList<OpenCompletion> completions;
    LoadedFile loaded;
    // Set on the reader's thread once the file is in; ready once the window's thread has heard of it.
    std::atomic<bool> read = false;
    bool ready = false;
    bool fresh = false;
    // The window that showed while the file was read; the controller alone deletes it.
    QPointer<WindowController> readingWindow;
};

DocumentController::DocumentController(NoteMaker makeNote, WindowMaker makeWindow, const QString &settingsFile,
                                       QThreadPool *workers, QObject *parent)
    : QObject(parent)
    , m_makeNote(std::move(makeNote))
    , m_makeWindow(std::move(makeWindow))
    , m_settingsFile(settingsFile)
    , m_reader(new WriteQueue(workers, this))
    , m_recorder(new WriteQueue(workers, this))
{
    // A timer, not a posted call: the windows' own events and timers come between two turns.
    m_step.setSingleShot(true);
    m_step.setInterval(0);
    connect(&m_step, &QTimer::timeout, this, &DocumentController::step);
    m_recordTimer.setSingleShot(true);
    m_recordTimer.setInterval(recordDelayMs);
    connect(&m_recordTimer, &QTimer::timeout, this, &DocumentController::record);
}

DocumentController::~DocumentController()
{
    // A read under way finishes on its own and its result is dropped; the last record is waited for, as long as a
    // note's close at most.
    m_reader->discardQueued();
    if (m_recordTimer.isActive())
        record();
    m_recorder->finish(Document::closeWaitMs);
}

void DocumentController::showWindows(Document *document)
{
    for (WindowController *controller : WindowController::of(document))
        controller->showWindow();
}

void DocumentController::openDocument(const QUrl &url, bool display, const OpenCompletion &completion)
{
    m_waiting.append({url, display, completion});
    if (!m_step.isActive())
        m_step.start();
}

void DocumentController::step()
{
    int steps = 0;
    bool windowMade = false;
    while (!windowMade && steps < maxStepsPerTurn && !m_pending.isEmpty() && m_pending.constFirst()->ready) {
        windowMade = finishOpen(m_pending.takeFirst());
        ++steps;
    }
    while (steps < maxStepsPerTurn && !m_waiting.isEmpty() && m_pending.size() < maxReading) {
        start(m_waiting.takeFirst());
        ++steps;
    }
    if ((!m_pending.isEmpty() && m_pending.constFirst()->ready) ||
        (!m_waiting.isEmpty() && m_pending.size() < maxReading)) {
        m_step.start();
        return;
    }
    if (isOpening())
        return; // the reader's next file starts the next turn
    m_newNotesLeft = newNotesPerBurst;
    delete m_prepared.data();
    if (m_notOpened > 0)
        Q_EMIT newNotesNotOpened(std::exchange(m_firstNotOpened, {}), std::exchange(m_notOpened, 0));
    Q_EMIT opensFinished();
}

void DocumentController::start(const Request &request)
{
    const QUrl &url = request.url;
    const OpenCompletion &completion = request.completion;
    if (Document *open = documentForUrl(url)) {
        if (request.display)
            showWindows(open);
        noteNewRecentDocumentUrl(open->fileUrl());
        if (completion)
            completion(open, true, std::nullopt);
        return;
    }
    const QString path = FileNames::pathOfUrl(url);
    if (path.isEmpty()) {
        // A bare "file:" or a remote address names no file to read: say which address it was.
        if (completion)
            completion(nullptr, false,
                       Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadUnknown,
                             tr("Could not open “%1”: it does not name a file on this computer.").arg(url.toString())));
        return;
    }
    const QString identity = identityOf(url);
    for (const std::shared_ptr<PendingOpen> &pending : std::as_const(m_pending)) {
        if (pending->identity == identity) {
            pending->display = pending->display || request.display;
            pending->completions.append(completion);
            return;
        }
    }
    Document *document = m_makeNote();
    document->setParent(this);
    auto pending = std::make_shared<PendingOpen>();
    pending->url = url;
    pending->identity = identity;
    pending->display = request.display;
    pending->document = document;
    pending->completions.append(completion);
    m_pending.append(pending);
    recordSoon();
    // One reader thread: files come back in the order they were asked for, and one big file is read at a time.
    m_reader->run(
        [pending, decoder = document->decoder(), log = document->services().interruptedSaves] {
            pending->loaded = LoadedFile::read(pending->url, decoder, true, log);
            pending->fresh = startNew(pending->loaded);
            pending->read = true;
            return true;
        },
        [this, pending](bool) {
            pending->ready = true;
            if (!m_step.isActive())
                m_step.start();
        });
    if (m_prepareWindow && !m_prepared) {
        m_prepared = m_prepareWindow();
        if (m_prepared)
            m_prepared->setParent(this);
    }
    // A long note: its window need not wait for the reading, which goes on meanwhile.
    if (m_prepared && pending->display && m_pending.size() == 1 && !pending->read)
        showWhileReading(*pending);
}

void DocumentController::showWhileReading(PendingOpen &pending)
{
    pending.readingWindow = m_prepared;
    m_prepared->awaitDocument(pending.url.fileName());
    Q_EMIT readingWindowMade(m_prepared, pending.url);
    m_prepared->showWindow();
    StartupTrace::mark("window shown while reading");
}

void DocumentController::dropReadingWindow(PendingOpen &pending)
{
    if (!pending.readingWindow)
        return;
    if (m_prepared == pending.readingWindow)
        m_prepared = nullptr;
    // Hidden, not closed: closing the only window would end the app before the open's error is told.
    pending.readingWindow->window()->hide();
    delete pending.readingWindow.data();
}

void DocumentController::repairInterruptedSaves(InterruptedSaveLog *log)
{
    if (log)
        m_reader->run(
            [log] {
                log->repairAll();
                return true;
            },
            [](bool) {});
}

bool DocumentController::finishOpen(const std::shared_ptr<PendingOpen> &pending)
{
    const auto complete = [&pending](Document *document, bool alreadyOpen, const std::optional<Error> &error) {
        for (const OpenCompletion &completion : std::as_const(pending->completions)) {
            if (completion)
                completion(document, alreadyOpen, error);
            // The opens that joined this one find the document open.
            alreadyOpen = alreadyOpen || document;
        }
    };
    std::unique_ptr<Document> document(pending->document);
    const QUrl url = pending->url;
    // The user closed the window while the file was read: the open ends there.
    if (pending->readingWindow && !pending->readingWindow->window()->isVisible()) {
        dropReadingWindow(*pending);
        complete(nullptr, false, std::nullopt);
        return false;
    }
    try {
        // Meanwhile another document may have come to stand for the file (saved or renamed to it).
        if (Document *open = documentForUrl(url)) {
            dropReadingWindow(*pending);
            if (pending->display)
                showWindows(open);
            complete(open, true, std::nullopt);
            return false;
        }
        if (pending->fresh && m_newNotesLeft == 0) {
            dropReadingWindow(*pending);
            if (m_notOpened++ == 0)
                m_firstNotOpened = url;
            complete(nullptr, false, std::nullopt);
            return false;
        }
        document->takeLoaded(std::move(pending->loaded));
        if (pending->fresh)
            --m_newNotesLeft;
        adopt(document.release(), url, pending->display);
        complete(pending->document, false, std::nullopt);
        return true;
    } catch (const Error &error) {
        // Refused: the error is told where a failed open's is, and no window stays for the file.
        dropReadingWindow(*pending);
        complete(nullptr, false, error);
    }
    return false;
}

void DocumentController::adopt(Document *document, const QUrl &url, bool display)
{
    document->setFileUrl(url);
    m_documents.append(document);
    connect(document, &Document::closed, this, [this, document] { forget(document); });
    // A renamed or moved note is listed under its new place only; the old entry would open nothing.
    connect(document, &Document::fileMoved, this, [this](const QUrl &from, const QUrl &to) {
        removeRecentDocumentUrl(from);
        noteNewRecentDocumentUrl(to);
    });
    noteNewRecentDocumentUrl(url);
    StartupTrace::mark("note read");
    if (m_makeWindow)
        m_makeWindow(document, std::exchange(m_prepared, nullptr));
    StartupTrace::mark("window made");
    Q_EMIT windowControllersMade(document);
    if (display)
        showWindows(document);
    StartupTrace::mark("window shown");
}

QList<Document *> DocumentController::documents() const
{
    QList<Document *> open;
    for (const QPointer<Document> &document : m_documents) {
        if (document)
            open.append(document);
    }
    return open;
}

Document *DocumentController::documentForUrl(const QUrl &url) const
{
    const QString wanted = identityOf(url);
    for (const QPointer<Document> &document : m_documents) {
        if (document && identityOf(document->fileUrl()) == wanted)
            return document;
    }
    return nullptr;
}

Document *DocumentController::currentDocument() const
{
    WindowController *controller = WindowController::forWindow(QApplication::activeWindow());
    Document *document = controller ? controller->document() : nullptr;
    return documents().contains(document) ? document : nullptr;
}

QList<QUrl> DocumentController::recentDocumentUrls() const
{
    if (!m_recent)
        m_recent = readUrlList(recentDocumentsKey);
    return *m_recent;
}

void DocumentController::noteNewRecentDocumentUrl(const QUrl &url)
{
    if (url.isEmpty())
        return;
    QList<QUrl> recent = recentDocumentUrls();
    const QString identity = identityOf(url);
    recent.removeIf([&identity](const QUrl &entry) { return identityOf(entry) == identity; });
    recent.prepend(url);
    while (recent.size() > maximumRecentDocuments)
        recent.removeLast();
    m_recent = recent;
    recordSoon();
    Q_EMIT recentDocumentsChanged();
}

void DocumentController::removeRecentDocumentUrl(const QUrl &url)
{
    QList<QUrl> recent = recentDocumentUrls();
    const QString identity = identityOf(url);
    const qsizetype removed =
        recent.removeIf([&](const QUrl &entry) { return entry == url || identityOf(entry) == identity; });
    if (removed == 0)
        return;
    m_recent = recent;
    recordSoon();
    Q_EMIT recentDocumentsChanged();
}

std::span<const DocumentController::Row> DocumentController::commandRows() const
{
    static constexpr Row rows[] = {
        {Command::ClearRecent, nullptr,
         [](DocumentController &self, Command, const QVariant &) {
             self.clearRecentDocuments();
         }},
    };
    return rows;
}

void DocumentController::clearRecentDocuments()
{
    m_recent = QList<QUrl>();
    recordSoon();
    Q_EMIT recentDocumentsChanged();
}

bool DocumentController::reviewUnsavedDocumentsBeforeQuit(QuitReview review)
{
    finishReadingWindows();
    const QList<Document *> open = documents();
    for (Document *document : open) {
        if (review == QuitReview::KeepForRecovery)
            document->letGoUnsaved();
        else if (!document->shouldClose())
            return false;
    }
    // The notes open now come back at the next launch; closing their windows from here on is the app ending.
    m_recording = false;
    record();
    m_recorder->finish(Document::closeWaitMs);
    writeUrlList(openDocumentsKey, openUrls());
    return true;
}

void DocumentController::finishReadingWindows()
{
    if (m_pending.isEmpty() || !m_pending.constFirst()->readingWindow)
        return;
    // What was typed into a window whose note is still read is written with the note: the read is waited for, as
    // long as a note's close at most, and the note given its window. The opens after it stay unopened.
    m_reader->finish(Document::closeWaitMs);
    if (!m_pending.isEmpty() && m_pending.constFirst()->ready)
        finishOpen(m_pending.takeFirst());
}

QList<QUrl> DocumentController::openUrls() const
{
    QList<QUrl> urls;
    for (const QPointer<Document> &document : m_documents) {
        if (document && !document->fileUrl().isEmpty())
            urls.append(document->fileUrl());
    }
    // A note still being read was asked for: it comes back too.
    for (const std::shared_ptr<PendingOpen> &pending : std::as_const(m_pending))
        urls.append(pending->url);
    return urls;
}

void DocumentController::recordSoon()
{
    if (!m_recordTimer.isActive())
        m_recordTimer.start();
}

void DocumentController::record()
{
    m_recordTimer.stop();
    // The open notes only while the app runs: from its end on, the windows that close are still the ones to bring
    // back. Written one after the other, so the last change is the one kept.
    std::optional<QStringList> open;
    if (m_recording)
        open = encoded(openUrls());
    std::optional<QStringList> recent;
    if (m_recent)
        recent = encoded(*m_recent);
    m_recorder->run(
        [settingsFile = m_settingsFile, open, recent] {
            auto settings = openSettings(settingsFile);
            if (open)
                settings->setValue(QLatin1String(openDocumentsKey), *open);
            if (recent)
                settings->setValue(QLatin1String(recentDocumentsKey), *recent);
            settings->sync();
            return true;
        },
        [](bool) {});
}

QList<QUrl> DocumentController::takeRememberedDocumentUrls()
{
    m_recorder->finish(Document::closeWaitMs);
    QList<QUrl> urls = readUrlList(openDocumentsKey);
    writeUrlList(openDocumentsKey, {});
    // A note deleted since the last quit is simply not reopened; nobody asked for it this time.
    urls.removeIf([](const QUrl &url) { return !url.isLocalFile() || !FileNames::exists(FileNames::pathOfUrl(url)); });
    return urls;
}

void DocumentController::forget(Document *document)
{
    m_documents.removeAll(document);
    m_documents.removeAll(nullptr);
    document->deleteLater();
    recordSoon();
}

void DocumentController::writeUrlList(const char *key, const QList<QUrl> &urls)
{
    openSettings(m_settingsFile)->setValue(QLatin1String(key), encoded(urls));
}

QList<QUrl> DocumentController::readUrlList(const char *key) const
{
    auto settings = openSettings(m_settingsFile);
    const QStringList strings = settings->value(QLatin1String(key)).toStringList();
    QList<QUrl> urls;
    for (const QString &string : strings) {
        const QUrl url(string, QUrl::StrictMode);
        if (url.isValid() && !url.isEmpty())
            urls.append(url);
    }
    return urls;
}
