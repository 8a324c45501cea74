#include "command/command_parser.h"

#include <utility>
#include <vector>

#include "command/command_grammar.h"
#include "command/command_scanner.h"
#include "command/expression_lexer.h"
#include "command/expression_parser.h"
#include "command/ll1_table.h"
#include "command/postfix_code.h"
#include "command/postfix_emit.h"
#include "console/command_device.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// Slots the parser handles itself or watches.
constexpr uint16_t kSlotBeginCapture = 53;
constexpr uint16_t kSlotEndCapture = 57;
// Tag of a keyword subcode turned into a 2-byte string.
constexpr uint16_t kSubcodeTag = 16;

struct ParseFrame {
  uint8_t remaining = 0;
  uint32_t current = 0;
};

// The whole state of one parse. `active` tells the emitters that a parse is
// building code; the chain heads of enclosing captured blocks are kept so that a
// procedure body's control structures form a chain of their own.
struct ParserState {
  uint8_t active = 0;
  uint8_t running = 0;
  uint8_t mode = 0;
  uint8_t needToken = 0;
  uint8_t immediateNext = 0;
  uint8_t failed = 0;
  uint8_t remaining = 0;
  int16_t top = CommandParserLL::kStackFrames;
  uint32_t current = 0;
  uint32_t chainHead = CommandParserLL::kNoPlaceholder;
  MemoryFileHandle code = kNullMemoryFile;
  std::vector<uint32_t> enclosingChains;
  ParseFrame frames[CommandParserLL::kStackFrames];
};

ParserState g_state;
MemoryFileHandle g_saveFile = kNullMemoryFile;

CommandParserLL::ProductionObserver g_productionObserver = nullptr;
ExpressionParserRoutine g_expressionParser = &ExpressionParser;
ActionRoutine g_resetExpressionLexer = &ResetExpressionLexer;

// ---- saved states ------------------------------------------------------------------
//
// A saved state is its bytes followed by their count (u32), so the newest one can be
// read back from the end of the file.

// The image is written into storage of its final size in one pass (the parser saves
// its state for every nested parse, so this is on the path of every stored text).
class ByteWriter {
 public:
  explicit ByteWriter(uint8_t* bytes) : m_bytes(bytes) {}
  void U8(uint8_t value) { m_bytes[m_at++] = value; }
  void U32(uint32_t value) {
    value_bytes::StoreU32(m_bytes + m_at, value);
    m_at += 4;
  }
  size_t Written() const { return m_at; }

 private:
  uint8_t* m_bytes;
  size_t m_at = 0;
};

