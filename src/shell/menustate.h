#pragma once

class ActionDispatcher;
class QAction;
class QObject;

// Menu items that know their state: Cut, Copy and Delete need a selection, Paste needs text on the clipboard,
// Undo and Redo need something to undo or redo, Select All needs text, Find Next and Previous need a search
// string. The state is asked again when a menu opens and whenever the focus, the selection, the history, the
// clipboard or the search string changes, so the shortcuts follow the same rule as the menus.
namespace MenuState {

// Installs the rule on dispatcher; once is enough, later calls do nothing.
void install(ActionDispatcher &dispatcher);
// Whether responder can carry out item's action now.
bool canPerform(const QAction *item, QObject *responder);

} // namespace MenuState
