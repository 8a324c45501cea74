// The output writer's column, fresh lines, tabs, line wrapping, capture and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_bridge.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::ConsoleSession;
using testing_support::ScratchDirectory;

// The DVError `body` raises, or an okay one.
DVError ErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error;
  }
  return DVError();
}

class OutputWriterTest : public ::testing::Test {
 protected:
  ScratchDirectory m_directory{"writer"};
  ConsoleSession m_session{m_directory, ""};

  // What reached the standard output (line ends as "\n").
  std::string Screen() { return m_session.StandardOutput(); }
};

TEST(OutputWriterLayoutTest, ColumnAndLayout) {
  struct Case {
    const char* name;
    std::function<void()> write;
    std::string expectedScreen;
    uint16_t expectedColumn;
  };
  const Case cases[] = {
      {"characters count", [] { OutputWriter::WriteString("abc"); }, "abc", 3},
      {"line feed resets", [] { OutputWriter::WriteString("abc\r\n"); }, "abc\n", 0},
      {"fresh line twice is one line end",
       [] {
         OutputWriter::WriteString("ab");
         OutputWriter::FreshLine();
         OutputWriter::FreshLine();
       },
       "ab\n", 0},
      {"fresh line at column 0 writes nothing", [] { OutputWriter::FreshLine(); }, "", 0},
      {"tab to a column",
       [] {
         OutputWriter::WriteString("ab");
         OutputWriter::TabToColumn(6);
         OutputWriter::PutChar('|');
       },
       "ab    |", 7},
      {"tab behind the column does nothing",
       [] {
         OutputWriter::WriteString("abcdef");
         OutputWriter::TabToColumn(3);
       },
       "abcdef", 6},
      {"tab past the line width starts a fresh line",
       [] {
         OutputWriter::WriteString("ab");
         OutputWriter::TabToColumn(90);
       },
       "ab\n", 0},
      {"pad to a column",
       [] {
         OutputWriter::WriteString("a");
         OutputWriter::PadToColumn(4);
         OutputWriter::WriteChars(2, "xyz");
       },
       "a   xy", 6},
      {"pad past the console width stops at the wrap",
       [] { OutputWriter::PadToColumn(200); },
       std::string(82, ' ') + "\n", 0},
      {"tab to the last column stops at the wrap",
       [] { OutputWriter::TabToColumn(82); },
       std::string(82, ' ') + "\n", 0},
      {"a long line wraps after 82 characters",
       [] { OutputWriter::WriteString(std::string(100, 'x')); },
       std::string(82, 'x') + "\n" + std::string(18, 'x'), 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("layout");
    ConsoleSession session(directory, "");
    c.write();
    EXPECT_EQ(session.StandardOutput(), c.expectedScreen);
    EXPECT_EQ(OutputWriter::OutputColumn(), c.expectedColumn);
  }
}

// Writes of whole runs against the same characters put one at a time: random texts of
// every length (long lines that wrap, line ends of both kinds, the cursor-right code
// that may pass a full line), between tabs, fresh lines and a pending line break. The
// screen and every column and line state after each step are the same.
TEST(OutputWriterLayoutTest, RunsWriteAsTheirCharactersOneByOne) {
  const uint32_t seed = 2024;
  struct Step {
    int kind;  // 0 a text, 1 a tab, 2 a fresh line, 3 a line break before the next output
    std::string text;
    uint8_t column;
  };
  std::vector<Step> steps;
  uint32_t state = seed;
  const auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\t', static_cast<char>(kConsoleKeyRight), 'z', 'q'};
  for (int i = 0; i < 400; ++i) {
    Step step{static_cast<int>(next() % 8 < 5 ? 0 : next() % 3 + 1), {}, static_cast<uint8_t>(next() % 100)};
    const uint32_t length = next() % 4 == 0 ? next() % 400 : next() % 40;
    for (uint32_t j = 0; j < length; ++j) {
      const uint32_t pick = next() % 40;
      step.text += pick < sizeof alphabet ? alphabet[pick] : static_cast<char>('c' + pick % 20);
    }
    steps.push_back(std::move(step));
  }
  const auto run = [&steps](bool wholeRuns) {
    std::string trace;
    ScratchDirectory directory("runs");
    ConsoleSession session(directory, "");
    for (const Step& step : steps) {
      switch (step.kind) {
        case 0:
          if (wholeRuns) {
            OutputWriter::WriteString(std::string_view(step.text));
          } else {
            for (char ch : step.text) OutputWriter::PutChar(ch);
          }
          break;
        case 1: OutputWriter::TabToColumn(step.column); break;
        case 2: OutputWriter::FreshLine(); break;
        default: OutputWriter::SetLineBreakBeforeOutput(true); break;
      }
      trace += std::to_string(OutputWriter::OutputColumn()) + "/" + std::to_string(Pager::Column()) + "/" +
               std::to_string(Pager::Row()) + (Pager::IsLineFull() ? "F" : "") +
               (OutputWriter::PromptStands() ? "P " : " ");
    }
    return trace + "\n" + session.StandardOutput();
  };
  EXPECT_EQ(run(true), run(false)) << "seed " << seed;
}

TEST_F(OutputWriterTest, HookCapturesEverythingAndKeepsTheColumn) {
  LogFile::LogCommand("capture.log");
  OutputWriter::WriteString("12345");
  std::string captured;
  OutputWriter::InstallHook([&](char ch) { captured += ch; });
  EXPECT_EQ(OutputWriter::OutputColumn(), 0) << "capture starts at column 0";
  OutputWriter::WriteString("hidden\r\nab");
  EXPECT_EQ(OutputWriter::OutputColumn(), 2);
  OutputWriter::RemoveHook();
  EXPECT_EQ(OutputWriter::OutputColumn(), 5) << "the column from before the capture";
  OutputWriter::RemoveHook();
  EXPECT_EQ(OutputWriter::OutputColumn(), 5) << "removing no hook leaves the column";
  OutputWriter::WriteString("6");
  LogFile::Close();
  EXPECT_EQ(captured, "hidden\r\nab");
  EXPECT_EQ(Screen(), "123456");
  EXPECT_EQ(m_directory.Read("capture.log"), "123456") << "nothing captured reaches the log";
}

// A hook that goes away in the middle of a write: the rest of the write goes where
// output goes from then on, through every way a text is written.
TEST(OutputWriterHookTest, HookThatLeavesInTheMiddleOfAWrite) {
  struct Case {
    const char* name;
    std::function<void(const char*)> write;
  };
  const std::vector<Case> cases = {
      {"WriteString(char*)", [](const char* text) { OutputWriter::WriteString(text); }},
      {"WriteString(view)", [](const char* text) { OutputWriter::WriteString(std::string_view(text)); }},
      {"WriteChars", [](const char* text) { OutputWriter::WriteChars(static_cast<uint16_t>(std::strlen(text)), text); }},
      {"Printf", [](const char* text) { OutputWriter::Printf("%s", text); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool replace : {false, true}) {
      SCOPED_TRACE(replace ? "replaced" : "removed");
      ScratchDirectory directory("hook-leaves");
      ConsoleSession session(directory, "");
      std::string first;
      std::string second;
      OutputWriter::InstallHook([&](char ch) {
        first += ch;
        if (ch != '|') return;
        OutputWriter::RemoveHook();
        if (replace) OutputWriter::InstallHook([&](char next) { second += next; });
      });
      c.write("ab|cd\r\nef");
      EXPECT_EQ(first, "ab|");
      EXPECT_EQ(second, replace ? "cd\r\nef" : "");
      EXPECT_EQ(session.StandardOutput(), replace ? "" : "cd\nef");
      EXPECT_EQ(OutputWriter::OutputColumn(), 2);
      OutputWriter::RemoveHook();
    }
  }
}

// A text hook takes the same characters as a character hook, a whole write at a
// time, and leaves the same column behind every kind of write.
TEST(OutputWriterHookTest, TextHookTakesWhatACharacterHookTakes) {
  struct Case {
    const char* name;
    std::function<void()> write;
    std::size_t mostRuns;  // calls of the text hook the writes may take
  };
  const std::vector<Case> cases = {
      {"one string", [] { OutputWriter::WriteString("abc\r\nde"); }, 1},
      {"a view stops at a NUL", [] { OutputWriter::WriteString(std::string_view("ab\0cd", 5)); }, 1},
      {"characters", [] { OutputWriter::WriteChars(3, "xyz!"); }, 1},
      {"one character", [] { OutputWriter::PutChar('q'); }, 1},
      {"formatted lines", [] { OutputWriter::Printf("  Code %08lx\n  Data %s\n%d", 0x1234u, "here", 7); }, 1},
      {"a line end on its own", [] { OutputWriter::WriteString("\n"); }, 1},
      {"fresh line after text",
       [] {
         OutputWriter::WriteString("ab");
         OutputWriter::FreshLine();
         OutputWriter::FreshLine();
       },
       2},
      {"tab and pad",
       [] {
         OutputWriter::WriteString("ab");
         OutputWriter::TabToColumn(6);
         OutputWriter::PadToColumn(9);
         OutputWriter::PutChar('|');
       },
       9},
      {"past the line width, no wrap while captured", [] { OutputWriter::WriteString(std::string(100, 'x')); }, 1},
      {"nothing", [] { OutputWriter::WriteString(""); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("text-hook");
    ConsoleSession session(directory, "");
    std::string byCharacter;
    OutputWriter::InstallHook([&](char ch) { byCharacter += ch; });
    c.write();
    const uint16_t columnByCharacter = OutputWriter::OutputColumn();
    OutputWriter::RemoveHook();

    std::string byText;
    std::size_t runs = 0;
    OutputWriter::InstallTextHook([&](std::string_view text) {
      byText += text;
      ++runs;
    });
    EXPECT_TRUE(OutputWriter::IsHookInstalled());
    c.write();
    EXPECT_EQ(OutputWriter::OutputColumn(), columnByCharacter);
    OutputWriter::RemoveHook();
    EXPECT_FALSE(OutputWriter::IsHookInstalled());
    EXPECT_EQ(byText, byCharacter);
    EXPECT_LE(runs, c.mostRuns);
    EXPECT_EQ(session.StandardOutput(), "") << "nothing captured reaches the screen";
  }
}

// A text hook that removes itself takes its whole write; the column is the one from
// before the capture, and what follows reaches the screen.
TEST(OutputWriterHookTest, TextHookThatLeavesDuringAWrite) {
  ScratchDirectory directory("text-hook-leaves");
  ConsoleSession session(directory, "");
  OutputWriter::WriteString("12345");
  std::string captured;
  OutputWriter::InstallTextHook([&](std::string_view text) {
    captured += text;
    OutputWriter::RemoveHook();
  });
  OutputWriter::WriteString("ab\r\ncd");
  EXPECT_EQ(OutputWriter::OutputColumn(), 5);
  OutputWriter::WriteString("6");
  EXPECT_EQ(captured, "ab\r\ncd");
  EXPECT_EQ(session.StandardOutput(), "123456");
  EXPECT_EQ(OutputWriter::OutputColumn(), 6);
}

TEST_F(OutputWriterTest, LogCommand) {
  LogFile::LogCommand("");
  EXPECT_EQ(Screen(), "<No log file>\n");
  LogFile::LogCommand("first.log");
  OutputWriter::WriteString("one\r\n");
  LogFile::LogCommand("");
  LogFile::PutChar('*');
  LogFile::WriteString("only in the log\r\n");
  LogFile::LogCommand("second.log");
  EXPECT_EQ(LogFile::FileName(), "second.log");
  OutputWriter::WriteString("two\r\n");
  LogFile::Close();
  OutputWriter::WriteString("three\r\n");
  EXPECT_FALSE(LogFile::IsLogging());
  EXPECT_EQ(m_directory.Read("first.log"), "one\r\nfirst.log\r\n*only in the log\r\n");
  EXPECT_EQ(m_directory.Read("second.log"), "two\r\n");
  EXPECT_EQ(Screen(), "<No log file>\none\nfirst.log\ntwo\nthree\n");
  EXPECT_EQ(FileChannel::OpenFileCount(), 2u) << "only the session's standard input and output";
}

TEST_F(OutputWriterTest, LogFailuresRaise120AndStopLogging) {
  const DVError openFailure = ErrorOf([] { LogFile::LogCommand("no-such-dir/x.log"); });
  EXPECT_EQ(openFailure.Number(), 120u);
  EXPECT_EQ(openFailure.Severity(), kSeveritySevere);
  ASSERT_EQ(openFailure.ArgumentCount(), 1u);
  EXPECT_STREQ(openFailure.Argument(0).data(), "No such file or directory");
  EXPECT_FALSE(LogFile::IsLogging());
#if defined(__linux__)
  // A device that is always full: the write fails after the character reached the screen.
  LogFile::LogCommand("/dev/full");
  ASSERT_TRUE(LogFile::IsLogging());
  const DVError writeFailure = ErrorOf([] { OutputWriter::PutChar('x'); });
  EXPECT_EQ(writeFailure.Number(), 120u);
  ASSERT_EQ(writeFailure.ArgumentCount(), 1u);
  EXPECT_STREQ(writeFailure.Argument(0).data(), "No space left on device");
  EXPECT_FALSE(LogFile::IsLogging());
  EXPECT_EQ(Screen(), "x");
  // A write of several characters hands them to the log together: its failure
  // comes once the whole write has reached the screen.
  LogFile::LogCommand("/dev/full");
  const DVError runFailure = ErrorOf([] { OutputWriter::WriteString("yz"); });
  EXPECT_EQ(runFailure.Number(), 120u);
  EXPECT_FALSE(LogFile::IsLogging());
  EXPECT_EQ(Screen(), "xyz");
#endif
}

// The log is a copy of the screen with the console's "\r\n" line ends: also for
// writes that wrap at the console width or start with a pending fresh line, where
// the writer adds line ends of its own in the middle of a write, and for the
// characters of a hook that leaves in the middle of one.
TEST_F(OutputWriterTest, LogHoldsTheScreenInOrder) {
  const std::string wide(OutputWriter::kOutputLineWidth * 2 + 7, 'w');
  struct Case {
    const char* name;
    std::function<void()> write;
  };
  const std::vector<Case> cases = {
      {"short writes", [] { OutputWriter::WriteString("ab"); OutputWriter::WriteString("c\r\nd"); }},
      {"a write that wraps", [&] { OutputWriter::WriteString(wide.c_str()); }},
      {"a pending fresh line",
       [] {
         OutputWriter::WriteString("x");
         OutputWriter::SetLineBreakBeforeOutput(true);
         OutputWriter::WriteString("after");
       }},
      {"printf and characters", [] { OutputWriter::Printf("%s=%d", "n", 42); OutputWriter::PutChar('!'); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("log-order");
    ConsoleSession session(directory, "");
    LogFile::LogCommand("copy.log");
    c.write();
    const std::string screen = session.StandardOutput();
    LogFile::Close();
    std::string log = directory.Read("copy.log");
    std::erase(log, '\r');
    EXPECT_EQ(log, screen);
    EXPECT_NE(screen, "");
  }
}

}  // namespace
}  // namespace zentor
