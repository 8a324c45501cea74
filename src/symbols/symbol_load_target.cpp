#include "symbols/symbol_load_target.h"

#include "core/dv_error_code.h"
#include "core/target_interface.h"

namespace zentor {
namespace {

SymbolLoadTarget g_baseTarget;
SymbolLoadTarget* g_installedTarget = nullptr;

}  // namespace

SymbolLoadTarget::~SymbolLoadTarget() = default;

uint32_t SymbolLoadTarget::AddressFromLoader(TargetStatus* status, const LoaderAddress*, TargetAddressRecord*) {
  *status = TargetStatus{};
  status->m_number = kInvalidAddressOperation;
  status->m_severity = kSeverityInternal;
  return kInvalidAddressOperation;
}

uint32_t SymbolLoadTarget::ServerSymbolsLoaded() { return 0; }

uint32_t SymbolLoadTarget::ViewSymbolsLevel() { return 0; }

SymbolLoadTarget* InstallSymbolLoadTarget(SymbolLoadTarget* target) {
  SymbolLoadTarget* before = g_installedTarget;
  g_installedTarget = target;
  return before;
}

SymbolLoadTarget& InstalledSymbolLoadTarget() {
  return g_installedTarget != nullptr ? *g_installedTarget : g_baseTarget;
}

}  // namespace zentor
