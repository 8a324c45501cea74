#include "symbols/cv_loader.h"

#include <algorithm>
#include <cstdio>

#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"

#include "symbols/symbol_load_target.h"
#include "console/output_writer.h"
#include "core/busy_pump.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/status_line.h"
#include "core/unsigned_int64.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// Modules of the system libraries a symbol file may describe; they are not the
// program's.
constexpr std::string_view kSystemModules[] = {"USER32", "KERNEL32", "GDI32"};
// The status-pane part the module progress repaints.
constexpr uint32_t kProgressPaneMask = 2;
// A name length of 255 is read as 254 characters.
constexpr uint8_t kLongestModuleName = 254;

uint32_t DirectoryKey(uint16_t type, uint16_t module) { return static_cast<uint32_t>(type) << 16 | module; }

bool IsReadSubsection(uint16_t type) {
  return type == kCvSstModule || type == kCvSstAlignSym || type == kCvSstSrcModule || type == kCvSstGlobalSym ||
         type == kCvSstGlobalTypes;
}

void ShowPaddedProgress(std::string_view text, uint32_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  ShowProgressText(padded.c_str());
}

// While a deferred module of this loader's file is read, the loader library adds the
// type base of this file's load pass, whatever file was loaded since.
class TypeBaseScope {
 public:
  explicit TypeBaseScope(uint32_t base) : m_state(CurrentLoaderStateOrNull()) {
    if (m_state == nullptr) return;
    m_saved = m_state->ModuleTypeBase();
    m_state->SetModuleTypeBase(base);
  }
  ~TypeBaseScope() {
    if (m_state != nullptr) m_state->SetModuleTypeBase(m_saved);
  }
  TypeBaseScope(const TypeBaseScope&) = delete;
  TypeBaseScope& operator=(const TypeBaseScope&) = delete;

 private:
  LoaderState* m_state;
  uint32_t m_saved = 0;
};

[[maybe_unused]] const bool kCodeViewReaderInstalled = (InstallCodeViewReader(), true);

}  // namespace

CodeViewLoader::CodeViewLoader(LoaderInputFile& file, const CodeViewTrailer& trailer, const LoadRequest& request)
    : DefaultSymbolics(file, request), m_trailer(trailer) {
  // A reader of its own on the same open file: loading a deferred module later moves
  // nobody else's position.
  m_reader.CopyFrom(file);
}

CodeViewLoader::~CodeViewLoader() = default;

uint32_t CodeViewLoader::Verbosity() const { return InstalledSymbolLoadTarget().ViewSymbolsLevel(); }

std::string CodeViewLoader::ReduceModuleName(std::string_view name) {
  const size_t separator = name.find_last_of("\\/:");
  std::string_view bare = separator == std::string_view::npos ? name : name.substr(separator + 1);
  const size_t dot = bare.find_last_of('.');
  if (dot != std::string_view::npos) bare = bare.substr(0, dot);
  while (!bare.empty() && bare.front() == '_') bare.remove_prefix(1);
  std::string reduced(bare);
  for (char& c : reduced) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return reduced;
}

