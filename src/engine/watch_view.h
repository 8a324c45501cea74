#pragma once
// The view manager of the Watch window: one line per enabled watch of the current
// viewpoint, its value evaluated in the watch's own scope, captured into the window's
// panel on every refresh; it also carries the window's named-set requests to the
// watch table and the settings store.

#include <cstdint>

#include "core/base_manager.h"

namespace zentor {

class WatchViewManager : public BaseManager {
 public:
  explicit WatchViewManager(TextPane* pane) : BaseManager(pane) {}
  ~WatchViewManager() override;
  // 0x58/0xD1 restore and 0xD0 save a set (argument: a NamedSetRequest), 0xD2 removes
  // one (argument: the set's name as an RWCString; the reply is the store's code),
  // 0xD3 lists them (argument: a NamedSetList, its count filled in), 0xD4 deletes the
  // viewpoint's watches; 0x46, 0x47 and 0x5a as every panel view; any other request
  // refills the panel.
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;
  DVErrorCode WriteContent(intptr_t argument) override;
  // The column of the ": ": the longest text of the enabled watches of the current
  // viewpoint.
  static uint32_t TextWidth();
};

}  // namespace zentor
