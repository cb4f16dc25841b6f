#include "document.h"

#include "framework/durablewriter.h"
#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

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
            loaded.restoredInterruptedSave = DurableWriter::restoreInterruptedSave(path);
        const QByteArray bytes = PosixFile::readWholeFile(path);
        loaded.digest = FileChangeTracker::digestOf(bytes);
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
    } else {
        m_restoredInterruptedSave = loaded.restoredInterruptedSave;
        m_readDigest = {loaded.url, loaded.digest};
    }
}

void Document::readFromUrl(const QUrl &url, const QString &typeName)
{
    takeLoaded(load(url, decoder(typeName), url != m_fileUrl), typeName);
}
