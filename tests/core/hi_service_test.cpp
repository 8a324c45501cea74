// The GUI service entry in console and GUI mode, the key queue, the console key map
// and the decoding of console output for the Command window.
#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "core/hi_service.h"
#include "console/console_bridge.h"
#include "console/file_channel.h"
#include "core/target_interface.h"
#include "harness/fake_command_window.h"
#include "platform/user_break.h"

namespace zentor {
namespace {

using testing_support::FakeCommandWindow;

// Starts each test with an empty queue, no pending break and the given mode.
class GuiServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_wasConsoleMode = IsConsoleMode();
    KeyQueue::Clear();
    ResetConsoleBridge();
    platform::TakeUserBreak();
  }
  void TearDown() override {
    KeyQueue::Clear();
    ResetConsoleBridge();
    platform::TakeUserBreak();
    SetConsoleMode(m_wasConsoleMode);
  }

  bool m_wasConsoleMode = false;
};

TEST_F(GuiServiceTest, ConsoleModeAnswersEveryRequestWithZero) {
  FakeCommandWindow window;
  SetConsoleMode(true);
  for (uint32_t request = 0; request <= 120; ++request) {
    SCOPED_TRACE("request " + std::to_string(request));
    EXPECT_EQ(HiService(request), 0);
  }
  EXPECT_TRUE(window.m_requests.empty()) << "no window is asked anything";
  EXPECT_EQ(NotifyGui(0, 0, kNotifyExit, nullptr), 0);
  ShowStatusMessage("hidden");
  EXPECT_TRUE(window.m_notifications.empty());
  EXPECT_TRUE(window.m_statusMessages.empty());

  platform::RaiseUserBreak();
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 1);
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 0) << "the check takes the break";
  KeyQueue::Push(3);
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 0) << "console mode has no Command window keys";
  EXPECT_EQ(window.m_breakChecks, 0) << "nor a keyboard to look at";
}

TEST_F(GuiServiceTest, GuiModeForwardsRequestsAndTakesCtrlCFromTheKeys) {
  FakeCommandWindow window;
  SetConsoleMode(false);
  EXPECT_EQ(HiService(kGuiBusyCursor), 0);
  EXPECT_EQ(HiService(kGuiPopCursor), 0);
  EXPECT_EQ(window.m_requests, (std::vector<uint32_t>{kGuiBusyCursor, kGuiPopCursor}));

  KeyQueue::Push('a');
  KeyQueue::Push(3);
  KeyQueue::Push('b');
  EXPECT_TRUE(KeyQueue::IsBreakPending());
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 1);
  EXPECT_TRUE(KeyQueue::IsEmpty()) << "the keys typed ahead are flushed";
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 0);
  platform::RaiseUserBreak();
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 1) << "the interrupt flag counts in GUI mode too";

  // Ctrl+C typed into the Command window while a command runs reaches the key queue
  // only through the check's look at the keyboard.
  window.m_typedWhileBusy = {'x', 3};
  const int checks = window.m_breakChecks;
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 1);
  EXPECT_EQ(window.m_breakChecks, checks + 1);
  EXPECT_TRUE(KeyQueue::IsEmpty());
  EXPECT_EQ(HiService(kGuiEnterRunState), 0);
  EXPECT_EQ(GuiStateWord(), 12u);
}

TEST_F(GuiServiceTest, KeyQueueIsARingOf256Keys) {
  FakeCommandWindow window;
  for (uint32_t key = 1; key <= KeyQueue::kCapacity; ++key) ASSERT_TRUE(KeyQueue::Push(key));
  EXPECT_FALSE(KeyQueue::Push(999)) << "with 256 unread keys a new one is dropped";
  EXPECT_EQ(window.m_beeps, 1);
  EXPECT_EQ(KeyQueue::Pop(), 1u);
  EXPECT_TRUE(KeyQueue::Push(1000)) << "after one pop the ring makes room";
  for (uint32_t key = 2; key <= KeyQueue::kCapacity; ++key) ASSERT_EQ(KeyQueue::Pop(), key);
  EXPECT_EQ(KeyQueue::Pop(), 1000u);
  EXPECT_EQ(KeyQueue::Pop(), 0u) << "an empty queue gives 0";

  // Against a reference queue with the same capacity rule.
  const uint32_t seed = 256;
  std::mt19937 random(seed);
  std::deque<uint32_t> reference;
  for (int step = 0; step < 20000; ++step) {
    if (random() % 3 != 0) {
      const uint32_t key = 1 + random() % 500;
      const bool accepted = KeyQueue::Push(key);
      ASSERT_EQ(accepted, reference.size() < KeyQueue::kCapacity) << "step " << step << " seed " << seed;
      if (accepted) reference.push_back(key);
    } else {
      const uint32_t expected = reference.empty() ? 0 : reference.front();
      if (!reference.empty()) reference.pop_front();
      ASSERT_EQ(KeyQueue::Pop(), expected) << "step " << step << " seed " << seed;
    }
  }
}

