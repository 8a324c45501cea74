// The source pane over long files: a Source window opened at line 50,000 of a
// 100,000-line C module (the reader counts the lines before it), a page up and down
// there (builds read backwards from the read position, never from the file's start),
// going to line 90,000 of a 10 MB listing that numbers its own lines (estimated
// jumps; a scan from the start needs some 2,500 buffer reads), and a search through
// 10 MB without a match. Against the stand-in agent running LINES over UDP loopback:
// the mixed-mode build of a window of 300 lines after a stop (the code read from the
// target), and a step from the pane with the window's refresh beside the same step
// alone. Medians, 4 KB buffer reads and link transactions are printed at the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/startup.h"
#include "engine/register_access.h"
#include "engine/source_base.h"
#include "engine/source_view_manager.h"
#include "harness/agent_process.h"
#include "harness/stand_in_session.h"
#include "engine/source_text_reader.h"
#include "engine/source_line_naming.h"
#include "source_fixtures/source_fixtures.h"

#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"

#include "console/file_channel.h"
#include "core/collectable_record.h"
#include "core/dvp_types.h"
#include "core/text_pane.h"
#include "core/value_stack.h"
#include "core/current_viewpoint.h"
#include "core/program_counter.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/execution_control.h"
#include "gui/view_dispatcher.h"
#include "target/agent_link.h"
#include "target/target_services.h"
#include "target/target_state.h"
#include "target/tmi_session.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

constexpr uint32_t kModuleBase = 0x00300000;

AddressDescriptor MemoryAt(uint32_t offset) {
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
}

std::filesystem::path Scratch() {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "zentor_source_pane_bench";
  std::filesystem::create_directories(directory);
  return directory;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The long module's line table in the symbol tables, its text along the search path,
// and the location on line 50,000.
class LongModule {
 public:
  static constexpr uint32_t kViewpoint = 0x5001u;

  LongModule() : m_fixture(sourcefixtures::LongCModule(100000)) {
    ValueStack::Create();
    InstallTargetServices();
    InstallLoaderLibrary();
    TmiAddKnownViewpoint(kViewpoint);
    ViewpointManager::AddViewpoint(ViewpointHandle(kViewpoint));
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
    SetBaseViewpoint(ViewpointHandle(kViewpoint));
    WriteFile(Scratch() / m_fixture.m_fileName, m_fixture.m_text);
    BeginProgram(20);
    SetTypeBase();
    BeginModule("LONG", 0, 0, 1);
    BeginProcedure("LONG", MemoryAt(kModuleBase).Record(), OrdinalValue(static_cast<uint32_t>(m_fixture.m_code.size())),
                   1, 3, OrdinalValue(0u));
    for (const sourcefixtures::FixtureLine& line : m_fixture.m_lines) {
      AddLine(m_fixture.m_fileName.c_str(), 0, line.m_line, OrdinalValue(line.m_offset));
    }
    EndScope();
    EndProgram();
    *GetGlobalSearchPath() = RWCString(Scratch().string().c_str());
    MarkChangedRecords(kRecordSearchPaths, nullptr);
    for (const sourcefixtures::FixtureLine& line : m_fixture.m_lines) {
      if (line.m_line == 50002) GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(kModuleBase + line.m_offset));
    }
  }
  sourcefixtures::SourceFixture m_fixture;
};

LongModule& Module() {
  static LongModule module;
  return module;
}

std::vector<double> g_openTimes;
std::vector<double> g_pageTimes;
uint64_t g_openReads = 0;
uint64_t g_pageReads = 0;

void BM_OpenAtLine50000(benchmark::State& state) {
  Module();
  for (auto _ : state) {
    TextPane pane;
    pane.rows = 40;
    const auto start = std::chrono::steady_clock::now();
    SourceBase model(&pane);
    g_openTimes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    g_openReads = model.Reader().BufferReads();
    benchmark::DoNotOptimize(pane.count);
  }
}
BENCHMARK(BM_OpenAtLine50000)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PageDownAndUpAtLine50000(benchmark::State& state) {
  Module();
  TextPane pane;
  pane.rows = 40;
  SourceBase model(&pane);
  DVError status;
  for (auto _ : state) {
    const uint64_t before = model.Reader().BufferReads();
    const auto start = std::chrono::steady_clock::now();
    model.RunPaneCommand(status, kPaneScrollPageDown, 0);
    model.RunPaneCommand(status, kPaneScrollPageUp, 0);
    g_pageTimes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
                          2);
    g_pageReads = model.Reader().BufferReads() - before;
  }
}
BENCHMARK(BM_PageDownAndUpAtLine50000)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A 10 MB listing with its own numbers.
struct Listing {
  Listing() {
    const sourcefixtures::SourceFixture fixture = sourcefixtures::ListingModule(360000, 1);
    m_path = Scratch() / "big.lst";
    WriteFile(m_path, fixture.m_text);
    m_region.m_textEnd = static_cast<uint32_t>(fixture.m_text.size());
    m_region.m_lineCount = 360000;
    m_region.m_language = 1;
    m_region.m_locationLine = OptionalLine::Valid(1);
    m_size = fixture.m_text.size();
  }
  std::filesystem::path m_path;
  SourceTextRegion m_region;
  size_t m_size = 0;
};