class ByteReader {
 public:
  ByteReader(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
  uint8_t U8() {
    if (m_at >= m_size) ZENTOR_INTERNAL_ERROR();
    return m_bytes[m_at++];
  }
  uint32_t U32() {
    if (m_size - m_at < 4) ZENTOR_INTERNAL_ERROR();
    const uint32_t value = value_bytes::LoadU32(m_bytes + m_at);
    m_at += 4;
    return value;
  }
  bool AtEnd() const { return m_at == m_size; }

 private:
  const uint8_t* m_bytes;
  size_t m_size;
  size_t m_at = 0;
};

constexpr size_t kStateFixedBytes = 7 + 5 * 4;
constexpr size_t kFrameBytes = 1 + 4;

// The image of a state on its way to or from the save file: one buffer serves every
// save and restore (a state is saved and restored for every parse), grown to the
// largest image met and never given back.
std::vector<uint8_t>& ImageBuffer(size_t size) {
  static std::vector<uint8_t> bytes;
  if (bytes.size() < size) bytes.resize(size);
  return bytes;
}

// The size of the state's image without its count: only the frames in use, those from
// the top to the bottom of the stack, are kept.
size_t StateImageSize(const ParserState& state) {
  const int16_t firstFrame = state.top < 0 ? 0 : state.top;
  const size_t frames = firstFrame < CommandParserLL::kStackFrames ? CommandParserLL::kStackFrames - firstFrame : 0;
  return kStateFixedBytes + 4 * state.enclosingChains.size() + kFrameBytes * frames;
}

// The state's image followed by its count (u32), as the save file holds it, into
// `bytes` (StateImageSize + 4 of them).
void WriteStateImageWithCount(const ParserState& state, uint8_t* bytes) {
  const int16_t firstFrame = state.top < 0 ? 0 : state.top;
  const size_t size = StateImageSize(state);
  ByteWriter writer(bytes);
  writer.U8(state.active);
  writer.U8(state.running);
  writer.U8(state.mode);
  writer.U8(state.needToken);
  writer.U8(state.immediateNext);
  writer.U8(state.failed);
  writer.U8(state.remaining);
  writer.U32(static_cast<uint32_t>(static_cast<int32_t>(state.top)));
  writer.U32(state.current);
  writer.U32(state.chainHead);
  writer.U32(state.code);
  writer.U32(static_cast<uint32_t>(state.enclosingChains.size()));
  for (const uint32_t chain : state.enclosingChains) writer.U32(chain);
  for (int16_t i = firstFrame; i < CommandParserLL::kStackFrames; ++i) {
    writer.U8(state.frames[i].remaining);
    writer.U32(state.frames[i].current);
  }
  if (writer.Written() != size) ZENTOR_INTERNAL_ERROR();
  writer.U32(static_cast<uint32_t>(size));
}

// Reads a state's image (without its count) into `state`, a fresh ParserState.
void StateFromImage(const uint8_t* bytes, size_t count, ParserState& state) {
  ByteReader reader(bytes, count);
  state.active = reader.U8();
  state.running = reader.U8();
  state.mode = reader.U8();
  state.needToken = reader.U8();
  state.immediateNext = reader.U8();
  state.failed = reader.U8();
  state.remaining = reader.U8();
  const auto top = static_cast<int32_t>(reader.U32());
  if (top < 0 || top > CommandParserLL::kStackFrames) ZENTOR_INTERNAL_ERROR();
  state.top = static_cast<int16_t>(top);
  state.current = reader.U32();
  state.chainHead = reader.U32();
  state.code = reader.U32();
  const uint32_t chains = reader.U32();
  if (chains > (count - kStateFixedBytes) / 4) ZENTOR_INTERNAL_ERROR();
  state.enclosingChains.resize(chains);
  for (uint32_t i = 0; i < chains; ++i) state.enclosingChains[i] = reader.U32();
  for (int16_t i = state.top; i < CommandParserLL::kStackFrames; ++i) {
    state.frames[i].remaining = reader.U8();
    state.frames[i].current = reader.U32();
  }
  if (!reader.AtEnd()) ZENTOR_INTERNAL_ERROR();
}

MemoryFile& SaveFile() {
  if (g_saveFile == kNullMemoryFile) ThrowIfMemoryFileError(CreateMemoryFile(0, 0, &g_saveFile));
  return MemoryFileOf(g_saveFile);
}

void PushSavedState(const ParserState& state) {
  const size_t size = StateImageSize(state) + 4;
  std::vector<uint8_t>& image = ImageBuffer(size);
  WriteStateImageWithCount(state, image.data());
  ThrowIfMemoryFileError(SaveFile().Write(1, static_cast<uint32_t>(size), image.data()));
}

// Takes the newest saved state off the file into `state`, a fresh ParserState; false
// when there is none.
bool PopSavedState(ParserState* state) {
  MemoryFile& file = SaveFile();
  if (file.Position() == 0) return false;
  uint8_t count[4];
  ThrowIfMemoryFileError(file.ReadBack(4, count));
  const uint32_t size = value_bytes::LoadU32(count);
  std::vector<uint8_t>& image = ImageBuffer(size);
  ThrowIfMemoryFileError(file.ReadBack(size, image.data()));
  file.TruncateKeepingFirstPage();
  StateFromImage(image.data(), size, *state);
  return true;
}

// ---- the walk over the grammar -------------------------------------------------------

const CommandGrammar& Grammar() { return CommandGrammar::Get(); }

[[noreturn]] void RaiseStackError() {
  HiService(kGuiResetCursors);
  throw DVError(kMsgParseStackOverflow, kSeveritySyntax, kDisplayCommandOutput);
}

// The current symbol, popping finished frames first. Returns false (and ends the
// parse) when the stack runs out in text mode.
bool CurrentSymbol(uint16_t* symbol) {
  while (g_state.remaining == 0) {
    // top indexes the newest frame; kStackFrames means the stack is empty.
    if (g_state.top > CommandParserLL::kStackFrames - 1) {
      if (g_state.mode == kParseCommand) RaiseStackError();
      g_state.top = CommandParserLL::kStackFrames - 1;
      SyntaxError();
      return false;
    }
    g_state.remaining = g_state.frames[g_state.top].remaining;
    g_state.current = g_state.frames[g_state.top].current;
    ++g_state.top;
  }
  *symbol = Grammar().SymbolAt(g_state.current);
  return true;
}

void Advance() {
  --g_state.remaining;
  ++g_state.current;
}

// Starts working through a production. The rest of the present right-hand side is
// kept in a frame only when something of it is left, so right recursion runs in
// constant depth.
bool PushProduction(uint32_t production) {
  const GrammarProduction& entry = Grammar().Production(production);
  if (g_state.remaining > 0) {
    --g_state.top;
    if (g_state.top < 0) {
      if (g_state.mode == kParseCommand) RaiseStackError();
      g_state.top = 0;
      SyntaxError();
      return false;
    }
    g_state.frames[g_state.top] = ParseFrame{g_state.remaining, g_state.current};
  }
  g_state.remaining = entry.length;
  g_state.current = entry.firstSymbol;
  return true;
}

// The subcode of the current token as a 2-byte string (little-endian, tag 16),
// then a call of the routine that pushes it as an integer. The token record itself is
// left as it is.
void EmitSubcode() {
  const uint16_t subcode = CurrentToken().subcode;
  EmitInstruction(kPostfixString, PostfixStringOperand(2, kSubcodeTag));
  uint8_t bytes[2];
  value_bytes::StoreU16(bytes, subcode);
  ThrowIfMemoryFileError(MemoryFileOf(g_state.code).Write(1, 2, bytes));
  EmitCall(&CommandScanner::PushTokenInteger, "PushTokenInteger");
}

void RunActionNow(uint16_t slot) {
  ActionTable::Run(slot);
  // A captured block (a procedure body) keeps its control structures to itself: a
  // break inside it can never reach a loop outside.
  if (slot == kSlotBeginCapture) {
    g_state.enclosingChains.push_back(g_state.chainHead);
    g_state.chainHead = CommandParserLL::kNoPlaceholder;
  } else if (slot == kSlotEndCapture && !g_state.enclosingChains.empty()) {
    g_state.chainHead = g_state.enclosingChains.back();
    g_state.enclosingChains.pop_back();
  }
}

// Runs the action symbols at the current position, also those that continue an
// enclosing right-hand side, before the next token is fetched: an action after a
// nonterminal acts on the token that ended it.
void RunActions() {
  uint16_t symbol = 0;
  while (g_state.running != 0 && CurrentSymbol(&symbol) && IsActionSymbol(symbol)) {
    const auto slot = static_cast<uint16_t>(symbol - kFirstAction);
    Advance();
    if (g_state.immediateNext != 0) {
      g_state.immediateNext = 0;
      RunActionNow(slot);
      continue;
    }
    switch (slot) {
      case ActionTable::kSlotEmitString: EmitString(); break;
      case ActionTable::kSlotRunAtOnce: g_state.immediateNext = 1; break;
      case ActionTable::kSlotSubcode: EmitSubcode(); break;
      case ActionTable::kSlotNestingIn: EmitInstruction(kPostfixNestIn, 0); break;
      case ActionTable::kSlotNestingOut: EmitInstruction(kPostfixNestOut, 0); break;
      case ActionTable::kSlotMarkStart: EmitInstruction(kPostfixBlockStart, 0); break;
      case ActionTable::kSlotMarkEnd: EmitInstruction(kPostfixBlockEnd, 0); break;
      default: EmitCall(ActionTable::RoutineIdOf(slot)); break;
    }
  }
}

// 1. Save the state of any parse running and the scanner's switches.
// 2. Start on the start symbol: it stays under everything as the continuation.
// 3. Fetch a token whenever the last one was used; match terminals, expand
//    nonterminals by the LL(1) table, run actions, until the stop action ends it.
// 4. Put back the saved state and switches on every way out.
void RunParse(uint8_t mode) {
  const LL1Table& table = LL1Table::Get();
  const CommandGrammar& grammar = Grammar();
  uint16_t symbol = 0;

  g_state.remaining = 1;
  g_state.current = grammar.StartSequenceIndex();
  const uint16_t start = grammar.StartSymbol() - kFirstNonterminal;
  if (grammar.AlternativeCountOf(start) == 0) ZENTOR_INTERNAL_ERROR();
  if (g_productionObserver != nullptr) g_productionObserver(grammar.FirstProductionOf(start));
  if (!PushProduction(grammar.FirstProductionOf(start))) return;

  while (g_state.running != 0) {
    if (g_state.needToken != 0) {
      CommandScanner::NextToken(mode == kParseCommand);
      g_state.needToken = 0;
    }
    if (!CurrentSymbol(&symbol)) break;
    const uint8_t token = CurrentToken().code;
    if (IsTerminalSymbol(symbol)) {
      if (grammar.TerminalMatches(symbol, token)) {
        Advance();
        RunActions();
      } else {
        SyntaxError();
      }
      g_state.needToken = 1;
    } else if (IsNonterminalSymbol(symbol)) {
      const int32_t production = table.Choose(symbol - kFirstNonterminal, token);
      if (production < 0) {
        SyntaxError();
        g_state.needToken = 1;
      } else {
        if (g_productionObserver != nullptr) g_productionObserver(static_cast<uint32_t>(production));
        Advance();
        if (PushProduction(static_cast<uint32_t>(production))) RunActions();
      }
    } else {
      RunActions();
    }
  }
}

// ---- placeholders and fix-ups ------------------------------------------------------

MemoryFile& Code() {
  if (g_state.active == 0 || g_state.code == kNullMemoryFile) ZENTOR_INTERNAL_ERROR();
  return MemoryFileOf(g_state.code);
}

PostfixInstruction ReadPlaceholder(MemoryFile& code, uint32_t position) {
  if (position == CommandParserLL::kNoPlaceholder || position > code.Size() ||
      code.Size() - position < kPostfixInstructionSize) {
    ZENTOR_INTERNAL_ERROR();
  }
  ThrowIfMemoryFileError(code.Seek(position));
  PostfixInstruction instruction;
  ThrowIfMemoryFileError(ReadPostfixInstruction(code, &instruction));
  return instruction;
}

// Rewrites the instruction at `position`; the code's position goes back to its end.
void Patch(MemoryFile& code, uint32_t position, uint8_t opcode, uint32_t operand) {
  ThrowIfMemoryFileError(code.Seek(position));
  ThrowIfMemoryFileError(WritePostfixInstruction(code, opcode, operand));
  ThrowIfMemoryFileError(code.Seek(code.Size()));
}

void PatchJump(MemoryFile& code, uint32_t position, uint8_t opcode, uint32_t target) {
  Patch(code, position, opcode, PostfixJumpOperand(static_cast<int32_t>(target - position)));
}

bool InsideLoop() {
  if (g_state.active == 0) return false;
  MemoryFile& code = Code();
  uint32_t link = g_state.chainHead;
  while (link != CommandParserLL::kNoPlaceholder) {
    const PostfixInstruction placeholder = ReadPlaceholder(code, link);
    if (placeholder.opcode == kPostfixNoOp) {
      ThrowIfMemoryFileError(code.Seek(code.Size()));
      return true;
    }
    link = placeholder.operand;
  }
  ThrowIfMemoryFileError(code.Seek(code.Size()));
  return false;
}

// A break or continue outside every loop would leave a placeholder that no loop
// patches: it is refused where it stands.
void OpenLoopExit(uint8_t opcode) {
  if (!InsideLoop()) {
    SyntaxError();
    return;
  }
  CommandParserLL::EmitLinked(opcode);
}

// The loop placeholders met by a fix-up walk that end with the loop start.
struct LoopWalk {
  uint32_t loopStart = CommandParserLL::kNoPlaceholder;
  uint32_t rest = CommandParserLL::kNoPlaceholder;  // the chain beyond the loop start
};

}  // namespace

