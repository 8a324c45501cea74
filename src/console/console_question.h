#pragma once
// Questions in console mode: a yes/no or OK/cancel box becomes its text on the
// command output (after its caption and ": ", as console boxes show their titles,
// when it has one of its own) and an answer line read from the standard input. The first letter
// of the line decides ("y" yes, "c" cancel); an empty line, any other answer and the
// end of the input give the answer that does not wait for anybody: No, and OK for an
// OK/cancel box, so that a session without input can neither hang nor loop. Installed
// by InstallConsoleServices.

#include <cstdint>

#include "core/window_layer.h"

namespace zentor {

class ConsoleQuestionOnInput final : public ConsoleQuestion {
 public:
  int32_t Ask(uint32_t kind, const char* text, const char* caption) override;
};

}  // namespace zentor
