#include "gui/custom_button_record.h"

#include "core/dv_error.h"
#include "gui/settings_record.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kCountOffset = 0;
constexpr uint32_t kCurrentIndexOffset = 4;

}  // namespace

std::vector<uint8_t> CustomButtonRecord::Encode() const {
  if (m_buttons.size() > kMaxCustomButtons) ZENTOR_INTERNAL_ERROR();
  std::vector<uint8_t> data(kCustomButtonHeaderSize + kSavedCustomButtonSize * m_buttons.size());
  StoreU32(data.data() + kCountOffset, static_cast<uint32_t>(m_buttons.size()));
  StoreU32(data.data() + kCurrentIndexOffset, static_cast<uint32_t>(m_currentIndex));
  uint8_t* p = data.data() + kCustomButtonHeaderSize;
  for (const SavedCustomButton& button : m_buttons) {
    StoreTextField(p, kCustomButtonNameSize, button.m_name);
    StoreTextField(p + kCustomButtonNameSize, kCustomButtonCommandSize, button.m_command);
    p += kSavedCustomButtonSize;
  }
  return data;
}

bool CustomButtonRecord::Decode(const uint8_t* data, uint32_t length) {
  if (length < kCustomButtonHeaderSize) return false;
  const uint32_t count = LoadU32(data + kCountOffset);
  // The count is checked before it multiplies anything, so the product stays small.
  if (count > kMaxCustomButtons || kCustomButtonHeaderSize + kSavedCustomButtonSize * count > length) return false;
  std::vector<SavedCustomButton> buttons(count);
  const uint8_t* p = data + kCustomButtonHeaderSize;
  for (SavedCustomButton& button : buttons) {
    button.m_name = LoadTextField(p, kCustomButtonNameSize);
    button.m_command = LoadTextField(p + kCustomButtonNameSize, kCustomButtonCommandSize);
    p += kSavedCustomButtonSize;
  }
  m_currentIndex = static_cast<int32_t>(LoadU32(data + kCurrentIndexOffset));
  m_buttons = std::move(buttons);
  return true;
}

int32_t CustomButtonRecord::ReadRecord(const RWCString& name) {
  return ReadSettingsRecord(kCustomButtonRecordId, name, kMaxCustomButtonRecordSize,
                            [this](const uint8_t* data, uint32_t length) { return Decode(data, length); });
}

}  // namespace zentor
