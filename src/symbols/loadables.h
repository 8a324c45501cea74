#pragma once
// The objects between the symbol-load driver and a format reader. A Formatted_Loadable
// is one loadable file (always a symbol file, made as a FileLoadable); it owns its
// input file and its reader of symbolic information. Formatted_Symbolics is that
// reader in the abstract; the CodeView loader is its one concrete kind, reached
// through DefaultSymbolics, which supplies the answers of a reader that cannot do
// anything. The driver speaks only to the loadable, which forwards the symbolic work
// to its reader and turns the reader's statuses into its own.
//
// Which reader a file gets is decided by the signature at its end. The CodeView
// reader plugs in through InstallCodeViewProbe; until one is installed, a file with a
// CodeView signature cannot be read and reports that no reader could be made.

#include <array>
#include <cstdint>
#include <memory>

#include "symbols/loader_input_file.h"

#include "symbols/symbol_load_target.h"
#include "support/rw_cstring.h"

namespace zentor {

// "Divide by zero in percentage operation." (INTERNAL ERROR)
inline constexpr uint32_t kMsgPercentageDivideByZero = 2057;

// Statuses of a reader of symbolic information (the CodeView reader's among them).
enum SymbolicsStatus : uint32_t {
  kSymbolicsOkay = 0,
  kSymbolicsNoReader = 2,         // the reader object could not be made
  kSymbolicsModuleRefused = 3,    // the loader library refused a module record
  kSymbolicsNone = 4,             // no symbolic information in the file
  kSymbolicsUnsupported = 5,      // a signature of a version this debugger does not read
  kSymbolicsUnrecognised = 6,     // "NB" and two characters no version has
  kSymbolicsUserBreak = 7,
  kSymbolicsInconsistent = 8,     // a short read or a bad field
};

// Statuses of a loadable, as the driver receives them.
enum LoadableStatus : uint32_t {
  kLoadableOkay = 0,
  kLoadableUnexpected = 1,
  kLoadableNotFound = 2,
  kLoadableUnsupportedFormat = 3,
  kLoadableUnsupportedFormatToo = 4,
  kLoadableFormatNotAsExpected = 7,
  kLoadableInconsistent = 9,
  kLoadableNoSymbolics = 10,
  kLoadableUnsupportedSymbolics = 11,
  kLoadableNoMemory = 12,
  kLoadableUserBreak = 15,
};

// What a loadable answers for the operations of kinds of file it is not.
inline constexpr uint32_t kLoadCodeUnsupported = 5;
inline constexpr uint32_t kLoadFixupsUnsupported = 6;

// The name of the file a load was asked for.
struct LoadRequest {
  RWCString m_fileName;
};

// The options of one load: the code base as a memory address and three words that
// are always 1.
struct LoadOptions {
  uint32_t m_word = 1;
  LoaderAddress m_codeBase;
  uint32_t m_valid = 1;
  uint32_t m_last = 1;
};

// How far a load has come: current of total, as a percentage capped at 100.
class LoadProgress {
 public:
  // A total of 0 raises 2057.
  void SetTotal(uint32_t total);
  void SetCurrent(uint32_t current);
  void Advance() { SetCurrent(m_current + 1); }
  uint32_t Total() const { return m_total; }
  uint32_t Current() const { return m_current; }
  double Percent() const { return m_percent; }
  uint32_t WholePercent() const { return static_cast<uint32_t>(m_percent); }

 private:
  double m_percent = 0.0;
  uint32_t m_total = 1;
  uint32_t m_current = 0;
};

class Formatted_Loadable;

// A reader of the symbolic information of a file.
class Formatted_Symbolics {
 public:
  Formatted_Symbolics(LoaderInputFile& file, const LoadRequest& request) : m_file(file), m_request(request) {}
  virtual ~Formatted_Symbolics() = default;
  Formatted_Symbolics(const Formatted_Symbolics&) = delete;
  Formatted_Symbolics& operator=(const Formatted_Symbolics&) = delete;

  // Whether per-module symbols and lines are left in the file for loading on demand.
  virtual uint32_t DeferredModules() const { return m_deferredModules; }
  virtual void SetDeferredModules(uint32_t flag) { m_deferredModules = flag; }
  virtual uint32_t ModuleCount() const = 0;
  // The load pass; LoadAllOnce clears the deferred flag after it.
  virtual uint32_t LoadAll() = 0;
  virtual uint32_t LoadAllOnce() = 0;
  // The deferred symbols and lines of one module; 0 in *result when done.
  virtual uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) = 0;
  // Begin and finish the load in the loader library (as the loadable does).
  virtual void BeginLoad();
  virtual void FinishLoad();

  void SetBases(uint32_t codeBase, uint32_t dataBase) {
    m_codeBase = codeBase;
    m_dataBase = dataBase;
  }
  uint32_t CodeBase() const { return m_codeBase; }
  uint32_t DataBase() const { return m_dataBase; }
  LoaderInputFile& InputFile() { return m_file; }
  LoadProgress& Progress() { return m_progress; }
  const LoadRequest& Request() const { return m_request; }

 private:
  uint32_t m_codeBase = 0;
  uint32_t m_dataBase = 0;
  LoaderInputFile& m_file;
  uint32_t m_deferredModules = 0;
  LoadProgress m_progress;
  LoadRequest m_request;
};

// The answers of a reader that can do nothing; a concrete reader overrides them and
// supplies Open.
class DefaultSymbolics : public Formatted_Symbolics {
 public:
  using Formatted_Symbolics::Formatted_Symbolics;

