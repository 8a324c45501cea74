#include "app/startup.h"

#include "command/action_table.h"
#include "command/command_arguments.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/postfix_executor.h"
#include "command/procedure_call.h"
#include "command/search_path_commands.h"
#include "console/char_channel.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_services.h"
#include "console/file_channel.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/program_names.h"
#include "core/startup_settings_words.h"
#include "core/stop_report.h"
#include "core/target_calls.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "engine/disassembly_listing.h"
#include "engine/engine_services.h"
#include "engine/watch_table.h"
#include "gui/dialog_description_file.h"
#include "gui/gui_actions.h"
#include "gui/layout_state.h"
#include "gui/target_to_gui.h"
#include "windows/command_window.h"
#include "windows/debugger_windows.h"
#include "windows/settings_dialogs.h"
#include "platform/file_system.h"
#include "support/rw_cstring.h"
#include "symbols/cv_loader.h"
#include "command/debug_variables.h"
#include "command/symbol_interpreter.h"
#include "command/symbol_lookup_commands.h"
#include "symbols/search_path.h"
#include "symbols/symbol_services.h"
#include "target/target_keywords.h"
#include "target/target_services.h"
#include "target/tmi_session.h"
#include "windows/window_classes.h"

#include <cstring>
#include <vector>

namespace zentor {
namespace {

constexpr uint32_t kMaxDeferredMessages = 10;
constexpr uint32_t kGuiStateConsole = 11;
constexpr uint32_t kColourSchemeBlackAndWhite = 20;
constexpr uint32_t kColourSchemeColour = 10;

// Rows in table order; the flag and value of each live in StartupOptionState.
constexpr StartupOption kOptions[] = {
    {"ba", true},  {"noba", false}, {"mr", true},   {"nomr", false},       {"in", false},   {"noin", false},
    {"bw", false}, {"nobw", false}, {"__debug__", false}, {"__no_control_c__", false}, {"test", false},
};
constexpr uint32_t kOptionCount = sizeof(kOptions) / sizeof(kOptions[0]);

uint8_t* FlagOfRow(StartupOptionState& state, uint32_t row) {
  uint8_t* flags[kOptionCount] = {&state.ba, &state.noba, &state.mr,    &state.nomr,       &state.in,  &state.noin,
                                  &state.bw, &state.nobw, &state.debug, &state.noControlC, &state.test};
  return flags[row];
}

std::string* ValueOfRow(StartupOptionState& state, uint32_t row) {
  if (row == 0) return &state.batchFileName;
  if (row == 2) return &state.macroFileName;
  return nullptr;
}

struct StartupStatics {
  ProgramArguments arguments;
  StartupOptionState options;
  std::vector<uint32_t> deferred;
  bool deferredShown = false;  // start-up has shown the deferred messages
  StartupTestHook testHook = nullptr;
};

StartupStatics& Statics() {
  static StartupStatics statics;
  return statics;
}

// On POSIX an absolute path begins with '/', so an argument beginning with '/' is an
// option only when the rest names an option exactly; elsewhere '/' always marks one.
#if defined(_WIN32)
constexpr bool kSlashMayBePath = false;
#else
constexpr bool kSlashMayBePath = true;
#endif

bool IsOptionSign(char ch) { return ch == '-' || ch == '/'; }

int32_t FindOptionRow(const char* name) {
  for (uint32_t row = 0; row < kOptionCount; ++row) {
    if (std::strcmp(kOptions[row].name, name) == 0) return static_cast<int32_t>(row);
  }
  return -1;
}

void ReportFatalOption(uint32_t number, const char* optionName) {
  DVError error(number, kSeverityFatal, kDisplayMessageBox);
  error.SetArg(0, optionName);
  error.Report();
  GetStartupOptionState().optionError = true;
}

// Reports a copy of the error (number, severity, arguments) shown by `displayMode`.
void ReportShownAs(const DVError& caught, uint32_t displayMode) {
  DVError error(caught.Number(), caught.Severity(), displayMode);
  for (uint32_t i = 0; i < caught.ArgumentCount(); ++i) error.SetArg(i, caught.Argument(i));
  error.Report();
}

// The handler of the protected steps: the error is shown in a message box; only a
// FATAL ERROR ends the program, the others let start-up go on.
template <typename Step>
void Protected(Step step) {
  try {
    step();
  } catch (const DVError& caught) {
    ReportShownAs(caught, kDisplayMessageBox);
    if (caught.Severity() == kSeverityFatal) ExitDebugger();
  }
}

void PrintBanner() {
  const TargetVersionBlock* block = GetTargetDescription();
  if (block == nullptr || block->m_printBanner == 0) return;
  for (const char* text : {block->m_maker, block->m_productName, block->m_version, block->m_notice,
                           block->m_emptyLine}) {
    OutputWriter::WriteString(text != nullptr ? text : "");
  }
}

void SelectCommandInput() {
  StartupOptionState& options = GetStartupOptionState();
  StartupSettingsWords& settings = GetStartupSettingsWords();
  if (options.ba == 0) {
    settings.m_batch = 0;
    OpenConsoleInput();
    return;
  }
  const char* name = options.batchFileName.c_str();
  if (FileExists(name) && OpenBatchInput(name)) {
    settings.m_batch = 1;
    return;
  }
  DVError missing(kMsgBatchFileMissing, kSeverityWarning, kDisplayMessageBox);
  missing.Report();
  settings.m_batch = 0;
  options.ba = 0;
  OpenConsoleInput();
}

void RunQueuedCommand() {
  StartupOptionState& options = GetStartupOptionState();
  if (!options.commandQueued) return;
  options.commandQueued = false;
  CommandParserLL::ResetSaveStack();
  uint16_t resultKind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  DVError error;
  const DVErrorCode status =
      ExecuteTextInto(options.queuedCommand.c_str(), kProductionCommand, &resultKind, value, &error);
  if (!status.IsOkay()) ReportShownAs(error, kDisplayByFocus);
}

void OpenStartupMacro() {
  StartupOptionState& options = GetStartupOptionState();
  if (GetStartupSettingsWords().m_macro != 1) return;
  const std::string& path = options.startupMacroPath;
  if (!path.empty() && FileExists(path.c_str())) {
    OpenIncludeDevice(path);
    return;
  }
  OutputWriter::WriteString("\r\n MACRO FILE:  ");
  OutputWriter::WriteString(path.c_str());
  OutputWriter::WriteString("\r\n  ERROR: Could not open for input\r\n");
}

bool EndTargetSession() {
  TargetStatus status;
  uint32_t declined = 0;
  TmiEndSession(&status, &declined);
  return declined == 0;
}

bool StartupOptionsInError() { return GetStartupOptionState().optionError; }

// At the end of the program a failure to end the agent session is no reason to stay.
void DisconnectTarget() {
  try {
    TargetCallWrapper::Disconnect();
  } catch (const DVError&) {
  }
}


}  // namespace

ProgramArguments& GetProgramArguments() { return Statics().arguments; }
StartupOptionState& GetStartupOptionState() { return Statics().options; }

const char* ArgumentCursor::Current() const {
  if (m_arguments->vector == nullptr || m_index < 0 || m_index >= m_arguments->count) return nullptr;
  return m_arguments->vector[m_index];
}

const char* ArgumentCursor::Next() {
  const char* argument = Current();
  ++m_index;
  return argument;
}

void ArgumentCursor::Advance(int32_t n) {
  if (n > 0) m_index += n;
}

int32_t ArgumentCursor::Remaining() const {
  const int32_t remaining = m_arguments->count - m_index;
  return remaining > 0 ? remaining : 0;
}

char* const* ArgumentCursor::RemainingVector() const {
  if (m_arguments->vector == nullptr || Remaining() == 0) return nullptr;
  return m_arguments->vector + m_index;
}

const StartupOption* StartupOptionTable(uint32_t* count) {
  *count = kOptionCount;
  return kOptions;
}

void SplitProgramPath(const char* path, std::string* directory, std::string* baseName) {
  directory->clear();
  baseName->clear();
  if (path == nullptr) return;
  const std::size_t length = std::strlen(path);
  std::size_t baseEnd = length;
  std::size_t baseStart = 0;
  for (std::size_t i = length; i > 1; --i) {
    const char ch = path[i - 1];
    if (ch == '.') baseEnd = i - 1;
    if (ch == '/' || ch == '\\') {
      baseStart = i;
      break;
    }
  }
  if (baseEnd < baseStart) baseEnd = length;
  directory->assign(path, baseStart);
  baseName->assign(path + baseStart, baseEnd - baseStart);
}

bool FileExists(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  const int32_t descriptor = FileChannel::Open(name, kOpenRead);
  if (descriptor < 0) return false;
  FileChannel::Close(descriptor);
  return true;
}

std::string FindStartupMacro() {
  const StartupOptionState& options = GetStartupOptionState();
  const std::string name = options.programBaseName + ".cfg";
  if (FileExists(name.c_str())) return name;
  const std::string inProgramDirectory = options.programDirectory + name;
  if (!options.programDirectory.empty() && FileExists(inProgramDirectory.c_str())) return inProgramDirectory;
  return std::string();
}

// 1. An argument beginning with '-' (or '/', see kSlashMayBePath) names an option of
//    the table, exactly and case-sensitively; an option that takes a value takes the
//    next argument whole (none, or one beginning with '-', is message 90).
// 2. An option the table does not know is offered to the target interface, which
//    answers how many arguments it took; 0 is message 91. Every bad option is
//    reported, and the scan goes on.
// 3. The first plain argument and all after it become the queued "load" command:
//    nothing after it is an option.
void ParseStartupOptions(ArgumentCursor& cursor) {
  StartupOptionState& state = GetStartupOptionState();
  for (;;) {
    const char* argument = cursor.Current();
    if (argument == nullptr || !IsOptionSign(argument[0])) break;
    const char* name = argument + 1;
    const int32_t row = FindOptionRow(name);
    if (row >= 0) {
      uint8_t* flag = FlagOfRow(state, static_cast<uint32_t>(row));
      *flag = 1;
      cursor.Advance(1);
      if (kOptions[row].takesValue) {
        const char* value = cursor.Current();
        if (value == nullptr || value[0] == '-') {
          *flag = 0;
          ReportFatalOption(kMsgOptionNeedsValue, name);
        } else {
          *ValueOfRow(state, static_cast<uint32_t>(row)) = value;
        }
        cursor.Advance(1);
      }
      continue;
    }
    uint32_t taken = 0;
    if (!state.optionError) {
      try {
        const char* const* slot = cursor.RemainingVector();
        TargetCallWrapper::OfferOption(0, slot, &taken);
        if (taken == kTmiOptionTakenWithValue) {
          taken = 2;
        } else if (taken == kTmiOptionTakenAlone) {
          taken = 1;
        }
      } catch (const DVError& caught) {
        ReportShownAs(caught, kDisplayMessageBox);
        if (caught.Severity() == kSeverityFatal) state.optionError = true;
        // The option was known to the target (its value was missing): it is used up.
        taken = 1;
      }
    }
    if (taken != 0) {
      cursor.Advance(static_cast<int32_t>(taken));
      continue;
    }
    if (kSlashMayBePath && argument[0] == '/') break;
    ReportFatalOption(kMsgUnknownOption, name);
    cursor.Advance(1);
  }
  const char* first = cursor.Current();
  if (first == nullptr) return;
  std::string command = "load";
  for (const char* argument = cursor.Current(); argument != nullptr && argument[0] != '\0';
       argument = cursor.Current()) {
    command += ' ';
    command += argument;
    cursor.Advance(1);
  }
  command += " \r";
  state.queuedCommand = command;
  state.commandQueued = true;
}

void ApplyStartupOptions() {
  StartupOptionState& options = GetStartupOptionState();
  StartupSettingsWords& settings = GetStartupSettingsWords();
  if (options.in != options.noin) settings.m_in = options.in;
  if (options.mr == options.nomr) {
    if (settings.m_macro == 1) options.mr = 1;
  } else {
    settings.m_macro = options.mr;
    // A file named with "mr" is the start-up macro; otherwise "<base name>.cfg" is
    // looked for.
    options.startupMacroPath = !options.macroFileName.empty() ? options.macroFileName : FindStartupMacro();
    if (options.startupMacroPath.empty()) settings.m_macro = 0;
    if (settings.m_macro == 1) NotifyGui(0, 0, kNotifyStartupMacro, options.startupMacroPath.c_str());
  }
  if (options.ba == options.noba) {
    if (settings.m_batch == 1) options.ba = 1;
  } else {
    settings.m_batch = options.ba;
    if (settings.m_batch == 1) NotifyGui(0, 0, kNotifyBatchFile, options.batchFileName.c_str());
  }
  SetPromptTestOption(options.test != 0);
  if (settings.m_console == 1) SetConsoleMode(true);
}

void ApplyColourSchemeOption() {
  const StartupOptionState& options = GetStartupOptionState();
  if (options.bw == options.nobw) return;
  GetStartupSettingsWords().m_bw = options.bw;
  const uint32_t scheme = options.bw == 1 ? kColourSchemeBlackAndWhite : kColourSchemeColour;
  NotifyGui(0, 0, kNotifyColourScheme, &scheme);
}

void DeferStartupMessage(uint32_t number) {
  std::vector<uint32_t>& deferred = Statics().deferred;
  if (deferred.size() < kMaxDeferredMessages) deferred.push_back(number);
}

// Damage the settings store finds at open is shown with start-up's other deferred
// messages, or at once when start-up has shown them already: the console program
// opens its store at its first record operation.
namespace {
void NoticeSettingsStoreDamage(uint32_t number) {
  if (!Statics().deferredShown) {
    DeferStartupMessage(number);
    return;
  }
  DVError warning(number, kSeverityWarning, kDisplayMessageBox);
  warning.Report();
}
}  // namespace

void InstallSubsystemServices() {
  InstallTargetServices();
  InstallEngineServices();
  InstallTargetToGui();
  InstallDialogDescriptionFile();
  TheDialogDescriptionFile().SetNoticeHandler(&NoticeSettingsStoreDamage);
  InstallSymbolServices();
  InstallConsoleServices();
  InstallCommandSymbolInterpreter();
  InstallWindowClasses();
  InstallCommandWindow();
}

void SetStartupTestHook(StartupTestHook hook) { Statics().testHook = hook; }

void ResetStartupState() {
  StartupStatics& statics = Statics();
  statics.options = StartupOptionState{};
  statics.deferredShown = false;
  ResetCommandArguments();
}

// The order matters: the options must be read before the GUI starts, the keyword
// table must exist before the target adds its words, the interpreter's files before
// the options that use them, the output before anything is printed, and the
// connection to the agent before the target's description (which the banner shows)
// is read.
void Startup() {
  // The services the layers below call come first: even a deferred warning's header
  // names a viewpoint through the target.
  InstallSubsystemServices();
  StartupStatics& statics = Statics();
  ArgumentCursor cursor(statics.arguments);
  StartupOptionState& options = statics.options;

  const std::vector<uint32_t> deferred = statics.deferred;
  statics.deferred.clear();
  for (uint32_t number : deferred) {
    DVError warning(number, kSeverityWarning, kDisplayMessageBox);
    warning.Report();
  }
  statics.deferredShown = true;

  SplitProgramPath(cursor.Next(), &options.programDirectory, &options.programBaseName);
  SetProgramNames(options.programDirectory, options.programBaseName);
  HiService(kGuiBusyCursor);
  Protected([&] {
    TargetCallWrapper::Notify_Stage0Text(RWCString((options.programDirectory + options.programBaseName).c_str()));
  });
  SetDefaultInvocationSettings();
  ParseStartupOptions(cursor);
  // The console program has no windows to keep between runs.
  SetExitServices(ExitServices{&EndTargetSession, IsConsoleMode() ? nullptr : &SaveSessionLayout,
                               &CloseDialogDescriptionFileAtExit, &StartupOptionsInError, &DisconnectTarget});
  if (options.optionError) ExitDebugger();
  // The scheme is chosen before the GUI starts: its start-up paints the first
  // windows, which must draw in the scheme the options chose from that first paint.
  ApplyColourSchemeOption();

  if (!IsConsoleMode()) {
    HiService(kGuiStartUp);
  } else {
    SetGuiStateWord(kGuiStateConsole);
  }
  CommandScanner::InitKeywords();
  ResetDebugVariables();
  CommandScanner::SetDefinitionReleaser(&ReleaseDefinedObject);
  BindCommandLoopActions();
  BindSearchPathActions();
  BindDisassemblyActions();
  BindEngineActions();
  BindTargetActions();
  BindSymbolLookupActions();
  BindGuiActions();
  InstallDebuggerWindows();
  InstallSettingsDialogs();
  if (Statics().testHook != nullptr) Statics().testHook();
  InstallCodeViewReader();
  Protected([] { TargetCallWrapper::Notify_AddKeywords(); });

  if (!CharChannel::IsCreated()) CharChannel::Create();
  InitCommandReader();
  CreateMacroText();
  InitPostfixExecutor();
  ValueStack::Create();
  ApplyStartupOptions();
  OpenConsoleOutput();

  SelectCommandInput();
  CleanupStack::Clear();
  Protected([] { TargetCallWrapper::Notify_Stage2(); });
  InitWatchTable();
  InitBreakReport();
  Protected([] { TargetCallWrapper::Notify_Connect(); });
  Protected([] { TargetCallWrapper::LoadTargetDescription(); });
  PrintBanner();
  ResetCommandInput();
  HiService(kGuiPopCursor);

  RunQueuedCommand();
  OpenStartupMacro();
}

}  // namespace zentor
