#include "document.h"

#include "framework/durablewriter.h"
#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDateTime>

#include <sys/stat.h>

Document::Decoder Document::decoder(const QString &typeName) const
{
    Q_UNUSED(typeName);
    return [](const QByteArray &bytes) {
        return std::any(bytes);
    };
}

void Document::takeDecoded(std::any &&content, const QString &typeName)
{
    read(std::any_cast<const QByteArray &>(content), typeName);
}

Document::LoadedFile Document::load(const QUrl &url, const Decoder &decoder, bool restore)
{
    LoadedFile loaded;
    loaded.url = url;
    const QString path = FileNames::pathOfUrl(url);
    try {
        // An in-place rewrite killed midway left the file cut short; its old text comes back before anything
        // reads it.
        if (restore)
            loaded.repair = InPlaceSave::repair(path);
        const long long startNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
        struct stat version
        {};
        const QByteArray bytes = PosixFile::readWholeFile(path, &version);
        loaded.digest = FileChangeTracker::digestOf(bytes);
        // Another program that replaces or rewrites the file while it is read makes it another version than the
        // one read: the document then takes it for a change on disk, never for its own text.
        loaded.identity = FileIdentity::of(version);
        if (version.st_ino == 0)
            loaded.identity = {true, 0, 0, -1, 0, 0};
        loaded.compareBeforeWrite = FileChangeTracker::changedLately(loaded.identity, startNs);
        try {
            loaded.content = decoder(bytes);
        } catch (const Error &error) {
            loaded.refusal = error;
        }
    } catch (const Error &error) {
        loaded.readFailure = error;
    }
    return loaded;
}

void Document::takeLoaded(LoadedFile &&loaded, const QString &typeName)
{
    if (loaded.readFailure)
        throw *loaded.readFailure;
    if (loaded.refusal)
        throw readError(*loaded.refusal, loaded.url);
    try {
        takeDecoded(std::move(loaded.content), typeName);
    } catch (const Error &error) {
        throw readError(error, loaded.url);
    }
    // Read before the file is ours (opening): the tracker learns it once it watches the file.
    if (loaded.url == m_fileUrl) {
        m_tracker->noteContentDigest(loaded.digest);
        m_tracker->noteReadVersion(loaded.identity, loaded.compareBeforeWrite);
    } else {
        m_interruptedSave = loaded.repair;
        m_readVersion = {loaded.url, loaded.digest, loaded.identity, loaded.compareBeforeWrite};
    }
}

void Document::readFromUrl(const QUrl &url, const QString &typeName)
{
    takeLoaded(load(url, decoder(typeName), url != m_fileUrl), typeName);
}