void SetExpressionParser(ExpressionParserRoutine parse, ActionRoutine resetLexer) {
  g_expressionParser = parse;
  g_resetExpressionLexer = resetLexer;
}

void RestoreExpressionParser() { SetExpressionParser(&ExpressionParser, &ResetExpressionLexer); }

bool IsExpressionParserAvailable() { return g_expressionParser != nullptr; }

bool CommandParserLL::ParseCommand(uint8_t mode, MemoryFileHandle* code) {
  // Whatever way the parse ends, the outer parse and the scanner's switches get
  // their state back; the saved state is consumed here, so the command loop's
  // RestoreSavedState finds nothing more to put back for this parse.
  struct Restore {
    bool stateSaved = false;
    bool switchesSaved = false;
    // The code of a caller that takes no code is released here.
    MemoryFileHandle unclaimedCode = kNullMemoryFile;
    ~Restore() {
      try {
        if (unclaimedCode != kNullMemoryFile) (void)DestroyMemoryFile(unclaimedCode);
      } catch (...) {
      }
      try {
        if (switchesSaved) CommandScanner::RestoreModeFlags();
      } catch (...) {
      }
      try {
        ParserState saved;
        if (stateSaved && PopSavedState(&saved)) g_state = std::move(saved);
      } catch (...) {
      }
    }
  } restore;

  PushSavedState(g_state);
  restore.stateSaved = true;
  CommandScanner::SaveModeFlags();
  restore.switchesSaved = true;

  CommandScanner::ResetModeFlags();
  g_state = ParserState();
  g_state.mode = mode;
  g_state.needToken = 1;
  ThrowIfMemoryFileError(CreateMemoryFile(0, 0, &g_state.code));
  if (code != nullptr) {
    *code = g_state.code;
  } else {
    restore.unclaimedCode = g_state.code;
  }
  g_state.active = 1;
  g_state.running = 1;
  g_state.failed = 0;

  RunParse(mode);
  return g_state.failed == 0;
}

