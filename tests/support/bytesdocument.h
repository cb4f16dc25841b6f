#pragma once

#include "framework/document.h"
#include "framework/filenames.h"
#include "framework/windowcontroller.h"
#include "support/testsupport.h"

#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

// The least document: its content is the file's bytes, and it refuses files that begin with "REFUSE".
class BytesDocument : public Document
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit BytesDocument(QObject *parent = nullptr)
        : Document(parent)
    {}
    void read(const QByteArray &data, const QString &) override
    {
        if (data.startsWith("REFUSE"))
            throw Error(QStringLiteral("NSCocoaErrorDomain"), 261,
                        QStringLiteral("This file is not UTF-8 plain text."));
        bytes = data;
        ++reads;
    }
    QByteArray data(const QString &) const override { return bytes; }
    bool autosavesInPlace() const override { return true; }
    void makeWindowControllers() override
    {
        auto *controller = new WindowController(new QWidget);
        addWindowController(controller);
        controller->synchronizeWindowTitleWithDocumentName();
    }
    void edit(const QByteArray &newBytes)
    {
        bytes = newBytes;
        updateChangeCount(ChangeType::Done);
    }

    QByteArray bytes;
    int reads = 0;
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
        document->setFileType(QStringLiteral("text/plain"));
        document->readFromUrl(FileNames::urlOfPath(path), QStringLiteral("text/plain"));
        document->setFileUrl(FileNames::urlOfPath(path));
        document->makeWindowControllers();
        controller = document->windowControllers().first();
        document->reads = 0;
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
