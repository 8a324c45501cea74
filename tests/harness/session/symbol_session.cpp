#include "harness/session/symbol_session.h"

#include <memory>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "target/tmi_viewpoint.h"

namespace zentor::testing_support {

namespace {

void OpenViewpointWith(uint32_t value, std::unique_ptr<SymbolContext> context) {
  TmiAddKnownViewpoint(value);
  ViewpointManager::AddViewpoint(ViewpointHandle(value));
  PushViewpoint(ViewpointHandle(value));
  SetCurrentSymbolContext_Checked(context.release());
  PopViewpoint();
  SetBaseViewpoint(ViewpointHandle(value));
}

}  // namespace

void OpenProgramViewpoint(uint32_t value) { OpenViewpointWith(value, SymbolContext::CreateForViewpoint()); }

void OpenProgramViewpoint(const SymbolContext& program, uint32_t value) {
  OpenViewpointWith(value, SymbolContext::CreateForViewpointOf(program));
}

SymbolLoadOutcome LoadSymbols(const std::string& path, uint32_t codeBase, uint32_t dataBase) {
  SymbolLoadOutcome outcome;
  LastError() = DVError(0, 0, kDisplayByFocus);
  try {
    ResetSymbolLoad();
    outcome.m_returned = LoadSymbolFile(path.c_str(), codeBase, dataBase);
    FinishSymbolLoad();
  } catch (const DVError& error) {
    outcome.m_raised = error.Number();
  }
  outcome.m_reported = LastError().Number();
  return outcome;
}

uint32_t ForceDeferredModules() {
  LastError() = DVError(0, 0, kDisplayByFocus);
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr) return 0;
  try {
    for (uint32_t id = 1; id <= loader->ModuleCount(); ++id) {
      ModuleDescriptor* module = loader->ModuleById(id);
      if (module != nullptr && module->HasDeferredToken()) LoadDeferredModule(module);
    }
  } catch (const DVError& error) {
    return error.Number();
  }
  return LastError().Number();
}

}  // namespace zentor::testing_support
