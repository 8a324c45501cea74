#pragma once
// The symbol-file load driver: it turns one symbol file into symbol-table contents.
// The target interface calls it for every server module whose symbols are to be
// loaded (ResetSymbolLoad, LoadSymbolFile, FinishSymbolLoad). The driver finds the
// file (by its name, then along the viewpoint's and the global search path), makes
// the loadable for it, lets the format reader write everything through the loader
// library, turns every status into a numbered message, and keeps the loadable so that
// the per-module symbols and lines the load left in the file can be loaded on demand.
//
// Loadables live in the LoadableRegistry, which owns them. A loadable's slot is part
// of the deferred-module handles of the program it loaded; the slot is not given to
// another file while that program lives, and the loadable goes when the program's
// symbol tables go (or when its load failed).

#include <cstdint>
#include <memory>
#include <vector>

#include "symbols/loadables.h"
#include "symbols/loader_library.h"

namespace zentor {

class LoaderStateBase;

// Messages of the driver.
inline constexpr uint32_t kMsgControlCDetected = 80;         // "A control C was detected from the keyboard"
inline constexpr uint32_t kMsgFileLoadIoError = 121;         // "I/O error during file load <%s>."
inline constexpr uint32_t kMsgUnexpectedLoadableStatus = 2060;
inline constexpr uint32_t kMsgHostAllocationFailed = 2061;
inline constexpr uint32_t kMsgUnsupportedLoadFormat = 2068;
inline constexpr uint32_t kMsgFormatNotAsExpected = 2069;
inline constexpr uint32_t kMsgSymbolicsInconsistent = 2070;
inline constexpr uint32_t kMsgNoSymbolics = 2071;
inline constexpr uint32_t kMsgSymbolicsUnsupported = 2072;
inline constexpr uint32_t kMsgUnexpectedSymbolicsStatus = 2073;

// Loads the symbols of one file (the caller has appended ".SYM" to a name without a
// '.'): the code base and the data base are where the module's code and data lie.
// Returns 0 after a load (also when the file is nowhere to be found: a module without
// a symbol file is no error); 2070, 2071 or 2072 when the file holds no usable symbolic
// information (reported as a warning; what was loaded stays); 121 or 80 when an I/O
// error or a user break ended the load (reported). Every other failure is raised.
uint32_t LoadSymbolFile(const char* fileName, uint32_t codeBase, uint32_t dataBase);
// Whether LoadSymbolFile would find the file: under its name, else along the current
// viewpoint's search path, else along the global one.
bool SymbolFileFound(const char* fileName);
// Releases the load state and forgets the current loadable (before LoadSymbolFile).
void ResetSymbolLoad();
// With a current loadable, ends the program in the loader library at the target's
// program counter; releases the load state and keeps the current loadable (after
// LoadSymbolFile).
void FinishSymbolLoad();
// Registry slot of the current loadable, -1 when there is none.
int32_t CurrentLoadableSlot();
Formatted_Loadable* CurrentLoadable();
// The loader library's callback for a deferred module: loads the deferred symbols and
// lines of the module the handle names. A slot without a loadable or a failed module
// load reports 2070 as a warning. Returns 0 (the type base of the module's global
// records, which the load already based).
uint32_t LoadOnDemandModule(DeferredModuleHandle handle);

// The loader factory: opens the file under its name, else along the current
// viewpoint's search path, else along the global one, and makes a FileLoadable on it.
// Status 0 with the loadable, 2 when the file was not found, 12 when the objects could
// not be made. `reserved` is always null.
std::unique_ptr<Formatted_Loadable> OpenFormattedLoadable(const LoadRequest& request, const char* fileName,
                                                          const void* reserved, const LoadOptions& options,
                                                          uint32_t& status);
// The directories a search-path text names, in order: an entry ends at ';', at a
// blank or at the end, and the blanks and semicolons after it are skipped.
std::vector<RWCString> SearchPathEntries(const RWCString& text);
// A directory joined with a file name by one backslash, none when the directory is
// empty or already ends in '\' or '/'.
RWCString JoinSearchPathEntry(const RWCString& directory, const RWCString& fileName);

// The loadables of the loaded programs. Slots 0..254 are handed out (slot 255 in a
// handle stands for "no slot"); a slot is free when it holds no loadable and no
// living program refers to it.
class LoadableRegistry {
 public:
  static constexpr int32_t kSlotCount = 255;

  static LoadableRegistry& Instance();
  ~LoadableRegistry();

  // Takes the loadable into the first free slot and returns the slot; -1, with the
  // loadable left to the caller, when no slot is free.
  int32_t Register(std::unique_ptr<Formatted_Loadable>& loadable);
  // Hands the slot's loadable back (null when it has none; a slot outside the range is
  // ignored). A program that refers to the slot keeps it closed until the program goes.
  std::unique_ptr<Formatted_Loadable> Unregister(int32_t slot);
  // Releases every loadable; slots that living programs refer to stay closed.
  void ClearAll();
  Formatted_Loadable* At(int32_t slot) const;
  // Records that the program whose loader state is `state` refers to the slot (its
  // deferred modules carry it). The registry keeps a reference to the state so that it
  // sees when no symbol context uses the program any more.
  void AttachProgram(int32_t slot, LoaderStateBase* state);
  // Releases the loadables and slots of programs no symbol context uses any more.
  void ReleaseUnusedPrograms();

  // The next load empties all slots first (also set at the start).
  void RequestReset() { m_resetPending = true; }
  bool ResetPending() const { return m_resetPending; }
  void TakeReset();

  uint32_t LoadableCount() const;
  // Programs the registry keeps a reference to.
  uint32_t ProgramCount() const { return static_cast<uint32_t>(m_programs.size()); }

 private:
  struct Slot {
    std::unique_ptr<Formatted_Loadable> m_loadable;
    LoaderStateBase* m_program = nullptr;
  };

  LoadableRegistry();
  bool ValidSlot(int32_t slot) const { return slot >= 0 && slot < kSlotCount; }
  void DropProgram(LoaderStateBase* state);

  std::vector<Slot> m_slots;
  // The programs referred to, each holding one reference of the registry.
  std::vector<LoaderStateBase*> m_programs;
  bool m_resetPending = true;
};

}  // namespace zentor
