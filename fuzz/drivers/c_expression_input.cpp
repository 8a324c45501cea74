#include "c_expression_input.h"

#include <string>

#include "command/command_grammar.h"
#include "command/command_scanner.h"
#include "core/program_counter.h"
#include "harness/session/query_program.h"
#include "symbols/symbol_context.h"

namespace zentor::fuzzing {
namespace {

using testing_support::QueryRegisters;

// What the target says once start-up has installed the program's own services: the
// stopped thread's program counter and frame pointer, and the names of the registers
// the program keeps locals in, by the numbers of the image's register set.
void StandInForTheTarget() {
  QueryRegisters::ProgramCounter() = testing_support::kQueryStop;
  ProgramCounterRegister::InstallReader(&QueryRegisters::ReadProgramCounter);
  FramePointerRegister::InstallReader(&QueryRegisters::ReadFramePointer);
  GetCurrentSymbolContext()->SetCurrentAddress(QueryRegisters::ReadProgramCounter());
  CommandScanner::AddKeyword(grammar_token::kRegister, testing_support::kTargetEbx, "ebx");
  CommandScanner::AddKeyword(grammar_token::kRegister, testing_support::kTargetEsi, "esi");
}

SessionProgram QuerySessionProgram() {
  testing_support::QueryTypes types;
  SessionProgram program;
  program.m_symbolFile =
      cvfixture::WriteCodeView(testing_support::MakeQueryProgram(types), cvfixture::CvVariant::NB09);
  program.m_mapMemory = &testing_support::MapQueryTarget;
  program.m_standIn = &StandInForTheTarget;
  return program;
}

}  // namespace

CExpressionHarness::CExpressionHarness() : m_session(QuerySessionProgram()) {}

CommandLineOutcome CExpressionHarness::Run(std::string_view expression) {
  std::string line = "? ";
  line.append(expression);
  line += '\n';
  return m_session.Run(line);
}

}  // namespace zentor::fuzzing