Listing& BigListing() {
  static Listing listing;
  return listing;
}

uint64_t g_jumpReads = 0;

void BM_GoToLine90000OfAListing(benchmark::State& state) {
  Listing& listing = BigListing();
  const int32_t descriptor = FileChannel::Open(listing.m_path.string().c_str(), kOpenRead);
  for (auto _ : state) {
    SourceTextReader reader(listing.m_region);
    reader.Attach(descriptor);
    reader.Seek(0);
    benchmark::DoNotOptimize(reader.MoveToLine(90000, 0, 0));
    g_jumpReads = reader.BufferReads();
  }
  FileChannel::Close(descriptor);
}
BENCHMARK(BM_GoToLine90000OfAListing)->Unit(benchmark::kMicrosecond);

// Reading every line of the listing as the search does, upper-casing and looking for
// a text that is not there.
void BM_SearchWithoutMatch(benchmark::State& state) {
  Listing& listing = BigListing();
  const int32_t descriptor = FileChannel::Open(listing.m_path.string().c_str(), kOpenRead);
  for (auto _ : state) {
    SourceTextReader reader(listing.m_region);
    reader.Attach(descriptor);
    reader.Seek(0);
    char line[SourceTextReader::kDestinationSize];
    size_t found = 0;
    while (reader.ReadLineForward(line, SourceTextReader::kRequestedLimit) != -1) {
      UpperCaseText(line);
      found += std::string_view(line).find("NO SUCH TEXT") != std::string_view::npos ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(listing.m_size));
  FileChannel::Close(descriptor);
}
BENCHMARK(BM_SearchWithoutMatch)->Unit(benchmark::kMillisecond);

// ---- Against the stand-in agent --------------------------------------------------

// The agent running LINES, its symbols loaded at connection (the path holds its
// ".SYM" and its source), the thread stopped on the first line of Mix's body, and a
// Source window open there. Made once, after the benchmarks of the long module (the
// program's symbols are then LINES's).
struct StandInPane {
  bool ok = false;
  TextPane pane;
  std::vector<RegisterValue> registers;
};

// The general registers put back before each step (eax .. eip).
constexpr int32_t kSavedRegisterRows = 9;

DVError g_status;

int32_t SendToPane(StandInPane& open, int32_t code, int32_t* index = nullptr) {
  return ViewDispatcher::RunGuiCommandForKind(g_status, kViewSource, &open.pane, code,
                                              reinterpret_cast<intptr_t>(index));
}

uint32_t Transactions() { return TheAgentLink().NextSequence(); }

StandInPane& AgentPane() {
  static StandInPane* open = [] {
    auto* made = new StandInPane;
    // Kept to the end of the program; the agent is stopped at exit all the same.
    static auto* agent = new testing_support::AgentProcess;
    std::atexit([] { agent->Stop(); });
    const std::string modules = testing_support::SampleModulesDirectory();
    // The long module's program and viewpoint give way to the agent's.
    testing_support::ForgetProgramAndViewpoints();
    ResetTargetState();
    *GetGlobalSearchPath() = RWCString((testing_support::HostPathOfUnixPath(modules) + " " +
                                        std::string(ZENTOR_SAMPLE_SOURCES_DIR)).c_str());
    MarkChangedRecords(kRecordSearchPaths, nullptr);
    // The services start-up installs in the program.
    ValueStack::Create();
    InstallSubsystemServices();
    testing_support::SetOfflineSession(false);
    agent->SetTracing(false);
    std::string reason;
    if (modules.empty() || !agent->Start({"--module", modules + "lines.mod"}, &reason)) {
      std::fprintf(stderr, "source_pane_bench: %s\n", reason.c_str());
      return made;
    }
    TargetStatus status;
    const std::string link = agent->UdpLinkName();
    const char* option[] = {"-ip", link.c_str(), nullptr};
    uint32_t result = 0;
    TmiHandleOption(&status, 0, 0, option, &result);
    TmiNotify(&status, 0, 3, nullptr);
    const std::map<std::string, uint32_t> symbols = testing_support::SampleModuleSymbols("lines");
    const auto mix = symbols.find("Mix");
    if (SymbolTableLoaded() == 0 || mix == symbols.end()) {
      std::fprintf(stderr, "source_pane_bench: LINES.SYM was not loaded\n");
      return made;
    }
    // To the first line of Mix's body: a go to its entry, then a line step.
    GoControl::Reset();
    GoControl::AddTemporaryBreak(MemoryAt(mix->second));
    GoControl::Go(kGoUntilTemporaryBreak);
    WaitWhileRunning();
    StepControl::Step(kStepSourceLine, kCallerOver, 1, 0);
    for (int32_t row = 0; row < kSavedRegisterRows; ++row) {
      made->registers.push_back(GeneralRegistersObject().ReadRegisterByIndex(row));
    }
    made->pane.rows = 40;
    made->pane.columns = 80;
    made->pane.layerId = 5;
    ViewDispatcher::RunGuiCommandForKind(g_status, kViewSource, &made->pane, kGuiOpened, 0);
    made->ok = made->pane.count > 1;
    return made;
  }();
  return *open;
}

// The thread back on Mix's first body line (not timed).
void PutThreadBack(const StandInPane& open) {
  for (const RegisterValue& value : open.registers) GeneralRegistersObject().WriteRegister(value);
  const AddressDescriptor pc = ProgramCounterObject().Read();
  ProgramCounterObject().Write(&pc);
  GetCurrentSymbolContext()->SetCurrentAddress(pc);
}

std::vector<double> g_mixedTimes;
int32_t g_mixedLines = 0;
uint32_t g_mixedTransactions = 0;

// Mixed mode switched on at the stop: the window of 300 lines, the instructions of
// every line read from the target (its memory marked changed first, as after a run).
void BM_StandInMixedBuildOf300Lines(benchmark::State& state) {
  StandInPane& open = AgentPane();
  if (!open.ok) {
    state.SkipWithError("no Source window against the stand-in agent");
    return;
  }
  for (auto _ : state) {
    int32_t index = 0;
    MarkRegisteredChanged(kRecordTargetMemory, CurrentViewpoint());
    const uint32_t before = Transactions();
    const auto start = std::chrono::steady_clock::now();
    SendToPane(open, kPaneToggleMixed, &index);
    g_mixedTimes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    g_mixedTransactions = Transactions() - before;
    g_mixedLines = open.pane.count - 1;
    state.PauseTiming();
    SendToPane(open, kPaneToggleMixed, &index);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StandInMixedBuildOf300Lines)->Unit(benchmark::kMillisecond)->Iterations(30);

std::vector<double> g_stepTimes;
std::vector<double> g_paneStepTimes;
std::vector<double> g_updateTimes;
uint32_t g_stepTransactions = 0;
uint32_t g_paneStepTransactions = 0;

// The step over the first line of Mix's body (three instructions), taken in turn as
// the engine takes it from the pane (nothing shown) and as the Source window sends
// it, followed by its refresh (the mark moves, update kind 1), so that both step the
// same line over the same link. The thread goes back before each step (not timed).
void BM_StandInStepAloneAndFromThePane(benchmark::State& state) {
  StandInPane& open = AgentPane();
  if (!open.ok) {
    state.SkipWithError("no Source window against the stand-in agent");
    return;
  }
  int64_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PutThreadBack(open);
    SendToPane(open, kPaneRefresh);
    state.ResumeTiming();
    const bool pane = steps++ % 2 == 1;
    const uint32_t before = Transactions();
    const auto start = std::chrono::steady_clock::now();
    if (pane) {
      SendToPane(open, kPaneStepOver);
      const auto stepped = std::chrono::steady_clock::now();
      SendToPane(open, kPaneRefresh);
      g_updateTimes.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stepped).count());
    } else {
      SourceEngine().Get().Step(kStepSourceLine, kCallerOver, 1, 0);
    }
    const double spent = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    (pane ? g_paneStepTimes : g_stepTimes).push_back(spent);
    (pane ? g_paneStepTransactions : g_stepTransactions) = Transactions() - before;
  }
}
BENCHMARK(BM_StandInStepAloneAndFromThePane)->Unit(benchmark::kMillisecond)->Iterations(400);

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace
}  // namespace zentor

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const zentor::DVError& error) {
    std::printf("failed with message %u: %s\n", error.Number(), error.Text().data());
    return 1;
  }
  std::printf("open at line 50,000 of 100,000: median %.2f ms, %llu buffer reads\n", zentor::Median(zentor::g_openTimes),
              static_cast<unsigned long long>(zentor::g_openReads));
  std::printf("page down or up there: median %.3f ms, %llu buffer reads for both\n",
              zentor::Median(zentor::g_pageTimes), static_cast<unsigned long long>(zentor::g_pageReads));
  std::printf("go to line 90,000 of a 10 MB listing: %llu buffer reads\n",
              static_cast<unsigned long long>(zentor::g_jumpReads));
  std::printf("stand-in: mixed build of %d lines: median %.2f ms, %u link transactions\n", zentor::g_mixedLines,
              zentor::Median(zentor::g_mixedTimes), zentor::g_mixedTransactions);
  const double step = zentor::Median(zentor::g_stepTimes);
  const double paneStep = zentor::Median(zentor::g_paneStepTimes);
  std::printf("stand-in: line step alone: median %.3f ms, %u link transactions\n", step, zentor::g_stepTransactions);
  std::printf("stand-in: pane step with its update: median %.3f ms, %u link transactions; the update alone: median "
              "%.3f ms\n",
              paneStep, zentor::g_paneStepTransactions, zentor::Median(zentor::g_updateTimes));
  benchmark::Shutdown();
  return 0;
}
