#pragma once
// The C expression fuzz driver: one input is a C expression, evaluated by the
// evaluation command ("? " and the input) in a console session of the command-line
// driver. The command parser hands the expression over to the C expression parser,
// whose code generator appends its code to the command, and the executor evaluates it
// over the query program: its symbol file loaded, its data and one stopped frame in
// the byte image standing in for the target, the thread stopped in main's inner block.

#include <string_view>

#include "drivers/command_line_input.h"

namespace zentor::fuzzing {

class CExpressionHarness {
 public:
  CExpressionHarness();

  CommandLineOutcome Run(std::string_view expression);

 private:
  CommandLineHarness m_session;
};

}  // namespace zentor::fuzzing
