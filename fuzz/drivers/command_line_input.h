#pragma once
// The command-line fuzz driver: one input is the standard input of a whole console
// session of the debugger. Start-up runs as the program runs it, a CodeView program
// (the fixture's sample program unless told otherwise) is loaded into the program's
// viewpoint over a byte image of target memory, and the command cycles read, parse and
// execute the input until its end ends the session. Every session starts from the
// state of a freshly started program; the loaded symbol tables, which no command
// changes yet, are loaded once and shared.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "harness/byte_image_target_memory.h"
#include "harness/session/console_session.h"

namespace zentor {
class SymbolContext;
}

namespace zentor::fuzzing {

class BreakingHand;

// The program on the stand-in target: its symbol file, the byte image of its memory
// and what the target would say about its stopped thread, played once start-up has
// installed the program's own services (nothing, when empty).
struct SessionProgram {
  std::vector<uint8_t> m_symbolFile;
  std::function<void(testing_support::ByteImageTargetMemory&)> m_mapMemory;
  std::function<void()> m_standIn;
};

// The fixture's sample program over a byte image with every byte value, no thread.
SessionProgram SampleSessionProgram();

struct CommandLineOutcome {
  // The session ended through the program's end (the end of the input or an exit).
  bool m_ended = false;
  // The user's hand raised the break while the commands ran (they ran over 25 ms):
  // where the answer stops depends on when the break came.
  bool m_userBreak = false;
  // The standard output, then one "[box] ..." line per message box.
  std::string m_output;
};

class CommandLineHarness {
 public:
  explicit CommandLineHarness(SessionProgram program = SampleSessionProgram());
  ~CommandLineHarness();
  CommandLineHarness(const CommandLineHarness&) = delete;
  CommandLineHarness& operator=(const CommandLineHarness&) = delete;

  CommandLineOutcome Run(std::string_view input);

 private:
  void Restore();
  void ForgetWrittenFiles();

  testing_support::ScratchDirectory m_directory;
  testing_support::ConsoleFiles m_files;
  std::function<void()> m_standIn;
  // The user's hand on Ctrl+C, for inputs whose commands loop.
  std::unique_ptr<BreakingHand> m_hand;
  // The program, loaded once with every module: each session's viewpoint shares its
  // tables, as contexts of one program do.
  std::unique_ptr<SymbolContext> m_program;
  // Target memory as the program left it, mapped once; each session starts from a
  // copy of it, so that what an earlier session wrote is gone.
  testing_support::ByteImageTargetMemory m_pristine;
  testing_support::ByteImageTargetMemory m_memory;
};

}  // namespace zentor::fuzzing
