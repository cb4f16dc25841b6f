#pragma once

#include "framework/document.h"
#include "framework/filenames.h"
#include "editor/window/windowcontroller.h"
#include "support/testnotes.h"
#include "support/testsupport.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// The least note: its text is the file's bytes, and it refuses files that begin with "REFUSE".
class BytesDocument : public Document
{
    Q_OBJECT

public:
    explicit BytesDocument(const NoteServices *services = &TestNotes::services())
        : Document(services)
    {}
    LoadedFile::Decoder decoder() const override
    {
        return [](const QByteArray &data, const QUrl &) {
            if (data.startsWith("REFUSE"))
                throw Error(QStringLiteral("NSCocoaErrorDomain"), 261,
                            QStringLiteral("This file is not UTF-8 plain text."));
            return QString::fromLatin1(data);
        };
    }
    void edit(const QByteArray &newBytes)
    {
        bytes = newBytes;
        updateChangeCount(ChangeType::Done);
    }

    QByteArray bytes;

protected:
    void takeText(QString &&text) override { bytes = text.toLatin1(); }
    std::function<ByteParts()> dataTask() const override
    {
        return [data = bytes] {
            return data;
        };
    }
};

// A note file in a folder of its own, open in a BytesDocument with one window.
struct OpenNote
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("note.txt"));
    BytesDocument *document = new BytesDocument;
    WindowController *controller = nullptr;

    // At a path of its own when one is given; the content is written unless empty.
    explicit OpenNote(const QByteArray &content, const QString &at = {}, mode_t mode = 0644)
    {
        if (!at.isEmpty())
            path = at;
        if (!content.isEmpty()) {
            TestSupport::writeBytes(path, content);
            ::chmod(FileNames::encodeName(path).constData(), mode);
        }
        if (QFileInfo::exists(path)) // else a new note, as one named on the command line
            TestNotes::read(*document, FileNames::urlOfPath(path));
        document->setFileUrl(FileNames::urlOfPath(path));
        controller = new WindowController(new QWidget);
        controller->setDocument(document);
    }
    ~OpenNote() { delete document; }

    // Saves as a pause in typing does and waits for the result.
    std::optional<Error> autosave()
    {
        bool done = false;
        std::optional<Error> result;
        document->autosave([&](const std::optional<Error> &error) {
            done = true;
            result = error;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            return Error(QStringLiteral("Test"), 0, QStringLiteral("autosave never finished"));
        return result;
    }
};
