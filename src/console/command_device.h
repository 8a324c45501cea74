#pragma once
// The four sources of command text: the console (the Command window's line editor or
// the batch input), an INCLUDE file, a macro expansion and a command string held in
// memory. Devices nest on a device stack: a macro used in a line of an INCLUDE file
// typed at the console runs with the macro device on top of the INCLUDE device on top
// of the console. The command reader always reads from the device on top; when that
// device reports its end, the one below continues where it stopped.

#include <cstdint>
#include <string_view>

#include "core/dv_error_code.h"
#include "core/memory_file.h"

namespace zentor {

// Ids of the device records, as they are kept on the device stack.
enum class CommandDeviceId : uint32_t {
  kIncludeFile = 1,
  kConsole = 2,
  kMacroExpansion = 3,
  kCommandString = 4,
};

// One device kind: its operations and the number of its instances on the stack.
struct CommandDevice {
  CommandDeviceId id;
  void (*open)();
  void (*close)();
  // Saves the state of the instance already on the stack before another instance
  // of the same kind is pushed; resume restores it when that one ends.
  void (*suspend)();
  void (*resume)();
  // Stores the next character and answers true, or answers false at the end of the
  // device. The end travels apart from the data, so every byte value can be read.
  bool (*read)(uint8_t* ch);
  void (*echo)();
  uint16_t openInstances;
};

CommandDevice& IncludeFileDevice();
CommandDevice& ConsoleDevice();
CommandDevice& MacroExpansionDevice();
CommandDevice& CommandStringDevice();

CommandDevice& CurrentDevice();
// 0 while the console is the only device.
uint16_t DeviceStackDepth();

// Makes a device current above the present one. When its open operation fails the
// stack is as it was before and the error goes on.
void PushDevice(CommandDevice& device);
// Called by the reader when the current device reports its end.
void EndDevice();
// Makes a device current without touching the stack.
void SelectDevice(CommandDevice& device);
// Selects the console and restarts the command text.
void SelectConsoleDevice();

// The INCLUDE command: pushes the INCLUDE device reading `fileName`. A pending
// echo-off request turns echo off until the stack comes back below the new depth.
void OpenIncludeDevice(std::string_view fileName);
// Records the request (consumed by the next INCLUDE).
void SetEchoOffRequest();
bool IsEchoOffRequested();
// The scanner met a macro name: the current token carries the body's MemoryFile and
// the name's column, which becomes the echo column while the expansion is read.
void PushMacroDevice();
// Reads `text` (NUL-terminated, copied) as command input; echo comes back on when
// the stack returns below the new depth.
void PushCommandString(const char* text);
// True while the current device is an INCLUDE file or a command string.
bool IsInputFromFileOrString();
// True when `fileName` names a file commands are read from now: the console's batch
// file or, in console mode, its standard input, or the INCLUDE file being read (one
// suspended below another is closed, and refuses the log when it is opened again).
bool IsReadForCommands(const char* fileName);

// The byte stack under the devices: a device's save record is its bytes followed by
// their length.
void SaveOnDeviceStack(uint16_t length, const void* bytes);
// Reads back the newest save record into `destination` (at most `capacity` bytes;
// a longer record is an internal error) and returns its length.
uint16_t RestoreFromDeviceStack(void* destination, uint16_t capacity);

// The device stack's MemoryFile (created by InitCommandDevices).
void InitCommandDevices();
// Empties the stack: depth 0, the console current, every instance count 0.
void ResetCommandDevices();

// Raises the DVError of a failed MemoryFile status.
void ThrowIfMemoryFileError(DVErrorCode status);

}  // namespace zentor
