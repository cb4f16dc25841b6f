#pragma once

#include "framework/document.h"

#include <QString>

#include <functional>

class TextPresenter;

// One open note. Reads only well-formed UTF-8 and writes the UTF-8 of its text, nothing added. While a window that
// presents the text is attached, the note takes the live text from there when it saves.
class PlainTextDocument : public Document
{
    Q_OBJECT

public:
    explicit PlainTextDocument(const NoteServices *services = nullptr, QObject *parent = nullptr);
    ~PlainTextDocument() override;

    QString text() const;
    // Replaces the note's text and brings the attached presenter up to date.
    void setText(const QString &text);

    // The window that shows the note's text from now on (none: the note holds it). A window going away hands
    // over its text, which is the note's text from then on.
    void setPresenter(TextPresenter *presenter);
    void presenterWillClose(const TextPresenter &presenter);

    // A note in a window writes its typing by itself.
    bool autosavesInPlace() const override;
    LoadedFile::Decoder decoder() const override;
    // The note's bytes: a snapshot of its text taken here at little cost (with a window open), encoded where the
    // task runs, off the window's thread.
    std::function<ByteParts()> dataTask() const override;
    // What opening a file that is not UTF-8 reports: "This file is not UTF-8 plain text." (NSCocoaErrorDomain,
    // 261), the file named under it when known.
    static Error notPlainTextError(const QUrl &url = {});

protected:
    void takeText(QString &&text) override;

private:
    TextPresenter *m_presenter = nullptr;
    QString m_text;
};
