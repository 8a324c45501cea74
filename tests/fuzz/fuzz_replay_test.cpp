// The inputs the fuzzers found faults with (tests/data/fuzz/<target>/) and their seed
// corpora (fuzz/corpus/<target>/), replayed through the fuzz drivers in the ordinary
// test programs, so that the Windows build runs them too. Each must end as the
// program ends such input: a session that reaches its end, a load that ends in one of
// the load driver's statuses, a request sequence that runs to its last request; and
// none may hang. (The fuzzers' own runs hold each input to 10 seconds; here the limit
// is a minute, which a busy machine leaves far behind: the slowest input takes a fifth
// of a second, natively and under Wine.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "drivers/agent_answer_input.h"
#include "drivers/c_expression_input.h"
#include "drivers/codeview_file_input.h"
#include "drivers/command_line_input.h"
#include "drivers/settings_store_input.h"
#include "harness/transcript.h"
#include "symbols/load_driver.h"

namespace zentor {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;

constexpr auto kHangLimit = std::chrono::seconds(60);

std::vector<fs::path> InputsOf(const std::string& target) {
  std::vector<fs::path> files;
  for (const fs::path& directory : {fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz" / target,
                                    fs::path(ZENTOR_FUZZ_CORPUS_DIR) / target}) {
    if (!fs::is_directory(directory)) continue;
    for (const auto& entry : fs::directory_iterator(directory)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Runs `replay` on every input of the target; it returns what was wrong ("" if nothing).
void ReplayAll(const std::string& target, const std::function<std::string(const std::string&)>& replay) {
  const std::vector<fs::path> inputs = InputsOf(target);
  EXPECT_FALSE(inputs.empty()) << "no inputs for " << target;
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(replay(ReadFileBytes(input)), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangLimit);
  }
}

TEST(FuzzReplayTest, CommandLineSessionsReachTheEndOfTheirInput) {
  fuzzing::CommandLineHarness harness;
  ReplayAll("command_line", [&](const std::string& bytes) {
    const fuzzing::CommandLineOutcome outcome = harness.Run(bytes);
    return outcome.m_ended ? std::string() : "the session did not end; output:\n" + outcome.m_output;
  });
}

// The inputs kept for the faults they found whose answer is plain text end as the
// program answers them today: their whole output (values, numbered errors, syntax
// errors) is golden. ("steps-nested-in-steps" is binary noise whose echo depends on
// what the console was left with, so it is only replayed.)
TEST(FuzzReplayTest, KeptCommandLineFindsAnswerAsTheyShould) {
  fuzzing::CommandLineHarness harness;
  for (const char* name : {"endless-while", "postfix-step-chain", "procedure-released-with-no-code-running"}) {
    SCOPED_TRACE(name);
    const fuzzing::CommandLineOutcome outcome =
        harness.Run(ReadFileBytes(fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz" / "command_line" / name));
    EXPECT_TRUE(outcome.m_ended);
    EXPECT_TRUE(testing_support::MatchesGolden(
        fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz-outcomes" / "command_line" / (std::string(name) + ".stdout"),
        outcome.m_output));
  }
}

TEST(FuzzReplayTest, CExpressionSessionsReachTheEndOfTheirInput) {
  fuzzing::CExpressionHarness harness;
  ReplayAll("c_expression", [&](const std::string& bytes) {
    const fuzzing::CommandLineOutcome outcome = harness.Run(bytes);
    return outcome.m_ended ? std::string() : "the session did not end; output:\n" + outcome.m_output;
  });
}

TEST(FuzzReplayTest, SymbolFilesEndInALoadStatus) {
  fuzzing::CodeViewFileHarness harness;
  ReplayAll("codeview_file", [&](const std::string& bytes) {
    const fuzzing::CodeViewFileOutcome outcome = harness.Run(bytes);
    const uint32_t returned = outcome.m_load.m_returned;
    const bool known = returned == 0 || returned == kMsgFileLoadIoError || returned == kMsgControlCDetected ||
                       returned == kMsgSymbolicsInconsistent || returned == kMsgNoSymbolics ||
                       returned == kMsgSymbolicsUnsupported;
    if (!known) return "the load returned " + std::to_string(returned);
    if (outcome.m_lookupError != 0) return "a lookup raised " + std::to_string(outcome.m_lookupError);
    return std::string();
  });
}

TEST(FuzzReplayTest, AgentAnswersLeaveEveryRequestWithAResult) {
  ReplayAll("agent_answer", [](const std::string& bytes) {
    const fuzzing::AgentAnswerOutcome outcome =
        fuzzing::RunAgentAnswerInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const auto lines = std::count(outcome.m_results.begin(), outcome.m_results.end(), '\n');
    return lines == 5 ? std::string() : "results:\n" + outcome.m_results;
  });
}

// A store that holds two empty records of id 0 and no name opens with both listed
// and comes back as it was closed.
TEST(FuzzReplayTest, KeptSettingsStoreFindAnswersAsItShould) {
  fuzzing::SettingsStoreHarness harness;
  const fuzzing::SettingsStoreOutcome outcome =
      harness.Run(ReadFileBytes(fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz" / "settings_store" / "duplicate-empty-names"));
  EXPECT_EQ(fuzzing::SettingsStoreFault(outcome), "");
  EXPECT_EQ(outcome.m_listed, 2u);
}

TEST(FuzzReplayTest, SettingsStoresOpenAndComeBackAsTheyWereClosed) {
  fuzzing::SettingsStoreHarness harness;
  ReplayAll("settings_store", [&](const std::string& bytes) {
    return fuzzing::SettingsStoreFault(harness.Run(bytes));
  });
}

// A driver restores between inputs what an input can change: an input answers the
// same run on a fresh driver as run after up to 1,000 other inputs (the target's corpus
// and kept finds, cycled; `others` says how many when given). Every kept find is probed
// (an endless loop among them, which the user break must end at the same point), and
// one corpus input in every `probeEvery`, 40 by default, which keeps the test within
// seconds. A session input that the user break reached (its commands ran over 25 ms)
// stops wherever the break came, so the corpus probe is the first of its 40 that ends
// alone before the break; should the break reach it after the others, only
// `timedShow` of both answers (whether the session ended) can be compared.
// ("steps-nested-in-steps" is left out of the probes: its echo depends on what the
// console was left with, see above.)
template <typename Harness, typename Outcome>
void ExpectSameAloneAndAfterOthers(const std::string& target, const std::function<Outcome(Harness&, const std::string&)>& run,
                                   const std::function<std::string(const Outcome&)>& show, size_t probeEvery = 40,
                                   size_t others = 0,
                                   const std::function<bool(const Outcome&)>& timed = nullptr,
                                   const std::function<std::string(const Outcome&)>& timedShow = nullptr) {
  std::vector<std::string> inputs;
  enum class Role { kCorpus, kKept, kReplayedOnly };
  std::vector<Role> roles;
  for (const fs::path& file : InputsOf(target)) {
    const bool corpus =
        file.parent_path().filename() == target && file.parent_path().parent_path().filename() == "corpus";
    if (!corpus && file.parent_path().parent_path().filename() != "fuzz") continue;
    const bool echoesConsoleState = file.filename() == "steps-nested-in-steps";
    roles.push_back(corpus ? Role::kCorpus : echoesConsoleState ? Role::kReplayedOnly : Role::kKept);
    inputs.push_back(ReadFileBytes(file));
  }
  ASSERT_FALSE(inputs.empty());
  // The answers alone, each on a fresh driver.
  struct Probe {
    size_t index;
    std::string answer;
    std::string timedAnswer;
  };
  std::vector<Probe> alone;
  const auto probeAlone = [&](size_t index) {
    Harness fresh;
    const Outcome outcome = run(fresh, inputs[index]);
    if (roles[index] == Role::kCorpus && timed && timed(outcome)) return false;
    alone.push_back({index, show(outcome), timedShow ? timedShow(outcome) : std::string()});
    return true;
  };
  size_t corpusSeen = 0;
  bool probing = false;
  for (size_t index = 0; index < inputs.size(); ++index) {
    if (roles[index] == Role::kKept) probeAlone(index);
    if (roles[index] != Role::kCorpus) continue;
    if (corpusSeen++ % probeEvery == 0) probing = true;
    if (probing && probeAlone(index)) probing = false;
  }
  Harness harness;
  if (others == 0) others = std::min<size_t>(1000, std::max<size_t>(inputs.size(), 200));
  for (size_t i = 0; i < others; ++i) run(harness, inputs[(i * 7 + 3) % inputs.size()]);
  for (const Probe& probe : alone) {
    SCOPED_TRACE(target + " input " + std::to_string(probe.index));
    const Outcome after = run(harness, inputs[probe.index]);
    if (roles[probe.index] == Role::kCorpus && timed && timed(after)) {
      EXPECT_EQ(timedShow(after), probe.timedAnswer);
    } else {
      EXPECT_EQ(show(after), probe.answer);
    }
  }
}

std::string ShowSessionEnd(const fuzzing::CommandLineOutcome& outcome) {
  return outcome.m_ended ? "ended\n" : "running\n";
}

std::string ShowSession(const fuzzing::CommandLineOutcome& outcome) { return ShowSessionEnd(outcome) + outcome.m_output; }

bool ReachedByTheUserBreak(const fuzzing::CommandLineOutcome& outcome) { return outcome.m_userBreak; }

TEST(FuzzRestoreTest, CommandLineInputsAnswerAsWhenRunAlone) {
  ExpectSameAloneAndAfterOthers<fuzzing::CommandLineHarness, fuzzing::CommandLineOutcome>(
      "command_line", [](fuzzing::CommandLineHarness& h, const std::string& in) { return h.Run(in); }, ShowSession, 40,
      1000, ReachedByTheUserBreak, ShowSessionEnd);
}

TEST(FuzzRestoreTest, CExpressionInputsAnswerAsWhenRunAlone) {
  ExpectSameAloneAndAfterOthers<fuzzing::CExpressionHarness, fuzzing::CommandLineOutcome>(
      "c_expression", [](fuzzing::CExpressionHarness& h, const std::string& in) { return h.Run(in); }, ShowSession, 40,
      1000, ReachedByTheUserBreak, ShowSessionEnd);
}

// Pairs of kept finds where the earlier input once changed the later one's answer: a
// breakpoint whose address stayed taken in the target's slots, a file one session wrote
// and the next included, an address text cut short whose flag stayed on. The later
// input answers after the earlier one as it does on a fresh driver.
template <typename Harness>
void ExpectPairsAnswerAsWhenRunAlone(const std::string& target,
                                     const std::vector<std::pair<std::string, std::string>>& pairs) {
  const fs::path kept = fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz" / target;
  for (const auto& [earlier, later] : pairs) {
    SCOPED_TRACE(earlier + " then " + later);
    std::string alone;
    {
      Harness fresh;
      alone = ShowSession(fresh.Run(ReadFileBytes(kept / later)));
    }
    Harness harness;
    harness.Run(ReadFileBytes(kept / earlier));
    EXPECT_EQ(ShowSession(harness.Run(ReadFileBytes(kept / later))), alone);
  }
}

TEST(FuzzRestoreTest, KeptPairsAnswerAsWhenRunAlone) {
  ExpectPairsAnswerAsWhenRunAlone<fuzzing::CommandLineHarness>(
      "command_line", {{"breakpoint-address-of-an-earlier-session", "breakpoint-address-of-an-earlier-session"},
                       {"log-file-an-include-would-read", "include-of-a-file-no-session-wrote"}});
  ExpectPairsAnswerAsWhenRunAlone<fuzzing::CExpressionHarness>(
      "c_expression", {{"breakpoint-line-after-the-expression", "breakpoint-line-after-the-expression"},
                       {"address-text-cut-short", "member-of-a-name-not-known"}});
}

// Within one session too, a command after an error inside an address text looks its
// names up as a command on its own does.
TEST(FuzzRestoreTest, CommandAfterABrokenAddressTextAnswersAsAlone) {
  const fs::path kept = fs::path(ZENTOR_TEST_DATA_DIR) / "fuzz" / "c_expression";
  fuzzing::CExpressionHarness harness;
  const std::string alone = harness.Run(ReadFileBytes(kept / "member-of-a-name-not-known")).m_output;
  const size_t answerEnd = alone.find("\n>", 1);
  ASSERT_NE(answerEnd, std::string::npos) << alone;
  const std::string answer = alone.substr(0, answerEnd + 1);
  EXPECT_NE(harness.Run(ReadFileBytes(kept / "address-text-ended-by-an-error")).m_output.find(answer),
            std::string::npos)
      << "the answer alone:\n" << answer;
}

// The symbol-file and agent drivers keep their setup from one input to the next:
// every tenth corpus input and every kept find is probed after 1,000 others.
TEST(FuzzRestoreTest, SymbolFilesLoadAsWhenLoadedAlone) {
  ExpectSameAloneAndAfterOthers<fuzzing::CodeViewFileHarness, fuzzing::CodeViewFileOutcome>(
      "codeview_file", [](fuzzing::CodeViewFileHarness& h, const std::string& in) { return h.Run(in); },
      [](const fuzzing::CodeViewFileOutcome& o) {
        return std::to_string(o.m_load.m_raised) + " " + std::to_string(o.m_load.m_returned) + " " +
               std::to_string(o.m_load.m_reported) + " " +
               std::to_string(o.m_onDemand) + " " + std::to_string(o.m_modules) + " " + std::to_string(o.m_lookupError);
      },
      10, 1000);
}

// The agent driver keeps no object of its own: its state is the program's link.
struct AgentAnswerRunner {};

TEST(FuzzRestoreTest, AgentAnswersAnswerAsWhenRunAlone) {
  ExpectSameAloneAndAfterOthers<AgentAnswerRunner, fuzzing::AgentAnswerOutcome>(
      "agent_answer",
      [](AgentAnswerRunner&, const std::string& in) {
        return fuzzing::RunAgentAnswerInput(reinterpret_cast<const uint8_t*>(in.data()), in.size());
      },
      [](const fuzzing::AgentAnswerOutcome& o) { return o.m_results + o.m_output; }, 10, 1000);
}

TEST(FuzzRestoreTest, SettingsStoresAnswerAsWhenOpenedAlone) {
  ExpectSameAloneAndAfterOthers<fuzzing::SettingsStoreHarness, fuzzing::SettingsStoreOutcome>(
      "settings_store", [](fuzzing::SettingsStoreHarness& h, const std::string& in) { return h.Run(in); },
      [](const fuzzing::SettingsStoreOutcome& o) {
        return fuzzing::SettingsStoreFault(o) + " " + std::to_string(o.m_damage) + " " + std::to_string(o.m_listed);
      });
}

}  // namespace
}  // namespace zentor
