#include "symbols/loadables.h"

#include <cstring>
#include <new>
#include <string_view>

#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/type_translation.h"

#include "core/dv_error.h"
#include "core/program_counter.h"

namespace zentor {
namespace {

// One status of a reader and the loadable's status for it.
struct StatusMapping {
  uint32_t m_from;
  uint32_t m_to;
};

// Opening the symbolic information.
constexpr StatusMapping kOpenStatusMap[] = {
    {kSymbolicsOkay, kLoadableOkay},
    {kSymbolicsNone, kLoadableNoSymbolics},
    {kSymbolicsUnsupported, kLoadableUnsupportedSymbolics},
    {kSymbolicsInconsistent, kLoadableInconsistent},
};
// The load pass.
constexpr StatusMapping kLoadStatusMap[] = {
    {kSymbolicsOkay, kLoadableOkay},
    {kSymbolicsUserBreak, kLoadableUserBreak},
    {kSymbolicsInconsistent, kLoadableInconsistent},
};
// One deferred module.
constexpr StatusMapping kModuleStatusMap[] = {
    {kSymbolicsOkay, kLoadableOkay},
    {kSymbolicsInconsistent, kLoadableInconsistent},
};

// The loadable's status for a reader's; a status the table does not list is
// unexpected.
template <size_t N>
uint32_t MapStatus(const StatusMapping (&table)[N], uint32_t status) {
  for (const StatusMapping& row : table) {
    if (row.m_from == status) return row.m_to;
  }
  return kLoadableUnexpected;
}

// Trailing signatures by what the CodeView reader makes of them.
constexpr std::string_view kReadSignatures[] = {"NB05", "NB06", "NB07", "NB09"};
constexpr std::string_view kUnsupportedSignatures[] = {"NB00", "NB01", "NB02", "NB03", "NB04", "NB08"};

template <size_t N>
bool SignatureIn(const std::string_view (&table)[N], std::string_view signature) {
  for (std::string_view row : table) {
    if (row == signature) return true;
  }
  return false;
}

CodeViewProbe g_codeViewProbe = nullptr;

}  // namespace

// ---- LoadProgress

void LoadProgress::SetTotal(uint32_t total) {
  if (total == 0) throw DVError(kMsgPercentageDivideByZero, kSeverityInternal);
  m_total = total;
}

void LoadProgress::SetCurrent(uint32_t current) {
  m_current = current;
  const double percent = static_cast<double>(current) / static_cast<double>(m_total) * 100.0;
  m_percent = percent > 100.0 ? 100.0 : percent;
}

// ---- the loader-library side of a load

void BeginLoadInLibrary() {
  if (InstalledSymbolLoadTarget().ServerSymbolsLoaded() == 0) {
    LoaderLibraryNoOp();
    BeginProgram(kLoaderFormat20);
  }
  SetDeferredCallbacks(&LoadOnDemandModule, nullptr);
}

void FinishLoadInLibrary() { EndProgramAt(ProgramCounterRegister::Read()); }

void AbandonLoadInLibrary() { LoaderLibraryNoOp(ProgramCounterRegister::Read()); }

void Formatted_Symbolics::BeginLoad() { BeginLoadInLibrary(); }

void Formatted_Symbolics::FinishLoad() { FinishLoadInLibrary(); }

// ---- Formatted_Loadable

Formatted_Loadable::Formatted_Loadable(const LoadRequest& request, std::unique_ptr<LoaderInputFile> file,
                                       const LoadOptions& options)
    : m_request(request), m_file(std::move(file)), m_options(options) {
  if (m_file == nullptr) m_file = std::make_unique<LoaderInputFile>();
}

Formatted_Loadable::~Formatted_Loadable() {
  if (m_file != nullptr) m_file->Close();
}

void Formatted_Loadable::BeginLoad() { BeginLoadInLibrary(); }

void Formatted_Loadable::FinishLoad() { FinishLoadInLibrary(); }

void Formatted_Loadable::AbandonLoad() { AbandonLoadInLibrary(); }

// ---- FileLoadable

// The reader goes before the input file it reads (the base closes the file).
FileLoadable::~FileLoadable() { m_symbolics.reset(); }

uint32_t FileLoadable::OpenSymbolics(uint32_t& status) {
  uint32_t readerStatus = kSymbolicsNoReader;
  m_symbolics = OpenCodeViewSymbolics(*this, InputFile(), Request(), readerStatus);
  status = MapStatus(kOpenStatusMap, readerStatus);
  if (status != kLoadableOkay || m_symbolics == nullptr) return 0;
  return m_symbolics->ModuleCount();
}

uint32_t FileLoadable::LoadSymbolics(uint32_t all, uint32_t codeBase, uint32_t dataBase) {
  if (m_symbolics == nullptr) return kLoadableOkay;
  m_symbolics->SetBases(codeBase, dataBase);
  const uint32_t status = all != 0 ? m_symbolics->LoadAllOnce() : m_symbolics->LoadAll();
  return MapStatus(kLoadStatusMap, status);
}

uint32_t FileLoadable::LoadModule(uint32_t moduleIndex, uint32_t* result) {
  if (m_symbolics == nullptr) return kLoadableUnexpected;
  uint32_t ignored = 0;
  return MapStatus(kModuleStatusMap, m_symbolics->LoadModule(moduleIndex, result != nullptr ? result : &ignored));
}

void FileLoadable::SetDeferredModules(uint32_t flag) {
  if (m_symbolics != nullptr) m_symbolics->SetDeferredModules(flag);
}

// ---- the trailing signature

CodeViewProbe InstallCodeViewProbe(CodeViewProbe probe) {
  CodeViewProbe previous = g_codeViewProbe;
  g_codeViewProbe = probe;
  return previous;
}

std::unique_ptr<Formatted_Symbolics> OpenCodeViewSymbolics(Formatted_Loadable& loadable, LoaderInputFile& file,
                                                           const LoadRequest& request, uint32_t& status) {
  if (!file.IsGood()) {
    status = kSymbolicsNone;
    return nullptr;
  }
  uint64_t size = 0;
  if (!file.Size(size)) {
    status = kSymbolicsInconsistent;
    return nullptr;
  }
  if (size == 0) {
    status = kSymbolicsNone;
    return nullptr;
  }
  CodeViewTrailer trailer;
  file.Seek(-8, LoaderInputFile::kFromEnd);
  file.Read(trailer.m_signature.data(), 4);
  file.Read(trailer.m_distance);
  if (!file.IsGood()) {
    file.SetGood();
    status = kSymbolicsNone;
    return nullptr;
  }
  const std::string_view signature(trailer.m_signature.data(), trailer.m_signature.size());
  if (signature.substr(0, 2) != "NB") {
    status = kSymbolicsNone;
    return nullptr;
  }
  if (SignatureIn(kUnsupportedSignatures, signature)) {
    status = kSymbolicsUnsupported;
    return nullptr;
  }
  if (!SignatureIn(kReadSignatures, signature)) {
    status = kSymbolicsUnrecognised;
    return nullptr;
  }
  if (g_codeViewProbe == nullptr) {
    status = kSymbolicsNoReader;
    return nullptr;
  }
  status = kSymbolicsNoReader;
  try {
    return g_codeViewProbe(loadable, file, trailer, request, status);
  } catch (const std::bad_alloc&) {
    status = kSymbolicsNoReader;
    return nullptr;
  }
}

}  // namespace zentor
