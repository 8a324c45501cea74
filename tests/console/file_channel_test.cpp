// File channels (reserved names, the open table, positions, errors) and temporary
// files, including the exit path that deletes them.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/file_channel.h"
#include "console/temp_files.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "harness/transcript.h"
#include "platform/alert.h"

#include <cstdio>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zentor {
namespace {

using testing_support::ConsoleSession;
using testing_support::ProgramExited;
using testing_support::ScratchDirectory;

std::size_t TemporaryFilesIn(const ScratchDirectory& directory) {
  std::size_t count = 0;
  for (const std::string& name : directory.Files()) count += name.rfind("$DBT", 0) == 0 ? 1 : 0;
  return count;
}

// Descriptors the process holds (0 where the system does not tell).
std::size_t SystemDescriptorCount() {
#if defined(__linux__)
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
#else
  return 0;
#endif
}

class FileChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { TempFileTable::SetDirectory(m_directory.Path().string()); }
  void TearDown() override { TempFileTable::SetDirectory(""); }

  ScratchDirectory m_directory{"channel"};
  ConsoleSession m_session{m_directory, ""};
};

TEST_F(FileChannelTest, ReservedNames) {
  struct Case {
    const char* name;
    bool consoleMode;
    const char* file;
    uint32_t mode;
    int32_t expected;  // -2: an ordinary file (or a failure), never a console descriptor
  };
  const int32_t standardInput = FileChannel::StandardInput();
  const int32_t standardOutput = FileChannel::StandardOutput();
  const Case cases[] = {
      {"console input in GUI mode", false, ":CI:", kOpenRead, kConsoleInputDescriptor},
      {"console output in GUI mode", false, ":CO:", kOpenWrite, kConsoleOutputDescriptor},
      {"video output", false, ":VO:", kOpenWrite, kVideoOutputDescriptor},
      {"console input in console mode", true, ":CI:", kOpenRead, standardInput},
      {"console output in console mode", true, ":CO:", kOpenWrite, standardOutput},
      {"console output read is a file name", false, ":CO:", kOpenRead, -2},
      {"console input written is a file name", true, ":CI:", kOpenWrite, -2},
      {"lower case is a file name", false, ":co:", kOpenWrite, -2},
      {"bad mode", false, "x.txt", 3, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetConsoleMode(c.consoleMode);
    const int32_t descriptor = FileChannel::Open(c.file, c.mode);
    if (c.expected == -2) {
      EXPECT_NE(descriptor, kConsoleInputDescriptor);
      EXPECT_NE(descriptor, kConsoleOutputDescriptor);
      EXPECT_NE(descriptor, standardInput);
      EXPECT_NE(descriptor, standardOutput);
      FileChannel::Close(descriptor);
      std::error_code ignored;
      std::filesystem::remove(m_directory.Path() / c.file, ignored);
    } else {
      EXPECT_EQ(descriptor, c.expected);
    }
  }
  SetConsoleMode(true);
  FileChannel::SetLastError(EIO);
  FileChannel::Close(kConsoleOutputDescriptor);
  EXPECT_EQ(FileChannel::LastError(), 0) << "closing the console does nothing and reports no error";
}

TEST_F(FileChannelTest, ReadWriteSeekAndInfo) {
  const int32_t descriptor = FileChannel::Open("data.bin", kOpenWrite);
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(FileChannel::Write(descriptor, "0123456789", 10), 10);
  FileInfo info;
  info.accessTime = 0xDEAD;
  ASSERT_EQ(FileChannel::GetFileInfo(descriptor, &info), 0);
  EXPECT_EQ(info.valid, 1);
  EXPECT_EQ(info.size, 10);
  FileChannel::Close(descriptor);

  const int32_t update = FileChannel::Open("data.bin", kOpenUpdate);
  ASSERT_GE(update, 0);
  struct SeekCase {
    uint8_t origin;
    int32_t offset;
    int32_t expected;
  };
  const SeekCase seeks[] = {{0, 4, 4}, {1, 2, 6}, {2, -3, 7}, {7, 3, 3}, {1, 0, 3}};
  for (const SeekCase& s : seeks) {
    SCOPED_TRACE("origin " + std::to_string(s.origin) + " offset " + std::to_string(s.offset));
    EXPECT_EQ(FileChannel::Seek(update, s.origin, s.offset), s.expected);
    EXPECT_EQ(FileChannel::Tell(update), s.expected);
  }
  char bytes[8] = {};
  EXPECT_EQ(FileChannel::Read(update, bytes, 4), 4);
  EXPECT_EQ(std::string(bytes, 4), "3456");
  EXPECT_EQ(FileChannel::Write(update, "ab", 2), 2);
  FileChannel::Close(update);
  EXPECT_EQ(m_directory.Read("data.bin"), "0123456ab9");

  FileInfo untouched;
  EXPECT_LT(FileChannel::GetFileInfo(kConsoleOutputDescriptor, &untouched), 0);
  EXPECT_EQ(untouched.valid, 0);
}

TEST_F(FileChannelTest, ErrorsAreKeptAndRaisedOnRequest) {
  EXPECT_EQ(FileChannel::Open("missing.txt", kOpenRead), -1);
  EXPECT_EQ(FileChannel::LastError(), ENOENT);
  try {
    FileChannel::ThrowOnError(118, kSeveritySevere);
    ADD_FAILURE() << "no error raised";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), 118u);
    EXPECT_EQ(error.Severity(), kSeveritySevere);
    ASSERT_EQ(error.ArgumentCount(), 1u);
    EXPECT_STREQ(error.Argument(0).data(), "No such file or directory");
  }
  const int32_t descriptor = FileChannel::Open("present.txt", kOpenWrite);
  ASSERT_GE(descriptor, 0);
  EXPECT_NO_THROW(FileChannel::ThrowOnError(118, kSeveritySevere)) << "the last operation succeeded";
  FileChannel::Close(descriptor);

  struct TextCase {
    int number;
    const char* text;
  };
  const TextCase texts[] = {{0, "No error"},
                            {EPERM, "Operation not permitted"},
                            {ENOENT, "No such file or directory"},
                            {EACCES, "Permission denied"},
                            {EMFILE, "Too many open files"},
                            {EISDIR, "Is a directory"},
                            {987654, "Unknown error"}};
  for (const TextCase& t : texts) {
    SCOPED_TRACE(t.text);
    EXPECT_EQ(FileChannel::ErrorText(t.number), t.text);
  }
}

