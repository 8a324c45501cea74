#include "symbols/symbol_context.h"
#include "support/rw_ordered.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "symbols/page_cache.h"
#include "symbols/symbol_context_test_support.h"
#include "core/frame_list.h"
#include "core/number_base.h"
#include "core/status_line.h"
#include "core/stop_report.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

using testing_support::ChangeWatch;
using testing_support::MemoryAt;
using testing_support::SymbolContextEnvironment;
using testing_support::Text;

// A loaded program made of scripted modules. The location code only passes module
// pointers around; the fake hands out pointers to its own records under the
// ModuleDescriptor name and takes them back.
struct FakeLine {
  uint32_t m_address;
  uint16_t m_line;
};

struct FakeProcedure {
  const char* m_name;
  uint32_t m_first;
  uint32_t m_last;
};

struct FakeModule {
  std::string m_name;
  uint32_t m_start;
  uint32_t m_end;
  // Sorted by address; a line holds the addresses up to the next one, and the last
  // holds them up to m_linesEnd (exclusive).
  std::vector<FakeLine> m_lines;
  uint32_t m_linesEnd;
  std::vector<FakeProcedure> m_procedures;
  std::vector<SymbolKey> m_procedureKeys;
  int m_displayResets = 0;
  uint32_t m_displayWords[2] = {0, 0};
  int m_forgotten = 0;
};

int g_loaderStatesAlive = 0;

class FakeLoaderState : public LoaderStateBase {
 public:
  FakeLoaderState() { ++g_loaderStatesAlive; }
  ~FakeLoaderState() override {
    --g_loaderStatesAlive;
    m_lineAddresses.clearAndDestroy();
  }

  static std::unique_ptr<LoaderStateBase> Make() { return std::make_unique<FakeLoaderState>(); }

  // The procedure names go into the context's name pool.
  FakeModule& AddModule(SymbolContext& context, FakeModule module) {
    for (const FakeProcedure& procedure : module.m_procedures) {
      module.m_procedureKeys.push_back(SymbolKey::Store(context.Cache(), m_namePool, NameKey(procedure.m_name, 0)));
    }
    m_namePool.ReleasePin(context.Cache());
    m_modules.push_back(std::make_unique<FakeModule>(std::move(module)));
    return *m_modules.back();
  }

  static FakeModule& Of(const ModuleDescriptor& module) {
    return *reinterpret_cast<FakeModule*>(const_cast<ModuleDescriptor*>(&module));
  }

  ModuleDescriptor* ModuleAtAddress(SymbolContext&, const AddressDescriptor& address, DVErrorCode&) override {
    for (auto& module : m_modules) {
      if (address.Offset() >= module->m_start && address.Offset() <= module->m_end) {
        return reinterpret_cast<ModuleDescriptor*>(module.get());
      }
    }
    return nullptr;
  }
  RWCString ModuleName(const ModuleDescriptor& module) const override { return Of(module).m_name.c_str(); }
  void LineAt(ModuleDescriptor& module, const AddressDescriptor& address, OptionalLine& line,
              OrdinalValue& offset) const override {
    line = OptionalLine();
    offset = OrdinalValue();
    const FakeModule& fake = Of(module);
    const uint32_t at = address.Offset();
    if (at >= fake.m_linesEnd) return;
    for (auto entry = fake.m_lines.rbegin(); entry != fake.m_lines.rend(); ++entry) {
      if (entry->m_address <= at) {
        line = OptionalLine::Valid(entry->m_line);
        offset = OrdinalValue(at - entry->m_address);
        return;
      }
    }
  }
  void ForEachProcedure(const ModuleDescriptor& module,
                        const std::function<bool(const ProcedureSpan&)>& visit) const override {
    const FakeModule& fake = Of(module);
    for (size_t i = 0; i < fake.m_procedures.size(); ++i) {
      ++m_procedureVisits;
      const ProcedureSpan span{fake.m_procedureKeys[i], MemoryAt(fake.m_procedures[i].m_first),
                               MemoryAt(fake.m_procedures[i].m_last)};
      if (!visit(span)) return;
    }
  }
  void ResetModuleDisplayState(ModuleDescriptor& module) override { ++Of(module).m_displayResets; }
  ModuleViewState ViewStateOf(const ModuleDescriptor& module) const override {
    ModuleViewState view;
    view.m_displayWords[0] = Of(module).m_displayWords[0];
    view.m_displayWords[1] = Of(module).m_displayWords[1];
    view.m_flags = 0x5;
    view.m_address = MemoryAt(Of(module).m_end + 1);
    return view;
  }
  void SaveModuleViewPosition(ModuleDescriptor& module, uint32_t first, uint32_t second) override {
    Of(module).m_displayWords[0] = first;
    Of(module).m_displayWords[1] = second;
  }
  const RWOrdered* CollectLineAddresses(const OptionalLine& line) override {
    m_lineAddresses.clearAndDestroy();
    m_lineAddresses.insert(new AddressDescriptor(MemoryAt(static_cast<uint32_t>(line.Get()))));
    return &m_lineAddresses;
  }

