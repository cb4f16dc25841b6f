#pragma once

#include "framework/error.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class Document;
class QMenuBar;
class QWidget;

// Owns one top-level window and ties it to its document: title, closing, error presentation.
class WindowController : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of window.
    explicit WindowController(QWidget *window, QObject *parent = nullptr);
    ~WindowController() override;

    QWidget *window() const;
    Document *document() const;
    // Called by Document::addWindowController.
    void setDocument(Document *document);

    // The title shown for the document's display name; keeps the window title in step with the document.
    virtual QString windowTitle(const QString &documentDisplayName) const;
    void synchronizeWindowTitleWithDocumentName();

    void showWindow();
    // Puts the app's menu bar at the top of the window (each window on Linux carries its own).
    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const;
    // The standard error message box for this window.
    void presentError(const Error &error);
    // Small dialogs over this window for renaming and moving the document's file; none when the user cancels.
    std::optional<QString> askForFileName(const QString &currentName);
    std::optional<QString> askForFolder(const QString &currentFolder);
    // Asks which version to keep after another program changed the file of an edited document: true for the
    // window's own text, false for the version on disk.
    bool askToKeepOwnVersion(const QString &documentDisplayName);
    // The document changed without an edit in this window (its file went away) and wants writing as an edit would;
    // a window that saves its own edits schedules it with them. Nothing by default.
    virtual void scheduleSave() {}

    // The controller that owns window (or the window a widget lives in), or none.
    static WindowController *forWindow(const QWidget *widget);

Q_SIGNALS:
    // After an error was shown for this window (the box is window-modal and does not block).
    void errorPresented(const Error &error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public Q_SLOTS:
    // Menu actions the window answers.
    void performClose(QObject *sender);
    void performMiniaturize(QObject *sender);
    void performZoom(QObject *sender);

private:
    std::unique_ptr<QWidget> m_window;
    QPointer<Document> m_document;
};
