#pragma once

#include "editor/commandresponder.h"

#include <QPointer>

class Document;
class DocumentController;
class WindowController;

// The commands that the window controller, the document and the document controller carry out, answered by calling
// their public functions. Three tiny adapters in one place, until those classes answer commands themselves.

// Close, Minimize and Zoom for one window.
class WindowCommands : public CommandResponder
{
public:
    explicit WindowCommands(WindowController *controller);
    bool answers(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

private:
    QPointer<WindowController> m_controller;
};

// Save, Rename and Move To for the note of a window.
class DocumentCommands : public CommandResponder
{
public:
    explicit DocumentCommands(Document *document);
    bool answers(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

private:
    QPointer<Document> m_document;
};

// Clear Menu of Open Recent.
class RecentDocumentsCommands : public CommandResponder
{
public:
    explicit RecentDocumentsCommands(DocumentController *controller);
    bool answers(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

private:
    QPointer<DocumentController> m_controller;
};