  mutable int m_procedureVisits = 0;

 private:
  RWOrdered m_lineAddresses;
  std::vector<std::unique_ptr<FakeModule>> m_modules;
  RecordChainWriter m_namePool;
};

FakeModule MainModule() {
  FakeModule module;
  module.m_name = "main";
  module.m_start = 0x1000;
  module.m_end = 0x1FFF;
  module.m_lines = {{0x1000, 10}, {0x1010, 12}, {0x1020, 15}};
  module.m_linesEnd = 0x1100;
  module.m_procedures = {{"start", 0x1000, 0x103F}, {"helper", 0x1040, 0x10FF}, {"tail", 0x1100, 0x11FF}};
  return module;
}

FakeModule UtilModule() {
  FakeModule module;
  module.m_name = "util";
  module.m_start = 0x3000;
  module.m_end = 0x30FF;
  module.m_lines = {{0x3000, 3}};
  module.m_linesEnd = 0x3100;
  return module;
}

class SymbolContextTest : public SymbolContextEnvironment {
 protected:
  void SetUp() override {
    SymbolContextEnvironment::SetUp();
    SetNumberBase(10);
  }
  void TearDown() override {
    SetNumberBase(10);
    for (auto& frames : m_frameLists) ViewpointManager::SetFrameList(ViewpointHandle(frames.first), nullptr);
    m_frameLists.clear();
    SymbolContextEnvironment::TearDown();
  }

  // A viewpoint whose context has the fake program loaded, made current.
  SymbolContext& LoadFakeProgram(uint32_t viewpoint) {
    SetLoaderStateFactory(&FakeLoaderState::Make);
    SymbolContext& context = MakeViewpointWithContext(viewpoint);
    RestoreFactories();
    m_main = &Fake(context).AddModule(context, MainModule());
    m_util = &Fake(context).AddModule(context, UtilModule());
    return context;
  }
  static FakeLoaderState& Fake(SymbolContext& context) { return static_cast<FakeLoaderState&>(context.Loader()); }

  FrameList& FramesOf(uint32_t viewpoint) {
    auto frames = std::make_unique<FrameList>();
    FrameList& result = *frames;
    ViewpointManager::SetFrameList(ViewpointHandle(viewpoint), frames.get());
    m_frameLists.emplace_back(viewpoint, std::move(frames));
    return result;
  }

  FakeModule* m_main = nullptr;
  FakeModule* m_util = nullptr;
  std::vector<std::pair<uint32_t, std::unique_ptr<FrameList>>> m_frameLists;
};

