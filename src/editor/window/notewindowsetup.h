#pragma once

class QPlainTextEdit;
class TextZoom;
class QWidget;

// What a note window needs to sit well on a Linux desktop, beyond its layout: screen readers see it as a frame
// and can name the find field's clear button; each paragraph is laid out in its own direction, so Hebrew and
// Arabic lines stand at the right; Alt with a letter is left to the menus and never types into the note; the
// text follows the app's zoom.
namespace NoteWindowSetup {

// Before the text is set: what shapes the layout (direction, alignment, the zoomed size), so it is laid out once.
// Without zoom the text keeps its size.
void prepareTextView(QWidget *window, QPlainTextEdit *textView, TextZoom *zoom);
// Once the window holds all its widgets.
void finishWindow(QWidget *window);

} // namespace NoteWindowSetup
