#pragma once

class QPlainTextEdit;
class QWidget;

// What a note window needs to sit well on a Linux desktop, beyond its layout: screen readers see it as a frame
// and can name the find field's clear button; each paragraph is laid out in its own direction, so Hebrew and
// Arabic lines stand at the right; Alt with a letter is left to the menus and never types into the note; the
// text follows the shared zoom.
namespace NoteWindowSetup {

void apply(QWidget *window, QPlainTextEdit *textView);

} // namespace NoteWindowSetup
