#pragma once
// The stop report: when the target stops, the engine classifies the stop by its
// reason, writes one report line ("[ Break at ...", "[ Conditional Break at ...",
// "[ Passpoint at ... ] " and its printf output), records the last stop, and decides
// whether the stop stands or the target runs on (a false condition, a passpoint, a
// breakpoint of another viewpoint).

#include <cstdint>

#include "support/rw_cstring.h"
#include "target/stop_record.h"
#include "target/target_gui.h"

namespace zentor {

struct BreakpointRecord;

// Reasons a stop report knows beyond the target's (stop_record.h).
inline constexpr uint32_t kBreakReasonExit = 2;
inline constexpr uint32_t kBreakReasonReset = 3;
inline constexpr uint32_t kBreakReasonSilent = 5;
inline constexpr uint32_t kBreakReasonSysReq = 8;
// Last-stop code of an unrecognised breakpoint hit.
inline constexpr uint32_t kLastStopUnknownBreak = 9;

// 1 when the stop stands (reported, or silent), 0 when the target is to run on.
uint32_t ReportStop(const StopRecord& record);
uint32_t ClassifyStop(const StopRecord& record);
// Reason 6: the breakpoint hit, appended to `line` and written.
uint32_t ReportBreakpointHit(const StopRecord& record, RWCString& line);
// " due to Write at <text> length <n>" and the like for a data watch.
void AppendWatchDetail(const BreakpointRecord& record, RWCString& line);

// The engine's answer to the target's events in console mode: a stop is reported
// (ReportStop) and the target runs on when the report says so; the last stop's text
// is cleared when the target starts running, so that it names the stop while stopped.
class EngineTargetGui : public TargetGui {
 public:
  uint32_t NotifyTargetEvent(uint32_t viewpoint, uint32_t kind, const char* stateText,
                             const StopRecord* record) override;
};

void InstallEngineTargetGui();

}  // namespace zentor
