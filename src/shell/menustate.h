#pragma once

class ActionDispatcher;

// Menu items that know their state (each responder tells whether it can carry a command out now) are asked again
// when a menu opens and whenever the focus, the selection, the history, the clipboard or the search string
// changes, so the shortcuts follow the same rule as the menus.
namespace MenuState {

// Installs the rule on dispatcher; once is enough, later calls do nothing.
void install(ActionDispatcher &dispatcher);

} // namespace MenuState
