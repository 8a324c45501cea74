#include "gui/memory_display_settings.h"

#include "gui/settings_record.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kStartTextOffset = 0;
constexpr uint32_t kRangeChoiceOffset = 128;
constexpr uint32_t kEndTextOffset = 132;
constexpr uint32_t kTypeIndexOffset = 260;
constexpr uint32_t kBaseIndexOffset = 264;
static_assert(kBaseIndexOffset + 4 == MemoryDisplaySettings::kRecordSize);

}  // namespace

void MemoryDisplaySettings::CopyTo(uint8_t* buffer) const {
  StoreTextField(buffer + kStartTextOffset, kTextFieldSize, m_startText);
  StoreU32(buffer + kRangeChoiceOffset, m_rangeChoice);
  StoreTextField(buffer + kEndTextOffset, kTextFieldSize, m_endText);
  StoreU32(buffer + kTypeIndexOffset, m_typeIndex);
  StoreU32(buffer + kBaseIndexOffset, m_baseIndex);
}

bool MemoryDisplaySettings::CopyFrom(const uint8_t* data, uint32_t length) {
  if (length != kRecordSize) return false;
  const uint32_t rangeChoice = LoadU32(data + kRangeChoiceOffset);
  const uint32_t typeIndex = LoadU32(data + kTypeIndexOffset);
  const uint32_t baseIndex = LoadU32(data + kBaseIndexOffset);
  // The dialog selects list rows and radio buttons by these: a value it does not offer
  // would select nothing, or index past its lists.
  if (rangeChoice < kMemoryRangeNone || rangeChoice > kMemoryRangeEndAddress) return false;
  if (typeIndex >= kMemoryElementTypeCount || baseIndex >= kMemoryBaseCount) return false;
  m_startText = LoadTextField(data + kStartTextOffset, kTextFieldSize);
  m_rangeChoice = rangeChoice;
  m_endText = LoadTextField(data + kEndTextOffset, kTextFieldSize);
  m_typeIndex = typeIndex;
  m_baseIndex = baseIndex;
  return true;
}

int32_t MemoryDisplaySettings::ReadRecord(const RWCString& name) {
  return ReadSettingsRecord(kMemoryDisplayRecordId, name, kRecordSize,
                            [this](const uint8_t* data, uint32_t length) { return CopyFrom(data, length); });
}

MemoryDisplaySettings& TheMemoryDisplaySettings() {
  static MemoryDisplaySettings settings;
  return settings;
}

}  // namespace zentor
