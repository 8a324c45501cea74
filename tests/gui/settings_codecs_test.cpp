#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gui/custom_button_record.h"
#include "gui/invocation_settings.h"
#include "gui/layout_block.h"
#include "gui/memory_display_settings.h"
#include "gui/settings_record.h"
#include "settings_record_test_support.h"

namespace zentor {
namespace {

// Kind 999, layer 0, bounds (10, 20, 300, 400), saved (-1, -2, 30, 40), focused,
// maximised, no viewpoint text.
std::vector<uint8_t> FrameRecordHex() {
  return Hex("E7 03 00 00  00 00 00 00  0A 00 00 00  14 00 00 00  2C 01 00 00  90 01 00 00"
             "  FF FF FF FF  FE FF FF FF  1E 00 00 00  28 00 00 00  01 00 00 00  02 00 00 00") +
         Zeros(128);
}

TEST(LayoutBlockTest, RecordsComeBackFromExactBytesAndAreCountedByLength) {
  const std::vector<uint8_t> block = Hex("01 00 00 00") + FrameRecordHex();
  std::vector<WindowLayoutRecord> records;
  ASSERT_TRUE(DecodeLayoutBlock(block.data(), static_cast<uint32_t>(block.size()), &records));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].m_kind, kFrameLayoutKind);
  EXPECT_EQ(records[0].m_bounds.m_width, 400);
  EXPECT_EQ(records[0].m_savedBounds.m_left, -2);
  EXPECT_EQ(records[0].m_showState, 2u);
  EXPECT_EQ(EncodeLayoutBlock(records), block);

  std::vector<uint8_t> nine = Hex("0A 00 00 00");  // says ten, holds nine
  for (int i = 0; i < 9; ++i) nine = nine + FrameRecordHex();
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    bool accepted;
    std::size_t records;
  } cases[] = {
      {"1588 bytes are 9 records", nine, true, 9},
      {"count word alone", Hex("05 00 00 00"), true, 0},
      {"a partial record is left out", block + Zeros(175), true, 1},
      {"too short for the count word", Hex("01 00 00"), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<WindowLayoutRecord> decoded(3);
    EXPECT_EQ(DecodeLayoutBlock(c.block.data(), static_cast<uint32_t>(c.block.size()), &decoded), c.accepted);
    EXPECT_EQ(decoded.size(), c.accepted ? c.records : 3u);
  }
}

TEST(LayoutBlockTest, StripExtensionCutsTheLastComponentOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"a.b.c", "a"},          {"dir.x\\name", "dir.x\\name"},       {"dir\\name.exe", "dir\\name"},
      {"C:zentor.exe", "C:zentor"}, {"build/native/zentor", "build/native/zentor"}, {".profile", ".profile"},
      {"..\\x.y", "..\\x"},     {"dir/.hidden", "dir/"},
  };
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(StripExtension(path), expected);
  }
}

// Option A 1, option B 0, the spare word 0xDEADBEEF, batch on, macro off, macro name
// "m.cfg", batch name "b.txt".
std::vector<uint8_t> InvocationHex() {
  return Hex("01 00 00 00  00 00 00 00  EF BE AD DE  01 00 00 00  00 00 00 00") + Hex("6D 2E 63 66 67") +
         Zeros(251) + Hex("62 2E 74 78 74") + Zeros(251);
}

TEST(InvocationSettingsTest, ImageRoundTripsAndOnlyItsLengthIsAccepted) {
  const std::vector<uint8_t> image = InvocationHex();
  InvocationSettings settings;
  ASSERT_TRUE(settings.CopyFrom(image.data(), 532));
  EXPECT_EQ(settings.m_spare, 0xDEADBEEFu);
  EXPECT_EQ(settings.m_batchOn, 1u);
  EXPECT_EQ(settings.m_macroName, "m.cfg");
  EXPECT_EQ(settings.m_batchName, "b.txt");
  std::vector<uint8_t> written(533, 0xAA);
  settings.CopyTo(written.data());
  EXPECT_EQ(written, image + Hex("AA"));

  const std::vector<uint8_t> other = Zeros(533);
  EXPECT_FALSE(settings.CopyFrom(other.data(), 531));
  EXPECT_FALSE(settings.CopyFrom(other.data(), 533));
  EXPECT_EQ(settings.m_optionA, 1u);

  // A name field without its NUL gives 255 characters, which fit it again.
  std::vector<uint8_t> unterminated = image;
  std::fill(unterminated.begin() + 20, unterminated.begin() + 276, 'x');
  ASSERT_TRUE(settings.CopyFrom(unterminated.data(), 532));
  EXPECT_EQ(settings.m_macroName, std::string(255, 'x'));
  EXPECT_EQ(settings.m_batchName, "b.txt");
}

