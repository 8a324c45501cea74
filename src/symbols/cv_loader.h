#pragma once
// The CodeView loader: reads CodeView debug information (NB05, NB06, NB07, NB09) from
// the end of a symbol file and writes modules, symbols, line numbers and types into
// the symbol table through the record builders and the loader library. The loadable
// of a symbol file makes it through the probe below when the file's trailing
// signature names one of these versions; the load driver then runs the load pass,
// which writes the primitive types, the global types, the global symbols and one
// module record per module. Each module's own symbols and line numbers stay in the
// file until the symbol tables first need that module (LoadModule).
//
// Every offset, count and length taken from the file is checked against the file
// before it is used; whatever does not fit ends the pass with status 8 (inconsistent
// file), keeping what was written before.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "symbols/cv_symbols.h"
#include "symbols/cv_types.h"
#include "symbols/loadables.h"
#include "symbols/loader_input_file.h"

namespace zentor {

// Statuses of the CodeView loader beyond those of every reader (loadables.h).
inline constexpr uint32_t kCvUnsupportedOperation = 3;

// One entry of the subsection directory (the first 12 bytes of each entry).
struct CvDirectoryEntry {
  uint16_t m_type = 0;
  uint16_t m_module = 0;
  uint32_t m_offset = 0;
  uint32_t m_size = 0;
};

// What a module record (sstModule) makes of its module.
enum class CvModuleKind : uint8_t {
  New = 0,       // a module of its own: written
  SameAsLast = 1,  // the module before it goes on: nothing written
  Skipped = 3,   // no segments, or a system library: nothing written
};

class CodeViewLoader : public DefaultSymbolics, private CvSubsectionLocator {
 public:
  static constexpr uint16_t kModuleStyleCV = 0x5643;
  static constexpr uint32_t kTrailerBytes = 8;
  static constexpr uint32_t kHeaderBytes = 8;
  static constexpr uint32_t kDirectoryHeaderBytes = 16;
  static constexpr uint32_t kDirectoryEntryBytes = 12;
  static constexpr uint32_t kModuleFixedBytes = 8;
  static constexpr uint32_t kSegmentEntryBytes = 12;
  // Status-line text while the types are read: padded with blanks to this width.
  static constexpr uint32_t kProgressTextWidth = 84;

  CodeViewLoader(LoaderInputFile& file, const CodeViewTrailer& trailer, const LoadRequest& request);
  ~CodeViewLoader() override;

  // Number of sstModule entries of the directory.
  uint32_t ModuleCount() const override { return m_moduleCount; }
  uint32_t LoadAll() override;
  uint32_t LoadAllOnce() override;
  uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) override;
  // Answers 3: the operation the loader does not support.
  uint32_t Unsupported() const { return kCvUnsupportedOperation; }
  // Finds the base, reads the header and the subsection directory; 0 or 8.
  uint32_t Open() override;

  // What the loader found (diagnostics and tests).
  uint64_t FileSize() const { return m_fileSize; }
  uint32_t Base() const { return m_base; }
  uint16_t HighestModuleIndex() const { return m_highestModule; }
  const std::vector<CvDirectoryEntry>& Directory() const { return m_entries; }
  // The name of the last module the load pass wrote ("" at the start of each pass).
  const std::string& LastModuleWritten() const { return m_lastModuleName; }
  // The module type base fixed at the start of this loader's load pass.
  uint32_t TypeBase() const { return m_typeBase; }
  const CodeViewTypes& Types() const { return m_types; }

  // The reduced name of a module: the bare file name without drive, directory and
  // extension, without leading underscores, in upper case.
  static std::string ReduceModuleName(std::string_view name);

 private:
  // A module and the ones after it that go on with it (kind SameAsLast): the module's
  // code range in the code space and the indices of the continuing modules.
  struct ModuleRun {
    uint32_t m_start = 0;
    uint32_t m_end = 0;
    std::vector<uint16_t> m_continuations;
  };
  // What a module record says.
  struct ModuleRecord {
    CvModuleKind m_kind = CvModuleKind::Skipped;
    uint32_t m_start = 0;
    uint32_t m_end = 0;
    std::string m_name;
  };

  CvLocated Locate(uint16_t type, uint16_t module, CvSubsection& section) const override;
  uint32_t LoadAllSymbolics();
  uint32_t LoadModuleSymbolics(uint32_t moduleIndex, uint32_t* result);
  // Reads the sstModule of a module into the (new) module builder. In the load pass a
  // new module's name becomes the name of the last module written, and a module with
  // that name goes on with it.
  uint32_t ReadModuleRecord(const CvSubsection& section, uint16_t moduleIndex, bool loadPass, ModuleRecord& record);
  // Reads the module's symbols and lines (each when the directory has them), the lines
  // relative to the start of the run the module belongs to.
  uint32_t LoadModuleDetails(uint16_t moduleIndex, const ModuleRun& run);
  void GrowDeferredModule(uint16_t head, const ModuleRun& run, const ModuleRecord& record);
  CvReaderSetup ReaderSetup();
  uint32_t Verbosity() const;

  LoaderInputFile m_reader;
  CodeViewTrailer m_trailer;
  uint64_t m_fileSize = 0;
  // The header at the base.
  std::array<char, 4> m_headerSignature{};
  uint32_t m_directoryOffset = 0;
  uint32_t m_base = 0;
  // The directory.
  uint16_t m_directoryHeaderSize = 0;
  uint16_t m_directoryEntrySize = 0;
  uint32_t m_directoryCount = 0;
  std::vector<CvDirectoryEntry> m_entries;
  // Directory position of the first entry of each (type, module).
  std::unordered_map<uint32_t, uint32_t> m_lookup;
  uint32_t m_moduleCount = 0;
  uint16_t m_highestModule = 0;

  std::unique_ptr<ModuleBuilder> m_moduleBuilder;
  CodeViewTypes m_types;
  // The module subsections the symbol readers read, kept between modules.
  std::vector<uint8_t> m_sectionBytes;
  std::string m_lastModuleName;
  bool m_moduleWritten = false;
  uint32_t m_typeBase = 0;
  // Runs of the load pass, by the index of their first module.
  std::unordered_map<uint16_t, ModuleRun> m_runs;
};

// The factory the loadable runs for a file that ends in a CodeView signature this
// loader reads: makes the loader and opens it; the status is Open's.
std::unique_ptr<Formatted_Symbolics> ProbeCodeView(Formatted_Loadable& loadable, LoaderInputFile& file,
                                                   const CodeViewTrailer& trailer, const LoadRequest& request,
                                                   uint32_t& status);

// Makes the CodeView loader the reader of CodeView symbol files (the loadables'
// probe). Also done when this file is linked in; calling it again does no harm.
void InstallCodeViewReader();

}  // namespace zentor
