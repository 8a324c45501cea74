// The source pane over long files: a Source window opened at line 50,000 of a
// 100,000-line C module (the reader counts the lines before it), a page up and down
// there (builds read backwards from the read position, never from the file's start),
// going to line 90,000 of a 10 MB listing that numbers its own lines (estimated
// jumps; a scan from the start needs some 2,500 buffer reads), and a search through
// 10 MB without a match. Medians and 4 KB buffer reads are printed at the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/source_base.h"
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
#include "core/viewpoint_manager.h"
#include "target/target_services.h"
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
  benchmark::Shutdown();
  return 0;
}
