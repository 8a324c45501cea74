// The symbol-load driver as the target interface uses it: files found by name and
// along the search paths, every status of the file, the reader and the load pass
// turned into its message, and the loadables kept in the registry so that deferred
// modules load on demand from the right file, for as long as their program lives.
//
// The format reader here is a scripted stand-in installed as the CodeView probe: the
// file's text before its 8-byte trailer says which modules it has and which statuses
// its operations answer.

#include "symbols/load_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "symbols/loader_buffers.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_context_test_support.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_counter.h"
#include "core/program_load.h"
#include "core/stop_report.h"
#include "core/viewpoint_manager.h"
#include "target/tmi_symbol_load.h"

namespace zentor {
namespace {

using testing_support::CoreTestEnvironment;
using testing_support::ErrorThrownBy;
using testing_support::ScratchTree;

constexpr uint32_t kCodeBase = 0x10000;
constexpr uint32_t kDataBase = 0x80000;
constexpr uint32_t kModuleSpacing = 0x1000;
constexpr uint32_t kModuleSize = 0x100;

// A module the scripted reader loaded on demand, as it saw the load.
struct ModuleLoad {
  std::string m_file;
  uint32_t m_index;
  int32_t m_currentSlot;
  bool operator==(const ModuleLoad&) const = default;
};

std::vector<ModuleLoad>& ModuleLoads() {
  static std::vector<ModuleLoad> loads;
  return loads;
}

// The script of a file: lines "module NAME", "open N", "load N", "module-status N" and
// "raise N" (a DVError of that number, ERROR, after the modules were written).
struct Script {
  std::vector<std::string> m_modules;
  uint32_t m_open = kSymbolicsOkay;
  uint32_t m_load = kSymbolicsOkay;
  uint32_t m_moduleStatus = kSymbolicsOkay;
  uint32_t m_raise = 0;
};

Script ParseScript(const std::string& text) {
  Script script;
  std::istringstream lines(text);
  std::string word;
  while (lines >> word) {
    if (word == "module") {
      std::string name;
      lines >> name;
      script.m_modules.push_back(name);
    } else if (word == "open") {
      lines >> script.m_open;
    } else if (word == "load") {
      lines >> script.m_load;
    } else if (word == "module-status") {
      lines >> script.m_moduleStatus;
    } else if (word == "raise") {
      lines >> script.m_raise;
    }
  }
  return script;
}

// Module i (from 1) lies at code base + i x 0x1000 and is 0x100 bytes long.
class ScriptedReader : public DefaultSymbolics {
 public:
  ScriptedReader(LoaderInputFile& file, const LoadRequest& request) : DefaultSymbolics(file, request) {}

  uint32_t Open() override {
    LoaderInputFile& file = InputFile();
    uint64_t size = 0;
    if (!file.Size(size) || size < 8) return kSymbolicsInconsistent;
    std::string text(static_cast<size_t>(size - 8), '\0');
    file.Seek(0, LoaderInputFile::kFromStart);
    file.Read(text.data(), static_cast<uint32_t>(text.size()));
    if (!file.IsGood()) return kSymbolicsInconsistent;
    m_script = ParseScript(text);
    return m_script.m_open;
  }
  uint32_t ModuleCount() const override { return static_cast<uint32_t>(m_script.m_modules.size()); }
  uint32_t LoadAll() override {
    for (uint32_t i = 1; i <= m_script.m_modules.size(); ++i) {
      ModuleBuilder module;
      module.SetName(m_script.m_modules[i - 1]);
      module.SetModuleIndex(i);
      module.SetAddress(CodeBase() + i * kModuleSpacing);
      module.SetSize(kModuleSize);
      module.SetLanguage(0);
      module.SetAttribute(1);
      module.SetDeferred(DeferredModules());
      module.Write();
    }
    if (m_script.m_raise != 0) throw DVError(m_script.m_raise, kSeverityError);
    return m_script.m_load;
  }
  uint32_t LoadAllOnce() override {
    const uint32_t status = LoadAll();
    SetDeferredModules(0);
    return status;
  }
  uint32_t LoadModule(uint32_t moduleIndex, uint32_t* result) override {
    ModuleLoads().push_back({InputFile().HostPath(), moduleIndex, CurrentLoadableSlot()});
    // A module's symbols lie elsewhere in the file: the read moves the position.
    uint8_t first[4];
    InputFile().Seek(0, LoaderInputFile::kFromStart);
    InputFile().Read(first, 4);
    SymbolBuilder symbol;
    symbol.SetName("S" + std::to_string(moduleIndex));
    symbol.SetAddress(CodeBase() + moduleIndex * kModuleSpacing);
    symbol.Write();
    *result = 0;
    return m_script.m_moduleStatus;
  }

