#include "command/postfix_emit.h"

#include <string>

#include "command/command_grammar.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/postfix_code.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "core/dv_error.h"
#include "core/token_record.h"

namespace zentor {
namespace {

MemoryFile& CodeBeingBuilt() {
  const MemoryFileHandle handle = CommandParserLL::CodeHandle();
  if (handle == kNullMemoryFile) ZENTOR_INTERNAL_ERROR();
  return MemoryFileOf(handle);
}

// Text mode drops the rest of the line, but never reads past the device the text
// came from: a stored text ends with a carriage return and no line feed, and reading
// on would take the next line of the console.
void DiscardRestOfTextLine() {
  const uint16_t depth = DeviceStackDepth();
  while (CurrentChar() != '\n' && CurrentChar() != '\r' && DeviceStackDepth() >= depth && depth > 0) {
    ReadNextChar();
  }
}

}  // namespace

void EmitInstruction(uint8_t opcode, uint32_t operand) {
  ThrowIfMemoryFileError(WritePostfixInstruction(CodeBeingBuilt(), opcode, operand));
}

void EmitCall(RoutineId routine) { EmitInstruction(kPostfixCall, routine); }

void EmitCall(ActionRoutine routine, const char* name) { EmitCall(RoutineRegistry::Register(routine, name)); }

void EmitString() {
  const TokenRecord& token = CurrentToken();
  // The executor loads the text back into a record of the same size; a longer text
  // would run past it.
  if (token.textLength > TokenRecord::kTextCapacity) throw DVError(kMsgBadPostfixCode, kSeverityInternal);
  MemoryFile& code = CodeBeingBuilt();
  ThrowIfMemoryFileError(
      WritePostfixInstruction(code, kPostfixString, PostfixStringOperand(token.textLength, token.tag)));
  if (token.textLength > 0) ThrowIfMemoryFileError(code.Write(1, token.textLength, token.text));
}

DVErrorCode EmitEmbeddedBlock(DVErrorCode* status, MemoryFileHandle source, uint32_t length) {
  MemoryFile& code = CodeBeingBuilt();
  DVErrorCode result = WritePostfixInstruction(code, kPostfixEmbeddedBlock, length);
  if (result.IsOkay() && length > 0) result = MemoryFileOf(source).CopyTo(code, 1, length);
  if (status != nullptr) *status = result;
  return result;
}

DVErrorCode EmitEmbeddedBlockFromCapture(MemoryFileHandle source, uint32_t length) {
  return EmitEmbeddedBlock(nullptr, source, length);
}

void SyntaxErrorColumns(uint8_t column, uint32_t* width, uint32_t* messageNumber) {
  uint32_t blanks = 0;
  if (column < 64) {
    blanks = column;
    *messageNumber = kMsgSyntaxCaretAfterBlanks;
  } else {
    blanks = column - 14u;
    *messageNumber = kMsgSyntaxTextBeforeCaret;
  }
  *width = blanks > kMaxCaretBlanks ? kMaxCaretBlanks : blanks;
}

void SyntaxError() {
  CommandParserLL::SetFailed(true);
  const TokenRecord& token = CurrentToken();
  if (CommandParserLL::Mode() == kParseCommand) {
    if (token.code == grammar_token::kEndOfLine && ExprParseFailed == 0) {
      // The command is not finished: it goes on on the next line.
      RepromptAfterDiscard();
      CommandParserLL::SetFailed(false);
      return;
    }
    ExprParseFailed = 0;
    uint32_t width = 0;
    uint32_t number = 0;
    SyntaxErrorColumns(token.column, &width, &number);
    DVError error(number, kSeveritySyntax, kDisplayCommandOutput);
    error.SetArg(0, std::string(width, ' ').c_str());
    throw error;
  }
  DiscardRestOfTextLine();
  CleanupStack::RunAll();
  CommandParserLL::EndParse();
  ExprParseFailed = 0;
}

}  // namespace zentor
