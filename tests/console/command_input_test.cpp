// Command input: the reader, the device stack, INCLUDE files, macro expansions,
// command strings, batch and standard input, captures and the command-end routines.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "console/char_channel.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/file_channel.h"
#include "console/include_device.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
#include "core/message_table.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "harness/transcript.h"
#include "platform/user_break.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

using testing_support::ConsoleSession;
using testing_support::ProgramExited;
using testing_support::ScratchDirectory;

// The line-end rule written independently: CR LF, a lone LF and a lone CR all end a
// line as CR LF, and a last line without an end gets one.
std::string Normalised(const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (raw[i] == '\n') {
      out += "\r\n";
    } else {
      out += raw[i];
    }
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out;
}

// Random bytes of every value but Ctrl+R (the reader's line-end mark), with line ends
// of all three forms.
std::string RandomText(std::mt19937& random, std::size_t length) {
  std::string text;
  while (text.size() < length) {
    const uint32_t pick = random() % 40;
    if (pick == 0) {
      text += "\r\n";
    } else if (pick == 1) {
      text += '\n';
    } else if (pick == 2) {
      text += '\r';
    } else {
      char ch = static_cast<char>(random() % 256);
      if (ch == '\x12' || ch == '\r' || ch == '\n') ch = 'q';
      text += ch;
    }
  }
  return text;
}

// Characters read until the stack comes back to `depth` (device ends are not
// characters: they take the stack one level down).
std::string ReadUntilDepth(uint16_t depth, std::size_t limit = 1u << 20) {
  std::string text;
  while (DeviceStackDepth() > depth && text.size() < limit) {
    const uint16_t before = DeviceStackDepth();
    ReadNextChar();
    if (DeviceStackDepth() == before) text += static_cast<char>(CurrentChar());
  }
  return text;
}

std::string ReadCount(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    ReadNextChar();
    text += static_cast<char>(CurrentChar());
  }
  return text;
}

std::string Contents(MemoryFileHandle handle) {
  MemoryFile& file = MemoryFileOf(handle);
  std::string text(file.Size(), '\0');
  const uint32_t position = file.Position();
  (void)file.Seek(0);
  if (!text.empty()) (void)file.Read(1, file.Size(), text.data());
  (void)file.Seek(position);
  return text;
}

DVError ErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error;
  }
  return DVError();
}

class CommandInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_session.SelectInput("");
    m_baseFiles = FileChannel::OpenFileCount();
  }
  void TearDown() override {
    for (MemoryFileHandle body : m_bodies) DestroyMemoryFile(body);
  }

  // Makes the current token name a macro with this body and pushes its expansion.
  void UseMacro(const std::string& body, uint8_t column = 0) {
    MemoryFileHandle handle = kNullMemoryFile;
    CreateMemoryFile(-1, 1, &handle);
    WriteMemoryFile(handle, 1, static_cast<uint32_t>(body.size()), body.data());
    m_bodies.push_back(handle);
    CurrentToken().value = handle;
    CurrentToken().column = column;
    PushMacroDevice();
  }

  std::string Screen() { return m_session.StandardOutput(); }

  ScratchDirectory m_directory{"input"};
  ConsoleSession m_session{m_directory, ""};
  std::size_t m_baseFiles = 0;
  std::vector<MemoryFileHandle> m_bodies;
};

TEST_F(CommandInputTest, IncludeFileDeliversEveryByteWithUniformLineEnds) {
  const uint32_t seed = 31337;
  std::mt19937 random(seed);
  SetEchoOn(false);
  for (int round = 0; round < 25; ++round) {
    const std::string raw = RandomText(random, random() % 1200);
    m_directory.Write("random.inc", raw);
    OpenIncludeDevice("random.inc");
    ASSERT_EQ(DeviceStackDepth(), 1);
    const std::string read = ReadUntilDepth(0);
    ASSERT_EQ(read, Normalised(raw)) << "round " << round << " seed " << seed;
    EXPECT_EQ(&CurrentDevice(), &ConsoleDevice()) << "the console is current again";
    EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);
  }
  EXPECT_EQ(Screen(), "") << "echo was off";
}

