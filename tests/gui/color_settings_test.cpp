#include "gui/color_settings.h"

#include "core/viewpoint_manager.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/window_layer.h"
#include "engine/dialog_records.h"
#include "gui/manage_operations.h"
#include "gui/settings_record.h"
#include "settings_record_test_support.h"

namespace zentor {
namespace {

// A windowing system whose colours say which element and part they were asked for.
class SystemColors final : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return -1; }
  int32_t GetWindowType(int32_t) override { return -1; }
  int32_t ShowMessageBox(int32_t, uint32_t, const char*, const char*) override { return kMessageBoxAnswerOk; }
  void Beep() override {}
  uint32_t GetSystemElementColor(uint32_t element, bool foreground) override {
    return m_base + element * 0x10 + (foreground ? 1 : 0);
  }
  uint32_t m_base = 0x100000;
};

class ColorSettingsTest : public ::testing::Test {
 protected:
  ColorSettingsTest() : m_previous(WindowLayer::SetBackend(&m_system)) { ColorSettings::Reset(); }
  ~ColorSettingsTest() override {
    ColorSettings::SetColorSetLookup(&ViewpointManager::ColorSetOf);
    ColorSettings::Reset();
    WindowLayer::SetBackend(m_previous);
  }

  static uint32_t Word(const ColorTable& table, uint32_t set, uint32_t element, uint32_t scheme, bool foreground) {
    return table.m_sets[set][element][ColorWordIndex(scheme, foreground)];
  }
  std::vector<uint8_t> StoredTable(const char* name) const { return m_store.DataOf(kColorTableRecordId, name); }

  SystemColors m_system;
  WindowLayerBackend* m_previous;
  SettingsStoreFake m_store;
};

TEST_F(ColorSettingsTest, SlotsGoToTheLeastUsedAndAReleasedSlotComesBackFirst) {
  EXPECT_EQ(AllocateViewpointColorSlot(), 1);
  EXPECT_EQ(AllocateViewpointColorSlot(), 2);
  EXPECT_EQ(AllocateViewpointColorSlot(), 3);
  ReleaseViewpointColorSlot(2);
  EXPECT_EQ(AllocateViewpointColorSlot(), 2);
  EXPECT_EQ(AllocateViewpointColorSlot(), 4);
  for (int32_t expected = 5; expected <= 8; ++expected) EXPECT_EQ(AllocateViewpointColorSlot(), expected);
  // All used once: the lowest again. Slots out of 1..8 are not released, and a slot
  // released more often than handed out is used no less than never.
  EXPECT_EQ(AllocateViewpointColorSlot(), 1);
  ReleaseViewpointColorSlot(0);
  ReleaseViewpointColorSlot(9);
  for (int i = 0; i < 3; ++i) ReleaseViewpointColorSlot(5);
  ReleaseViewpointColorSlot(3);
  EXPECT_EQ(AllocateViewpointColorSlot(), 3);
  EXPECT_EQ(AllocateViewpointColorSlot(), 5);
  EXPECT_EQ(AllocateViewpointColorSlot(), 2);
}

TEST_F(ColorSettingsTest, ColorsFollowViewpointSchemeAndElement) {
  const ViewpointHandle none = ViewpointHandle::None();
  EXPECT_EQ(ColorSettings::GetColor(none, kColorElementStatusLine, 1), 0x01FF0000u);
  EXPECT_EQ(ColorSettings::GetColor(none, kColorElementStatusLine, 0), 0x0BFFFFFFu);
  EXPECT_EQ(ColorSettings::GetColor(none, 16, 1), kNoColorWord);
  EXPECT_EQ(ColorSettings::GetColor(none, 0xFFFFFFFF, 0), kNoColorWord);

  // Viewpoints draw with their slot's set; -2 and a slot out of range draw with set 0.
  ColorSettings::SetColorSetLookup([](ViewpointHandle viewpoint) { return viewpoint.Value() == 7 ? 3 : 12; });
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(7), kColorElementClientArea, 0), 0x800040u);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(7), kColorElementHilight, 0), 0x800040u);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(8), kColorElementClientArea, 0), 0x00808080u);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(ViewpointHandle::kReserved), kColorElementClientArea, 0), 0x00808080u);

  // Black and white for any notice word but 10.
  ColorSettings::OnBlackWhiteNotice(20);
  EXPECT_EQ(ColorSettings::GetColor(none, kColorElementStatusLine, 1), 0x07000000u);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle(7), kColorElementClientArea, 0), 0x07000000u);
  ColorSettings::OnBlackWhiteNotice(10);
  EXPECT_EQ(ColorSettings::Scheme(), kColorSchemeColour);
}

TEST_F(ColorSettingsTest, TableImageHasItsWordsWhereTheyBelong) {
  const std::vector<uint8_t> image = BuiltInColorTable().Encode();
  ASSERT_EQ(image.size(), 2448u);
  struct Case {
    const char* name;
    std::size_t offset;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"set 0, Menus, scheme 0 foreground", 0, Hex("00 00 00 07")},
      {"set 0, Window title, scheme 0 background", 16 + 4, Hex("00 00 00 40")},
      {"set 0, reserved row", 16 * 16, Hex("00 00 00 07  00 00 00 07  00 00 00 07  00 00 00 07")},
      {"set 1, client area, scheme 1 background", 272 + 4 * 16 + 12, Hex("40 40 00 00")},
      {"set 8, Hilight text, scheme 1", 8 * 272 + 9 * 16 + 8, Hex("00 00 FF 01  00 00 40 00")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + c.offset, image.begin() + c.offset + c.bytes.size()), c.bytes);
  }
  ColorTable decoded;
  ASSERT_TRUE(decoded.Decode(image.data(), 2448));
  EXPECT_EQ(decoded.Encode(), image);
  EXPECT_FALSE(decoded.Decode(image.data(), 2447));
  EXPECT_FALSE(decoded.Decode(image.data(), 272));
}

