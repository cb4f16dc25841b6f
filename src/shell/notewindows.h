#pragma once

#include <QList>

class QWidget;

// The app's note windows as the Window and application menus treat them together.
namespace NoteWindows {

// Every window that shows a note, shown, hidden or minimised.
QList<QWidget *> all();
// Whether any is visible; minimised ones count, so that after Hide a reopen brings them back.
bool anyShown();
// "Hide Nolt Nolt": every note window is minimised.
void minimizeAll();
// "Show All": the minimised ones come back.
void showAll();
// "Bring All to Front", with the active window (or the last one) on top.
void bringAllToFront();

} // namespace NoteWindows
