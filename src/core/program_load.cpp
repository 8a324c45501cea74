#include "core/program_load.h"

#include "core/stop_report.h"

namespace zentor {
namespace {

bool g_programLoaded = false;

}  // namespace

void ResetBreakReportOnLoad() {
  g_programLoaded = true;
  ClearLastStopText();
}

bool EngineProgramLoaded() { return g_programLoaded; }

void ClearEngineProgramLoaded() { g_programLoaded = false; }

void SourcePaneLoadHook(uint32_t /*modificationTime*/) {}

}  // namespace zentor
