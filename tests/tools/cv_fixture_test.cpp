#include "codeview/cv_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zentor::cvfixture {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Hand-written expectations --------------------------------------------------------

Bytes FromHex(std::string_view text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits");
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(const Bytes& bytes, std::size_t from, std::size_t to) {
  std::ostringstream out;
  for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
    static const char kDigits[] = "0123456789ABCDEF";
    out << kDigits[bytes[i] >> 4] << kDigits[bytes[i] & 15] << (i + 1 < to ? " " : "");
  }
  return out.str();
}

// Compares byte for byte and names the first difference with its neighbourhood.
void ExpectSameBytes(const Bytes& expected, const Bytes& actual) {
  std::size_t common = std::min(expected.size(), actual.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (expected[i] != actual[i]) {
      std::size_t from = i >= 8 ? i - 8 : 0;
      ADD_FAILURE() << "first difference at byte 0x" << std::hex << i
                    << "\nexpected: " << ToHex(expected, from, i + 8)
                    << "\nactual:   " << ToHex(actual, from, i + 8);
      return;
    }
  }
  EXPECT_EQ(expected.size(), actual.size()) << "sizes differ; the common part is equal";
}

// A module "hello.c" whose code lies at 0x10..0x30: the global procedure main (type
// 0x1001) with one frame local i (int, at -4), two lines, an S_PROCREF to main, and the
// types 0x1000 (an empty argument list) and 0x1001 (int procedure of it).
CvProgram TinyProgram() {
  CvProgram program;
  const std::uint16_t procedureType = AddProcedureType(program, 0x0074, {});
  CvModule module;
  module.m_name = "hello.c";
  module.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x10, .m_size = 0x20}};
  CvProcedure main{.m_name = "main",
                   .m_offset = 0x10,
                   .m_length = 0x20,
                   .m_debugStart = 3,
                   .m_debugEnd = 0x1E,
                   .m_type = procedureType};
  main.m_locals = {CvVariable{
      .m_storage = CvStorage::FrameRelative, .m_name = "i", .m_type = 0x0074, .m_frameOffset = -4}};
  module.m_symbols = {main};
  module.m_sourceFiles = {CvSourceFile{
      .m_name = "hello.c", .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x10, 3}, {0x18, 4}}}}}};
  program.m_modules = {module};
  program.m_globals = {CvReference{.m_procedure = true, .m_module = 1, .m_name = "main"}};
  return program;
}

// The tiny program's debug information, worked out by hand from the format. Offsets in
// the comments are from the base.
std::string TinyHex(const std::string& signature) {
  return signature +
         " E4 00 00 00"  // 000 header: signature, directory at 0xE4
         // 008 sstModule (0x1C bytes)
         " 00 00 00 00 01 00 43 56"              //   overlay 0, library 0, 1 segment, style "CV"
         " 01 00 00 00 10 00 00 00 20 00 00 00"  //   segment 1, pad, offset 0x10, size 0x20
         " 07 68 65 6C 6C 6F 2E 63"              //   "hello.c"
         // 024 sstAlignSym (0x3E bytes)
         " 01 00 00 00"                          //   signature 1
         " 28 00 05 02"                          //   +04 S_GPROC32, length 0x28
         " 00 00 00 00 3A 00 00 00 00 00 00 00"  //   parent 0, end +3A, next 0
         " 20 00 00 00 03 00 00 00 1E 00 00 00"  //   length 0x20, debug start 3, debug end 0x1E
         " 10 00 00 00 01 00 01 10 00"           //   offset 0x10, segment 1, type 0x1001, flags 0
         " 04 6D 61 69 6E"                       //   "main"
         " 0A 00 00 02 FC FF FF FF 74 00 01 69"  //   +2E S_BPREL32 length 10: -4, int, "i"
         " 02 00 06 00"                          //   +3A S_END
         " 00 00"                                // 062 padding
         // 064 sstSrcModule (0x3C bytes)
         " 01 00 01 00 14 00 00 00"                          //   1 file, 1 segment, file table at +14
         " 10 00 00 00 18 00 00 00 01 00 00 00"              //   segment range 0x10..0x18, segment 1, pad
         " 01 00 00 00 2C 00 00 00"                          //   +14 file: 1 segment, pad, line table at +2C
         " 10 00 00 00 18 00 00 00"                          //   range
         " 07 68 65 6C 6C 6F 2E 63"                          //   "hello.c"
         " 01 00 02 00 10 00 00 00 18 00 00 00 03 00 04 00"  //   +2C segment 1, 2 lines: 0x10 3, 0x18 4
         // 0A0 sstGlobalSym (0x1E bytes)
         " 00 00 00 00 0E 00 00 00 00 00 00 00 00 00 00 00"  //   no hashes, 14 bytes of records
         " 0C 00 00 04 00 00 00 00 04 00 00 00 01 00"  //   S_PROCREF: checksum 0, main at +04 of module 1
         " 00 00"                                      // 0BE padding
         // 0C0 sstGlobalTypes (0x24 bytes)
         " 01 00 00 00 02 00 00 00 00 00 00 00 08 00 00 00"  //   signature, 2 types at 0 and 8
         " 06 00 01 02 00 00 F2 F1"                          //   0x1000 LF_ARGLIST, no arguments, padding
         " 0A 00 08 00 74 00 00 00 00 00 00 10"  //   0x1001 LF_PROCEDURE: int, conv 0, 0 args, 0x1000
         // 0E4 directory: header size 16, entry size 12, 5 entries
         " 10 00 0C 00 05 00 00 00 00 00 00 00 00 00 00 00"
         " 20 01 01 00 08 00 00 00 1C 00 00 00"
         " 25 01 01 00 24 00 00 00 3E 00 00 00"
         " 27 01 01 00 64 00 00 00 3C 00 00 00"
         " 29 01 FF FF A0 00 00 00 1E 00 00 00"
         " 2B 01 FF FF C0 00 00 00 24 00 00 00 " +
         signature + " 38 01 00 00";  // 130 trailer: signature, distance 0x138
}

