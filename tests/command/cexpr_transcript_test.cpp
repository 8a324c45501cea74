// Whole console sessions of the program with C expressions, debug variables and
// typed values, compared with golden transcripts: first without a program on the
// target, then with a CodeView program loaded and its data in a byte image that
// stands in for the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "harness/loop_session.h"
#include "harness/transcript.h"
#include "symbols/symbol_query_test_support.h"

namespace zentor {
namespace {

using testing_support::MatchesGolden;
using testing_support::ScratchDirectory;

std::filesystem::path CexprData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "cexpr" / name;
}

std::string RunScript(const std::string& script) {
  ScratchDirectory directory("cexpr-session");
  bool ended = false;
  const std::string output = testing_support::RunProgramSession(
      directory, {"zentor", "-test"}, testing_support::ReadFileBytes(CexprData(script + ".stdin")), &ended);
  EXPECT_TRUE(ended);
  return output;
}

// Values of every kind in every base, debug variables defined, redefined and updated
// by every compound operator, strings, the conditional and comma operators, lines
// that go on after an operator, and syntax errors with their carets; names of the
// program answer that no program is loaded.
TEST(CexprTranscriptTest, ValuesAndDebugVariablesWithoutAProgram) {
  EXPECT_TRUE(MatchesGolden(CexprData("values.stdout"), RunScript("values")));
}

// The register names the target enters at start-up, by the numbers the byte image's
// register set uses; run by the script's first command ("help") once start-up has
// made the keyword table.
constexpr uint16_t kHelpSlot = 183;
void EnterRegisterWords() {
  CommandScanner::AddKeyword(18, testing_support::kCvEbx, "ebx");
  CommandScanner::AddKeyword(18, testing_support::kCvEsi, "esi");
}

class CexprProgramTranscriptTest : public testing_support::SymbolQueryTest {
 protected:
  void TearDown() override {
    ActionTable::ResetToDefaults();
    SymbolQueryTest::TearDown();
  }
};

// The program stopped in main's inner block: globals, statics, locals on the frame
// and in registers, members, bit fields, subscripts and pointers read through C
// expressions; assignments through pointers, to array elements, bit fields and
// registers written into the byte image; steps and compound assignments; and the
// errors of names that are not there or not of the kind an operator needs.
TEST_F(CexprProgramTranscriptTest, ExpressionsOverALoadedProgram) {
  ActionTable::Bind(kHelpSlot, &EnterRegisterWords, "EnterRegisterWords");
  EXPECT_TRUE(MatchesGolden(CexprData("program.stdout"), RunScript("program")));
  EXPECT_EQ(m_memory.Register(testing_support::kCvEbx), 0x1236u);
}

}  // namespace
}  // namespace zentor
