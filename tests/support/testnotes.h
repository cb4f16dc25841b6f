#pragma once

#include "editor/window/windowquestions.h"
#include "framework/document.h"
#include "framework/linediff.h"
#include "framework/noteservices.h"

#include <QTimer>
#include <QUrl>

// The services the tests' notes share, as the app gives its notes theirs: answers ask through the note's window
// until a test replaces one.
namespace TestNotes {

inline NoteServices &services()
{
    static NoteServices shared{nullptr, nullptr, WindowQuestions::make()};
    return shared;
}

inline void resetServices()
{
    services() = NoteServices{nullptr, nullptr, WindowQuestions::make()};
}

// Answers which version to keep as resolver says, from the event loop as a user would.
inline void answerConflicts(const std::function<NoteQuestions::Conflict(Document *note)> &resolver)
{
    services().questions.whichVersion = [resolver](Document *note, const LineDiff &,
                                                   const std::function<void(NoteQuestions::Conflict)> &answer) {
        const NoteQuestions::Conflict given = resolver(note);
        QTimer::singleShot(0, note, [answer, given] { answer(given); });
    };
}

// Reads the file at url into note as opening does (an interrupted save is repaired first).
inline void read(Document &note, const QUrl &url)
{
    note.takeLoaded(LoadedFile::read(url, note.decoder(), url != note.fileUrl()));
}

} // namespace TestNotes