// Open:
// 1. The base is the trailer's distance before the end of the file; the distance must
//    leave room for the header and the trailer. The header there must begin with "NB".
// 2. The directory's 16-byte header must lie in the file, its entries must be at
//    least 12 bytes (the first 12 of each are read, stepping by the entry size) and
//    all of them must lie in the file.
// 3. The modules are counted and the highest module index kept; the primitive map is
//    filled whatever happened before.
uint32_t CodeViewLoader::Open() {
  m_types.FillPrimitiveMap();
  m_entries.clear();
  m_lookup.clear();
  m_moduleCount = 0;
  m_highestModule = 0;
  m_reader.SetGood();
  if (!m_reader.Size(m_fileSize)) return kSymbolicsInconsistent;
  const uint64_t distance = m_trailer.m_distance;
  if (distance < kHeaderBytes + kTrailerBytes || distance > m_fileSize) return kSymbolicsInconsistent;
  const uint64_t base = m_fileSize - distance;
  if (base > UINT32_MAX) return kSymbolicsInconsistent;
  m_base = static_cast<uint32_t>(base);
  m_reader.Seek(m_base, LoaderInputFile::kFromStart);
  m_reader.Read(m_headerSignature.data(), 4);
  m_reader.Read(m_directoryOffset);
  if (!m_reader.IsGood() || m_headerSignature[0] != 'N' || m_headerSignature[1] != 'B') {
    return kSymbolicsInconsistent;
  }

  const uint64_t directory = base + m_directoryOffset;
  if (directory + kDirectoryHeaderBytes > m_fileSize) return kSymbolicsInconsistent;
  uint32_t unusedWord = 0;
  m_reader.Seek(static_cast<int64_t>(directory), LoaderInputFile::kFromStart);
  m_reader.Read(m_directoryHeaderSize);
  m_reader.Read(m_directoryEntrySize);
  m_reader.Read(m_directoryCount);
  m_reader.Read(unusedWord);  // offset of a next directory
  m_reader.Read(unusedWord);  // flags
  if (!m_reader.IsGood()) return kSymbolicsInconsistent;
  if (m_directoryEntrySize < kDirectoryEntryBytes) return kSymbolicsInconsistent;
  const uint64_t entries = directory + m_directoryHeaderSize;
  const uint64_t entryBytes = static_cast<uint64_t>(m_directoryCount) * m_directoryEntrySize;
  if (entries + entryBytes > m_fileSize) return kSymbolicsInconsistent;

  std::vector<uint8_t> bytes(static_cast<size_t>(entryBytes));
  m_reader.Seek(static_cast<int64_t>(entries), LoaderInputFile::kFromStart);
  if (!bytes.empty()) m_reader.Read(bytes.data(), static_cast<uint32_t>(entryBytes));
  if (!m_reader.IsGood()) return kSymbolicsInconsistent;
  m_entries.reserve(m_directoryCount);
  for (uint32_t i = 0; i < m_directoryCount; ++i) {
    const uint8_t* at = bytes.data() + static_cast<size_t>(i) * m_directoryEntrySize;
    CvDirectoryEntry entry;
    entry.m_type = value_bytes::LoadU16(at);
    entry.m_module = value_bytes::LoadU16(at + 2);
    entry.m_offset = value_bytes::LoadU32(at + 4);
    entry.m_size = value_bytes::LoadU32(at + 8);
    // Only the subsections the loader reads are looked up, which also bounds the
    // lookup by the module indices a type can have.
    if (IsReadSubsection(entry.m_type)) m_lookup.emplace(DirectoryKey(entry.m_type, entry.m_module), i);
    if (entry.m_type == kCvSstModule) {
      ++m_moduleCount;
      m_highestModule = std::max(m_highestModule, entry.m_module);
    }
    m_entries.push_back(entry);
  }
  return kSymbolicsOkay;
}

CvLocated CodeViewLoader::Locate(uint16_t type, uint16_t module, CvSubsection& section) const {
  const auto found = m_lookup.find(DirectoryKey(type, module));
  if (found == m_lookup.end()) return CvLocated::Missing;
  const CvDirectoryEntry& entry = m_entries[found->second];
  const uint64_t start = static_cast<uint64_t>(m_base) + entry.m_offset;
  if (start + entry.m_size > m_fileSize) return CvLocated::Damaged;
  section.m_fileOffset = static_cast<uint32_t>(start);
  section.m_size = entry.m_size;
  return CvLocated::Found;
}

CvReaderSetup CodeViewLoader::ReaderSetup() {
  CvReaderSetup setup;
  setup.m_file = &m_reader;
  setup.m_locator = this;
  setup.m_types = &m_types;
  setup.m_codeBase = CodeBase();
  setup.m_dataBase = DataBase();
  setup.m_verbosity = Verbosity();
  setup.m_sectionBytes = &m_sectionBytes;
  return setup;
}

uint32_t CodeViewLoader::LoadAll() { return LoadAllSymbolics(); }

uint32_t CodeViewLoader::LoadAllOnce() {
  const uint32_t status = LoadAllSymbolics();
  SetDeferredModules(0);
  return status;
}

uint32_t CodeViewLoader::LoadModule(uint32_t moduleIndex, uint32_t* result) {
  uint32_t ignored = 0;
  return LoadModuleSymbolics(moduleIndex, result != nullptr ? result : &ignored);
}

