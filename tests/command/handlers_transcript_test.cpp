// Whole console sessions of the command handlers over a loaded CodeView program whose
// data lies in a byte image that stands in for the target: typed memory display and
// fill, printf, eval, the show listings, procedures and aliases, and debug objects
// saved with put and read back with include.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/symbol_interpreter.h"
#include "harness/session/loop_session.h"
#include "harness/transcript.h"
#include "program_stand_in.h"
#include "symbols/symbol_query_test_support.h"

namespace zentor {
namespace {

using testing_support::MatchesGolden;
using testing_support::ScratchDirectory;

std::filesystem::path HandlersData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "handlers" / name;
}

class HandlersTranscriptTest : public testing_support::SymbolQueryTest {
 protected:
  void SetUp() override {
    SymbolQueryTest::SetUp();
    testing_support::BindStandInToHelp(&m_memory);
  }
  void TearDown() override {
    SetStartupTestHook(nullptr);
    ActionTable::ResetToDefaults();
    SymbolQueryTest::TearDown();
    InstallCommandSymbolInterpreter();
  }

  // The session's standard output for the script `name`.stdin; `directory` is the
  // session's current directory.
  static std::string Run(const ScratchDirectory& directory, const std::string& script) {
    bool ended = false;
    const std::string output = testing_support::RunProgramSession(
        directory, {"zentor", "-test"}, testing_support::ReadFileBytes(HandlersData(script + ".stdin")), &ended,
        testing_support::SessionStart::kKeepProgram);
    EXPECT_TRUE(ended);
    return output;
  }

  uint32_t Word(uint32_t address) const {
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(m_memory.Byte(address + i)) << (8 * i);
    return value;
  }
};

constexpr uint32_t kTable = testing_support::kQueryData + 0x20;

// Typed display of arrays, strings and characters; fills that repeat their pattern to
// the length and cut it there, values cut to the room, strings with their end byte,
// a range copied directly and one converted element by element; the errors of a
// symbol that is not active and of a name that is not there.
TEST_F(HandlersTranscriptTest, TypedMemoryDisplayAndFill) {
  ScratchDirectory directory("handlers-memory");
  EXPECT_TRUE(MatchesGolden(HandlersData("memory.stdout"), Run(directory, "memory")));
  const uint32_t expected[] = {7, 8, 3, 1, 104, 7, 8, 0x3FC00000};
  for (uint32_t i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Word(kTable + 4 * i), expected[i]);
  }
}

// printf with every conversion, star widths (a width of 0 is no width), strings read
// from target memory, pointers as address texts, arguments beyond the directives and
// directives beyond the arguments; eval of every integer size signed and unsigned,
// characters, reals, strings in rows of each base, symbols and an inactive symbol.
TEST_F(HandlersTranscriptTest, PrintfAndEval) {
  ScratchDirectory directory("handlers-printf");
  EXPECT_TRUE(MatchesGolden(HandlersData("printf_eval.stdout"), Run(directory, "printf_eval")));
}

// Debug variables of every kind, aliases and procedures listed whole and by type
// word, expanded, printed and called; the program's symbols listed globally and in
// the current scope, whole and by type word, with its modules and lines.
TEST_F(HandlersTranscriptTest, ShowListingsProceduresAndAliases) {
  ScratchDirectory directory("handlers-show");
  EXPECT_TRUE(MatchesGolden(HandlersData("show.stdout"), Run(directory, "show")));
}

// The lines of the first and the second "show debug" listing after `marker`, sorted:
// the table lists names by their hash buckets, newest first, so a restore may order
// names of one bucket differently.
std::vector<std::string> SortedListingAfter(const std::string& output, const std::string& marker) {
  std::vector<std::string> lines;
  std::size_t at = output.find(marker);
  if (at == std::string::npos) return lines;
  at = output.find('\n', at) + 1;
  while (at < output.size() && output[at] != '>') {
    const std::size_t end = output.find('\n', at);
    lines.push_back(output.substr(at, end - at));
    at = end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Debug objects of every element type, an alias and a procedure are put into a file,
// removed and included again: the listing comes back the same and the file is plain
// command text. Put and append by name and by type word, the errors of a missing
// append file and of an undefined name (a put that fails leaves the earlier file
// whole), objects local to a block refused, and removal by name and by type word.
TEST_F(HandlersTranscriptTest, PutRemoveIncludeRestoresEveryObject) {
  ScratchDirectory directory("handlers-put");
  const std::string output = Run(directory, "put");
  EXPECT_TRUE(MatchesGolden(HandlersData("put.stdout"), output));
  const std::vector<std::string> before = SortedListingAfter(output, ">show debug\n");
  const std::size_t restored = output.find(">include saved.cmd");
  ASSERT_NE(restored, std::string::npos);
  EXPECT_EQ(SortedListingAfter(output.substr(restored), ">show debug\n"), before);
  EXPECT_EQ(before.size(), 21u);
  EXPECT_TRUE(MatchesGolden(HandlersData("saved.cmd"), directory.Read("saved.cmd")));
  EXPECT_FALSE(directory.Exists("missing.cmd"));
  EXPECT_FALSE(directory.Exists("bad.cmd"));
  for (const char* name : {"saved.cmd.put~", "bad.cmd.put~", "one.cmd.put~", "local.cmd", "local.cmd.put~"}) EXPECT_FALSE(directory.Exists(name)) << name;
}

// A fill of four million elements streams its pattern in pieces of at most 1 KiB:
// the image holds the pattern repeated, cut at the length, and nothing after it.
TEST_F(HandlersTranscriptTest, AHugeFillIsWrittenInBoundedPieces) {
  constexpr uint32_t kBig = 0x01000000;
  constexpr uint32_t kCount = 4000000;
  m_memory.Map(kBig, std::vector<uint8_t>(kCount + 16, 0xEE));
  ScratchDirectory directory("handlers-fill");
  testing_support::WriteFileBytes(directory.Path() / "fill.stdin",
                                  "help\nord1 0x01000000 length 4000000 = 1, 2, 3\nexit\nok\n");
  bool ended = false;
  testing_support::RunProgramSession(directory, {"zentor", "-test"},
                                     testing_support::ReadFileBytes(directory.Path() / "fill.stdin"), &ended,
                                     testing_support::SessionStart::kKeepProgram);
  EXPECT_LE(m_memory.m_largestWrite, 1024u);
  EXPECT_GE(m_memory.m_writes, kCount / 1024);
  for (const uint32_t at : {0u, 1u, 2u, 3u, 1023u, 1024u, 1025u, 2000000u, kCount - 2, kCount - 1}) {
    SCOPED_TRACE(at);
    EXPECT_EQ(m_memory.Byte(kBig + at), 1 + at % 3);
  }
  EXPECT_EQ(m_memory.Byte(kBig + kCount), 0xEE);
}

}  // namespace
}  // namespace zentor
