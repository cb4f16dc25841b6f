#pragma once

#include "framework/document.h"

#include <QString>

#include <functional>

class TextPresenter;

// One open note. Reads only well-formed UTF-8 and writes the UTF-8 of its text, nothing added. While a window
// that presents the text is attached, the document takes the live text from there when it saves.
class PlainTextDocument : public Document
{
    Q_OBJECT

public:
    static constexpr char typeName[] = "text/plain";
    // Makes the window of a note; the app registers its editor. Without one a note gets no window.
    using WindowFactory = std::function<WindowController *(PlainTextDocument *note)>;

    Q_INVOKABLE explicit PlainTextDocument(QObject *parent = nullptr);
    ~PlainTextDocument() override;

    static void setWindowFactory(WindowFactory factory);

    QString text() const;
    // Replaces the note's text and brings every attached presenter up to date.
    void setText(const QString &text);

    void makeWindowControllers() override;
    // Throws the "This file is not UTF-8 plain text." error (NSCocoaErrorDomain, 261) and changes nothing.
    void read(const QByteArray &data, const QString &typeName) override;
    // Checks and decodes the bytes off the main thread; the note takes the text as it is.
    Decoder decoder(const QString &typeName) const override;
    void takeDecoded(std::any &&content, const QString &typeName) override;
    QByteArray data(const QString &typeName) const override;
    // With an editor open: a snapshot of its text, encoded on the writer thread.
    std::function<QByteArray()> dataTask(const QString &typeName) const override;
    bool autosavesInPlace() const override { return true; }

    // A window going away hands over its text, which is the note's text from then on.
    void presenterWillClose(const TextPresenter &presenter);

    // What opening a file that is not UTF-8 reports.
    static Error notPlainTextError();

protected:
    // Names the file under the "not UTF-8 plain text" message, which does not.
    Error readError(const Error &error, const QUrl &url) const override;

private:
    const TextPresenter *livePresenter() const;

    QString m_text;
};