void CommandParserLL::Stop() { g_state.running = 0; }

void CommandParserLL::ResetSaveStack() {
  SaveFile().Clear();
}

void CommandParserLL::RestoreSavedState() {
  ParserState saved;
  if (PopSavedState(&saved)) g_state = std::move(saved);
}

uint32_t CommandParserLL::SavedStateCount() {
  MemoryFile& file = SaveFile();
  uint32_t count = 0;
  uint32_t end = file.Position();
  while (end >= 4) {
    uint8_t bytes[4];
    ThrowIfMemoryFileError(file.Seek(end - 4));
    ThrowIfMemoryFileError(file.Read(1, 4, bytes));
    const uint32_t size = value_bytes::LoadU32(bytes);
    if (size + 4 > end) ZENTOR_INTERNAL_ERROR();
    end -= size + 4;
    ++count;
  }
  uint32_t size = 0;
  uint32_t position = 0;
  file.SizeAndPosition(&size, &position);
  ThrowIfMemoryFileError(file.Seek(size));
  return count;
}

void CommandParserLL::ReplaceRestWithEndExpression() {
  g_state.remaining = 1;
  g_state.current = Grammar().EndExpressionSequenceIndex();
  g_state.needToken = 1;
}

bool CommandParserLL::IsParsing() { return g_state.active != 0; }
uint8_t CommandParserLL::Mode() { return g_state.mode; }
MemoryFileHandle CommandParserLL::CodeHandle() { return g_state.active != 0 ? g_state.code : kNullMemoryFile; }
bool CommandParserLL::HasFailed() { return g_state.failed != 0; }
void CommandParserLL::SetFailed(bool failed) { g_state.failed = failed ? 1 : 0; }
void CommandParserLL::EndParse() { g_state.running = 0; }
void CommandParserLL::RequestToken() { g_state.needToken = 1; }

