#pragma once
// The memory display settings: what the Memory Display dialog edits (start address,
// range choice, length or end address, element type and number base) and what the
// settings store keeps as the data of its records of id 5. One record for the run is
// the dialog's current state; the Memory window saves and restores it as "CURRENT".

#include <cstdint>
#include <string>

#include "support/rw_cstring.h"

namespace zentor {

inline constexpr uint32_t kMemoryDisplayRecordId = 5;

// The range choice: the control id of the chosen radio button.
inline constexpr uint32_t kMemoryRangeNone = 1202;
inline constexpr uint32_t kMemoryRangeLength = 1203;
inline constexpr uint32_t kMemoryRangeEndAddress = 1204;
// Entries of the dialog's element-type list (0 "CHAR" to 11 "REAL10") and base list
// (0 "Hex" to 2).
inline constexpr uint32_t kMemoryElementTypeCount = 12;
inline constexpr uint32_t kMemoryBaseCount = 3;

struct MemoryDisplaySettings {
  static constexpr uint32_t kRecordSize = 268;
  static constexpr uint32_t kTextFieldSize = 128;

  std::string m_startText = "$";
  uint32_t m_rangeChoice = kMemoryRangeLength;
  std::string m_endText = "128";  // the length or the end address
  uint32_t m_typeIndex = 3;       // "ORD4"
  uint32_t m_baseIndex = 0;       // "Hex"

  // Writes the 268-byte image.
  void CopyTo(uint8_t* buffer) const;
  // Takes an image of exactly 268 bytes whose range choice, type and base are ones the
  // dialog offers; false (nothing changed) otherwise.
  bool CopyFrom(const uint8_t* data, uint32_t length);
  // Reads the store's record (id 5) of that name into these settings: 0, the store's
  // code, or 114 for a record that is no image of them (nothing restored).
  int32_t ReadRecord(const RWCString& name);
};

// The dialog's current settings for the run.
MemoryDisplaySettings& TheMemoryDisplaySettings();

}  // namespace zentor
