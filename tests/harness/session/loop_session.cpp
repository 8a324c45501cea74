#include "harness/session/loop_session.h"

#include "app/program_entry.h"
#include "app/session_reset.h"
#include "app/startup.h"
#include "command/command_loop.h"

namespace zentor::testing_support {

std::string RunProgramSession(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                              const std::string& standardInput, bool* ended, SessionStart start) {
  if (start == SessionStart::kFresh) {
    ResetDebugSession();
  } else {
    ResetStartupState();
    ResetCommandLoopState();
  }
  ConsoleSession session(directory, standardInput);
  std::vector<std::string> texts = arguments;
  std::vector<char*> vector;
  for (std::string& text : texts) vector.push_back(text.data());
  vector.push_back(nullptr);
  *ended = false;
  try {
    CommandLoop(static_cast<int32_t>(texts.size()), vector.data());
  } catch (const ProgramExited&) {
    *ended = true;
  }
  // The process would end here; the code of a command the end of the input cut short
  // is released as the end of the process would.
  ResetCommandLoopState();
  std::string output = session.StandardOutput();
  for (const std::string& box : session.MessageBoxes()) output += "[box] " + box + "\n";
  return output;
}

}  // namespace zentor::testing_support
