#pragma once
// Runs a command text a dialog or a custom button built, as one command line of the
// command language, with its output captured into the caller's buffer instead of the
// Command window: all of it with line ends as blanks, or its first line only, at most
// 510 characters and a NUL. Refused until the debugger waits for its first command.

#include <cstdint>

#include "core/dv_error_code.h"

namespace zentor {

inline constexpr uint32_t kMsgToolNotInitialized = 11;  // "Tool not initialized; this command not allowed."

class CommandRunner {
 public:
  // Characters a capture keeps; the buffer holds at least one more for the NUL.
  static constexpr uint32_t kCaptureLimit = 510;

  // The command's status goes into *result, which is returned. Before the GUI is
  // ready: message 11 (WARNING) and nothing runs. The busy cursor shows meanwhile; the
  // command input is reset afterwards.
  static DVErrorCode* Run(DVErrorCode* result, int32_t firstLineOnly, const char* text, char* buffer);

  // The output hooks: every character (line ends as blanks), or the first line's.
  static void CaptureAll(char ch);
  static void CaptureFirstLine(char ch);
};

}  // namespace zentor
