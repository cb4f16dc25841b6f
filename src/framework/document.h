#pragma once

#include "framework/error.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class WindowController;

// One open file: its location, whether it has unsaved changes, its windows, and reading and writing it.
// Subclasses say how bytes become their content (read) and back (data). Knows nothing of notes.
class Document : public QObject
{
    Q_OBJECT

public:
    enum class ChangeType { Done, Cleared, Undone, Redone };
    enum class SaveOperation { Save = 0, SaveAs = 1, SaveTo = 2, Autosave = 3 };
    using Completion = std::function<void(const std::optional<Error> &)>;

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    QUrl fileUrl() const;
    void setFileUrl(const QUrl &url);
    QString fileType() const;
    void setFileType(const QString &typeName);
    // The file name, or "Untitled" without a file.
    QString displayName() const;

    void updateChangeCount(ChangeType change);
    bool isDocumentEdited() const;

    // The document owns its window controllers, in the order they were added.
    void addWindowController(WindowController *controller);
    QList<WindowController *> windowControllers() const;
    virtual void makeWindowControllers();
    void showWindows();

    // Throws Error. read() must change nothing when it throws.
    virtual void read(const QByteArray &data, const QString &typeName) = 0;
    virtual QByteArray data(const QString &typeName) const = 0;
    // Reads the file at url through read(); throws the file error or read()'s error.
    void readFromUrl(const QUrl &url, const QString &typeName);

    // Writes data(typeName) to url with the durable all-or-nothing writer. Throws Error.
    void writeSafely(const QUrl &url, const QString &typeName, SaveOperation operation);
    // Documents that autosave in place write straight into their own file.
    virtual bool autosavesInPlace() const { return false; }
    // Writes the document (in place when it autosaves in place), then calls completion with the error or none.
    void autosave(bool implicitlyCancellable, const Completion &completion);

    // Writes an edited document before its last window closes or the app quits. False when the write failed;
    // the error has then been presented and the document must stay open.
    bool prepareToClose();
    // Closes all windows and lets the document go.
    void close();

Q_SIGNALS:
    void fileUrlChanged(const QUrl &url);
    void documentEditedChanged(bool edited);
    void closed();
};
