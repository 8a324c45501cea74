#include "console/command_device.h"

#include <string>
#include <vector>

#include "console/char_channel.h"
#include "console/command_reader.h"
#include "console/file_channel.h"
#include "console/include_device.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/token_record.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

// A device frame on the stack: the device that was current (its id, 4 bytes), the
// current character then (1 byte) and the depth then (2 bytes), little-endian.
constexpr uint32_t kFrameSize = 7;
// Once a record has been read back, a stack holding more than this many bytes above
// its top is cut back.
constexpr uint32_t kStackSlack = 100;

struct CommandStringFrame {
  std::string text;
  std::size_t index = 0;
};

// The device stack and everything about the devices but their table (below, which
// needs the routines it names); ResetCommandDevices puts all of it back.
struct DeviceState {
  MemoryFileHandle stack = kNullMemoryFile;
  CommandDevice* current = nullptr;
  uint16_t depth = 0;
  uint16_t echoOffDepth = 0;
  bool echoOffRequest = false;
  // Command strings in use, innermost last; one per command-string device instance.
  std::vector<CommandStringFrame> commandStrings;
};

DeviceState g_devices;

MemoryFile& Stack() {
  if (g_devices.stack == kNullMemoryFile) InitCommandDevices();
  return MemoryFileOf(g_devices.stack);
}

void NoOperation() {}

// The console device: its characters are already on the screen (the line editor or
// the batch echo wrote them), so its echo only counts them.
void ConsoleEcho() {
  OutputWriter::AdvanceColumn(static_cast<char>(CurrentChar()));
  SetEchoColumn(static_cast<uint16_t>(EchoColumn() + 1));
}

void FileEcho() {
  OutputWriter::PutChar(static_cast<char>(CurrentChar()));
  SetEchoColumn(static_cast<uint16_t>(EchoColumn() + 1));
}

bool CommandStringRead(uint8_t* ch) {
  if (g_devices.commandStrings.empty()) return false;
  CommandStringFrame& frame = g_devices.commandStrings.back();
  // The index stays at the end, so every later read ends the device again.
  if (frame.index >= frame.text.size()) return false;
  *ch = static_cast<uint8_t>(frame.text[frame.index++]);
  return true;
}

void CommandStringClose() {
  if (!g_devices.commandStrings.empty()) g_devices.commandStrings.pop_back();
}

CommandDevice g_includeDevice{CommandDeviceId::kIncludeFile, &IncludeOpen, &IncludeClose, &IncludeSuspend,
                              &IncludeResume, &IncludeRead, &FileEcho, 0};
CommandDevice g_consoleDevice{CommandDeviceId::kConsole, &NoOperation, &NoOperation, &NoOperation,
                              &NoOperation, &ConsoleRead, &ConsoleEcho, 0};
CommandDevice g_macroDevice{CommandDeviceId::kMacroExpansion, &MacroOpen, &MacroClose, &MacroSuspend,
                            &MacroResume, &MacroRead, &NoOperation, 0};
CommandDevice g_commandStringDevice{CommandDeviceId::kCommandString, &NoOperation, &CommandStringClose,
                                    &NoOperation, &NoOperation, &CommandStringRead, &NoOperation, 0};

CommandDevice& DeviceById(uint32_t id) {
  switch (static_cast<CommandDeviceId>(id)) {
    case CommandDeviceId::kIncludeFile: return g_includeDevice;
    case CommandDeviceId::kConsole: return g_consoleDevice;
    case CommandDeviceId::kMacroExpansion: return g_macroDevice;
    case CommandDeviceId::kCommandString: return g_commandStringDevice;
  }
  ZENTOR_INTERNAL_ERROR();
}

void WriteStack(const void* bytes, uint32_t count) { ThrowIfMemoryFileError(Stack().Write(1, count, bytes)); }

void PushFrame() {
  uint8_t frame[kFrameSize];
  const auto id = static_cast<uint32_t>(g_devices.current->id);
  value_bytes::StoreU32(frame, id);
  frame[4] = CurrentChar();
  value_bytes::StoreU16(frame + 5, g_devices.depth);
  WriteStack(frame, kFrameSize);
}

void PopFrame() {
  uint8_t frame[kFrameSize];
  ThrowIfMemoryFileError(Stack().ReadBack(kFrameSize, frame));
  const uint32_t id = value_bytes::LoadU32(frame);
  SelectDevice(DeviceById(id));
  SetCurrentChar(frame[4]);
  g_devices.depth = value_bytes::LoadU16(frame + 5);
}

}  // namespace

void ThrowIfMemoryFileError(DVErrorCode status) {
  if (!status.IsOkay()) ThrowIfError(DVError(status));
}

CommandDevice& IncludeFileDevice() { return g_includeDevice; }
CommandDevice& ConsoleDevice() { return g_consoleDevice; }
CommandDevice& MacroExpansionDevice() { return g_macroDevice; }
CommandDevice& CommandStringDevice() { return g_commandStringDevice; }

CommandDevice& CurrentDevice() {
  if (g_devices.current == nullptr) g_devices.current = &g_consoleDevice;
  return *g_devices.current;
}

uint16_t DeviceStackDepth() { return g_devices.depth; }