TEST_F(SymbolContextTest, AssignedContextsShareTheTablesAndKeepTheirOwnPlace) {
  SetLoaderStateFactory(&FakeLoaderState::Make);
  const int aliveBefore = g_loaderStatesAlive;
  auto loaded = std::make_unique<SymbolContext>();
  auto other = std::make_unique<SymbolContext>();
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore + 2);
  PageCache* loadedCache = &loaded->Cache();
  loaded->SetScopeAddress(MemoryAt(0x10));
  other->SetScopeAddress(MemoryAt(0x20));

  *other = *loaded;
  EXPECT_EQ(&other->Cache(), loadedCache);
  EXPECT_EQ(&other->Loader(), &loaded->Loader());
  EXPECT_EQ(&other->TypeDescription(), &loaded->TypeDescription());
  EXPECT_EQ(loadedCache->ReferenceCount(), 2u);
  EXPECT_EQ(loaded->Loader().ReferenceCount(), 2u);
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore + 1) << "the other context's own tables went with their last user";
  EXPECT_EQ(other->ScopeAddress().Offset(), 0x20u) << "the place stays the context's own";

  // Assigning again, and to itself, keeps one reference per context.
  *other = *loaded;
  SymbolContext& alias = *other;
  *other = alias;
  EXPECT_EQ(loadedCache->ReferenceCount(), 2u);

  loaded.reset();
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore + 1);
  EXPECT_EQ(other->Cache().ReferenceCount(), 1u);
  RecordHandle page;
  EXPECT_NE(other->Cache().AppendPage(false, &page), nullptr) << "the shared cache still works";
  other.reset();
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore);
}

// The symbols of a module loaded for one viewpoint reach every other viewpoint that
// has a context: each takes over the source's tables (its own go with their last
// user) and keeps its own context object, place and search path. A viewpoint without
// a context stays without; a source without one, or without a record, changes nothing.
TEST_F(SymbolContextTest, ViewpointsWithAContextTakeOverTheTablesOfTheSource) {
  SetLoaderStateFactory(&FakeLoaderState::Make);
  const int aliveBefore = g_loaderStatesAlive;
  SymbolContext& source = MakeViewpointWithContext(0x61);
  SymbolContext& other = MakeViewpointWithContext(0x62);
  RestoreFactories();
  AddViewpoint(0x63);
  AddViewpoint(0x64);
  other.SourcePathList() = RWCString("c:\\other");
  other.SetScopeAddress(MemoryAt(0x20));
  const uint64_t otherSerial = other.Serial();
  ASSERT_EQ(g_loaderStatesAlive, aliveBefore + 2);

  for (uint32_t nothing : {0x64u, 0x99u}) {
    SCOPED_TRACE(nothing);
    ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(nothing));
    EXPECT_NE(&other.Loader(), &source.Loader());
    EXPECT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x63)), nullptr);
    EXPECT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x64)), nullptr);
  }

  ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(0x61));
  EXPECT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x62)), &other) << "its own context object";
  EXPECT_EQ(SymbolContext::Live(otherSerial), &other);
  EXPECT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x61)), &source);
  EXPECT_EQ(ViewpointManager::SymbolContextOf(ViewpointHandle(0x63)), nullptr) << "no context: none given";
  EXPECT_EQ(&other.Loader(), &source.Loader());
  EXPECT_EQ(&other.Cache(), &source.Cache());
  EXPECT_EQ(source.Loader().ReferenceCount(), 2u);
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore + 1) << "the other's own tables went";
  EXPECT_EQ(Text(other.SourcePathList().AsText()), "c:\\other");
  EXPECT_EQ(other.ScopeAddress().Offset(), 0x20u);

  // A module loaded for the source afterwards is found from the other.
  Fake(source).AddModule(source, MainModule());
  DVErrorCode status;
  ModuleDescriptor* found = other.ModuleAtAddress(MemoryAt(0x1010), status);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(Text(other.Loader().ModuleName(*found)), "main");

  // Sharing again keeps one reference per context.
  ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(0x62));
  ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(0x61));
  EXPECT_EQ(source.Loader().ReferenceCount(), 2u);
}

