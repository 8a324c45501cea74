// The Memory window's manager through the dispatcher, over a byte image of target
// memory: the twelve formats, walks to both ends of a range through the pane's own
// moves, an overtyped value, the save file and the dialog field checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "command/value_output.h"
#include "core/target_memory.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"
#include "core/view_kind.h"
#include "engine/memory_view.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "harness/byte_image_target_memory.h"
#include "harness/pane_dump.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

constexpr uint32_t kBase = 0x1000;
const std::string kGoldenDirectory = std::string(ZENTOR_TEST_DATA_DIR) + "/views/";

void SetText(char (&field)[MemoryDisplayRequest::kTextSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

class MemoryViewTest : public ::testing::Test, public PaneOwner {
 protected:
  void SetUp() override {
    ValueStack::Create();
    ValueStack::Reset();
    ResetValueOutput();
    std::vector<uint8_t> bytes(0x200);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 0x41);
    m_memory.Map(kBase, bytes);
    TargetMemory::InstallService(&m_memory);
    m_pane.layerId = 11;
    m_pane.owner = this;
    m_pane.rows = 4;
    m_request.rows = 4;
    m_request.radix = 16;
    EXPECT_EQ(Send(kGuiOpened), 0);
  }
  void TearDown() override {
    Send(kGuiClosing);
    DestroyAllViewManagers();
    TargetMemory::InstallService(nullptr);
    ValueStack::Reset();
  }
  int32_t Send(int32_t code) {
    m_status.Reset();
    return ViewDispatcher::RunGuiCommandForKind(m_status, kViewMemory, &m_pane, code,
                                                reinterpret_cast<intptr_t>(&m_request));
  }
  // The pane asks through the window, which passes its request with the argument.
  int32_t SendViewRequest(int32_t code, intptr_t argument) override {
    m_request.requestArgument = static_cast<uint32_t>(argument);
    return Send(code);
  }
  int32_t Show(uint32_t typeIndex, const std::string& start, const std::string& length) {
    m_request.typeIndex = typeIndex;
    SetText(m_request.startText, start);
    SetText(m_request.endText, length);
    m_request.lengthMode = 1;
    m_request.noRange = 0;
    m_request.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart |
                            MemoryDisplayRequest::kRangeGiven;
    return Send(kGuiRefresh);
  }
  // Without a range: every move is asked of the view.
  int32_t ShowOpenEnded(uint32_t typeIndex, const std::string& start) {
    m_request.noRange = 1;
    m_request.typeIndex = typeIndex;
    SetText(m_request.startText, start);
    m_request.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart;
    return Send(kGuiRefresh);
  }
  uint32_t TopAddress() const {
    const PaneLine* line = m_pane.LineAt(m_pane.top);
    return line == nullptr ? 0 : static_cast<uint32_t>(std::stoul(std::string(line->text, 10), nullptr, 16));
  }
  uint8_t ByteAt(uint32_t address) {
    uint8_t byte = 0;
    TargetMemory::ReadBytesAt(testing_support::MemoryAt(address), &byte, 1);
    return byte;
  }

  testing_support::ByteImageTargetMemory m_memory;
  TextPane m_pane;
  MemoryDisplayRequest m_request;
  DVError m_status;
};

TEST_F(MemoryViewTest, TwelveFormats) {
  std::string dump;
  for (uint32_t index = 0; index < 12; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Show(index, "0x1000", "8"), 0) << m_status.Number();
    dump += "format " + std::to_string(index) + ": " + testing_support::DumpPane(m_pane);
  }
  m_request.radix = 10;
  EXPECT_EQ(Show(3, "0x1000", "6"), 0);
  dump += "ord4 in base 10: " + testing_support::DumpPane(m_pane);
  EXPECT_TRUE(testing_support::MatchesGolden(kGoldenDirectory + "memory_formats.txt", dump));
}

TEST_F(MemoryViewTest, WalksEndAtTheRangeEnds) {
  // 0x200 bytes in rows of 16: 32 lines, of which three screens are held.
  ASSERT_EQ(Show(1, "0x1000", "0x200"), 0);
  EXPECT_EQ(m_pane.total, 32);
  EXPECT_EQ(m_pane.count, 12);
  for (int32_t direction : {kPaneLineDown, kPanePageDown}) {
    const int32_t back = direction == kPaneLineDown ? kPaneLineUp : kPanePageUp;
    const uint32_t step = direction == kPaneLineDown ? 16 : 16 * 3;
    SCOPED_TRACE(direction);
    int moves = 0;
    uint32_t address = TopAddress();
    while (m_pane.AtBoundary(direction) == 0 && moves < 100) {
      ASSERT_EQ(m_pane.MoveView(direction), 0) << m_status.Number();
      ASSERT_GT(TopAddress(), address);
      ASSERT_LE(TopAddress() - address, step);
      address = TopAddress();
      ++moves;
    }
    // The last line of the range is on the screen.
    EXPECT_GE(address + 16 * 4, kBase + 0x200);
    while (m_pane.AtBoundary(back) == 0 && moves < 200) {
      ASSERT_EQ(m_pane.MoveView(back), 0) << m_status.Number();
      ASSERT_LT(TopAddress(), address);
      ASSERT_LE(address - TopAddress(), step);
      address = TopAddress();
      ++moves;
    }
    EXPECT_EQ(address, kBase);
  }
}

