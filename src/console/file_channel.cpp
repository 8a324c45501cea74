#include "console/file_channel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/char_channel.h"
#include "console/console_bridge.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "platform/console_input.h"
#include "platform/file_system.h"
#include "platform/held_output.h"
#include "console/temp_files.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/target_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zentor {
namespace {

#if defined(_WIN32)
int SysOpen(const char* name, int flags) { return _open(name, flags | _O_BINARY, _S_IREAD | _S_IWRITE); }
int SysRead(int fd, void* buffer, uint32_t count) { return _read(fd, buffer, count); }
int SysWrite(int fd, const void* bytes, uint32_t count) { return _write(fd, bytes, count); }
long SysSeek(int fd, long offset, int origin) { return _lseek(fd, offset, origin); }
int SysClose(int fd) { return _close(fd); }
#else
int SysOpen(const char* name, int flags) { return ::open(name, flags | O_CLOEXEC, 0666); }
int SysRead(int fd, void* buffer, uint32_t count) { return static_cast<int>(::read(fd, buffer, count)); }
int SysWrite(int fd, const void* bytes, uint32_t count) { return static_cast<int>(::write(fd, bytes, count)); }
long SysSeek(int fd, long offset, int origin) { return static_cast<long>(::lseek(fd, offset, origin)); }
int SysClose(int fd) { return ::close(fd); }
#endif

constexpr const char* kConsoleInputName = ":CI:";
constexpr const char* kConsoleOutputName = ":CO:";
constexpr const char* kVideoOutputName = ":VO:";

// The runtime library's texts, keyed by the symbolic error so that every build shows
// the same text for the same failure (the numbers differ between the C libraries).
struct ErrorTextRow {
  int number;
  const char* text;
};

const ErrorTextRow kErrorTexts[] = {
    {0, "No error"},
    {EPERM, "Operation not permitted"},
    {ENOENT, "No such file or directory"},
    {ESRCH, "No such process"},
    {EINTR, "Interrupted function call"},
    {EIO, "Input/output error"},
    {ENXIO, "No such device or address"},
    {E2BIG, "Arg list too long"},
    {ENOEXEC, "Exec format error"},
    {EBADF, "Bad file descriptor"},
    {ECHILD, "No child processes"},
    {EAGAIN, "Resource temporarily unavailable"},
    {ENOMEM, "Not enough space"},
    {EACCES, "Permission denied"},
    {EFAULT, "Bad address"},
    {EBUSY, "Resource device"},
    {EEXIST, "File exists"},
    {EXDEV, "Improper link"},
    {ENODEV, "No such device"},
    {ENOTDIR, "Not a directory"},
    {EISDIR, "Is a directory"},
    {EINVAL, "Invalid argument"},
    {ENFILE, "Too many open files in system"},
    {EMFILE, "Too many open files"},
    {ENOTTY, "Inappropriate I/O control operation"},
    {EFBIG, "File too large"},
    {ENOSPC, "No space left on device"},
    {ESPIPE, "Invalid seek"},
    {EROFS, "Read-only file system"},
    {EMLINK, "Too many links"},
    {EPIPE, "Broken pipe"},
    {EDOM, "Domain error"},
    {ERANGE, "Result too large"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "Filename too long"},
    {ENOLCK, "No locks available"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Illegal byte sequence"},
};

struct ChannelState {
  std::array<int32_t, FileChannel::kOpenTableSize> openTable;
  int32_t lastError = 0;
  bool consoleInputOpened = false;
  bool consoleOutputOpened = false;
  bool firstOutputNoticeSent = false;
  int32_t standardInput = 0;
  int32_t standardOutput = 1;
  int8_t standardInputTerminal = -1;  // not asked yet
  // The standard input is read a block at a time (a file or a pipe would otherwise
  // cost a system call for every byte of every command); the bytes not yet taken wait
  // here, ahead of the descriptor's own position.
  std::array<uint8_t, 4096> inputAhead{};
  uint32_t aheadNext = 0;
  uint32_t aheadEnd = 0;
  // The standard output of console mode, when it is no terminal (a file or a pipe),
  // is gathered here and written a block at a time, as the C library writes a file:
  // a listing would otherwise cost a system call for every line. It goes out when the
  // block is full, before the program reads or waits for input, before anything goes
  // to the standard error, when the standard descriptors change and at the exit. A
  // terminal is written at once, as it always was.
  std::array<uint8_t, 8192> outputHeld{};
  uint32_t heldCount = 0;
  int8_t standardOutputTerminal = -1;  // not asked yet

  ChannelState();
  uint32_t AheadCount() const { return aheadEnd - aheadNext; }
  void DropAhead() { aheadNext = aheadEnd = 0; }
};

ChannelState& State() {
  static ChannelState state;
  return state;
}

ChannelState::ChannelState() {
  openTable.fill(-1);
  // A program that ends by another way than ExitProgram (a fatal error of the class
  // library) still writes what it held.
  platform::SetHeldOutputWriter(&FileChannel::FlushStandardOutput);
  std::atexit(&FileChannel::FlushStandardOutput);
}

ExitServices g_exitServices;
ProgramExitHandler g_exitHandler = nullptr;

bool IsReserved(int32_t descriptor) {
  return descriptor == kConsoleInputDescriptor || descriptor == kConsoleOutputDescriptor ||
         descriptor == kVideoOutputDescriptor;
}

int SysReadRetried(int fd, void* buffer, uint32_t count) {
  int result;
  do {
    result = SysRead(fd, buffer, count);
  } while (result < 0 && errno == EINTR);
  return result;
}

// What a read of the standard input takes: the bytes read ahead first; when there are
// none, one read of the descriptor refills them (a terminal answers the line typed,
// a file or a pipe what it holds), so a reader that waits still waits for the next
// byte only.
int32_t ReadStandardInput(uint8_t* buffer, uint32_t count) {
  ChannelState& state = State();
  if (state.AheadCount() == 0) {
    // The read may wait: whoever answers must first see what was written (a prompt).
    FileChannel::FlushStandardOutput();
    const int result = SysReadRetried(state.standardInput, state.inputAhead.data(),
                                      static_cast<uint32_t>(state.inputAhead.size()));
    if (result < 0) {
      state.lastError = errno;
      return 0;
    }
    state.aheadNext = 0;
    state.aheadEnd = static_cast<uint32_t>(result);
  }
  const uint32_t taken = std::min(count, state.AheadCount());
  std::memcpy(buffer, state.inputAhead.data() + state.aheadNext, taken);
  state.aheadNext += taken;
  state.lastError = 0;
  return static_cast<int32_t>(taken);
}

bool IsStandard(int32_t descriptor) {
  return descriptor == State().standardInput || descriptor == State().standardOutput;
}

// The terminal gets "\n" line ends: carriage returns are left out (the Windows C
// library turns each "\n" of its text-mode standard output into "\r\n" itself). The
// rest is gathered and written a chunk at a time, not a write for each stretch between
// carriage returns (two system calls for every line). A failed write answers how many
// of the bytes came before its chunk.
int32_t WriteToTerminal(int32_t descriptor, const uint8_t* bytes, uint32_t count) {
  uint8_t chunk[512];
  uint32_t next = 0;
  while (next < count) {
    const uint32_t start = next;
    uint32_t filled = 0;
    for (; next < count && filled < sizeof chunk; ++next) {
      if (bytes[next] != '\r') chunk[filled++] = bytes[next];
    }
    if (filled > 0 && SysWrite(descriptor, chunk, filled) != static_cast<int>(filled)) {
      State().lastError = errno;
      return static_cast<int32_t>(start);
    }
  }
  State().lastError = 0;
  return static_cast<int32_t>(count);
}

// Writes all the bytes, going on after a short write or a signal; false (the error
// kept) when the descriptor takes no more, with `written` how many it took.
bool WriteAll(int32_t descriptor, const uint8_t* data, uint32_t count, uint32_t* written) {
  *written = 0;
  while (*written < count) {
    const int result = SysWrite(descriptor, data + *written, count - *written);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      State().lastError = result < 0 ? errno : ENOSPC;
      return false;
    }
    *written += static_cast<uint32_t>(result);
  }
  return true;
}

bool StandardOutputIsTerminal() {
  ChannelState& state = State();
  if (state.standardOutputTerminal < 0) {
    state.standardOutputTerminal = platform::IsTerminal(state.standardOutput) ? 1 : 0;
  }
  return state.standardOutputTerminal != 0;
}

// Writes the held block; false (the error kept, the block dropped) when the
// standard output took less.
bool WriteHeld() {
  ChannelState& state = State();
  const uint32_t count = state.heldCount;
  state.heldCount = 0;
  uint32_t written = 0;
  return count == 0 || WriteAll(state.standardOutput, state.outputHeld.data(), count, &written);
}

// The console output of console mode: to a terminal at once, otherwise into the held
// block, in both cases without carriage returns. The bytes are taken a stretch between
// carriage returns at a time. A failed block write answers how many of the bytes were
// taken before it.
int32_t WriteStandardOutput(const uint8_t* bytes, uint32_t count) {
  ChannelState& state = State();
  if (StandardOutputIsTerminal()) return WriteToTerminal(state.standardOutput, bytes, count);
  uint32_t next = 0;
  while (next < count) {
    const void* carriageReturn = std::memchr(bytes + next, '\r', count - next);
    const uint32_t stretchEnd =
        carriageReturn != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(carriageReturn) - bytes) : count;
    while (next < stretchEnd) {
      if (state.heldCount == state.outputHeld.size() && !WriteHeld()) return static_cast<int32_t>(next);
      const uint32_t taken =
          std::min(stretchEnd - next, static_cast<uint32_t>(state.outputHeld.size()) - state.heldCount);
      std::memcpy(state.outputHeld.data() + state.heldCount, bytes + next, taken);
      state.heldCount += taken;
      next += taken;
    }
    if (carriageReturn != nullptr) ++next;
  }
  state.lastError = 0;
  return static_cast<int32_t>(count);
}

