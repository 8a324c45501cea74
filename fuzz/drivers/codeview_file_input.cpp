#include "codeview_file_input.h"

#include <algorithm>

#include "app/session_reset.h"
#include "console/output_writer.h"
#include "core/address_symbol_lookup.h"
#include "core/dv_error.h"
#include "core/window_layer.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"

namespace zentor::fuzzing {
namespace {

// A damaged file may claim any number of modules; the lookups sample the first ones.
constexpr uint32_t kMostModulesAsked = 64;

AddressDescriptor CodeAddress(uint32_t offset) {
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
}

// What the source pane, the status line and the value model ask about an address.
void AskAbout(SymbolContext& context, const AddressDescriptor& address) {
  DVErrorCode status;
  context.ModuleAtAddress(address, status);
  context.GoToPosition(address);
  const SourcePosition position = context.GetPosition();
  (void)context.BrowseCaption();
  (void)context.StopCaption();
  if (!position.m_line.IsEmpty()) (void)context.CollectLineAddresses(position.m_line);
  (void)InstalledAddressSymbolLookup().SymbolicText(address);
}

void AskTheTables() {
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr) return;
  SymbolContext& context = *GetCurrentSymbolContext();
  const uint32_t modules = std::min(loader->ModuleCount(), kMostModulesAsked);
  for (uint32_t id = 1; id <= modules; ++id) {
    ModuleDescriptor* module = loader->ModuleById(id);
    if (module == nullptr) continue;
    const uint32_t start = module->Start().Offset();
    const uint32_t extent = module->Extent().Low();
    for (uint32_t offset : {start, start + extent / 2, start + (extent != 0 ? extent - 1 : 0)}) {
      AskAbout(context, CodeAddress(offset));
    }
    loader->ForEachProcedure(*module, [&](const ProcedureSpan& procedure) {
      AskAbout(context, procedure.m_first);
      return true;
    });
    (void)IsTypedefName(loader->ModuleName(*module));
  }
  for (const char* name : {"int", "struct_one", "POINT", "main"}) (void)IsTypedefName(RWCString(name));
}

}  // namespace

CodeViewFileHarness::CodeViewFileHarness() : m_directory("fuzz-codeview"), m_path(m_directory.File("FUZZ.SYM")) {}

CodeViewFileOutcome CodeViewFileHarness::Run(std::string_view file) {
  CodeViewFileOutcome outcome;
  m_directory.Write("FUZZ.SYM", file);
  ResetDebugSession();
  testing_support::RecordingWindowBackend windows;
  WindowLayerBackend* previous = WindowLayer::SetBackend(&windows);
  OutputWriter::InstallHook([](char) {});
  testing_support::OpenProgramViewpoint();
  outcome.m_load = testing_support::LoadSymbols(m_path);
  if (outcome.m_load.m_raised == 0) {
    outcome.m_onDemand = testing_support::ForceDeferredModules();
    try {
      AskTheTables();
    } catch (const DVError& error) {
      outcome.m_lookupError = error.Number();
    }
    const LoaderState* loader = CurrentLoaderStateOrNull();
    outcome.m_modules = loader != nullptr ? loader->ModuleCount() : 0;
  }
  OutputWriter::RemoveHook();
  WindowLayer::SetBackend(previous);
  ResetDebugSession();
  return outcome;
}

}  // namespace zentor::fuzzing