// A viewpoint's context made of a loaded program shares its tables from the start, as
// one made fresh and then assigned does, and makes no tables or cache file of its own.
TEST_F(SymbolContextTest, AViewpointOfALoadedProgramSharesItsTablesFromTheStart) {
  SetLoaderStateFactory(&FakeLoaderState::Make);
  GetDefaultSymbolContext()->SourcePathList() = RWCString("c:\\src");
  auto loaded = std::make_unique<SymbolContext>();
  loaded->SetScopeAddress(MemoryAt(0x10));
  const int aliveBefore = g_loaderStatesAlive;
  const uint32_t filesBefore = OpenTemporaryPageFileCount();

  std::unique_ptr<SymbolContext> viewpoint = SymbolContext::CreateForViewpointOf(*loaded);
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore);
  EXPECT_EQ(OpenTemporaryPageFileCount(), filesBefore);
  EXPECT_EQ(&viewpoint->Cache(), &loaded->Cache());
  EXPECT_EQ(&viewpoint->Loader(), &loaded->Loader());
  EXPECT_EQ(&viewpoint->TypeDescription(), &loaded->TypeDescription());
  EXPECT_EQ(loaded->Cache().ReferenceCount(), 2u);
  EXPECT_NE(viewpoint->Serial(), loaded->Serial());
  EXPECT_EQ(SymbolContext::Live(viewpoint->Serial()), viewpoint.get());
  EXPECT_TRUE(viewpoint->ScopeAddress().IsNull()) << "the place is the context's own";
  EXPECT_EQ(Text(viewpoint->SourcePathList().AsText()), "c:\\src");

  // Its place, and an assignment of the program to it, leave the program's as they were.
  viewpoint->SetScopeAddress(MemoryAt(0x20));
  *viewpoint = *loaded;
  EXPECT_EQ(loaded->ScopeAddress().Offset(), 0x10u);
  EXPECT_EQ(loaded->Cache().ReferenceCount(), 2u);
  loaded.reset();
  EXPECT_EQ(viewpoint->Cache().ReferenceCount(), 1u) << "the tables stay with their last user";
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore);
  viewpoint.reset();
  EXPECT_EQ(g_loaderStatesAlive, aliveBefore - 1);
  EXPECT_EQ(OpenTemporaryPageFileCount(), filesBefore - 1);
  GetDefaultSymbolContext()->SourcePathList() = RWCString();
}

// Every way of making a context tells the search paths' views, once the context's
// search path is what it starts with.
TEST_F(SymbolContextTest, EveryNewContextMarksTheSearchPathViews) {
  GetDefaultSymbolContext()->SourcePathList() = RWCString("c:\\src");
  auto program = std::make_unique<SymbolContext>();
  const std::pair<const char*, std::function<std::unique_ptr<SymbolContext>()>> makers[] = {
      {"plain", [] { return std::make_unique<SymbolContext>(); }},
      {"for a viewpoint", [] { return SymbolContext::CreateForViewpoint(); }},
      {"for a viewpoint of a program", [&program] { return SymbolContext::CreateForViewpointOf(*program); }},
  };
  for (const auto& [name, make] : makers) {
    SCOPED_TRACE(name);
    ChangeWatch searchPaths(kRecordSearchPaths);
    EXPECT_FALSE(searchPaths.Changed());
    const std::unique_ptr<SymbolContext> context = make();
    EXPECT_TRUE(searchPaths.Changed());
    EXPECT_FALSE(searchPaths.Changed());
  }
  GetDefaultSymbolContext()->SourcePathList() = RWCString();
}

