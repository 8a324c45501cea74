#pragma once
// The Viewpoint dialog (modeless, at most one): the known viewpoints with a mark at
// the current one, "&Make Current" for the selected one, "Show aliased viewpoints
// only", and "&Alias...", which opens the modal Alias dialog over it to set or remove
// the selected viewpoint's alias. The list follows added and removed viewpoints
// through a change record of the viewpoint list, and the current viewpoint and alias
// changes through direct refills from the viewpoint manager.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kViewpointDialogHelpContext = 30170;
inline constexpr uint32_t kAliasDialogHelpContext = 30180;

// The controls.
inline constexpr int32_t kViewpointMakeCurrent = 686;
inline constexpr int32_t kViewpointClose = 687;
inline constexpr int32_t kViewpointList = 689;
inline constexpr int32_t kViewpointAlias = 690;
inline constexpr int32_t kViewpointAliasedOnly = 691;
inline constexpr int32_t kAliasEdit = 699;

// The frame's "&Viewpoint...": brings the open dialog to the front, or opens it
// owned by the frame.
void OpenViewpointDialog();
bool IsViewpointDialogOpen();
void ActivateViewpointDialog();
// The list again when the dialog is open and the viewpoint list has changed (the
// refresh of all windows calls it).
void RefreshViewpointDialogIfChanged();
// The list again when the dialog is open.
void RefillViewpointList();

}  // namespace zentor
