// C expressions of a mid-sized shape, «a[i].b->c * 3 + (x << 2)», over a loaded
// CodeView program whose data lies in the byte-image target double: parsed, compiled
// into postfix code and evaluated per iteration (what a watch made from its text
// costs), and evaluated alone from code kept in a grammar object (what a watch costs
// at every stop). Each reports expressions per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codeview/cv_fixture.h"
#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/symbol_lookup_commands.h"
#include "core/current_viewpoint.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "harness/byte_image_target_memory.h"
#include "symbols/cv_loader.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "target/target_services.h"
#include "target/tmi_symbol_load.h"
#include "target/tmi_viewpoint.h"

namespace zentor {
namespace {

using namespace cvfixture;

constexpr uint32_t kViewpoint = 0xBE7C0002u;
constexpr uint32_t kCodeBase = 0x00400000u;
constexpr uint32_t kDataBase = 0x00800000u;
constexpr const char* kExpression = "a[i].b->c * 3 + (x << 2)";
constexpr uint32_t kExpected = 7 * 3 + (5 << 2);

// struct S { int c; }; struct A { int pad; struct S *b; }; struct A a[4]; int i, x;
// struct S s; with a[2].b pointing at s.
CvProgram ExpressionProgram() {
  CvProgram program;
  const uint16_t s = AddStructure(program, "S", 4, {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "c"}});
  const uint16_t pointer = AddType(program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = s});
  const uint16_t a = AddStructure(program, "A", 8,
                                  {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "pad"},
                                   CvMember{.m_type = pointer, .m_offset = 4, .m_name = "b"}});
  const uint16_t array = AddType(program, CvArrayType{.m_element = a, .m_index = 0x0075, .m_size = 32});
  CvModule module;
  module.m_name = "bench.c";
  module.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0, .m_size = 0x40}};
  CvProcedure procedure{.m_name = "main", .m_offset = 0, .m_length = 0x40, .m_type = AddProcedureType(program, 0x0074, {})};
  module.m_symbols.push_back(procedure);
  program.m_modules.push_back(module);
  const auto global = [](const char* name, uint16_t type, uint32_t offset) {
    return CvVariable{.m_storage = CvStorage::GlobalData, .m_name = name, .m_type = type, .m_offset = offset};
  };
  program.m_globals = {global("a", array, 0x00), global("i", 0x0074, 0x40), global("x", 0x0074, 0x44),
                       global("s", s, 0x50)};
  return program;
}

class ExpressionWorld {
 public:
  ExpressionWorld() {
    m_path = (std::filesystem::temp_directory_path() / "zentor_cexpr_bench.sym").string();
    const std::vector<uint8_t> bytes = WriteCodeView(ExpressionProgram(), CvVariant::NB09);
    std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
    InstallTargetServices();
    InstallLoaderLibrary();
    InstallCodeViewReader();
    TmiAddKnownViewpoint(kViewpoint);
    ViewpointManager::AddViewpoint(ViewpointHandle(kViewpoint));
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(SymbolContext::CreateForViewpoint().release());
    PopViewpoint();
    SetBaseViewpoint(ViewpointHandle(kViewpoint));
    ResetSymbolLoad();
    m_loaded = LoadSymbolFile(m_path.c_str(), kCodeBase, kDataBase) == 0;
    FinishSymbolLoad();

    std::vector<uint8_t> data(0x60, 0);
    value_bytes::StoreU32(data.data() + 2 * 8 + 4, kDataBase + 0x50);  // a[2].b = &s
    value_bytes::StoreU32(data.data() + 0x40, 2);                      // i
    value_bytes::StoreU32(data.data() + 0x44, 5);                      // x
    value_bytes::StoreU32(data.data() + 0x50, 7);                      // s.c
    m_memory.Map(kDataBase, data);
    TargetMemory::InstallService(&m_memory);

    CommandScanner::InitKeywords();
    ActionTable::ResetToDefaults();
    BindSymbolLookupActions();
    ValueStack::Create();
    ValueStack::Reset();
  }
  ~ExpressionWorld() { std::filesystem::remove(m_path); }

  bool Loaded() const { return m_loaded; }

 private:
  std::string m_path;
  bool m_loaded = false;
  testing_support::ByteImageTargetMemory m_memory;
};

ExpressionWorld& World() {
  static ExpressionWorld world;
  return world;
}

bool CheckResult(benchmark::State& state, DVErrorCode status, uint16_t kind, const uint8_t* value) {
  if (!status.IsOkay() || kind == 0 || value_bytes::LoadU32(value) != kExpected) {
    state.SkipWithError("the expression did not evaluate to its value");
    return false;
  }
  return true;
}

void BM_ParseGenerateEvaluate(benchmark::State& state) {
  if (!World().Loaded()) state.SkipWithError("the program did not load");
  uint8_t value[ValueStack::kMaxItemSize];
  for (auto _ : state) {
    uint16_t kind = 0;
    const DVErrorCode status = ExecuteText(kExpression, kProductionExpression, &kind, value);
    if (!CheckResult(state, status, kind, value)) break;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ParseGenerateEvaluate)->Unit(benchmark::kMicrosecond);

void BM_EvaluateCompiled(benchmark::State& state) {
  if (!World().Loaded()) state.SkipWithError("the program did not load");
  GrammarObject object(kExpression, kProductionExpression);
  uint8_t value[ValueStack::kMaxItemSize];
  for (auto _ : state) {
    uint16_t kind = 0;
    DVErrorCode status;
    object.Evaluate(&status, &kind, value);
    if (!CheckResult(state, status, kind, value)) break;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_EvaluateCompiled)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zentor

BENCHMARK_MAIN();
