#pragma once
// What the five data windows (Memory, Registers, Locals, Inspect, Callstack) share: the
// change records of the kinds each one watches, registered for the window's viewpoint
// once its view manager took the opening, the wait cursor around requests that may take
// long, the mark on the current line of the line windows, and the end of the layer
// window. Each window draws only what its manager wrote into its pane.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "gui/win_super.h"
#include "windows/window_input.h"

namespace zentor {

class GuiWindowLayer;

// The attribute word of the line that carries the current-line mark.
inline constexpr uint32_t kCurrentLineMark = 0x800;

// Status of a window request: number 0, severity 0, shown by the focused window.
inline DVError FreshRequestStatus() { return DVError(0, 0, kDisplayByFocus); }

class DataWindow : public WinSuper {
 public:
  ~DataWindow() override;

 protected:
  // The records are built unregistered, one per change kind in the given order.
  DataWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind, uint32_t paneStyle,
             std::initializer_list<uint32_t> changeKinds);

  // A request of this window through the view dispatcher.
  int32_t Send(DVError& status, int32_t code, intptr_t argument);
  void RegisterChangeRecords();
  // Tests and clears every record (no short cut); whether any was marked.
  bool TakeChanges();
  // Tests and clears the record at `index` of the kinds given.
  bool TakeChange(std::size_t index);

  // Field panes: the selection of the current line's field committed (a pending edit
  // goes to the manager first).
  void CommitSelectedField();
  // Field panes losing the focus: the field committed, the caret hidden, the current
  // line drawn again.
  void FieldFocusLost();
  // Line `index` carries the mark (attribute 0x800) or none (0), drawn at once; nothing
  // for a line the pane does not hold.
  void SetLineMark(int32_t index, bool marked);
  // The popup menu at the mouse.
  void ShowPopup();
  void Beep();
  // The layer window goes: its popup menu (when it has one), then the window.
  void CloseLayerWindow(bool hasPopup);
  GuiWindowLayer& LayerRef() const;

 private:
  std::vector<std::unique_ptr<CollectableRecord>> m_records;
};

}  // namespace zentor