// The load pass:
// 1. A break monitor is polled between the steps and after every module (status 7).
// 2. The module type base is fixed; the 4096 primitive types are written.
// 3. The global types, then the global symbols, each when the directory has them. A
//    type the translation refused is the null type; the load goes on and ends with
//    status 8, so the user learns that part of the file was not understood.
// 4. The modules in index order: each module record is read; a new module is written
//    (with its deferred token while modules are deferred), a module with the name of
//    the one before goes on with it, a skipped one writes nothing. Without deferred
//    loading the module's symbols and lines are read at once.
uint32_t CodeViewLoader::LoadAllSymbolics() {
  // Every type and symbol of the pass is a loader call that asks for the current
  // context: the program being loaded is in it throughout, so it is named once.
  CurrentSymbolContextScope loading(GetCurrentSymbolContext());
  m_reader.SetGood();
  BreakMonitor monitor;
  monitor.Register();
  const auto breakRequested = [&monitor] { return monitor.TestAndClearChanged() != 0; };
  m_lastModuleName.clear();
  m_runs.clear();
  m_types.StartLoad();
  const uint32_t verbosity = Verbosity();
  const std::unique_ptr<CvDescriptionSink> sink = MakeLoaderLibrarySink();

  m_typeBase = SetTypeBase();
  {
    GuiWaitScope wait;
    m_types.WritePrimitiveTypes(*sink);
  }
  uint32_t typeStatus = kSymbolicsOkay;
  if (breakRequested()) return kSymbolicsUserBreak;

  CvSubsection section;
  switch (Locate(kCvSstGlobalTypes, kCvGlobalModuleIndex, section)) {
    case CvLocated::Damaged:
      return kSymbolicsInconsistent;
    case CvLocated::Found: {
      if (verbosity != 0) OutputWriter::Printf("Loading Global Type information...\n");
      ShowPaddedProgress("Loading types information....", kProgressTextWidth);
      GuiWaitScope wait;
      std::vector<uint8_t> bytes;
      if (!ReadCvSubsection(m_reader, section, bytes)) return kSymbolicsInconsistent;
      const uint32_t status = m_types.ReadGlobalTypes(std::move(bytes), sink.get());
      if (status != kSymbolicsOkay) return status;
      typeStatus = m_types.TranslateGlobalTypes(*sink);
      break;
    }
    case CvLocated::Missing:
      break;
  }
  if (breakRequested()) return kSymbolicsUserBreak;

  switch (Locate(kCvSstGlobalSym, kCvGlobalModuleIndex, section)) {
    case CvLocated::Damaged:
      return kSymbolicsInconsistent;
    case CvLocated::Found: {
      if (verbosity != 0) OutputWriter::Printf("Loading global symbol information...\n");
      ShowProgressText("Loading global symbols....");
      GuiWaitScope wait;
      CvSymbolReader reader(ReaderSetup());
      const uint32_t status = reader.ReadGlobalSymbols(section);
      if (status != kSymbolicsOkay) return status;
      break;
    }
    case CvLocated::Missing:
      break;
  }
  if (breakRequested()) return kSymbolicsUserBreak;

  bool firstModule = true;
  uint16_t currentRun = 0;
  m_moduleWritten = false;
  for (uint32_t m = 1; m <= m_highestModule; ++m) {
    const uint16_t moduleIndex = static_cast<uint16_t>(m);
    const CvLocated located = Locate(kCvSstModule, moduleIndex, section);
    if (located == CvLocated::Missing) continue;
    if (located == CvLocated::Damaged) return kSymbolicsInconsistent;
    LoadProgress& progress = Progress();
    if (firstModule) {
      progress.SetTotal(std::max<uint32_t>(m_moduleCount, 1));
      progress.SetCurrent(0);
      firstModule = false;
    } else {
      progress.Advance();
      char text[32];
      std::snprintf(text, sizeof text, "%3d%% symbolics", static_cast<int>(progress.WholePercent()));
      ShowProgressText(text);
      RefreshStatusPane(kProgressPaneMask);
    }

    m_moduleBuilder = std::make_unique<ModuleBuilder>();
    ModuleRecord record;
    const uint32_t status = ReadModuleRecord(section, moduleIndex, true, record);
    if (status != kSymbolicsOkay) return status;
    switch (record.m_kind) {
      case CvModuleKind::Skipped:
        break;
      case CvModuleKind::New: {
        if (m_moduleBuilder->Write() != 0) return kSymbolicsModuleRefused;
        ModuleRun& run = m_runs[moduleIndex];
        run.m_start = record.m_start;
        run.m_end = record.m_end;
        currentRun = moduleIndex;
        m_moduleWritten = true;
        break;
      }
      case CvModuleKind::SameAsLast: {
        // The run's lines are counted from its first module's start; a continuation's
        // code after the run's end lengthens the run.
        ModuleRun& run = m_runs[currentRun];
        run.m_continuations.push_back(moduleIndex);
        run.m_end = std::max(run.m_end, record.m_end);
        if (DeferredModules() != 0) GrowDeferredModule(currentRun, run, record);
        break;
      }
    }
    if (DeferredModules() == 0 && record.m_kind != CvModuleKind::Skipped) {
      const uint32_t detailStatus = LoadModuleDetails(moduleIndex, m_runs[currentRun]);
      if (detailStatus != kSymbolicsOkay) return detailStatus;
    }
    if (breakRequested()) return kSymbolicsUserBreak;
  }
  return typeStatus;
}

