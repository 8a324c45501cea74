#include "gui/key_translation.h"

namespace zentor {
namespace {

// Virtual-key codes of the windowing system.
constexpr uint32_t kVkCancel = 0x03;
constexpr uint32_t kVkTab = 0x09;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkPageUp = 0x21;
constexpr uint32_t kVkPageDown = 0x22;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkInsert = 0x2D;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkHelp = 0x2F;
constexpr uint32_t kVkF1 = 0x70;

constexpr uint32_t Shift(uint32_t key) { return key + kShiftKeyOffset; }
constexpr uint32_t Ctrl(uint32_t key) { return key + kCtrlKeyOffset; }
constexpr uint32_t F(uint32_t n) { return kVkF1 + n - 1; }

}  // namespace

const KeyTranslationRow kKeyTranslationTable[] = {
    {kKeyHelp, F(1)},
    {332, F(2)},
    {333, F(3)},
    {kKeyZoom, F(4)},
    {kKeyCloseWindow, Ctrl(F(4))},
    {335, F(5)},
    {kKeyNextWindow, F(6)},
    {kKeyNextWindow, Ctrl(F(6))},
    {337, F(7)},
    {338, F(8)},
    {339, F(9)},
    {340, F(10)},
    {kNoKeyTranslation, F(11)},
    {kNoKeyTranslation, F(12)},
    {kNoKeyTranslation, F(13)},
    {kNoKeyTranslation, F(14)},
    {kNoKeyTranslation, F(15)},
    {301, kVkUp},
    {371, Ctrl(kVkUp)},
    {302, kVkDown},
    {372, Ctrl(kVkDown)},
    {303, kVkRight},
    {322, Ctrl(kVkRight)},
    {304, kVkLeft},
    {321, Ctrl(kVkLeft)},
    {305, kVkPageUp},
    {324, Ctrl(kVkPageUp)},
    {306, kVkPageDown},
    {323, Ctrl(kVkPageDown)},
    {309, kVkHome},
    {310, kVkEnd},
    {319, Ctrl(kVkHome)},
    {320, Ctrl(kVkEnd)},
    {312, kVkInsert},
    {316, kVkHelp},
    {127, kVkDelete},
    {127, Shift(kVkDelete)},
    {3, kVkCancel},
    {27, kVkEscape},
    {0, 0},
};

bool TranslateKey(uint32_t& code, bool shiftDown, bool ctrlDown) {
  if (code < kVirtualKeyCodeBase) return false;
  uint32_t key = code - kVirtualKeyCodeBase;
  if (shiftDown) key += kShiftKeyOffset;
  if (ctrlDown) key += kCtrlKeyOffset;
  for (const KeyTranslationRow* row = kKeyTranslationTable; row->m_key != 0; ++row) {
    if (row->m_key != key) continue;
    if (row->m_internalCode == kNoKeyTranslation) return false;
    code = row->m_internalCode;
    return true;
  }
  return false;
}

uint32_t TranslateCharacter(uint32_t character, bool shiftDown) {
  return character == kVkTab && shiftDown ? kKeyShiftTab : character;
}

bool TranslateSystemCharacter(uint32_t character, uint32_t& code) {
  if (character != 'a' && character != 'A') return false;
  code = kKeyPopupMenu;
  return true;
}

}  // namespace zentor
