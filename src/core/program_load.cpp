#include "core/program_load.h"

#include "core/stop_report.h"

namespace zentor {
namespace {

bool g_programLoaded = false;

RWCString& ProgramFileName() {
  static RWCString name;
  return name;
}

}  // namespace

void ResetBreakReportOnLoad() {
  g_programLoaded = true;
  ClearLastStopText();
}

bool EngineProgramLoaded() { return g_programLoaded; }

void ClearEngineProgramLoaded() { g_programLoaded = false; }

void SetLoadedProgramFileName(const RWCString& name) { ProgramFileName() = name; }

RWCString LoadedProgramFileName() { return ProgramFileName(); }

void SourcePaneLoadHook(uint32_t /*modificationTime*/) {}

}  // namespace zentor