int32_t RecordOpened(int32_t descriptor) {
  for (int32_t& slot : State().openTable) {
    if (slot == -1) {
      slot = descriptor;
      return descriptor;
    }
  }
  // No slot: the file could never be closed at exit, so it is not kept open.
  SysClose(descriptor);
  State().lastError = EMFILE;
  return -1;
}

int32_t OpenByName(const char* name, int flags) {
  const int descriptor = SysOpen(name, flags);
  if (descriptor < 0) {
    State().lastError = errno;
    return -1;
  }
  State().lastError = 0;
  return RecordOpened(descriptor);
}

}  // namespace

int32_t FileChannel::Open(const char* name, uint32_t mode) {
  ChannelState& state = State();
  if (name == nullptr) {
    state.lastError = ENOENT;
    return -1;
  }
  switch (mode) {
    case kOpenRead:
      if (std::strcmp(name, kConsoleInputName) == 0) {
        state.lastError = 0;
        if (IsConsoleMode()) return state.standardInput;
        state.consoleInputOpened = true;
        return kConsoleInputDescriptor;
      }
      return OpenByName(name, O_RDONLY);
    case kOpenWrite:
      if (std::strcmp(name, kConsoleOutputName) == 0) {
        state.lastError = 0;
        if (IsConsoleMode()) return state.standardOutput;
        state.consoleOutputOpened = true;
        return kConsoleOutputDescriptor;
      }
      if (std::strcmp(name, kVideoOutputName) == 0) {
        state.lastError = 0;
        return kVideoOutputDescriptor;
      }
      return OpenByName(name, O_WRONLY | O_CREAT | O_TRUNC);
    case kOpenUpdate:
      return OpenByName(name, O_RDWR);
    default:
      state.lastError = EINVAL;
      return -1;
  }
}

