#include "codeview_file_input.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/session_reset.h"
#include "console/output_writer.h"
#include "core/address_symbol_lookup.h"
#include "core/dv_error.h"
#include "core/window_layer.h"
#include "symbols/address_lookup.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"

namespace zentor::fuzzing {
namespace {

// A damaged file may claim any number of modules and procedures; the lookups sample
// the first ones.
constexpr uint32_t kMostModulesAsked = 64;
constexpr uint32_t kMostNamesAsked = 16;

AddressDescriptor CodeAddress(uint32_t offset) {
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
}

// Runs one lookup. Errors of the lookup are its answers (an unknown name, a module
// without lines); only an internal-consistency error is remembered.
template <typename Lookup>
void Ask(uint32_t* internalError, Lookup lookup) {
  try {
    lookup();
  } catch (const DVError& error) {
    if (error.Severity() == kSeverityInternal && *internalError == 0) *internalError = error.Number();
  }
}

// What the source pane, the status line, the value model and the address listings
// ask about an address.
void AskAbout(SymbolContext& context, const AddressDescriptor& address, uint32_t* internalError) {
  Ask(internalError, [&] {
    DVErrorCode status;
    context.ModuleAtAddress(address, status);
    context.GoToPosition(address);
    const SourcePosition position = context.GetPosition();
    (void)context.BrowseCaption();
    (void)context.StopCaption();
    if (!position.m_line.IsEmpty()) (void)context.CollectLineAddresses(position.m_line);
    (void)InstalledAddressSymbolLookup().SymbolicText(address);
  });
  Ask(internalError, [&] {
    BracketedLookupScope bracket;
    (void)SymbolAtAddress(address);
    AddressNames names;
    OrdinalValue offset;
    OrdinalValue info;
    DVErrorCode status;
    FindProcedureAtAddress(status, address, names, offset, info);
    FindNearestLabel(status, address, names, info);
    AddressLineText(status, address, names, info);
  });
}

// A name looked up as a command names it: in the module, then anywhere.
void AskForName(const RWCString& module, const RWCString& name, uint32_t* internalError) {
  Ask(internalError, [&] {
    BracketedLookupScope bracket;
    DVErrorCode status;
    if (FindModuleByName(status, module) != nullptr) FindSymbolByName(name);
  });
  Ask(internalError, [&] {
    BracketedLookupScope bracket;
    FindSymbolByName(name);
  });
  (void)IsTypedefName(name);
}

uint32_t AskTheTables() {
  uint32_t internalError = 0;
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr) return 0;
  SymbolContext& context = *GetCurrentSymbolContext();
  const uint32_t modules = std::min(loader->ModuleCount(), kMostModulesAsked);
  // One list for every module's sample of procedures, sized for the largest sample.
  std::vector<std::pair<RWCString, AddressDescriptor>> procedures;
  procedures.reserve(kMostNamesAsked);
  for (uint32_t id = 1; id <= modules; ++id) {
    ModuleDescriptor* module = loader->ModuleById(id);
    if (module == nullptr) continue;
    const uint32_t start = module->Start().Offset();
    const uint32_t extent = module->Extent().Low();
    for (uint32_t offset : {start, start + extent / 2, start + (extent != 0 ? extent - 1 : 0)}) {
      AskAbout(context, CodeAddress(offset), &internalError);
    }
    procedures.clear();
    Ask(&internalError, [&] {
      loader->ForEachProcedure(*module, [&](const ProcedureSpan& procedure) {
        procedures.emplace_back(procedure.m_name.NameText(context.Cache()), procedure.m_first);
        return procedures.size() < kMostNamesAsked;
      });
    });
    const RWCString moduleName = loader->ModuleName(*module);
    for (const auto& [name, first] : procedures) {
      AskAbout(context, first, &internalError);
      AskForName(moduleName, name, &internalError);
    }
    AskForName(moduleName, moduleName, &internalError);
  }
  for (const char* name : {"int", "main", "count"}) AskForName(RWCString(""), RWCString(name), &internalError);
  return internalError;
}

}  // namespace

// Every input ends with a session reset, so the harness resets once before its first.
CodeViewFileHarness::CodeViewFileHarness()
    : m_directory("fuzz-codeview"),
      m_path(m_directory.File("FUZZ.SYM")),
      m_file(m_path, platform::FileOpenMode::CreateReadWrite) {
  ResetDebugSession();
}

CodeViewFileOutcome CodeViewFileHarness::Run(std::string_view file) {
  CodeViewFileOutcome outcome;
  m_file.Seek(0, platform::SeekOrigin::Begin);
  m_file.Write(file.data(), file.size());
  m_file.Truncate(static_cast<int64_t>(file.size()));
  testing_support::RecordingWindowBackend windows;
  WindowLayerBackend* previous = WindowLayer::SetBackend(&windows);
  OutputWriter::InstallHook([](char) {});
  testing_support::OpenProgramViewpoint();
  outcome.m_load = testing_support::LoadSymbols(m_path);
  if (outcome.m_load.m_raised == 0) {
    outcome.m_onDemand = testing_support::ForceDeferredModules();
    outcome.m_lookupError = AskTheTables();
    const LoaderState* loader = CurrentLoaderStateOrNull();
    outcome.m_modules = loader != nullptr ? loader->ModuleCount() : 0;
  }
  OutputWriter::RemoveHook();
  WindowLayer::SetBackend(previous);
  ResetDebugSession();
  return outcome;
}

}  // namespace zentor::fuzzing
