#include "command_line_input.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/session_reset.h"
#include "app/startup.h"
#include "codeview/cv_fixture.h"
#include "command/command_loop.h"
#include "core/target_memory.h"
#include "platform/user_break.h"
#include "harness/session/symbol_session.h"
#include "symbols/symbol_context.h"

namespace zentor::fuzzing {
namespace {

constexpr uint32_t kImageBytes = 0x2000;
constexpr const char* kSymbolFile = "PROGRAM.SYM";

// Code and data with every byte value, so that listings and reads meet varied bytes.
std::vector<uint8_t> ImageBytes(uint32_t seed) {
  std::vector<uint8_t> bytes(kImageBytes);
  for (uint32_t i = 0; i < kImageBytes; ++i) bytes[i] = static_cast<uint8_t>(i * 37u + seed);
  return bytes;
}

}  // namespace

// A command may loop for as long as the user lets it (a "while" whose condition stays
// true): the user ends it with Ctrl+C. The hand on the keys: once the commands of an
// input have run for 25 ms it raises the user break, and then keeps the keys down,
// raising it again every millisecond while they go on, so that each later command that
// loops too (an input holds several) ends within about a millisecond: the first break
// has shown the loop, and the fuzzer's time goes to the next input instead. A loop
// that never looks at the break still runs into the fuzzer's hang limit.
// One watcher serves every input of the driver (a thread per input would cost more
// than most inputs): it is armed when an input's commands start and disarmed when
// they end, and it raises the break only while armed, under its lock, so that no
// break raised for one input reaches the next. Arming and disarming only note the
// time under the lock; they never wake the watcher (two wake-ups for every input
// would cost more than a short input). The watcher sleeps until the armed input's
// break is due; while disarmed it looks again every 25 ms, so an input armed in
// between is seen by the time its break is due.
class BreakingHand {
 public:
  BreakingHand() : m_thread([this] { Watch(); }) {}
  ~BreakingHand() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
  }

  // How many breaks the hand has raised so far.
  uint64_t Raised() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_raised;
  }

  // Armed for as long as the object lives.
  class Armed {
   public:
    explicit Armed(BreakingHand& hand) : m_hand(hand) { m_hand.Set(true); }
    ~Armed() { m_hand.Set(false); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;

   private:
    BreakingHand& m_hand;
  };

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kFirstBreak = std::chrono::milliseconds(25);
  static constexpr auto kKeysHeld = std::chrono::milliseconds(1);

  void Set(bool armed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = armed;
    if (armed) m_armedAt = Clock::now();
    ++m_round;
  }

  void Watch() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
      if (!m_armed) {
        m_wake.wait_for(lock, kFirstBreak);
        continue;
      }
      const uint64_t round = m_round;
      Clock::time_point due = m_armedAt + kFirstBreak;
      while (!m_quit && m_round == round) {
        if (Clock::now() < due) {
          m_wake.wait_until(lock, due);
          continue;
        }
        platform::RaiseUserBreak();
        ++m_raised;
        due = Clock::now() + kKeysHeld;
      }
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;  // only the end of the driver wakes the watcher
  bool m_armed = false;
  bool m_quit = false;
  Clock::time_point m_armedAt;
  uint64_t m_round = 0;  // counts the armings and disarmings
  uint64_t m_raised = 0;  // counts the breaks raised
  std::thread m_thread;
};

SessionProgram SampleSessionProgram() {
  SessionProgram program;
  program.m_symbolFile = cvfixture::WriteCodeView(cvfixture::MakeSampleProgram(), cvfixture::CvVariant::NB09);
  program.m_mapMemory = [](testing_support::ByteImageTargetMemory& memory) {
    memory.Map(testing_support::kProgramCodeBase, ImageBytes(0));
    memory.Map(testing_support::kProgramDataBase, ImageBytes(11));
  };
  return program;
}

CommandLineHarness::CommandLineHarness(SessionProgram program)
    : m_directory("fuzz-command"), m_files(m_directory), m_standIn(std::move(program.m_standIn)), m_hand(std::make_unique<BreakingHand>()) {
  if (program.m_mapMemory) program.m_mapMemory(m_pristine);
  m_directory.Write(kSymbolFile, std::string(program.m_symbolFile.begin(), program.m_symbolFile.end()));
  ResetDebugSession();
  testing_support::OpenProgramViewpoint();
  testing_support::LoadSymbols(m_directory.File(kSymbolFile));
  testing_support::ForceDeferredModules();
  m_program = std::make_unique<SymbolContext>();
  *m_program = *GetCurrentSymbolContext();
  Restore();
}

// What the last input left goes with the driver: the next user of the session (another
// driver, a test) starts from a fresh one.
CommandLineHarness::~CommandLineHarness() { ResetDebugSession(); }

// The session's files are the program's symbol file, its standard input and output,
// and what inputs wrote (a log, a PUT file, an include file made by one and read by
// the next): only the first three stay, so that no input reads what an earlier one
// wrote.
void CommandLineHarness::ForgetWrittenFiles() { m_files.RemoveOtherFiles(kSymbolFile); }

// Start-up and the command cycles are the program's own (CommandLoop without its
// arguments' storage). The session runs without an agent; between start-up and the
// cycles the target's part is played: target memory over the byte image, the
// program's viewpoint and its symbols.
CommandLineOutcome CommandLineHarness::Run(std::string_view input) {
  CommandLineOutcome outcome;
  testing_support::SetOfflineSession(true);
  {
    testing_support::ConsoleSession session(m_files, input);
    TargetMemoryService* previous = nullptr;
    std::string texts[] = {"zentor", "-nomr", "-test"};
    char* arguments[] = {texts[0].data(), texts[1].data(), texts[2].data(), nullptr};
    const uint64_t raised = m_hand->Raised();
    GetProgramArguments() = ProgramArguments{3, arguments};
    try {
      Startup();
      previous = TargetMemory::InstallService(&m_memory);
      testing_support::OpenProgramViewpoint(*m_program);
      if (m_standIn) m_standIn();
      BreakingHand::Armed armed(*m_hand);
      RunCommandCycles();
    } catch (const testing_support::ProgramExited&) {
      outcome.m_ended = true;
    }
    outcome.m_userBreak = m_hand->Raised() != raised;
    ResetCommandLoopState();
    platform::TakeUserBreak();
    GetProgramArguments() = ProgramArguments{};
    TargetMemory::InstallService(previous);
    outcome.m_output = session.StandardOutput();
    for (const std::string& box : session.MessageBoxes()) outcome.m_output += "[box] " + box + "\n";
  }
  Restore();
  return outcome;
}

// What an input changed is put back as soon as it ends, so that the next input does
// what it does whatever ran before it, and so that what the input allocated is freed
// within its own run: an input that ends holding more memory than it began with looks
// like a leak to the fuzzer, which then runs it a second time and scans the heap.
void CommandLineHarness::Restore() {
  ResetDebugSession();
  m_memory.RestoreFrom(m_pristine);
  ForgetWrittenFiles();
}

}  // namespace zentor::fuzzing