TEST_F(CommandInputTest, NestedIncludeResumesAfterTheCharacterThatStartedIt) {
  const uint32_t seed = 5150;
  std::mt19937 random(seed);
  SetEchoOn(false);
  for (int round = 0; round < 20; ++round) {
    const std::string outer = Normalised(RandomText(random, 300 + random() % 700));
    const std::string inner = Normalised(RandomText(random, random() % 600));
    m_directory.Write("outer.inc", outer);
    m_directory.Write("inner.inc", inner);
    const std::size_t split = random() % outer.size();
    OpenIncludeDevice("outer.inc");
    const std::string head = ReadCount(split);
    const uint8_t currentAtPush = CurrentChar();
    OpenIncludeDevice("inner.inc");
    EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles + 1) << "the outer file is closed meanwhile";
    const std::string middle = ReadUntilDepth(1);
    EXPECT_EQ(CurrentChar(), currentAtPush) << "the character that started the inner file is current again";
    const std::string tail = ReadUntilDepth(0);
    ASSERT_EQ(head + middle + tail, outer.substr(0, split) + inner + outer.substr(split))
        << "round " << round << " split " << split << " seed " << seed;
  }
}

TEST_F(CommandInputTest, MacroAndIncludeNestBothWays) {
  SetEchoOn(false);
  m_directory.Write("middle.inc", "f1\nf2\n");
  UseMacro("A1A2");
  std::string read = ReadCount(2);
  OpenIncludeDevice("middle.inc");
  read += ReadCount(1);
  UseMacro("BB");
  read += ReadUntilDepth(0);
  EXPECT_EQ(read, "A1fBB1\r\nf2\r\nA2");
  EXPECT_EQ(MacroExpansionDevice().openInstances, 0);
  EXPECT_EQ(IncludeFileDevice().openInstances, 0);

  UseMacro(std::string("a\x80" "b\0c", 5));
  EXPECT_EQ(ReadUntilDepth(0), std::string("a\x80" "b\0c", 5)) << "0x80 and NUL bytes of a body are read as bytes";
}

TEST_F(CommandInputTest, EchoAndCommandText) {
  m_directory.Write("echo.inc", "ab\n");
  OpenIncludeDevice("echo.inc");
  ReadNextChar();  // a
  UseMacro("xy", 7);
  EXPECT_EQ(EchoColumn(), 7) << "the expansion's echo column is the macro name's";
  EXPECT_EQ(ReadCount(2), "xy");
  ReadNextChar();  // the macro ends: the column before it comes back
  EXPECT_EQ(EchoColumn(), 1);
  ReadUntilDepth(0);
  EXPECT_EQ(Screen(), "ab\n") << "file text is echoed, macro text never";
  EXPECT_EQ(Contents(CommandText()), "") << "text from files and macros is not command text";
}

TEST(ConsoleInputTest, ConsoleTextIsCommandTextAndCtrlRIsALineEnd) {
  ScratchDirectory directory("console");
  ConsoleSession session(directory, "a\x12" "b\n");
  session.SelectInput("");
  SetRestartFlag();
  EXPECT_EQ(ReadCount(5), std::string("a\nb\r\n"));
  EXPECT_EQ(Contents(CommandText()), "ab\r\n");
  EXPECT_EQ(session.StandardOutput(), ">a\x12" "b\n") << "the console input is echoed as read";
  SetRestartFlag();
  EXPECT_THROW(ReadNextChar(), ProgramExited) << "the end of the standard input ends the session";
}

TEST_F(CommandInputTest, MacroThatUsesItselfStopsWith79) {
  SetEchoOn(false);
  const std::string body(100, 'm');
  UseMacro(body);
  UseMacro(body);
  UseMacro(body);
  const uint8_t current = CurrentChar();
  const DVError error = ErrorOf([&] { UseMacro(body); });
  EXPECT_EQ(error.Number(), 79u);
  EXPECT_EQ(error.Severity(), kSeveritySevere);
  EXPECT_EQ(DeviceStackDepth(), 3) << "the refused expansion left the stack as it was";
  DiscardInputLine();
  EXPECT_EQ(CurrentChar(), current) << "the rest of the line counts as gone";
  EXPECT_EQ(ReadUntilDepth(0), body + body + body);
}

