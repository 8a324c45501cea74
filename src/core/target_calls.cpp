#include "core/target_calls.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"

#include "support/rw_cstring.h"
#include "target/tmi_session.h"

namespace zentor {
namespace {

TargetDescription& KeptDescription() {
  static TargetDescription description;
  return description;
}

}  // namespace

void ThrowIfTargetFailed(const TargetStatus& status) { ThrowIfError(DVError(status)); }

void TargetCallWrapper::LoadTargetDescription() {
  TargetStatus status;
  TargetDescription description;
  TmiGetTargetDescription(&status, GetCurrentViewpointValue(), &description);
  ThrowIfTargetFailed(status);
  KeptDescription() = description;
}

void TargetCallWrapper::Notify_Stage0Text(const RWCString& text) {
  TargetStatus status;
  TmiNotify(&status, GetCurrentViewpointValue(), kTmiNotifyStage0, text.data());
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_AddKeywords() {
  TargetStatus status;
  TmiNotify(&status, GetCurrentViewpointValue(), kTmiNotifyAddKeywords, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_Stage2() {
  TargetStatus status;
  TmiNotify(&status, GetCurrentViewpointValue(), kTmiNotifyStage2, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Notify_Connect() {
  TargetStatus status;
  TmiNotify(&status, GetCurrentViewpointValue(), kTmiNotifyConnect, nullptr);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::OfferOption(uint32_t word, const char* const* argumentSlot, uint32_t* result) {
  TargetStatus status;
  TmiHandleOption(&status, GetCurrentViewpointValue(), word, argumentSlot, result);
  ThrowIfTargetFailed(status);
}

void TargetCallWrapper::Disconnect() {
  TargetStatus status;
  TmiDisconnect(&status, GetCurrentViewpointValue());
  ThrowIfTargetFailed(status);
}

const TargetDescription& KeptTargetDescription() { return KeptDescription(); }

const TargetVersionBlock* GetTargetDescription() { return KeptDescription().m_versionBlock; }

}  // namespace zentor
