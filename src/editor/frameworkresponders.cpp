#include "editor/frameworkresponders.h"

#include "framework/document.h"
#include "framework/documentcontroller.h"
#include "framework/windowcontroller.h"

WindowCommands::WindowCommands(WindowController *controller)
    : m_controller(controller)
{}

bool WindowCommands::answers(Command command) const
{
    return (command == Command::Close || command == Command::Minimize || command == Command::Zoom);
}

void WindowCommands::perform(Command command, const QVariant &)
{
    if (!m_controller)
        return;
    switch (command) {
    case Command::Close:
        m_controller->performClose(nullptr);
        break;
    case Command::Minimize:
        m_controller->performMiniaturize(nullptr);
        break;
    case Command::Zoom:
        m_controller->performZoom(nullptr);
        break;
    default:
        break;
    }
}

DocumentCommands::DocumentCommands(Document *document)
    : m_document(document)
{}

bool DocumentCommands::answers(Command command) const
{
    return (command == Command::Save || command == Command::Rename || command == Command::MoveTo);
}

void DocumentCommands::perform(Command command, const QVariant &)
{
    if (!m_document)
        return;
    switch (command) {
    case Command::Save:
        m_document->saveDocument(nullptr);
        break;
    case Command::Rename:
        m_document->renameDocument(nullptr);
        break;
    case Command::MoveTo:
        m_document->moveDocument(nullptr);
        break;
    default:
        break;
    }
}

RecentDocumentsCommands::RecentDocumentsCommands(DocumentController *controller)
    : m_controller(controller)
{}

bool RecentDocumentsCommands::answers(Command command) const
{
    return command == Command::ClearRecent;
}

void RecentDocumentsCommands::perform(Command command, const QVariant &)
{
    if (m_controller && command == Command::ClearRecent)
        m_controller->clearRecentDocuments(nullptr);
}
