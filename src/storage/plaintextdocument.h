#pragma once

#include "framework/document.h"

#include <QString>

class Editor;

// One open note. Reads only well-formed UTF-8 and writes the UTF-8 of its text, nothing added. While an
// editor is attached its text view holds the live text, and the document takes it from there when it saves.
class PlainTextDocument : public Document
{
    Q_OBJECT

public:
    static constexpr char typeName[] = "text/plain";

    Q_INVOKABLE explicit PlainTextDocument(QObject *parent = nullptr);
    ~PlainTextDocument() override;

    QString text() const;
    // Replaces the note's text and brings every attached editor up to date, keeping its selection as far as
    // the new text allows.
    void setText(const QString &text);

    void makeWindowControllers() override;
    // Throws the "This file is not UTF-8 plain text." error (NSCocoaErrorDomain, 261) and changes nothing.
    void read(const QByteArray &data, const QString &typeName) override;
    QByteArray data(const QString &typeName) const override;
    // With an editor open: a snapshot of its text, encoded on the writer thread.
    std::function<QByteArray()> dataTask(const QString &typeName) const override;
    bool autosavesInPlace() const override { return true; }

    // An editor going away hands over its text, which is the note's text from then on.
    void editorWillClose(Editor *editor);

    // What opening a file that is not UTF-8 reports.
    static Error notPlainTextError();

private:
    Editor *liveEditor() const;

    QString m_text;
};
