#pragma once
// The symbols of the server's modules: each module may have a symbol file named after
// it with the extension ".SYM". The known-module table remembers, for at most 100
// modules, the base name each was first registered under with its load addresses and
// the agent's handle; a module's symbol file is loaded with its code and data bases.
// The "loadsym" command finds a module by name among the server's loaded modules (or,
// failing that, in the known-module table) and loads its file. The symbols-changed
// flag (tmi_symbol_load.h) is set by every load and cleared by "clearsym".

#include <cstdint>
#include <string>

namespace zentor {

inline constexpr uint32_t kKnownModuleCapacity = 100;

// The base name of a path: cut at its last '.', then what follows the last '\' (or,
// when there is none, the last '/').
std::string ModuleBaseName(const std::string& path);
// Index of the entry whose name equals the path's base name (ignoring case), -1 none.
int32_t SymFindModule(const std::string& path);
// Finds the base name (a module already present is updated) or appends it, and stores
// handle and bases. A full table takes no new module: "WARNING: too many NLMs loaded in
// the system." is written instead.
void SymRegisterModule(const std::string& path, uint32_t handle, uint32_t codeBase, uint32_t dataBase);
// Removes the entry; later entries move down by one.
void SymForgetModule(const std::string& path);
// Registers the module under `fileName` and loads the file (".SYM" appended to a name
// without '.') with the bases; the module joins processor 1's module list.
void SymLoadModule(uint32_t handle, const std::string& fileName, uint32_t codeBase, uint32_t dataBase);
// The "loadsym" command: the module named by the current token. 117 when its file
// cannot be read, 2075 when the server has no such module and it was never known.
void SymLoadNamedModule();
// The "clearsym" command: the symbols-changed flag becomes 0.
void SymClearChangedFlag();
// Start-up: the symbol file of every module the server has loaded, each with its
// bases ("Loading symbolic information for `NAME'..." for the files that are there).
// Nothing when the agent gives no module list.
void SymLoadAllModules();
// The "load" command: the agent loads the module named by the command (with the rest
// of the line as its arguments) and the current thread runs on, so that the server
// can load it; the module-loaded event then loads its symbols.
void SymLoadModuleOnServer();
// The "unload" command: the agent unloads the module named by the current token, the
// module is forgotten and the current thread runs on.
void SymUnloadModuleOnServer();
// Every other viewpoint that has a symbol context takes over the tables of the
// context of the viewpoint with this value (ViewpointManager::CopySymbolContextToOthers);
// 0 means the value of the last call (remembered from one call to the next).
void TmiShareSymbolContext(uint32_t viewpoint);

struct KnownModule {
  std::string m_name;
  uint32_t m_codeBase = 0;
  uint32_t m_dataBase = 0;
  uint32_t m_handle = 0;
};
uint32_t KnownModuleCount();
const KnownModule& KnownModuleAt(uint32_t index);
void ResetKnownModules();

}  // namespace zentor
