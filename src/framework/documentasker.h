#pragma once

#include "framework/error.h"

#include <QString>

#include <functional>
#include <optional>

class Document;

// What a window tells about its document, one message of each kind at a time: a newer one replaces the older.
enum class MessageKind
{
    Conflict,
    ReadOnly,
    SaveFailed,
    FileChanged,
    Restored,
    // Where the text that could not be saved is kept, when not in the usual place, or that it cannot be kept.
    Recovery,
    Error
};

// Every question a document puts to its user goes through here. By default the document's first window asks: in
// its message bar when the question comes unasked, in a dialog when it answers a command the user gave. Tests and
// other front ends replace an answer without either.
class DocumentAsker
{
public:
    enum class Conflict
    {
        KeepMine,
        UseDisk
    };
    enum class UnsavedChoice
    {
        SaveAs,
        CloseWithoutSaving,
        Cancel
    };
    using ConflictResolver = std::function<Conflict(Document *document)>;
    using UnsavedResolver = std::function<UnsavedChoice(Document *document, const Error &reason)>;
    using Asker = std::function<std::optional<QString>(Document *document)>;

    static void setConflictResolver(ConflictResolver resolver);
    static void setUnsavedResolver(UnsavedResolver resolver);
    static void setFileNameAsker(Asker asker);
    static void setFolderAsker(Asker asker);
    static void setSaveAsAsker(Asker asker);

    // Which version to keep when the file changed on disk while the document has unsaved edits. The question waits
    // for the user without stopping them; answer is called later, on the document's thread, unless the document
    // went away first.
    static void whichVersion(Document *document, const std::function<void(Conflict)> &answer);
    // What to do with an edited document that cannot be written when the user closes it or quits.
    static UnsavedChoice closeUnsaved(Document *document, const Error &reason);
    // A new file name (rename), a destination folder (move) or a new path (save as); none when the user cancels.
    static std::optional<QString> newFileName(Document *document);
    static std::optional<QString> destinationFolder(Document *document);
    static std::optional<QString> saveAsPath(Document *document);
};