uint32_t CommandParserLL::EmitLinked(uint8_t opcode) {
  const uint32_t position = Code().Size();
  EmitInstruction(opcode, g_state.chainHead);
  g_state.chainHead = position;
  return position;
}

uint32_t CommandParserLL::ChainHead() { return g_state.chainHead; }

void CommandParserLL::OpenIfCondition() { EmitLinked(kPostfixLinkPlaceholder); }
void CommandParserLL::OpenElseJump() { EmitLinked(kPostfixJump); }
void CommandParserLL::OpenConditionJump() { EmitLinked(kPostfixJumpIfFalse); }
void CommandParserLL::OpenDoWhileCondition() { EmitLinked(kPostfixDoWhilePlaceholder); }
void CommandParserLL::OpenForCondition() {
  EmitLinked(kPostfixJumpIfFalse);
  EmitLinked(kPostfixJump);
}
void CommandParserLL::OpenForJumpBack() { EmitLinked(kPostfixJump); }
void CommandParserLL::OpenBreakJump() { OpenLoopExit(kPostfixBreakPlaceholder); }
void CommandParserLL::OpenContinueJump() { OpenLoopExit(kPostfixContinuePlaceholder); }
void CommandParserLL::OpenLoopStart() { EmitLinked(kPostfixNoOp); }