TEST_F(CommandInputTest, MacroBodyWithSeveralCommandsOutlivesThePreparationOfTheNext) {
  SetEchoOn(false);
  UseMacro("one\r\ntwo\r\n");
  std::string first;
  do {
    ReadNextChar();
    first += static_cast<char>(CurrentChar());
  } while (CurrentChar() != '\n');
  PrepareCommandInput();
  EXPECT_EQ(first, "one\r\n");
  EXPECT_EQ(ReadUntilDepth(0), "two\r\n");
}

TEST_F(CommandInputTest, IncludeNameErrors) {
  struct Case {
    const char* name;
    const char* argument;  // null: some runtime error text, but not the console's
  };
  const Case cases[] = {
      {":ci:", "CI"},  {":Ci:", "CI"}, {":CI:", "CI"}, {"ci:x:", nullptr},
      {"ci", "No such file or directory"}, {"missing.inc", "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DVError error = ErrorOf([&] { OpenIncludeDevice(c.name); });
    EXPECT_EQ(error.Number(), 118u);
    EXPECT_EQ(error.Severity(), kSeveritySevere);
    ASSERT_EQ(error.ArgumentCount(), 1u);
    if (c.argument != nullptr) {
      EXPECT_STREQ(error.Argument(0).data(), c.argument);
    } else {
      EXPECT_STRNE(error.Argument(0).data(), "CI");
    }
    EXPECT_EQ(DeviceStackDepth(), 0);
    EXPECT_EQ(IncludeFileDevice().openInstances, 0);
    EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);
  }
  m_directory.Write("Mixed.Inc", "z\n");
  SetEchoOn(false);
  OpenIncludeDevice("Mixed.Inc");
  EXPECT_EQ(ReadUntilDepth(0), "z\r\n") << "the name is used as typed";
}

TEST_F(CommandInputTest, IncludeThatIncludesItselfStopsAtTheNestingLimit) {
  m_directory.Write("self.inc", "x\n");
  SetEchoOn(false);
  DVError error;
  int opened = 0;
  for (; opened < 100; ++opened) {
    error = ErrorOf([] { OpenIncludeDevice("self.inc"); });
    if (!error.IsOkay()) break;
  }
  EXPECT_EQ(opened, kMaxIncludeNesting);
  EXPECT_EQ(error.Number(), 118u);
  ASSERT_EQ(error.ArgumentCount(), 1u);
  EXPECT_STREQ(error.Argument(0).data(), "Too many open files");
  EXPECT_EQ(DeviceStackDepth(), kMaxIncludeNesting);
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles + 1) << "only the innermost file is open";
  EXPECT_EQ(ReadUntilDepth(0).size(), 3u * kMaxIncludeNesting) << "every level still reads its line";
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);
}

TEST_F(CommandInputTest, CommandStrings) {
  PushCommandString("ab\x80" "c");
  EXPECT_TRUE(IsInputFromFileOrString());
  EXPECT_EQ(ReadUntilDepth(0), std::string("ab\x80" "c")) << "a 0x80 byte is read like any byte";
  EXPECT_FALSE(IsInputFromFileOrString());
  EXPECT_EQ(Screen(), "") << "a command string is never echoed";

  m_directory.Write("quiet.inc", "q\n");
  SetEchoOffRequest();
  OpenIncludeDevice("quiet.inc");
  EXPECT_FALSE(IsEchoOn());
  PushCommandString("z");
  PushCommandString("y");
  EXPECT_EQ(ReadUntilDepth(1), "yz");
  EXPECT_TRUE(IsEchoOn()) << "echo comes back when the stack returns below the string's depth";
  EXPECT_EQ(Screen(), ">");
}

// The text of the last block handed to the emitter.
std::string g_emittedBlock;

DVErrorCode RecordBlock(MemoryFileHandle source, uint32_t length) {
  g_emittedBlock.assign(length, '\0');
  return length == 0 ? DVErrorCode() : ReadMemoryFile(source, 1, length, g_emittedBlock.data());
}

