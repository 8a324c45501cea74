#pragma once
// The query program: one program written by the CodeView fixture writer (two modules
// with procedures, parameters, locals on the frame and in registers, nested blocks,
// labels, statics and globals of every kind of type), the byte image of its data and
// of one stopped frame, and the registers of the stopped thread. The symbol-query and
// C expression tests query it; the C expression fuzz driver evaluates over it.

#include <cstdint>
#include <vector>

#include "codeview/cv_fixture.h"
#include "core/address_descriptor.h"
#include "core/dvp_types.h"
#include "harness/byte_image_target_memory.h"

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
  static AddressDescriptor ReadProgramCounter() { return InMemory(ProgramCounter()); }
  static AddressDescriptor ReadFramePointer() { return InMemory(kQueryFrame); }
  // "$" assigned: the stopped thread goes on at the address's offset.
  static void WriteProgramCounter(const AddressDescriptor& address) { ProgramCounter() = address.Offset(); }

 private:
  static AddressDescriptor InMemory(uint32_t offset) {
    return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
  }
};

}  // namespace zentor::testing_support