TEST_F(SymbolContextTest, LocationTextsFollowTheAddress) {
  SymbolContext& context = LoadFakeProgram(0x51);
  struct Case {
    const char* m_name;
    uint32_t m_address;
    uint32_t m_base;
    const char* m_text;
  };
  const Case cases[] = {
      {"first byte of a line", 0x1000, 10, "Mod: main  Proc: start  Line: #10"},
      {"inside a line", 0x1014, 10, "Mod: main  Proc: start  Line: #12 + 4"},
      {"offset in the display base", 0x1014, 16, "Mod: main  Proc: start  Line: #12 + 00000004"},
      {"next procedure", 0x1044, 10, "Mod: main  Proc: helper  Line: #15 + 36"},
      {"procedure without lines", 0x1180, 10, "Mod: main  Proc: tail  Address: 0x00001180"},
      {"no procedure, no line", 0x1300, 10, "Mod: main  Address: 0x00001300"},
      {"module without procedures", 0x3010, 10, "Mod: util  Line: #3 + 16"},
      {"outside every module", 0x9000, 10, "Mod: <Unknown>  Address: 0x00009000"},
      {"back into a module", 0x1000, 10, "Mod: main  Proc: start  Line: #10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SetNumberBase(static_cast<uint8_t>(c.m_base));
    context.GoToPosition(MemoryAt(c.m_address));
    EXPECT_EQ(Text(context.Location().LocationText()), c.m_text);
    EXPECT_EQ(context.Location().Location().m_address.Offset(), c.m_address);
  }
  const LocationRecord& unknown = (context.GoToPosition(MemoryAt(0x9000)), context.Location().Location());
  EXPECT_EQ(unknown.m_module, nullptr);
  EXPECT_TRUE(unknown.m_line.IsEmpty());
  EXPECT_EQ(unknown.m_offset.Low(), 0x9000u) << "distance from the start of the address space";
  EXPECT_TRUE(unknown.m_procedureFirst.IsNull());
}

// The location text of every mix of module, procedure, line and offset, alone and after
// a caption's prefix, with names short and long enough that the text no longer fits the room it is first put together
// in, against the text joined from its parts with std::string.
TEST_F(SymbolContextTest, LocationTextsJoinTheirParts) {
  SetNumberBase(10);
  const std::string names[] = {"", "main", std::string(300, 'm')};
  const OrdinalValue offsets[] = {OrdinalValue(), OrdinalValue(4), OrdinalValue(UnsignedInt64::FromWords(1, 2))};
  SourceLocation location;
  LocationRecord& record = location.Location();
  record.m_address = MemoryAt(0x1234);
  for (const std::string& module : names) {
    for (const std::string& procedure : names) {
      for (int line = -1; line <= 1; ++line) {
        for (const OrdinalValue& offset : offsets) {
          record.m_moduleName = RWCString(module.c_str());
          record.m_procedureName = RWCString(procedure.c_str());
          record.m_line = line < 0 ? OptionalLine() : OptionalLine::Valid(static_cast<uint16_t>(12 + line));
          record.m_offset = offset;
          std::string expected = "Mod: " + module;
          if (!procedure.empty()) expected += "  Proc: " + procedure;
          if (line < 0) {
            expected += "  Address: " + Text(record.m_address.Text());
          } else {
            expected += "  Line: #" + std::to_string(12 + line);
            if (offset != 0u) expected += " + " + Text(AddressOffsetText(offset));
          }
          SCOPED_TRACE(expected.substr(0, 80));
          EXPECT_EQ(Text(location.LocationText()), expected);
          EXPECT_EQ(Text(location.LocationText("[Calls (3)] ")), "[Calls (3)] " + expected);
        }
      }
    }
  }
}

TEST_F(SymbolContextTest, TheProcedureRangeIsRememberedAndLineChangesResetTheView) {
  SymbolContext& context = LoadFakeProgram(0x52);
  FakeLoaderState& fake = Fake(context);
  struct Step {
    const char* m_name;
    uint32_t m_address;
    bool m_walksProcedures;
    int m_displayResets;
  };
  // The remembered state starts without a line: the first address with a line resets.
  const Step steps[] = {
      {"first visit", 0x1004, true, 1},
      {"inside the same procedure", 0x1030, false, 1},
      {"next procedure", 0x1050, true, 1},
      {"line becomes absent", 0x1120, true, 2},
      {"still no line, same procedure", 0x1130, false, 2},
      {"line present again", 0x1000, true, 3},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    const int visitsBefore = fake.m_procedureVisits;
    context.GoToPosition(MemoryAt(step.m_address));
    EXPECT_EQ(fake.m_procedureVisits != visitsBefore, step.m_walksProcedures);
    EXPECT_EQ(m_main->m_displayResets, step.m_displayResets);
  }
}

TEST_F(SymbolContextTest, StopsAndBrowsingSetModeCaptionAndWatchers) {
  SymbolContext& context = LoadFakeProgram(0x53);
  SetLastStopText("[ Break due to StepInto");
  ChangeWatch locations(kRecordLocations);
  ChangeWatch statusLine(kRecordStatusLine);
  const std::string stopLocation = "Mod: main  Proc: start  Line: #12 + 4";

  context.SetCurrentAddress(MemoryAt(0x1014));
  EXPECT_EQ(PersistentStatusText(), stopLocation + std::string(56 - stopLocation.size(), ' ') + "[ Break due to StepInto");
  EXPECT_EQ(context.Location().Mode(), SourceLocation::kAddressMode);
  EXPECT_EQ(context.Location().CurrentExecutionAddress().Offset(), 0x1014u);
  EXPECT_EQ(context.Location().LocationAddress().Offset(), 0x1014u);
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x1014u);
  EXPECT_TRUE(locations.Changed());

  // A null address changes nothing.
  SetStatusText("kept");
  context.SetCurrentAddress(AddressDescriptor());
  EXPECT_EQ(PersistentStatusText(), "kept");
  EXPECT_EQ(context.Location().CurrentExecutionAddress().Offset(), 0x1014u);
  EXPECT_FALSE(locations.Changed());

  context.GoToPosition(MemoryAt(0x3000));
  EXPECT_EQ(PersistentStatusText(), "[Browse]  Mod: util  Line: #3");
  EXPECT_EQ(context.Location().Mode(), SourceLocation::kLineMode);
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x3000u);
  EXPECT_EQ(context.Location().CurrentExecutionAddress().Offset(), 0x1014u) << "browsing leaves the stop";
  EXPECT_TRUE(locations.Changed());

  // Browsing to an address moves only the scope.
  context.BrowseToAddress(MemoryAt(0x1044));
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x1044u);
  EXPECT_EQ(PersistentStatusText(), "[Browse]  Mod: util  Line: #3");
  EXPECT_TRUE(statusLine.Changed());
  EXPECT_FALSE(locations.Changed());
  context.RefreshBrowseCaption();
  EXPECT_EQ(PersistentStatusText(), "[Browse]  Mod: main  Proc: helper  Line: #15 + 36");

  // A long location text is cut to leave the stop its columns.
  SetLastStopText("!");
  m_main->m_name = std::string(70, 'm');
  context.SetCurrentAddress(MemoryAt(0x1000));
  EXPECT_EQ(PersistentStatusText(), "Mod: " + std::string(51, 'm') + "!");
}

