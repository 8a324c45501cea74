#pragma once
// The running program's directory and base name as start-up split them from its
// first argument. Start-up (above every subsystem) records them here; the GUI's layout
// code asks for them to name its files.

#include <string>

namespace zentor {

// Buffers that receive a program name hold this many bytes (the Windows path limit).
inline constexpr std::size_t kProgramNameBufferSize = 260;

void SetProgramNames(const std::string& directory, const std::string& baseName);
// Up to and including the last separator; "" before start-up.
const std::string& ProgramDirectory();
// The file name up to its first '.'; "" before start-up.
const std::string& ProgramBaseName();
// The same into a caller's buffer of kProgramNameBufferSize bytes (cut to fit; a null
// buffer gets nothing).
void GetProgramBaseName(char* buffer);
void GetProgramDirectory(char* buffer);

}  // namespace zentor
