#include "platform/console_input.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/file_system.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zentor::platform {
namespace {

#if defined(_WIN32)
bool MakePipe(int ends[2]) { return _pipe(ends, 256, _O_BINARY) == 0; }
int WriteBytes(int descriptor, const char* bytes, unsigned count) { return _write(descriptor, bytes, count); }
int CloseDescriptor(int descriptor) { return _close(descriptor); }
int OpenForReading(const std::string& name) { return _open(name.c_str(), _O_RDONLY | _O_BINARY); }
#else
bool MakePipe(int ends[2]) { return pipe(ends) == 0; }
int WriteBytes(int descriptor, const char* bytes, unsigned count) {
  return static_cast<int>(write(descriptor, bytes, count));
}
int CloseDescriptor(int descriptor) { return close(descriptor); }
int OpenForReading(const std::string& name) { return open(name.c_str(), O_RDONLY); }
#endif

constexpr uint32_t kWait = 40;
// The wait asked of a pipe that is ready: one that sleeps on instead of answering at
// once takes this long, half of which is far beyond any answer on a busy machine.
constexpr uint32_t kReadyWait = 60000;

// The reader's wait while the target runs: an empty pipe holds it for the time asked
// (it sleeps, no answer at once), a byte or the writer's end makes it ready at once, a
// file never holds it.
TEST(ConsoleInput, WaitForInputOnPipesAndFiles) {
  struct Case {
    const char* name;
    const char* written;  // null: nothing
    bool closeWriter;
    bool ready;
  };
  const Case cases[] = {
      {"empty pipe", nullptr, false, false},
      {"a byte waits", "x", false, true},
      {"writer gone", nullptr, true, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    int ends[2] = {-1, -1};
    ASSERT_TRUE(MakePipe(ends));
    if (test.written != nullptr) ASSERT_EQ(WriteBytes(ends[1], test.written, 1), 1);
    if (test.closeWriter) CloseDescriptor(ends[1]);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForInput(ends[0], test.ready ? kReadyWait : kWait), test.ready);
    const auto spent = std::chrono::steady_clock::now() - start;
    if (test.ready) {
      EXPECT_LT(spent, std::chrono::milliseconds(kReadyWait / 2));
    } else {
      EXPECT_GE(spent, std::chrono::milliseconds(kWait - 5));
    }
    CloseDescriptor(ends[0]);
    if (!test.closeWriter) CloseDescriptor(ends[1]);
  }
  const std::string name = CreateTemporaryFile("zwi");
  ASSERT_FALSE(name.empty());
  const int file = OpenForReading(name);
  ASSERT_GE(file, 0);
  EXPECT_TRUE(WaitForInput(file, kWait)) << "an empty file is ready: its read meets the end";
  CloseDescriptor(file);
  RemoveFile(name);
}

}  // namespace
}  // namespace zentor::platform
