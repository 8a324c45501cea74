#pragma once
// The command-line fuzz driver: one input is the standard input of a whole console
// session of the debugger. Start-up runs as the program runs it, the sample CodeView
// program is loaded into the program's viewpoint over a byte image of target memory,
// and the command cycles read, parse and execute the input until its end ends the
// session. Every session starts from the state of a freshly started program; the
// loaded symbol tables, which no command changes yet, are loaded once and shared.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "harness/byte_image_target_memory.h"
#include "harness/session/console_session.h"

namespace zentor {
class SymbolContext;
}

namespace zentor::fuzzing {

struct CommandLineOutcome {
  // The session ended through the program's end (the end of the input or an exit).
  bool m_ended = false;
  // The standard output, then one "[box] ..." line per message box.
  std::string m_output;
};

class CommandLineHarness {
 public:
  CommandLineHarness();
  ~CommandLineHarness();
  CommandLineHarness(const CommandLineHarness&) = delete;
  CommandLineHarness& operator=(const CommandLineHarness&) = delete;

  CommandLineOutcome Run(std::string_view input);

 private:
  testing_support::ScratchDirectory m_directory;
  // The sample program, loaded once with every module: each session's viewpoint
  // shares its tables, as contexts of one program do.
  std::unique_ptr<SymbolContext> m_program;
  testing_support::ByteImageTargetMemory m_memory;
};

}  // namespace zentor::fuzzing