// End of an if statement, walking from the newest placeholder:
// 1. A jump (before an else part) goes to the end; the condition's false-jump then
//    goes to the instruction after it, the start of the else part.
// 2. A false-jump goes to the false target, which becomes its own position.
// 3. Breaks and continues stay linked, in their order, for the enclosing loop.
// 4. The if-condition placeholder ends the walk as a false-jump to the false target.
void CommandParserLL::FixIf() {
  MemoryFile& code = Code();
  const uint32_t end = code.Size();
  uint32_t falseTarget = end;
  std::vector<uint32_t> kept;
  uint32_t link = g_state.chainHead;
  for (;;) {
    const PostfixInstruction placeholder = ReadPlaceholder(code, link);
    const uint32_t next = placeholder.operand;
    if (placeholder.opcode == kPostfixJump) {
      PatchJump(code, link, kPostfixJump, end);
      falseTarget = link + kPostfixInstructionSize;
    } else if (placeholder.opcode == kPostfixJumpIfFalse) {
      PatchJump(code, link, kPostfixJumpIfFalse, falseTarget);
      falseTarget = link;
    } else if (placeholder.opcode == kPostfixContinuePlaceholder || placeholder.opcode == kPostfixBreakPlaceholder) {
      kept.push_back(link);
    } else {
      PatchJump(code, link, kPostfixJumpIfFalse, falseTarget);
      link = next;
      break;
    }
    link = next;
  }
  // Relink the kept placeholders in front of the rest of the chain.
  uint32_t head = link;
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    const PostfixInstruction placeholder = ReadPlaceholder(code, *it);
    Patch(code, *it, placeholder.opcode, head);
    head = *it;
  }
  g_state.chainHead = head;
  ThrowIfMemoryFileError(code.Seek(code.Size()));
}