TEST_F(MemoryViewTest, OvertypedValuesReachTheTarget) {
  ASSERT_EQ(Show(1, "0x1000", "0x40"), 0);
  const FieldPosition third = m_pane.lines[1]->fields->FieldSpan(2);
  auto type = [&](const char* text) {
    testing_support::OvertypeField(m_pane, 1, 2, text);
    return Send(kGuiCommitField);
  };
  EXPECT_EQ(type("ff"), 0) << m_status.Number();
  EXPECT_EQ(ByteAt(kBase + 16 + 2), 0xFF);
  EXPECT_EQ(std::string(m_pane.lines[1]->text + third.start, 2), "ff");
  EXPECT_EQ(type("12"), 0);
  EXPECT_EQ(ByteAt(kBase + 16 + 2), 0x12);
  EXPECT_EQ(type("  "), 130);
  EXPECT_EQ(ByteAt(kBase + 16 + 2), 0x12);
}

TEST_F(MemoryViewTest, SaveFile) {
  testing_support::ScratchDirectory directory("memsave");
  const std::string file = directory.File("memsave.dat");
  ASSERT_EQ(Show(1, "0x1000", "0x20"), 0);
  SetText(m_request.fileName, file);
  SetText(m_request.startText, "0x1010");
  SetText(m_request.endText, "0x10");
  EXPECT_EQ(Send(kGuiSaveMemory), 0) << m_status.Number();
  const std::string saved = directory.Read("memsave.dat");
  EXPECT_EQ(saved, std::string(m_pane.lines[1]->text, static_cast<std::size_t>(m_pane.lines[1]->length)) + "\r\n");
  EXPECT_EQ(Send(kGuiSaveMemory), 116);
  m_request.append = 1;
  EXPECT_EQ(Send(kGuiSaveMemory), 0);
  EXPECT_EQ(directory.Read("memsave.dat"), saved + saved);
  m_request.append = 0;
  m_request.overwrite = 1;
  EXPECT_EQ(Send(kGuiSaveMemory), 0);
  EXPECT_EQ(directory.Read("memsave.dat"), saved);
  SetText(m_request.fileName, directory.File("no/such/dir/x.dat"));
  EXPECT_EQ(Send(kGuiSaveMemory), 117);
}

// Without a range every move is asked of the view; memory that cannot be read above
// the top leaves the view where it was with a warning.
TEST_F(MemoryViewTest, OpenEndedStopsAtUnreadableMemory) {
  ASSERT_EQ(ShowOpenEnded(1, "0x1040"), 0) << m_status.Number();
  EXPECT_EQ(m_pane.total, -1);
  EXPECT_EQ(m_pane.count, 12);
  for (uint32_t expected = 0x1030; expected >= kBase; expected -= 0x10) {
    ASSERT_EQ(m_pane.MoveView(kPaneLineUp), 0);
    ASSERT_EQ(TopAddress(), expected);
  }
  EXPECT_EQ(m_pane.MoveView(kPaneLineUp), 2007);
  EXPECT_EQ(m_status.Severity(), kSeverityWarning);
  EXPECT_EQ(TopAddress(), kBase);
  EXPECT_EQ(m_pane.AtBoundary(kPaneLineUp), 0) << "the length is unknown";
}

