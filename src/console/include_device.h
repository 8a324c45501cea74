#pragma once
// The INCLUDE file device: feeds the command reader the bytes of a command file, with
// its line ends made uniform (CR LF). While another INCLUDE file runs on top of it,
// the file is closed and its state saved on the device stack; it is reopened by name
// and positioned again when the inner one ends.

#include <cstdint>
#include <string>
#include <string_view>

namespace zentor {

// The most INCLUDE files open on the device stack at once (a file that includes
// itself stops here instead of growing the stack without end).
inline constexpr uint16_t kMaxIncludeNesting = 32;
// The longest INCLUDE file name accepted.
inline constexpr std::size_t kMaxIncludeNameLength = 1023;

// The name the next IncludeOpen opens (set by OpenIncludeDevice).
void SetIncludeFileName(std::string_view fileName);

// Device operations.
void IncludeOpen();
void IncludeClose();
void IncludeSuspend();
void IncludeResume();
bool IncludeRead(uint8_t* ch);

bool IsIncludeFileOpen();
std::string IncludeFileName();
// The open file's descriptor, -1 when none is open.
int32_t IncludeFileDescriptor();
// Forgets the open file without raising (used when all input is reset).
void AbandonIncludeFile();

}  // namespace zentor