TEST_F(FileChannelTest, FullOpenTableRefusesWithoutLeakingTheFile) {
  const std::size_t alreadyOpen = FileChannel::OpenFileCount();
  std::vector<int32_t> descriptors;
  for (std::size_t i = alreadyOpen; i < FileChannel::kOpenTableSize; ++i) {
    const int32_t descriptor = FileChannel::Open(("f" + std::to_string(i)).c_str(), kOpenWrite);
    ASSERT_GE(descriptor, 0);
    descriptors.push_back(descriptor);
  }
  const std::size_t systemDescriptorsBefore = SystemDescriptorCount();
  EXPECT_EQ(FileChannel::Open("one-too-many", kOpenWrite), -1);
  EXPECT_EQ(FileChannel::LastError(), EMFILE);
  EXPECT_EQ(SystemDescriptorCount(), systemDescriptorsBefore) << "the refused file was closed again";
  FileChannel::Close(descriptors.back());
  descriptors.pop_back();
  const int32_t reopened = FileChannel::Open("again", kOpenWrite);
  EXPECT_GE(reopened, 0) << "a freed slot takes a file again";
  EXPECT_EQ(FileChannel::Open("probe", kOpenWrite), -1) << "the table is full again";
  descriptors.push_back(reopened);
  for (int32_t descriptor : descriptors) FileChannel::Close(descriptor);
  EXPECT_EQ(FileChannel::OpenFileCount(), alreadyOpen);
}

