#pragma once
// The window arrangement between runs: the frame's bounds and show state, the Command
// window, the placement of each kind of window, the two source search paths and the
// "Save on Exit" word, kept as records of the entry "STATE" in the program's settings
// store (its path with ".ddb"). The program entry reads the frame's geometry before the
// frame exists; the service entry's start-up and first wait for a command restore the
// windows; the debugger's exit saves them when "Save on Exit" is on. The store is
// opened once per run and stays the current settings file.

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

inline constexpr uint32_t kSaveOnExitRecordId = 20;
inline constexpr uint32_t kViewpointPathRecordId = 64;
inline constexpr uint32_t kGlobalPathRecordId = 65;
// The frame's menu items of the saved layout.
inline constexpr uint32_t kCommandBreakOnNlmLoads = 1478;
inline constexpr uint32_t kCommandSaveOnExit = 1480;
inline constexpr uint32_t kCommandClearSavedValues = 1490;
// The passes of RestoreWindows: the Command windows (start-up) and the frame and the
// placements (the first wait for a command).
inline constexpr uint32_t kRestoreCommandWindows = 0;
inline constexpr uint32_t kRestorePlacements = 56;

class LayoutState {
 public:
  // Opens the store once per run (null: the program's directory and base name; a
  // path: that path without its extension), ".ddb" added, and gives the length of
  // record (12, "STATE"). -1 when the store cannot be opened or has no layout.
  static int32_t OpenStore(const char* programPath, uint32_t* length);
  // Reads the layout block of that length, the "Save on Exit" word (and checks its
  // menu item) and restores the search paths. -1 when the block cannot be read.
  static int32_t LoadRecords(uint32_t length);
  // Once per run: the saved viewpoint and global source search paths, each skipped
  // when missing or empty.
  static void RestoreSearchPaths();
  // The frame's first geometry: its window bounds when it was normal, else its
  // restore bounds, and its show state. -1 without a saved layout.
  static int32_t GetSavedFrameBounds(const char* programPath, LayerRect* bounds, int32_t* showState);
  // One pass of the restore: 0, or -1 without a saved layout.
  static int32_t RestoreWindows(int32_t frameId, uint32_t pass);
  static void ActivateFocusedWindow();
  // Each restored window reads its own settings; the block is freed.
  static void ApplyWindowSettings();
  // ApplyWindowSettings once, on the engine's notice.
  static void ApplyPendingSettings();
  // Frees every window object but the General window's.
  static void CloseAllWindows();
  // Both passes again over the windows of this run. -1 without a saved layout.
  static int32_t RestoreFromStore();
  static uint32_t SaveOnExitWord();
  // Whether a placements pass ran in this run.
  static bool PlacementsRestored();
  // Back to the state at start: nothing opened, loaded or restored (tests).
  static void Reset();
};

// The custom buttons live above this folder: their owner installs how the layout saves
// and restores them as set "CURRENT" (each answers 0 or the store's code).
using CustomButtonSetOperation = int32_t (*)(const char* name, const char* description);
void SetCustomButtonSetOperations(CustomButtonSetOperation save, CustomButtonSetOperation restore);

// The exit's save: record 20 always; with "Save on Exit" on also the search paths, the
// layout block, the breakpoints and the custom buttons as set "CURRENT". A store that cannot be written gives
// warning 114 and nothing further is saved.
void SaveSessionLayout();
void ToggleSaveOnExit();
void ToggleBreakOnNlmLoads();
// "Save on Exit" off; the search paths, the layout and the custom buttons' "CURRENT"
// are removed. Record 20 and the breakpoint set "CURRENT" stay.
void ClearSavedValues();
// The frame's commands of the saved layout; false for any other command.
bool HandleLayoutCommand(uint32_t command);
// Routes the engine's notice to apply the layout's pending settings here.
void InstallLayoutState();

}  // namespace zentor