// A deferred module's range takes in the code of a module that goes on with it, so
// that the symbol tables find the module at those addresses before it is loaded. Code
// before the run's start is left out: the run's lines are counted from that start.
void CodeViewLoader::GrowDeferredModule(uint16_t head, const ModuleRun& run, const ModuleRecord& record) {
  if (record.m_end <= run.m_start) return;
  const uint32_t start = std::max(record.m_start, run.m_start);
  const LoaderAddress address = LoaderAddress::Memory(CodeBase() + start);
  TargetStatus status;
  TargetAddressRecord target;
  if (InstalledSymbolLoadTarget().AddressFromLoader(&status, &address, &target) != 0) throw DVError(status);
  const int32_t slot = head <= DeferredModuleHandle::kModuleIndexMask ? CurrentLoadableSlot() : -1;
  SetDeferredToken(DeferredModuleHandle::FromParts(slot, head), target, OrdinalValue(record.m_end - start));
}

// One deferred module: its record is read again (nothing is written for it), then its
// symbols and lines and those of the modules that go on with it, with the type base of
// this file's load pass.
uint32_t CodeViewLoader::LoadModuleSymbolics(uint32_t moduleIndex, uint32_t* result) {
  m_reader.SetGood();
  CvSubsection section;
  if (moduleIndex > 0xFFFF || Locate(kCvSstModule, static_cast<uint16_t>(moduleIndex), section) != CvLocated::Found) {
    return kSymbolicsInconsistent;
  }
  const uint16_t index = static_cast<uint16_t>(moduleIndex);
  m_moduleBuilder = std::make_unique<ModuleBuilder>();
  ModuleRecord record;
  uint32_t status = ReadModuleRecord(section, index, false, record);
  if (status != kSymbolicsOkay) return status;
  if (record.m_kind != CvModuleKind::Skipped) {
    TypeBaseScope base(m_typeBase);
    ModuleRun own;
    own.m_start = record.m_start;
    own.m_end = record.m_end;
    const auto known = m_runs.find(index);
    const ModuleRun& run = known != m_runs.end() ? known->second : own;
    status = LoadModuleDetails(index, run);
    if (status != kSymbolicsOkay) return status;
    for (uint16_t continuation : run.m_continuations) {
      status = LoadModuleDetails(continuation, run);
      if (status != kSymbolicsOkay) return status;
    }
  }
  *result = 0;
  return kSymbolicsOkay;
}

uint32_t CodeViewLoader::LoadModuleDetails(uint16_t moduleIndex, const ModuleRun& run) {
  CvSymbolReader reader(ReaderSetup());
  CvSubsection section;
  switch (Locate(kCvSstAlignSym, moduleIndex, section)) {
    case CvLocated::Damaged:
      return kSymbolicsInconsistent;
    case CvLocated::Found: {
      const uint32_t status = reader.ReadModuleSymbols(section);
      if (status != kSymbolicsOkay) return status;
      break;
    }
    case CvLocated::Missing:
      break;
  }
  switch (Locate(kCvSstSrcModule, moduleIndex, section)) {
    case CvLocated::Damaged:
      return kSymbolicsInconsistent;
    case CvLocated::Found:
      return reader.ReadModuleLines(section, run.m_start, run.m_end);
    case CvLocated::Missing:
      break;
  }
  return kSymbolicsOkay;
}

