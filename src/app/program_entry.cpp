#include "app/program_entry.h"

#include "app/startup.h"

#include "command/command_loop.h"
#include "console/cleanup_stack.h"
#include "console/command_reader.h"
#include "console/file_channel.h"
#include "core/dv_error.h"

namespace zentor {

void CommandLoop(int32_t argumentCount, char** argumentVector) {
  ProgramArguments& arguments = GetProgramArguments();
  arguments.count = argumentCount;
  arguments.vector = argumentVector;
  try {
    Startup();
  } catch (const DVError&) {
    // Not reported: start-up reported what it could; the program ends.
    try {
      DiscardInputLine();
      CleanupStack::RunAll();
    } catch (const DVError&) {
      // The input may not exist yet when start-up failed early.
    }
    ExitDebugger();
  }
  RunCommandCycles();
}

}  // namespace zentor