TEST_F(FileChannelTest, ConsoleChannelWritesLineFeedsOnly) {
  FileChannel::Write(FileChannel::StandardOutput(), "a\r\nb\rc", 6);
  FileChannel::Write(kVideoOutputDescriptor, "\r\nd", 3);
  EXPECT_EQ(m_session.StandardOutput(), "a\nbc\nd");
}

// The process's standard error points at the session's standard output file for the
// object's lifetime, both writing at one position, as "2>&1" makes them.
class StandardErrorIntoOutput {
 public:
  StandardErrorIntoOutput() {
    std::fflush(stderr);
#if defined(_WIN32)
    m_saved = _dup(2);
    _dup2(FileChannel::StandardOutput(), 2);
#else
    m_saved = dup(2);
    dup2(FileChannel::StandardOutput(), 2);
#endif
  }
  ~StandardErrorIntoOutput() {
    std::fflush(stderr);
#if defined(_WIN32)
    _dup2(m_saved, 2);
    _close(m_saved);
#else
    dup2(m_saved, 2);
    close(m_saved);
#endif
  }
  StandardErrorIntoOutput(const StandardErrorIntoOutput&) = delete;
  StandardErrorIntoOutput& operator=(const StandardErrorIntoOutput&) = delete;

 private:
  int m_saved = -1;
};

