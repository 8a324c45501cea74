#pragma once
// The frame window: a short top-level bar holding the menu, the button bar (seven
// fixed buttons and up to eight custom ones on a white strip), the client area, where
// the Command window lives, and the General window's status strip at its bottom. This
// file lays the frame out and keeps its layer ids; the frame's id stands for its
// client area wherever the focus is concerned. The debugger's other windows are
// top-level windows of their own (frame_children.h makes them).

#include <cstdint>
#include <string>

#include "gui/layer_types.h"

namespace zentor {

// Control ids of the frame's children.
inline constexpr int32_t kStripControlId = 1912;
inline constexpr int32_t kClientAreaControlId = 1913;

// The fixed buttons' commands.
inline constexpr uint32_t kButtonRegisters = 101;
inline constexpr uint32_t kButtonAsm = 102;
inline constexpr uint32_t kButtonStepInto = 103;
inline constexpr uint32_t kButtonStepOver = 104;
inline constexpr uint32_t kButtonStepOut = 105;
inline constexpr uint32_t kButtonGo = 106;
inline constexpr uint32_t kButtonHome = 109;

// Custom buttons: at most eight, commands 111..118, each 30 dialog units wide.
inline constexpr int32_t kCustomButtonSlots = 8;
inline constexpr uint32_t kFirstCustomButtonCommand = 111;
inline constexpr int32_t kCustomButtonWidth = 30;

// Heights in vertical dialog units: the button bar, a button, the status strip.
inline constexpr int32_t kButtonBarHeight = 16;
inline constexpr int32_t kButtonHeight = 14;
inline constexpr int32_t kStatusStripHeight = 8;

struct FixedButton {
  const char* caption;
  int32_t width;  // horizontal dialog units
  uint32_t command;
};
// The fixed buttons in bar order.
extern const FixedButton kFixedButtons[7];

class FrameWindow {
 public:
  // The frame registered with the layer: its layer id (and handle); -1 before.
  static void SetFrame(int32_t layerId);
  static int32_t FrameId();
  static NativeWindow FrameHandle();
  static int32_t ClientAreaId();
  static NativeWindow ClientAreaHandle();
  // The layer id of a fixed or custom button, -1 when it has none.
  static int32_t ButtonId(uint32_t command);
  static int32_t CustomButtonCount();
  // True while the frame is maximised (between a maximising size and a restoring one).
  static bool IsMaximized();
  // Back to no frame (tests; a program has one frame for its whole run).
  static void Reset();
};

// The strip, the fixed buttons and the client area, from the frame's client area.
// False when the client area could not be made.
bool CreateFrameControls(int32_t frameId);
// The frame's size message (0 restored, 1 minimised, 2 maximised): strip and client
// area follow the frame; the client area becomes the Command window's placement and
// the General window is laid out again; maximising and restoring lay out every
// maximised window again.
void ResizeFrameControls(int32_t frameId, uint32_t sizeKind);
// Every window object whose layer window is maximised takes its parent's client area.
void RelayoutMaximizedWindows();

// The command the next custom button gets; with a caption the button is also made
// (after the fixed buttons and the custom buttons before it). -1 when all eight exist.
int32_t CreateCustomButtonControl(const char* caption);
// Removes the custom buttons, last first.
void DestroyCustomButtonControls();
// The eight slots empty again, slot i for command 111 + i; a button still in the bar
// goes with its slot.
void ResetCustomButtonSlots();

// The frame's bounds (top, left, height, width) and whether it was maximised: from
// the saved layout, else the default for the screen.
LayerRect GetFrameGeometry(const char* programPath, bool* maximized);

// The target's name: the frame's caption, the caption of every message box and what
// the exit question names. Fetched once, at start-up, from the target's description.
void LoadTargetDescriptionAtStart();
const char* GetTargetName();

// The help file: the program's path with what follows its last '.' replaced by "hlp";
// a result of 260 characters or more is the path with "?" appended (so that the help
// calls fail).
std::string BuildHelpFilePath(const std::string& programPath);

}  // namespace zentor
