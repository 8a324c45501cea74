#pragma once
// The two arguments commands take from their text: a file name (the current token)
// and the raw rest of a line. Two action routines fill them; the commands that
// follow read them.

#include <cstdint>

namespace zentor {

// Slot 167: the current token's text (at most 255 characters) becomes the file-name
// argument.
void TakeFileNameArgument();
// Slot 164: the rest of the input line (a '\' before the line end continues it on
// the next line) becomes the raw-line argument, cut to 255 characters.
void TakeRawLineArgument();
const char* FileNameArgument();
const char* RawLineArgument();
uint16_t RawLineArgumentLength();

// Binds the argument actions of slots 164 and 167 (the table starts without them).
void BindCommandLoopActions();

// Empties both arguments (start-up run again).
void ResetCommandArguments();

}  // namespace zentor
