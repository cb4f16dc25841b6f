#pragma once

#include "framework/byteparts.h"
#include "framework/contentdigest.h"
#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/posixfile.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Writes files so that a crash, a full disk or a failing device never leaves a note half-written.
// Every failure throws an Error naming the file and the cause; the old content then stays as it was.
class InterruptedSaveLog;

class DurableWriter
{
public:
    // What a note's last save wrote (or the file its text was read from), kept by its writer for the next save: one
    // whose text begins with the same parts has that start copied from this file inside the kernel, and its blocks'
    // hashes taken from then, instead of writing and hashing it again from memory.
    struct LastWritten
    {
        // Our own descriptor of that file. It need not be at the note's path any more: only its bytes are read.
        PosixFile::Descriptor file;
        // The file as it was right after the save or the read. Once it is anything else, it is not read from.
        FileIdentity identity;
        // The parts written, sharing memory with the text they came from, which copies a part before changing it
        // while this holds it: a part still shared is unchanged.
        ByteParts bytes;
        std::vector<ContentDigest::BlockHash> blocks;

        // The parts of bytes the text still holds, which can be found in it again; parts made for one save alone
        // (text still coming in, other line endings) are not kept beyond it, and end them.
        static ByteParts sharedStart(const ByteParts &bytes);
    };

    struct Options
    {
        // A symbolic link at path stays a link and its target receives the data. Without it, a link at path is
        // replaced by the file itself and whatever it points to is never written.
        bool followLinks = true;
        // The permission bits of a file that does not exist yet; the default follows the umask.
        int newFileMode = -1;
        // Notes a rewrite in place while it is under way, so that the next launch repairs one a kill cut short.
        InterruptedSaveLog *interruptedSaves = nullptr;
        // With guarded: the version of the file the caller knows, or (when it does not exist) that no file is
        // expected at the path. Another version found there right before the new text goes in (a sync engine
        // renamed its own into place meanwhile) is left as it is, and OtherVersion is thrown.
        bool guarded = false;
        FileIdentity expected;
        // Given the bytes as they go in, each part while it is still in the cache.
        ContentDigest *digest = nullptr;
        // With digest: the note's last save, taken from for this one and then replaced with it (emptied when
        // this one fails or is written in place).
        LastWritten *lastWritten = nullptr;
    };
    // Another version than the one expected is at the path. Nothing was written; or, when another program renamed
    // its version in during the very swap and it could not be swapped back, ours is in place and theirs was left at
    // theirsAt, a hidden name beside the note, for the caller to give a name the user sees.
    struct OtherVersion
    {
        QString theirsAt;
    };

    // Replaces the whole content of the file at path with data, all or nothing, and makes it durable
    // (file and folder synced). A symbolic link stays a link and its target receives the data; the
    // target's permission bits, owner, group and extended attributes are kept where the process may set them.
    // A file with other hard links is rewritten in place (InPlaceSave), so every name shows the new text.
    // Temporaries that an earlier, killed save left beside the note are removed after the first successful save of
    // the note in this process, and after the first one that follows a failure.
    // Returns the file as it is once the data is in, told by the descriptor written.
    static FileIdentity replace(const QString &path, const ByteParts &data, const Options &options);
    static FileIdentity replace(const QString &path, const ByteParts &data) { return replace(path, data, Options()); }

    // Why a copy could not be made beside the note at path, from the errno of the attempt.
    static Error folderError(int code, const QString &path);

    // True for the hidden names of the temporary copies and backups a save writes beside a note
    // (".<note>.nolt-<random>.tmp").
    static bool isTemporaryName(const QString &fileName);

    // Creates an empty file at path only if nothing exists there (a dangling link counts as something),
    // then syncs the folder. Throws Error (code EEXIST when something is there); no file is left on failure.
    static void createNew(const QString &path);

    // Follows symbolic links from path to the file they finally name (which need not exist yet).
    // Throws ELOOP for a loop or a chain longer than the system allows.
    static QString resolveLinks(const QString &path);
};
