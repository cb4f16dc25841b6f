#pragma once

#include "framework/byteparts.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// What shows a note's text to the user and lets them change it, such as the editor window. While one is attached
// to a note, the note takes its text from there.
class TextPresenter
{
public:
    // The text as the user sees it now, edits included.
    virtual QString presentedText() const = 0;
    // The UTF-8 of the same text: taken at once at little cost, encoded later on any thread.
    virtual std::function<ByteParts()> presentedBytesSnapshot() const = 0;
    // Another version of the note was read: shows it, keeping the user's place as far as the new text allows.
    virtual void presentText(const QString &text) = 0;

protected:
    ~TextPresenter() = default;
};

Q_DECLARE_INTERFACE(TextPresenter, "org.noltnolt.TextPresenter")
