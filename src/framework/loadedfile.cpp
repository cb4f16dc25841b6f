#include "loadedfile.h"

#include "framework/contentdigest.h"
#include "framework/notefile.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDateTime>

#include <sys/stat.h>

LoadedFile LoadedFile::read(const QUrl &url, const Decoder &decoder, bool restore, InterruptedSaveLog *log)
{
    LoadedFile loaded;
    loaded.url = url;
    const QString path = FileNames::pathOfUrl(url);
    try {
        // An in-place rewrite killed midway left the file cut short; its old text comes back before anything reads
        // it.
        if (restore)
            loaded.repair = InPlaceSave::repair(path, log);
        const long long startNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
        struct stat version
        {};
        PosixFile::Descriptor file;
        const QByteArray bytes = PosixFile::readWholeFile(path, &version, &file);
        ContentDigest digest;
        digest.add(bytes);
        loaded.digest = digest.result();
        // Another program that replaces or rewrites the file while it is read makes it another version than the one
        // read: the note then takes it for a change on disk, never for its own text.
        // A file that kept changing while it was read has no steady version: nothing at the path matches it.
        loaded.identity = version.st_ino == 0 ? FileIdentity{true, 0, 0, -1, 0, 0} : FileIdentity::of(version);
        if (file.get() >= 0 && !digest.blocks().empty())
            loaded.version = std::make_shared<DurableWriter::LastWritten>(
                DurableWriter::LastWritten{std::move(file), loaded.identity, {}, digest.blocks()});
        loaded.compareBeforeWrite = NoteFile::changedLately(loaded.identity, startNs);
        try {
            loaded.text = decoder(bytes, url);
        } catch (const Error &error) {
            loaded.refusal = error;
        }
    } catch (const Error &error) {
        loaded.readFailure = error;
    }
    return loaded;
}
