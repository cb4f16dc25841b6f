#pragma once

#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/inplacesave.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class InterruptedSaveLog;

// A note's file read and decoded off the window's thread, waiting for its note to take it.
struct LoadedFile
{
    // Turns the bytes of the file at url into the note's text; throws Error, naming the file, when it refuses them.
    // Runs on any thread.
    using Decoder = std::function<QString(const QByteArray &bytes, const QUrl &url)>;

    QUrl url;
    InPlaceSave::Repair repair;
    QByteArray digest;
    // The version read (none when the file kept changing while it was read), and whether a change within the same
    // tick of the file system's clock could have passed unseen, so that its content is compared before the first
    // write.
    FileIdentity identity;
    bool compareBeforeWrite = false;
    // A long file's version read, still open, with its digest's block hashes (no bytes yet): the note's first save
    // copies from it the start its text still holds, once the text shown is known to be these bytes.
    std::shared_ptr<DurableWriter::LastWritten> version;
    QString text;
    // The file could not be read, or the decoder refused its bytes.
    std::optional<Error> readFailure;
    std::optional<Error> refusal;

    // Safe on any thread. With restore (opening), an in-place save of the file that a kill cut short is repaired
    // first; log tells what the launch's repair did to it.
    static LoadedFile read(const QUrl &url, const Decoder &decoder, bool restore, InterruptedSaveLog *log = nullptr);
};