 private:
  Script m_script;
};

std::unique_ptr<Formatted_Symbolics> ScriptedProbe(Formatted_Loadable&, LoaderInputFile& file, const CodeViewTrailer&,
                                                   const LoadRequest& request, uint32_t& status) {
  auto reader = std::make_unique<ScriptedReader>(file, request);
  status = reader->Open();
  return reader;
}

// A symbol file: the text, then the signature and a distance.
std::string SymbolFile(const std::string& text, const std::string& signature = "NB09") {
  std::string bytes = text + signature;
  const uint32_t distance = static_cast<uint32_t>(bytes.size()) + 4;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((distance >> (8 * i)) & 0xFF));
  return bytes;
}

class LoadDriverTest : public CoreTestEnvironment {
 protected:
  static constexpr uint32_t kFirstViewpoint = 0x10AD0001u;
  static constexpr uint32_t kSecondViewpoint = 0x10AD0002u;

  void SetUp() override {
    CoreTestEnvironment::SetUp();
    *GetGlobalSearchPath() = RWCString();
    GetDefaultSymbolContext()->SourcePathList() = RWCString();
    InstallLoaderLibrary();
    TmiSetServerSymbolsLoaded(0);
    InstallCodeViewProbe(&ScriptedProbe);
    ProgramCounterRegister::InstallReader(nullptr);
    ResetSymbolLoad();
    LoadableRegistry::Instance().TakeReset();
    ModuleLoads().clear();
    AddViewpointWithContext(kFirstViewpoint);
    SetBaseViewpoint(ViewpointHandle(kFirstViewpoint));
  }

  void TearDown() override {
    ResetSymbolLoad();
    ResetViewpointStack();
    for (uint32_t value : m_viewpoints) {
      SymbolContext* context = ViewpointManager::SymbolContextOf(ViewpointHandle(value));
      PushViewpoint(ViewpointHandle(value));
      ViewpointManager::SetCurrentSymbolContext(nullptr);
      PopViewpoint();
      if (context != nullptr && context != GetDefaultSymbolContext()) delete context;
    }
    LoadableRegistry::Instance().ClearAll();
    EXPECT_EQ(LoadableRegistry::Instance().ProgramCount(), 0u) << "a program outlived its contexts";
    InstallCodeViewProbe(nullptr);
    TmiSetServerSymbolsLoaded(0);
    ProgramCounterRegister::InstallReader(nullptr);
    *GetGlobalSearchPath() = RWCString();
    GetDefaultSymbolContext()->SourcePathList() = RWCString();
    CoreTestEnvironment::TearDown();
  }

  // A viewpoint that owns a symbol context of the loader library.
  void AddViewpointWithContext(uint32_t value) {
    AddViewpoint(value);
    m_viewpoints.push_back(value);
    PushViewpoint(ViewpointHandle(value));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
  }

  // One load as the target interface runs it.
  uint32_t Load(const std::string& name, uint32_t codeBase = kCodeBase) {
    LastError() = DVError(0, 0, kDisplayByFocus);
    ResetSymbolLoad();
    const uint32_t result = LoadSymbolFile(name.c_str(), codeBase, kDataBase);
    FinishSymbolLoad();
    return result;
  }

  // The module of the current program with that name; fails the test when none.
  ModuleDescriptor* Module(const std::string& name) {
    LoaderState& state = CurrentLoaderState();
    for (uint32_t id = 1; id <= state.ModuleCount(); ++id) {
      ModuleDescriptor* module = state.ModuleById(id);
      if (module != nullptr && name == module->NameText().data()) return module;
    }
    ADD_FAILURE() << "no module " << name;
    return nullptr;
  }

