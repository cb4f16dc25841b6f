#include "documentasker.h"

#include "framework/document.h"
#include "framework/windowcontroller.h"

#include <QFileInfo>

namespace {

DocumentAsker::ConflictResolver &conflictResolver()
{
    static DocumentAsker::ConflictResolver resolver;
    return resolver;
}

DocumentAsker::Asker &fileNameAsker()
{
    static DocumentAsker::Asker asker;
    return asker;
}

DocumentAsker::Asker &folderAsker()
{
    static DocumentAsker::Asker asker;
    return asker;
}

// A document without a window has nowhere to ask; the menu reaches documents only through their windows anyway.
WindowController *firstController(Document *document)
{
    return document->windowControllers().isEmpty() ? nullptr : document->windowControllers().constFirst();
}

} // namespace

void DocumentAsker::setConflictResolver(ConflictResolver resolver)
{
    conflictResolver() = std::move(resolver);
}

void DocumentAsker::setFileNameAsker(Asker asker)
{
    fileNameAsker() = std::move(asker);
}

void DocumentAsker::setFolderAsker(Asker asker)
{
    folderAsker() = std::move(asker);
}

DocumentAsker::Conflict DocumentAsker::whichVersion(Document *document)
{
    if (const ConflictResolver &resolver = conflictResolver())
        return resolver(document);
    // Without a window the text held here is all the user last saw of it: it is kept, as the dialog's default.
    WindowController *controller = firstController(document);
    return !controller || controller->askToKeepOwnVersion(document->displayName()) ? Conflict::KeepMine
                                                                                   : Conflict::UseDisk;
}

std::optional<QString> DocumentAsker::newFileName(Document *document)
{
    if (const Asker &asker = fileNameAsker())
        return asker(document);
    if (WindowController *controller = firstController(document))
        return controller->askForFileName(document->displayName());
    return std::nullopt;
}

std::optional<QString> DocumentAsker::destinationFolder(Document *document)
{
    if (const Asker &asker = folderAsker())
        return asker(document);
    if (WindowController *controller = firstController(document))
        return controller->askForFolder(QFileInfo(document->fileUrl().toLocalFile()).absolutePath());
    return std::nullopt;
}
