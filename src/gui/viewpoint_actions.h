#pragma once
// The commands of the viewpoints: "vpalias" shows the current viewpoint's alias,
// "vpalias = name" sets it, "viewpoint" shows the current viewpoint and "viewpoint =
// [name]" makes the viewpoint of that alias or text form current. Bound to their
// action slots at start-up (gui_actions.h).

namespace zentor {

// Prints the current viewpoint's alias and a line end; nothing without one.
void ShowAliasAction();
// The current token (at most 8 characters of it) becomes the current viewpoint's
// alias; an alias in use is reported (message 250) and nothing changes.
void SetAliasAction();
// "[<target text>]" and then "    Alias: [<alias>]" or "    NO alias" on the same line.
void ShowCurrentViewpointAction();
// The viewpoint named by the current token (an opening '[' is skipped) becomes
// current; an unknown name raises message 251 (ERROR, command output).
void SelectViewpointAction();

}  // namespace zentor