  uint32_t ModuleCount() const override { return 0; }
  uint32_t LoadAll() override { return kSymbolicsUnsupported; }
  uint32_t LoadAllOnce() override { return kSymbolicsUnsupported; }
  uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) override { return kSymbolicsUnsupported; }
  // Reads what the reader needs before a load (directory, tables); a status.
  virtual uint32_t Open() = 0;
};

// One loadable file.
class Formatted_Loadable {
 public:
  Formatted_Loadable(const LoadRequest& request, std::unique_ptr<LoaderInputFile> file, const LoadOptions& options);
  // Closes and deletes the input file.
  virtual ~Formatted_Loadable();
  Formatted_Loadable(const Formatted_Loadable&) = delete;
  Formatted_Loadable& operator=(const Formatted_Loadable&) = delete;

  // The options are kept as a copy: the driver's own go when its load ends, the
  // loadable lives on.
  virtual LoadOptions LoadOptionsCopy() const { return m_options; }
  virtual LoaderInputFile& InputFile() { return *m_file; }
  virtual LoadProgress& Progress() { return m_progress; }
  // Two loader addresses that nothing sets (the load's first and second address).
  virtual LoaderAddress FirstAddress() const { return m_firstAddress; }
  virtual LoaderAddress SecondAddress() const { return m_secondAddress; }
  virtual uint32_t LoadCode() = 0;
  virtual uint32_t LoadFixups() = 0;
  // Opens the symbolic information; the module count, and the status in `status`.
  virtual uint32_t OpenSymbolics(uint32_t& status) = 0;
  virtual uint32_t LoadSymbolics(uint32_t all, uint32_t codeBase, uint32_t dataBase) = 0;
  virtual uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) = 0;
  // Begins the load in the loader library: unless the target interface is loading
  // the server's modules into one program, a new program (loader format 20); then the
  // driver's on-demand module loader becomes the load-module callback.
  virtual void BeginLoad();
  // Ends the program at the target's program counter.
  virtual void FinishLoad();
  // Hands the program counter to the library's no-op.
  virtual void AbandonLoad();
  virtual void SetDeferredModules(uint32_t flag) {}
  virtual void SetRegistrySlot(int32_t slot) { m_registrySlot = slot; }
  virtual int32_t RegistrySlot() const { return m_registrySlot; }

  const LoadRequest& Request() const { return m_request; }

 private:
  LoadRequest m_request;
  int32_t m_registrySlot = -1;
  LoadProgress m_progress;
  std::unique_ptr<LoaderInputFile> m_file;
  LoadOptions m_options;
  LoaderAddress m_firstAddress;
  LoaderAddress m_secondAddress;
};

// A symbol file.
class FileLoadable : public Formatted_Loadable {
 public:
  using Formatted_Loadable::Formatted_Loadable;
  ~FileLoadable() override;

  uint32_t LoadCode() override { return kLoadCodeUnsupported; }
  uint32_t LoadFixups() override { return kLoadFixupsUnsupported; }
  // Finds the reader by the file's trailing signature: 0 okay, 10 no symbolics, 11 an
  // unsupported version, 9 inconsistent, 1 anything else. The module count when okay.
  uint32_t OpenSymbolics(uint32_t& status) override;
  // The load pass (LoadAllOnce with `all` set, else LoadAll): 0 okay, 15 user break,
  // 9 inconsistent, 1 anything else. Without a reader: 0, nothing loaded.
  uint32_t LoadSymbolics(uint32_t all, uint32_t codeBase, uint32_t dataBase) override;
  // One deferred module: 0 okay, 9 inconsistent, 1 anything else (also without a
  // reader).
  uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) override;
  void SetDeferredModules(uint32_t flag) override;

  Formatted_Symbolics* Symbolics() const { return m_symbolics.get(); }

 private:
  std::unique_ptr<Formatted_Symbolics> m_symbolics;
};

// ---- the trailing signature and the CodeView reader

// The last 8 bytes of a symbol file: "NB" and two digits, and the distance from the
// end of the file back to the start of the debug information.
struct CodeViewTrailer {
  std::array<char, 4> m_signature{};
  uint32_t m_distance = 0;
};

// Makes the CodeView reader for a file whose trailer carries a version it reads, runs
// its Open and returns it with Open's status (or null with status 2).
using CodeViewProbe = std::unique_ptr<Formatted_Symbolics> (*)(Formatted_Loadable& loadable, LoaderInputFile& file,
                                                                 const CodeViewTrailer& trailer,
                                                                 const LoadRequest& request, uint32_t& status);
// Installs the probe (null removes it); returns the one installed before.
CodeViewProbe InstallCodeViewProbe(CodeViewProbe probe);

// Finds the debug information by the signature at the end of the file:
// 1. A file whose status is bad has none (4).
// 2. The file's size: unreadable 8, empty 4.
// 3. The 8-byte trailer: a short read (the status is set good again) or a signature
//    that does not begin with "NB" gives 4.
// 4. "NB00" to "NB04" and "NB08" give 5; "NB05", "NB06", "NB07" and "NB09" go to the
//    CodeView probe, whose status is the result (2 without a probe); any other gives 6.
std::unique_ptr<Formatted_Symbolics> OpenCodeViewSymbolics(Formatted_Loadable& loadable, LoaderInputFile& file,
                                                           const LoadRequest& request, uint32_t& status);

// The loader-library side of a load, shared by loadables and readers.
void BeginLoadInLibrary();
void FinishLoadInLibrary();
void AbandonLoadInLibrary();

}  // namespace zentor
