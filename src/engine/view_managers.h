#pragma once
// The view managers that live while their windows are open, one per window slot, and
// the handlers of requests that come without a window. The view dispatcher of the GUI
// creates a window's manager when the window opens (request 0x46) and destroys it
// after the window's last request (0x47); in between it hands the window's requests
// to the manager of the window's slot.

#include <cstdint>
#include <memory>

#include "core/base_manager.h"
#include "core/dv_error.h"
#include "core/installed_service.h"
#include "core/text_pane.h"

namespace zentor {

// Slots of the manager table: the window layer's ids 0..63.
inline constexpr int32_t kViewManagerSlots = 64;

// Makes the manager of a window kind: the Watch, Registers, Memory, Inspect, Modules
// and Callstack managers (and the Source manager once it exists); null for every
// other kind. Tests install their own to watch the dispatcher's order.
class ViewManagerFactory {
 public:
  virtual ~ViewManagerFactory();
  virtual std::unique_ptr<BaseManager> Make(int32_t kind, TextPane* pane);
};
InstalledService<ViewManagerFactory>& ViewManagers();

// The live managers by window slot, all empty at start; an entry is set exactly while
// a managed window of that slot is open. The table owns the managers.
class ViewManagerTable {
 public:
  // The entry of `slot` (0 .. kViewManagerSlots - 1).
  static std::unique_ptr<BaseManager>& Entry(int32_t slot);
  static bool IsSlot(int32_t slot) { return slot >= 0 && slot < kViewManagerSlots; }
};

// Creates the manager of `kind` in the slot that the pane's first word names. A slot
// outside the table, or one already taken, is an internal error and nothing is
// created; a kind without a manager leaves the slot empty.
void CreateViewManager(TextPane* pane, int32_t kind);
// Destroys the manager in `slot` (if any) and empties the slot.
void DestroyViewManager(int32_t slot);
// The manager in `slot`; null for an empty slot or one outside the table.
BaseManager* ViewManagerAt(int32_t slot);
// Destroys every manager (the end of a session, and tests).
void DestroyAllViewManagers();

// A handler of requests that arrive without a window: (status, code, argument).
using ViewCreatorHandler = int32_t (*)(DVError& status, int32_t code, intptr_t argument);

// The handlers for window-less requests, by kind: the memory view's field check (5)
// and the inspector's value text (11).
class ViewCreatorTable {
 public:
  // The handler of the kind, or null.
  static ViewCreatorHandler Find(int32_t kind);
};

}  // namespace zentor
