#pragma once
// Scaffolding of the symbol-query tests: one program written by the CodeView fixture
// writer and loaded through the load driver (two modules with procedures, parameters,
// locals on the frame and in registers, nested blocks, labels, statics and globals of
// every kind of type), a target made of a byte image and a register set that holds
// the program's data and one stopped frame, and small helpers that run name paths
// through the real lookup routines and say what the lookup entry then holds.

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

namespace zentor::testing_support {

// Where the program lives on the target.
inline constexpr uint32_t kQueryCode = 0x00400000;
inline constexpr uint32_t kQueryData = 0x00800000;
inline constexpr uint32_t kQueryFrame = 0x00007000;
// The stop: inside main's inner block.
inline constexpr uint32_t kQueryStop = kQueryCode + 0x16;
// CodeView register numbers of EBX and ESI.
inline constexpr uint16_t kCvEbx = 20;
inline constexpr uint16_t kCvEsi = 23;
// The same registers as the target numbers them (its x86 encoding).
inline constexpr uint16_t kTargetEbx = 19;
inline constexpr uint16_t kTargetEsi = 22;

// Type indices of the query program, filled while it is built.
struct QueryTypes {
  uint16_t m_point = 0;
  uint16_t m_pointPtr = 0;
  uint16_t m_constCharPtr = 0;
  uint16_t m_charPtr = 0;
  uint16_t m_intArray = 0;
  uint16_t m_charArray = 0;
  uint16_t m_matrix = 0;
  uint16_t m_value = 0;
  uint16_t m_colour = 0;
  uint16_t m_intFunction = 0;
  uint16_t m_handlerArrayPtr = 0;
  uint16_t m_selfPointer = 0;
};

// The program:
//   module MAIN (main.c, code 0x00-0x7f): static total and counter; main(origin,
//   label) with locals total, p (EBX), shade, labels retry, ?skip and done, an outer
//   block (k) holding an inner block (tmp in ESI); helper with static calls and v.
//   module UTIL (util.c, code 0x80-0xbf): global _table; util_init with c and where.
//   Both modules have code of line 7 of common.h.
//   globals: g_count, names, matrix, handlers, pHandlers, origin_pt, u, msg, nullp,
//   self, pp and the references to main, util_init, counter and _table.
inline cvfixture::CvProgram MakeQueryProgram(QueryTypes& t) {
  using namespace cvfixture;
  CvProgram program;
  const uint16_t flagsField = AddType(program, CvBitFieldType{.m_length = 3, .m_position = 2, .m_base = 0x0075});
  t.m_point = AddStructure(program, "point", 16,
                           {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "x"},
                            CvMember{.m_type = 0x0074, .m_offset = 4, .m_name = "y"},
                            CvMember{.m_type = flagsField, .m_offset = 8, .m_name = "flags"},
                            CvMember{.m_type = 0x0070, .m_offset = 15, .m_name = "tag"}});
  t.m_pointPtr = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = t.m_point});
  const uint16_t constChar = AddType(program, CvModifierType{.m_attribute = kModifierConst, .m_modified = 0x0070});
  t.m_constCharPtr = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = constChar});
  t.m_charPtr = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = 0x0070});
  t.m_intArray = AddType(program, CvArrayType{.m_element = 0x0074, .m_index = 0x0075, .m_size = 40});
  t.m_charArray = AddType(program, CvArrayType{.m_element = 0x0070, .m_index = 0x0075, .m_size = 12});
  const uint16_t row = AddType(program, CvArrayType{.m_element = 0x0040, .m_index = 0x0075, .m_size = 16});
  t.m_matrix = AddType(program, CvArrayType{.m_element = row, .m_index = 0x0075, .m_size = 48});
  t.m_colour = AddEnum(program, "colour", 0x0074,
                       {CvEnumerate{.m_value = 0, .m_name = "RED"}, CvEnumerate{.m_value = 1, .m_name = "GREEN"}});
  t.m_value = AddUnion(program, "value", 4,
                       {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "i"},
                        CvMember{.m_type = 0x0040, .m_offset = 0, .m_name = "f"},
                        CvMember{.m_type = 0x0070, .m_offset = 0, .m_name = "c"}});
  t.m_intFunction = AddProcedureType(program, 0x0074, {});
  const uint16_t handlerPtr = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = t.m_intFunction});
  const uint16_t handlerArray = AddType(program, CvArrayType{.m_element = handlerPtr, .m_index = 0x0075, .m_size = 20});
  t.m_handlerArrayPtr = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = handlerArray});
  // A pointer that points at itself: written on purpose, as a damaged file might.
  t.m_selfPointer = static_cast<uint16_t>(kFirstTypeIndex + program.m_types.size());
  AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = t.m_selfPointer});
  const uint16_t mainType = AddProcedureType(program, 0x0074, {t.m_pointPtr, t.m_constCharPtr});
  const uint16_t voidProc = AddProcedureType(program, 0x0003, {});

  CvModule mainModule;
  mainModule.m_name = "main.c";
  mainModule.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x00, .m_size = 0x80}};
  mainModule.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "total", .m_type = 0x0074, .m_offset = 0x18});
  mainModule.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "counter", .m_type = 0x0074, .m_offset = 0x10});
  CvProcedure mainProcedure{.m_name = "main", .m_offset = 0x00, .m_length = 0x40, .m_type = mainType};
  mainProcedure.m_parameters = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "origin", .m_type = t.m_pointPtr, .m_frameOffset = 8},
      CvVariable{
          .m_storage = CvStorage::FrameRelative, .m_name = "label", .m_type = t.m_constCharPtr, .m_frameOffset = 12}};
  mainProcedure.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "total", .m_type = 0x0074, .m_frameOffset = -4},
      CvVariable{.m_storage = CvStorage::Register, .m_name = "p", .m_type = t.m_pointPtr, .m_register = kCvEbx},
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "shade", .m_type = t.m_colour, .m_frameOffset = -8}};
  mainProcedure.m_labels = {CvLabel{.m_name = "retry", .m_offset = 0x20}, CvLabel{.m_name = "?skip", .m_offset = 0x30},
                            CvLabel{.m_name = "done", .m_offset = 0x30}};
  CvBlock inner{.m_offset = 0x14,
                .m_length = 0x08,
                .m_locals = {CvVariable{
                    .m_storage = CvStorage::Register, .m_name = "tmp", .m_type = 0x0070, .m_register = kCvEsi}}};
  CvBlock outer{.m_offset = 0x10,
                .m_length = 0x18,
                .m_locals = {CvVariable{
                    .m_storage = CvStorage::FrameRelative, .m_name = "k", .m_type = 0x0074, .m_frameOffset = -12}},
                .m_blocks = {inner}};
  mainProcedure.m_blocks = {outer};
  mainModule.m_symbols.push_back(mainProcedure);
  CvProcedure helper{.m_name = "helper", .m_global = false, .m_offset = 0x40, .m_length = 0x30, .m_type = voidProc};
  helper.m_locals = {
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "calls", .m_type = 0x0074, .m_offset = 0x14},
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "v", .m_type = t.m_value, .m_frameOffset = -4}};
  mainModule.m_symbols.push_back(helper);
  mainModule.m_sourceFiles = {
      CvSourceFile{.m_name = "main.c",
                   .m_segments = {CvLineSegment{.m_segment = 1,
                                                .m_lines = {{0x00, 10}, {0x08, 11}, {0x10, 12}, {0x20, 14},
                                                            {0x24, 12}, {0x30, 15}, {0x40, 20}, {0x48, 21}}}}},
      CvSourceFile{.m_name = "common.h", .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x50, 7}}}}}};
  program.m_modules.push_back(mainModule);

  CvModule utilModule;
  utilModule.m_name = "util.c";
  utilModule.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x80, .m_size = 0x40}};
  utilModule.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::GlobalData, .m_name = "_table", .m_type = t.m_intArray, .m_offset = 0x20});
  CvProcedure utilInit{.m_name = "util_init", .m_offset = 0x80, .m_length = 0x40, .m_type = voidProc};
  utilInit.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "c", .m_type = t.m_colour, .m_frameOffset = -4},
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "where", .m_type = t.m_point, .m_frameOffset = -24}};
  utilModule.m_symbols.push_back(utilInit);
  utilModule.m_sourceFiles = {
      CvSourceFile{.m_name = "util.c",
                   .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x80, 3}, {0x90, 4}, {0xB0, 6}}}}},
      CvSourceFile{.m_name = "common.h", .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0xA0, 7}}}}}};
  program.m_modules.push_back(utilModule);

  const auto global = [](const char* name, uint16_t type, uint32_t offset) {
    return CvVariable{.m_storage = CvStorage::GlobalData, .m_name = name, .m_type = type, .m_offset = offset};
  };
  program.m_globals = {global("g_count", 0x0074, 0x00),
                       CvReference{.m_procedure = true, .m_module = 1, .m_name = "main"},
                       CvReference{.m_procedure = true, .m_module = 2, .m_name = "util_init"},
                       CvReference{.m_procedure = false, .m_module = 1, .m_name = "counter"},
                       CvReference{.m_procedure = false, .m_module = 2, .m_name = "_table"},
                       global("names", t.m_charArray, 0x40),
                       global("matrix", t.m_matrix, 0x60),
                       global("handlers", handlerArray, 0x100),
                       global("pHandlers", t.m_handlerArrayPtr, 0x120),
                       global("origin_pt", t.m_point, 0x130),
                       global("u", t.m_value, 0x140),
                       global("msg", t.m_charPtr, 0x150),
                       global("nullp", t.m_charPtr, 0x154),
                       global("self", t.m_selfPointer, 0x158),
                       global("pp", t.m_pointPtr, 0x15C)};
  return program;
}

