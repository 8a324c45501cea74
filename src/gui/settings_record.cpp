#include "gui/settings_record.h"

#include <cstring>
#include <vector>

#include "engine/settings_store.h"

namespace zentor {

void StoreTextField(uint8_t* field, uint32_t width, std::string_view text) {
  if (width == 0) return;
  const std::size_t length = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, width - length);
}

std::string LoadTextField(const uint8_t* field, uint32_t width) {
  return LoadBoundedText(reinterpret_cast<const char*>(field), width == 0 ? 0 : width - 1);
}

std::string LoadBoundedText(const char* text, uint32_t limit) {
  if (text == nullptr) return std::string();
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return std::string(text, length);
}

int32_t ReadSettingsRecord(uint32_t kind, const RWCString& name, uint32_t room, const SettingsRecordDecoder& decode,
                           RWCString* description) {
  std::vector<uint8_t> data(room);
  uint32_t length = room;
  RWCString readDescription;
  const int32_t result = TheSettingsStore().ReadRecord(kind, name, &readDescription, &length, data.data());
  // A store that finds the record too long says how long it is: no record of this
  // kind is, so it is damaged rather than missing.
  if (result != 0) return length > room ? kMalformedSettingsRecord : result;
  if (length > room || !decode(data.data(), length)) return kMalformedSettingsRecord;
  if (description != nullptr) *description = readDescription;
  return 0;
}

}  // namespace zentor
