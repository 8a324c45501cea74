#pragma once
// The saved form of the custom buttons: the data of the settings store's records of
// id 32, written by the Custom Buttons dialog's management and with the saved window
// layout. A count, the current index, then per button its 6-byte name and 251-byte
// command text, NUL-padded: 8 + 257 x count bytes, at most eight buttons.

#include <cstdint>
#include <string>
#include <vector>

#include "support/rw_cstring.h"

namespace zentor {

inline constexpr uint32_t kCustomButtonRecordId = 32;
inline constexpr uint32_t kMaxCustomButtons = 8;
inline constexpr uint32_t kCustomButtonNameSize = 6;       // 5 characters and a NUL
inline constexpr uint32_t kCustomButtonCommandSize = 251;  // 250 characters and a NUL
inline constexpr uint32_t kSavedCustomButtonSize = kCustomButtonNameSize + kCustomButtonCommandSize;
inline constexpr uint32_t kCustomButtonHeaderSize = 8;
inline constexpr uint32_t kMaxCustomButtonRecordSize =
    kCustomButtonHeaderSize + kSavedCustomButtonSize * kMaxCustomButtons;

struct SavedCustomButton {
  std::string m_name;
  std::string m_command;
};

struct CustomButtonRecord {
  int32_t m_currentIndex = -1;  // the row to select, -1 none
  std::vector<SavedCustomButton> m_buttons;

  // The saved form (at most eight buttons: the dialog never makes more).
  std::vector<uint8_t> Encode() const;
  // Takes a saved form whose count is at most eight and whose length holds that many
  // buttons; false (nothing changed) otherwise.
  bool Decode(const uint8_t* data, uint32_t length);
  // Reads the store's record (id 32) of that name: 0, the store's code, or 114 for a
  // record that is no saved form (nothing restored).
  int32_t ReadRecord(const RWCString& name);
};

}  // namespace zentor
