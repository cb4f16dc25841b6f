#pragma once

#include "framework/noteservices.h"
#include "framework/error.h"
#include "framework/inplacesave.h"
#include "editor/commands/commandresponder.h"
#include "editor/messages/messagebar.h"
#include "editor/messages/notemessages.h"

#include <QMap>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class Document;
class QMenuBar;
class QWidget;

// Owns one top-level window and ties it to its document: title, closing, error presentation.
class WindowController : public QObject, public CommandTable<WindowController>, public NoteMessages
{
    Q_OBJECT

public:
    // Takes ownership of window.
    explicit WindowController(QWidget *window, QObject *parent = nullptr);
    ~WindowController() override;

    QWidget *window() const;
    Document *document() const;
    // Ties this controller to its note, which owns it from now on.
    void setDocument(Document *document);
    // The windows of a note, in the order they were made.
    static QList<WindowController *> of(const Document *document);

    // The title shown for the document's display name; keeps the window title in step with the document.
    virtual QString windowTitle(const QString &documentDisplayName) const;
    void synchronizeWindowTitleWithDocumentName();

    void showWindow();
    // The window shows before its note is read, titled with the file's name; what the user does meanwhile waits
    // for the note, which setDocument() brings.
    virtual void awaitDocument(const QString &fileName);
    // Puts the app's menu bar at the top of the window (each window on Linux carries its own).
    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const;
    // Messages about the document go to a bar above the window's content, one of each kind at a time; a newer one
    // replaces the older. They never stop the user typing.
    void showMessage(MessageKind kind, const QString &text, const QList<MessageBar::Button> &buttons = {},
                     bool closable = false) override;
    void dismissMessage(MessageKind kind) override;
    MessageBar *message(MessageKind kind) const;
    // An error about the document, in the bar.
    void presentError(const Error &error, MessageKind kind = MessageKind::Error);
    // A failed save, with "Save As…" and "Try Again"; it goes when a save succeeds.
    void presentSaveFailure(const Error &error);

    // The controller that owns window (or the window a widget lives in), or none.
    static WindowController *forWindow(const QWidget *widget);

Q_SIGNALS:
    // After an error was shown for this window.
    void errorPresented(const Error &error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

    // The window's commands (Close, Minimize, Zoom) and its note's (Save, Rename, Move To).
    std::span<const Row> commandRows() const override;

public:
    bool presentFailure(const Error &error) override;

private:
    void showReadOnly(bool readOnly);
    // The note's file was deleted or trashed (trashedAt) by another program: the bar says so and offers the ways on.
    void showGone(const QString &trashedAt);
    void showInterruptedSave(const InPlaceSave::Repair &repair);
    void focusChanged(QWidget *old, QWidget *now);

    std::unique_ptr<QWidget> m_window;
    QPointer<Document> m_document;
    QPointer<QWidget> m_messageArea;
    QMap<MessageKind, QPointer<MessageBar>> m_messages;
    // Where typing went last, so that answering the bar from the keyboard gives the focus back there.
    QPointer<QWidget> m_contentFocus;
};
