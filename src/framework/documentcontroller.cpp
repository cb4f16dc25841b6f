#include "documentcontroller.h"

#include "framework/document.h"
#include "framework/filenames.h"
#include "framework/interruptedsavelog.h"
#include "framework/windowcontroller.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QSettings>
#include <QThreadPool>
#include <QWidget>

#include <memory>

namespace {

std::unique_ptr<QSettings> openSettings(const QString &file)
{
    if (file.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
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

} // namespace

struct DocumentController::PendingOpen
{
    QUrl url;
    QString identity;
    QString typeName;
    bool display = false;
    Document *document = nullptr;
    QList<OpenCompletion> completions;
    Document::LoadedFile loaded;
};

DocumentController &DocumentController::shared()
{
    static DocumentController *controller = new DocumentController(QString(), QCoreApplication::instance());
    return *controller;
}

DocumentController::DocumentController(const QString &settingsFile, QObject *parent)
    : QObject(parent)
    , m_settingsFile(settingsFile)
    , m_factory([this](const QString &className) -> Document * {
        for (const QMetaObject *documentClass : std::as_const(m_classes)) {
            if (QLatin1String(documentClass->className()) == className)
                return qobject_cast<Document *>(documentClass->newInstance(Q_ARG(QObject *, nullptr)));
        }
        return nullptr;
    })
    , m_reader(new QThreadPool(this))
{
    m_reader->setMaxThreadCount(1);
}

DocumentController::~DocumentController()
{
    // Reads in flight post their results to this object: they end before it goes.
    m_reader->clear();
    m_reader->waitForDone();
}

void DocumentController::setDocumentFactory(DocumentFactory factory)
{
    m_factory = std::move(factory);
}

void DocumentController::registerDocumentClass(const QMetaObject &documentClass)
{
    m_classes.append(&documentClass);
}

void DocumentController::setDocumentTypes(const QList<DocumentType> &types)
{
    m_types = types;
}

QList<DocumentController::DocumentType> DocumentController::documentTypesFromInfo(const QByteArray &infoJson)
{
    QList<DocumentType> types;
    const QJsonArray entries =
        QJsonDocument::fromJson(infoJson).object().value(QStringLiteral("DocumentTypes")).toArray();
    for (const QJsonValue &entry : entries) {
        const QJsonObject object = entry.toObject();
        DocumentType type;
        type.typeName = object.value(QStringLiteral("TypeName")).toString();
        type.className = object.value(QStringLiteral("DocumentClass")).toString();
        const QJsonArray mimeTypes = object.value(QStringLiteral("MimeTypes")).toArray();
        for (const QJsonValue &mime : mimeTypes)
            type.mimeTypes.append(mime.toString());
        if (!type.typeName.isEmpty() && !type.className.isEmpty())
            types.append(type);
    }
    return types;
}

void DocumentController::openDocument(const QUrl &url, bool display, const OpenCompletion &completion)
{
    if (Document *open = documentForUrl(url)) {
        if (display)
            open->showWindows();
        noteNewRecentDocumentUrl(open->fileUrl());
        if (completion)
            completion(open, true, std::nullopt);
        return;
    }
    const auto fail = [&completion](const Error &error) {
        if (completion)
            completion(nullptr, false, error);
    };
    const QString path = FileNames::pathOfUrl(url);
    if (path.isEmpty()) {
        // A bare "file:" or a remote address names no file to read: say which address it was.
        fail(Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadUnknown,
                   tr("Could not open “%1”: it does not name a file on this computer.").arg(url.toString())));
        return;
    }
    const QString identity = identityOf(url);
    for (const std::shared_ptr<PendingOpen> &pending : std::as_const(m_pending)) {
        if (pending->identity == identity) {
            pending->display = pending->display || display;
            pending->completions.append(completion);
            return;
        }
    }
    const std::optional<DocumentType> type = typeFor(url);
    Document *document = type && m_factory ? m_factory(type->className) : nullptr;
    if (!document) {
        fail(Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadUnknown,
                   tr("The document “%1” could not be opened: %2 cannot open files of this kind.")
                       .arg(QFileInfo(path).fileName(), QGuiApplication::applicationDisplayName())));
        return;
    }
    document->setParent(this);
    auto pending = std::make_shared<PendingOpen>(PendingOpen{url, identity, type->typeName, display, document, {}, {}});
    pending->completions.append(completion);
    m_pending.append(pending);
    // One reader thread: files come back in the order they were asked for, and one big file is read at a time.
    m_reader->start([this, pending, decoder = document->decoder(type->typeName)] {
        pending->loaded = Document::load(pending->url, decoder, true);
        QMetaObject::invokeMethod(
            this, [this, pending] { finishOpen(pending); }, Qt::QueuedConnection);
    });
}

