#pragma once
// What the engine and the source pane are told when a program's symbols have been
// loaded: the engine forgets the report of the last stop (it belonged to the program
// before) and remembers that a program is loaded.

#include <cstdint>

namespace zentor {

// Sets the program-loaded flag and clears the text of the last stop report.
void ResetBreakReportOnLoad();
// Whether a program has been loaded since the start (or since the flag was cleared).
bool EngineProgramLoaded();
void ClearEngineProgramLoaded();

// The source pane's hook for the modification time of a newly loaded symbol file
// (seconds since 1970). It keeps nothing.
void SourcePaneLoadHook(uint32_t modificationTime);

}  // namespace zentor
