#include "console/char_channel.h"

#include <cerrno>
#include <cstring>

#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_timers.h"
#include "console/file_channel.h"
#include "console/line_editor.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/viewpoint_manager.h"
#include "platform/console_input.h"

#include <sys/stat.h>

namespace zentor {
namespace {

constexpr uint8_t kCarriageReturn = '\r';
constexpr uint8_t kLineFeed = '\n';
constexpr uint8_t kCtrlC = 3;
constexpr uint32_t kRequestLineWindowWidth = 500;
constexpr uint32_t kRequestPageLength = 502;

struct InputState {
  int32_t inputChannel = -1;
  int32_t consoleChannel = -1;
  bool batchActive = false;
  LineEndNormaliser normaliser;
  // Bytes the normaliser made for one input byte, not yet delivered.
  uint8_t pending[LineEndNormaliser::kMaxBytesPerInput] = {};
  std::size_t pendingCount = 0;
  std::size_t pendingIndex = 0;
  uint32_t lineWindowWidth = 0;
};

InputState g_input;

struct ChannelParts {
  MemoryFileHandle left = kNullMemoryFile;
  MemoryFileHandle right = kNullMemoryFile;
  int32_t firstVisible = 0;
  int32_t cursorOffset = 0;
};

ChannelParts g_parts;

void ThrowIfFailed(DVErrorCode status) {
  if (!status.IsOkay()) ThrowIfError(DVError(status));
}

void EmptyFile(MemoryFileHandle file) {
  if (file == kNullMemoryFile) return;
  ThrowIfFailed(SeekMemoryFile(file, 0));
  ThrowIfFailed(TruncateMemoryFile(file));
}

// Files and the standard input have their line ends made uniform; the Command
// window's keys come as typed.
bool NormalisesLineEnds(int32_t channel) { return channel != kConsoleInputDescriptor; }

uint8_t TakePending() { return g_input.pending[g_input.pendingIndex++]; }

uint8_t Deliver(std::size_t count) {
  g_input.pendingCount = count;
  g_input.pendingIndex = 0;
  return TakePending();
}

// The console stands in for the GUI's message loop while a viewpoint runs: the wait
// for input lasts until the next timer tick at most, and the due timers then run (the
// target's event poll, which reports a stop the moment it is seen). A stop reported
// behind the prompt starts on a line of its own. Otherwise the read blocks as usual.
// A batch file never makes the reader wait (nor do INCLUDE files and macros, read
// without this channel): their commands meet the stop in a wait command or in the
// next request to the target, which pumps the events first.
bool InputAtHand(int32_t channel) {
  if (channel == kConsoleInputDescriptor || FileChannel::HasReadAhead(channel) || !AnyConsoleTimer() ||
      !ViewpointManager::AnyRunning()) {
    return true;
  }
  FileChannel::FlushStandardOutput();
  if (platform::WaitForInput(channel, MillisecondsToNextConsoleTimer())) return true;
  OutputWriter::SetLineBreakBeforeOutput(OutputWriter::PromptStands());
  RunDueConsoleTimers();
  OutputWriter::SetLineBreakBeforeOutput(false);
  Pager::Flush();
  return false;
}

// The batch file has ended: input goes on from the console and the command that was
// being read ends.
[[noreturn]] void EndBatchFile() {
  FileChannel::Close(g_input.inputChannel);
  g_input.inputChannel = g_input.consoleChannel;
  g_input.batchActive = false;
  g_input.normaliser.Reset();
  Pager::PutChar('\r');
  Pager::PutChar('\n');
  throw DVError(kMsgUserBreak, kSeverityWarning, kDisplayNone);
}

}  // namespace

// ---------------------------------------------------------------------------
// LineEndNormaliser

std::size_t LineEndNormaliser::Feed(uint8_t input, uint8_t* out) {
  std::size_t count = 0;
  if (m_afterCarriageReturn) {
    m_afterCarriageReturn = false;
    out[count++] = kLineFeed;
    m_atLineStart = true;
    if (input == kLineFeed) return count;
  }
  if (input == kCarriageReturn) {
    out[count++] = kCarriageReturn;
    m_afterCarriageReturn = true;
    m_atLineStart = false;
  } else if (input == kLineFeed) {
    out[count++] = kCarriageReturn;
    out[count++] = kLineFeed;
    m_atLineStart = true;
  } else {
    out[count++] = input;
    m_atLineStart = false;
  }
  return count;
}

std::size_t LineEndNormaliser::Finish(uint8_t* out) {
  std::size_t count = 0;
  if (m_afterCarriageReturn) {
    out[count++] = kLineFeed;
  } else if (!m_atLineStart) {
    out[count++] = kCarriageReturn;
    out[count++] = kLineFeed;
  }
  m_afterCarriageReturn = false;
  m_atLineStart = true;
  return count;
}

void LineEndNormaliser::Reset() {
  m_afterCarriageReturn = false;
  m_atLineStart = true;
}

uint8_t LineEndNormaliser::SaveState() const {
  return static_cast<uint8_t>((m_afterCarriageReturn ? 1 : 0) | (m_atLineStart ? 2 : 0));
}

void LineEndNormaliser::RestoreState(uint8_t state) {
  m_afterCarriageReturn = (state & 1) != 0;
  m_atLineStart = (state & 2) != 0;
}

// ---------------------------------------------------------------------------
// CharChannel

void CharChannel::Create() {
  if (g_parts.left == kNullMemoryFile) ThrowIfFailed(CreateMemoryFile(-1, 1, &g_parts.left));
  if (g_parts.right == kNullMemoryFile) ThrowIfFailed(CreateMemoryFile(-1, 1, &g_parts.right));
  g_parts.firstVisible = 0;
  g_parts.cursorOffset = 0;
}

void CharChannel::Clear() {
  EmptyFile(g_parts.left);
  EmptyFile(g_parts.right);
  g_parts.firstVisible = 0;
  g_parts.cursorOffset = 0;
}

void CharChannel::Destroy() {
  if (g_parts.left != kNullMemoryFile) DestroyMemoryFile(g_parts.left);
  if (g_parts.right != kNullMemoryFile) DestroyMemoryFile(g_parts.right);
  g_parts = ChannelParts{};
}

bool CharChannel::IsCreated() { return g_parts.left != kNullMemoryFile; }
MemoryFileHandle CharChannel::LeftPart() { return g_parts.left; }
MemoryFileHandle CharChannel::RightPart() { return g_parts.right; }
int32_t CharChannel::FirstVisible() { return g_parts.firstVisible; }
int32_t CharChannel::CursorOffset() { return g_parts.cursorOffset; }

void CharChannel::SetScrollWindow(int32_t firstVisible, int32_t cursorOffset) {
  g_parts.firstVisible = firstVisible;
  g_parts.cursorOffset = cursorOffset;
}

// ---------------------------------------------------------------------------
// Input channels

void OpenConsoleInput() {
  g_input.inputChannel = FileChannel::Open(":CI:", kOpenRead);
  g_input.normaliser.Reset();
  g_input.pendingCount = 0;
  g_input.pendingIndex = 0;
}

bool OpenBatchInput(const char* fileName) {
  const int32_t descriptor = FileChannel::Open(fileName, kOpenRead);
  if (descriptor < 0) return false;
  FileInfo info;
  if (FileChannel::GetFileInfo(descriptor, &info) == 0 && (info.mode & S_IFMT) == S_IFDIR) {
    FileChannel::Close(descriptor);
    FileChannel::SetLastError(EISDIR);
    return false;
  }
  g_input.inputChannel = descriptor;
  g_input.consoleChannel = FileChannel::Open(":CI:", kOpenRead);
  g_input.batchActive = true;
  g_input.normaliser.Reset();
  g_input.pendingCount = 0;
  g_input.pendingIndex = 0;
  return true;
}

void CloseBatchInput() {
  if (!g_input.batchActive) return;
  FileChannel::Close(g_input.inputChannel);
  g_input.inputChannel = g_input.consoleChannel;
  g_input.batchActive = false;
  g_input.normaliser.Reset();
  g_input.pendingCount = 0;
}

bool IsBatchInputActive() { return g_input.batchActive; }
int32_t InputChannel() { return g_input.inputChannel; }

bool ConsoleRead(uint8_t* destination) {
  if (!IsConsoleMode() && !g_input.batchActive) {
    if (!CharChannel::IsCreated()) CharChannel::Create();
    MemoryFile& left = MemoryFileOf(CharChannel::LeftPart());
    if (left.Position() >= left.Size()) EditConsoleLine();
    ThrowIfFailed(MemoryFileOf(CharChannel::LeftPart()).Read(1, 1, destination));
    return true;
  }
  const uint8_t ch = ReadBatchChar();
  *destination = ch;
  if (!g_input.batchActive && g_input.inputChannel == FileChannel::StandardInput() &&
      FileChannel::StandardInputIsTerminal()) {
    // The terminal has already shown what was typed: only the column moves.
    OutputWriter::AdvanceColumn(static_cast<char>(ch));
  } else {
    Pager::PutChar(static_cast<char>(ch));
  }
  LogFile::PutChar(static_cast<char>(ch));
  return true;
}

// 1. Bytes the line-end rule made earlier are delivered first.
// 2. Without a batch file the pager's line is written out before a read that may
//    wait, so the prompt shows.
// 3. Each wait round applies the GUI's pending viewpoint selection and prints the
//    prompt when the output column is 0; while a viewpoint runs the round may end in
//    the due timers instead of a byte (InputAtHand); then one byte is read.
// 4. No byte: a batch file has ended (its missing last line end is delivered
//    first); the standard input of console mode has ended (the session ends); the
//    Command window had no key yet (wait on).
uint8_t ReadBatchChar() {
  if (g_input.pendingIndex < g_input.pendingCount) return TakePending();
  g_input.pendingCount = 0;
  g_input.pendingIndex = 0;
  // Bytes the standard input has already given are taken without a wait: the line
  // goes out with its end or before the next wait, not once for every byte.
  const bool mayWait = !FileChannel::HasReadAhead(g_input.inputChannel);
  if (!g_input.batchActive && mayWait) Pager::Flush();
  for (;;) {
    ViewpointManager::ApplyPendingSelection();
    if (OutputWriter::OutputColumn() == 0) {
      PrintPrompt();
      if (mayWait) Pager::Flush();
    }
    uint8_t byte = 0;
    const int32_t channel = g_input.inputChannel;
    if (!InputAtHand(channel)) continue;
    if (FileChannel::Read(channel, &byte, 1) == 1) {
      if (!NormalisesLineEnds(channel)) return byte;
      return Deliver(g_input.normaliser.Feed(byte, g_input.pending));
    }
    if (g_input.batchActive) {
      const std::size_t count = g_input.normaliser.Finish(g_input.pending);
      if (count > 0) return Deliver(count);
      EndBatchFile();
    }
    if (channel != kConsoleInputDescriptor) {
      const std::size_t count = g_input.normaliser.Finish(g_input.pending);
      if (count > 0) return Deliver(count);
      // Nothing more will ever come: the session ends as the exit command ends it.
      ExitDebugger();
      ExitProgram();
    }
  }
}

uint8_t ReadKey(bool wait) {
  if (IsConsoleMode()) return 0;
  if (g_input.batchActive) {
    uint8_t dropped = 0;
    FileChannel::Read(g_input.consoleChannel, &dropped, 1);
    return 0;
  }
  for (;;) {
    uint8_t key = 0;
    if (FileChannel::Read(g_input.inputChannel, &key, 1) == 1 && key != 0) {
      if (key == kCtrlC) {
        OutputWriter::WriteString("^C\n");
        throw DVError(kMsgUserBreak, kSeverityError, kDisplayNone);
      }
      return key;
    }
    if (!wait) return 0;
  }
}

int32_t HandleCommandWindowRequest(uint32_t window, uint32_t argument, uint32_t code, const void* value) {
  if (code != kRequestLineWindowWidth && code != kRequestPageLength) return -1;
  uint32_t word = 0;
  if (value != nullptr) std::memcpy(&word, value, sizeof word);
  if (code == kRequestLineWindowWidth) {
    g_input.lineWindowWidth = word;
  } else {
    Pager::SetPageLength(static_cast<uint16_t>(word & 0xFFFFu));
  }
  return 0;
}

uint32_t LineWindowWidth() { return g_input.lineWindowWidth; }

void ResetInputChannels() {
  if (g_input.batchActive) CloseBatchInput();
  g_input = InputState{};
}

}  // namespace zentor