TEST(InvocationSettingsTest, EngineNoticesCopyBoundedNames) {
  InvocationSettings& settings = TheInvocationSettings();
  settings = InvocationSettings{};
  char buffer[300];
  std::memset(buffer, '#', sizeof buffer);
  InvocationDialog::OnEngineNotice(kNoticeGetMacroName, buffer);
  EXPECT_EQ(buffer[0], '#');  // an empty name leaves the buffer alone

  const std::string longName(290, 'n');
  InvocationDialog::OnEngineNotice(kNoticeSetMacroName, longName.c_str());
  InvocationDialog::OnEngineNotice(kNoticeGetMacroName, buffer);
  EXPECT_EQ(std::string(buffer), std::string(255, 'n'));
  EXPECT_EQ(buffer[256], '#');

  const char shortName[] = "b.bat";  // read only to its NUL
  InvocationDialog::OnEngineNotice(kNoticeSetBatchName, shortName);
  std::memset(buffer, '#', sizeof buffer);
  InvocationDialog::OnEngineNotice(kNoticeGetBatchName, buffer);
  EXPECT_STREQ(buffer, "b.bat");
  EXPECT_EQ(buffer[6], '#');

  std::vector<uint8_t> image(536, 0xAA);
  InvocationDialog::OnEngineNotice(kNoticeInvocationRecord, image.data());
  InvocationSettings copy;
  EXPECT_TRUE(copy.CopyFrom(image.data(), 532));
  EXPECT_EQ(copy.m_batchName, "b.bat");
  EXPECT_EQ(image[532], 0xAA);

  // Null empties a name; other codes, and a copying notice without a buffer, do nothing.
  InvocationDialog::OnEngineNotice(kNoticeSetMacroName, nullptr);
  EXPECT_EQ(settings.m_macroName, "");
  for (uint32_t code : {0x42u, 0x45u, 0x48u}) InvocationDialog::OnEngineNotice(code, buffer);
  InvocationDialog::OnEngineNotice(kNoticeGetBatchName, nullptr);
  InvocationDialog::OnEngineNotice(kNoticeInvocationRecord, nullptr);
  EXPECT_EQ(settings.m_batchName, "b.bat");
  settings = InvocationSettings{};
}

// Start "$", range choice 1203, end "128", type 3, base 0: the dialog's initial state.
std::vector<uint8_t> MemoryDisplayHex() {
  return Hex("24") + Zeros(127) + Hex("B3 04 00 00  31 32 38") + Zeros(125) + Hex("03 00 00 00  00 00 00 00");
}

