// libFuzzer target: what the agent sends, through the packet link and the request
// builders of a fixed request sequence (fuzz/drivers/agent_answer_input.h).
#include <cstddef>
#include <cstdint>

#include "drivers/agent_answer_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zentor::fuzzing::RunAgentAnswerInput(data, size);
  return 0;
}
