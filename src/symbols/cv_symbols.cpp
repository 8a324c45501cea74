#include "symbols/cv_symbols.h"

#include "symbols/cv_types.h"
#include "symbols/loader_input_file.h"

#include "console/output_writer.h"
#include "core/busy_pump.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// Signature of the 32-bit symbol subsections.
constexpr uint32_t kSymbolSignature = 1;
// Procedure attributes: far return (flags bit 2) or near; the procedure's second value.
constexpr uint8_t kProcedureFarReturn = 4;
constexpr uint8_t kProcedureNearReturn = 3;
constexpr uint8_t kFlagFarReturn = 0x04;
constexpr uint32_t kProcedureSecondValue = 4;
// The type labels and thunk names get: CodeView primitive 0x0001.
constexpr uint32_t kLabelType = 0x0001;
// Line records around a file's lines carry line 1 and this offset.
constexpr uint32_t kNoLineOffset = 0xFFFFFFFFu;
constexpr uint32_t kVerbosityPerSymbol = 2;

struct FixedBody {
  uint16_t m_type;
  uint8_t m_bytes;
};
// The fixed part of each accepted record, after the type word, up to and with the
// name's length byte.
constexpr FixedBody kFixedBodies[] = {
    {kCvSymRegister, 5}, {kCvSymBpRel32, 7},  {kCvSymLData32, 9},  {kCvSymGData32, 9}, {kCvSymLProc32, 34},
    {kCvSymGProc32, 34}, {kCvSymThunk32, 22}, {kCvSymBlock32, 19}, {kCvSymLabel32, 8}, {kCvSymProcRef, 10},
    {kCvSymDataRef, 10},
};

// Module symbol records that carry nothing this loader keeps.
constexpr uint16_t kSkippedModuleRecords[] = {
    kCvSymCompile,        kCvSymConstant,    kCvSymUdt,         kCvSymSearch,           kCvSymSkip,
    kCvSymObjectName,     kCvSymEndArguments, kCvSymCobolUdt,   kCvSymManyRegisters,    kCvSymReturn,
    kCvSymEntryThis,      kCvSymPublic32,    kCvSymCompilerModel32, kCvSymVftPath32, kCvSymRegisterRelative32,
    kCvSymLThread32,      kCvSymGThread32,
};
// Global symbol records skipped the same way.
constexpr uint16_t kSkippedGlobalRecords[] = {kCvSymConstant, kCvSymUdt, kCvSymAlign};

template <size_t N>
bool In(const uint16_t (&table)[N], uint16_t type) {
  for (uint16_t row : table) {
    if (row == type) return true;
  }
  return false;
}

uint16_t Little16(std::span<const uint8_t> bytes, uint32_t at) {
  return value_bytes::LoadU16(bytes.data() + at);
}

uint32_t Little32(std::span<const uint8_t> bytes, uint32_t at) {
  return value_bytes::LoadU32(bytes.data() + at);
}

// Takes the next record from a symbol stream: its type and a cursor over its body.
// The length counts the type word and the body; both must lie in the stream, and an
// accepted type must have its fixed part.
uint16_t NextRecord(CvByteCursor& stream, CvByteCursor& body) {
  const uint16_t length = stream.U16();
  if (length < 2) RaiseCvFormatFault();
  const uint16_t type = stream.U16();
  body = CvByteCursor(stream.Bytes(length - 2u));
  if (body.Size() < CvFixedBodyOf(type)) RaiseCvFormatFault();
  return type;
}

}  // namespace

uint32_t CvFixedBodyOf(uint16_t symbolType) {
  for (const FixedBody& row : kFixedBodies) {
    if (row.m_type == symbolType) return row.m_bytes;
  }
  return 0;
}

