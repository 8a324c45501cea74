#pragma once
// Scaffolding of the symbol-query tests: the query program (harness/session/
// query_program.h) loaded through the load driver over its byte image, stopped in
// main's inner block, and small helpers that run name paths through the real lookup
// routines and say what the lookup entry then holds.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codeview/cv_fixture.h"
#include "core/value_test_support.h"
#include "cv_load_test_support.h"
#include "symbols/address_lookup.h"
#include "symbols/interpreter_services.h"
#include "symbols/symbol_lookup.h"
#include "symbols/symbol_values.h"
#include "symbols/type_lookup.h"

#include "console/output_writer.h"

#include "core/program_counter.h"
#include "harness/session/query_program.h"

namespace zentor::testing_support {

// A location as its address text; a register by its number (the target's names are
// not the symbol file's numbering).
inline std::string PlaceText(const AddressDescriptor& address) {
  if (address.IsNull()) return "null";
  if (address.IsRegister()) return "register " + std::to_string(address.Offset());
  return address.Text().data();
}

// Runs one name path through the lookup routines, as compiled expressions do:
// ":NAME" a module, "name" or ".name" a name, "[n]" a subscript, "->name" a
// dereference and member, a leading "*" a final dereference.
inline void RunPath(const std::string& path) {
  size_t at = 0;
  bool dereferenceAtEnd = false;
  if (!path.empty() && path[0] == '*') {
    dereferenceAtEnd = true;
    at = 1;
  }
  const auto word = [&]() {
    const size_t start = at;
    while (at < path.size() && path[at] != '.' && path[at] != '[' && path[at] != '-' && path[at] != ':') ++at;
    return RWCString(path.substr(start, at - start).c_str());
  };
  while (at < path.size()) {
    if (path[at] == ':') {
      ++at;
      const RWCString name = word();
      DVErrorCode status;
      if (FindModuleByName(status, name) == nullptr) {
        DVError error(status.Number(), kSeverityError);
        error.SetArg(0, name);
        throw error;
      }
    } else if (path[at] == '.') {
      ++at;
      FindSymbolByName(word());
    } else if (path[at] == '[') {
      const size_t close = path.find(']', at);
      SubscriptSymbol(std::stoi(path.substr(at + 1, close - at - 1)));
      at = close + 1;
    } else if (path.compare(at, 2, "->") == 0) {
      at += 2;
      DereferenceSymbol();
      FindSymbolByName(word());
    } else {
      FindSymbolByName(word());
    }
  }
  if (dereferenceAtEnd) DereferenceSymbol();
}

// Stands in for the command language's interpreter (built with the C expressions):
// a name path evaluated with the real lookup routines and classed as the grammar
// objects class their results; value fetch of locations and pointer locations;
// assignment into the byte image; values printed as numbers.
class PathInterpreter final : public SymbolInterpreter {
 public:
  explicit PathInterpreter(ByteImageTargetMemory& memory) : m_memory(memory) {}

  DVErrorCode EvaluateTextToLocation(const char* text, int32_t, uint32_t& locationClass,
                                     TypedLocation& location) override {
    ++m_evaluations;
    try {
      RunPath(text);
      DVErrorCode status;
      DecodeSymbolRecordLocation(status, 0);
      if (!status.IsOkay()) return status;
      const uint16_t kind = ValueStack::TopKind();
      uint8_t item[ValueStack::kMaxItemSize];
      ValueStack::Pop(item);
      if (kind == kKindInactiveSymbol) {
        locationClass = kLocationClassInactive;
        return DVErrorCode();
      }
      location = kind == kKindPointerLocation ? PointerLocation::ReadImage(item).Location()
                                              : TypedLocation::ReadImage(item);
      const int32_t code = location.Type().Code();
      locationClass = code == kKindOffset ? kLocationClassCode
                                          : (kind == kKindPointerLocation && code == kKindOrd1 ? 0 : kLocationClassTyped);
      return DVErrorCode();
    } catch (const DVError& error) {
      return DVErrorCode(error.Number(), error.Severity());
    }
  }

  void DereferenceTopValue() override {
    uint8_t item[ValueStack::kMaxItemSize];
    const uint16_t kind = ValueStack::TopKind();
    if (kind == kKindPointerLocation) {
      ValueStack::Pop(item);
      const PointerLocation reference = PointerLocation::ReadImage(item);
      ValueStack::PushLocation(reference.Location().IsOffsetType() ? reference.Location() : reference.Dereference());
      return;
    }
    if (kind != kKindTypedLocation) return;
    const TypedLocation location = ValueStack::PopLocation();
    uint8_t value[ValueStack::kMaxItemSize] = {};
    TargetMemory::ReadLocationValue(value, sizeof value, location);
    ValueStack::Push(static_cast<uint16_t>(location.Type().Code()), value);
  }

  void AssignValue() override {
    uint8_t value[ValueStack::kMaxItemSize];
    const uint16_t size = ValueStack::TopSize();
    ValueStack::Pop(value);
    const TypedLocation location = ValueStack::PopLocation();
    m_memory.Poke(location.AddressRef().Offset(), value, std::min<uint32_t>(size, location.ElementSize().Low()));
  }

  void DisplayTopValue(uint32_t) override {
    const uint16_t kind = ValueStack::TopKind();
    if (kind == kKindChar) {
      uint8_t value[ValueStack::kMaxItemSize];
      ValueStack::Pop(value);
      OutputWriter::Printf("'%c'", static_cast<char>(value[0]));
      return;
    }
    if (kind >= kKindOrd1 && kind <= kKindInt4) {
      uint8_t value[ValueStack::kMaxItemSize];
      ValueStack::PopAs(kKindInt4, value);
      OutputWriter::Printf("%d", static_cast<int>(value_bytes::LoadU32(value)));
      return;
    }
    ValueStack::Drop();
    OutputWriter::Printf("<kind %d>", static_cast<int>(kind));
  }