TEST_F(CommandInputTest, CapturedBlocks) {
  SetEchoOn(false);
  CurrentToken().textLength = 1;
  PushCommandString("BLOCK r");
  ReadNextChar();  // B
  BeginCapture();
  ReadCount(2);  // L O
  BeginCapture();
  ReadCount(4);  // C K blank r
  EndCapture(&RecordBlock);
  EXPECT_EQ(g_emittedBlock, "OCK") << "the inner block starts at the character the outer one holds";
  EXPECT_EQ(CaptureCount(), 1);
  EndCapture(&RecordBlock);
  EXPECT_EQ(g_emittedBlock, "BLOCK");
  EXPECT_EQ(CaptureCount(), 0);
  EXPECT_EQ(Contents(CopyBuffer()), "") << "the last capture empties the copy buffer";
  EXPECT_EQ(CleanupStack::Count(), 0u);
  ReadUntilDepth(0);

  // Positions beyond 65,535 bytes.
  std::string large(70000, ' ');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>('a' + i % 26);
  CurrentToken().textLength = 0;
  PushCommandString(large.c_str());
  ReadNextChar();
  BeginCapture();
  ReadUntilDepth(0);
  EndCapture(&RecordBlock);
  EXPECT_EQ(g_emittedBlock.size(), large.size() - 1);
  EXPECT_EQ(g_emittedBlock, large.substr(0, large.size() - 1));

  // A failed command undoes its capture.
  PushCommandString("xyz");
  ReadNextChar();
  BeginCapture();
  ReadCount(2);
  CleanupStack::RunAll();
  EXPECT_EQ(CaptureCount(), 0);
  EXPECT_EQ(Contents(CopyBuffer()), "");
}

TEST(PromptTest, PromptAndEchoColumn) {
  struct Case {
    const char* name;
    bool testOption;
    int levels;
    bool doubled;
    bool running;
    const char* expectedPrompt;
    uint16_t expectedColumn;
  };
  const Case cases[] = {
      {"viewpoint, two levels", false, 2, false, false, "[ab]..>", 6},
      {"viewpoint, two levels, doubled", false, 2, true, false, "[ab]..>>", 7},
      {"target running", false, 0, false, true, "[ab]?", 4},
      {"test option leaves out the viewpoint", true, 1, false, false, ".>", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("prompt");
    ConsoleSession session(directory, "");
    TmiAddKnownViewpoint(0x40);
    const int32_t index = ViewpointManager::AddViewpoint(ViewpointHandle(0x40));
    ViewpointManager::SetAlias(index, "ab");
    ViewpointManager::SetRunState(ViewpointHandle(0x40), c.running ? ViewpointManager::kRunStateRunning : 0);
    PushViewpoint(ViewpointHandle(0x40));
    SetPromptTestOption(c.testOption);
    for (int i = 0; i < c.levels; ++i) EnterCompound();
    if (c.doubled) SetDoubledPrompt();
    PrintPrompt();
    EXPECT_EQ(session.StandardOutput(), c.expectedPrompt);
    EXPECT_EQ(EchoColumn(), c.expectedColumn);
    ResetViewpointStack();
    ViewpointManager::RemoveAllViewpoints();
    TmiClearKnownViewpoints();
  }
  const DVError refused = ErrorOf([] {
    EnterCompound();
    RefuseInCompound();
  });
  EXPECT_EQ(refused.Number(), 83u);
  LeaveCompound();
  LeaveCompound();
  EXPECT_EQ(CompoundLevel(), 0) << "the level does not go below 0";
  EXPECT_NO_THROW(RefuseInCompound());
}

// The standard input is read ahead a block at a time: the reader, a direct read (as
// the console's question reads its answer) and the position all see the bytes in
// the file's order, across the end of a block and after a move.
TEST(StandardInputTest, ReadAheadKeepsEveryReaderInOrder) {
  std::string bytes;
  for (int i = 0; i < 10000; ++i) bytes += static_cast<char>('a' + i % 26);
  bytes[2] = '\n';
  ScratchDirectory directory("read-ahead");
  ConsoleSession session(directory, bytes);
  session.SelectInput("");
  const int32_t input = FileChannel::StandardInput();
  EXPECT_EQ(ReadBatchChar(), 'a');
  EXPECT_TRUE(FileChannel::HasReadAhead(input));
  EXPECT_EQ(FileChannel::Tell(input), 1);
  uint8_t byte = 0;
  ASSERT_EQ(FileChannel::Read(input, &byte, 1), 1);
  EXPECT_EQ(byte, 'b');
  // The reader's line end is a carriage return and a line feed.
  EXPECT_EQ(ReadBatchChar(), '\r');
  EXPECT_EQ(ReadBatchChar(), '\n');
  std::string rest;
  for (uint8_t buffer[777]; const int32_t count = FileChannel::Read(input, buffer, sizeof buffer);) {
    rest.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
  }
  EXPECT_EQ(rest, bytes.substr(3));
  EXPECT_FALSE(FileChannel::HasReadAhead(input));
  for (const int32_t position : {0, 4095, 4096, 9999}) {
    SCOPED_TRACE(position);
    ASSERT_EQ(FileChannel::Seek(input, 0, position), position);
    EXPECT_EQ(ReadBatchChar(), static_cast<uint8_t>(bytes[static_cast<std::size_t>(position)]));
    EXPECT_EQ(FileChannel::Tell(input), position + 1);
  }
}

TEST_F(CommandInputTest, UserBreakEndsTheIncludeFileAndRecoveryRunsTheEndRoutines) {
  SetEchoOn(false);
  m_directory.Write("long.inc", "abcdef\n");
  OpenIncludeDevice("long.inc");
  ReadNextChar();
  platform::RaiseUserBreak();
  ReadNextChar();
  EXPECT_EQ(DeviceStackDepth(), 0) << "the break ended the file";
  EXPECT_FALSE(platform::TakeUserBreak()) << "the break was taken";
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);

  static int s_ran = 0;
  s_ran = 0;
  CleanupStack::Push([] { ++s_ran; });
  OpenIncludeDevice("long.inc");
  ReadCount(3);
  RecoverFromUserBreak();
  EXPECT_EQ(s_ran, 1);
  EXPECT_EQ(CleanupStack::Count(), 0u);
  EXPECT_EQ(DeviceStackDepth(), 0);
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles) << "the INCLUDE file was closed";
  EXPECT_TRUE(IsEchoOn());
  EXPECT_EQ(CurrentChar(), '\n');
}

