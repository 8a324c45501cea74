#pragma once
// The start-up sequence: run once by the program entry before the first prompt. It
// reads the program's path and the command-line options, brings up every part of the
// interpreter in a fixed order, tells the target interface about each stage, prints
// the target's banner, chooses the command input (the console or a batch file), runs
// the queued "load" command of the first plain argument and opens the start-up macro
// file ("<base name>.cfg", from the current directory or the program's directory).

#include <cstdint>
#include <string>

namespace zentor {

inline constexpr uint32_t kMsgOptionNeedsValue = 90;   // "An argument was expected for the <-%s> option. Exiting."
inline constexpr uint32_t kMsgUnknownOption = 91;      // "An unknown option <-%s> was specified. Exiting."
inline constexpr uint32_t kMsgBatchFileMissing = 111;  // "The batch file specified does not exist."

// The program's arguments as the command loop received them.
struct ProgramArguments {
  int32_t count = 0;
  char** vector = nullptr;
};
ProgramArguments& GetProgramArguments();

// A position in the program's arguments.
class ArgumentCursor {
 public:
  explicit ArgumentCursor(const ProgramArguments& arguments) : m_arguments(&arguments) {}

  // The argument at the cursor; null before the first, past the last, or without a
  // vector.
  const char* Current() const;
  // The current argument, then one further.
  const char* Next();
  void Advance(int32_t n);
  int32_t Remaining() const;
  // The vector from the current argument on (null past the end).
  char* const* RemainingVector() const;
  int32_t Index() const { return m_index; }

 private:
  const ProgramArguments* m_arguments;
  int32_t m_index = 0;
};

// One row of the start-up option table.
struct StartupOption {
  const char* name;
  bool takesValue;
};

// What the option scan found. The flags are bytes as the options table sets them.
struct StartupOptionState {
  uint8_t ba = 0;
  uint8_t noba = 0;
  uint8_t mr = 1;  // on before any option is read
  uint8_t nomr = 0;
  uint8_t in = 0;
  uint8_t noin = 0;
  uint8_t bw = 0;
  uint8_t nobw = 0;
  uint8_t debug = 0;         // accepted, no further effect
  uint8_t noControlC = 0;    // accepted, no further effect
  uint8_t test = 0;          // the prompt leaves out the viewpoint text
  std::string batchFileName;
  std::string macroFileName;  // the value given with "mr"
  bool optionError = false;
  // The "load" command of the first plain argument and what follows it.
  bool commandQueued = false;
  std::string queuedCommand;
  // Split from argument 0.
  std::string programDirectory;
  std::string programBaseName;
  std::string startupMacroPath;
};
StartupOptionState& GetStartupOptionState();

// The rows of the option table, in table order.
const StartupOption* StartupOptionTable(uint32_t* count);

// Argument 0 split into its directory (up to and including the last separator, '/'
// or '\', possibly empty) and its base name (the file name up to its first '.', a
// leading '.' not counting).
void SplitProgramPath(const char* path, std::string* directory, std::string* baseName);

// True when the file can be opened for reading.
bool FileExists(const char* name);
// "<base name>.cfg" in the current directory, else in the program's directory; "" when
// neither exists.
std::string FindStartupMacro();

// Scans the options from the cursor on (see the option rules in startup.cpp); every
// bad option is reported as a FATAL ERROR and sets the option-error flag.
void ParseStartupOptions(ArgumentCursor& cursor);
// Applies the scanned options to the invocation settings, all but the colour scheme's
// pair, which ApplyColourSchemeOption applies before the windows exist.
void ApplyStartupOptions();
// "bw"/"nobw": when exactly one was given, the "bw" word takes the "bw" flag and the
// GUI is told the colour scheme (20 black and white, 10 colour); both given cancel.
void ApplyColourSchemeOption();

// Messages found before start-up ran (for example a bad settings-store record), shown
// as warnings at its start; at most 10 are kept.
void DeferStartupMessage(uint32_t number);

// Installs what each subsystem provides to the ones below it (the target interface,
// the symbol lookups, the console's error output). Startup does it first; tests of
// the lower subsystems do it in their set-up.
void InstallSubsystemServices();

// Runs the whole sequence. Raises a DVError only from the steps that are not
// protected; the protected ones report their errors in a message box and end the
// program only for a FATAL ERROR.
void Startup();

// A routine start-up runs right after it has bound every action slot (tests and
// benchmarks bind stand-ins there); null for none. It stays until replaced.
using StartupTestHook = void (*)();
void SetStartupTestHook(StartupTestHook hook);

// Forgets every option, queued command and argument (tests that run start-up more than
// once); deferred messages stay for the next start-up.
void ResetStartupState();

}  // namespace zentor