  uint32_t m_evaluations = 0;

 private:
  ByteImageTargetMemory& m_memory;
};

class SymbolQueryTest : public CvLoadTest {
 public:
  void SetUp() override {
    CvLoadTest::SetUp();
    ValueStack::Create();
    ValueStack::Reset();
    TargetMemory::InstallService(&m_memory);
    InstallSymbolInterpreter(&m_interpreter);
    MapQueryTarget(m_memory);
    QueryRegisters::ProgramCounter() = kQueryStop;
    ProgramCounterRegister::InstallReader(&QueryRegisters::ReadProgramCounter);
    FramePointerRegister::InstallReader(&QueryRegisters::ReadFramePointer);
    const cvfixture::CvProgram program = MakeQueryProgram(m_types);
    const CvLoadOutcome outcome = Load(WriteFile("query.exe", cvfixture::WriteCodeView(program, cvfixture::CvVariant::NB09)),
                                       kQueryCode, kQueryData);
    ASSERT_EQ(outcome.m_raised, 0u);
    ASSERT_EQ(outcome.m_reported, 0u);
    StopAt(kQueryStop);
    TakeOutput();
  }

  void TearDown() override {
    ResetSymbolStackDepth();
    ValueStack::Reset();
    ProgramCounterRegister::InstallReader(nullptr);
    FramePointerRegister::InstallReader(nullptr);
    TargetMemory::InstallService(nullptr);
    InstallSymbolInterpreter(nullptr);
    CvLoadTest::TearDown();
  }

  // The program stops at `pc` (frame pointer unchanged).
  static void StopAt(uint32_t pc) {
    QueryRegisters::ProgramCounter() = pc;
    GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(pc));
  }

  static std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
  }

  // What the lookup entry holds: a procedure, a symbol (made current) or a module.
  static std::string EntryText() {
    SymbolEntry& entry = CurrentEntry();
    if (entry.LookupMode() == kLookupProcedure) {
      return "procedure " + std::string(entry.m_scope.m_name.NameText().data()) + " at " +
             AddressText(entry.m_scope.m_start) + " length " + Hex(entry.m_scope.m_length.Low());
    }
    if (entry.LookupMode() == kLookupSymbol) {
      if (entry.m_symbolSet == 0) SetCurrentSymbolRecord(entry.m_currentRecord);
      const SymbolBlock& symbol = entry.m_symbol;
      const TypeEntryView type = GetTypeEntry(symbol.m_typeIndex);
      std::string text = "symbol " + std::string(symbol.m_name.NameText().data()) + " at " +
                         PlaceText(symbol.m_location.m_address) + " " + FindTypeCategory(type.Category())->m_name;
      if (type.Category() == kTypePrimitive || type.Category() == kTypeBitField) {
        text += " code " + std::to_string(type.PrimitiveCode());
      }
      if (symbol.m_bitPosition != 0) text += " bit " + std::to_string(symbol.m_bitPosition);
      if (symbol.m_active == 0) text += " inactive";
      return text;
    }
    if (ModuleDescriptor* module = entry.Target()) return "module " + std::string(module->NameText().data());
    return "nothing";
  }

  // A path looked up in a bracket and described; a raised error as its number and
  // text.
  static std::string LookUp(const std::string& path) {
    try {
      BracketedLookupScope bracket;
      RunPath(path);
      return EntryText();
    } catch (const DVError& error) {
      return "error " + std::to_string(error.Number()) + " " + std::string(error.Text().data());
    }
  }

  ByteImageTargetMemory m_memory;
  PathInterpreter m_interpreter{m_memory};
  QueryTypes m_types;
};

inline std::string OrdinalHex(const OrdinalValue& value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%x", value.Low());
  return text;
}

// "module|procedure|variable|label +offset line+offset [code]", or the status.
inline std::string AddressAnswerText(const DVErrorCode& status, const AddressNames& names, const OrdinalValue& offset,
                                     const OrdinalValue& lineOffset, uint32_t code) {
  if (!status.IsOkay()) return "status " + std::to_string(status.Number());
  return std::string(names.m_module.data()) + "|" + names.m_procedure.data() + "|" + names.m_variable.data() + "|" +
         names.m_label.data() + " +" + OrdinalHex(offset) + " line+" + OrdinalHex(lineOffset) + (code != 0 ? " code" : "");
}

// The nearest symbol at an address as text (FindSymbolAtAddress), with the lookup entry
// it leaves when asked for.
inline std::string AtAddress(uint32_t address, std::string* entry = nullptr) {
  BracketedLookupScope bracket;
  const AddressAnswer answer = SymbolAtAddress(MemoryAt(address));
  if (entry != nullptr) *entry = SymbolQueryTest::EntryText();
  return AddressAnswerText(answer.m_status, answer.m_names, answer.m_offset, answer.m_procedureInfo, answer.m_isCode);
}

// The procedure at an address as text (FindProcedureAtAddress).
inline std::string ProcedureAt(uint32_t address) {
  BracketedLookupScope bracket;
  AddressNames names;
  OrdinalValue offset;
  OrdinalValue lineOffset;
  DVErrorCode status;
  FindProcedureAtAddress(status, MemoryAt(address), names, offset, lineOffset);
  return AddressAnswerText(status, names, offset, lineOffset, 1);
}

}  // namespace zentor::testing_support
