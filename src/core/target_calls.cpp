#include "core/target_calls.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"

#include "core/target_interface.h"
#include "support/rw_cstring.h"

namespace zentor {
namespace {

TargetDescription& KeptDescription() {
  static TargetDescription description;
  return description;
}

}  // namespace

void ReportTargetFailure(const TargetStatus& status) { ThrowIfError(DVError(status)); }

void TargetCallWrapper::LoadTargetDescription() {
  TargetStatus status;
  TargetDescription description;
  InstalledTarget().GetTargetDescription(&status, GetCurrentViewpointValue(), &description);
  ThrowIfTargetFailed(status);
  KeptDescription() = description;
}

void TargetCallWrapper::Notify_Stage0Text(const RWCString& text) {
  TargetStatus status;
  InstalledTarget().Notify(&status, GetCurrentViewpointValue(), kTmiNotifyStage0, text.data());
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_AddKeywords() {
  TargetStatus status;
  InstalledTarget().Notify(&status, GetCurrentViewpointValue(), kTmiNotifyAddKeywords, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_Stage2() {
  TargetStatus status;
  InstalledTarget().Notify(&status, GetCurrentViewpointValue(), kTmiNotifyStage2, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_Connect() {
  TargetStatus status;
  InstalledTarget().Notify(&status, GetCurrentViewpointValue(), kTmiNotifyConnect, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::OfferOption(uint32_t word, const char* const* argumentSlot, uint32_t* result) {
  TargetStatus status;
  InstalledTarget().HandleOption(&status, GetCurrentViewpointValue(), word, argumentSlot, result);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Disconnect() {
  TargetStatus status;
  InstalledTarget().Disconnect(&status, GetCurrentViewpointValue());
  ThrowIfTargetFailed(status);
}

const TargetDescription& KeptTargetDescription() { return KeptDescription(); }

const TargetVersionBlock* GetTargetDescription() { return KeptDescription().m_versionBlock; }

}  // namespace zentor