TEST_F(CommandInputTest, CommandEndRoutinesRunNewestFirst) {
  static std::string s_log;
  s_log.clear();
  CleanupStack::Push([] { s_log += 'A'; });
  CleanupStack::Push([] {
    s_log += 'B';
    throw DVError(35, kSeverityError, kDisplayByFocus);
  });
  CleanupStack::Push([] { s_log += 'C'; });
  CleanupStack::Push([] { s_log += 'D'; });
  CleanupStack::Drop();
  EXPECT_EQ(CleanupStack::Count(), 3u);
  CleanupStack::RunAll();
  EXPECT_EQ(s_log, "CBA") << "an error in one routine does not stop the others";
  EXPECT_EQ(CleanupStack::Count(), 0u);
  CleanupStack::Push([] { s_log += 'X'; });
  CleanupStack::Clear();
  CleanupStack::RunAll();
  CleanupStack::Drop();
  EXPECT_EQ(s_log, "CBA") << "cleared routines never run";
}

TEST_F(CommandInputTest, ResetReturnsEverythingToTheConsole) {
  m_directory.Write("a.inc", "include\n");
  OpenIncludeDevice("a.inc");
  UseMacro("body");
  PushCommandString("cmd");
  ReadNextChar();
  BeginCapture();
  SetEchoOffRequest();
  ResetCommandInput();
  EXPECT_EQ(DeviceStackDepth(), 0);
  EXPECT_EQ(&CurrentDevice(), &ConsoleDevice());
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);
  EXPECT_EQ(CaptureCount(), 0);
  EXPECT_FALSE(IsEchoOffRequested());
  EXPECT_EQ(IncludeFileDevice().openInstances, 0);
  EXPECT_EQ(MacroExpansionDevice().openInstances, 0);
  EXPECT_EQ(CommandStringDevice().openInstances, 0);
  EXPECT_EQ(CurrentChar(), '\n');
  EndDevice();
  EXPECT_EQ(DeviceStackDepth(), 0) << "the console never ends";
}

