#pragma once
// The put, append and remove commands. "put" and "append" save the debugger's own
// objects (variables, aliases, procedures) as command text that include reads back:
// one definition a line, values not saved. "put" writes a new file under a temporary
// name and puts it in place when the command ends, so a put that fails leaves any
// earlier file whole; "append" adds to the end of an existing file. "remove" deletes
// debug objects by name, by type word or all at once.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgCannotRemoveInBlock = 34;    // "Cannot remove variable in nested block."
inline constexpr uint32_t kMsgPutModeAnomaly = 190;        // "Anomaly in mode of PUT command."
inline constexpr uint32_t kMsgPutTypeAnomaly = 191;        // "Anomaly in type of PUT or APPEND command."
inline constexpr uint32_t kMsgPutFileError = 193;          // "I/O error using PUT/APPEND file <%s>."
inline constexpr uint32_t kMsgPutLocalObject = 194;        // "Attempt to PUT or APPEND a local debug object."

// Action routines (slot numbers in brackets).
void PutOpen();          // 126: pops the mode (0 append, 1 put); the file is named by the current token
void PutClose();         // 125
void PutNamed();         // 82: the object named by the current token
void PutByTypeWord();    // 88: pops a type code
void PutByTag();         // 85: pops a token
void PutAll();           // 90
void RemoveNamed();      // 77: the object named by the current token
void RemoveByTypeWord(); // 75: pops a type code (or a token)
void RemoveAll();        // 81

// Closes an open put or append file, dropping a put's unfinished temporary file.
void AbandonPutFile();

}  // namespace zentor
