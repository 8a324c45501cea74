// The Registers window's manager through the dispatcher, against the stand-in agent:
// the lines laid out from seeded registers (with and without a floating-point unit)
// and the edits typed into its fields, checked in the emulator's own registers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/soft_float.h"
#include "core/value_bytes.h"
#include "core/view_kind.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"
#include "target/agent_requests.h"
#include "target/register_model.h"
#include "target/register_tables.h"
#include "target/register_view.h"
#include "target/target_gui.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 0;
constexpr uint16_t kAllGroups = 0xF;
constexpr uint16_t kGeneralGroups = 0x7;

const std::string kGoldenDirectory = std::string(ZENTOR_TEST_DATA_DIR) + "/views/";

RegisterBlock EmulatorRegisters() {
  RegisterBlock block;
  block.SetMask(IsFpuPresent() ? kAllGroups : kGeneralGroups);
  EXPECT_EQ(AgentReadRegisters(kThread, &block), 0u);
  return block;
}

uint32_t Word(const RegisterBlock& block, const RegisterField& field) {
  return value_bytes::LoadU32(block.Group(field.m_group) + field.m_offset);
}

double Extended(const RegisterBlock& block, const RegisterField& field) {
  uint8_t packed[8];
  PackDouble(UnpackExtended(block.Group(field.m_group) + field.m_offset), packed);
  double value = 0;
  std::memcpy(&value, packed, sizeof value);
  return value;
}

void StoreExtended(RegisterBlock& block, const RegisterField& field, double value) {
  uint8_t bytes[8];
  std::memcpy(bytes, &value, sizeof bytes);
  PackExtended(UnpackDouble(bytes), block.Group(field.m_group) + field.m_offset);
}

class BrowseRecorder : public TargetGui {
 public:
  void BrowseToAddress(const TargetAddressRecord& address) override { m_browsed.push_back(address.m_offset); }
  std::vector<uint32_t> m_browsed;
};

class RegisterViewTest : public ::testing::Test {
 protected:
  void Open(const std::vector<std::string>& agentArguments) {
    std::string reason;
    if (!m_session.Connect(agentArguments, &reason)) GTEST_SKIP() << reason;
    // Known values everywhere the window shows.
    RegisterBlock seeded = EmulatorRegisters();
    const uint32_t words[] = {0x11223344, 0x55667788, 0x99aabbcc, 0xddeeff00, 0x00001234, 0x0badf00d};
    for (uint32_t i = 0; i < 6; ++i) value_bytes::StoreU32(seeded.Group(1) + 4 * i, words[i]);
    value_bytes::StoreU32(seeded.Group(0), 0x0200f000);  // ebp
    value_bytes::StoreU32(seeded.Group(0) + 8, 0x246);   // eflags
    if (IsFpuPresent()) {
      for (uint32_t reg = 0; reg < 8; ++reg) StoreExtended(seeded, FloatingRegisterAt(5 + reg).m_field, reg * 1.5 - 2);
      value_bytes::StoreU32(seeded.Group(3) + 4, 0x00a1);  // fsw
    }
    ASSERT_EQ(AgentWriteRegisters(kThread, &seeded), 0u);
    InvalidateRegisterCache();
    m_pane.layerId = 5;
    m_pane.rows = 20;
    EXPECT_EQ(Send(kGuiOpened), 0);
    EXPECT_EQ(Send(kGuiRefresh), 0);
  }
  void TearDown() override {
    if (m_pane.layerId >= 0) Send(kGuiClosing);
    DestroyAllViewManagers();
  }
  int32_t Send(int32_t code) {
    m_status.Reset();
    return ViewDispatcher::RunGuiCommandForKind(m_status, kViewRegisters, &m_pane, code, 0);
  }
  // Types `text` over field `field` of line `line` (the rest of the field blank) and
  // commits it as the field pane does.
  int32_t Type(int32_t line, int32_t field, const std::string& text) {
    testing_support::OvertypeField(m_pane, line, field, text);
    const int32_t result = Send(kGuiCommitField);
    InvalidateRegisterCache();
    Send(kGuiRefresh);
    return result;
  }

  testing_support::StandInSession m_session;
  TextPane m_pane;
  DVError m_status;
};

TEST_F(RegisterViewTest, LinesWithoutTheFloatingPointUnit) {
  Open({"--no-fpu"});
  if (IsSkipped()) return;
  EXPECT_EQ(m_pane.count, 8);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "registers_no_fpu.txt", testing_support::DumpPane(m_pane)));
}

TEST_F(RegisterViewTest, LinesWithTheFloatingPointUnit) {
  Open({});
  if (IsSkipped()) return;
  EXPECT_EQ(m_pane.count, 20);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "registers_fpu.txt", testing_support::DumpPane(m_pane)));
}

TEST_F(RegisterViewTest, EditsReachTheEmulator) {
  Open({});
  if (IsSkipped()) return;
  BrowseRecorder browser;
  TargetGui* before = InstallTargetGui(&browser);
  const RegisterField eax = GeneralRegisterAt(0).m_field;
  const RegisterField st0 = FloatingRegisterAt(5).m_field;
  struct Case {
    const char* name;
    int32_t line, field;
    const char* text;
    RegisterField where;
    uint32_t expected;  // the word, or the real for st0 (compared as a double)
  };
  const std::vector<Case> cases = {
      {"12 in eax", 1, 0, "12", eax, 0x12},
      {"a blank ends the text", 1, 0, "1 2", eax, 0x1},
      {"Z over z sets bit 6", 6, 5, "Z", kFieldEflags, 0x246},
      {"0 over Z clears it", 6, 5, "0", kFieldEflags, 0x206},
      {"1 over z sets it", 6, 5, "1", kFieldEflags, 0x246},
      {"q changes nothing", 6, 5, "q", kFieldEflags, 0x246},
      {"0202 into the flags", 6, 0, "0202", kFieldEflags, 0x202},
      {"st0 3", 9, 5, "3", st0, 3},
      {"st0 1e3", 9, 5, "1e3", st0, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Type(c.line, c.field, c.text), 0) << m_status.Number();
    const RegisterBlock image = EmulatorRegisters();
    if (c.where.m_kind == kKindReal10) {
      EXPECT_EQ(Extended(image, c.where), static_cast<double>(c.expected));
    } else {
      EXPECT_EQ(Word(image, c.where), c.expected);
    }
  }
  EXPECT_TRUE(browser.m_browsed.empty());
  // A text that does not evaluate gives its message and the registers stay.
  const uint32_t eaxBefore = Word(EmulatorRegisters(), eax);
  EXPECT_NE(Type(1, 0, "xyz?"), 0);
  EXPECT_EQ(Word(EmulatorRegisters(), eax), eaxBefore);
  // A new eip browses there.
  EXPECT_EQ(Type(5, 0, "401000"), 0);
  EXPECT_EQ(Word(EmulatorRegisters(), kFieldEip), 0x401000u);
  EXPECT_EQ(browser.m_browsed, std::vector<uint32_t>{0x401000});
  InstallTargetGui(before);
}

}  // namespace
}  // namespace zentor
