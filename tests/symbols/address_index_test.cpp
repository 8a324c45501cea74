// The address indexes against the walks they replace, over a program of many modules
// with gaps between their code: the module that holds an address, the nearest symbol
// and the procedure search, whose global pass weighs how far each module reaches.
// Module ranges that overlap and modules still waiting for their symbols make the
// indexes hand the search back to the walks; the answers never change.

#include "symbol_query_test_support.h"

#include "symbols/address_lookup.h"
#include "symbols/symbol_index.h"

namespace zentor::testing_support {
namespace {

constexpr uint32_t kSpreadModules = 12;

// Twelve modules of 0x80 bytes of code every 0x100 bytes, each with a procedure over
// its first 0x40 bytes, a static and two lines, and a global reference to the
// procedure (a global code symbol its module's range limits); globals of procedure
// type among the data, outside every module (two at one place), and two integers.
// With `overlapping`, one more module's code lies over modules 3 and 4.
cvfixture::CvProgram SpreadProgram(bool overlapping) {
  using namespace cvfixture;
  CvProgram program;
  const uint16_t procedureType = AddProcedureType(program, 0x0074, {});
  const auto addModule = [&](const std::string& name, uint32_t offset, uint32_t size, uint32_t length) {
    CvModule module;
    module.m_name = name + ".c";
    module.m_segments = {CvSegment{.m_segment = 1, .m_offset = offset, .m_size = size}};
    module.m_symbols.push_back(CvVariable{
        .m_storage = CvStorage::LocalData, .m_name = "s_" + name, .m_type = 0x0074, .m_offset = offset / 0x10});
    CvProcedure procedure{.m_name = "p_" + name, .m_offset = offset, .m_length = length, .m_type = procedureType};
    procedure.m_locals = {
        CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "v", .m_type = 0x0074, .m_frameOffset = -4}};
    module.m_symbols.push_back(procedure);
    module.m_sourceFiles = {CvSourceFile{
        .m_name = module.m_name,
        .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{offset, 1}, {offset + length / 2, 2}}}}}};
    program.m_modules.push_back(module);
    program.m_globals.push_back(CvReference{.m_procedure = true,
                                            .m_module = static_cast<uint16_t>(program.m_modules.size()),
                                            .m_name = "p_" + name});
  };
  for (uint32_t i = 0; i < kSpreadModules; ++i) addModule("m" + std::to_string(i), i * 0x100, 0x80, 0x40);
  if (overlapping) addModule("over", 0x340, 0x100, 0x20);
  const auto global = [&](const char* name, uint32_t offset, uint16_t type) {
    program.m_globals.push_back(
        CvVariable{.m_storage = CvStorage::GlobalData, .m_name = name, .m_type = type, .m_offset = offset});
  };
  global("fa", 0x090, procedureType);
  global("fb", 0x3A0, procedureType);
  global("fb2", 0x3A0, procedureType);
  global("fc", 0x250, procedureType);
  global("d0", 0x400, 0x0074);
  global("d1", 0x404, 0x0074);
  global("fd", 0x500, procedureType);
  return program;
}

// Modules whose procedures overlap and nest blocks, with labels inside procedures and
// blocks, two labels at one place, a label whose name begins with '?', labels past
// their procedure's end, and a module with procedures but no label.
cvfixture::CvProgram LabelledProgram() {
  using namespace cvfixture;
  CvProgram program;
  const uint16_t procedureType = AddProcedureType(program, 0x0074, {});
  const auto frameLocal = [](const char* name) {
    return CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = name, .m_type = 0x0074, .m_frameOffset = -8};
  };
  CvModule first;
  first.m_name = "first.c";
  first.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x000, .m_size = 0x100}};
  CvProcedure outer{.m_name = "outer", .m_offset = 0x00, .m_length = 0x80, .m_type = procedureType};
  outer.m_locals = {frameLocal("a")};
  outer.m_labels = {CvLabel{.m_name = "l10", .m_offset = 0x10}, CvLabel{.m_name = "dup1", .m_offset = 0x30},
                    CvLabel{.m_name = "dup2", .m_offset = 0x30}};
  CvBlock block{.m_name = "", .m_offset = 0x40, .m_length = 0x20};
  block.m_locals = {frameLocal("b")};
  block.m_labels = {CvLabel{.m_name = "inner", .m_offset = 0x48}};
  block.m_blocks = {CvBlock{.m_name = "", .m_offset = 0x50, .m_length = 0x08,
                            .m_labels = {CvLabel{.m_name = "deep", .m_offset = 0x52}}}};
  outer.m_blocks = {block};
  CvProcedure overlap{.m_name = "overlap", .m_offset = 0x60, .m_length = 0x40, .m_type = procedureType};
  overlap.m_labels = {CvLabel{.m_name = "?q", .m_offset = 0x70}, CvLabel{.m_name = "after", .m_offset = 0x70},
                      CvLabel{.m_name = "past", .m_offset = 0xB0}};
  CvProcedure late{.m_name = "late", .m_offset = 0xC0, .m_length = 0x20, .m_type = procedureType};
  first.m_symbols = {outer, overlap, late,
                     CvVariable{.m_storage = CvStorage::LocalData, .m_name = "s", .m_type = 0x0074, .m_offset = 0x20}};
  first.m_sourceFiles = {CvSourceFile{
      .m_name = "first.c", .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x00, 1}, {0x48, 5}, {0xC0, 9}}}}}};
  program.m_modules.push_back(first);
  CvModule plain;
  plain.m_name = "plain.c";
  plain.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x100, .m_size = 0x80}};
  plain.m_symbols = {CvProcedure{.m_name = "p1", .m_offset = 0x100, .m_length = 0x30, .m_type = procedureType},
                     CvProcedure{.m_name = "p2", .m_offset = 0x140, .m_length = 0x30, .m_type = procedureType}};
  program.m_modules.push_back(plain);
  program.m_globals.push_back(CvReference{.m_procedure = true, .m_module = 1, .m_name = "outer"});
  program.m_globals.push_back(CvReference{.m_procedure = true, .m_module = 2, .m_name = "p2"});
  return program;
}

