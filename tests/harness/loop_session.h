#pragma once
// Runs the whole program in a console session over files: start-up with the given
// arguments, then the command cycles on the standard input until the program ends.
// What the session wrote on the standard output comes back, followed by one line
// "[box] ..." for each message box.

#include <string>
#include <vector>

#include "harness/transcript.h"

namespace zentor::testing_support {

// `arguments` starts with the program path. `ended` tells whether the program ended
// through its exit (it always should).
std::string RunProgramSession(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                              const std::string& standardInput, bool* ended);

}  // namespace zentor::testing_support