int32_t FileChannel::Read(int32_t descriptor, void* buffer, uint32_t count) {
  ChannelState& state = State();
  if (buffer == nullptr || count == 0) return 0;
  if (descriptor == kConsoleInputDescriptor) {
    state.lastError = 0;
    const uint8_t key = PollConsoleKey();
    if (key == 0) return 0;
    *static_cast<uint8_t*>(buffer) = key;
    return 1;
  }
  if (descriptor == kConsoleOutputDescriptor || descriptor == kVideoOutputDescriptor) {
    state.lastError = EBADF;
    return 0;
  }
  if (descriptor == state.standardInput) return ReadStandardInput(static_cast<uint8_t*>(buffer), count);
  const int result = SysReadRetried(descriptor, buffer, count);
  if (result < 0) {
    state.lastError = errno;
    return 0;
  }
  state.lastError = 0;
  return result;
}

bool FileChannel::HasReadAhead(int32_t descriptor) {
  const ChannelState& state = State();
  return descriptor == state.standardInput && state.AheadCount() != 0;
}

int32_t FileChannel::Write(int32_t descriptor, const void* bytes, uint32_t count) {
  ChannelState& state = State();
  if (bytes == nullptr || count == 0) return 0;
  const auto* data = static_cast<const uint8_t*>(bytes);
  if (descriptor == kConsoleOutputDescriptor) {
    if (!state.firstOutputNoticeSent && state.consoleInputOpened && !state.consoleOutputOpened) {
      state.firstOutputNoticeSent = true;
      HiService(kGuiFirstCommandOutput);
    }
    state.lastError = 0;
    if (count == 1) {
      WriteConsoleChar(data[0]);
    } else {
      WriteConsoleText(reinterpret_cast<const char*>(data), count);
    }
    return static_cast<int32_t>(count);
  }
  if (descriptor == kConsoleInputDescriptor) {
    state.lastError = EBADF;
    return 0;
  }
  if (descriptor == kVideoOutputDescriptor || descriptor == state.standardOutput) {
    if (IsConsoleMode()) return WriteStandardOutput(data, count);
    FlushStandardOutput();
    if (descriptor == kVideoOutputDescriptor) return WriteToTerminal(state.standardOutput, data, count);
  }
  uint32_t written = 0;
  if (!WriteAll(descriptor, data, count, &written)) return static_cast<int32_t>(written);
  state.lastError = 0;
  return static_cast<int32_t>(written);
}