TEST_F(SymbolContextTest, BrowseHistoryHoldsOnePosition) {
  SymbolContext& context = LoadFakeProgram(0x54);
  context.SetCurrentAddress(MemoryAt(0x1000));
  struct Step {
    const char* m_name;
    bool m_push;
    uint32_t m_address;
    uint32_t m_expectedScope;
    uint32_t m_expectedMode;
    uint32_t m_expectedCount;
  };
  const Step steps[] = {
      {"push from the stop", true, 0x3000, 0x3000, SourceLocation::kLineMode, 1},
      {"pop returns to the stop", false, 0, 0x1000, SourceLocation::kAddressMode, 0},
      {"pop on empty shows the stop", false, 0, 0x1000, SourceLocation::kAddressMode, 0},
      {"browse away", true, 0x1044, 0x1044, SourceLocation::kLineMode, 1},
      {"push replaces the held entry", true, 0x3010, 0x3010, SourceLocation::kLineMode, 1},
      {"pop goes to the replaced entry's place", false, 0, 0x1044, SourceLocation::kLineMode, 0},
      {"second pop shows the stop", false, 0, 0x1000, SourceLocation::kAddressMode, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    if (step.m_push) {
      EXPECT_TRUE(BrowseHistory::Push(MemoryAt(step.m_address)).IsOkay());
    } else {
      EXPECT_TRUE(BrowseHistory::Pop().IsOkay());
    }
    EXPECT_EQ(context.ScopeAddress().Offset(), step.m_expectedScope);
    EXPECT_EQ(context.Location().Mode(), step.m_expectedMode);
    EXPECT_EQ(BrowseHistory::Count(), step.m_expectedCount);
  }
  // A stop empties the history.
  BrowseHistory::Push(MemoryAt(0x3000));
  context.SetCurrentAddress(MemoryAt(0x1010));
  EXPECT_EQ(BrowseHistory::Count(), 0u);
}

TEST_F(SymbolContextTest, FrameSelectionMovesTheLocationAlongTheStack) {
  SymbolContext& context = LoadFakeProgram(0x55);
  FrameList& frames = FramesOf(0x55);
  context.SetCurrentAddress(MemoryAt(0x1000));
  ChangeWatch browsing(kRecordSymbolBrowsing);

  // No frame selected: nothing happens.
  SelectNextFrame();
  EXPECT_EQ(context.Location().Mode(), SourceLocation::kAddressMode);
  EXPECT_FALSE(browsing.Changed());

  frames.Append(MemoryAt(0x1014), MemoryAt(0x8000));
  frames.Append(MemoryAt(0x3010), MemoryAt(0x8010));
  frames.Append(AddressDescriptor(), MemoryAt(0x8020));
  frames.Append(MemoryAt(0x1050), MemoryAt(0x8030));
  ASSERT_EQ(frames.SetCurrent(0), 0);
  struct Step {
    const char* m_name;
    void (*m_select)();
    int32_t m_expectedFrame;
    uint32_t m_expectedScope;
    bool m_moved;
  };
  const Step steps[] = {
      {"reselect frame 0", &ReselectCurrentFrame, 0, 0x1014, true},
      {"previous of the first: nothing", &SelectPreviousFrame, 0, 0x1014, false},
      {"next", &SelectNextFrame, 1, 0x3010, true},
      {"next frame has no address: selected, not gone to", &SelectNextFrame, 2, 0x3010, false},
      {"from a frame without address: nothing", &SelectNextFrame, 2, 0x3010, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.m_name);
    step.m_select();
    EXPECT_EQ(frames.GetCurrent(nullptr), step.m_expectedFrame);
    EXPECT_EQ(context.ScopeAddress().Offset(), step.m_expectedScope);
    EXPECT_EQ(browsing.Changed(), step.m_moved);
  }
  ASSERT_EQ(frames.SetCurrent(3), 0);
  SelectNextFrame();  // beyond the last frame
  EXPECT_EQ(frames.GetCurrent(nullptr), 3);
  EXPECT_FALSE(browsing.Changed());
  ReselectCurrentFrame();
  EXPECT_EQ(PersistentStatusText(), "[Calls (3)] Mod: main  Proc: helper  Line: #15 + 48");

  // Going to a source position forgets the frames.
  GoToSourceLocation(MemoryAt(0x3000));
  EXPECT_EQ(frames.Count(), 0u);
  EXPECT_EQ(PersistentStatusText(), "[Browse]  Mod: util  Line: #3");

  // ShowCurrentLocation returns to the stop.
  ShowCurrentLocation();
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x1000u);
  EXPECT_EQ(context.Location().Mode(), SourceLocation::kAddressMode);
  EXPECT_TRUE(browsing.Changed());
}

