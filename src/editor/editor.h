#pragma once

#include "framework/windowcontroller.h"

#include <QPointer>
#include <QUrl>

class NoteTextView;
class PlainTextDocument;
class QLabel;
class QTimer;

// The window of one open note: its text view above a strip with the live word count. Writes the note back
// 0.3 s after the last edit.
class Editor : public WindowController
{
    Q_OBJECT

public:
    Editor(const QUrl &url, const QString &text, QObject *parent = nullptr);
    ~Editor() override;

    NoteTextView *textView() const;
    // The attached document when it is a note, else none.
    PlainTextDocument *textDocument() const;
    // The last save timer scheduled, or none before the first edit.
    QTimer *pendingSave() const;

    void updateWordCount();
    QString windowTitle(const QString &documentDisplayName) const override;

Q_SIGNALS:
    void autosaveRequested();
};
