#pragma once

#include <QString>

#include <functional>
#include <optional>

class Document;

// Every question a document puts to its user goes through here. By default the document's first window asks with a
// small dialog; tests and other front ends replace an answer without a dialog.
class DocumentAsker
{
public:
    enum class Conflict
    {
        KeepMine,
        UseDisk
    };
    using ConflictResolver = std::function<Conflict(Document *document)>;
    using Asker = std::function<std::optional<QString>(Document *document)>;

    static void setConflictResolver(ConflictResolver resolver);
    static void setFileNameAsker(Asker asker);
    static void setFolderAsker(Asker asker);

    // Which version to keep when the file changed on disk while the document has unsaved edits.
    static Conflict whichVersion(Document *document);
    // A new file name (rename) or a destination folder (move); none when the user cancels.
    static std::optional<QString> newFileName(Document *document);
    static std::optional<QString> destinationFolder(Document *document);
};