// The image of the program's data and stack at the stop.
inline void MapQueryTarget(ByteImageTargetMemory& memory) {
  std::vector<uint8_t> data(0x200, 0);
  const auto put32 = [&data](uint32_t offset, uint32_t value) {
    for (uint32_t i = 0; i < 4; ++i) data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put32(0x00, 5);                                  // g_count
  put32(0x10, 3);                                  // counter
  put32(0x14, 9);                                  // calls
  put32(0x18, 77);                                 // module total
  for (uint32_t i = 0; i < 10; ++i) put32(0x20 + 4 * i, 100 + i);  // _table
  const char hello[] = "hello";
  for (uint32_t i = 0; i < sizeof hello; ++i) data[0x40 + i] = static_cast<uint8_t>(hello[i]);
  put32(0x120, kQueryData + 0x100);                // pHandlers -> handlers
  put32(0x130, 11);                                // origin_pt.x
  put32(0x134, 22);                                // origin_pt.y
  data[0x138] = 0x14;                              // flags (bits 2-4) = 5
  data[0x13F] = 'T';                               // origin_pt.tag
  put32(0x140, 0x41424344);                        // u
  put32(0x150, kQueryData + 0x180);                // msg -> "abc"
  put32(0x154, 0);                                 // nullp
  put32(0x15C, kQueryData + 0x130);                // pp -> origin_pt
  data[0x180] = 'a';
  data[0x181] = 'b';
  data[0x182] = 'c';
  memory.Map(kQueryData, data);

  std::vector<uint8_t> stack(0x40, 0);
  const auto stack32 = [&stack](int32_t fromFrame, uint32_t value) {
    const uint32_t at = static_cast<uint32_t>(0x20 + fromFrame);
    for (uint32_t i = 0; i < 4; ++i) stack[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  stack32(8, kQueryData + 0x130);   // origin -> origin_pt
  stack32(12, kQueryData + 0x180);  // label -> "abc"
  stack32(-4, 42);                  // total
  stack32(-8, 1);                   // shade
  stack32(-12, 7);                  // k
  memory.Map(kQueryFrame - 0x20, stack);
  memory.SetRegister(kTargetEbx, kQueryData + 0x130);
  memory.SetRegister(kTargetEsi, 'z');
}

// Program counter and frame pointer of the stopped thread.
struct QueryRegisters {
  static uint32_t& ProgramCounter() {
    static uint32_t pc = kQueryStop;
    return pc;
  }
  static AddressDescriptor ReadProgramCounter() { return MemoryAt(ProgramCounter()); }
  static AddressDescriptor ReadFramePointer() { return MemoryAt(kQueryFrame); }
};

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
