#pragma once
// Calls of debug procedures. A call is built by action routines while its arguments
// are evaluated: each evaluated argument is moved from the value stack into the
// procedure frame file, then the procedure's postfix code runs, reading its arguments
// and their count from the frame, until its return. Frames nest with calls: each one
// starts with the caller's frame record, which the return puts back in force.
//
// Frame file layout, one frame after another: the caller's frame record (16 bytes,
// little-endian: argument count u16, call argument count u16, write position u32,
// argument table end u32, frame start u32); the argument records {u16 kind, u16 size,
// the value's bytes}; the argument position table, one u32 frame-file position per
// argument, the last argument's first.

#include <cstdint>

#include "core/memory_file.h"

namespace zentor {

inline constexpr uint32_t kMsgParameterOutsideProc = 32;  // "Parameter outside the body of a PROC."
inline constexpr uint32_t kMsgNotADebugProc = 33;         // "The name <%s> is not a debug PROC."

// The frame record of the innermost call being built or run.
struct ProcFrameRecord {
  static constexpr uint32_t kImageSize = 16;

  uint16_t argumentCount = 0;      // arguments moved so far by the call being built
  uint16_t callArgumentCount = 0;  // arguments of the running call
  uint32_t writePosition = 0;      // where the next argument record goes
  uint32_t argumentTableEnd = 0;   // just after the running call's position table
  uint32_t frameStart = 0;         // just after the saved caller record of this frame

  void WriteImage(uint8_t* image) const;
  static ProcFrameRecord ReadImage(const uint8_t* image);
};

// The frame file is shrunk at a return only when more than this lies past its position.
inline constexpr uint32_t kFrameFileShrinkSlack = 500;

// Created once by InitPostfixExecutor; emptied before every command.
void CreateProcedureFrameFile();
void ResetProcedureFrames();
MemoryFileHandle ProcedureFrameFile();
const ProcFrameRecord& CurrentProcFrame();

// Debug procedures, kept by id: the keyword table's value of a procedure name (token
// 84) is the id of its record here, which holds the body's postfix code and the
// body's source text, each a MemoryFile.
struct ProcedureRecord {
  MemoryFileHandle code = kNullMemoryFile;
  MemoryFileHandle text = kNullMemoryFile;
};
// Takes ownership of both files; the id is never 0.
uint32_t AddProcedure(const ProcedureRecord& record);
// The record of an id; an id naming none is an internal error.
const ProcedureRecord& ProcedureOf(uint32_t id);
MemoryFileHandle ProcedureCode(uint32_t id);
// Destroys both files and frees the id (an id naming none is ignored).
void ReleaseProcedure(uint32_t id);
uint32_t LiveProcedureCount();
// The keyword table's releaser of defined objects as far as procedures go: a removed
// procedure name (token 84) releases its record; other tokens are left alone.
void ReleaseDefinedProcedure(uint8_t token, uint32_t value, const char* name);

// Action routines.
// Slot 54: the procedure named by the current token from the running code: its body
// is the nested block that follows, its text the embedded block after that. A
// procedure of that name is replaced; any other defined or built-in name raises 30.
void DefineProcedure();
void ProcBeginCall();      // slot 41
void ProcPassArgument();   // slot 36
void ProcCall();           // slot 40
void ProcArgument();       // slot 39
void ProcArgumentCount();  // slot 38
void ProcReturn();         // slot 151

}  // namespace zentor
