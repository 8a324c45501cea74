#include "core/stop_report.h"

namespace zentor {
namespace {

RWCString& LastStopText() {
  static RWCString text;
  return text;
}

uint32_t g_lastStopCode = kNoStopYet;
uint32_t g_stopReportFlags = 0;

}  // namespace

void SetLastStopText(const RWCString& text) { LastStopText() = text; }

void ClearLastStopText() { LastStopText() = RWCString(); }

RWCString CopyLastStopText() { return LastStopText(); }

void InitBreakReport() {
  g_lastStopCode = kNoStopYet;
  ClearLastStopText();
  g_stopReportFlags = 0;
}

uint32_t LastStopCode() { return g_lastStopCode; }

void SetLastStop(uint32_t code, const RWCString& text) {
  g_lastStopCode = code;
  LastStopText() = text;
}
uint32_t StopReportFlags() { return g_stopReportFlags; }

}  // namespace zentor