// End of a while or do-while loop:
// 1. Append the jump back (patched last) and let `end` be the position after it.
// 2. Walk from the newest placeholder: the condition's false-jump and the breaks go
//    to the end; a do-while condition start becomes a no-op and is where the
//    continues go; the loop start ends the walk.
// 3. Continues go to the condition start (do-while) or the loop start (while); the
//    jump back goes to the loop start, which stays as a no-op.
void CommandParserLL::FixWhile() {
  MemoryFile& code = Code();
  const uint32_t jumpBack = code.Size();
  EmitInstruction(kPostfixJump, 0);
  const uint32_t end = code.Size();
  uint32_t conditionStart = kNoPlaceholder;
  std::vector<uint32_t> continues;
  uint32_t link = g_state.chainHead;
  uint32_t loopStart = kNoPlaceholder;
  while (loopStart == kNoPlaceholder) {
    const PostfixInstruction placeholder = ReadPlaceholder(code, link);
    const uint32_t next = placeholder.operand;
    switch (placeholder.opcode) {
      case kPostfixJumpIfFalse: PatchJump(code, link, kPostfixJumpIfFalse, end); break;
      case kPostfixBreakPlaceholder: PatchJump(code, link, kPostfixJump, end); break;
      case kPostfixDoWhilePlaceholder:
        Patch(code, link, kPostfixNoOp, 0);
        conditionStart = link;
        break;
      case kPostfixContinuePlaceholder: continues.push_back(link); break;
      case kPostfixNoOp:
        Patch(code, link, kPostfixNoOp, 0);
        loopStart = link;
        break;
      default: ZENTOR_INTERNAL_ERROR();
    }
    link = next;
  }
  const uint32_t continueTarget = conditionStart != kNoPlaceholder ? conditionStart : loopStart;
  for (const uint32_t position : continues) PatchJump(code, position, kPostfixJump, continueTarget);
  PatchJump(code, jumpBack, kPostfixJump, loopStart);
  g_state.chainHead = link;
}

// End of a for loop. The header is: loop start, condition, false-jump, jump over the
// step, the step, jump back; then the body.
// 1. Append the jump back to the step and let `end` be the position after it.
// 2. Walk from the newest placeholder: breaks go to the end, continues are collected;
//    the newest jump is the header's jump back, the next one the jump over the step,
//    which goes to the body (just after the jump back); the false-jump goes to the
//    end; the loop start ends the walk and the header's jump back goes to it.
// 3. Continues and the appended jump go to the step.
void CommandParserLL::FixFor() {
  MemoryFile& code = Code();
  const uint32_t appended = code.Size();
  EmitInstruction(kPostfixJump, 0);
  const uint32_t end = code.Size();
  std::vector<uint32_t> continues;
  uint32_t jumpBack = kNoPlaceholder;
  uint32_t stepStart = kNoPlaceholder;
  uint32_t loopStart = kNoPlaceholder;
  uint32_t link = g_state.chainHead;
  while (loopStart == kNoPlaceholder) {
    const PostfixInstruction placeholder = ReadPlaceholder(code, link);
    const uint32_t next = placeholder.operand;
    switch (placeholder.opcode) {
      case kPostfixBreakPlaceholder: PatchJump(code, link, kPostfixJump, end); break;
      case kPostfixContinuePlaceholder: continues.push_back(link); break;
      case kPostfixJump:
        if (jumpBack == kNoPlaceholder) {
          jumpBack = link;
        } else if (stepStart == kNoPlaceholder) {
          PatchJump(code, link, kPostfixJump, jumpBack + kPostfixInstructionSize);
          stepStart = link + kPostfixInstructionSize;
        } else {
          ZENTOR_INTERNAL_ERROR();
        }
        break;
      case kPostfixJumpIfFalse: PatchJump(code, link, kPostfixJumpIfFalse, end); break;
      case kPostfixNoOp:
        Patch(code, link, kPostfixNoOp, 0);
        loopStart = link;
        break;
      default: ZENTOR_INTERNAL_ERROR();
    }
    link = next;
  }
  if (jumpBack == kNoPlaceholder || stepStart == kNoPlaceholder) ZENTOR_INTERNAL_ERROR();
  PatchJump(code, jumpBack, kPostfixJump, loopStart);
  for (const uint32_t position : continues) PatchJump(code, position, kPostfixJump, stepStart);
  PatchJump(code, appended, kPostfixJump, stepStart);
  g_state.chainHead = link;
}

void CommandParserLL::SetProductionObserver(ProductionObserver observer) { g_productionObserver = observer; }