TEST(CvFixtureHex, TinyModuleMatchesHandWrittenBytes) {
  struct Case {
    const char* m_name;
    CvVariant m_variant;
    std::string m_signatureHex;
    Bytes m_leading;
  };
  const std::vector<Case> cases = {
      {"NB09, debug information at the start of the file", CvVariant::NB09, "4E 42 30 39", {}},
      // Five bytes of image before the debug information: every offset stays relative
      // to the base and the trailer's distance does not count them.
      {"NB05 after five leading bytes", CvVariant::NB05, "4E 42 30 35", {0x4D, 0x5A, 0x00, 0x01, 0xCC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    CvProgram program = TinyProgram();
    program.m_leadingBytes = c.m_leading;
    Bytes expected = c.m_leading;
    Bytes debug = FromHex(TinyHex(c.m_signatureHex));
    ASSERT_EQ(debug.size(), 0x138u);
    expected.insert(expected.end(), debug.begin(), debug.end());
    ExpectSameBytes(expected, WriteCodeView(program, c.m_variant));
  }
}

// A structure, an enumeration with values that need numeric leaves, a bit field and a
// pointer: field lists padded so that each field starts on a 4-byte boundary.
TEST(CvFixtureHex, TypeTableMatchesHandWrittenBytes) {
  CvProgram program;
  program.m_writeGlobalSymbols = false;
  const std::uint16_t structure = AddStructure(program, "S", 8,
                                               {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "a"},
                                                CvMember{.m_type = 0x0070, .m_offset = 4, .m_name = "bb"}});
  ASSERT_EQ(structure, 0x1001);
  ASSERT_EQ(
      AddEnum(program, "E", 0x0074,
              {CvEnumerate{.m_value = 0x9000, .m_name = "BIG"}, CvEnumerate{.m_value = -1, .m_name = "NEG"}}),
      0x1003);
  ASSERT_EQ(AddType(program, CvBitFieldType{.m_length = 3, .m_position = 5, .m_base = 0x0075}), 0x1004);
  ASSERT_EQ(AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = structure}), 0x1005);

  const Bytes expected = FromHex(
      "4E 42 30 39 94 00 00 00"  // header, directory at 0x94
      // 008 sstGlobalTypes (0x8C bytes)
      " 01 00 00 00 06 00 00 00"  // signature, 6 types
      " 00 00 00 00 1C 00 00 00 30 00 00 00 4C 00 00 00 5C 00 00 00 64 00 00 00"
      // 0x1000 LF_FIELDLIST: member a (int, public, 0), pad, member bb (char, public, 4), pad
      " 1A 00 04 02 06 04 74 00 03 00 00 00 01 61 F2 F1 06 04 70 00 03 00 04 00 02 62 62 F1"
      // 0x1001 LF_STRUCTURE: 2 members, list 0x1000, no property/derived/vshape, 8 bytes, "S"
      " 12 00 05 00 02 00 00 10 00 00 00 00 00 00 08 00 01 53 F2 F1"
      // 0x1002 LF_FIELDLIST: BIG = LF_USHORT 0x9000; NEG = LF_CHAR 0xFF, pad
      " 1A 00 04 02 03 04 03 00 02 80 00 90 03 42 49 47 03 04 03 00 00 80 FF 03 4E 45 47 F1"
      // 0x1003 LF_ENUM: 2 values, int, list 0x1002, no property, "E"
      " 0E 00 07 00 02 00 74 00 02 10 00 00 01 45 F2 F1"
      " 06 00 06 02 03 05 75 00"  // 0x1004 LF_BITFIELD: 3 bits at 5 of unsigned int
      " 06 00 02 00 0A 00 01 10"  // 0x1005 LF_POINTER: near 32-bit to 0x1001
      // 094 directory
      " 10 00 0C 00 01 00 00 00 00 00 00 00 00 00 00 00"
      " 2B 01 FF FF 08 00 00 00 8C 00 00 00"
      " 4E 42 30 39 B8 00 00 00");  // 0B0 trailer, distance 0xB8
  ExpectSameBytes(expected, WriteCodeView(program, CvVariant::NB09));
}