bool ReadCvSubsection(LoaderInputFile& file, const CvSubsection& section, std::vector<uint8_t>& bytes) {
  // The read fills every byte or, failing, sets them all to zero: a buffer used before
  // is not cleared first.
  bytes.resize(section.m_size);
  file.Seek(section.m_fileOffset, LoaderInputFile::kFromStart);
  if (section.m_size > 0) file.Read(bytes.data(), section.m_size);
  if (!file.IsGood()) {
    bytes.clear();
    return false;
  }
  return true;
}

uint32_t CvSymbolReader::TypeIndex(uint32_t cvIndex) const {
  uint32_t tableIndex = 0;
  if (!m_setup.m_types->TableIndexOf(cvIndex, tableIndex)) RaiseCvFormatFault();
  return tableIndex;
}

void CvSymbolReader::Announce(const char* format, std::string_view name) const {
  if (m_setup.m_verbosity >= kVerbosityPerSymbol) OutputWriter::Printf(format, name);
}

// Module symbols:
// 1. The subsection is read whole; its signature must be 1.
// 2. Each record is taken with its length checked against its fixed part and the
//    subsection, and handled by its type; the GUI gets a turn per record.
// 3. Scopes are counted: a scope end without an open scope is a damaged file, and the
//    scopes still open at the end (or when the walk stopped) are closed so the module
//    chain stays well formed, the file again counting as damaged.
uint32_t CvSymbolReader::ReadModuleSymbols(const CvSubsection& section) {
  std::vector<uint8_t>& bytes = SectionBytes();
  if (!ReadCvSubsection(*m_setup.m_file, section, bytes)) return kCvStatusInconsistent;
  // One entry per open scope: true for a scope the library knows (procedure, block,
  // thunk), false for a with-scope, whose end is not the library's.
  std::vector<bool> scopes;
  uint32_t status = kCvStatusOkay;
  try {
    CvByteCursor stream(bytes);
    if (stream.U32() != kSymbolSignature) RaiseCvFormatFault();
    while (!stream.AtEnd()) {
      PumpWhileBusy();
      CvByteCursor body;
      const uint16_t type = NextRecord(stream, body);
      ModuleRecord(type, body, scopes);
    }
  } catch (const CvFormatFault&) {
    status = kCvStatusInconsistent;
  }
  if (!scopes.empty()) status = kCvStatusInconsistent;
  while (!scopes.empty()) {
    if (scopes.back()) m_endScope.Write();
    scopes.pop_back();
  }
  return status;
}

// The target numbers registers in the x86 encoding (al 0 .. bh 7, ax 8 .. di 15, eax
// 16 .. edi 23, es 24 .. gs 29); CodeView counts the same registers from 1 (al 1 ..
// gs 30). A number CodeView has beyond them names no register the target knows.
namespace {
uint32_t TargetRegisterOfCodeView(uint16_t number) {
  constexpr uint16_t kLastCodeViewSegment = 30;
  constexpr uint32_t kNoTargetRegister = 255;
  return number >= 1 && number <= kLastCodeViewSegment ? number - 1u : kNoTargetRegister;
}
}  // namespace

