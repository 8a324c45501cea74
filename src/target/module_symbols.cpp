#include "target/module_symbols.h"

#include <cctype>
#include <vector>

#include "target/agent_requests.h"
#include "target/run_control.h"
#include "target/target_state.h"
#include "target/tmi_symbol_load.h"
#include "console/output_writer.h"
#include "command/command_arguments.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"
#include "symbols/load_driver.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgCannotOpenFile = 117;
constexpr uint32_t kMsgNlmNotFound = 2075;
constexpr uint32_t kMsgNoProgramLoaded = 2006;
// Change records of this kind hear that symbols were loaded.
constexpr uint32_t kChangeKindSymbols = 11;
constexpr int32_t kFirstProcessor = 1;

std::vector<KnownModule>& Table() {
  static std::vector<KnownModule> table;
  return table;
}

// The viewpoint whose symbols TmiShareSymbolContext gave to the others last.
uint32_t& SharedContextViewpoint() {
  static uint32_t viewpoint = 0;
  return viewpoint;
}

std::string UpperCase(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

bool SameName(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

// A name with no '.' gets the extension ".SYM".
std::string SymbolFileName(const std::string& name) {
  return name.find('.') == std::string::npos ? name + ".SYM" : name;
}

// The module record's name, upper-cased, up to its first '.'.
std::string ServerModuleName(const ModuleRecord& record) {
  std::string name(record.m_name);
  return UpperCase(name.substr(0, name.find('.')));
}

[[noreturn]] void Raise(uint32_t number) { throw DVError(number, kSeverityError, kDisplayByFocus); }

}  // namespace

std::string ModuleBaseName(const std::string& path) {
  std::string name = path.substr(0, path.rfind('.'));
  size_t separator = name.rfind('\\');
  if (separator == std::string::npos) separator = name.rfind('/');
  return separator == std::string::npos ? name : name.substr(separator + 1);
}

int32_t SymFindModule(const std::string& path) {
  const std::string base = ModuleBaseName(path);
  const std::vector<KnownModule>& table = Table();
  for (size_t i = 0; i < table.size(); ++i) {
    if (SameName(table[i].m_name, base)) return static_cast<int32_t>(i);
  }
  return -1;
}

void SymRegisterModule(const std::string& path, uint32_t handle, uint32_t codeBase, uint32_t dataBase) {
  std::vector<KnownModule>& table = Table();
  int32_t index = SymFindModule(path);
  if (index < 0) {
    if (table.size() >= kKnownModuleCapacity) {
      OutputWriter::WriteString("WARNING: too many NLMs loaded in the system.\n");
      return;
    }
    table.push_back(KnownModule{ModuleBaseName(path), 0, 0, 0});
    index = static_cast<int32_t>(table.size()) - 1;
  }
  KnownModule& entry = table[static_cast<size_t>(index)];
  entry.m_handle = handle;
  entry.m_codeBase = codeBase;
  entry.m_dataBase = dataBase;
}

void SymForgetModule(const std::string& path) {
  const int32_t index = SymFindModule(path);
  if (index >= 0) Table().erase(Table().begin() + index);
}

// 1. ".SYM" goes to a name without '.'.
// 2. The module is registered under the name it was given.
// 3. The load driver loads the file with the bases between its preparation and its
//    completion; symbol views hear of it and the symbols-changed flag is set.
// 4. The module joins processor 1's module list.
void SymLoadModule(uint32_t handle, const std::string& fileName, uint32_t codeBase, uint32_t dataBase) {
  const std::string file = SymbolFileName(fileName);
  SymRegisterModule(fileName, handle, codeBase, dataBase);
  ResetSymbolLoad();
  LoadSymbolFile(file.c_str(), codeBase, dataBase);
  MarkChangedRecords(kChangeKindSymbols, nullptr);
  TmiSetServerSymbolsLoaded(1);
  FinishSymbolLoad();
  TgtAddModule(kFirstProcessor, handle);
}

// 1. The argument upper-cased; its base name is the module to find.
// 2. The server's loaded modules are searched by their names up to the first '.';
//    a list the agent does not give ends the command quietly.
// 3. Else the known-module table is searched (2075 when the module is not there).
// 4. The file (".SYM" added to a name without '.') must be found (117), then it is
//    loaded with the module's handle and bases.
void SymLoadNamedModule() {
  const std::string argument = UpperCase(CurrentToken().text);
  const std::string base = ModuleBaseName(argument);
  AgentList list;
  uint32_t count = 0;
  if (AgentGetList(kAgentListModules, &count, &list) != 0) return;
  KnownModule found;
  bool onServer = false;
  for (uint32_t i = 0; i < list.Count() && !onServer; ++i) {
    ModuleRecord record;
    if (AgentGetModuleInfo(list[i], &record) != 0) continue;
    if (ServerModuleName(record) != base) continue;
    found = KnownModule{base, record.m_codeAddress, record.m_dataAddress, list[i]};
    onServer = true;
  }
  if (!onServer) {
    const int32_t index = SymFindModule(base);
    if (index < 0) Raise(kMsgNlmNotFound);
    found = Table()[static_cast<size_t>(index)];
  }
  if (!SymbolFileFound(SymbolFileName(argument).c_str())) Raise(kMsgCannotOpenFile);
  SymLoadModule(found.m_handle, argument, found.m_codeBase, found.m_dataBase);
}

void SymClearChangedFlag() { TmiSetServerSymbolsLoaded(0); }

// 1. The agent's list of loaded modules (none: nothing happens).
// 2. For each: the record's name up to its first '.', upper-cased, with ".SYM" is the
//    file; its absence is no error (the load driver passes over a missing file).
void SymLoadAllModules() {
  AgentList list;
  uint32_t count = 0;
  if (AgentGetList(kAgentListModules, &count, &list) != 0) return;
  TmiSetServerSymbolsLoaded(1);
  for (uint32_t i = 0; i < list.Count(); ++i) {
    ModuleRecord record;
    if (AgentGetModuleInfo(list[i], &record) != 0) continue;
    const std::string name = ServerModuleName(record);
    const std::string file = name + ".SYM";
    if (SymbolFileFound(file.c_str())) {
      OutputWriter::WriteString(("Loading symbolic information for `" + name + "'...\n").c_str());
    }
    SymLoadModule(list[i], file, record.m_codeAddress, record.m_dataAddress);
  }
}

namespace {

// Without a connection there is no server to ask: 2006, as for every operation on a
// thread.
int64_t CurrentContextOrRaise() {
  const int64_t current = TgtCurrentContext();
  if (current < 0) Raise(kMsgNoProgramLoaded);
  return current;
}

}  // namespace

void SymLoadModuleOnServer() {
  const int64_t current = CurrentContextOrRaise();
  std::string text = FileNameArgument();
  const std::string rest = RawLineArgument();
  if (!rest.empty()) {
    if (rest[0] != ' ') text += ' ';
    text += rest;
  }
  AgentLoadModule(text.c_str());
  TmiGo(static_cast<uint32_t>(current), kRunStateGo);
}

void SymUnloadModuleOnServer() {
  const int64_t current = CurrentContextOrRaise();
  const std::string name = CurrentToken().text;
  AgentUnloadModule(name.c_str());
  SymForgetModule(name);
  TmiGo(static_cast<uint32_t>(current), kRunStateGo);
}

void TmiShareSymbolContext(uint32_t viewpoint) {
  if (viewpoint != 0) SharedContextViewpoint() = viewpoint;
  ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(SharedContextViewpoint()));
}

uint32_t KnownModuleCount() { return static_cast<uint32_t>(Table().size()); }

const KnownModule& KnownModuleAt(uint32_t index) {
  if (index >= Table().size()) ZENTOR_INTERNAL_ERROR();
  return Table()[index];
}

void ResetKnownModules() {
  Table().clear();
  SharedContextViewpoint() = 0;
}

}  // namespace zentor