TEST(LineEndTest, NormaliserAgreesWithTheRule) {
  struct Case {
    const char* name;
    std::string raw;
    std::string expected;
  };
  const Case cases[] = {
      {"line feeds", "a\nb\n", "a\r\nb\r\n"},
      {"carriage return and line feed", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"lone carriage returns", "a\rb\r", "a\r\nb\r\n"},
      {"last line without an end", "a\nb", "a\r\nb\r\n"},
      {"empty lines", "\n\r\n\r", "\r\n\r\n\r\n"},
      {"nothing", "", ""},
      {"byte 0x80 passes", "\x80\n", "\x80\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineEndNormaliser normaliser;
    std::string out;
    uint8_t bytes[LineEndNormaliser::kMaxBytesPerInput];
    for (char ch : c.raw) {
      const std::size_t count = normaliser.Feed(static_cast<uint8_t>(ch), bytes);
      out.append(reinterpret_cast<const char*>(bytes), count);
    }
    const std::size_t count = normaliser.Finish(bytes);
    out.append(reinterpret_cast<const char*>(bytes), count);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(out, Normalised(c.raw));
  }
  const uint32_t seed = 8080;
  std::mt19937 random(seed);
  for (int round = 0; round < 300; ++round) {
    const std::string raw = RandomText(random, random() % 200);
    LineEndNormaliser normaliser;
    std::string out;
    uint8_t bytes[LineEndNormaliser::kMaxBytesPerInput];
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (i == raw.size() / 2) {
        // A suspended file carries the state across.
        LineEndNormaliser resumed;
        resumed.RestoreState(normaliser.SaveState());
        normaliser = resumed;
      }
      const std::size_t count = normaliser.Feed(static_cast<uint8_t>(raw[i]), bytes);
      out.append(reinterpret_cast<const char*>(bytes), count);
    }
    out.append(reinterpret_cast<const char*>(bytes), normaliser.Finish(bytes));
    ASSERT_EQ(out, Normalised(raw)) << "round " << round << " seed " << seed;
  }
}

TEST(BatchInputTest, BatchFilesEndTheCommandAndHandOverToTheConsole) {
  struct Case {
    const char* name;
    std::string batch;
  };
  const Case cases[] = {
      {"line feeds", "one\ntwo\n"},
      {"carriage return and line feed", "one\r\ntwo\r\n"},
      {"last line without an end", "one\ntwo"},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("batch");
    directory.Write("input.bat", c.batch);
    ConsoleSession session(directory, "typed\n");
    session.SelectInput("input.bat");
    ASSERT_TRUE(IsBatchInputActive());
    LogFile::LogCommand("batch.log");
    std::string read;
    DVError end;
    try {
      for (int i = 0; i < 100; ++i) {
        ReadNextChar();
        read += static_cast<char>(CurrentChar());
      }
    } catch (const DVError& error) {
      end = error;
    }
    EXPECT_EQ(end.Number(), kMsgUserBreak);
    EXPECT_EQ(end.Severity(), kSeverityWarning);
    EXPECT_EQ(end.DisplayMode(), kDisplayNone);
    EXPECT_EQ(read, Normalised(c.batch));
    EXPECT_FALSE(IsBatchInputActive());
    EXPECT_EQ(ReadCount(7), "typed\r\n") << "the console goes on";
    LogFile::Close();
    // Each line read waits behind a prompt; the end of the batch file leaves one
    // prompt for the console line.
    std::string expectedLog;
    const std::string lines = Normalised(c.batch);
    for (std::size_t start = 0; start < lines.size();) {
      const std::size_t end = lines.find("\r\n", start) + 2;
      expectedLog += ">" + lines.substr(start, end - start);
      start = end;
    }
    expectedLog += ">typed\r\n";
    EXPECT_EQ(directory.Read("batch.log"), expectedLog) << "the batch text reaches the log exactly as read";
  }
}

