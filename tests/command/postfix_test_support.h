#pragma once
// Helpers of the executor tests: a builder that writes postfix code with labels (so a
// test writes control structures the way the parser lays them out), recording
// routines registered in the routine registry, and a reader that turns a code back
// into a list of instructions.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/postfix_code.h"
#include "core/memory_file.h"

namespace zentor::testing_support {

// What the recording routines did, in order.
std::vector<std::string>& Trace();
std::string TraceText();  // the trace joined by blanks
// The values the condition routine pushes, first first; an empty script pushes false.
std::deque<bool>& ConditionScript();
// Resets the trace, the condition script and the executor, value stack and frame file.
void ResetExecution();

// Routine ids: "rec:<word>" appends <word> to the trace; "cond" pushes the next
// scripted boolean.
RoutineId RecordRoutine(const std::string& word);
RoutineId ConditionRoutine();
// A routine under `name` that runs `body` when called (for routines a test composes).
RoutineId LambdaRoutine(const std::string& name, void (*body)());

class CodeBuilder {
 public:
  CodeBuilder();
  ~CodeBuilder();
  CodeBuilder(const CodeBuilder&) = delete;
  CodeBuilder& operator=(const CodeBuilder&) = delete;

  CodeBuilder& Op(uint8_t opcode, uint32_t operand = 0);
  CodeBuilder& Call(RoutineId id);
  CodeBuilder& Record(const std::string& word) { return Call(RecordRoutine(word)); }
  CodeBuilder& Condition() { return Call(ConditionRoutine()); }
  CodeBuilder& String(const std::string& text, uint16_t tag = 0);
  CodeBuilder& Embedded(const std::vector<uint8_t>& bytes);
  // A jump-type instruction (2 to 5) to a label, resolved by Finish.
  CodeBuilder& JumpTo(uint8_t opcode, const std::string& label);
  CodeBuilder& Label(const std::string& label);
  CodeBuilder& NestIn() { return Op(kPostfixNestIn); }
  CodeBuilder& NestOut() { return Op(kPostfixNestOut); }

  // Resolves the jumps and hands the code over (the builder no longer owns it).
  MemoryFileHandle Finish();
  uint32_t Position() const;

 private:
  MemoryFileHandle m_code = kNullMemoryFile;
  std::map<std::string, uint32_t> m_labels;
  std::vector<std::pair<uint32_t, std::string>> m_jumps;
};

// The instructions of a code from its start, as "opcode operand" texts; strings and
// embedded blocks show their data ("string 'abc'", "embedded 3").
std::vector<std::string> DumpCode(MemoryFileHandle code);

// One line per instruction: position, opcode name and what the operand means (the
// routine's name, a string's tag and text, a jump's target).
std::string CodeListing(MemoryFileHandle code);

}  // namespace zentor::testing_support