class AddressIndexTest : public CvLoadTest {
 public:
  void SetUp() override {
    CvLoadTest::SetUp();
    ValueStack::Create();
    ValueStack::Reset();
  }
  void TearDown() override {
    ResetSymbolStackDepth();
    ValueStack::Reset();
    SymbolIndexes::SetEnabled(true);
    CvLoadTest::TearDown();
  }

  void LoadSpread(bool overlapping) {
    const CvLoadOutcome outcome =
        Load(WriteFile("spread.exe", cvfixture::WriteCodeView(SpreadProgram(overlapping), cvfixture::CvVariant::NB09)));
    ASSERT_EQ(outcome.m_raised, 0u);
    ASSERT_EQ(outcome.m_reported, 0u);
    GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(kCodeBase + 0x10));
  }

  static void LoadEveryModule() {
    LoaderState& loader = CurrentLoaderState();
    for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
      ModuleDescriptor* module = loader.ModuleById(id);
      if (module != nullptr && module->HasDeferredToken()) LoadDeferredModule(module);
    }
  }

  // The label search (FindNearestLabel) as text.
  static std::string LabelAt(uint32_t address) {
    BracketedLookupScope bracket;
    AddressNames names;
    OrdinalValue distance;
    DVErrorCode status;
    FindNearestLabel(status, MemoryAt(address), names, distance);
    return AddressAnswerText(status, names, distance, OrdinalValue(), 1);
  }

  static std::string ModuleAt(uint32_t address) {
    DVErrorCode status;
    const ModuleDescriptor* module = FindModuleAtAddress(MemoryAt(address), status);
    if (!status.IsOkay()) return "status " + std::to_string(status.Number());
    return module != nullptr ? module->NameText().data() : "none";
  }

  // Every address of the code and data places with the indexes off and on.
  static void ExpectIndexesAnswerAsTheWalks() {
    std::vector<uint32_t> addresses;
    for (uint32_t a = kCodeBase - 8; a < kCodeBase + 0x1010; ++a) addresses.push_back(a);
    for (uint32_t a = kDataBase - 4; a < kDataBase + 0x520; a += 2) addresses.push_back(a);
    for (const uint32_t address : addresses) {
      SCOPED_TRACE(SymbolQueryTest::Hex(address));
      SymbolIndexes::SetEnabled(false);
      const std::string module = ModuleAt(address);
      std::string walkedEntry;
      const std::string walked = AtAddress(address, &walkedEntry);
      const std::string procedure = ProcedureAt(address);
      const std::string label = LabelAt(address);
      SymbolIndexes::SetEnabled(true);
      EXPECT_EQ(LabelAt(address), label);
      EXPECT_EQ(ModuleAt(address), module);
      std::string indexedEntry;
      EXPECT_EQ(AtAddress(address, &indexedEntry), walked);
      EXPECT_EQ(indexedEntry, walkedEntry);
      EXPECT_EQ(ProcedureAt(address), procedure);
    }
  }
};

TEST_F(AddressIndexTest, DisjointModulesWhileTheyWaitAndOnceLoaded) {
  LoadSpread(false);
  ExpectIndexesAnswerAsTheWalks();
  LoadEveryModule();
  // Loaded, the global pass of the procedure search answers from the index.
  RecordHandle found;
  OrdinalValue distance;
  EXPECT_TRUE(SymbolIndexes::NearestGlobalOfCategory(kTypeProcedure, MemoryAt(kDataBase + 0x510), found, distance));
  ExpectIndexesAnswerAsTheWalks();
}