// Numeric leaves choose the narrowest form; the value is checked in an unpadded enumerate
// so the record holds exactly the leaf.
TEST(CvFixtureHex, NumericLeavesUseTheNarrowestForm) {
  struct Case {
    std::int64_t m_value;
    const char* m_hex;
  };
  const std::vector<Case> cases = {
      {0, "00 00"},
      {0x7FFF, "FF 7F"},
      {0x8000, "02 80 00 80"},
      {0xFFFF, "02 80 FF FF"},
      {0x10000, "04 80 00 00 01 00"},
      {0xFFFFFFFFLL, "04 80 FF FF FF FF"},
      {-1, "00 80 FF"},
      {-128, "00 80 80"},
      {-129, "01 80 7F FF"},
      {-32768, "01 80 00 80"},
      {-32769, "03 80 FF 7F FF FF"},
      {-2147483648LL, "03 80 00 00 00 80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_value);
    CvProgram program;
    program.m_writeGlobalSymbols = false;
    program.m_padTypeRecords = false;
    AddType(program, CvFieldListType{{CvEnumerate{.m_value = c.m_value, .m_name = ""}}});
    const Bytes file = WriteCodeView(program, CvVariant::NB09);
    // Header 8 + signature, count and one offset 12, then the record.
    const Bytes numeric = FromHex(c.m_hex);
    const Bytes record(file.begin() + 20, file.begin() + 20 + 2 + 2 + 4 + numeric.size() + 1);
    Bytes expected = {static_cast<std::uint8_t>(record.size() - 2), 0x00, 0x04, 0x02, 0x03, 0x04, 0x03, 0x00};
    expected.insert(expected.end(), numeric.begin(), numeric.end());
    expected.push_back(0x00);  // empty name
    ExpectSameBytes(expected, record);
  }
  for (std::int64_t tooWide : {0x100000000LL, -2147483649LL}) {
    CvProgram program;
    AddType(program, CvFieldListType{{CvEnumerate{.m_value = tooWide, .m_name = "x"}}});
    EXPECT_THROW(WriteCodeView(program, CvVariant::NB09), std::invalid_argument) << tooWide;
  }
}

// ---- An independent reader for the structural checks ------------------------------------

class Reader {
 public:
  explicit Reader(const Bytes& bytes) : m_bytes(bytes) {}
  std::uint32_t U8(std::uint64_t at) const { return m_bytes.at(Need(at, 1)); }
  std::uint32_t U16(std::uint64_t at) const { return U8(at) | U8(at + 1) << 8; }
  std::uint32_t U32(std::uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::string Text(std::uint64_t at, std::uint64_t n) const {
    Need(at, n);
    return std::string(m_bytes.begin() + at, m_bytes.begin() + at + n);
  }
  // A length byte and that many characters.
  std::string Name(std::uint64_t at) const { return Text(at + 1, U8(at)); }

 private:
  std::size_t Need(std::uint64_t at, std::uint64_t n) const {
    if (at + n > m_bytes.size()) throw std::out_of_range("read past the end at " + std::to_string(at));
    return static_cast<std::size_t>(at);
  }
  const Bytes& m_bytes;
};

struct DirectoryEntry {
  std::uint16_t m_type = 0;
  std::uint16_t m_module = 0;
  std::uint32_t m_offset = 0;
  std::uint32_t m_size = 0;
  std::uint32_t m_entryAt = 0;  // file position of the entry
};

struct ParsedFile {
  std::uint32_t m_base = 0;
  std::uint32_t m_directoryAt = 0;  // file position
  std::string m_trailerSignature;
  std::string m_headerSignature;
  std::uint16_t m_entrySize = 0;
  std::vector<DirectoryEntry> m_entries;
  Bytes m_bytes;

  const DirectoryEntry& Entry(std::uint16_t type, std::uint16_t module) const {
    for (const DirectoryEntry& entry : m_entries) {
      if (entry.m_type == type && entry.m_module == module) return entry;
    }
    throw std::out_of_range("no subsection " + std::to_string(type) + " of module " + std::to_string(module));
  }
  std::uint32_t At(const DirectoryEntry& entry) const { return m_base + entry.m_offset; }
  Bytes Contents(const DirectoryEntry& entry) const {
    return Bytes(m_bytes.begin() + At(entry), m_bytes.begin() + At(entry) + entry.m_size);
  }
};

// Reads trailer, header and directory; throws when any of them is not well formed.
ParsedFile Parse(const Bytes& bytes) {
  ParsedFile file;
  file.m_bytes = bytes;
  Reader r(bytes);
  if (bytes.size() < 8) throw std::out_of_range("no trailer");
  const std::uint64_t end = bytes.size();
  file.m_trailerSignature = r.Text(end - 8, 4);
  const std::uint32_t distance = r.U32(end - 4);
  if (distance > end) throw std::out_of_range("trailer distance beyond the file");
  file.m_base = static_cast<std::uint32_t>(end - distance);
  file.m_headerSignature = r.Text(file.m_base, 4);
  file.m_directoryAt = file.m_base + r.U32(file.m_base + 4);
  const std::uint32_t headerSize = r.U16(file.m_directoryAt);
  file.m_entrySize = static_cast<std::uint16_t>(r.U16(file.m_directoryAt + 2));
  const std::uint32_t count = r.U32(file.m_directoryAt + 4);
  if (headerSize != 16 || file.m_entrySize != 12) throw std::out_of_range("unexpected directory header");
  if (file.m_directoryAt + 16 + std::uint64_t{count} * 12 != end - 8) {
    throw std::out_of_range("directory does not end at the trailer");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t at = file.m_directoryAt + 16 + 12 * i;
    DirectoryEntry entry{static_cast<std::uint16_t>(r.U16(at)), static_cast<std::uint16_t>(r.U16(at + 2)),
                         r.U32(at + 4), r.U32(at + 8), at};
    if (std::uint64_t{file.m_base} + entry.m_offset + entry.m_size > file.m_directoryAt) {
      throw std::out_of_range("subsection reaches into the directory");
    }
    file.m_entries.push_back(entry);
  }
  return file;
}

struct SymbolRecord {
  std::uint32_t m_at = 0;  // from the subsection start
  std::uint16_t m_length = 0;
  std::uint16_t m_type = 0;
  Bytes m_body;
};

// Walks the records from `from` to the end of the subsection; each must fit exactly.
std::vector<SymbolRecord> WalkSymbols(const Bytes& subsection, std::uint32_t from) {
  Reader r(subsection);
  std::vector<SymbolRecord> records;
  std::uint32_t at = from;
  while (at < subsection.size()) {
    SymbolRecord record{
        at, static_cast<std::uint16_t>(r.U16(at)), static_cast<std::uint16_t>(r.U16(at + 2)), {}};
    if (record.m_length < 2 || at + 2u + record.m_length > subsection.size()) {
      throw std::out_of_range("record at " + std::to_string(at) + " does not fit");
    }
    record.m_body.assign(subsection.begin() + at + 4, subsection.begin() + at + 2 + record.m_length);
    records.push_back(record);
    at += 2 + record.m_length;
  }
  return records;
}

std::vector<SymbolRecord> ModuleSymbols(const ParsedFile& file, std::uint16_t module) {
  const Bytes contents = file.Contents(file.Entry(kSstAlignSym, module));
  if (Reader(contents).U32(0) != 1) throw std::out_of_range("sstAlignSym signature");
  return WalkSymbols(contents, 4);
}

std::vector<SymbolRecord> GlobalSymbols(const ParsedFile& file) {
  const Bytes contents = file.Contents(file.Entry(kSstGlobalSym, kGlobalModuleIndex));
  Reader r(contents);
  if (r.U32(4) + 16 != contents.size() || r.U32(8) != 0 || r.U32(12) != 0) {
    throw std::out_of_range("sstGlobalSym header");
  }
  return WalkSymbols(contents, 16);
}

std::string Hex(std::uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

// One line per record, in the writer-independent words of the format.
std::vector<std::string> ListSymbols(const std::vector<SymbolRecord>& records) {
  std::vector<std::string> lines;
  for (const SymbolRecord& record : records) {
    Reader r(record.m_body);
    switch (record.m_type) {
      case kSymBpRel32:
        lines.push_back("frame " + r.Name(6) + " " + std::to_string(static_cast<std::int32_t>(r.U32(0))) +
                        " " + Hex(r.U16(4)));
        break;
      case kSymRegister:
        lines.push_back("register " + r.Name(4) + " " + std::to_string(r.U16(2)) + " " + Hex(r.U16(0)));
        break;
      case kSymLData32:
      case kSymGData32:
        lines.push_back(std::string(record.m_type == kSymLData32 ? "ldata " : "gdata ") + r.Name(8) + " " +
                        Hex(r.U32(0)) + " " + Hex(r.U16(6)));
        break;
      case kSymLProc32:
      case kSymGProc32:
        lines.push_back(std::string(record.m_type == kSymLProc32 ? "lproc " : "gproc ") + r.Name(33) + " " +
                        Hex(r.U32(24)) + " " + Hex(r.U32(12)) + " " + Hex(r.U16(30)));
        break;
      case kSymBlock32:
        lines.push_back("block " + r.Name(18) + " " + Hex(r.U32(12)) + " " + Hex(r.U32(8)));
        break;
      case kSymThunk32:
        lines.push_back("thunk " + r.Name(21) + " " + Hex(r.U32(12)) + " " + Hex(r.U16(18)));
        break;
      case kSymLabel32:
        lines.push_back("label " + r.Name(7) + " " + Hex(r.U32(0)));
        break;
      case kSymEnd:
        lines.push_back("end");
        break;
      default:
        lines.push_back("raw " + Hex(record.m_type) + " " + ToHex(record.m_body, 0, record.m_body.size()));
        break;
    }
  }
  return lines;
}

// The same lines from the description, in the order a scope's records are promised.
struct Expected {
  bool m_aligned = false;  // records padded with zeros to 4-byte boundaries
  std::vector<std::string> m_lines{};

  void Variable(const CvVariable& v) {
    switch (v.m_storage) {
      case CvStorage::FrameRelative:
        m_lines.push_back("frame " + v.m_name + " " + std::to_string(v.m_frameOffset) + " " + Hex(v.m_type));
        break;
      case CvStorage::Register:
        m_lines.push_back("register " + v.m_name + " " + std::to_string(v.m_register) + " " + Hex(v.m_type));
        break;
      case CvStorage::LocalData:
      case CvStorage::GlobalData:
        m_lines.push_back(std::string(v.m_storage == CvStorage::LocalData ? "ldata " : "gdata ") + v.m_name +
                          " " + Hex(v.m_offset) + " " + Hex(v.m_type));
        break;
    }
  }
  void Scope(const std::vector<CvVariable>& locals, const std::vector<CvLabel>& labels,
             const std::vector<CvBlock>& blocks) {
    for (const CvVariable& v : locals) Variable(v);
    for (const CvLabel& l : labels) m_lines.push_back("label " + l.m_name + " " + Hex(l.m_offset));
    for (const CvBlock& b : blocks) {
      m_lines.push_back("block " + b.m_name + " " + Hex(b.m_offset) + " " + Hex(b.m_length));
      Scope(b.m_locals, b.m_labels, b.m_blocks);
      m_lines.push_back("end");
    }
  }
  void Symbol(const CvModuleSymbol& symbol) {
    if (const auto* v = std::get_if<CvVariable>(&symbol)) {
      Variable(*v);
    } else if (const auto* p = std::get_if<CvProcedure>(&symbol)) {
      m_lines.push_back(std::string(p->m_global ? "gproc " : "lproc ") + p->m_name + " " + Hex(p->m_offset) +
                        " " + Hex(p->m_length) + " " + Hex(p->m_type));
      for (const CvVariable& parameter : p->m_parameters) Variable(parameter);
      Scope(p->m_locals, p->m_labels, p->m_blocks);
      if (p->m_writeEnd) m_lines.push_back("end");
    } else if (const auto* t = std::get_if<CvThunk>(&symbol)) {
      m_lines.push_back("thunk " + t->m_name + " " + Hex(t->m_offset) + " " + Hex(t->m_length));
      m_lines.push_back("end");
    } else {
      Bytes body = std::get<CvRawSymbol>(symbol).m_body;
      while (m_aligned && body.size() % 4 != 0) body.push_back(0);
      m_lines.push_back("raw " + Hex(std::get<CvRawSymbol>(symbol).m_type) + " " +
                        ToHex(body, 0, body.size()));
    }
  }
};

std::vector<std::string> ExpectedSymbols(const CvModule& module, bool aligned) {
  Expected expected{aligned};
  for (const CvModuleSymbol& symbol : module.m_symbols) expected.Symbol(symbol);
  return expected.m_lines;
}

// Scope records name their parent and their S_END by offsets from the subsection start.
// Returns "" when every scope is closed by the S_END its end field names, or a complaint.
std::string CheckScopes(const std::vector<SymbolRecord>& records) {
  std::vector<const SymbolRecord*> open;
  for (const SymbolRecord& record : records) {
    Reader r(record.m_body);
    if (record.m_type == kSymGProc32 || record.m_type == kSymLProc32 || record.m_type == kSymBlock32 ||
        record.m_type == kSymThunk32) {
      std::uint32_t parent = open.empty() ? 0 : open.back()->m_at;
      if (r.U32(0) != parent) return "wrong parent of the scope at " + std::to_string(record.m_at);
      open.push_back(&record);
    } else if (record.m_type == kSymEnd) {
      if (open.empty()) return "S_END at " + std::to_string(record.m_at) + " closes nothing";
      if (Reader(open.back()->m_body).U32(4) != record.m_at) {
        return "scope at " + std::to_string(open.back()->m_at) + " names the wrong S_END";
      }
      open.pop_back();
    }
  }
  return open.empty() ? "" : "scope at " + std::to_string(open.back()->m_at) + " left open";
}

// The line numbers of a module as the sstSrcModule holds them, every offset checked to
// lie inside the subsection.
std::vector<CvSourceFile> DecodeLines(const Bytes& contents) {
  Reader r(contents);
  auto inside = [&](std::uint32_t offset) {
    if (offset >= contents.size()) throw std::out_of_range("offset beyond the subsection");
    return offset;
  };
  std::vector<CvSourceFile> files;
  const std::uint32_t fileCount = r.U16(0);
  for (std::uint32_t f = 0; f < fileCount; ++f) {
    const std::uint32_t table = inside(r.U32(4 + 4 * f));
    const std::uint32_t segmentCount = r.U16(table);
    CvSourceFile file;
    file.m_name = r.Name(table + 4 + 12 * segmentCount);
    for (std::uint32_t s = 0; s < segmentCount; ++s) {
      const std::uint32_t lines = inside(r.U32(table + 4 + 4 * s));
      CvLineSegment segment{static_cast<std::uint16_t>(r.U16(lines)), {}};
      const std::uint32_t pairs = r.U16(lines + 2);
      if (lines + 4 + 6 * pairs > contents.size())
        throw std::out_of_range("line table beyond the subsection");
      for (std::uint32_t p = 0; p < pairs; ++p) {
        segment.m_lines.push_back(
            {r.U32(lines + 4 + 4 * p), static_cast<std::uint16_t>(r.U16(lines + 4 + 4 * pairs + 2 * p))});
      }
      file.m_segments.push_back(segment);
    }
    files.push_back(file);
  }
  return files;
}

bool SameLines(const std::vector<CvSourceFile>& a, const std::vector<CvSourceFile>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t f = 0; f < a.size(); ++f) {
    if (a[f].m_name != b[f].m_name || a[f].m_segments.size() != b[f].m_segments.size()) return false;
    for (std::size_t s = 0; s < a[f].m_segments.size(); ++s) {
      const CvLineSegment& x = a[f].m_segments[s];
      const CvLineSegment& y = b[f].m_segments[s];
      if (x.m_segment != y.m_segment || x.m_lines.size() != y.m_lines.size()) return false;
      for (std::size_t l = 0; l < x.m_lines.size(); ++l) {
        if (x.m_lines[l].m_offset != y.m_lines[l].m_offset || x.m_lines[l].m_line != y.m_lines[l].m_line)
          return false;
      }
    }
  }
  return true;
}

struct TypeRecord {
  std::uint32_t m_at = 0;  // from the subsection start
  std::uint16_t m_leaf = 0;
  Bytes m_record;  // length word included
};

std::vector<TypeRecord> WalkTypes(const ParsedFile& file) {
  const Bytes contents = file.Contents(file.Entry(kSstGlobalTypes, kGlobalModuleIndex));
  Reader r(contents);
  if (r.U32(0) != 1) throw std::out_of_range("sstGlobalTypes signature");
  const std::uint32_t count = r.U32(4);
  const std::uint32_t first = 8 + 4 * count;
  std::vector<TypeRecord> records;
  std::uint32_t expectedAt = first;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t at = first + r.U32(8 + 4 * i);
    if (at != expectedAt) throw std::out_of_range("type records are not contiguous");
    const std::uint32_t length = r.U16(at);
    records.push_back({at, static_cast<std::uint16_t>(r.U16(at + 2)),
                       Bytes(contents.begin() + at, contents.begin() + at + 2 + length)});
    Reader(contents).Text(at, 2 + length);  // must lie inside
    expectedAt = at + 2 + length;
  }
  if (expectedAt != contents.size()) throw std::out_of_range("bytes after the last type record");
  return records;
}

std::uint16_t LeafOf(const CvType& type) {
  struct Visitor {
    std::uint16_t operator()(const CvModifierType&) const { return kLeafModifier; }
    std::uint16_t operator()(const CvPointerType&) const { return kLeafPointer; }
    std::uint16_t operator()(const CvArrayType&) const { return kLeafArray; }
    std::uint16_t operator()(const CvStructType& t) const {
      return t.m_isClass ? kLeafClass : kLeafStructure;
    }
    std::uint16_t operator()(const CvUnionType&) const { return kLeafUnion; }
    std::uint16_t operator()(const CvEnumType&) const { return kLeafEnum; }
    std::uint16_t operator()(const CvProcedureType&) const { return kLeafProcedure; }
    std::uint16_t operator()(const CvMemberFunctionType&) const { return kLeafMemberFunction; }
    std::uint16_t operator()(const CvLabelType&) const { return kLeafLabel; }
    std::uint16_t operator()(const CvBitFieldType&) const { return kLeafBitField; }
    std::uint16_t operator()(const CvArgListType&) const { return kLeafArgList; }
    std::uint16_t operator()(const CvFieldListType&) const { return kLeafFieldList; }
    std::uint16_t operator()(const CvRawType& t) const { return t.m_leaf; }
  };
  return std::visit(Visitor{}, type);
}

std::uint16_t ModuleIndexOf(const CvProgram& program, std::size_t m) {
  return program.m_modules[m].m_index != 0 ? program.m_modules[m].m_index : static_cast<std::uint16_t>(m + 1);
}

// Everything a reader can check of a written program against its description. Returns
// the first disagreement, or "".
std::string CheckAgainstDescription(const CvProgram& program, CvVariant variant, const Bytes& bytes) {
  const ParsedFile file = Parse(bytes);
  if (file.m_trailerSignature != SignatureOf(variant) || file.m_headerSignature != SignatureOf(variant)) {
    return "signatures " + file.m_headerSignature + "/" + file.m_trailerSignature;
  }
  if (file.m_base != program.m_leadingBytes.size()) return "base " + std::to_string(file.m_base);
  for (const DirectoryEntry& entry : file.m_entries) {
    if (entry.m_offset % 4 != 0) return "subsection not on a 4-byte boundary: " + Hex(entry.m_type);
  }
  for (std::size_t m = 0; m < program.m_modules.size(); ++m) {
    const CvModule& module = program.m_modules[m];
    const std::uint16_t index = ModuleIndexOf(program, m);
    const Bytes record = file.Contents(file.Entry(kSstModule, index));
    Reader r(record);
    if (r.U16(4) != module.m_segments.size() || r.U16(6) != kModuleStyleCV)
      return "sstModule header of " + module.m_name;
    for (std::size_t s = 0; s < module.m_segments.size(); ++s) {
      if (r.U16(8 + 12 * s) != module.m_segments[s].m_segment ||
          r.U32(12 + 12 * s) != module.m_segments[s].m_offset ||
          r.U32(16 + 12 * s) != module.m_segments[s].m_size) {
        return "segment " + std::to_string(s) + " of " + module.m_name;
      }
    }
    if (r.Name(8 + 12 * module.m_segments.size()) != module.m_name ||
        record.size() != 8 + 12 * module.m_segments.size() + 1 + module.m_name.size()) {
      return "sstModule name of " + module.m_name;
    }
    if (module.m_writeSymbols) {
      const std::vector<SymbolRecord> symbols = ModuleSymbols(file, index);
      const std::vector<std::string> listed = ListSymbols(symbols);
      const std::vector<std::string> expected = ExpectedSymbols(module, program.m_alignSymbolRecords);
      if (listed != expected) {
        std::size_t i = 0;
        while (i < listed.size() && i < expected.size() && listed[i] == expected[i]) ++i;
        return "symbols of " + module.m_name + " differ at record " + std::to_string(i) + ": " +
               (i < listed.size() ? listed[i] : "(none)") + " instead of " +
               (i < expected.size() ? expected[i] : "(none)");
      }
      std::string scopes = CheckScopes(symbols);
      if (!scopes.empty()) return scopes + " in " + module.m_name;
      for (const SymbolRecord& s : symbols) {
        if (program.m_alignSymbolRecords && s.m_at % 4 != 0) return "unaligned record in " + module.m_name;
      }
    }
    if (!module.m_sourceFiles.empty() &&
        !SameLines(DecodeLines(file.Contents(file.Entry(kSstSrcModule, index))), module.m_sourceFiles)) {
      return "lines of " + module.m_name;
    }
  }
  if (program.m_writeGlobalSymbols) {
    const std::vector<SymbolRecord> globals = GlobalSymbols(file);
    if (globals.size() != program.m_globals.size()) return "global record count";
    for (std::size_t g = 0; g < globals.size(); ++g) {
      const auto* reference = std::get_if<CvReference>(&program.m_globals[g]);
      if (reference == nullptr) continue;
      if (globals[g].m_type != (reference->m_procedure ? kSymProcRef : kSymDataRef)) return "reference kind";
      Reader r(globals[g].m_body);
      const std::uint32_t offset = r.U32(4);
      const std::vector<SymbolRecord> target = ModuleSymbols(file, static_cast<std::uint16_t>(r.U16(8)));
      auto found =
          std::find_if(target.begin(), target.end(), [&](const SymbolRecord& s) { return s.m_at == offset; });
      if (found == target.end()) return "reference to no record: " + reference->m_name;
      const std::string line = ListSymbols({*found}).front();
      const std::string kind = line.substr(0, line.find(' '));
      const bool kindFits = reference->m_procedure ? (kind == "gproc" || kind == "lproc")
                                                   : (kind == "gdata" || kind == "ldata");
      if (!kindFits ||
          line.substr(kind.size() + 1, reference->m_name.size() + 1) != reference->m_name + " ") {
        return "reference " + reference->m_name + " lands on: " + line;
      }
    }
  }
  if (program.m_writeGlobalTypes) {
    const std::vector<TypeRecord> types = WalkTypes(file);
    if (types.size() != program.m_types.size()) return "type count";
    for (std::size_t t = 0; t < types.size(); ++t) {
      if (types[t].m_leaf != LeafOf(program.m_types[t])) return "leaf of type " + std::to_string(t);
      if (program.m_padTypeRecords && types[t].m_record.size() % 4 != 0)
        return "unpadded type " + std::to_string(t);
    }
  }
  return "";
}

TEST(CvFixtureStructure, SampleProgramReadsBackInEveryVersion) {
  const CvProgram sample = MakeSampleProgram();
  for (CvVariant variant : {CvVariant::NB05, CvVariant::NB06, CvVariant::NB07, CvVariant::NB09}) {
    SCOPED_TRACE(std::string(SignatureOf(variant)));
    const Bytes bytes = WriteCodeView(sample, variant);
    EXPECT_EQ(CheckAgainstDescription(sample, variant, bytes), "");
    // The versions differ in their two signatures only.
    Bytes asNB09 = WriteCodeView(sample, CvVariant::NB09);
    const std::uint32_t base = static_cast<std::uint32_t>(sample.m_leadingBytes.size());
    std::copy_n(SignatureOf(variant).begin(), 4, asNB09.begin() + base);
    std::copy_n(SignatureOf(variant).begin(), 4, asNB09.end() - 8);
    EXPECT_EQ(asNB09, bytes);
  }
}

TEST(CvFixtureStructure, AlignedSymbolRecordsStartOnFourByteBoundaries) {
  CvProgram sample = MakeSampleProgram();
  sample.m_alignSymbolRecords = true;
  const Bytes bytes = WriteCodeView(sample, CvVariant::NB09);
  EXPECT_EQ(CheckAgainstDescription(sample, CvVariant::NB09, bytes), "");
  // Global records are aligned too, counted from the end of the sstGlobalSym header.
  const ParsedFile file = Parse(bytes);
  for (const SymbolRecord& record : GlobalSymbols(file)) EXPECT_EQ((record.m_at - 16) % 4, 0u);
}

// Random programs: whatever the shape of scopes, names, lines and references, the file
// reads back as described. Seed fixed; printed on failure.
CvProgram RandomProgram(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  auto name = [&]() {
    std::string text;
    int length = pick(0, 9) == 0 ? pick(100, 255) : pick(0, 10);
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + pick(0, 25));
    return text;
  };
  auto variable = [&]() {
    CvVariable v;
    v.m_storage = static_cast<CvStorage>(pick(0, 3));
    v.m_name = name();
    v.m_type = static_cast<std::uint16_t>(pick(0, 0x7FFF));
    v.m_frameOffset = pick(-4096, 4096);
    v.m_register = static_cast<std::uint16_t>(pick(1, 40));
    v.m_offset = static_cast<std::uint32_t>(pick(0, 1 << 20));
    return v;
  };
  auto label = [&]() {
    return CvLabel{.m_name = name(), .m_offset = static_cast<std::uint32_t>(pick(0, 4096))};
  };
  std::function<CvBlock(int)> block = [&](int depth) {
    CvBlock b{.m_name = name(),
              .m_offset = static_cast<std::uint32_t>(pick(0, 4096)),
              .m_length = static_cast<std::uint32_t>(pick(0, 256))};
    for (int i = pick(0, 3); i > 0; --i) b.m_locals.push_back(variable());
    for (int i = pick(0, 1); i > 0; --i) b.m_labels.push_back(label());
    if (depth < 3) {
      for (int i = pick(0, 2); i > 0; --i) b.m_blocks.push_back(block(depth + 1));
    }
    return b;
  };

  CvProgram program;
  for (int i = pick(0, 7); i > 0; --i)
    program.m_leadingBytes.push_back(static_cast<std::uint8_t>(pick(0, 255)));
  program.m_alignSymbolRecords = pick(0, 1) == 1;
  program.m_padTypeRecords = pick(0, 1) == 1;
  for (int m = pick(1, 4); m > 0; --m) {
    CvModule module;
    module.m_name = name();
    module.m_writeSymbols = pick(0, 5) != 0;
    for (int s = pick(0, 2); s > 0; --s) {
      module.m_segments.push_back(CvSegment{.m_segment = static_cast<std::uint16_t>(pick(1, 3)),
                                            .m_offset = static_cast<std::uint32_t>(pick(0, 1 << 16)),
                                            .m_size = static_cast<std::uint32_t>(pick(0, 1 << 12))});
    }
    for (int s = pick(0, 5); s > 0; --s) {
      switch (pick(0, 3)) {
        case 0:
          module.m_symbols.push_back(variable());
          break;
        case 1: {
          CvProcedure p{.m_name = name(),
                        .m_global = pick(0, 1) == 1,
                        .m_offset = static_cast<std::uint32_t>(pick(0, 4096)),
                        .m_length = static_cast<std::uint32_t>(pick(0, 4096)),
                        .m_type = static_cast<std::uint16_t>(pick(0, 0x2000))};
          for (int i = pick(0, 3); i > 0; --i) p.m_parameters.push_back(variable());
          for (int i = pick(0, 3); i > 0; --i) p.m_locals.push_back(variable());
          for (int i = pick(0, 2); i > 0; --i) p.m_labels.push_back(label());
          for (int i = pick(0, 2); i > 0; --i) p.m_blocks.push_back(block(1));
          module.m_symbols.push_back(p);
          break;
        }
        case 2:
          module.m_symbols.push_back(CvThunk{.m_name = name(),
                                             .m_offset = static_cast<std::uint32_t>(pick(0, 4096)),
                                             .m_length = static_cast<std::uint16_t>(pick(0, 64))});
          break;
        default: {
          CvRawSymbol raw{kSymCompile, {}};
          for (int i = pick(0, 6); i > 0; --i) raw.m_body.push_back(static_cast<std::uint8_t>(pick(0, 255)));
          module.m_symbols.push_back(raw);
        }
      }
    }
    for (int f = pick(0, 3); f > 0; --f) {
      CvSourceFile file{.m_name = name()};
      for (int s = pick(1, 2); s > 0; --s) {
        CvLineSegment segment{.m_segment = static_cast<std::uint16_t>(pick(1, 3))};
        for (int l = pick(0, 5); l > 0; --l) {
          segment.m_lines.push_back(
              {static_cast<std::uint32_t>(pick(0, 1 << 16)), static_cast<std::uint16_t>(pick(1, 9999))});
        }
        file.m_segments.push_back(segment);
      }
      module.m_sourceFiles.push_back(file);
    }
    program.m_modules.push_back(module);
  }
  // References to whatever procedures and data the modules with symbols have.
  for (std::size_t m = 0; m < program.m_modules.size(); ++m) {
    if (!program.m_modules[m].m_writeSymbols) continue;
    for (const CvModuleSymbol& symbol : program.m_modules[m].m_symbols) {
      if (pick(0, 1) == 0) continue;
      const auto module = static_cast<std::uint16_t>(m + 1);
      if (const auto* p = std::get_if<CvProcedure>(&symbol)) {
        program.m_globals.push_back(
            CvReference{.m_procedure = true, .m_module = module, .m_name = p->m_name});
      } else if (const auto* v = std::get_if<CvVariable>(&symbol);
                 v != nullptr &&
                 (v->m_storage == CvStorage::LocalData || v->m_storage == CvStorage::GlobalData)) {
        program.m_globals.push_back(
            CvReference{.m_procedure = false, .m_module = module, .m_name = v->m_name});
      }
    }
  }
  if (pick(0, 1) == 1) program.m_globals.push_back(variable());
  AddProcedureType(program, 0x0074, {0x0074, 0x0070});
  AddStructure(program, name(), static_cast<std::uint32_t>(pick(0, 1 << 20)),
               {CvMember{.m_type = 0x0074, .m_offset = pick(-200, 70000), .m_name = name()}});
  return program;
}