void FileChannel::FlushStandardOutput() {
  // The error of a block written between the program's own operations has no caller
  // to go to; the last operation's error stays what it was.
  ChannelState& state = State();
  if (state.heldCount == 0) return;
  const int32_t lastError = state.lastError;
  WriteHeld();
  state.lastError = lastError;
}

int32_t FileChannel::Seek(int32_t descriptor, uint8_t origin, int32_t offset) {
  int whence = SEEK_SET;
  if (origin == 1) whence = SEEK_CUR;
  if (origin == 2) whence = SEEK_END;
  if (IsReserved(descriptor)) {
    State().lastError = ESPIPE;
    return -1;
  }
  // The bytes read ahead of the standard input are still to come: a position counts
  // from the next of them, and a move drops them. The held output is written first,
  // so that the position counts it.
  ChannelState& state = State();
  if (descriptor == state.standardOutput) FlushStandardOutput();
  if (descriptor == state.standardInput && state.AheadCount() != 0) {
    if (whence == SEEK_CUR) offset -= static_cast<int32_t>(state.AheadCount());
    state.DropAhead();
  }
  const long position = SysSeek(descriptor, offset, whence);
  if (position < 0) {
    State().lastError = errno;
    return -1;
  }
  State().lastError = 0;
  return static_cast<int32_t>(position);
}

int32_t FileChannel::Tell(int32_t descriptor) { return Seek(descriptor, 1, 0); }

void FileChannel::Close(int32_t descriptor) {
  ChannelState& state = State();
  // The console is never closed; neither are the standard input and output of console
  // mode, which only stand for it.
  if (IsReserved(descriptor) || IsStandard(descriptor) || descriptor < 0) {
    state.lastError = 0;
    return;
  }
  std::string temporaryName;
  const bool temporary = TempFileTable::Release(descriptor, &temporaryName);
  if (SysClose(descriptor) != 0) {
    state.lastError = errno;
  } else {
    state.lastError = 0;
    for (int32_t& slot : state.openTable) {
      if (slot == descriptor) slot = -1;
    }
  }
  if (temporary) std::remove(temporaryName.c_str());
}

void FileChannel::ThrowOnError(uint32_t number, uint32_t severity) {
  const int32_t lastError = State().lastError;
  if (lastError == 0) return;
  DVError error(number, severity, kDisplayByFocus);
  error.SetArg(0, ErrorText(lastError).c_str());
  throw error;
}

int32_t FileChannel::GetFileInfo(int32_t descriptor, FileInfo* info) {
  if (info == nullptr || IsReserved(descriptor)) {
    State().lastError = EBADF;
    return -1;
  }
  if (descriptor == State().standardOutput) FlushStandardOutput();
#if defined(_WIN32)
  struct _stat status {};
  const int result = _fstat(descriptor, &status);
#else
  struct stat status {};
  const int result = ::fstat(descriptor, &status);
#endif
  if (result != 0) {
    State().lastError = errno;
    return -1;
  }
  State().lastError = 0;
  info->valid = 1;
  info->size = static_cast<int32_t>(status.st_size);
  info->accessTime = static_cast<uint32_t>(status.st_atime);
  info->modifyTime = static_cast<uint32_t>(status.st_mtime);
  info->changeTime = static_cast<uint32_t>(status.st_ctime);
  info->mode = static_cast<uint16_t>(status.st_mode);
  return 0;
}

