#include "postfix_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "command/postfix_executor.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/value_stack.h"
#include "platform/user_break.h"

namespace zentor::testing_support {
namespace {

// Routines take no arguments, so each recorded word gets a routine of its own: a
// pool of functions indexed at compile time, bound to words at run time.
constexpr int kRecorderCount = 48;
std::string g_recorderWords[kRecorderCount];
int g_recordersUsed = 0;
std::map<std::string, RoutineId> g_recorderIds;

template <int N>
void Recorder() {
  Trace().push_back(g_recorderWords[N]);
}

template <int... N>
constexpr auto MakeRecorders(std::integer_sequence<int, N...>) {
  return std::array<ActionRoutine, sizeof...(N)>{&Recorder<N>...};
}
const auto kRecorders = MakeRecorders(std::make_integer_sequence<int, kRecorderCount>{});

void PushScriptedCondition() {
  bool value = false;
  if (!ConditionScript().empty()) {
    value = ConditionScript().front();
    ConditionScript().pop_front();
  }
  Trace().push_back(value ? "T" : "F");
  const uint8_t byte = value ? 1 : 0;
  ValueStack::Push(kKindBool1, &byte);
}

}  // namespace

std::vector<std::string>& Trace() {
  static std::vector<std::string> trace;
  return trace;
}

std::string TraceText() {
  std::string text;
  for (const std::string& word : Trace()) {
    if (!text.empty()) text += ' ';
    text += word;
  }
  return text;
}

std::deque<bool>& ConditionScript() {
  static std::deque<bool> script;
  return script;
}

void ResetExecution() {
  Trace().clear();
  ConditionScript().clear();
  platform::TakeUserBreak();
  ValueStack::Create();
  ValueStack::Reset();
  InitPostfixExecutor();
  ResetPostfixExecutor();
}

RoutineId RecordRoutine(const std::string& word) {
  auto it = g_recorderIds.find(word);
  if (it != g_recorderIds.end()) return it->second;
  if (g_recordersUsed >= kRecorderCount) ZENTOR_INTERNAL_ERROR();
  const int index = g_recordersUsed++;
  g_recorderWords[index] = word;
  const RoutineId id = RoutineRegistry::Register(kRecorders[index], ("rec:" + word).c_str());
  g_recorderIds[word] = id;
  return id;
}

RoutineId ConditionRoutine() { return RoutineRegistry::Register(&PushScriptedCondition, "cond"); }

RoutineId LambdaRoutine(const std::string& name, void (*body)()) {
  return RoutineRegistry::Register(body, name.c_str());
}

CodeBuilder::CodeBuilder() { CreateMemoryFile(-1, 1, &m_code); }

CodeBuilder::~CodeBuilder() {
  if (m_code != kNullMemoryFile) DestroyMemoryFile(m_code);
}

CodeBuilder& CodeBuilder::Op(uint8_t opcode, uint32_t operand) {
  WritePostfixInstruction(MemoryFileOf(m_code), opcode, operand);
  return *this;
}

CodeBuilder& CodeBuilder::Call(RoutineId id) { return Op(kPostfixCall, id); }

CodeBuilder& CodeBuilder::String(const std::string& text, uint16_t tag) {
  Op(kPostfixString, PostfixStringOperand(static_cast<uint16_t>(text.size()), tag));
  MemoryFileOf(m_code).Write(1, static_cast<uint32_t>(text.size()), text.data());
  return *this;
}

CodeBuilder& CodeBuilder::Embedded(const std::vector<uint8_t>& bytes) {
  Op(kPostfixEmbeddedBlock, static_cast<uint32_t>(bytes.size()));
  MemoryFileOf(m_code).Write(1, static_cast<uint32_t>(bytes.size()), bytes.data());
  return *this;
}

CodeBuilder& CodeBuilder::JumpTo(uint8_t opcode, const std::string& label) {
  m_jumps.emplace_back(Position(), label);
  return Op(opcode, 0);
}

CodeBuilder& CodeBuilder::Label(const std::string& label) {
  m_labels[label] = Position();
  return *this;
}

uint32_t CodeBuilder::Position() const { return MemoryFileOf(m_code).Position(); }

MemoryFileHandle CodeBuilder::Finish() {
  MemoryFile& file = MemoryFileOf(m_code);
  const uint32_t end = file.Position();
  for (const auto& [at, label] : m_jumps) {
    auto it = m_labels.find(label);
    if (it == m_labels.end()) ZENTOR_INTERNAL_ERROR();
    uint8_t opcode = 0;
    file.Seek(at);
    file.Read(1, 1, &opcode);
    file.Seek(at);
    WritePostfixInstruction(file, opcode, PostfixJumpOperand(static_cast<int32_t>(it->second - at)));
  }
  file.Seek(end);
  const MemoryFileHandle code = m_code;
  m_code = kNullMemoryFile;
  return code;
}

std::vector<std::string> DumpCode(MemoryFileHandle code) {
  std::vector<std::string> lines;
  MemoryFile& file = MemoryFileOf(code);
  const uint32_t saved = file.Position();
  file.Seek(0);
  PostfixInstruction instruction;
  while (ReadPostfixInstruction(file, &instruction).IsOkay()) {
    std::string line = PostfixOpcodeName(instruction.opcode);
    if (instruction.opcode == kPostfixCall) {
      line += std::string(" ") + RoutineRegistry::Name(instruction.operand);
    } else if (instruction.opcode == kPostfixString) {
      std::string text(PostfixStringLength(instruction.operand), '\0');
      file.Read(1, static_cast<uint32_t>(text.size()), text.data());
      line += " '" + text + "'";
    } else if (instruction.opcode == kPostfixEmbeddedBlock) {
      line += " " + std::to_string(instruction.operand);
      file.Seek(file.Position() + instruction.operand);
    } else if (instruction.opcode >= kPostfixJump && instruction.opcode <= kPostfixLoopStep) {
      line += " " + std::to_string(PostfixJumpOffset(instruction.operand));
    }
    lines.push_back(line);
  }
  file.Seek(saved);
  return lines;
}

namespace {

std::string Printable(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t ch = bytes[i];
    if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
      text += static_cast<char>(ch);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", ch);
      text += escaped;
    }
  }
  return text;
}

}  // namespace

