#pragma once
// What the engine and the source pane are told when a program's symbols have been
// loaded: the engine forgets the report of the last stop (it belonged to the program
// before) and remembers that a program is loaded.

#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

// Sets the program-loaded flag and clears the text of the last stop report.
void ResetBreakReportOnLoad();
// Whether a program has been loaded since the start (or since the flag was cleared).
bool EngineProgramLoaded();
void ClearEngineProgramLoaded();
// The file name of the program whose symbols were loaded last, as the load was asked
// for; the named breakpoint and watch sets are kept under it. Empty before a load.
void SetLoadedProgramFileName(const RWCString& name);
RWCString LoadedProgramFileName();

// The source pane's hook for the modification time of a newly loaded symbol file
// (seconds since 1970). It keeps nothing.
void SourcePaneLoadHook(uint32_t modificationTime);

}  // namespace zentor