// A file as standard output gets the console output a block at a time. Whatever the
// output file holds at a moment when something outside may look is all that was
// written before: when the program reads its input, writes to the standard error,
// exits, or asks for the output's position; and blocks that fill go out whole, in
// order, with no byte lost or doubled against the plain text without carriage returns.
TEST(HeldStandardOutputTest, WrittenBeforeAnyoneLooks) {
  struct Case {
    const char* name;
    std::function<void()> moment;
    const char* shown;
  };
  const Case cases[] = {
      {"a read of the standard input",
       [] {
         uint8_t byte = 0;
         FileChannel::Read(FileChannel::StandardInput(), &byte, 1);
       },
       "prompt>"},
      {"an alert on the standard error",
       [] {
         StandardErrorIntoOutput together;
         platform::AlertRequest request;
         request.title = "Title";
         request.text = "text";
         platform::ShowAlert(request);
       },
       "prompt>Title: text\n"},
      {"the program's end", [] { EXPECT_THROW(ExitProgram(), ProgramExited); }, "prompt>"},
      {"the output's position", [] { EXPECT_EQ(FileChannel::Tell(FileChannel::StandardOutput()), 7); }, "prompt>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("held");
    ConsoleSession session(directory, "");
    FileChannel::Write(FileChannel::StandardOutput(), "prompt\r>", 8);
    c.moment();
    EXPECT_EQ(directory.Read("stdout.txt"), c.shown);
    FileChannel::Write(FileChannel::StandardOutput(), "after", 5);
    EXPECT_EQ(session.StandardOutput(), std::string(c.shown) + "after");
  }

}

// Writes of every length, carriage returns at every place: the file is always a prefix
// of the text, and all of it once flushed.
TEST(HeldStandardOutputTest, BlocksKeepEveryByteInOrder) {
  ScratchDirectory directory("held");
  ConsoleSession session(directory, "");
  const int32_t output = FileChannel::StandardOutput();
  std::string expected;
  uint32_t seed = 12345;
  for (int write = 0; write < 300; ++write) {
    seed = seed * 1103515245u + 12345u;
    const uint32_t length = (seed >> 8) % 700;
    std::string bytes;
    for (uint32_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      const char ch = (seed >> 16) % 7 == 0 ? '\r' : static_cast<char>('a' + (seed >> 20) % 26);
      bytes += ch;
      if (ch != '\r') expected += ch;
    }
    EXPECT_EQ(FileChannel::Write(output, bytes.data(), length), static_cast<int32_t>(length));
    const std::string shown = directory.Read("stdout.txt");
    ASSERT_EQ(expected.compare(0, shown.size(), shown), 0) << "seed 12345, write " << write;
  }
  EXPECT_GT(directory.Read("stdout.txt").size(), 0u);
  EXPECT_EQ(session.StandardOutput(), expected);
}

TEST_F(FileChannelTest, TemporaryFilesAreDeletedWhenClosed) {
  const int32_t first = TempFileTable::Create();
  const int32_t second = TempFileTable::Create();
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(TempFileTable::Count(), 2u);
  EXPECT_EQ(TemporaryFilesIn(m_directory), 2u);
  const std::string firstName = TempFileTable::NameOf(first);
  EXPECT_EQ(std::filesystem::path(firstName).filename().string().rfind("$DBT", 0), 0u);
  EXPECT_EQ(FileChannel::Write(first, "scratch", 7), 7);
  FileChannel::Close(first);
  EXPECT_FALSE(std::filesystem::exists(firstName));
  EXPECT_EQ(TempFileTable::Count(), 1u);
  FileChannel::Close(second);
  EXPECT_EQ(TemporaryFilesIn(m_directory), 0u);
}

TEST_F(FileChannelTest, ExitDeletesTemporaryFilesAndClosesEveryFile) {
  for (int i = 0; i < 3; ++i) ASSERT_GE(TempFileTable::Create(), 0);
  ASSERT_GE(FileChannel::Open("open-at-exit", kOpenWrite), 0);
  EXPECT_THROW(ExitDebugger(), ProgramExited);
  EXPECT_EQ(TemporaryFilesIn(m_directory), 0u);
  EXPECT_EQ(TempFileTable::Count(), 0u);
  EXPECT_EQ(FileChannel::OpenFileCount(), 2u) << "only the session's standard input and output stay";
}

TEST_F(FileChannelTest, ExitDeclinedByTheTargetChangesNothing) {
  ASSERT_GE(TempFileTable::Create(), 0);
  ExitServices services;
  services.endTargetSession = [] { return false; };
  SetExitServices(services);
  EXPECT_NO_THROW(ExitDebugger());
  SetExitServices(ExitServices{});
  EXPECT_EQ(TempFileTable::Count(), 1u);
  TempFileTable::DeleteAll();
}

TEST(TemporaryFileTest, FileThatCannotBeMadeIsFatalAndLeavesNothing) {
  struct Case {
    const char* name;
    int filesBefore;
    bool missingDirectory;
    const char* errnoText;
  };
  const Case cases[] = {
      {"all ten slots in use", 10, false, "<24>"},
      {"directory missing", 0, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory directory("temp");
    ConsoleSession session(directory, "");
    const std::string temporaryDirectory =
        c.missingDirectory ? (directory.Path() / "missing").string() : directory.Path().string();
    TempFileTable::SetDirectory(temporaryDirectory);
    for (int i = 0; i < c.filesBefore; ++i) ASSERT_GE(TempFileTable::Create(), 0);
    EXPECT_THROW(TempFileTable::Create(), ProgramExited);
    EXPECT_EQ(TemporaryFilesIn(directory), 0u) << "the exit deleted every temporary file";
    ASSERT_EQ(session.MessageBoxes().size(), 1u);
    const std::string& box = session.MessageBoxes()[0];
    EXPECT_EQ(box.rfind("[3] FATAL ERROR #115: System Errno <", 0), 0u) << box;
    EXPECT_NE(box.find("Cannot create temporary file <"), std::string::npos) << box;
    if (c.errnoText != nullptr && EMFILE == 24) {
      EXPECT_NE(box.find(c.errnoText), std::string::npos) << box;
    }
    TempFileTable::SetDirectory("");
  }
}

}  // namespace
}  // namespace zentor