TEST_F(AddressIndexTest, OverlappingModulesAreSearchedInCollectionOrder) {
  LoadSpread(true);
  LoadEveryModule();
  RecordHandle found;
  OrdinalValue distance;
  EXPECT_FALSE(SymbolIndexes::NearestGlobalOfCategory(kTypeProcedure, MemoryAt(kDataBase + 0x510), found, distance));
  ExpectIndexesAnswerAsTheWalks();
  // The current module is asked first: here the one over modules 3 and 4, which the
  // search in collection order would not find there.
  GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(kCodeBase + 0x3A0));
  EXPECT_EQ(ModuleAt(kCodeBase + 0x43F), "OVER");
  ExpectIndexesAnswerAsTheWalks();
}

TEST_F(AddressIndexTest, LabelsAndOverlappingProceduresWhileTheyWaitAndOnceLoaded) {
  const CvLoadOutcome outcome =
      Load(WriteFile("labelled.exe", cvfixture::WriteCodeView(LabelledProgram(), cvfixture::CvVariant::NB09)));
  ASSERT_EQ(outcome.m_raised, 0u);
  ASSERT_EQ(outcome.m_reported, 0u);
  GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(kCodeBase + 0x44));
  ExpectIndexesAnswerAsTheWalks();
  LoadEveryModule();
  ExpectIndexesAnswerAsTheWalks();
  struct Row {
    const char* m_name;
    uint32_t m_address;
    const char* m_label;
    const char* m_procedure;
  };
  const Row rows[] = {
      {"two labels at one place: the first", kCodeBase + 0x34, "|||dup1 +0x4 line+0x0 code",
       "FIRST|outer|1| +0x34 line+0x34 code"},
      {"a label in a nested block", kCodeBase + 0x53, "|||deep +0x1 line+0x0 code", "FIRST|outer|5| +0x53 line+0xb code"},
      {"overlapping procedures: the first that holds it", kCodeBase + 0x70, "|||?q +0x0 line+0x0 code",
       "FIRST|outer|5| +0x70 line+0x28 code"},
      {"past the procedures that hold it: the global reference", kCodeBase + 0xB8, "|||past +0x8 line+0x0 code",
       "|outer||past +0xb8 line+0x0 code"},
      {"a module without labels", kCodeBase + 0x150, "status 335", "PLAIN|p2|| +0x10 line+0x0 code"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    EXPECT_EQ(LabelAt(row.m_address), row.m_label);
    EXPECT_EQ(ProcedureAt(row.m_address), row.m_procedure);
  }
}

TEST_F(AddressIndexTest, WhatTheIndexesAnswer) {
  LoadSpread(false);
  LoadEveryModule();
  struct Row {
    const char* m_name;
    uint32_t m_address;
    const char* m_module;
    const char* m_symbol;
    const char* m_procedure;
  };
  const Row rows[] = {
      {"in a module's procedure", kCodeBase + 0x210, "M2", "M2|p_m2|1| +0x10 line+0x10 code",
       "M2|p_m2|1| +0x10 line+0x10 code"},
      {"in a module past its procedure: the global reference reaches", kCodeBase + 0x260, "M2",
       "M2|p_m2|| +0x60 line+0x0 code", "|p_m2|| +0x60 line+0x0 code"},
      {"in a gap between modules: no reference reaches", kCodeBase + 0x90, "status 305", "status 335", "status 335"},
      {"past every module", kCodeBase + 0xF00, "status 305", "status 335", "status 335"},
      {"a static; no code below it", kDataBase + 0x22, "status 305", "M2||s_m2| +0x2 line+0x0", "status 335"},
      {"two globals at one place: the first", kDataBase + 0x3A8, "status 305", "|fb|| +0x8 line+0x0 code",
       "|fb|| +0x8 line+0x0 code"},
      {"an integer: the code below is preferred", kDataBase + 0x406, "status 305", "|fb|| +0x66 line+0x0 code",
       "|fb|| +0x66 line+0x0 code"},
      {"after the data", kDataBase + 0x510, "status 305", "|fd|| +0x10 line+0x0 code", "|fd|| +0x10 line+0x0 code"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    EXPECT_EQ(ModuleAt(row.m_address), row.m_module);
    EXPECT_EQ(AtAddress(row.m_address), row.m_symbol);
    EXPECT_EQ(ProcedureAt(row.m_address), row.m_procedure);
  }
}

}  // namespace
}  // namespace zentor::testing_support