  ScratchTree m_tree;
  std::vector<uint32_t> m_viewpoints;
};

TEST_F(LoadDriverTest, FileFoundByNameOrAlongThePaths) {
  const std::string dirA = m_tree.Root() + "/a";
  const std::string dirB = m_tree.Root() + "/b";
  const std::string dirG = m_tree.Root() + "/g";
  m_tree.Write("a/placeholder.txt", "x");
  const std::string inB = m_tree.Write("b/LDRV_ONE.SYM", SymbolFile("module ONE"));
  const std::string inG = m_tree.Write("g/LDRV_TWO.SYM", SymbolFile("module TWO"));
  const std::string direct = m_tree.Write("direct/LDRV_THREE.SYM", SymbolFile("module THREE"));

  struct Case {
    const char* name;
    std::string viewpointPath;
    std::string globalPath;
    std::string file;
    std::string expectedHostPath;  // "" when the file is not found
  } cases[] = {
      {"full name", "", "", direct, direct},
      {"second of two entries joined by a semicolon", dirA + ";" + dirB, "", "LDRV_ONE.SYM", inB},
      {"entry ending in a slash", dirB + "/", "", "LDRV_ONE.SYM", inB},
      {"empty entries are skipped", ";;" + dirA + ";;" + dirB + ";", "", "LDRV_ONE.SYM", inB},
      {"global path after the viewpoint's", dirA + ";" + dirB, dirG, "LDRV_TWO.SYM", inG},
      {"nowhere", dirA, dirB, "LDRV_NONE.SYM", ""},
      {"a directory is no file", "", "", dirA, ""},
      {"empty name", dirB, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetCurrentSymbolContext()->SourcePathList() = RWCString(c.viewpointPath.c_str());
    *GetGlobalSearchPath() = RWCString(c.globalPath.c_str());
    ModuleLoads().clear();
    EXPECT_EQ(Load(c.file), 0u);
    EXPECT_EQ(LastError().Number(), 0u);
    if (c.expectedHostPath.empty()) {
      EXPECT_EQ(CurrentLoadable(), nullptr);
      EXPECT_EQ(CurrentLoadableSlot(), -1);
      continue;
    }
    ASSERT_NE(CurrentLoadable(), nullptr);
    EXPECT_TRUE(std::filesystem::equivalent(CurrentLoadable()->InputFile().HostPath(), c.expectedHostPath));
  }
}

TEST_F(LoadDriverTest, SearchPathEntriesAndJoining) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> entries;
  } cases[] = {
      {"empty", "", {}},
      {"blanks and semicolons only", " ;; ; ", {}},
      {"one entry", "c:\\src", {"c:\\src"}},
      {"semicolons and blanks both end entries", "a;b c;;d ", {"a", "b", "c", "d"}},
      {"leading separators", ";  x", {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> got;
    for (const RWCString& entry : SearchPathEntries(RWCString(c.text))) got.emplace_back(entry.data());
    EXPECT_EQ(got, c.entries);
  }
  struct Join {
    const char* directory;
    const char* expected;
  } joins[] = {{"", "F.SYM"}, {"d", "d\\F.SYM"}, {"d\\", "d\\F.SYM"}, {"d/", "d/F.SYM"}, {"c:", "c:\\F.SYM"}};
  for (const Join& j : joins) {
    SCOPED_TRACE(j.directory);
    EXPECT_STREQ(JoinSearchPathEntry(RWCString(j.directory), RWCString("F.SYM")).data(), j.expected);
  }
}

// What each kind of file end gives: the message returned and reported as a warning,
// or the message raised.
TEST_F(LoadDriverTest, TrailingSignatures) {
  struct Case {
    const char* name;
    std::string bytes;
    bool withReader;
    uint32_t returned;
    uint32_t reported;  // warning number, 0 for none
    uint32_t raised;    // number raised, 0 for none
    uint32_t raisedSeverity;
  } cases[] = {
      {"NB09 read", SymbolFile("module M"), true, 0, 0, 0, 0},
      {"NB05 read", SymbolFile("module M", "NB05"), true, 0, 0, 0, 0},
      {"NB06 read", SymbolFile("module M", "NB06"), true, 0, 0, 0, 0},
      {"NB07 read", SymbolFile("module M", "NB07"), true, 0, 0, 0, 0},
      {"NB00 unsupported", SymbolFile("", "NB00"), true, kMsgSymbolicsUnsupported, kMsgSymbolicsUnsupported, 0, 0},
      {"NB02 unsupported", SymbolFile("", "NB02"), true, kMsgSymbolicsUnsupported, kMsgSymbolicsUnsupported, 0, 0},
      {"NB04 unsupported", SymbolFile("", "NB04"), true, kMsgSymbolicsUnsupported, kMsgSymbolicsUnsupported, 0, 0},
      {"NB08 unsupported", SymbolFile("", "NB08"), true, kMsgSymbolicsUnsupported, kMsgSymbolicsUnsupported, 0, 0},
      {"NB10 unknown", SymbolFile("", "NB10"), true, 0, 0, kMsgUnexpectedSymbolicsStatus, kSeverityError},
      {"NB9x unknown", SymbolFile("", "NB9x"), true, 0, 0, kMsgUnexpectedSymbolicsStatus, kSeverityError},
      {"no NB", SymbolFile("", "XX09"), true, kMsgNoSymbolics, kMsgNoSymbolics, 0, 0},
      {"lower-case nb", SymbolFile("", "nb09"), true, kMsgNoSymbolics, kMsgNoSymbolics, 0, 0},
      {"truncated trailer", std::string("NB09\x10", 5), true, kMsgNoSymbolics, kMsgNoSymbolics, 0, 0},
      {"seven bytes", std::string("NB09\x10\0\0", 7), true, kMsgNoSymbolics, kMsgNoSymbolics, 0, 0},
      {"empty file", "", true, kMsgNoSymbolics, kMsgNoSymbolics, 0, 0},
      {"NB09 without a reader", SymbolFile("module M"), false, 0, 0, kMsgUnexpectedSymbolicsStatus, kSeverityError},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = m_tree.Write("sig" + std::to_string(n++) + ".sym", c.bytes);
    InstallCodeViewProbe(c.withReader ? &ScriptedProbe : nullptr);
    LastError() = DVError(0, 0, kDisplayByFocus);
    ResetSymbolLoad();
    LoadableRegistry::Instance().ClearAll();
    if (c.raised != 0) {
      const DVError error = ErrorThrownBy([&] { LoadSymbolFile(path.c_str(), kCodeBase, kDataBase); });
      EXPECT_EQ(error.Number(), c.raised);
      EXPECT_EQ(error.Severity(), c.raisedSeverity);
      EXPECT_EQ(CurrentLoadable(), nullptr);
    } else {
      EXPECT_EQ(LoadSymbolFile(path.c_str(), kCodeBase, kDataBase), c.returned);
      EXPECT_EQ(LastError().Number(), c.reported);
      if (c.reported != 0) {
        EXPECT_EQ(LastError().Severity(), kSeverityWarning);
      }
      // The loadable of a refused file stays current for the finish but holds no slot.
      ASSERT_NE(CurrentLoadable(), nullptr);
      if (c.returned == 0) {
        EXPECT_GE(CurrentLoadableSlot(), 0);
        EXPECT_EQ(LoadableRegistry::Instance().At(CurrentLoadableSlot()), CurrentLoadable());
      } else {
        EXPECT_EQ(CurrentLoadableSlot(), -1);
      }
      FinishSymbolLoad();
    }
    EXPECT_EQ(LoadableRegistry::Instance().LoadableCount(), c.returned == 0 && c.raised == 0 ? 1u : 0u);
  }
}

// The statuses of the reader's open, load pass and module loads.
TEST_F(LoadDriverTest, ReaderStatusesBecomeMessages) {
  struct Case {
    const char* name;
    const char* script;
    uint32_t returned;
    uint32_t reported;
    uint32_t raised;
    uint32_t raisedSeverity;
    bool kept;     // the loadable stays registered and the modules load on demand
    bool written;  // module A reached the table
  } cases[] = {
      {"okay", "module A module B", 0, 0, 0, 0, true, true},
      {"open inconsistent", "open 8 module A", kMsgSymbolicsInconsistent, kMsgSymbolicsInconsistent, 0, 0, false,
       false},
      {"open finds none", "open 4", kMsgNoSymbolics, kMsgNoSymbolics, 0, 0, false, false},
      {"open unsupported", "open 5", kMsgSymbolicsUnsupported, kMsgSymbolicsUnsupported, 0, 0, false, false},
      {"open unexpected", "open 6", 0, 0, kMsgUnexpectedSymbolicsStatus, kSeverityError, false, false},
      {"load inconsistent keeps the partial table", "module A module B load 8", 0, kMsgSymbolicsInconsistent, 0, 0,
       true, true},
      {"user break", "module A load 7", kMsgControlCDetected, kMsgControlCDetected, 0, 0, false, true},
      {"module refused", "module A load 3", 0, 0, kMsgUnexpectedSymbolicsStatus, kSeverityInternal, false, true},
      {"I/O error", "module A raise 121", kMsgFileLoadIoError, kMsgFileLoadIoError, 0, 0, false, true},
      {"other error raised again", "module A raise 2056", 0, 0, 2056, kSeverityError, false, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = m_tree.Write("status" + std::to_string(n++) + ".sym", SymbolFile(c.script));
    LastError() = DVError(0, 0, kDisplayByFocus);
    ModuleLoads().clear();
    ResetSymbolLoad();
    LoadableRegistry::Instance().ClearAll();
    int32_t slot = -1;
    if (c.raised != 0) {
      const DVError error = ErrorThrownBy([&] { LoadSymbolFile(path.c_str(), kCodeBase, kDataBase); });
      EXPECT_EQ(error.Number(), c.raised);
      EXPECT_EQ(error.Severity(), c.raisedSeverity);
    } else {
      EXPECT_EQ(LoadSymbolFile(path.c_str(), kCodeBase, kDataBase), c.returned);
      slot = CurrentLoadableSlot();
      EXPECT_EQ(LastError().Number(), c.reported);
      if (c.reported == kMsgFileLoadIoError) {
        EXPECT_NE(std::string(LastError().Text().data()).find(path), std::string::npos) << LastError().Text().data();
      }
      FinishSymbolLoad();
    }
    EXPECT_EQ(LoadableRegistry::Instance().LoadableCount(), c.kept ? 1u : 0u);
    if (!c.kept) {
      EXPECT_EQ(CurrentLoadableSlot(), -1);
    }
    // Modules written before a failure stay in the table; a module whose loadable
    // went reports the inconsistency instead of loading.
    if (!c.written) continue;
    LastError() = DVError(0, 0, kDisplayByFocus);
    ModuleDescriptor* a = Module("A");
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(a->HasDeferredToken());
    LoadDeferredModule(a);
    if (c.kept) {
      EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{path, 1, slot}}));
      EXPECT_EQ(LastError().Number(), 0u);
    } else {
      EXPECT_TRUE(ModuleLoads().empty());
      EXPECT_EQ(LastError().Number(), kMsgSymbolicsInconsistent);
      EXPECT_EQ(LastError().Severity(), kSeverityWarning);
    }
  }
}

