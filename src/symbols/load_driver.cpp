#include "symbols/load_driver.h"

#include <algorithm>
#include <new>

#include "symbols/search_path.h"
#include "symbols/symbol_context.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_load.h"

namespace zentor {
namespace {

// What the driver does with a status it receives at one step of a load.
enum class StatusAction {
  GoOn,          // the load continues
  ReturnQuietly, // the load ends with 0, nothing reported
  Warn,          // the message is reported as a warning; the step decides what follows
  Raise,         // the message is raised
};

struct StatusOutcome {
  uint32_t m_status;
  StatusAction m_action;
  uint32_t m_message;
  uint32_t m_severity;
};

// The last row of each table, which matches every status the rows above do not.
constexpr uint32_t kAnyOtherStatus = 0xFFFFFFFFu;

// Opening the file (the loader factory's status).
constexpr StatusOutcome kOpenFileOutcomes[] = {
    {kLoadableOkay, StatusAction::GoOn, 0, 0},
    {kLoadableNotFound, StatusAction::ReturnQuietly, 0, 0},
    {kLoadableUnsupportedFormat, StatusAction::Raise, kMsgUnsupportedLoadFormat, kSeverityError},
    {kLoadableUnsupportedFormatToo, StatusAction::Raise, kMsgUnsupportedLoadFormat, kSeverityError},
    {kLoadableFormatNotAsExpected, StatusAction::Raise, kMsgFormatNotAsExpected, kSeverityError},
    {kLoadableNoMemory, StatusAction::Raise, kMsgHostAllocationFailed, kSeverityInternal},
    {kAnyOtherStatus, StatusAction::Raise, kMsgUnexpectedLoadableStatus, kSeverityInternal},
};

// Opening the symbolic information; a warning here ends the load.
constexpr StatusOutcome kOpenSymbolicsOutcomes[] = {
    {kLoadableOkay, StatusAction::GoOn, 0, 0},
    {kLoadableInconsistent, StatusAction::Warn, kMsgSymbolicsInconsistent, kSeverityWarning},
    {kLoadableNoSymbolics, StatusAction::Warn, kMsgNoSymbolics, kSeverityWarning},
    {kLoadableUnsupportedSymbolics, StatusAction::Warn, kMsgSymbolicsUnsupported, kSeverityWarning},
    {kAnyOtherStatus, StatusAction::Raise, kMsgUnexpectedSymbolicsStatus, kSeverityError},
};

// The load pass; a warning here keeps what was loaded and the load goes on.
constexpr StatusOutcome kLoadSymbolicsOutcomes[] = {
    {kLoadableOkay, StatusAction::GoOn, 0, 0},
    {kLoadableInconsistent, StatusAction::Warn, kMsgSymbolicsInconsistent, kSeverityWarning},
    {kLoadableUserBreak, StatusAction::Raise, kMsgControlCDetected, kSeverityError},
    {kAnyOtherStatus, StatusAction::Raise, kMsgUnexpectedSymbolicsStatus, kSeverityInternal},
};

template <size_t N>
const StatusOutcome& OutcomeOf(const StatusOutcome (&table)[N], uint32_t status) {
  for (const StatusOutcome& row : table) {
    if (row.m_status == status || row.m_status == kAnyOtherStatus) return row;
  }
  return table[N - 1];
}

// Reports a warning outcome or raises a raising one; the action for the caller.
StatusAction Apply(const StatusOutcome& outcome) {
  if (outcome.m_action == StatusAction::Raise) throw DVError(outcome.m_message, outcome.m_severity);
  if (outcome.m_action == StatusAction::Warn) DVError(outcome.m_message, outcome.m_severity).Report();
  return outcome.m_action;
}

void ReportWarning(uint32_t message) { DVError(message, kSeverityWarning).Report(); }

// The load state, shared by all loads. The current loadable is the one of the last
// load (and, while an on-demand load runs, that load's); it is owned by the registry,
// or by m_unregistered when the registry does not hold it.
struct DriverState {
  Formatted_Loadable* m_current = nullptr;
  std::unique_ptr<Formatted_Loadable> m_unregistered;
  std::unique_ptr<LoadOptions> m_options;
  LoadRequest m_request;
};

DriverState& Driver() {
  static DriverState state;
  return state;
}

void ForgetCurrentLoadable() {
  DriverState& driver = Driver();
  driver.m_current = nullptr;
  driver.m_unregistered.reset();
}

// Destroys the options; unless told to keep it, forgets the current loadable; tells
// the engine a program has been loaded.
void ReleaseLoadState(bool keepCurrent) {
  Driver().m_options.reset();
  if (!keepCurrent) ForgetCurrentLoadable();
  ResetBreakReportOnLoad();
  if (!Driver().m_request.m_fileName.isNull()) SetLoadedProgramFileName(Driver().m_request.m_fileName);
}

// Tries the entries of a search-path text until the file opens.
bool OpenAlongPath(LoaderInputFile& file, const RWCString& pathText, const RWCString& fileName) {
  for (const RWCString& entry : SearchPathEntries(pathText)) {
    if (file.Open(JoinSearchPathEntry(entry, fileName).data()) != 0) return true;
  }
  return false;
}

// Under its name, else along the current viewpoint's search path, else along the
// global one.
bool OpenSymbolFile(LoaderInputFile& file, const RWCString& name) {
  if (name.isNull()) return false;
  return file.Open(name.data()) != 0 || OpenAlongPath(file, GetCurrentSymbolContext()->SourcePathList().AsText(), name) ||
         OpenAlongPath(file, GetGlobalSearchPath()->AsText(), name);
}

// The steps of a load after the loadable was made (see LoadSymbolFile).

uint32_t RunLoad(const char* fileName, uint32_t codeBase, uint32_t dataBase, int32_t& slot) {
  DriverState& driver = Driver();
  LoadableRegistry& registry = LoadableRegistry::Instance();
  if (driver.m_options == nullptr) driver.m_options = std::make_unique<LoadOptions>();
  driver.m_options->m_codeBase = LoaderAddress::Memory(codeBase);
  const bool firstLoad = driver.m_current == nullptr;

  uint32_t status = kLoadableUnexpected;
  std::unique_ptr<Formatted_Loadable> made =
      OpenFormattedLoadable(driver.m_request, fileName, nullptr, *driver.m_options, status);
  // The result becomes the current loadable (the previous one, which the registry
  // keeps when it had a slot, is no longer current).
  driver.m_unregistered = std::move(made);
  driver.m_current = driver.m_unregistered.get();
  if (Apply(OutcomeOf(kOpenFileOutcomes, status)) == StatusAction::ReturnQuietly) return 0;
  if (driver.m_current == nullptr) throw DVError(kMsgUnexpectedLoadableStatus, kSeverityInternal);
  Formatted_Loadable& loadable = *driver.m_current;

  int64_t modified = 0;
  if (firstLoad && loadable.InputFile().ModificationTime(modified)) {
    SourcePaneLoadHook(static_cast<uint32_t>(modified));
  }

  slot = registry.Register(driver.m_unregistered);
  loadable.SetRegistrySlot(slot);

  uint32_t openStatus = kLoadableUnexpected;
  loadable.OpenSymbolics(openStatus);
  const StatusOutcome& opened = OutcomeOf(kOpenSymbolicsOutcomes, openStatus);
  if (Apply(opened) == StatusAction::Warn) {
    // The loadable stays current (FinishSymbolLoad still finishes it) but leaves the
    // registry: nothing of it was loaded, so no module refers to its slot.
    if (slot >= 0) driver.m_unregistered = registry.Unregister(slot);
    slot = -1;
    loadable.SetRegistrySlot(-1);
    return opened.m_message;
  }

  loadable.SetDeferredModules(1);
  if (firstLoad) loadable.BeginLoad();
  // From here on the program's modules carry the slot in their handles.
  if (slot >= 0) registry.AttachProgram(slot, &GetCurrentSymbolContext()->Loader());
  Apply(OutcomeOf(kLoadSymbolicsOutcomes, loadable.LoadSymbolics(1, codeBase, dataBase)));
  ReleaseLoadState(true);
  return 0;
}

}  // namespace

// ---- search paths

std::vector<RWCString> SearchPathEntries(const RWCString& text) {
  std::vector<RWCString> entries;
  const char* p = text.data();
  const char* end = p + text.length();
  const auto isSeparator = [](char c) { return c == ';' || c == ' '; };
  while (p < end) {
    while (p < end && isSeparator(*p)) ++p;
    const char* start = p;
    while (p < end && !isSeparator(*p)) ++p;
    if (p > start) entries.emplace_back(start, static_cast<uint32_t>(p - start));
  }
  return entries;
}

RWCString JoinSearchPathEntry(const RWCString& directory, const RWCString& fileName) {
  RWCString joined(directory);
  const size_t length = directory.length();
  if (length > 0) {
    const char last = directory.data()[length - 1];
    if (last != '\\' && last != '/') joined += "\\";
  }
  joined += fileName;
  return joined;
}

// ---- the loader factory

std::unique_ptr<Formatted_Loadable> OpenFormattedLoadable(const LoadRequest& request, const char* fileName,
                                                          const void* /*reserved*/, const LoadOptions& options,
                                                          uint32_t& status) {
  try {
    auto file = std::make_unique<LoaderInputFile>();
    if (!OpenSymbolFile(*file, RWCString(fileName != nullptr ? fileName : ""))) {
      status = kLoadableNotFound;
      return nullptr;
    }
    file->Seek(0, LoaderInputFile::kFromStart);
    auto loadable = std::make_unique<FileLoadable>(request, std::move(file), options);
    status = kLoadableOkay;
    return loadable;
  } catch (const std::bad_alloc&) {
    status = kLoadableNoMemory;
    return nullptr;
  }
}

bool SymbolFileFound(const char* fileName) {
  LoaderInputFile file;
  return OpenSymbolFile(file, RWCString(fileName != nullptr ? fileName : ""));
}

// ---- the load

// A load:
// 1. The request names the file; a pending registry reset empties the slots first.
// 2. Under one handler: the options get the code base; the loadable is made (a file
//    found nowhere ends the load quietly, other failures are raised); on a first load
//    the source pane learns the file's time; the loadable is registered.
// 3. The symbolic information is opened; a file without usable information reports
//    its warning and leaves the registry.
// 4. Deferred module loading; on a first load the program begins in the loader
//    library; the load pass runs (an inconsistent file reports its warning and keeps
//    what was loaded).
// 5. The handler abandons a load that raised: the loadable is abandoned, forgotten and
//    unregistered; an I/O error or a user break is reported and returned, anything
//    else raised again.
uint32_t LoadSymbolFile(const char* fileName, uint32_t codeBase, uint32_t dataBase) {
  DriverState& driver = Driver();
  LoadableRegistry& registry = LoadableRegistry::Instance();
  driver.m_request.m_fileName = RWCString(fileName != nullptr ? fileName : "");
  if (registry.ResetPending()) registry.TakeReset();
  registry.ReleaseUnusedPrograms();

  int32_t slot = -1;
  try {
    return RunLoad(fileName, codeBase, dataBase, slot);
  } catch (DVError& error) {
    if (driver.m_current != nullptr) {
      // Abandoning reads the program counter, which may fail in turn; the load's
      // own error is the one to report.
      try {
        driver.m_current->AbandonLoad();
      } catch (const DVError&) {
      }
      ReleaseLoadState(false);
    }
    if (slot >= 0) registry.Unregister(slot);
    if (error.Number() == kMsgFileLoadIoError) {
      error.SetArg(0, driver.m_request.m_fileName);
      error.Report();
      return kMsgFileLoadIoError;
    }
    if (error.Number() == kMsgControlCDetected) {
      error.Report();
      return kMsgControlCDetected;
    }
    throw;
  } catch (...) {
    // Anything else (memory exhausted) leaves no half-made load behind either.
    if (driver.m_current != nullptr) ReleaseLoadState(false);
    if (slot >= 0) registry.Unregister(slot);
    throw;
  }
}

void ResetSymbolLoad() {
  ReleaseLoadState(false);
  LoadableRegistry::Instance().ReleaseUnusedPrograms();
}

void FinishSymbolLoad() {
  DriverState& driver = Driver();
  if (driver.m_current != nullptr) {
    try {
      driver.m_current->FinishLoad();
    } catch (...) {
      ReleaseLoadState(true);
      throw;
    }
  }
  ReleaseLoadState(true);
  LoadableRegistry::Instance().ReleaseUnusedPrograms();
}

int32_t CurrentLoadableSlot() {
  const Formatted_Loadable* current = Driver().m_current;
  return current != nullptr ? current->RegistrySlot() : -1;
}

Formatted_Loadable* CurrentLoadable() { return Driver().m_current; }

// An on-demand load may run while another load is under way (the end of a load asks
// for the module at the program counter): the loadable is current only for the time
// of the module, and its file is left where it stood.
uint32_t LoadOnDemandModule(DeferredModuleHandle handle) {
  Formatted_Loadable* loadable = LoadableRegistry::Instance().At(static_cast<int32_t>(handle.Slot()));
  if (loadable == nullptr) {
    ReportWarning(kMsgSymbolicsInconsistent);
    return 0;
  }
  DriverState& driver = Driver();
  Formatted_Loadable* previous = driver.m_current;
  LoaderInputFile& file = loadable->InputFile();
  const uint32_t savedPosition = file.Tell();
  const uint32_t savedStatus = file.Status();
  const auto restore = [&] {
    driver.m_current = previous;
    file.SetGood();
    file.Seek(savedPosition, LoaderInputFile::kFromStart);
    file.SetStatus(savedStatus);
  };
  driver.m_current = loadable;
  uint32_t result = 0;
  uint32_t status = kLoadableUnexpected;
  try {
    file.SetGood();
    status = loadable->LoadModule(handle.ModuleIndex(), &result);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (status != kLoadableOkay) ReportWarning(kMsgSymbolicsInconsistent);
  return 0;
}

// ---- LoadableRegistry

LoadableRegistry& LoadableRegistry::Instance() {
  static LoadableRegistry registry;
  return registry;
}

LoadableRegistry::LoadableRegistry() : m_slots(kSlotCount) {}

LoadableRegistry::~LoadableRegistry() {
  for (Slot& slot : m_slots) {
    slot.m_loadable.reset();
    slot.m_program = nullptr;
  }
  while (!m_programs.empty()) DropProgram(m_programs.back());
}

int32_t LoadableRegistry::Register(std::unique_ptr<Formatted_Loadable>& loadable) {
  if (loadable == nullptr) return -1;
  for (int32_t i = 0; i < kSlotCount; ++i) {
    Slot& slot = m_slots[static_cast<size_t>(i)];
    if (slot.m_loadable == nullptr && slot.m_program == nullptr) {
      slot.m_loadable = std::move(loadable);
      return i;
    }
  }
  return -1;
}

std::unique_ptr<Formatted_Loadable> LoadableRegistry::Unregister(int32_t slot) {
  if (!ValidSlot(slot)) return nullptr;
  return std::move(m_slots[static_cast<size_t>(slot)].m_loadable);
}

void LoadableRegistry::ClearAll() {
  for (Slot& slot : m_slots) slot.m_loadable.reset();
  ReleaseUnusedPrograms();
}

void LoadableRegistry::TakeReset() {
  m_resetPending = false;
  ClearAll();
}

Formatted_Loadable* LoadableRegistry::At(int32_t slot) const {
  return ValidSlot(slot) ? m_slots[static_cast<size_t>(slot)].m_loadable.get() : nullptr;
}

void LoadableRegistry::AttachProgram(int32_t slot, LoaderStateBase* state) {
  if (!ValidSlot(slot) || state == nullptr) return;
  if (std::find(m_programs.begin(), m_programs.end(), state) == m_programs.end()) {
    state->AddReference();
    m_programs.push_back(state);
  }
  m_slots[static_cast<size_t>(slot)].m_program = state;
}

// A program whose only remaining reference is the registry's is used by no symbol
// context: its deferred modules can never be asked for again.
void LoadableRegistry::ReleaseUnusedPrograms() {
  std::vector<LoaderStateBase*> unused;
  for (LoaderStateBase* state : m_programs) {
    if (state->ReferenceCount() <= 1) unused.push_back(state);
  }
  for (LoaderStateBase* state : unused) {
    for (Slot& slot : m_slots) {
      if (slot.m_program != state) continue;
      slot.m_loadable.reset();
      slot.m_program = nullptr;
    }
    DropProgram(state);
  }
}

void LoadableRegistry::DropProgram(LoaderStateBase* state) {
  m_programs.erase(std::remove(m_programs.begin(), m_programs.end(), state), m_programs.end());
  if (state->DropReference() == 0) delete state;
}

uint32_t LoadableRegistry::LoadableCount() const {
  return static_cast<uint32_t>(
      std::count_if(m_slots.begin(), m_slots.end(), [](const Slot& slot) { return slot.m_loadable != nullptr; }));
}

}  // namespace zentor
