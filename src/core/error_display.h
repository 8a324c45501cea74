#pragma once
// What the user sees of a DVError: a header naming the severity, the number and the
// viewpoint the error arose in; the message text with the error's arguments in its
// "%s" places; and one route to the screen (command output, message box, nothing),
// settled when the error is reported. The DVError members Report, Display, Header,
// Text, ChooseDisplayMode and MessageBoxStyle are defined with this file.
//
// The command output belongs to the console above the core: the console installs
// its writer at start-up (InstallConsoleServices). Before that an error's lines go to
// the standard output and no input line is dropped.

#include "support/rw_cstring.h"

#include <cstdint>

namespace zentor {

// Size of the buffer a message text is loaded into: texts are cut to 255 characters.
inline constexpr uint32_t kMessageLoadBufferSize = 256;
// The text a "%s" place shows once every argument has been used.
inline constexpr const char* kMissingPlaceText = "<MISSING>";

// Fills the "%s" places of `templateText` from left to right with the arguments in
// order, "<MISSING>" once they run out. Inserted text is never searched again, so a
// "%s" inside an argument (a file name, say) stays as it is. Surplus arguments are
// not shown.
RWCString ExpandMessageText(const char* templateText, const RWCString* arguments, uint32_t argumentCount);

// Where errors shown on the command output are written.
class ErrorOutput {
 public:
  virtual ~ErrorOutput();
  // Drops the rest of the command input line the error ended.
  virtual void DiscardInputLine();
  virtual void WriteString(const char* text);
  // Ends the current output line unless it is empty.
  virtual void FreshLine();
};

// Installs the console's writer (the caller keeps it alive); null puts the standard
// output back. Returns the one installed before (null for the standard output).
ErrorOutput* InstallErrorOutput(ErrorOutput* output);

// The two lines shown before an INTERNAL ERROR on the command output (messages 1000
// and 1001, each ending its line).
void PrintInternalErrorNotice();

}  // namespace zentor