// A load tells the engine a program was loaded; its modules carry the slot of their
// file; an on-demand load reads the right module, answers with a warning when the
// module cannot be read, and leaves the file where it stood.
TEST_F(LoadDriverTest, DeferredModulesLoadOnDemand) {
  const std::string path = m_tree.Write("od.sym", SymbolFile("module ONE module TWO module THREE module-status 0"));
  SetLastStopText(RWCString("[ Break due to Breakpoint"));
  ClearEngineProgramLoaded();
  ASSERT_EQ(Load(path), 0u);
  EXPECT_TRUE(EngineProgramLoaded());
  EXPECT_STREQ(CopyLastStopText().data(), "");
  EXPECT_EQ(CurrentLoaderState().LoaderFormat(), 20u);
  const int32_t slot = CurrentLoadableSlot();
  ASSERT_EQ(slot, 0);

  for (const char* name : {"ONE", "TWO", "THREE"}) {
    SCOPED_TRACE(name);
    ModuleDescriptor* module = Module(name);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(module->HasDeferredToken());
    EXPECT_EQ(module->DeferredToken().Slot(), static_cast<uint32_t>(slot));
  }
  LoaderInputFile& file = CurrentLoadable()->InputFile();
  file.Seek(21, LoaderInputFile::kFromStart);
  LoadDeferredModule(Module("THREE"));
  LoadDeferredModule(Module("ONE"));
  EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{path, 3, slot}, {path, 1, slot}}));
  EXPECT_EQ(file.Tell(), 21u);
  EXPECT_TRUE(file.IsGood());
  EXPECT_FALSE(Module("ONE")->HasDeferredToken());
  EXPECT_TRUE(Module("TWO")->HasDeferredToken());
  EXPECT_EQ(LastError().Number(), 0u);

  // Handles that name no loadable.
  LastError() = DVError(0, 0, kDisplayByFocus);
  for (uint32_t value : {DeferredModuleHandle::FromParts(-1, 1).Value(), DeferredModuleHandle::FromParts(7, 1).Value(),
                         DeferredModuleHandle::FromParts(200, 2).Value()}) {
    SCOPED_TRACE(value);
    LastError() = DVError(0, 0, kDisplayByFocus);
    EXPECT_EQ(LoadOnDemandModule(DeferredModuleHandle(value)), 0u);
    EXPECT_EQ(LastError().Number(), kMsgSymbolicsInconsistent);
  }
  EXPECT_EQ(ModuleLoads().size(), 2u);
}