TEST_F(ColorSettingsTest, StartUpStoresDefaultsAndKeepsAStoredCurrentButItsSystemWords) {
  // No entries: both are made from the built-in table with the system's colours.
  ColorSettings::Initialize(1);
  const ColorTable& builtIn = ColorSettings::BuiltInTable();
  EXPECT_EQ(Word(builtIn, 4, 0, 1, true), 0x100001u);
  EXPECT_EQ(Word(builtIn, 8, 7, 1, false), 0x100070u);
  EXPECT_EQ(Word(builtIn, 0, 3, 1, true), 0x06FFFF00u);  // the border's text is the table's own
  EXPECT_EQ(Word(builtIn, 0, 0, 0, true), 0x07000000u);  // scheme 0 keeps its words
  EXPECT_EQ(StoredTable("DEFAULT"), builtIn.Encode());
  EXPECT_EQ(StoredTable("CURRENT"), builtIn.Encode());
  EXPECT_EQ(ColorSettings::WorkingTable().Encode(), builtIn.Encode());

  // A stored CURRENT keeps the user's colours; the system's colours have changed since
  // and its system words follow them. DEFAULT stays as stored.
  ColorTable user = BuiltInColorTable();
  user.m_sets[2][kColorElementStatusLine][ColorWordIndex(1, true)] = 0x123456;
  user.m_sets[2][0][ColorWordIndex(1, true)] = 0x654321;
  m_store.RemoveRecord(kColorTableRecordId, RWCString("CURRENT"));
  m_store.Put(kColorTableRecordId, "CURRENT", user.Encode());
  const std::vector<uint8_t> firstDefault = StoredTable("DEFAULT");
  ColorSettings::Reset();
  m_system.m_base = 0x200000;
  ColorSettings::Initialize(1);
  const ColorTable& working = ColorSettings::WorkingTable();
  EXPECT_EQ(Word(working, 2, kColorElementStatusLine, 1, true), 0x123456u);
  EXPECT_EQ(Word(working, 2, 0, 1, true), 0x200001u);
  EXPECT_EQ(ColorSettings::DialogSet()[6][ColorWordIndex(1, false)], 0x200060u);
  EXPECT_EQ(StoredTable("DEFAULT"), firstDefault);

  // A CURRENT that is no colour table leaves the defaults in use and is not replaced.
  m_store.RemoveRecord(kColorTableRecordId, RWCString("CURRENT"));
  m_store.Put(kColorTableRecordId, "CURRENT", Zeros(2447));
  ColorSettings::Reset();
  ColorSettings::Initialize(1);
  EXPECT_EQ(ColorSettings::WorkingTable().Encode(), ColorSettings::BuiltInTable().Encode());
  EXPECT_EQ(StoredTable("CURRENT").size(), 2447u);

  // The system's colours change: DEFAULT is replaced, the working table follows.
  m_system.m_base = 0x300000;
  ColorSettings::ResetDefault();
  EXPECT_EQ(Word(ColorSettings::WorkingTable(), 1, 5, 1, false), 0x300050u);
  EXPECT_EQ(StoredTable("DEFAULT"), ColorSettings::BuiltInTable().Encode());
}

TEST_F(ColorSettingsTest, ManagedTablesSaveRestoreAndRemove) {
  const auto entry = [](const char* name) {
    NamedSetRequest request;
    request.m_name = RWCString(name);
    request.m_description = RWCString("colours");
    return request;
  };
  NamedSetRequest mine = entry("mine"), cut = entry("cut"), missing = entry("missing"), other = entry("other");
  ColorSettings::Initialize(1);
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageSave, &mine), 0);
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageSave, &mine), -1002);
  const std::vector<uint8_t> saved = StoredTable("mine");
  EXPECT_EQ(saved, ColorSettings::WorkingTable().Encode());

  // A cut table and a missing one restore nothing.
  m_store.Put(kColorTableRecordId, "cut", std::vector<uint8_t>(saved.begin(), saved.end() - 4));
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageRestore, &cut), kMalformedSettingsRecord);
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageRestore, &missing), -1007);
  EXPECT_EQ(ColorSettings::WorkingTable().Encode(), saved);

  ColorTable table = BuiltInColorTable();
  table.m_sets[0][kColorElementStatusLine][ColorWordIndex(1, true)] = 0xABCDEF;
  m_store.Put(kColorTableRecordId, "other", table.Encode());
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageRestore, &other), 0);
  EXPECT_EQ(ColorSettings::GetColor(ViewpointHandle::None(), kColorElementStatusLine, 1), 0xABCDEFu);
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageRemove, &other), 0);
  EXPECT_EQ(ColorSettings::ManageEntry(3, kManageRemove, &other), -1007);
}

}  // namespace
}  // namespace zentor