TEST(CvFixtureStructure, RandomProgramsReadBackAsDescribed) {
  const std::uint32_t seed = 20240611;
  std::mt19937 rng(seed);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", program " + std::to_string(i));
    const CvProgram program = RandomProgram(rng);
    const CvVariant variant = static_cast<CvVariant>(i % 4);
    std::string problem;
    try {
      problem = CheckAgainstDescription(program, variant, WriteCodeView(program, variant));
    } catch (const std::exception& error) {
      problem = error.what();
    }
    ASSERT_EQ(problem, "");
  }
}

TEST(CvFixtureStructure, DescriptionsTheFormatCannotHoldAreRefused) {
  struct Case {
    const char* m_name;
    std::function<void(CvProgram&)> m_change;
  };
  const std::vector<Case> cases = {
      {"module name of 256 characters", [](CvProgram& p) { p.m_modules[0].m_name = std::string(256, 'm'); }},
      {"type name of 256 characters",
       [](CvProgram& p) {
         AddType(p, CvArrayType{.m_element = 0x74, .m_size = 4, .m_name = std::string(256, 't')});
       }},
      {"reference to a name the module lacks",
       [](CvProgram& p) { p.m_globals.push_back(CvReference{.m_module = 1, .m_name = "nosuch"}); }},
      {"procedure reference to a local variable's name",
       [](CvProgram& p) {
         p.m_globals.push_back(CvReference{.m_procedure = true, .m_module = 1, .m_name = "i"});
       }},
      {"reference to a module without symbols",
       [](CvProgram& p) { p.m_globals.push_back(CvReference{.m_module = 7, .m_name = "main"}); }},
      {"global symbols without an sstGlobalSym", [](CvProgram& p) { p.m_writeGlobalSymbols = false; }},
      {"types without an sstGlobalTypes", [](CvProgram& p) { p.m_writeGlobalTypes = false; }},
      {"symbol record over 65535 bytes",
       [](CvProgram& p) {
         p.m_modules[0].m_symbols.push_back(CvRawSymbol{kSymCompile, Bytes(70000, 0)});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    CvProgram program = TinyProgram();
    c.m_change(program);
    EXPECT_THROW(WriteCodeView(program, CvVariant::NB09), std::invalid_argument);
  }
  // The longest name that fits is written.
  CvProgram longest = TinyProgram();
  longest.m_modules[0].m_name = std::string(255, 'm');
  EXPECT_EQ(CheckAgainstDescription(longest, CvVariant::NB09, WriteCodeView(longest, CvVariant::NB09)), "");
}

// ---- Damaged files ------------------------------------------------------------------------

struct Patch {
  std::uint32_t m_at = 0;  // file position
  std::uint32_t m_width = 0;
  std::uint32_t m_value = 0;
};

std::uint32_t ReadField(const Bytes& bytes, const Patch& patch) {
  Reader r(bytes);
  return patch.m_width == 2 ? r.U16(patch.m_at) : r.U32(patch.m_at);
}

const SymbolRecord& FirstOf(const std::vector<SymbolRecord>& records,
                            std::initializer_list<std::uint16_t> types) {
  for (const SymbolRecord& record : records) {
    if (std::find(types.begin(), types.end(), record.m_type) != types.end()) return record;
  }
  throw std::out_of_range("no such record");
}

// Where each one-field damage must land, found by reading the clean file.
std::vector<Patch> ExpectedPatches(CvCorruption corruption, const ParsedFile& clean) {
  const Reader r(clean.m_bytes);
  const std::uint32_t size = static_cast<std::uint32_t>(clean.m_bytes.size());
  const std::uint32_t trailer = size - 8;
  const std::uint32_t dir = clean.m_directoryAt;
  auto signature = [&](const char* text) {
    return std::vector<Patch>{{clean.m_base, 4, Reader(Bytes(text, text + 4)).U32(0)},
                              {trailer, 4, Reader(Bytes(text, text + 4)).U32(0)}};
  };
  const DirectoryEntry& symbols = clean.Entry(kSstAlignSym, 1);
  const std::uint32_t symbolsAt = clean.At(symbols);
  const std::vector<SymbolRecord> records = ModuleSymbols(clean, 1);
  const DirectoryEntry& lines = clean.Entry(kSstSrcModule, 1);
  const std::uint32_t linesAt = clean.At(lines);
  const std::uint32_t fileTable = linesAt + r.U32(linesAt + 4);
  const std::uint32_t lineTable = linesAt + r.U32(fileTable + 4);
  const std::uint32_t globalsAt = clean.At(clean.Entry(kSstGlobalSym, kGlobalModuleIndex));
  const std::uint32_t typesAt = clean.At(clean.Entry(kSstGlobalTypes, kGlobalModuleIndex));
  std::uint32_t pointerAt = 0;
  for (const TypeRecord& type : WalkTypes(clean)) {
    if (type.m_leaf == kLeafPointer) {
      pointerAt = typesAt + type.m_at;
      break;
    }
  }
  switch (corruption) {
    case CvCorruption::TrailerDistanceBeyondFile:
      return {{trailer + 4, 4, size + 0x100}};
    case CvCorruption::NoCodeViewSignature:
      return {{trailer, 4, 0}};
    case CvCorruption::SignatureNB04:
      return signature("NB04");
    case CvCorruption::SignatureNB08:
      return signature("NB08");
    case CvCorruption::SignatureNB10:
      return signature("NB10");
    case CvCorruption::HeaderSignatureBad:
      return {{clean.m_base, 2, 'X' | 'X' << 8}};
    case CvCorruption::DirectoryEntrySizeSmall:
      return {{dir + 2, 2, 8}};
    case CvCorruption::DirectoryCountBeyondFile:
      return {{dir + 4, 4, static_cast<std::uint32_t>(clean.m_entries.size()) + 0x100000}};
    case CvCorruption::DirectoryCountWraps:
      return {{dir + 4, 4, 0x15555556}};
    case CvCorruption::SubsectionBeyondFile:
      return {{symbols.m_entryAt + 4, 4, size - clean.m_base + 0x1000}};
    case CvCorruption::ModuleStyleBad:
      return {{clean.At(clean.Entry(kSstModule, 1)) + 6, 2, 0}};
    case CvCorruption::AlignSymSignatureZero:
      return {{symbolsAt, 4, 0}};
    case CvCorruption::RecordLengthBelowTypeWord:
      return {{symbolsAt + 4, 2, 0}};
    case CvCorruption::RecordLengthBelowFixedBody:
      return {{symbolsAt + FirstOf(records, {kSymGProc32, kSymLProc32}).m_at, 2, 12}};
    case CvCorruption::RecordLengthBeyondSubsection:
      return {{symbolsAt + records.back().m_at, 2, symbols.m_size + 16 - records.back().m_at - 2}};
    case CvCorruption::SymbolTypeIndexOutOfRange:
      return {{symbolsAt + FirstOf(records, {kSymBpRel32}).m_at + 8, 2, 40000}};
    case CvCorruption::ProcRefModuleMissing:
      return {{globalsAt + FirstOf(GlobalSymbols(clean), {kSymProcRef}).m_at + 12, 2, 0x7FFF}};
    case CvCorruption::LineFileOffsetBeyondSubsection:
      return {{linesAt + 4, 4, lines.m_size + 0x20}};
    case CvCorruption::LineTableOffsetBeyondSubsection:
      return {{fileTable + 4, 4, lines.m_size + 0x20}};
    case CvCorruption::LinePairCountBeyondSubsection:
      return {{lineTable + 2, 2, 0xFFFF}};
    case CvCorruption::LineNumberZero:
      return {{lineTable + 4 + 4 * r.U16(lineTable + 2), 2, 0}};
    case CvCorruption::GlobalTypesSignatureBad:
      return {{typesAt, 4, 0}};
    case CvCorruption::UnknownLeaf:
      return {{pointerAt + 2, 2, kLeafUnknown}};
    case CvCorruption::TypeIndexOutOfRange:
      return {{pointerAt + 6, 2, 40000}};
    default:
      return {};
  }
}

// Damages that change one field: the file keeps its size, the field holds the damage,
// and no other byte moves. The values are the ones a reader must trip over.
TEST(CvFixtureCorruption, OneFieldDamagesChangeOnlyThatField) {
  const CvProgram sample = MakeSampleProgram();
  for (CvVariant variant : {CvVariant::NB05, CvVariant::NB09}) {
    const Bytes clean = WriteCodeView(sample, variant);
    const ParsedFile parsed = Parse(clean);
    for (const CvCorruptionInfo& info : CorruptionTable()) {
      const std::vector<Patch> patches = ExpectedPatches(info.m_corruption, parsed);
      if (patches.empty()) continue;
      SCOPED_TRACE(std::string(info.m_name) + " in " + std::string(SignatureOf(variant)));
      const Bytes damaged = WriteCorruptCodeView(sample, variant, info.m_corruption);
      ASSERT_EQ(damaged.size(), clean.size());
      std::vector<bool> inField(clean.size(), false);
      for (const Patch& patch : patches) {
        EXPECT_EQ(ReadField(damaged, patch), patch.m_value) << "field at 0x" << std::hex << patch.m_at;
        EXPECT_NE(ReadField(clean, patch), patch.m_value) << "the clean file already held the damage";
        for (std::uint32_t i = 0; i < patch.m_width; ++i) inField[patch.m_at + i] = true;
      }
      for (std::size_t i = 0; i < clean.size(); ++i) {
        if (!inField[i] && damaged[i] != clean[i]) {
          ADD_FAILURE() << "byte 0x" << std::hex << i << " changed outside the damaged field";
          break;
        }
      }
    }
  }
}

// The damaged values do what their names say about the file around them.
TEST(CvFixtureCorruption, DamagedValuesLieWhereTheirNamesSay) {
  const CvProgram sample = MakeSampleProgram();
  const ParsedFile clean = Parse(WriteCodeView(sample, CvVariant::NB09));
  const std::uint64_t size = clean.m_bytes.size();
  auto damaged = [&](CvCorruption c) { return WriteCorruptCodeView(sample, CvVariant::NB09, c); };

  EXPECT_GT(Reader(damaged(CvCorruption::TrailerDistanceBeyondFile)).U32(size - 4), size);
  const std::uint64_t entries =
      Reader(damaged(CvCorruption::DirectoryCountBeyondFile)).U32(clean.m_directoryAt + 4);
  EXPECT_GT(clean.m_directoryAt + 16 + entries * 12, size);
  const std::uint32_t wrapping =
      Reader(damaged(CvCorruption::DirectoryCountWraps)).U32(clean.m_directoryAt + 4);
  EXPECT_EQ(static_cast<std::uint32_t>(wrapping * 12u), 8u);
  EXPECT_GT(std::uint64_t{wrapping} * 12, size);
  const DirectoryEntry& symbols = clean.Entry(kSstAlignSym, 1);
  EXPECT_GT(clean.m_base + Reader(damaged(CvCorruption::SubsectionBeyondFile)).U32(symbols.m_entryAt + 4),
            size);

  // The stretched last record ends 16 bytes after its subsection.
  const SymbolRecord last = ModuleSymbols(clean, 1).back();
  const Bytes stretched = damaged(CvCorruption::RecordLengthBeyondSubsection);
  EXPECT_EQ(last.m_at + 2 + Reader(stretched).U16(clean.At(symbols) + last.m_at), symbols.m_size + 16);

  // Line offsets and counts point past the end of the first module's sstSrcModule.
  const DirectoryEntry& lines = clean.Entry(kSstSrcModule, 1);
  EXPECT_THROW(DecodeLines(Parse(damaged(CvCorruption::LineFileOffsetBeyondSubsection)).Contents(lines)),
               std::out_of_range);
  EXPECT_THROW(DecodeLines(Parse(damaged(CvCorruption::LineTableOffsetBeyondSubsection)).Contents(lines)),
               std::out_of_range);
  EXPECT_THROW(DecodeLines(Parse(damaged(CvCorruption::LinePairCountBeyondSubsection)).Contents(lines)),
               std::out_of_range);
  const std::vector<CvSourceFile> zeroed =
      DecodeLines(Parse(damaged(CvCorruption::LineNumberZero)).Contents(lines));
  EXPECT_EQ(zeroed[0].m_segments[0].m_lines[0].m_line, 0);
  EXPECT_EQ(zeroed[0].m_segments[0].m_lines[0].m_offset,
            sample.m_modules[0].m_sourceFiles[0].m_segments[0].m_lines[0].m_offset);

  // The damaged procedure record is too short for its 34-byte fixed body.
  const std::vector<SymbolRecord> cut = ModuleSymbols(clean, 1);
  const SymbolRecord& procedure = FirstOf(cut, {kSymGProc32, kSymLProc32});
  EXPECT_LT(Reader(damaged(CvCorruption::RecordLengthBelowFixedBody)).U16(clean.At(symbols) + procedure.m_at),
            2u + 34u);
}

TEST(CvFixtureCorruption, TruncatedTrailerLosesOnlyTheDistance) {
  const CvProgram sample = MakeSampleProgram();
  const Bytes clean = WriteCodeView(sample, CvVariant::NB09);
  const Bytes damaged = WriteCorruptCodeView(sample, CvVariant::NB09, CvCorruption::TruncatedTrailer);
  EXPECT_EQ(damaged, Bytes(clean.begin(), clean.end() - 4));
  EXPECT_NE(Reader(damaged).Text(damaged.size() - 8, 2), "NB");  // no trailer at the end any more
}

// Damages that add or drop records: the damaged subsection differs as described, every
// other subsection keeps its contents.
TEST(CvFixtureCorruption, StructuralDamagesTouchOnlyTheirSubsection) {
  const CvProgram sample = MakeSampleProgram();
  const ParsedFile clean = Parse(WriteCodeView(sample, CvVariant::NB09));
  struct Case {
    CvCorruption m_corruption;
    std::uint16_t m_type;  // the subsection that changes
    std::uint16_t m_module;
    std::function<void(const ParsedFile& damaged)> m_check;
  };
  const std::vector<SymbolRecord> cleanSymbols = ModuleSymbols(clean, 1);
  const std::vector<TypeRecord> cleanTypes = WalkTypes(clean);
  auto keepsCleanTypes = [&](const std::vector<TypeRecord>& types) {
    for (std::size_t i = 0; i < cleanTypes.size(); ++i)
      EXPECT_EQ(types[i].m_record, cleanTypes[i].m_record) << i;
  };
  const std::vector<Case> cases = {
      {CvCorruption::UnbalancedScopeEnd, kSstAlignSym, 1,
       [&](const ParsedFile& damaged) {
         const std::vector<SymbolRecord> records = ModuleSymbols(damaged, 1);
         ASSERT_EQ(records.size(), cleanSymbols.size() + 1);
         EXPECT_EQ(records.back().m_type, kSymEnd);
         EXPECT_EQ(records.back().m_length, 2);
         EXPECT_EQ(CheckScopes(std::vector<SymbolRecord>(records.begin(), records.end() - 1)), "");
         EXPECT_NE(CheckScopes(records).find("closes nothing"), std::string::npos);
       }},
      {CvCorruption::MissingScopeEnd, kSstAlignSym, 1,
       [&](const ParsedFile& damaged) {
         const std::vector<SymbolRecord> records = ModuleSymbols(damaged, 1);
         auto ends = [](const std::vector<SymbolRecord>& r) {
           return std::count_if(r.begin(), r.end(),
                                [](const SymbolRecord& s) { return s.m_type == kSymEnd; });
         };
         EXPECT_EQ(ends(records), ends(cleanSymbols) - 1);
         const SymbolRecord& procedure = FirstOf(records, {kSymGProc32, kSymLProc32});
         EXPECT_EQ(Reader(procedure.m_body).U32(4), 0u);
         EXPECT_NE(CheckScopes(records), "");
       }},
      {CvCorruption::SixteenUnknownLeaves, kSstGlobalTypes, kGlobalModuleIndex,
       [&](const ParsedFile& damaged) {
         const std::vector<TypeRecord> types = WalkTypes(damaged);
         ASSERT_EQ(types.size(), cleanTypes.size() + 16);
         keepsCleanTypes(types);
         for (std::size_t i = cleanTypes.size(); i < types.size(); ++i)
           EXPECT_EQ(types[i].m_leaf, kLeafUnknown);
       }},
      {CvCorruption::TooManyUnionGroups, kSstGlobalTypes, kGlobalModuleIndex,
       [&](const ParsedFile& damaged) {
         const std::vector<TypeRecord> types = WalkTypes(damaged);
         ASSERT_EQ(types.size(), cleanTypes.size() + 2);
         keepsCleanTypes(types);
         const TypeRecord& list = types[cleanTypes.size()];
         const TypeRecord& unionType = types[cleanTypes.size() + 1];
         ASSERT_EQ(list.m_leaf, kLeafFieldList);
         ASSERT_EQ(unionType.m_leaf, kLeafUnion);
         Reader u(unionType.m_record);
         EXPECT_EQ(u.U16(4), 128u);                                 // member count
         EXPECT_EQ(u.U16(6), kFirstTypeIndex + cleanTypes.size());  // its field list
         // Count the members: each LF_MEMBER, then padding bytes above 0xF0.
         Reader l(list.m_record);
         std::size_t members = 0;
         for (std::uint32_t at = 4; at < list.m_record.size();) {
           ASSERT_EQ(l.U16(at), kLeafMember);
           ++members;
           at += 8 + 1 + l.U8(at + 8);
           while (at < list.m_record.size() && l.U8(at) > 0xF0) at += l.U8(at) & 0x0F;
         }
         EXPECT_EQ(members, 128u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CorruptionTable()[static_cast<std::size_t>(c.m_corruption)].m_name);
    const ParsedFile damaged = Parse(WriteCorruptCodeView(sample, CvVariant::NB09, c.m_corruption));
    ASSERT_EQ(damaged.m_entries.size(), clean.m_entries.size());
    for (std::size_t i = 0; i < clean.m_entries.size(); ++i) {
      const DirectoryEntry& before = clean.m_entries[i];
      const DirectoryEntry& after = damaged.m_entries[i];
      EXPECT_EQ(before.m_type, after.m_type);
      EXPECT_EQ(before.m_module, after.m_module);
      if (before.m_type != c.m_type || before.m_module != c.m_module) {
        EXPECT_EQ(clean.Contents(before), damaged.Contents(after)) << "subsection " << Hex(before.m_type);
      }
    }
    c.m_check(damaged);
  }
}

// A program of nothing but the empty global subsections can only have its trailer,
// header, directory and type table damaged; every other damage names a part it lacks.
TEST(CvFixtureCorruption, ProgramsWithoutTheDamagedPartAreRefused) {
  const std::vector<CvCorruption> possibleOnBareFile = {CvCorruption::TruncatedTrailer,
                                                        CvCorruption::TrailerDistanceBeyondFile,
                                                        CvCorruption::NoCodeViewSignature,
                                                        CvCorruption::SignatureNB04,
                                                        CvCorruption::SignatureNB08,
                                                        CvCorruption::SignatureNB10,
                                                        CvCorruption::HeaderSignatureBad,
                                                        CvCorruption::DirectoryEntrySizeSmall,
                                                        CvCorruption::DirectoryCountBeyondFile,
                                                        CvCorruption::DirectoryCountWraps,
                                                        CvCorruption::GlobalTypesSignatureBad,
                                                        CvCorruption::SixteenUnknownLeaves,
                                                        CvCorruption::TooManyUnionGroups};
  const CvProgram bare;
  for (const CvCorruptionInfo& info : CorruptionTable()) {
    SCOPED_TRACE(info.m_name);
    if (std::find(possibleOnBareFile.begin(), possibleOnBareFile.end(), info.m_corruption) !=
        possibleOnBareFile.end()) {
      EXPECT_NO_THROW(WriteCorruptCodeView(bare, CvVariant::NB09, info.m_corruption));
    } else {
      EXPECT_THROW(WriteCorruptCodeView(bare, CvVariant::NB09, info.m_corruption), std::invalid_argument);
    }
  }
}

TEST(CvFixtureCorruption, EveryDamageHasItsOwnName) {
  std::vector<std::string> names;
  for (const CvCorruptionInfo& info : CorruptionTable()) {
    EXPECT_NE(std::string(info.m_description), "");
    EXPECT_EQ(std::find(names.begin(), names.end(), info.m_name), names.end()) << info.m_name;
    names.push_back(info.m_name);
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(CvCorruption::TooManyUnionGroups) + 1);
}

}  // namespace
}  // namespace zentor::cvfixture
