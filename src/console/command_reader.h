#pragma once
// The command reader hands the scanner the command text one character at a time. It
// takes each character from the current command device, keeps the text of the
// command read at the console (or batch input), echoes what comes from files, prints
// the prompt, tracks the nesting of compound commands, and can capture the text of a
// command block so that it is stored in the postfix code instead of being run.

#include <cstdint>

#include "core/dv_error_code.h"
#include "core/memory_file.h"

namespace zentor {

// Creates the device stack, the command text and the copy buffer and selects the
// console.
void InitCommandReader();

// Reads the next character into the current character. The end of a device returns
// to the device below (its saved current character becomes current again).
void ReadNextChar();
uint8_t CurrentChar();
void SetCurrentChar(uint8_t ch);

// The viewpoint's display text (unless the "test" option is set), one '.' per
// compound level and '>' ('?' while the target runs); the pager's line is written.
void PrintPrompt();
// Drops the rest of the current input line.
void DiscardInputLine();
// Before each command: level 0, the rest of the previous line dropped, the macro text
// emptied, the command text restarted.
void PrepareCommandInput();
// A command continues on the next line: doubled prompt character.
void RepromptAfterDiscard();
// Returns every device to the console and empties the reader's buffers.
void ResetCommandInput();
// The recovery after a user break: the command-end routines run (as after the
// pager's quit) and all input returns to the console.
void RecoverFromUserBreak();

void EnterCompound();
void LeaveCompound();
// Raises message 83 inside a compound command.
void RefuseInCompound();
uint8_t CompoundLevel();

// Tells DiscardInputLine that the rest of the line is already gone.
void SetLineConsumed(bool consumed);

// Capture of a command block's text.
void BeginCapture();
// Hands the block (from the copy buffer at its position, `length` bytes) to the
// parser's embedded-block emitter.
using EmbeddedBlockEmitter = DVErrorCode (*)(MemoryFileHandle source, uint32_t length);
void EndCapture(EmbeddedBlockEmitter emit);
void CaptureUnwind();
uint16_t CaptureCount();
void SetCaptureDepthLimit(uint16_t depth);

bool IsEchoOn();
void SetEchoOn(bool on);
uint16_t EchoColumn();
void SetEchoColumn(uint16_t column);
void SetDoubledPrompt();
// The start-up option "test": the prompt leaves out the viewpoint text.
void SetPromptTestOption(bool on);
bool PromptTestOption();
// The viewpoint text the last prompt printed; empty with the "test" option.
const char* LastPromptViewpointText();
void SetRestartFlag();

// The text of the command read at device stack depth 0, and the capture copy buffer.
MemoryFileHandle CommandText();
MemoryFileHandle CopyBuffer();

}  // namespace zentor
