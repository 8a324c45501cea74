#include "gui/key_translation.h"

#include <gtest/gtest.h>

namespace zentor {
namespace {

// Virtual keys as the windowing system numbers them.
constexpr uint32_t kF4 = 0x73, kF6 = 0x75, kF10 = 0x79, kF11 = 0x7A, kUp = 0x26, kEnd = 0x23, kDelete = 0x2E;
constexpr uint32_t kLetterA = 0x41, kCancel = 0x03, kEscape = 0x1B;

TEST(KeyTranslationTest, VirtualKeysWithTheirModifiersGiveInternalCodes) {
  struct Case {
    const char* name;
    uint32_t virtualKey;
    bool shift, ctrl;
    bool translated;
    uint32_t code;
  };
  const Case cases[] = {
      {"F6", kF6, false, false, true, 336},
      {"Ctrl+F6 is F6", kF6, false, true, true, 336},
      {"Shift+F6 has no row", kF6, true, false, false, 0},
      {"Ctrl+Shift+F6 has no row", kF6, true, true, false, 0},
      {"F4", kF4, false, false, true, 334},
      {"Ctrl+F4", kF4, false, true, true, 3000},
      {"F10", kF10, false, false, true, 340},
      {"F11's row has no translation", kF11, false, false, false, 0},
      {"Up", kUp, false, false, true, 301},
      {"Ctrl+Up", kUp, false, true, true, 371},
      {"Shift+Up", kUp, true, false, false, 0},
      {"Ctrl+End", kEnd, false, true, true, 320},
      {"Shift+Delete", kDelete, true, false, true, 127},
      {"Ctrl+Delete", kDelete, false, true, false, 0},
      {"Ctrl+Break", kCancel, false, false, true, 3},
      {"Escape", kEscape, false, false, true, 27},
      {"a letter", kLetterA, false, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t code = c.virtualKey + kVirtualKeyCodeBase;
    EXPECT_EQ(TranslateKey(code, c.shift, c.ctrl), c.translated);
    EXPECT_EQ(code, c.translated ? c.code : c.virtualKey + kVirtualKeyCodeBase);
  }
  // Codes below 256 are characters, never keys.
  uint32_t character = kEscape;
  EXPECT_FALSE(TranslateKey(character, false, false));
  EXPECT_EQ(character, kEscape);
}

TEST(KeyTranslationTest, ShiftTabAndAltAHaveCodesOfTheirOwn) {
  EXPECT_EQ(TranslateCharacter('\t', true), 315u);
  EXPECT_EQ(TranslateCharacter('\t', false), static_cast<uint32_t>('\t'));
  EXPECT_EQ(TranslateCharacter('a', true), static_cast<uint32_t>('a'));
  for (char letter : {'a', 'A'}) {
    uint32_t code = 0;
    EXPECT_TRUE(TranslateSystemCharacter(letter, code));
    EXPECT_EQ(code, 1089u);
  }
  uint32_t code = 7;
  EXPECT_FALSE(TranslateSystemCharacter('b', code));
  EXPECT_EQ(code, 7u);
}

}  // namespace
}  // namespace zentor
