#include "core/status_line.h"

#include <algorithm>
#include <cstring>

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

struct StatusLineState {
  std::string persistent;
  std::string transient;
  bool showingTransient = false;
  // Set while a transient text or message covers the persistent one.
  bool transientMark = false;
};

StatusLineState& State() {
  static StatusLineState state;
  return state;
}

std::string Bounded(const char* text) {
  const char* source = text != nullptr ? text : "";
  std::size_t length = 0;
  while (length < kMaxStatusTextLength && source[length] != '\0') ++length;
  return std::string(source, length);
}

const std::string& ShownText() {
  const StatusLineState& state = State();
  return state.showingTransient ? state.transient : state.persistent;
}

// The text goes into its buffer and becomes the shown one.
void ShowText(const char* text, bool transient) {
  StatusLineState& state = State();
  (transient ? state.transient : state.persistent) = Bounded(text);
  state.showingTransient = transient;
  state.transientMark = transient;
  UpdateStatusLine();
}

}  // namespace

uint32_t StatusLineWidth() { return kStatusLineWidth; }

void SetStatusText(const char* text) { ShowText(text, false); }

void ShowProgressText(const char* text) { ShowText(text, true); }

void ShowStatusMessage(const char* text) {
  State().transientMark = true;
  const ViewpointHandle current = CurrentViewpoint();
  ViewpointManager::SetStatusText(current, RWCString(text != nullptr ? text : ""));
  MarkRegisteredChanged(kRecordStatusLine, current);
  RefreshStatusPane(kStatusPaneLine);
}

void RestoreStatusText() {
  StatusLineState& state = State();
  if (!state.transientMark) return;
  UpdateStatusLine();
  RefreshStatusPane(kStatusPaneLine);
  state.transientMark = false;
}

void ResetStatusTextForViewpoint() {
  State().persistent = Bounded(ViewpointManager::StatusTextOf(CurrentViewpoint()).data());
}

// The event text is cut to its 13 columns and the line always ends at column
// width - 1: as written a long event text ran past the line.
void UpdateStatusLine() {
  const uint32_t width = StatusLineWidth();
  const std::string& shown = ShownText();
  // Kept from one update to the next: the line is made again at every move.
  static std::string line;
  line.assign(width - 1, ' ');
  line.replace(0, std::min<std::size_t>(shown.size(), width - 15), shown, 0, width - 15);
  const ViewpointHandle current = CurrentViewpoint();
  const RWCString event = ViewpointManager::EventTextOf(current);
  if (!event.isNull()) {
    const std::size_t length = std::min<std::size_t>(event.length(), 13);
    line.replace(width - 14, 13, event.data(), length);
    line.resize(width - 14 + length);
  }
  ViewpointManager::SetStatusText(current, RWCString(line.c_str()));
}

const std::string& PersistentStatusText() { return State().persistent; }

bool StatusLineTransient() { return State().transientMark; }

void ResetStatusLine() { State() = StatusLineState{}; }

}  // namespace zentor