TEST_F(LoadDriverTest, FailedModuleLoadWarns) {
  const std::string path = m_tree.Write("bad.sym", SymbolFile("module ONE module-status 8"));
  ASSERT_EQ(Load(path), 0u);
  LoadDeferredModule(Module("ONE"));
  EXPECT_EQ(ModuleLoads().size(), 1u);
  EXPECT_EQ(LastError().Number(), kMsgSymbolicsInconsistent);
  EXPECT_EQ(LastError().Severity(), kSeverityWarning);
}

// The end of a load makes the program counter the current execution address; the
// module there is loaded at once, and the load's own loadable stays current.
TEST_F(LoadDriverTest, FinishLoadsTheModuleAtTheProgramCounter) {
  const std::string path = m_tree.Write("pc.sym", SymbolFile("module ONE module TWO module THREE"));
  ProgramCounterRegister::InstallReader([] {
    TargetAddressRecord record;
    record.m_addressClass = kAddressClassMemory;
    record.m_addressKind = kAddressKindMemoryOffset;
    record.m_offset = kCodeBase + 2 * kModuleSpacing + 0x10;
    return AddressDescriptor(record);
  });
  ASSERT_EQ(Load(path), 0u);
  EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{path, 2, 0}}));
  EXPECT_EQ(CurrentLoadableSlot(), 0);
  EXPECT_EQ(CurrentLoaderState().ProgramLoaded(), 1u);
}