bool FileChannel::NamesOpenFile(const char* name, int32_t descriptor) {
  if (name == nullptr || descriptor < 0 || IsReserved(descriptor)) return false;
  return platform::NamesOpenFile(name, descriptor);
}

int32_t FileChannel::LastError() { return State().lastError; }
void FileChannel::SetLastError(int32_t errorNumber) { State().lastError = errorNumber; }

std::string FileChannel::ErrorText(int32_t errorNumber) {
  for (const ErrorTextRow& row : kErrorTexts) {
    if (row.number == errorNumber) return row.text;
  }
  return "Unknown error";
}

void FileChannel::CloseAll() {
  for (int32_t descriptor : State().openTable) {
    if (descriptor != -1) Close(descriptor);
  }
}

std::size_t FileChannel::OpenFileCount() {
  std::size_t count = 0;
  for (int32_t descriptor : State().openTable) count += descriptor != -1 ? 1 : 0;
  return count;
}

void FileChannel::SetStandardDescriptors(int32_t input, int32_t output) {
  FlushStandardOutput();
  State().standardOutputTerminal = -1;
  State().DropAhead();
  State().standardInput = input;
  State().standardOutput = output;
  State().standardInputTerminal = -1;
}

int32_t FileChannel::StandardInput() { return State().standardInput; }
bool FileChannel::StandardInputIsTerminal() {
  ChannelState& state = State();
  if (state.standardInputTerminal < 0) state.standardInputTerminal = platform::IsTerminal(state.standardInput) ? 1 : 0;
  return state.standardInputTerminal != 0;
}

int32_t FileChannel::StandardOutput() { return State().standardOutput; }
bool FileChannel::ConsoleInputOpened() { return State().consoleInputOpened; }

void FileChannel::ResetFlags() {
  ChannelState& state = State();
  state.lastError = 0;
  state.consoleInputOpened = false;
  state.consoleOutputOpened = false;
  state.firstOutputNoticeSent = false;
}

void SetExitServices(const ExitServices& services) { g_exitServices = services; }

// 1. The target session ends; when the target side declines, nothing else happens.
// 2. Busy cursor; the layout is saved unless the options were in error; the dialog
//    description file is closed.
// 3. Console output still buffered is written, the log is closed, every temporary
//    file is deleted and every open file closed.
// 4. The GUI is told and asked to shut down (it ends the agent session); without a
//    GUI the agent session ends here, and so does the process.
void ExitDebugger() {
  if (g_exitServices.endTargetSession != nullptr && !g_exitServices.endTargetSession()) return;
  HiService(kGuiBusyCursor);
  const bool optionsInError =
      g_exitServices.startupOptionsInError != nullptr && g_exitServices.startupOptionsInError();
  if (!optionsInError && g_exitServices.saveSessionLayout != nullptr) g_exitServices.saveSessionLayout();
  if (g_exitServices.closeDialogDescriptionFile != nullptr) g_exitServices.closeDialogDescriptionFile();
  Pager::Flush();
  LogFile::Close();
  TempFileTable::DeleteAll();
  FileChannel::CloseAll();
  NotifyGui(0, 0, kNotifyExit, nullptr);
  CloseBatchInput();
  HiService(kGuiShutDown);
  if (IsConsoleMode() && g_exitServices.disconnectTarget != nullptr) g_exitServices.disconnectTarget();
  ExitProgram();
}

void SetProgramExitHandler(ProgramExitHandler handler) { g_exitHandler = handler; }

void ExitProgram() {
  FileChannel::FlushStandardOutput();
  if (g_exitHandler != nullptr) g_exitHandler();
  std::exit(0);
}

void DisconnectAndExit() {
  try {
    TargetCallWrapper::Disconnect();
  } catch (const DVError&) {
  }
  ExitProgram();
}

int32_t QueryFileStatus(int32_t descriptor, FileInfo* info) { return FileChannel::GetFileInfo(descriptor, info); }

}  // namespace zentor