DVErrorCode CommandParserLL::EmbedBlock(DVErrorCode* status, MemoryFileHandle source, uint32_t length) {
  return EmitEmbeddedBlock(status, source, length);
}

// ---- expression hand-over ------------------------------------------------------------

namespace {

enum class HandOverForm { kScope, kPath, kStarPath, kWhole, kAmpersandPath };

// The code generator overwrites the current token's text, so an ending token whose
// text the command goes on to use is taken back from the push-back record: a name,
// a number (a count after a location, as in "int4 buf 4"), whose value is its text,
// and the end of the line, whose length ends the text a command keeps of its
// expression (a watch on "&v" or ":MOD.v" would keep only part of its name).
bool GivesBackToken(HandOverForm form, uint8_t token) {
  if (form == HandOverForm::kWhole) return false;
  return token == grammar_token::kIdentifier || token == grammar_token::kEndOfLine ||
         token == grammar_token::kInteger || token == grammar_token::kReal;
}

// 1. Keep the first token; expressions are read in base 10.
// 2. Give the token the code of the expression form and push it back, so that it is
//    the expression's first token; run the expression parser.
// 3. On success the token that ended the expression is pushed back, "endexpr" is
//    requested and the rest of the right-hand side becomes "endexpr": the command
//    parser goes on with the ending token. On failure it is a syntax error here.
// The number base is put back in every case.
void HandOver(HandOverForm form) {
  if (g_expressionParser == nullptr) ZENTOR_INTERNAL_ERROR();
  TokenRecord& token = CurrentToken();
  struct BaseScope {
    uint32_t saved = GetNumberBase();
    BaseScope() { (void)SetNumberBase(10); }
    ~BaseScope() { (void)SetNumberBase(static_cast<uint8_t>(saved)); }
  } base;

  // Only "*" starts a dereference; "/" and "%" share its token code but start none.
  if (form == HandOverForm::kStarPath && token.subcode != grammar_token::kStarSubcode) {
    g_state.needToken = 1;
    SyntaxError();
    return;
  }

  ExpressionSaveToken() = token;
  switch (form) {
    case HandOverForm::kScope: token.code = grammar_token::kColon; break;
    case HandOverForm::kPath: token.code = grammar_token::kPathName; break;
    case HandOverForm::kStarPath: token.code = grammar_token::kPathStar; break;
    case HandOverForm::kAmpersandPath: token.code = grammar_token::kPathAmpersand; break;
    case HandOverForm::kWhole: break;
  }
  CommandScanner::PushBackToken();
  if (g_resetExpressionLexer != nullptr) g_resetExpressionLexer();

  int32_t result = 0;
  {
    struct WordScope {
      WordScope() { CommandScanner::SetCExpressionWord(1); }
      ~WordScope() { CommandScanner::SetCExpressionWord(0); }
    } word;
    result = g_expressionParser();
  }
  // The symbol paths turn the name switches off again, so the words after the path
  // are keywords again (NameAlways was on while the path was read).
  if (form != HandOverForm::kWhole) CommandScanner::NameSwitchesOff();

  if (result == 0 && ExprParseFailed == 0) {
    const TokenRecord& lookAhead = CommandScanner::PushBackRecord();
    if (GivesBackToken(form, lookAhead.code)) token = lookAhead;
    CommandScanner::PushBackToken();
    token = ExpressionSaveToken();
    CommandScanner::RequestEndExpression();
    CommandParserLL::ReplaceRestWithEndExpression();
    return;
  }
  g_state.needToken = 1;
  SyntaxError();
}

}  // namespace

void HandOverScopeDesignator() { HandOver(HandOverForm::kScope); }
void HandOverSymbolPath() { HandOver(HandOverForm::kPath); }
void HandOverDereferencedPath() { HandOver(HandOverForm::kStarPath); }
void HandOverExpression() { HandOver(HandOverForm::kWhole); }
void HandOverAddressOfPath() { HandOver(HandOverForm::kAmpersandPath); }

}  // namespace zentor