// The server's modules load one after another into one program: each file gets its
// own slot, more than 64 of them, and every module loads from its own file.
TEST_F(LoadDriverTest, ManyServerModulesIntoOneProgram) {
  constexpr int kFiles = 70;
  std::vector<std::string> paths;
  const SymbolContext* program = nullptr;
  for (int i = 0; i < kFiles; ++i) {
    SCOPED_TRACE(i);
    paths.push_back(m_tree.Write("many/m" + std::to_string(i) + ".sym",
                                 SymbolFile("module F" + std::to_string(i) + "A module F" + std::to_string(i) + "B")));
    ASSERT_EQ(Load(paths.back(), kCodeBase + static_cast<uint32_t>(i) * 0x100000u), 0u);
    EXPECT_EQ(CurrentLoadableSlot(), i);
    if (i == 0) program = GetCurrentSymbolContext();
    EXPECT_EQ(GetCurrentSymbolContext(), program) << "a further module began a new program";
    TmiSetServerSymbolsLoaded(1);
  }
  EXPECT_EQ(LoadableRegistry::Instance().LoadableCount(), static_cast<uint32_t>(kFiles));
  std::vector<std::pair<int, int>> order;
  for (int i = 0; i < kFiles; ++i) order.push_back({i, i % 2});
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  std::shuffle(order.begin(), order.end(), random);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (const auto& [file, which] : order) {
    ModuleLoads().clear();
    const std::string name = "F" + std::to_string(file) + (which == 0 ? "A" : "B");
    SCOPED_TRACE(name);
    LoadDeferredModule(Module(name));
    EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{paths[file], static_cast<uint32_t>(which + 1), file}}));
  }
}

