#include "gui/invocation_settings.h"

#include <algorithm>
#include <cstring>

#include "core/view_kind.h"
#include "gui/settings_record.h"
#include "gui/view_dispatcher.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kOptionAOffset = 0;
constexpr uint32_t kOptionBOffset = 4;
constexpr uint32_t kSpareOffset = 8;
constexpr uint32_t kBatchOnOffset = 12;
constexpr uint32_t kMacroOnOffset = 16;
constexpr uint32_t kMacroNameOffset = 20;
constexpr uint32_t kBatchNameOffset = kMacroNameOffset + InvocationSettings::kNameFieldSize;
static_assert(kBatchNameOffset + InvocationSettings::kNameFieldSize == InvocationSettings::kRecordSize);

// The name and its NUL, into a buffer the notice's sender holds for a name field.
void CopyNameOut(const std::string& name, const void* argument) {
  if (name.empty() || argument == nullptr) return;
  // The copying notices are sent with a buffer of the sender's to fill.
  char* buffer = static_cast<char*>(const_cast<void*>(argument));
  const std::size_t length = std::min<std::size_t>(name.size(), InvocationSettings::kMaxNameLength);
  std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
}

std::string NameFrom(const void* argument) {
  return LoadBoundedText(static_cast<const char*>(argument), InvocationSettings::kMaxNameLength);
}

}  // namespace

void InvocationSettings::CopyTo(uint8_t* buffer) const {
  StoreU32(buffer + kOptionAOffset, m_optionA);
  StoreU32(buffer + kOptionBOffset, m_optionB);
  StoreU32(buffer + kSpareOffset, m_spare);
  StoreU32(buffer + kBatchOnOffset, m_batchOn);
  StoreU32(buffer + kMacroOnOffset, m_macroOn);
  StoreTextField(buffer + kMacroNameOffset, kNameFieldSize, m_macroName);
  StoreTextField(buffer + kBatchNameOffset, kNameFieldSize, m_batchName);
}

bool InvocationSettings::CopyFrom(const uint8_t* data, uint32_t length) {
  if (length != kRecordSize) return false;
  m_optionA = LoadU32(data + kOptionAOffset);
  m_optionB = LoadU32(data + kOptionBOffset);
  m_spare = LoadU32(data + kSpareOffset);
  m_batchOn = LoadU32(data + kBatchOnOffset);
  m_macroOn = LoadU32(data + kMacroOnOffset);
  m_macroName = LoadTextField(data + kMacroNameOffset, kNameFieldSize);
  m_batchName = LoadTextField(data + kBatchNameOffset, kNameFieldSize);
  return true;
}

int32_t InvocationSettings::ReadRecord(const RWCString& name) {
  return ReadSettingsRecord(kInvocationRecordId, name, kRecordSize,
                            [this](const uint8_t* data, uint32_t length) { return CopyFrom(data, length); });
}

InvocationSettings& TheInvocationSettings() {
  static InvocationSettings settings;
  return settings;
}

void InvocationDialog::OnEngineNotice(uint32_t code, const void* argument) {
  InvocationSettings& settings = TheInvocationSettings();
  switch (code) {
    case kNoticeInvocationRecord:
      if (argument != nullptr) settings.CopyTo(static_cast<uint8_t*>(const_cast<void*>(argument)));
      break;
    case kNoticeGetMacroName: CopyNameOut(settings.m_macroName, argument); break;
    case kNoticeSetMacroName: settings.m_macroName = NameFrom(argument); break;
    case kNoticeSetBatchName: settings.m_batchName = NameFrom(argument); break;
    case kNoticeGetBatchName: CopyNameOut(settings.m_batchName, argument); break;
    case kNoticeSendInvocationSettings: SendSettings(); break;
    default: break;
  }
}

void InvocationDialog::SendChanged() {
  ViewDispatcher::RunGuiCommandQuiet(kViewInvocation, nullptr, kGuiInvocationChanged,
                                     reinterpret_cast<intptr_t>(&TheInvocationSettings()));
}

int32_t InvocationDialog::SendRequest193() {
  int16_t answer = 1;
  ViewDispatcher::RunGuiCommandQuiet(kViewInvocation, nullptr, kGuiUseSavedLayout, reinterpret_cast<intptr_t>(&answer));
  return answer;
}

void InvocationDialog::SendSettings() {
  ViewDispatcher::RunGuiCommandQuiet(kViewInvocation, nullptr, kGuiInvocationSettings,
                                     reinterpret_cast<intptr_t>(&TheInvocationSettings()));
}

}  // namespace zentor