// A log written into a file commands are read from would read back every line it
// logs, without end. The log refuses such a file however its name is spelt, before
// the open that would empty it, and logging is off, as after any log error; any other
// file is logged to.
TEST(LogAndCommandInputTest, TheLogRefusesAFileCommandsAreReadFrom) {
  struct Case {
    const char* name;
    const char* batch;    // input.bat is the batch input when set
    const char* include;  // the INCLUDE file x.inc is being read when set
    const char* logName;
    bool absolute;        // the log's name with the session's directory in front
    bool refused;
  };
  const Case cases[] = {
      {"the standard input", nullptr, nullptr, "stdin.txt", false, true},
      {"the standard input by its full path", nullptr, nullptr, "stdin.txt", true, true},
      {"the standard input spelt another way", nullptr, nullptr, "./stdin.txt", false, true},
      {"the batch file", "one\n", nullptr, "input.bat", false, true},
      {"the standard input under a batch file", "one\n", nullptr, "stdin.txt", false, true},
      {"the INCLUDE file being read", nullptr, "two\n", "x.inc", false, true},
      {"a file nothing reads", "one\n", "two\n", "other.log", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("log-input");
    ConsoleSession session(directory, "typed\n");
    if (c.batch != nullptr) {
      directory.Write("input.bat", c.batch);
      session.SelectInput("input.bat");
      ASSERT_TRUE(IsBatchInputActive());
    }
    if (c.include != nullptr) {
      directory.Write("x.inc", c.include);
      SetEchoOn(false);
      OpenIncludeDevice("x.inc");
      ReadNextChar();
    }
    const std::string logName = c.absolute ? directory.File(c.logName) : std::string(c.logName);
    const DVError error = ErrorOf([&] { LogFile::LogCommand(logName); });
    if (!c.refused) {
      EXPECT_TRUE(error.IsOkay());
      EXPECT_TRUE(LogFile::IsLogging());
      LogFile::Close();
      continue;
    }
    EXPECT_EQ(error.Number(), 120u);
    EXPECT_EQ(error.Severity(), kSeveritySevere);
    ASSERT_EQ(error.ArgumentCount(), 1u);
    EXPECT_STREQ(error.Argument(0).data(), "commands are read from it");
    EXPECT_FALSE(LogFile::IsLogging());
    EXPECT_EQ(directory.Read("stdin.txt"), "typed\n");
    if (c.batch != nullptr) EXPECT_EQ(directory.Read("input.bat"), c.batch);
    if (c.include != nullptr) EXPECT_EQ(directory.Read("x.inc"), c.include);
  }
}

// The mirror case: an INCLUDE file that is the open log would read its own echo
// without end. It is refused when it is opened, and when an outer file that became the
// log while an inner one ran is opened again; the log goes on.
TEST_F(CommandInputTest, AnIncludeFileThatIsTheLogIsRefused) {
  SetEchoOn(false);
  LogFile::LogCommand("session.log");
  DVError error = ErrorOf([] { OpenIncludeDevice("./session.log"); });
  EXPECT_EQ(error.Number(), 118u);
  ASSERT_EQ(error.ArgumentCount(), 1u);
  EXPECT_STREQ(error.Argument(0).data(), "it is the LOG file");
  EXPECT_EQ(DeviceStackDepth(), 0);
  EXPECT_EQ(IncludeFileDevice().openInstances, 0);
  EXPECT_TRUE(LogFile::IsLogging());

  m_directory.Write("outer.inc", "a\nb\n");
  m_directory.Write("inner.inc", "c\n");
  OpenIncludeDevice("outer.inc");
  EXPECT_EQ(ReadCount(1), "a");
  OpenIncludeDevice("inner.inc");
  LogFile::LogCommand("outer.inc");
  EXPECT_EQ(ReadCount(3), "c\r\n");
  error = ErrorOf([] { ReadNextChar(); });
  EXPECT_EQ(error.Number(), 118u);
  ASSERT_EQ(error.ArgumentCount(), 1u);
  EXPECT_STREQ(error.Argument(0).data(), "it is the LOG file");
  EXPECT_TRUE(LogFile::IsLogging());
  LogFile::Close();
  EXPECT_EQ(ReadUntilDepth(0), "") << "the refused file gives nothing more";
  EXPECT_EQ(FileChannel::OpenFileCount(), m_baseFiles);
}

}  // namespace
}  // namespace zentor
