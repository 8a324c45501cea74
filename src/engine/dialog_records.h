#pragma once
// The records the breakpoint and watch dialogs exchange with the engine
// (HandleBreakpointRequest and the watch table's dialog requests), and the request of
// the named sets. Texts are strings; where a dialog field has a fixed width the
// engine cuts the text there (kDialogTextWidth).

#include <cstdint>
#include <vector>

#include "support/rw_cstring.h"

namespace zentor {

// The width of a dialog's location, condition, address and watch texts.
inline constexpr uint32_t kDialogTextWidth = 128;
// The width of a watch entry's scope text.
inline constexpr uint32_t kDialogScopeWidth = 256;
// The kind word that names a watch in a breakpoint dialog request.
inline constexpr uint32_t kWatchEntryKind = 4;

// One watch as the watch dialogs show it.
struct WatchEntry {
  uint32_t m_enabled = 0;
  RWCString m_text;       // the shown text
  RWCString m_scopeText;  // the symbolic text of the scope address
  RWCString m_name;       // wa[n]
  int32_t m_slot = 0;
  uint32_t m_kind = kWatchEntryKind;
};

// The request block of the watch dialog requests. Request 0xCD answers the count in
// m_slot and the slots in m_slots; 0xCE the free count in m_busy.
struct WatchDialogRequest {
  int32_t m_slot = -1;
  uint32_t m_enabled = 1;
  RWCString m_scopeText;  // in: the scope; out: its symbolic text
  RWCString m_expressionText;
  int32_t m_busy = 0;
  int32_t m_slots[30] = {};
};

// One breakpoint as the dialogs list it, and one entry of a saved set. An entry of
// kind kWatchEntryKind is a watch's: the watch table fills m_watch.
struct BreakpointDialogEntry {
  uint32_t m_enabled = 0;
  uint32_t m_viewpointOnly = 0;
  uint32_t m_type = 0;
  uint32_t m_access = 0;
  RWCString m_locationText;   // the record's symbolic text
  RWCString m_conditionText;  // the condition or printf text
  RWCString m_addressText;    // the address in plain form
  RWCString m_name;           // br[n], cb[n], pp[n]
  int32_t m_slot = -1;
  uint32_t m_kind = 0;  // 0, 1, 2; kWatchEntryKind a watch
  uint32_t m_viewpoint = 0;
  WatchEntry m_watch;
};

// The request block of most breakpoint dialog requests. Request 0xCD answers the
// count in m_slot and the slot numbers in m_slots. Request 0xCF takes m_result only.
struct BreakpointDialogRequest {
  uint32_t m_kind = 0;
  int32_t m_slot = -1;
  uint32_t m_enabled = 1;
  uint32_t m_viewpointOnly = 0;
  uint32_t m_type = 0;
  uint32_t m_access = 0;
  RWCString m_locationText;
  RWCString m_conditionText;
  int32_t m_slots[58] = {};
  int32_t m_result = 0;
  // A request of kind kWatchEntryKind goes to the watch table with this block.
  WatchDialogRequest m_watch;
};

// A named set: its name (at most 16 characters) and description (at most 32) for a
// save; the name and the stored data length for a restore.
struct NamedSetRequest {
  RWCString m_name;
  RWCString m_description;
  uint32_t m_dataLength = 0;
};

// One saved set as the settings store lists it.
struct NamedSetEntry {
  RWCString m_name;
  RWCString m_description;
  RWCString m_timeText;  // when it was saved: "Thu Jan  1 00:00:00 1970"
  uint32_t m_length = 0;  // the data's length
};

// The named sets of one kind, in the order they were saved: the count comes back,
// with every entry.
struct NamedSetList {
  uint32_t m_count = 0;
  std::vector<NamedSetEntry> m_entries;
};

}  // namespace zentor
