#include "gui/dialog_file_format.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/little_endian.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kIdAt = 4;
constexpr uint32_t kNameAt = 8;
constexpr uint32_t kDescriptionAt = kNameAt + kDialogNameField;
constexpr uint32_t kTimeAt = kDescriptionAt + kDialogDescriptionField;
constexpr uint32_t kLengthAt = kTimeAt + 4;
static_assert(kLengthAt + 4 == kDialogRecordHeaderSize);

// Each byte as a signed byte widened to 32 bits, shifted by its index mod 4. The
// shift is made on the unsigned word: a negative byte shifts its two's complement.
uint32_t SumField(const char* field, uint32_t size) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < size; ++i) {
    const auto widened = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(field[i])));
    sum += widened << (i % 4);
  }
  return sum;
}

std::size_t TextLength(const char* field, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && field[length] != '\0') ++length;
  return length;
}

// The position of the NUL that ends a text of at most `limit` characters starting at
// `at`, or 0 when there is none within the bytes.
std::size_t TextEnd(const uint8_t* entry, std::size_t available, std::size_t at, std::size_t limit) {
  for (std::size_t i = at; i < available && i <= at + limit; ++i) {
    if (entry[i] == 0) return i;
  }
  return 0;
}

}  // namespace

DialogRecordHeader DialogRecordHeader::Decode(const uint8_t* bytes) {
  DialogRecordHeader header;
  header.m_checksum = LoadU32(bytes);
  header.m_id = LoadU32(bytes + kIdAt);
  std::memcpy(header.m_name, bytes + kNameAt, kDialogNameField);
  std::memcpy(header.m_description, bytes + kDescriptionAt, kDialogDescriptionField);
  header.m_time = LoadU32(bytes + kTimeAt);
  header.m_length = LoadU32(bytes + kLengthAt);
  return header;
}

void DialogRecordHeader::Encode(uint8_t* bytes) const {
  StoreU32(bytes, m_checksum);
  StoreU32(bytes + kIdAt, m_id);
  std::memcpy(bytes + kNameAt, m_name, kDialogNameField);
  std::memcpy(bytes + kDescriptionAt, m_description, kDialogDescriptionField);
  StoreU32(bytes + kTimeAt, m_time);
  StoreU32(bytes + kLengthAt, m_length);
}

std::string DialogRecordHeader::Name() const { return std::string(m_name, TextLength(m_name, kDialogNameLimit)); }

std::string DialogRecordHeader::Description() const {
  return std::string(m_description, TextLength(m_description, kDialogDescriptionLimit));
}

uint32_t DialogChecksumOfHeader(const DialogRecordHeader& header) {
  return header.m_id + header.m_length + SumField(header.m_name, kDialogNameField) +
         SumField(header.m_description, kDialogDescriptionField) + header.m_time;
}

uint32_t DialogChecksumAddData(uint32_t sum, const uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[i])));
  return sum;
}

std::string DialogTimeText(uint32_t seconds) {
  static const char kDays[] = "SunMonTueWedThuFriSat";
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const std::time_t time = static_cast<std::time_t>(seconds);
  const std::tm* local = std::localtime(&time);
  if (local == nullptr) local = std::gmtime(&time);
  if (local == nullptr || local->tm_wday < 0 || local->tm_wday > 6 || local->tm_mon < 0 || local->tm_mon > 11) {
    return std::string(kDialogTimeTextLength, '?');
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays + 3 * local->tm_wday,
                kMonths + 3 * local->tm_mon, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
                local->tm_year + 1900);
  std::string result(text);
  result.resize(kDialogTimeTextLength, ' ');
  return result;
}

uint32_t DialogListEntrySize(const DialogRecordHeader& header) {
  return static_cast<uint32_t>(header.Name().size() + header.Description().size()) + kDialogListEntryFixed;
}

void WriteDialogListEntry(const DialogRecordHeader& header, uint8_t* out) {
  const std::string name = header.Name();
  const std::string description = header.Description();
  const std::string time = DialogTimeText(header.m_time);
  StoreU32(out, header.m_id);
  out += 4;
  *out++ = 0;
  std::memcpy(out, name.c_str(), name.size() + 1);
  out += name.size() + 1;
  std::memcpy(out, description.c_str(), description.size() + 1);
  out += description.size() + 1;
  StoreU32(out, header.m_length);
  out += 4;
  *out++ = 0;
  std::memcpy(out, time.c_str(), kDialogTimeTextLength + 1);
}

uint32_t ParseDialogListEntry(const uint8_t* entry, std::size_t available, DialogEntryInfo* info) {
  if (entry == nullptr || available < 5) return 0;
  const std::size_t nameEnd = TextEnd(entry, available, 5, kDialogNameLimit);
  if (nameEnd == 0) return 0;
  const std::size_t descriptionEnd = TextEnd(entry, available, nameEnd + 1, kDialogDescriptionLimit);
  if (descriptionEnd == 0 || descriptionEnd + 6 > available) return 0;
  const std::size_t timeAt = descriptionEnd + 6;
  const std::size_t timeEnd = TextEnd(entry, available, timeAt, kDialogTimeTextField - 1);
  if (timeEnd == 0) return 0;
  *info = DialogEntryInfo();
  info->m_id = LoadU32(entry);
  std::memcpy(info->m_name, entry + 5, nameEnd - 5);
  std::memcpy(info->m_description, entry + nameEnd + 1, descriptionEnd - nameEnd - 1);
  info->m_dataLength = LoadU32(entry + descriptionEnd + 1);
  std::memcpy(info->m_timeText, entry + timeAt, timeEnd - timeAt);
  return static_cast<uint32_t>(timeEnd + 1);
}

}  // namespace zentor