// A registry without a free slot: the load goes on, its modules carry no slot and
// report themselves as not loadable.
TEST_F(LoadDriverTest, FullRegistry) {
  LoadableRegistry& registry = LoadableRegistry::Instance();
  for (int32_t i = 0; i < LoadableRegistry::kSlotCount; ++i) {
    std::unique_ptr<Formatted_Loadable> filler =
        std::make_unique<FileLoadable>(LoadRequest{}, std::make_unique<LoaderInputFile>(), LoadOptions{});
    ASSERT_EQ(registry.Register(filler), i);
    EXPECT_EQ(filler, nullptr);
  }
  std::unique_ptr<Formatted_Loadable> extra =
      std::make_unique<FileLoadable>(LoadRequest{}, std::make_unique<LoaderInputFile>(), LoadOptions{});
  EXPECT_EQ(registry.Register(extra), -1);
  EXPECT_NE(extra, nullptr);

  const std::string path = m_tree.Write("full.sym", SymbolFile("module ONE"));
  ASSERT_EQ(Load(path), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), -1);
  ModuleDescriptor* one = Module("ONE");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->DeferredToken().Slot(), 255u);
  LoadDeferredModule(one);
  EXPECT_TRUE(ModuleLoads().empty());
  EXPECT_EQ(LastError().Number(), kMsgSymbolicsInconsistent);

  // Unregistering hands the loadable back and frees the slot; outside the range
  // nothing happens.
  EXPECT_NE(registry.Unregister(17), nullptr);
  EXPECT_EQ(registry.Unregister(17), nullptr);
  EXPECT_EQ(registry.Unregister(-1), nullptr);
  EXPECT_EQ(registry.Unregister(LoadableRegistry::kSlotCount), nullptr);
  EXPECT_EQ(registry.Register(extra), 17);
}

// A loadable lives as long as a symbol context uses its program; its slot is not
// handed out again before that.
TEST_F(LoadDriverTest, LoadablesGoWithTheirProgram) {
  LoadableRegistry& registry = LoadableRegistry::Instance();
  const std::string a = m_tree.Write("life/a.sym", SymbolFile("module AM"));
  const std::string b = m_tree.Write("life/b.sym", SymbolFile("module BM"));
  const std::string c = m_tree.Write("life/c.sym", SymbolFile("module CM"));
  const std::string d = m_tree.Write("life/d.sym", SymbolFile("module DM"));

  ASSERT_EQ(Load(a), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), 0);

  // A second viewpoint's program, while the first one's lives.
  AddViewpointWithContext(kSecondViewpoint);
  PushViewpoint(ViewpointHandle(kSecondViewpoint));
  ASSERT_EQ(Load(b), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), 1);
  PopViewpoint();

  LoadDeferredModule(Module("AM"));
  EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{a, 1, 0}}));
  EXPECT_EQ(registry.ProgramCount(), 2u);

  // A new program in the first viewpoint replaces the one that used slot 0.
  ASSERT_EQ(Load(c), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), 2);
  EXPECT_EQ(registry.LoadableCount(), 2u);
  EXPECT_EQ(registry.ProgramCount(), 2u);
  ASSERT_EQ(Load(d), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), 0);

  // The second viewpoint's program is still whole.
  ModuleLoads().clear();
  PushViewpoint(ViewpointHandle(kSecondViewpoint));
  LoadDeferredModule(Module("BM"));
  PopViewpoint();
  EXPECT_EQ(ModuleLoads(), (std::vector<ModuleLoad>{{b, 1, 1}}));

  // A failed load whose modules reached the table keeps its slot closed while the
  // program lives.
  const std::string e = m_tree.Write("life/e.sym", SymbolFile("module EM load 7"));
  TmiSetServerSymbolsLoaded(1);
  EXPECT_EQ(Load(e), kMsgControlCDetected);
  EXPECT_EQ(Module("EM")->DeferredToken().Slot(), 2u);
  const std::string f = m_tree.Write("life/f.sym", SymbolFile("module FM"));
  ASSERT_EQ(Load(f), 0u);
  EXPECT_EQ(CurrentLoadableSlot(), 3);
}