void DocumentController::repairInterruptedSaves()
{
    m_reader->start([] { InterruptedSaveLog::repairAll(); });
}

void DocumentController::finishOpen(const std::shared_ptr<PendingOpen> &pending)
{
    m_pending.removeOne(pending);
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
    try {
        // Meanwhile another document may have come to stand for the file (saved or renamed to it).
        if (Document *open = documentForUrl(url)) {
            if (pending->display)
                open->showWindows();
            complete(open, true, std::nullopt);
        } else {
            document->takeLoaded(std::move(pending->loaded), pending->typeName);
            adopt(document.release(), url, pending->typeName, pending->display);
            complete(pending->document, false, std::nullopt);
        }
    } catch (const Error &error) {
        complete(nullptr, false, error);
    }
    if (m_pending.isEmpty())
        Q_EMIT opensFinished();
}

void DocumentController::adopt(Document *document, const QUrl &url, const QString &typeName, bool display)
{
    document->setFileUrl(url);
    document->setFileType(typeName);
    m_documents.append(document);
    connect(document, &Document::closed, this, [this, document] { forget(document); });
    // A renamed or moved note is listed under its new place only; the old entry would open nothing.
    connect(document, &Document::fileMoved, this, [this](const QUrl &from, const QUrl &to) {
        removeRecentDocumentUrl(from);
        noteNewRecentDocumentUrl(to);
    });
    noteNewRecentDocumentUrl(url);
    document->makeWindowControllers();
    Q_EMIT windowControllersMade(document);
    if (display)
        document->showWindows();
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
    return readUrlList(recentDocumentsKey);
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
    writeUrlList(recentDocumentsKey, recent);
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
    writeUrlList(recentDocumentsKey, recent);
    Q_EMIT recentDocumentsChanged();
}

void DocumentController::clearRecentDocuments(QObject *)
{
    writeUrlList(recentDocumentsKey, {});
    Q_EMIT recentDocumentsChanged();
}

bool DocumentController::reviewUnsavedDocumentsBeforeQuit(QuitReview review)
{
    const QList<Document *> open = documents();
    for (Document *document : open) {
        if (review == QuitReview::KeepForRecovery)
            document->letGoUnsaved();
        else if (!document->shouldClose())
            return false;
    }
    QList<QUrl> urls;
    for (Document *document : open) {
        if (!document->fileUrl().isEmpty())
            urls.append(document->fileUrl());
    }
    // A note still being read was asked for: it comes back too.
    for (const std::shared_ptr<PendingOpen> &pending : std::as_const(m_pending))
        urls.append(pending->url);
    writeUrlList(openDocumentsKey, urls);
    return true;
}

QList<QUrl> DocumentController::takeRememberedDocumentUrls()
{
    QList<QUrl> urls = readUrlList(openDocumentsKey);
    writeUrlList(openDocumentsKey, {});
    // A note deleted since the last quit is simply not reopened; nobody asked for it this time.
    urls.removeIf([](const QUrl &url) { return !url.isLocalFile() || !FileNames::exists(FileNames::pathOfUrl(url)); });
    return urls;
}

std::optional<DocumentController::DocumentType> DocumentController::typeFor(const QUrl &url) const
{
    if (m_types.isEmpty())
        return std::nullopt;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(FileNames::pathOfUrl(url));
    for (const DocumentType &type : m_types) {
        for (const QString &name : type.mimeTypes) {
            if (mime.inherits(name))
                return type;
        }
    }
    return m_types.first();
}

void DocumentController::forget(Document *document)
{
    m_documents.removeAll(document);
    m_documents.removeAll(nullptr);
    document->deleteLater();
}

void DocumentController::writeUrlList(const char *key, const QList<QUrl> &urls)
{
    QStringList strings;
    for (const QUrl &url : urls)
        strings.append(url.toString(QUrl::FullyEncoded));
    auto settings = openSettings(m_settingsFile);
    settings->setValue(QLatin1String(key), strings);
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