// A module record:
// 1. Overlay, library, segment count and the style, which must be "CV".
// 2. No segments: the module is skipped.
// 3. The module's code range: the lowest segment offset to the highest segment end;
//    its address (code base added) and size go into the module builder.
// 4. The name, reduced; a system library is skipped; the name of the last module
//    written continues that module; any other name is a new module.
uint32_t CodeViewLoader::ReadModuleRecord(const CvSubsection& section, uint16_t moduleIndex, bool loadPass,
                                          ModuleRecord& record) {
  // A module record needs at most its fixed part, 65535 segments and a name; a larger
  // subsection is not read further.
  constexpr uint32_t kLargestModuleRecord = kModuleFixedBytes + 0xFFFF * kSegmentEntryBytes + 1 + 0xFF;
  CvSubsection used = section;
  used.m_size = std::min(section.m_size, kLargestModuleRecord);
  std::vector<uint8_t> bytes;
  if (!ReadCvSubsection(m_reader, used, bytes)) return kSymbolicsInconsistent;
  std::string_view name;
  try {
    CvByteCursor cursor(bytes);
    cursor.Skip(4);  // overlay and library
    const uint16_t segmentCount = cursor.U16();
    if (cursor.U16() != kModuleStyleCV) RaiseCvFormatFault();
    if (segmentCount == 0) {
      if (Verbosity() != 0) OutputWriter::Printf("Processing module with no segments...\n");
      record.m_kind = CvModuleKind::Skipped;
      return kSymbolicsOkay;
    }
    const std::span<const uint8_t> segments = cursor.Bytes(static_cast<uint64_t>(segmentCount) * kSegmentEntryBytes);
    uint64_t lowest = UINT64_MAX;
    uint64_t highest = 0;
    for (uint32_t i = 0; i < segmentCount; ++i) {
      const uint8_t* segment = segments.data() + static_cast<size_t>(i) * kSegmentEntryBytes;
      const uint64_t offset = value_bytes::LoadU32(segment + 4);
      lowest = std::min(lowest, offset);
      highest = std::max(highest, offset + value_bytes::LoadU32(segment + 8));
    }
    // A module's code lies in the 32-bit code space.
    if (highest > UINT32_MAX) RaiseCvFormatFault();
    record.m_start = static_cast<uint32_t>(lowest);
    record.m_end = static_cast<uint32_t>(highest);
    uint8_t length = cursor.U8();
    if (length > kLongestModuleName) length = kLongestModuleName;
    const std::span<const uint8_t> characters = cursor.Bytes(length);
    name = std::string_view(reinterpret_cast<const char*>(characters.data()), characters.size());
  } catch (const CvFormatFault&) {
    return kSymbolicsInconsistent;
  }
  m_moduleBuilder->SetAddress(CodeBase() + record.m_start);
  m_moduleBuilder->SetSize(record.m_end - record.m_start);
  record.m_name = ReduceModuleName(name);
  if (std::find(std::begin(kSystemModules), std::end(kSystemModules), record.m_name) != std::end(kSystemModules)) {
    record.m_kind = CvModuleKind::Skipped;
    return kSymbolicsOkay;
  }
  // Only a module written in this pass can be continued (an empty reduced name is no
  // name of a module written before).
  if (loadPass && m_moduleWritten && record.m_name == m_lastModuleName) {
    record.m_kind = CvModuleKind::SameAsLast;
    return kSymbolicsOkay;
  }
  record.m_kind = CvModuleKind::New;
  m_moduleBuilder->SetName(record.m_name);
  m_moduleBuilder->SetModuleIndex(moduleIndex);
  m_moduleBuilder->SetLanguage(kLanguageC);
  m_moduleBuilder->SetAttribute(1);
  m_moduleBuilder->SetDeferred(DeferredModules());
  if (Verbosity() != 0) OutputWriter::Printf("Processing module %s...\n", record.m_name);
  if (loadPass) m_lastModuleName = record.m_name;
  return kSymbolicsOkay;
}

std::unique_ptr<Formatted_Symbolics> ProbeCodeView(Formatted_Loadable& /*loadable*/, LoaderInputFile& file,
                                                   const CodeViewTrailer& trailer, const LoadRequest& request,
                                                   uint32_t& status) {
  auto loader = std::make_unique<CodeViewLoader>(file, trailer, request);
  status = loader->Open();
  return loader;
}

void InstallCodeViewReader() { InstallCodeViewProbe(&ProbeCodeView); }

}  // namespace zentor
