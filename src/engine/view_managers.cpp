#include "engine/view_managers.h"

#include <array>

#include "core/view_kind.h"
#include "engine/callstack_view.h"
#include "engine/inspector_view.h"
#include "engine/memory_view.h"
#include "engine/modules_view.h"
#include "engine/source_view_manager.h"
#include "engine/watch_view.h"
#include "target/register_view.h"

namespace zentor {

namespace {

struct CreatorRow {
  int32_t kind;
  ViewCreatorHandler handler;
};

// The rows of the creator table, in their search order.
constexpr CreatorRow kCreatorRows[] = {
    {kViewMemory, &MemoryViewManager::HandleWindowless},
    {kViewInspect, &InspectorViewManager::InspectorRequestWithoutWindow},
    {kViewSource, &RunPaneCommandWithoutWindow},
};

}  // namespace

std::unique_ptr<BaseManager>& ViewManagerTable::Entry(int32_t slot) {
  static std::array<std::unique_ptr<BaseManager>, kViewManagerSlots> table;
  if (!IsSlot(slot)) RaiseInternalError(__FILE__, __LINE__);
  return table[static_cast<std::size_t>(slot)];
}

ViewManagerFactory::~ViewManagerFactory() = default;

std::unique_ptr<BaseManager> ViewManagerFactory::Make(int32_t kind, TextPane* pane) {
  switch (kind) {
    case kViewRegisters:
      return std::make_unique<RegisterView>(pane);
    case kViewMemory:
      return std::make_unique<MemoryViewManager>(pane);
    case kViewInspect:
      return std::make_unique<InspectorViewManager>(pane);
    case kViewModules:
      return std::make_unique<ModulesViewManager>(pane);
    case kViewSource:
      return std::make_unique<SourceViewManager>(pane);
    case kViewCallstack:
      return std::make_unique<CallstackViewManager>(pane);
    case kViewWatch:
      return std::make_unique<WatchViewManager>(pane);
    default:
      return nullptr;
  }
}

InstalledService<ViewManagerFactory>& ViewManagers() {
  static InstalledService<ViewManagerFactory> factory;
  return factory;
}

void CreateViewManager(TextPane* pane, int32_t kind) {
  if (pane == nullptr) return;
  const int32_t slot = pane->layerId;
  if (!ViewManagerTable::IsSlot(slot) || ViewManagerTable::Entry(slot) != nullptr) {
    RaiseInternalError(__FILE__, __LINE__);
  }
  ViewManagerTable::Entry(slot) = ViewManagers().Get().Make(kind, pane);
}

void DestroyViewManager(int32_t slot) {
  if (!ViewManagerTable::IsSlot(slot)) return;
  // Taken out of the table first: a destructor that reaches the dispatcher finds the
  // slot empty.
  std::unique_ptr<BaseManager> manager = std::move(ViewManagerTable::Entry(slot));
}

BaseManager* ViewManagerAt(int32_t slot) {
  return ViewManagerTable::IsSlot(slot) ? ViewManagerTable::Entry(slot).get() : nullptr;
}

void DestroyAllViewManagers() {
  for (int32_t slot = 0; slot < kViewManagerSlots; ++slot) DestroyViewManager(slot);
}

ViewCreatorHandler ViewCreatorTable::Find(int32_t kind) {
  for (const CreatorRow& row : kCreatorRows) {
    if (row.kind == kind && row.handler != nullptr) return row.handler;
  }
  return nullptr;
}

}  // namespace zentor