TEST_F(SymbolContextTest, ScopeSaveSlotHoldsOneLevel) {
  SymbolContext& context = LoadFakeProgram(0x56);
  context.SetScopeAddress(MemoryAt(0x100));
  context.PushScopeAddress(MemoryAt(0x200));
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x200u);
  context.PushScopeAddress(MemoryAt(0x300));
  context.PopScopeAddress();
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x200u) << "one level only: the second push replaced the slot";
  context.PopScopeAddress();
  EXPECT_EQ(context.ScopeAddress().Offset(), 0x200u);
}

TEST_F(SymbolContextTest, PositionsForTheSourcePane) {
  SymbolContext& context = LoadFakeProgram(0x57);
  context.GoToPosition(MemoryAt(0x9000));
  SourcePosition outside = GetCurrentSourcePosition();
  EXPECT_EQ(Text(outside.m_moduleName), "<Unknown>");
  EXPECT_EQ(outside.m_address.Offset(), 0xFFFFFFFFu) << "end of the address space";
  EXPECT_TRUE(outside.m_line.IsEmpty());
  EXPECT_EQ(outside.m_location, &context.Location().Location());

  context.GoToPosition(MemoryAt(0x1014));
  SaveModuleViewPosition(40, 90);
  SourcePosition inside = context.GetPosition();
  EXPECT_EQ(Text(inside.m_moduleName), "main");
  EXPECT_EQ(inside.m_line.Get(), 12);
  EXPECT_EQ(inside.m_displayWords[0], 40u);
  EXPECT_EQ(inside.m_displayWords[1], 90u);
  EXPECT_EQ(inside.m_flags, 0x5);
  EXPECT_EQ(inside.m_address.Offset(), 0x2000u);

  EXPECT_EQ(context.CollectLineAddresses(OptionalLine()), nullptr);
  ASSERT_NE(context.CollectLineAddresses(OptionalLine::Valid(12)), nullptr);
  EXPECT_EQ(context.CollectLineAddresses(OptionalLine::Valid(12))->entries(), 1u);
}

