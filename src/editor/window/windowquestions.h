#pragma once

#include "framework/linediff.h"
#include "framework/noteservices.h"

#include <QCoreApplication>

// The questions a note asks through its window: which version to keep in the window's message bar, since it comes
// unasked; new names, folders and what to do with a note that cannot be written in small dialogs over the window,
// since they answer a command the user gave.
class WindowQuestions
{
    Q_DECLARE_TR_FUNCTIONS(WindowQuestions)

public:
    static NoteQuestions make();
    // What differs between the window's text and another version, in a line for a message bar.
    static QString describe(const LineDiff &difference);
};
