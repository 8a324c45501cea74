#include "gui/layout_block.h"

#include "gui/settings_record.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

// Field offsets of one window's record.
constexpr uint32_t kKindOffset = 0;
constexpr uint32_t kLayerIdOffset = 4;
constexpr uint32_t kBoundsOffset = 8;
constexpr uint32_t kSavedBoundsOffset = 24;
constexpr uint32_t kFocusOffset = 40;
constexpr uint32_t kShowStateOffset = 44;
constexpr uint32_t kViewpointTextOffset = 48;
constexpr uint32_t kCountSize = 4;
// A block holds at most a record per layer window.
constexpr uint32_t kMaxLayoutWindows = 64;
constexpr uint32_t kMaxLayoutBlockSize = kCountSize + kWindowLayoutRecordSize * kMaxLayoutWindows;

void StoreBounds(uint8_t* p, const LayoutBounds& bounds) {
  StoreU32(p, static_cast<uint32_t>(bounds.m_top));
  StoreU32(p + 4, static_cast<uint32_t>(bounds.m_left));
  StoreU32(p + 8, static_cast<uint32_t>(bounds.m_height));
  StoreU32(p + 12, static_cast<uint32_t>(bounds.m_width));
}

LayoutBounds LoadBounds(const uint8_t* p) {
  LayoutBounds bounds;
  bounds.m_top = static_cast<int32_t>(LoadU32(p));
  bounds.m_left = static_cast<int32_t>(LoadU32(p + 4));
  bounds.m_height = static_cast<int32_t>(LoadU32(p + 8));
  bounds.m_width = static_cast<int32_t>(LoadU32(p + 12));
  return bounds;
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

}  // namespace

std::vector<uint8_t> EncodeLayoutBlock(const std::vector<WindowLayoutRecord>& records) {
  std::vector<uint8_t> block(kCountSize + kWindowLayoutRecordSize * records.size());
  StoreU32(block.data(), static_cast<uint32_t>(records.size()));
  uint8_t* p = block.data() + kCountSize;
  for (const WindowLayoutRecord& record : records) {
    StoreU32(p + kKindOffset, record.m_kind);
    StoreU32(p + kLayerIdOffset, static_cast<uint32_t>(record.m_layerId));
    StoreBounds(p + kBoundsOffset, record.m_bounds);
    StoreBounds(p + kSavedBoundsOffset, record.m_savedBounds);
    StoreU32(p + kFocusOffset, record.m_focus);
    StoreU32(p + kShowStateOffset, record.m_showState);
    StoreTextField(p + kViewpointTextOffset, kLayoutViewpointTextSize, record.m_viewpointText);
    p += kWindowLayoutRecordSize;
  }
  return block;
}

bool DecodeLayoutBlock(const uint8_t* data, uint32_t length, std::vector<WindowLayoutRecord>* records) {
  if (length < kCountSize) return false;
  const uint32_t count = (length - kCountSize) / kWindowLayoutRecordSize;
  std::vector<WindowLayoutRecord> decoded(count);
  const uint8_t* p = data + kCountSize;
  for (WindowLayoutRecord& record : decoded) {
    record.m_kind = LoadU32(p + kKindOffset);
    record.m_layerId = static_cast<int32_t>(LoadU32(p + kLayerIdOffset));
    record.m_bounds = LoadBounds(p + kBoundsOffset);
    record.m_savedBounds = LoadBounds(p + kSavedBoundsOffset);
    record.m_focus = LoadU32(p + kFocusOffset);
    record.m_showState = LoadU32(p + kShowStateOffset);
    record.m_viewpointText = LoadTextField(p + kViewpointTextOffset, kLayoutViewpointTextSize);
    p += kWindowLayoutRecordSize;
  }
  *records = std::move(decoded);
  return true;
}

int32_t ReadLayoutBlock(std::vector<WindowLayoutRecord>* records) {
  return ReadSettingsRecord(kWindowLayoutRecordId, RWCString(kLayoutEntryName), kMaxLayoutBlockSize,
                            [records](const uint8_t* data, uint32_t length) {
                              return DecodeLayoutBlock(data, length, records);
                            });
}

std::string StripExtension(std::string path) {
  std::size_t componentStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsPathSeparator(path[i])) componentStart = i + 1;
  }
  const std::size_t dot = path.find('.', componentStart == 0 ? 1 : componentStart);
  if (dot != std::string::npos) path.erase(dot);
  return path;
}

}  // namespace zentor