TEST_F(SymbolContextTest, NewContextsInheritTheDefaultSearchPath) {
  GetDefaultSymbolContext()->SourcePathList() = RWCString("c:\\src d:\\inc");
  SymbolContext plain;
  EXPECT_EQ(plain.SourcePathList().Count(), 0u);
  std::unique_ptr<SymbolContext> forViewpoint = SymbolContext::CreateForViewpoint();
  EXPECT_EQ(Text(forViewpoint->SourcePathList().AsText()), "c:\\src d:\\inc");

  forViewpoint->SourcePathList() = RWCString("own");
  forViewpoint->SetScopeAddress(MemoryAt(0x44));
  forViewpoint->ResetSourceLocation();
  EXPECT_EQ(Text(forViewpoint->SourcePathList().AsText()), "c:\\src d:\\inc");
  EXPECT_TRUE(forViewpoint->ScopeAddress().IsNull());

  // The default context keeps its location.
  SymbolContext* defaultContext = GetDefaultSymbolContext();
  SourceLocation* before = &defaultContext->Location();
  defaultContext->ResetSourceLocation();
  EXPECT_EQ(&defaultContext->Location(), before);
}

TEST_F(SymbolContextTest, CachelessRecordAccessUsesTheCurrentContextsCache) {
  const PageCacheProvider previous = CurrentPageCacheProvider();
  SetCurrentPageCacheProvider(&CurrentSymbolContextCache);
  EXPECT_EQ(&CurrentPageCache(), &GetDefaultSymbolContext()->Cache());
  SymbolContext& own = MakeViewpointWithContext(0x58);
  EXPECT_EQ(&CurrentPageCache(), &own.Cache());
  PopViewpoint();
  EXPECT_EQ(&CurrentPageCache(), &GetDefaultSymbolContext()->Cache());
  SetCurrentPageCacheProvider(previous);
}

}  // namespace
}  // namespace zentor
