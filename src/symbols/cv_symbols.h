#pragma once
// The CodeView loader's readers of the subsections that carry symbols and line
// numbers: a module's symbols (sstAlignSym), the global symbols (sstGlobalSym) and a
// module's line numbers (sstSrcModule). Each reader takes its subsection from the file
// in one read, walks it with a bounds-checked cursor and turns every record it
// accepts into one record builder (loader_buffers.h), which enters it through the
// loader library. Each returns 0, or 8 (inconsistent file) for a record it does not
// accept or anything that does not fit: a record shorter than its fixed part or
// reaching past its subsection, a scope end without a scope, a line numbered 0, a
// reference to a symbol or type the file does not have. What was written before
// stays.

#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "symbols/loader_buffers.h"

namespace zentor {

class CodeViewTypes;
class CvByteCursor;
class LoaderInputFile;

// Subsection types of the directory.
inline constexpr uint16_t kCvSstModule = 0x0120;
inline constexpr uint16_t kCvSstAlignSym = 0x0125;
inline constexpr uint16_t kCvSstSrcModule = 0x0127;
inline constexpr uint16_t kCvSstGlobalSym = 0x0129;
inline constexpr uint16_t kCvSstGlobalTypes = 0x012B;
// Module index of the subsections that belong to the whole program.
inline constexpr uint16_t kCvGlobalModuleIndex = 0xFFFF;

// Symbol record types.
enum CvSymbolType : uint16_t {
  kCvSymCompile = 0x0001,
  kCvSymRegister = 0x0002,
  kCvSymConstant = 0x0003,
  kCvSymUdt = 0x0004,
  kCvSymSearch = 0x0005,
  kCvSymEnd = 0x0006,
  kCvSymSkip = 0x0007,
  kCvSymReserved = 0x0008,
  kCvSymObjectName = 0x0009,
  kCvSymEndArguments = 0x000A,
  kCvSymCobolUdt = 0x000B,
  kCvSymManyRegisters = 0x000C,
  kCvSymReturn = 0x000D,
  kCvSymEntryThis = 0x000E,
  kCvSymBpRel32 = 0x0200,
  kCvSymLData32 = 0x0201,
  kCvSymGData32 = 0x0202,
  kCvSymPublic32 = 0x0203,
  kCvSymLProc32 = 0x0204,
  kCvSymGProc32 = 0x0205,
  kCvSymThunk32 = 0x0206,
  kCvSymBlock32 = 0x0207,
  kCvSymWith32 = 0x0208,
  kCvSymLabel32 = 0x0209,
  kCvSymCompilerModel32 = 0x020A,
  kCvSymVftPath32 = 0x020B,
  kCvSymRegisterRelative32 = 0x020C,
  kCvSymLThread32 = 0x020D,
  kCvSymGThread32 = 0x020E,
  kCvSymProcRef = 0x0400,
  kCvSymDataRef = 0x0401,
  kCvSymAlign = 0x0402,
};

// The bytes a record of an accepted type has after its type word before its name's
// characters (the name's length byte included); 0 for types without a fixed part.
uint32_t CvFixedBodyOf(uint16_t symbolType);

// Where a subsection lies: its first byte in the file and its size, both checked to
// lie inside the file.
struct CvSubsection {
  uint32_t m_fileOffset = 0;
  uint32_t m_size = 0;
};

enum class CvLocated { Missing, Damaged, Found };

// Finds a subsection by type and module index (the loader's directory). Damaged: the
// directory has the entry but its bytes are not all inside the file.
class CvSubsectionLocator {
 public:
  virtual ~CvSubsectionLocator() = default;
  virtual CvLocated Locate(uint16_t type, uint16_t module, CvSubsection& section) const = 0;
};

// Reads a subsection whole; false (and no bytes) when the file cannot supply it.
bool ReadCvSubsection(LoaderInputFile& file, const CvSubsection& section, std::vector<uint8_t>& bytes);

// What the readers work with: the file, its directory and types, the two bases the
// load adds to code and data offsets, and the verbosity (2 prints one line per
// register, frame-relative and data symbol).
struct CvReaderSetup {
  LoaderInputFile* m_file = nullptr;
  const CvSubsectionLocator* m_locator = nullptr;
  const CodeViewTypes* m_types = nullptr;
  uint32_t m_codeBase = 0;
  uint32_t m_dataBase = 0;
  uint32_t m_verbosity = 0;
  // Where a module's symbols and lines are read: a buffer the loader keeps from one
  // module to the next (the reader's own when none is given).
  std::vector<uint8_t>* m_sectionBytes = nullptr;
};

class CvSymbolReader {
 public:
  // The references of the global symbols point into module symbols. The symbols of a
  // module up to this size are read whole and kept for the rest of the walk (up to
  // the second limit in all); of a larger module only the referenced record is read.
  static constexpr uint32_t kLargestKeptModuleSymbols = 1u << 20;
  static constexpr uint32_t kReferenceCacheBytes = 16u << 20;

  explicit CvSymbolReader(const CvReaderSetup& setup) : m_setup(setup) {}

  // A module's symbols: signature 1, then records. Scopes left open at the end are
  // closed (and the file counts as inconsistent).
  uint32_t ReadModuleSymbols(const CvSubsection& section);
  // The global symbols: a 16-byte header (hash kinds, the size of the records and of
  // the two hashes), then the records.
  uint32_t ReadGlobalSymbols(const CvSubsection& section);
  // A module's line numbers; offsets are made relative to the module's start, and
  // lines at offsets outside [moduleStart, moduleEnd) are left out.
  uint32_t ReadModuleLines(const CvSubsection& section, uint32_t moduleStart, uint32_t moduleEnd);

 private:
  void ModuleRecord(uint16_t type, CvByteCursor& body, std::vector<bool>& scopes);
  void GlobalRecord(uint16_t type, CvByteCursor& body);
  void Reference(uint16_t type, uint32_t symbolOffset, uint16_t module);
  // The bytes of a module's symbols that hold the record at `symbolOffset`, and the
  // record's offset in them.
  std::span<const uint8_t> ReferencedBytes(uint16_t module, uint32_t symbolOffset, uint32_t& at);
  uint32_t TypeIndex(uint32_t cvIndex) const;
  void Announce(const char* format, std::string_view name) const;
  std::vector<uint8_t>& SectionBytes() {
    return m_setup.m_sectionBytes != nullptr ? *m_setup.m_sectionBytes : m_ownSectionBytes;
  }

  CvReaderSetup m_setup;
  // The module symbols the references of the global symbols were read from.
  std::map<uint16_t, std::vector<uint8_t>> m_referenced;
  uint64_t m_referencedBytes = 0;
  std::vector<uint8_t> m_ownSectionBytes;
  // The one record read alone from a large module.
  std::vector<uint8_t> m_record;
  SymbolBuilder m_symbol;
  GlobalSymbolBuilder m_global;
  ProcedureBuilder m_procedure;
  BlockBuilder m_block;
  EndScopeBuilder m_endScope;
};

}  // namespace zentor
