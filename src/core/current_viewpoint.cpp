#include "core/current_viewpoint.h"

#include "core/dv_error.h"
#include "core/message_table.h"

#include "core/target_interface.h"
#include "core/target_status.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "support/rw_cstring.h"

#include <vector>

namespace zentor {
namespace {

struct ViewpointState {
  ViewpointHandle base = ViewpointHandle::None();
  ViewpointHandle current = ViewpointHandle::None();
  // Newest at the back. Held by value: a command pushes and pops a viewpoint around
  // most of what it asks the target, and the room stays for the next push.
  std::vector<ViewpointHandle> stack;

  void DropStack() { stack.clear(); }
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

uint32_t ViewpointStackDepth() { return static_cast<uint32_t>(State().stack.size()); }

void SetBaseViewpoint(ViewpointHandle handle) {
  ViewpointState& state = State();
  state.base = handle;
  state.DropStack();
  state.current = state.base;
  TellTargetCurrentViewpoint();
}

void PushViewpoint(ViewpointHandle handle) {
  ViewpointState& state = State();
  state.stack.push_back(handle);
  state.current = state.stack.back();
  TellTargetCurrentViewpoint();
}

void PopViewpoint() {
  ViewpointState& state = State();
  if (!state.stack.empty()) state.stack.pop_back();
  state.current = !state.stack.empty() ? state.stack.back() : state.base;
  TellTargetCurrentViewpoint();
}

namespace {

void PopReportingFailure() {
  try {
    PopViewpoint();
  } catch (DVError& error) {
    error.Report();
  }
}

}  // namespace

ViewpointPushed::ViewpointPushed(ViewpointHandle handle) {
  try {
    PushViewpoint(handle);
  } catch (...) {
    PopReportingFailure();
    throw;
  }
}

ViewpointPushed::~ViewpointPushed() { PopReportingFailure(); }

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