void CvSymbolReader::ModuleRecord(uint16_t type, CvByteCursor& body, std::vector<bool>& scopes) {
  switch (type) {
    case kCvSymRegister: {
      const uint16_t cvType = body.U16();
      const uint16_t number = body.U16();
      const std::string_view name = body.Name();
      Announce("Entering register variable %s...\n", name);
      m_symbol.SetName(name);
      m_symbol.SetStorageClass(kStorageInRegister);
      m_symbol.SetType(TypeIndex(cvType));
      m_symbol.SetAddress(LoaderAddress::Register(TargetRegisterOfCodeView(number)));
      m_symbol.Write();
      return;
    }
    case kCvSymEnd:
      if (scopes.empty()) RaiseCvFormatFault();
      if (scopes.back()) m_endScope.Write();
      scopes.pop_back();
      return;
    case kCvSymBpRel32: {
      const uint32_t frameOffset = body.U32();
      const uint16_t cvType = body.U16();
      const std::string_view name = body.Name();
      Announce("Entering bp relative symbol %s...\n", name);
      m_symbol.SetName(name);
      m_symbol.SetStorageClass(kStorageFrameRelative);
      m_symbol.SetType(TypeIndex(cvType));
      m_symbol.SetAddress(frameOffset);
      m_symbol.Write();
      return;
    }
    case kCvSymLData32:
    case kCvSymGData32: {
      const uint32_t offset = body.U32();
      body.U16();  // segment
      const uint16_t cvType = body.U16();
      const std::string_view name = body.Name();
      if (name.empty()) return;
      Announce("Entering data symbol %s...\n", name);
      m_symbol.SetName(name);
      m_symbol.SetStorageClass(kStorageStatic);
      m_symbol.SetType(TypeIndex(cvType));
      m_symbol.SetAddress(m_setup.m_dataBase + offset);
      m_symbol.Write();
      return;
    }
    case kCvSymLProc32:
    case kCvSymGProc32: {
      body.Skip(12);  // parent, end, next
      const uint32_t length = body.U32();
      body.Skip(8);  // debug start and end
      const uint32_t offset = body.U32();
      body.U16();  // segment
      const uint16_t cvType = body.U16();
      const uint8_t flags = body.U8();
      const std::string_view name = body.Name();
      m_procedure.SetName(name);
      m_procedure.SetAddress(m_setup.m_codeBase + offset);
      m_procedure.SetSize(length);
      m_procedure.SetType(TypeIndex(cvType));
      m_procedure.SetAttribute((flags & kFlagFarReturn) != 0 ? kProcedureFarReturn : kProcedureNearReturn);
      m_procedure.SetSecondValue(kProcedureSecondValue);
      m_procedure.Write();
      scopes.push_back(true);
      return;
    }
    case kCvSymThunk32: {
      body.Skip(12);  // parent, end, next
      const uint32_t offset = body.U32();
      body.U16();  // segment
      const uint16_t length = body.U16();
      body.U8();  // ordinal
      const std::string_view name = body.Name();
      const uint32_t labelType = TypeIndex(kLabelType);
      m_block.SetAddress(m_setup.m_codeBase + offset);
      m_block.SetSize(length);
      m_block.Write();
      scopes.push_back(true);
      if (!name.empty()) {
        m_symbol.SetName(name);
        m_symbol.SetStorageClass(kStorageStatic);
        m_symbol.SetType(labelType);
        m_symbol.SetAddress(m_setup.m_codeBase + offset);
        m_symbol.Write();
      }
      return;
    }
    case kCvSymBlock32: {
      body.Skip(8);  // parent, end
      const uint32_t length = body.U32();
      const uint32_t offset = body.U32();
      m_block.SetAddress(m_setup.m_codeBase + offset);
      m_block.SetSize(length);
      m_block.Write();
      scopes.push_back(true);
      return;
    }
    case kCvSymLabel32: {
      const uint32_t offset = body.U32();
      body.U16();  // segment
      body.U8();   // flags
      const std::string_view name = body.Name();
      m_symbol.SetName(name);
      m_symbol.SetStorageClass(kStorageStatic);
      m_symbol.SetType(TypeIndex(kLabelType));
      m_symbol.SetAddress(m_setup.m_codeBase + offset);
      m_symbol.Write();
      return;
    }
    case kCvSymWith32:
      // Not kept, but its scope end follows and must not close an enclosing scope.
      scopes.push_back(false);
      return;
    default:
      if (!In(kSkippedModuleRecords, type)) RaiseCvFormatFault();
      return;
  }
}