TEST(MemoryDisplaySettingsTest, InitialSettingsAreTheImageAndOnlyOfferedChoicesAreAccepted) {
  std::vector<uint8_t> written(268);
  MemoryDisplaySettings{}.CopyTo(written.data());
  EXPECT_EQ(written, MemoryDisplayHex());

  const struct {
    const char* name;
    uint32_t offset;  // of the word's low byte
    uint8_t low, high;
    uint32_t length;
    bool accepted;
  } cases[] = {
      {"no range", 128, 0xB2, 0x04, 268, true},       {"end address", 128, 0xB4, 0x04, 268, true},
      {"REAL10", 260, 11, 0, 268, true},              {"range choice 1201", 128, 0xB1, 0x04, 268, false},
      {"range choice 1205", 128, 0xB5, 0x04, 268, false}, {"type 12", 260, 12, 0, 268, false},
      {"base 3", 264, 3, 0, 268, false},              {"one byte short", 128, 0xB3, 0x04, 267, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = MemoryDisplayHex();
    image[c.offset] = c.low;
    image[c.offset + 1] = c.high;
    MemoryDisplaySettings settings;
    settings.m_startText = "before";
    EXPECT_EQ(settings.CopyFrom(image.data(), c.length), c.accepted);
    EXPECT_EQ(settings.m_startText, c.accepted ? "$" : "before");
    settings.CopyTo(written.data());
    if (c.accepted) EXPECT_EQ(written, image);
  }
}

// Two buttons, the second current: "go" running "go", "regs" running "regs eax".
std::vector<uint8_t> ButtonsHex() {
  return Hex("02 00 00 00  01 00 00 00  67 6F") + Zeros(4) + Hex("67 6F") + Zeros(249) + Hex("72 65 67 73") +
         Zeros(2) + Hex("72 65 67 73 20 65 61 78") + Zeros(243);
}

TEST(CustomButtonRecordTest, SavedFormRoundTripsAndItsCountIsBounded) {
  const std::vector<uint8_t> data = ButtonsHex();
  CustomButtonRecord record;
  ASSERT_TRUE(record.Decode(data.data(), static_cast<uint32_t>(data.size())));
  ASSERT_EQ(record.m_buttons.size(), 2u);
  EXPECT_EQ(record.m_currentIndex, 1);
  EXPECT_EQ(record.m_buttons[1].m_name, "regs");
  EXPECT_EQ(record.m_buttons[1].m_command, "regs eax");
  EXPECT_EQ(record.Encode(), data);
  EXPECT_EQ(CustomButtonRecord{}.Encode(), Hex("00 00 00 00  FF FF FF FF"));

  const struct {
    const char* name;
    std::vector<uint8_t> data;
    bool accepted;
  } cases[] = {
      {"eight buttons", Hex("08 00 00 00  00 00 00 00") + Zeros(8 * 257), true},
      {"room to spare", data + Zeros(10), true},
      {"nine buttons", Hex("09 00 00 00  00 00 00 00") + Zeros(9 * 257), false},
      {"count 0xFFFFFFFF", Hex("FF FF FF FF  00 00 00 00") + Zeros(2056), false},
      {"count whose size wraps", Hex("00 00 00 40  00 00 00 00") + Zeros(2056), false},
      {"one byte short", std::vector<uint8_t>(data.begin(), data.end() - 1), false},
      {"header cut", Hex("00 00 00 00  FF FF FF"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CustomButtonRecord decoded = record;
    EXPECT_EQ(decoded.Decode(c.data.data(), static_cast<uint32_t>(c.data.size())), c.accepted);
    if (!c.accepted) EXPECT_EQ(decoded.m_buttons.size(), 2u);
  }
}

// A stored record restores only when it is well formed; anything else answers and
// leaves the settings as they were.
TEST(SettingsRecordTest, StoredRecordsRestoreWholeOrNotAtAll) {
  SettingsStoreFake store;
  store.Put(kInvocationRecordId, "good", InvocationHex());
  store.Put(kInvocationRecordId, "short", Zeros(531));
  store.Put(kInvocationRecordId, "long", InvocationHex() + Zeros(100));
  store.Put(kInvocationRecordId, "damaged", InvocationHex(), true);
  store.Put(kWindowLayoutRecordId, kLayoutEntryName, Hex("01 00 00"));

  InvocationSettings invocation;
  std::vector<WindowLayoutRecord> layout(1);
  const struct {
    const char* name;
    std::function<int32_t()> read;
    int32_t answer;
  } cases[] = {
      {"missing", [&] { return invocation.ReadRecord(RWCString("none")); }, -1007},
      {"short", [&] { return invocation.ReadRecord(RWCString("short")); }, kMalformedSettingsRecord},
      {"longer than its image", [&] { return invocation.ReadRecord(RWCString("long")); }, kMalformedSettingsRecord},
      {"bad checksum", [&] { return invocation.ReadRecord(RWCString("damaged")); }, 10},
      {"layout block cut", [&] { return ReadLayoutBlock(&layout); }, kMalformedSettingsRecord},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.read(), c.answer);
  }
  EXPECT_EQ(invocation.m_batchName, "");
  EXPECT_EQ(layout.size(), 1u);
  EXPECT_EQ(invocation.ReadRecord(RWCString("good")), 0);
  EXPECT_EQ(invocation.m_batchName, "b.txt");
}

}  // namespace
}  // namespace zentor