TEST_F(GuiServiceTest, ConsoleKeyMap) {
  struct Case {
    uint32_t key;
    uint8_t expected;
  };
  const Case cases[] = {
      {kKeyHome, 29}, {kKeyEnd, 129},   {kKeyUp, 30},     {kKeyDown, 28}, {kKeyLeft, 31},
      {kKeyRight, 20}, {kKeyShiftTab, 225}, {9, 9},       {kKeyDelete, 223}, {kKeyInsert, 224},
      {14, 210},      {16, 209},        {11, 222},        {'a', 'a'},     {13, 13},
      {255, 255},     {400, 0},         {300, 0},
  };
  FakeCommandWindow window;
  for (const Case& c : cases) {
    SCOPED_TRACE("key " + std::to_string(c.key));
    KeyQueue::Push(c.key);
    EXPECT_EQ(PollConsoleKey(), c.expected);
  }
  EXPECT_EQ(PollConsoleKey(), 0) << "no key waiting";
}

// A quit message during the wait for a key ends the session through the target's
// disconnect, so the agent learns that the debugger went.
TEST_F(GuiServiceTest, QuitDuringTheKeyWaitDisconnects) {
  struct RecordingTarget : TargetInterface {
    uint32_t Disconnect(TargetStatus*, uint32_t) override {
      ++disconnects;
      return 0;
    }
    int disconnects = 0;
  } target;
  struct QuittingWindow : FakeCommandWindow {
    bool WaitForInputRound() override { return false; }
  } window;
  struct Exited {};
  TargetInterface* before = InstallTargetInterface(&target);
  SetProgramExitHandler([] { throw Exited{}; });
  KeyQueue::Push('a');
  EXPECT_THROW(PollConsoleKey(), Exited);
  EXPECT_EQ(target.disconnects, 1);
  SetProgramExitHandler(nullptr);
  InstallTargetInterface(before);
}

TEST_F(GuiServiceTest, ConsoleOutputControlCodes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<std::string> rows;
    std::size_t column;
    std::size_t row;
    int beeps;
  };
  const Case cases[] = {
      {"cursor position writes nothing", {251, 5, 3}, {}, 5, 3, 0},
      {"a beep between characters", {'a', 7, 'b'}, {"ab"}, 2, 0, 1},
      {"new line and carriage return", {'a', 'b', 13, 'c', 10, 'd'}, {"cb", "d"}, 1, 1, 0},
      {"cursor right and left", {'a', 243, 243, 'b', 244, 244, 'c'}, {"a cb"}, 3, 0, 0},
      {"tilde with a beep", {246, 250}, {"~~"}, 2, 0, 2},
      {"other control codes are blanks", {'a', 1, 31, 'b'}, {"a  b"}, 4, 0, 0},
      {"high codes are written", {'a', 200}, {std::string("a") + static_cast<char>(200)}, 2, 0, 0},
      {"a position byte of 10 is a position", {251, 10, 10, 'x'}, {"", "", "", "", "", "", "", "", "", "", std::string(10, ' ') + "x"}, 11, 10, 0},
      {"rows up and down", {'a', 242, 242, 'b', 241, 'c'}, {"a", "  c", " b"}, 3, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int way = 0; way < 3; ++way) {
      SCOPED_TRACE(way == 0 ? "byte by byte" : way == 1 ? "in one run" : "split in two runs");
      FakeCommandWindow window;
      ResetConsoleBridge();
      const auto* text = reinterpret_cast<const char*>(c.bytes.data());
      if (way == 0) {
        for (uint8_t byte : c.bytes) WriteConsoleChar(byte);
      } else if (way == 1) {
        WriteConsoleText(text, c.bytes.size());
      } else {
        const std::size_t half = c.bytes.size() / 2;
        WriteConsoleText(text, half);
        WriteConsoleText(text + half, c.bytes.size() - half);
      }
      std::vector<std::string> rows;
      for (std::size_t row = 0; row < window.m_screen.size(); ++row) rows.push_back(window.Row(row));
      while (!rows.empty() && rows.back().empty()) rows.pop_back();
      EXPECT_EQ(rows, c.rows);
      EXPECT_EQ(window.m_column, c.column);
      EXPECT_EQ(window.m_row, c.row);
      EXPECT_EQ(window.m_beeps, c.beeps);
    }
  }
}

// A window that counts how the bridge cuts long printable runs.
class RunCountingWindow : public FakeCommandWindow {
 public:
  void WriteText(const char* text, std::size_t count) override {
    m_runs.push_back(count);
    FakeCommandWindow::WriteText(text, count);
  }
  std::vector<std::size_t> m_runs;
};

TEST_F(GuiServiceTest, LongRunsAreWrittenInPiecesOf511) {
  RunCountingWindow window;
  const std::string text = std::string(600, 'x') + "\a" + std::string(3, 'y');
  WriteConsoleText(text.data(), text.size());
  EXPECT_EQ(window.m_runs, (std::vector<std::size_t>{511, 89, 3}));
  EXPECT_EQ(window.m_beeps, 1);
  EXPECT_EQ(window.Row(0), std::string(600, 'x') + "yyy");
}

TEST_F(GuiServiceTest, UserBreakFlag) {
  EXPECT_FALSE(platform::IsUserBreakPending());
  platform::RaiseUserBreak();
  EXPECT_TRUE(platform::IsUserBreakPending());
  EXPECT_TRUE(platform::TakeUserBreak());
  EXPECT_FALSE(platform::TakeUserBreak());
#if !defined(_WIN32)
  platform::InstallUserBreakHandler();
  std::raise(SIGINT);
  EXPECT_TRUE(platform::TakeUserBreak()) << "Ctrl+C sets the flag instead of ending the process";
#endif
}

}  // namespace
}  // namespace zentor
