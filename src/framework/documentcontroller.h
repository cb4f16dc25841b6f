#pragma once

#include "framework/error.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class Document;

// The one controller of all open documents: opening by URL, the current document, recent files, autosaving,
// and writing every edited document before the app quits.
class DocumentController : public QObject
{
    Q_OBJECT

public:
    using OpenCompletion = std::function<void(Document *document, bool alreadyOpen, const std::optional<Error> &)>;
    // Makes a document of a class named in the app information file (for example "PlainTextDocument").
    using DocumentFactory = std::function<Document *(const QString &className)>;

    static DocumentController &shared();

    void setDocumentFactory(DocumentFactory factory);

    // An open URL brings its window forward; otherwise the document is made, read, given its windows and shown.
    void openDocument(const QUrl &url, bool display, const OpenCompletion &completion);
    QList<Document *> documents() const;
    Document *documentForUrl(const QUrl &url) const;
    // The document of the active window, or none.
    Document *currentDocument() const;

    QList<QUrl> recentDocumentUrls() const;
    void noteNewRecentDocumentUrl(const QUrl &url);

    double autosavingDelay() const;
    void setAutosavingDelay(double seconds);

    // Writes every edited document; false when one could not be written (its error was presented).
    bool reviewUnsavedDocumentsBeforeQuit();

public Q_SLOTS:
    void clearRecentDocuments(QObject *sender);
};