TEST_F(LoadDriverTest, RegistryResetEmptiesTheSlotsAtTheNextLoad) {
  LoadableRegistry& registry = LoadableRegistry::Instance();
  const std::string a = m_tree.Write("reset/a.sym", SymbolFile("module AM"));
  const std::string b = m_tree.Write("reset/b.sym", SymbolFile("module BM"));
  ASSERT_EQ(Load(a), 0u);
  TmiSetServerSymbolsLoaded(1);
  registry.RequestReset();
  EXPECT_TRUE(registry.ResetPending());
  ASSERT_EQ(Load(b), 0u);
  EXPECT_FALSE(registry.ResetPending());
  // The first file's loadable went; its slot stays closed while its program lives.
  EXPECT_EQ(CurrentLoadableSlot(), 1);
  EXPECT_EQ(registry.LoadableCount(), 1u);
  LoadDeferredModule(Module("AM"));
  EXPECT_TRUE(ModuleLoads().empty());
  EXPECT_EQ(LastError().Number(), kMsgSymbolicsInconsistent);
}

TEST_F(LoadDriverTest, LoadProgress) {
  LoadProgress progress;
  EXPECT_EQ(progress.Total(), 1u);
  EXPECT_EQ(progress.Current(), 0u);
  struct Case {
    uint32_t total;
    uint32_t current;
    double percent;
  } cases[] = {{4, 1, 25.0}, {3, 2, 200.0 / 3.0}, {7, 7, 100.0}, {2, 5, 100.0}, {0xFFFFFFFFu, 1, 100.0 / 0xFFFFFFFFu}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.current) + "/" + std::to_string(c.total));
    progress.SetTotal(c.total);
    progress.SetCurrent(c.current);
    EXPECT_DOUBLE_EQ(progress.Percent(), c.percent);
    EXPECT_EQ(progress.WholePercent(), static_cast<uint32_t>(c.percent));
  }
  const DVError error = ErrorThrownBy([&] { progress.SetTotal(0); });
  EXPECT_EQ(error.Number(), kMsgPercentageDivideByZero);
  EXPECT_EQ(error.Severity(), kSeverityInternal);
}

TEST_F(LoadDriverTest, LoadableWithoutReader) {
  FileLoadable loadable(LoadRequest{RWCString("x.sym")}, std::make_unique<LoaderInputFile>(), LoadOptions{});
  EXPECT_EQ(loadable.LoadSymbolics(1, kCodeBase, kDataBase), 0u);
  uint32_t result = 7;
  EXPECT_EQ(loadable.LoadModule(1, &result), static_cast<uint32_t>(kLoadableUnexpected));
  EXPECT_EQ(loadable.LoadCode(), kLoadCodeUnsupported);
  EXPECT_EQ(loadable.LoadFixups(), kLoadFixupsUnsupported);
  // A file that was never opened has a bad status: no symbolics.
  uint32_t status = 0;
  EXPECT_EQ(loadable.OpenSymbolics(status), 0u);
  EXPECT_EQ(status, static_cast<uint32_t>(kLoadableNoSymbolics));
  LoadOptions options;
  options.m_codeBase = LoaderAddress::Memory(0x1234);
  FileLoadable withOptions(LoadRequest{}, nullptr, options);
  EXPECT_EQ(withOptions.LoadOptionsCopy().m_codeBase.m_offset, 0x1234u);
  EXPECT_EQ(withOptions.LoadOptionsCopy().m_valid, 1u);
}

}  // namespace
}  // namespace zentor