std::string CodeListing(MemoryFileHandle handle) {
  MemoryFile& code = MemoryFileOf(handle);
  const uint32_t saved = code.Position();
  std::ostringstream out;
  uint32_t position = 0;
  while (position < code.Size()) {
    EXPECT_TRUE(code.Seek(position).IsOkay());
    PostfixInstruction instruction;
    if (!ReadPostfixInstruction(code, &instruction).IsOkay()) {
      out << "    <truncated instruction>\n";
      break;
    }
    char head[16];
    std::snprintf(head, sizeof head, "%5u ", position);
    out << head << PostfixOpcodeName(instruction.opcode);
    const uint32_t data = PostfixDataLength(instruction);
    switch (instruction.opcode) {
      case kPostfixCall: out << " " << RoutineRegistry::Name(instruction.operand); break;
      case kPostfixString:
      case kPostfixEmbeddedBlock: {
        std::vector<uint8_t> bytes(data);
        if (data > 0 && !code.Read(1, data, bytes.data()).IsOkay()) {
          out << " <truncated data>\n";
          return out.str();
        }
        if (instruction.opcode == kPostfixString) out << " tag " << PostfixStringTag(instruction.operand);
        out << " \"" << Printable(bytes.data(), bytes.size()) << "\"";
        break;
      }
      case kPostfixJump:
      case kPostfixJumpIfTrue:
      case kPostfixJumpIfFalse:
      case kPostfixLoopStep:
        out << " -> " << static_cast<int64_t>(position) + PostfixJumpOffset(instruction.operand);
        break;
      case kPostfixNestIn:
      case kPostfixNestOut:
      case kPostfixNoOp:
      case kPostfixBlockStart:
      case kPostfixBlockEnd:
        if (instruction.operand != 0) out << " " << instruction.operand;
        break;
      default: out << " " << instruction.operand; break;
    }
    out << "\n";
    position += kPostfixInstructionSize + data;
  }
  (void)code.Seek(saved);
  return out.str();
}

}  // namespace zentor::testing_support
