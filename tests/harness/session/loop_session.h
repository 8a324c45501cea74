#pragma once
// Runs the whole program in a console session over files: start-up with the given
// arguments, then the command cycles on the standard input until the program ends.
// What the session wrote on the standard output comes back, followed by one line
// "[box] ..." for each message box.

#include <string>
#include <vector>

#include "harness/session/console_session.h"

namespace zentor::testing_support {

// How a session begins: as the program's first (everything an earlier session built
// released), or over the program a test has loaded and its installed stand-ins.
enum class SessionStart { kFresh, kKeepProgram };

// `arguments` starts with the program path. `ended` tells whether the program ended
// through its exit (it always should).
std::string RunProgramSession(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                              const std::string& standardInput, bool* ended,
                              SessionStart start = SessionStart::kFresh);

}  // namespace zentor::testing_support
