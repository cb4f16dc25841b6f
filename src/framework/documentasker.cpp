#include "documentasker.h"

#include "framework/document.h"
#include "framework/filenames.h"
#include "framework/windowcontroller.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace {

DocumentAsker::ConflictResolver &conflictResolver()
{
    static DocumentAsker::ConflictResolver resolver;
    return resolver;
}

DocumentAsker::UnsavedResolver &unsavedResolver()
{
    static DocumentAsker::UnsavedResolver resolver;
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

DocumentAsker::Asker &saveAsAsker()
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

void DocumentAsker::setUnsavedResolver(UnsavedResolver resolver)
{
    unsavedResolver() = std::move(resolver);
}

void DocumentAsker::setFileNameAsker(Asker asker)
{
    fileNameAsker() = std::move(asker);
}

void DocumentAsker::setFolderAsker(Asker asker)
{
    folderAsker() = std::move(asker);
}

void DocumentAsker::setSaveAsAsker(Asker asker)
{
    saveAsAsker() = std::move(asker);
}

void DocumentAsker::whichVersion(Document *document, const std::function<void(Conflict)> &answer)
{
    WindowController *controller = firstController(document);
    if (!conflictResolver() && controller) {
        controller->askWhichVersion([target = QPointer<Document>(document), answer](bool keepMine) {
            if (target)
                answer(keepMine ? Conflict::KeepMine : Conflict::UseDisk);
        });
        return;
    }
    // Without a window the text held here is all the user last saw of it: it is kept. Either way the answer comes
    // from the event loop, as the user's would.
    const Conflict given = conflictResolver() ? conflictResolver()(document) : Conflict::KeepMine;
    QTimer::singleShot(0, document, [answer, given] { answer(given); });
}

DocumentAsker::UnsavedChoice DocumentAsker::closeUnsaved(Document *document, const Error &reason)
{
    if (const UnsavedResolver &resolver = unsavedResolver())
        return resolver(document, reason);
    if (WindowController *controller = firstController(document))
        return controller->askToCloseUnsaved(reason);
    return UnsavedChoice::CloseWithoutSaving;
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
        return controller->askForFolder(QFileInfo(FileNames::pathOfUrl(document->fileUrl())).absolutePath());
    return std::nullopt;
}

std::optional<QString> DocumentAsker::saveAsPath(Document *document)
{
    if (const Asker &asker = saveAsAsker())
        return asker(document);
    if (WindowController *controller = firstController(document))
        return controller->askForSaveAsPath(FileNames::pathOfUrl(document->fileUrl()));
    return std::nullopt;
}