// Global symbols:
// 1. The 16-byte header gives the size of the records (the hashes after them are not
//    read); the records must lie inside the subsection.
// 2. Global data is entered without its leading underscores; references are followed
//    into the module symbols they name. The referenced modules' symbols are read
//    whole and kept for the rest of the walk (up to a limit), since references come in
//    runs that point into the same module; of a large module only the record is read.
uint32_t CvSymbolReader::ReadGlobalSymbols(const CvSubsection& section) {
  std::vector<uint8_t> bytes;
  if (!ReadCvSubsection(*m_setup.m_file, section, bytes)) return kCvStatusInconsistent;
  uint32_t status = kCvStatusOkay;
  try {
    CvByteCursor header(bytes);
    header.Skip(4);  // the hash kinds
    const uint32_t recordBytes = header.U32();
    header.Skip(8);  // sizes of the two hashes
    CvByteCursor stream(header.Bytes(recordBytes));
    while (!stream.AtEnd()) {
      CvByteCursor body;
      const uint16_t type = NextRecord(stream, body);
      GlobalRecord(type, body);
    }
  } catch (const CvFormatFault&) {
    status = kCvStatusInconsistent;
  }
  m_referenced.clear();
  m_referencedBytes = 0;
  m_record.clear();
  return status;
}

void CvSymbolReader::GlobalRecord(uint16_t type, CvByteCursor& body) {
  switch (type) {
    case kCvSymGData32: {
      const uint32_t offset = body.U32();
      body.U16();  // segment
      const uint16_t cvType = body.U16();
      const std::string_view name = body.Name();
      Announce("Entering data symbol %s...\n", name);
      m_global.SetName(name);
      m_global.StripLeadingUnderscores();
      m_global.SetType(TypeIndex(cvType));
      m_global.SetAddress(m_setup.m_dataBase + offset);
      m_global.Write();
      return;
    }
    case kCvSymProcRef:
    case kCvSymDataRef: {
      body.U32();  // checksum of the name
      const uint32_t symbolOffset = body.U32();
      const uint16_t module = body.U16();
      Reference(type, symbolOffset, module);
      return;
    }
    default:
      if (!In(kSkippedGlobalRecords, type)) RaiseCvFormatFault();
      return;
  }
}

std::span<const uint8_t> CvSymbolReader::ReferencedBytes(uint16_t module, uint32_t symbolOffset, uint32_t& at) {
  const auto known = m_referenced.find(module);
  if (known != m_referenced.end()) {
    at = symbolOffset;
    return known->second;
  }
  CvSubsection section;
  if (m_setup.m_locator->Locate(kCvSstAlignSym, module, section) != CvLocated::Found) RaiseCvFormatFault();
  if (section.m_size <= kLargestKeptModuleSymbols) {
    std::vector<uint8_t> bytes;
    if (!ReadCvSubsection(*m_setup.m_file, section, bytes)) RaiseCvFormatFault();
    if (m_referencedBytes + bytes.size() > kReferenceCacheBytes) {
      m_referenced.clear();
      m_referencedBytes = 0;
    }
    m_referencedBytes += bytes.size();
    at = symbolOffset;
    return m_referenced.emplace(module, std::move(bytes)).first->second;
  }
  // A large module: its record header, then the record, each checked against the
  // module's symbols.
  LoaderInputFile& file = *m_setup.m_file;
  if (static_cast<uint64_t>(symbolOffset) + 4 > section.m_size) RaiseCvFormatFault();
  uint16_t length = 0;
  file.Seek(static_cast<int64_t>(section.m_fileOffset) + symbolOffset, LoaderInputFile::kFromStart);
  file.Read(length);
  if (!file.IsGood() || static_cast<uint64_t>(symbolOffset) + 2 + length > section.m_size) RaiseCvFormatFault();
  m_record.assign(2u + length, 0);
  value_bytes::StoreU16(m_record.data(), length);
  file.Read(m_record.data() + 2, length);
  if (!file.IsGood()) RaiseCvFormatFault();
  at = 0;
  return m_record;
}

