#pragma once
// The translation of keys into the internal key codes the windows read: a virtual key
// with its Shift and Ctrl state becomes a code of the key translation table (F1..F10
// 331..340, Up 301, Esc 27, ...), and two keys that arrive as characters get codes of
// their own (Shift+Tab 315, Alt+A 1089). Keys without a translation (letters, digits,
// Shift+arrows, Alt combinations) reach the windows as characters.

#include <cstdint>

namespace zentor {

// A row's key: the virtual-key code, plus kShiftKeyOffset while Shift is down, plus
// kCtrlKeyOffset while Ctrl is down.
inline constexpr uint32_t kShiftKeyOffset = 1000;
inline constexpr uint32_t kCtrlKeyOffset = 2000;
// The internal code of a key that has a row but no translation.
inline constexpr uint32_t kNoKeyTranslation = 65535;
// Codes of the message translation: key messages come as the virtual key plus this.
inline constexpr uint32_t kVirtualKeyCodeBase = 256;

// Internal codes that window code acts on.
inline constexpr uint32_t kKeyHelp = 331;         // F1
inline constexpr uint32_t kKeyZoom = 334;         // F4
inline constexpr uint32_t kKeyNextWindow = 336;   // F6 and Ctrl+F6
inline constexpr uint32_t kKeyShiftTab = 315;
inline constexpr uint32_t kKeyPopupMenu = 1089;   // Alt+A
inline constexpr uint32_t kKeyCloseWindow = 3000;  // Ctrl+F4

struct KeyTranslationRow {
  uint32_t m_internalCode;
  uint32_t m_key;
};

// The rows in search order, ended by a row whose key is 0.
extern const KeyTranslationRow kKeyTranslationTable[];

// The internal code of a key message's code (virtual key + 256) with the modifiers
// held: true and the code replaced when the first row of that key translates it;
// false (code unchanged) for codes below 256, keys without a row and rows of 65535.
bool TranslateKey(uint32_t& code, bool shiftDown, bool ctrlDown);
// A character typed: Tab with Shift down is 315, any other character itself.
uint32_t TranslateCharacter(uint32_t character, bool shiftDown);
// A character typed with Alt: 'a' or 'A' is 1089; false for every other, which
// produces no key.
bool TranslateSystemCharacter(uint32_t character, uint32_t& code);

}  // namespace zentor
