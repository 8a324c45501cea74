#include "symbols/symbol_load_target.h"

#include "core/dv_error_code.h"
#include "core/installed_service.h"
#include "core/target_interface.h"

namespace zentor {
namespace {

InstalledService<SymbolLoadTarget> g_target;

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

uint32_t SymbolLoadTarget::UnicodeOption() { return 0; }

SymbolLoadTarget* InstallSymbolLoadTarget(SymbolLoadTarget* target) { return g_target.Install(target); }

SymbolLoadTarget& InstalledSymbolLoadTarget() { return g_target.Get(); }

}  // namespace zentor
