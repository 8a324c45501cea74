#pragma once
// The CodeView fuzz driver: one input is a whole symbol file. It is loaded as the
// target interface loads a server module's symbols (ResetSymbolLoad, LoadSymbolFile,
// FinishSymbolLoad) into the program's viewpoint, every module the load deferred is
// asked for, and the loaded tables are asked what the debugger asks them: the module,
// line, procedure, label and nearest symbol at addresses of each module, the
// addresses of a line, and the modules' procedures by name (in their module and
// anywhere) and in the typedef-name set.

#include <cstdint>
#include <string>
#include <string_view>

#include "harness/session/console_session.h"
#include "harness/session/symbol_session.h"
#include "platform/binary_file.h"

namespace zentor::fuzzing {

struct CodeViewFileOutcome {
  testing_support::SymbolLoadOutcome m_load;
  uint32_t m_onDemand = 0;  // message of the deferred loads (0 for none)
  uint32_t m_modules = 0;   // modules in the loaded program
  uint32_t m_lookupError = 0;  // an internal-consistency error of a lookup (0 for none)
};

class CodeViewFileHarness {
 public:
  CodeViewFileHarness();
  CodeViewFileHarness(const CodeViewFileHarness&) = delete;
  CodeViewFileHarness& operator=(const CodeViewFileHarness&) = delete;

  CodeViewFileOutcome Run(std::string_view file);

 private:
  testing_support::ScratchDirectory m_directory;
  std::string m_path;
  // The symbol file, kept open: each input is written over the last one and the file
  // cut to its length, without naming the file again.
  platform::BinaryFile m_file;
};

}  // namespace zentor::fuzzing
