#include "core/current_viewpoint.h"

#include "core/dv_error.h"
#include "core/message_table.h"

#include "core/target_interface.h"
#include "core/target_status.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "support/rw_cstring.h"
#include "support/rw_gstack.h"

#include <memory>

namespace zentor {
namespace {

struct ViewpointState {
  ViewpointHandle base = ViewpointHandle::None();
  ViewpointHandle current = ViewpointHandle::None();
  // Heap copies, newest on top; this state owns them.
  RWGStackOf<ViewpointHandle> stack;

  ~ViewpointState() { DropStack(); }

  void DropStack() {
    while (ViewpointHandle* top = stack.pop()) std::unique_ptr<ViewpointHandle> dropped(top);
  }
};

ViewpointState& State() {
  static ViewpointState state;
  return state;
}

// The last step of every stack operation: the target works in the viewpoint that is
// now current.
void TellTargetCurrentViewpoint() {
  TargetStatus status;
  InstalledTarget().SelectViewpoint(&status, State().current.Value());
  ThrowIfError(DVError(status));
}

}  // namespace

const ViewpointHandle& CurrentViewpoint() { return State().current; }

uint32_t GetCurrentViewpointValue() { return State().current.Value(); }

ViewpointHandle GetBaseViewpoint() { return State().base; }

uint32_t ViewpointStackDepth() { return State().stack.entries(); }

void SetBaseViewpoint(ViewpointHandle handle) {
  ViewpointState& state = State();
  state.base = handle;
  state.DropStack();
  state.current = state.base;
  TellTargetCurrentViewpoint();
}

void PushViewpoint(ViewpointHandle handle) {
  ViewpointState& state = State();
  auto copy = std::make_unique<ViewpointHandle>(handle);
  state.stack.push(copy.get());
  copy.release();
  state.current = *state.stack.top();
  TellTargetCurrentViewpoint();
}

void PopViewpoint() {
  ViewpointState& state = State();
  std::unique_ptr<ViewpointHandle> popped(state.stack.pop());
  ViewpointHandle* top = state.stack.top();
  state.current = top != nullptr ? *top : state.base;
  TellTargetCurrentViewpoint();
}

void ResetViewpointStack() {
  ViewpointState& state = State();
  state.DropStack();
  state.current = state.base;
  TellTargetCurrentViewpoint();
}

void SelectViewpointByName() { SelectViewpointNamed(CurrentToken().text); }

void SelectViewpointNamed(const char* name) {
  // The token text is copied into a bounded buffer first, as the scanner's text is
  // reused by the lookups below.
  char buffer[256];
  size_t length = 0;
  if (name != nullptr) {
    while (name[length] != '\0' && length < sizeof buffer - 1) {
      buffer[length] = name[length];
      ++length;
    }
  }
  buffer[length] = '\0';
  int32_t index = ViewpointManager::FindIndexByAlias(buffer);
  if (index < 0) {
    DVError error(0, 0, kDisplayByFocus);
    error.Set(kMsgViewpointNotValid, kSeverityError, kDisplayCommandOutput, nullptr);
    throw error;
  }
  PushViewpoint(ViewpointManager::HandleAt(index));
}

void PushCurrentViewpoint() { PushViewpoint(ViewpointHandle(State().current)); }

void PopViewpointAction() { PopViewpoint(); }

void SetCurrentSymbolContext_Checked(SymbolContext* context) {
  if (ViewpointManager::SetCurrentSymbolContext(context) == -1) ZENTOR_INTERNAL_ERROR();
}

FrameList* GetCurrentFrameList() {
  const ViewpointHandle& current = State().current;
  if (current == ViewpointHandle::None()) ZENTOR_INTERNAL_ERROR();
  FrameList* frames = ViewpointManager::FrameListOf(current);
  if (frames == nullptr) ZENTOR_INTERNAL_ERROR();
  return frames;
}


const RWCString& GetSharedEmptyString() {
  static const RWCString empty;
  return empty;
}

}  // namespace zentor
