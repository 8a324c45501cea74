#pragma once
// The window layout block: the frame's and every child window's placement, kept as
// record 12 of the entry "STATE" in the settings store at the end of a run and read
// back at start-up. A 32-bit count, then one 176-byte record per window: kind, layer
// id, window bounds and saved bounds (top, left, height, width), focus flag, show
// state and a 128-byte viewpoint text. Readers count the records by the block's
// length, (length - 4) / 176, never by its count word. Also the store file's name,
// which is the program's path without its extension.

#include <cstdint>
#include <string>
#include <vector>

#include "support/rw_cstring.h"

namespace zentor {

inline constexpr uint32_t kWindowLayoutRecordId = 12;
// The entry that holds the layout's records.
inline constexpr const char* kLayoutEntryName = "STATE";
inline constexpr uint32_t kWindowLayoutRecordSize = 176;
inline constexpr uint32_t kLayoutViewpointTextSize = 128;
// The kind of the frame window's record.
inline constexpr uint32_t kFrameLayoutKind = 999;

// Window bounds as the window layer gives them.
struct LayoutBounds {
  int32_t m_top = 0;
  int32_t m_left = 0;
  int32_t m_height = 0;
  int32_t m_width = 0;
};

struct WindowLayoutRecord {
  uint32_t m_kind = 0;
  int32_t m_layerId = 0;
  LayoutBounds m_bounds;
  LayoutBounds m_savedBounds;  // the restore position
  uint32_t m_focus = 0;        // 1 when the window had the keyboard focus
  uint32_t m_showState = 0;    // 0 normal, 1 minimised, 2 maximised
  std::string m_viewpointText;  // at most 127 characters; written empty
};

// The block for the records, its count word the number of records.
std::vector<uint8_t> EncodeLayoutBlock(const std::vector<WindowLayoutRecord>& records);
// The records of a block; false (records untouched) for a block too short to hold its
// count word. Bytes after the last whole record are ignored.
bool DecodeLayoutBlock(const uint8_t* data, uint32_t length, std::vector<WindowLayoutRecord>* records);

// Reads record (12, "STATE"): 0 with the records; the store's code; or 114 for a block
// too short or longer than any window table's (nothing restored).
int32_t ReadLayoutBlock(std::vector<WindowLayoutRecord>* records);

// The path cut at the first '.' of its last component; a '.' that is the path's first
// character does not count. D:\TOOLS\DBG.EXE gives D:\TOOLS\DBG, a.b.c gives a and
// dir.x\name stays as it is.
std::string StripExtension(std::string path);

}  // namespace zentor
