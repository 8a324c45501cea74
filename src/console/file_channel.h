#pragma once
// The thin file layer under the console, the log, batch and INCLUDE input and the
// symbol page cache. Files are opened by name through the runtime library's low-level
// I/O, in binary; the console has three reserved names; the runtime library's error
// number of the last operation is kept for a later error report; every file opened by
// name is recorded so that all of them can be closed at exit. The orderly shut-down
// of the whole program, ExitDebugger, lives here too.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentor {

// Reserved descriptors of the console in GUI mode.
inline constexpr int32_t kConsoleInputDescriptor = 255;   // ":CI:", the Command window's keys
inline constexpr int32_t kConsoleOutputDescriptor = 254;  // ":CO:", the Command window
inline constexpr int32_t kVideoOutputDescriptor = 253;    // ":VO:", the standard output

// Open modes of FileChannel::Open.
inline constexpr uint32_t kOpenRead = 0;
inline constexpr uint32_t kOpenWrite = 1;  // created when missing, truncated
inline constexpr uint32_t kOpenUpdate = 2;  // read and write of an existing file

// What FileChannel::GetFileInfo fills in the caller's record.
struct FileInfo {
  uint16_t valid = 0;
  int32_t size = 0;
  uint32_t accessTime = 0;
  uint32_t modifyTime = 0;
  uint32_t changeTime = 0;
  uint16_t mode = 0;
};

class FileChannel {
 public:
  static constexpr std::size_t kOpenTableSize = 20;

  // A descriptor, or -1 (the runtime library's error number kept). The reserved names
  // ":CI:" (read), ":CO:" and ":VO:" (write) are compared exactly; in console mode
  // ":CI:" is the standard input and ":CO:" the standard output. A file opened by name
  // is recorded in the open table; when the table is full the file is closed again
  // and the result is -1 ("Too many open files").
  static int32_t Open(const char* name, uint32_t mode);
  // Bytes read; 0 at the end and on failure. The Command window's descriptor reads
  // one key when one is waiting.
  static int32_t Read(int32_t descriptor, void* buffer, uint32_t count);
  // True when bytes of the descriptor were read ahead and wait to be taken: a read
  // then answers at once, without waiting on the descriptor.
  static bool HasReadAhead(int32_t descriptor);
  // Bytes written (the error kept on a short write). The console channel of console
  // mode writes line ends as "\n": carriage returns are not passed to the terminal.
  static int32_t Write(int32_t descriptor, const void* bytes, uint32_t count);
  // The new position, -1 on failure. Origin 0 from the start, 1 from the current
  // position, 2 from the end, any other value from the start.
  static int32_t Seek(int32_t descriptor, uint8_t origin, int32_t offset);
  static int32_t Tell(int32_t descriptor);
  // The console descriptors are never closed. A temporary file is deleted once closed.
  static void Close(int32_t descriptor);
  // Raises DVError (number, severity, shown by focus) with the runtime library's text
  // for the last error as its argument, when the last operation failed.
  static void ThrowOnError(uint32_t number, uint32_t severity);
  // 0 and the record filled on success; negative with the error kept on failure.
  static int32_t GetFileInfo(int32_t descriptor, FileInfo* info);
  // Whether `name` names the file open as `descriptor` (by the file's identity, not
  // its name's spelling); never for the console's reserved descriptors.
  static bool NamesOpenFile(const char* name, int32_t descriptor);

  static int32_t LastError();
  static void SetLastError(int32_t errorNumber);
  // The runtime library's message for an error number, the same text on every build
  // ("No error", "Operation not permitted", "No such file or directory", ...).
  static std::string ErrorText(int32_t errorNumber);

  // Closes every descriptor of the open table (exit).
  static void CloseAll();
  // Descriptors now in the open table.
  static std::size_t OpenFileCount();

  // The descriptors that stand for the standard input and output in console mode
  // (0 and 1 unless a test session puts files in their place).
  static void SetStandardDescriptors(int32_t input, int32_t output);
  static int32_t StandardInput();
  // Whether the standard input is a terminal, asked of the system once per standard
  // input (the reader asks for every byte it reads, and under Windows the question
  // costs a call into the system).
  static bool StandardInputIsTerminal();
  static int32_t StandardOutput();
  // Writes what console mode holds back of the standard output (a file or a pipe
  // gets it a block at a time); the next reader of the output's file sees it all.
  static void FlushStandardOutput();

  // True once ":CI:" was opened in GUI mode (first-output notice to the GUI).
  static bool ConsoleInputOpened();
  // Back to the start state: all flags clear, the error 0. Open files stay open.
  static void ResetFlags();
};

// The exit steps that belong to other subsystems. Each is optional.
struct ExitServices {
  // Ends the session with the target; false when the target side declines, and the
  // debugger then goes on.
  bool (*endTargetSession)() = nullptr;
  // Saves the window layout of the session.
  void (*saveSessionLayout)() = nullptr;
  // Closes the innermost open dialog description file.
  void (*closeDialogDescriptionFile)() = nullptr;
  // True when the start-up options were in error (the layout is then not saved).
  bool (*startupOptionsInError)() = nullptr;
  // Ends the session with the agent and closes the link; the GUI's shut-down does it
  // when there is a GUI, this in console mode.
  void (*disconnectTarget)() = nullptr;
};
void SetExitServices(const ExitServices& services);

// The orderly shut-down (the exit command, a fatal error, the end of the standard
// input in console mode): the target session ends, the temporary files are deleted,
// every open file is closed, the GUI is told and shut down. Without a GUI the process
// then ends. Returns only when the target side declines.
void ExitDebugger();

// Ends the process with exit code 0.
[[noreturn]] void ExitProgram();
// The GUI's end of the program: the agent session ends (a failure to end it is no
// reason to stay), then the process.
[[noreturn]] void DisconnectAndExit();
// The file's status (FileChannel::GetFileInfo): 0, or -1 with the channel's error.
int32_t QueryFileStatus(int32_t descriptor, FileInfo* info);

// Lets a test session see the end of the program instead of the process ending: the
// handler runs in place of the exit (it should throw); null restores the real exit.
using ProgramExitHandler = void (*)();
void SetProgramExitHandler(ProgramExitHandler handler);

}  // namespace zentor