// A reference names a procedure or data record by its offset in a module's symbols;
// the record there must be of the kind the reference says. The global symbol gets the
// record's address, type and name as written.
void CvSymbolReader::Reference(uint16_t type, uint32_t symbolOffset, uint16_t module) {
  uint32_t at = 0;
  CvByteCursor symbols(ReferencedBytes(module, symbolOffset, at));
  symbols.Seek(at);
  CvByteCursor body;
  const uint16_t referenced = NextRecord(symbols, body);
  const bool procedure = type == kCvSymProcRef;
  const bool fits = procedure ? referenced == kCvSymLProc32 || referenced == kCvSymGProc32
                              : referenced == kCvSymLData32 || referenced == kCvSymGData32;
  if (!fits) RaiseCvFormatFault();
  if (procedure) body.Skip(24);  // parent, end, next, length, debug start and end
  const uint32_t offset = body.U32();
  body.U16();  // segment
  const uint16_t cvType = body.U16();
  if (procedure) body.U8();  // flags
  const std::string_view name = body.Name();
  m_global.SetName(name);
  m_global.SetType(TypeIndex(cvType));
  m_global.SetAddress((procedure ? m_setup.m_codeBase : m_setup.m_dataBase) + offset);
  m_global.Write();
}

// Line numbers:
// 1. The header counts the source files and gives the offsets of their tables.
// 2. Per file: the offsets of its line tables, their start/end pairs (not used), the
//    file's name; a begin-of-file record, one record per line, an end-of-file record.
// 3. Per line table: the segment, the pair count, the offsets, the line numbers. A
//    line 0 is a damaged file; a line outside the module is left out.
uint32_t CvSymbolReader::ReadModuleLines(const CvSubsection& section, uint32_t moduleStart, uint32_t moduleEnd) {
  std::vector<uint8_t>& bytes = SectionBytes();
  if (!ReadCvSubsection(*m_setup.m_file, section, bytes)) return kCvStatusInconsistent;
  LineBuilder line;
  try {
    CvByteCursor cursor(bytes);
    const uint16_t fileCount = cursor.U16();
    cursor.U16();  // segment count
    const std::span<const uint8_t> fileTables = cursor.Bytes(fileCount * 4u);
    for (uint32_t file = 0; file < fileCount; ++file) {
      cursor.Seek(Little32(fileTables, file * 4));
      const uint16_t tableCount = cursor.U16();
      cursor.U16();  // reserved
      const std::span<const uint8_t> lineTables = cursor.Bytes(tableCount * 4u);
      cursor.Skip(tableCount * 8u);  // start and end of each table's code
      line.SetFileName(cursor.Name());
      line.SetSkipFlag(kLineBeginOfFile);
      line.SetLine(1);
      line.SetOffset(kNoLineOffset);
      line.Write();
      line.SetSkipFlag(kLineSkipNone);
      for (uint32_t table = 0; table < tableCount; ++table) {
        cursor.Seek(Little32(lineTables, table * 4));
        cursor.U16();  // segment
        const uint16_t pairs = cursor.U16();
        const std::span<const uint8_t> offsets = cursor.Bytes(pairs * 4u);
        const std::span<const uint8_t> numbers = cursor.Bytes(pairs * 2u);
        for (uint32_t pair = 0; pair < pairs; ++pair) {
          const uint16_t number = Little16(numbers, pair * 2);
          if (number == 0) RaiseCvFormatFault();
          const uint32_t offset = Little32(offsets, pair * 4);
          if (offset < moduleStart || offset >= moduleEnd) continue;
          line.SetLine(number);
          line.SetOffset(offset - moduleStart);
          line.Write();
        }
      }
      line.SetSkipFlag(kLineEndOfFile);
      line.SetLine(1);
      line.SetOffset(kNoLineOffset);
      line.Write();
    }
  } catch (const CvFormatFault&) {
    return kCvStatusInconsistent;
  }
  return kCvStatusOkay;
}

}  // namespace zentor