// A refresh shows what a window opened afresh at its top shows: after nothing changed,
// after the target's bytes changed under the view, after a value typed over and not
// committed, and after a move down.
TEST_F(MemoryViewTest, ARefreshShowsWhatAFreshDisplayShows) {
  ASSERT_EQ(ShowOpenEnded(3, "0x1040"), 0) << m_status.Number();
  m_request.changeFlags = 0;
  const uint8_t changed[] = {0xDE, 0xAD};
  struct Case {
    const char* name;
    std::function<void()> change;
  };
  const std::vector<Case> cases = {
      {"nothing changed", [] {}},
      {"bytes changed on the screen", [&] { m_memory.Poke(kBase + 0x48, changed, 2); }},
      {"a value typed over", [&] { testing_support::OvertypeField(m_pane, 1, 2, "zzzzzzzz"); }},
      {"moved down a line", [&] { ASSERT_EQ(m_pane.MoveView(kPaneLineDown), 0); }},
      {"bytes changed below the screen", [&] { m_memory.Poke(kBase + 0x100, changed, 2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    ASSERT_EQ(Send(kGuiRefresh), 0) << m_status.Number();
    TextPane fresh;
    fresh.layerId = 12;
    fresh.rows = 4;
    MemoryDisplayRequest request = m_request;
    char start[16];
    std::snprintf(start, sizeof start, "0x%x", TopAddress());
    SetText(request.startText, start);
    request.changeFlags = MemoryDisplayRequest::kFormatChanged | MemoryDisplayRequest::kNewStart;
    DVError status;
    const auto argument = reinterpret_cast<intptr_t>(&request);
    ASSERT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, &fresh, kGuiOpened, argument), 0);
    ASSERT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, &fresh, kGuiRefresh, argument), 0);
    EXPECT_EQ(testing_support::DumpPane(m_pane), testing_support::DumpPane(fresh));
    ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, &fresh, kGuiClosing, argument);
  }
  EXPECT_NE(testing_support::DumpPane(m_pane).find("adde"), std::string::npos) << "the changed bytes show";
}

TEST(MemoryViewFields, DialogFieldChecks) {
  testing_support::ByteImageTargetMemory memory;
  memory.Map(kBase, std::vector<uint8_t>(16));
  TargetMemory::InstallService(&memory);
  struct Case {
    const char* name;
    uint32_t field;
    const char* start;
    const char* end;
    uint32_t lengthMode;
    const char* fileName;
    uint32_t expected;
  };
  const std::vector<Case> cases = {
      {"blank start", MemoryDisplayRequest::kFieldStart, "  ", "", 0, "", 172},
      {"readable start", MemoryDisplayRequest::kFieldStart, "0x1000", "", 0, "", 0},
      {"unreadable start", MemoryDisplayRequest::kFieldStart, "0x9000", "", 0, "", 2007},
      {"blank end", MemoryDisplayRequest::kFieldEnd, "0x1000", " ", 0, "", 170},
      {"blank length", MemoryDisplayRequest::kFieldEnd, "0x1000", "", 1, "", 171},
      {"a length", MemoryDisplayRequest::kFieldEnd, "0x1000", "16", 1, "", 0},
      {"an end", MemoryDisplayRequest::kFieldEnd, "0x1000", "0x1008", 0, "", 0},
      {"an end before the start", MemoryDisplayRequest::kFieldEnd, "0x1008", "0x1000", 0, "", 154},
      {"short name", MemoryDisplayRequest::kFieldFileName, "", "", 0, "  c:\\dir\\MEMSAVE.DAT ", 0},
      {"name too long", MemoryDisplayRequest::kFieldFileName, "", "", 0, "memorysave.dat", 112},
      {"extension too long", MemoryDisplayRequest::kFieldFileName, "", "", 0, "mem.data", 112},
      {"ends after a separator", MemoryDisplayRequest::kFieldFileName, "", "", 0, "dir/", 112},
      {"a drive alone", MemoryDisplayRequest::kFieldFileName, "", "", 0, "c:", 112},
      {"a blank inside", MemoryDisplayRequest::kFieldFileName, "", "", 0, "mem save.dat", 112},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDisplayRequest request;
    request.fieldId = c.field;
    request.lengthMode = c.lengthMode;
    SetText(request.startText, c.start);
    SetText(request.endText, c.end);
    SetText(request.fileName, c.fileName);
    DVError status;
    // Window-less, as the dialogs send it.
    EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, nullptr, kGuiCheckMemoryField,
                                                   reinterpret_cast<intptr_t>(&request)),
              static_cast<int32_t>(c.expected));
  }
  MemoryDisplayRequest trimmed;
  trimmed.fieldId = MemoryDisplayRequest::kFieldFileName;
  SetText(trimmed.fileName, "  a.b  ");
  DVError status;
  ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, nullptr, kGuiCheckMemoryField,
                                       reinterpret_cast<intptr_t>(&trimmed));
  EXPECT_STREQ(trimmed.fileName, "a.b");
  // Any other window-less memory request is an internal error.
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewMemory, nullptr, kGuiRefresh,
                                                 reinterpret_cast<intptr_t>(&trimmed)),
            1);
  TargetMemory::InstallService(nullptr);
}

}  // namespace
}  // namespace zentor
