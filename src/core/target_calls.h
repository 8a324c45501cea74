#pragma once
// The debugger side never looks at a target status by hand. Each wrapper calls one
// target-interface operation with a zeroed status and the current viewpoint, turns
// the status into a DVError and hands it to ThrowIfError: a failure becomes an
// exception, a warning is shown and the call goes on, success costs nothing. Start-up
// uses the notifications and the option offer, shut-down the disconnect.

#include "core/target_status.h"

#include <cstdint>

namespace zentor {

class RWCString;

// Throws (or, for a warning, reports) a failing target status as a DVError stamped
// with the current viewpoint; nothing for status 0. The error is built only for a
// failure: address arithmetic passes here once per operation, and a symbol load does
// hundreds of thousands of them.
void ReportTargetFailure(const TargetStatus& status);
inline void ThrowIfTargetFailed(const TargetStatus& status) {
  if (status.m_number != 0) ReportTargetFailure(status);
}

class TargetCallWrapper {
 public:
  // Asks the target for its description and keeps it; on failure the kept copy
  // stays as it was.
  static void LoadTargetDescription();
  static void Notify_Stage0Text(const RWCString& text);
  static void Notify_AddKeywords();
  static void Notify_Stage2();
  static void Notify_Connect();
  // Offers the argument in *argumentSlot to the target's options; *result as
  // TmiHandleOption answers it (0 unknown, 1 alone, 2 with the next argument).
  static void OfferOption(uint32_t word, const char* const* argumentSlot, uint32_t* result);
  static void Disconnect();
};

// The kept description of the connected target (all zero before it is loaded).
const TargetDescription& KeptTargetDescription();
// The target's version block: the first word of the kept description.
const TargetVersionBlock* GetTargetDescription();

}  // namespace zentor