// 1. Another instance of the same kind saves its state (it lies under the frame).
// 2. The frame of the present device goes on the stack and the new one opens.
// 3. When opening fails, the frame and the saved state come off again.
void PushDevice(CommandDevice& device) {
  CommandDevice& previous = CurrentDevice();
  const uint8_t previousChar = CurrentChar();
  const bool suspended = device.openInstances != 0;
  if (suspended) device.suspend();
  ++device.openInstances;
  bool framePushed = false;
  try {
    PushFrame();
    framePushed = true;
    SelectDevice(device);
    device.open();
  } catch (...) {
    // Back to the state before the push: the frame is dropped when it was written,
    // the earlier instance restored.
    if (framePushed) {
      MemoryFile& stack = Stack();
      (void)stack.Seek(stack.Position() - kFrameSize);
    }
    SelectDevice(previous);
    SetCurrentChar(previousChar);
    --device.openInstances;
    if (suspended) device.resume();
    throw;
  }
  SetCurrentChar('\n');
  ++g_devices.depth;
}

void EndDevice() {
  if (g_devices.depth == 0) return;  // the console never ends
  CommandDevice& ended = CurrentDevice();
  ended.close();
  if (ended.openInstances > 0) --ended.openInstances;
  void (*resumeLater)() = ended.openInstances > 0 ? ended.resume : nullptr;
  if (g_devices.depth == g_devices.echoOffDepth && !IsEchoOn()) {
    SetEchoOn(true);
    PrintPrompt();
  }
  const bool wasMacro = &ended == &g_macroDevice;
  PopFrame();
  SetCaptureDepthLimit(g_devices.depth);
  if (resumeLater != nullptr) resumeLater();
  if (wasMacro) {
    uint8_t echoColumn = 0;
    ThrowIfMemoryFileError(Stack().ReadBack(1, &echoColumn));
    SetEchoColumn(echoColumn);
  }
}

void SelectDevice(CommandDevice& device) { g_devices.current = &device; }

void SelectConsoleDevice() {
  SelectDevice(g_consoleDevice);
  SetRestartFlag();
}

void OpenIncludeDevice(std::string_view fileName) {
  SetIncludeFileName(fileName);
  PushDevice(g_includeDevice);
  if (g_devices.echoOffRequest) {
    g_devices.echoOffDepth = g_devices.depth;
    g_devices.echoOffRequest = false;
    SetEchoOn(false);
  }
}

void SetEchoOffRequest() { g_devices.echoOffRequest = true; }
bool IsEchoOffRequested() { return g_devices.echoOffRequest; }

void PushMacroDevice() {
  const uint8_t echoColumn = static_cast<uint8_t>(EchoColumn() > 0xFF ? 0xFF : EchoColumn());
  WriteStack(&echoColumn, 1);
  try {
    PushDevice(g_macroDevice);
  } catch (...) {
    MemoryFile& stack = Stack();
    if (stack.Position() >= 1) (void)stack.Seek(stack.Position() - 1);
    throw;
  }
  SetEchoColumn(CurrentToken().column);
}

void PushCommandString(const char* text) {
  g_devices.commandStrings.push_back(CommandStringFrame{text != nullptr ? std::string(text) : std::string(), 0});
  try {
    PushDevice(g_commandStringDevice);
  } catch (...) {
    g_devices.commandStrings.pop_back();
    throw;
  }
  g_devices.echoOffDepth = g_devices.depth;
}

bool IsInputFromFileOrString() {
  const CommandDevice& current = CurrentDevice();
  return &current == &g_includeDevice || &current == &g_commandStringDevice;
}

// The standard input of console mode is asked about even under a batch file: the
// console goes on reading it when the batch file ends.
bool IsReadForCommands(const char* fileName) {
  return FileChannel::NamesOpenFile(fileName, InputChannel()) ||
         (IsConsoleMode() && FileChannel::NamesOpenFile(fileName, FileChannel::StandardInput())) ||
         FileChannel::NamesOpenFile(fileName, IncludeFileDescriptor());
}

void SaveOnDeviceStack(uint16_t length, const void* bytes) {
  if (length > 0) WriteStack(bytes, length);
  uint8_t lengthBytes[2];
  value_bytes::StoreU16(lengthBytes, length);
  WriteStack(lengthBytes, 2);
}

uint16_t RestoreFromDeviceStack(void* destination, uint16_t capacity) {
  MemoryFile& stack = Stack();
  uint8_t lengthBytes[2];
  ThrowIfMemoryFileError(stack.ReadBack(2, lengthBytes));
  const uint16_t length = value_bytes::LoadU16(lengthBytes);
  if (length > capacity) ZENTOR_INTERNAL_ERROR();
  if (length > 0) ThrowIfMemoryFileError(stack.ReadBack(length, destination));
  if (stack.Size() - stack.Position() > kStackSlack) stack.TruncateKeepingFirstPage();
  return length;
}

void InitCommandDevices() {
  if (g_devices.stack == kNullMemoryFile) {
    ThrowIfMemoryFileError(CreateMemoryFile(-1, 1, &g_devices.stack));
  }
}

void ResetCommandDevices() {
  if (g_devices.stack != kNullMemoryFile) {
    MemoryFileOf(g_devices.stack).Clear();
  }
  g_devices.depth = 0;
  g_devices.echoOffDepth = 0;
  g_devices.echoOffRequest = false;
  g_devices.commandStrings.clear();
  g_includeDevice.openInstances = 0;
  g_consoleDevice.openInstances = 0;
  g_macroDevice.openInstances = 0;
  g_commandStringDevice.openInstances = 0;
  SelectConsoleDevice();
}

}  // namespace zentor
