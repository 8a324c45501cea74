// The loader library as a loader and the symbol tables see it: programs written through
// the entry points in the loaders' calling order, read back from the symbol-table file
// (through the dump of every chain and the type directory) and from the module records.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "loader_test_support.h"
#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "symbols/type_translation.h"
#include "vst_dump.h"
#include "harness/transcript.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

using testing_support::DumpVst;
using testing_support::Hex;
using testing_support::HexOrdinal;
using testing_support::MatchesGolden;
using testing_support::VstDumpSource;
using Bytes = std::vector<uint8_t>;

class LoaderLibraryTest : public testing_support::OwnViewpointTest<0x7E570002u> {};

TargetAddressRecord Memory(uint32_t offset) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_offset = offset;
  return record;
}

TargetAddressRecord Register(uint32_t number) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassRegister;
  record.m_addressKind = kAddressKindRegisterNumber;
  record.m_offset = number;
  return record;
}

struct Raised {
  uint32_t m_number = 0;
  uint32_t m_severity = 0;
};

template <typename Body>
Raised ErrorOf(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return {error.Number(), error.Severity()};
  }
  return {};
}

PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }
LoaderState& Loader() { return CurrentLoaderState(); }

void Define(const Bytes& bytes) {
  if (bytes.size() == 1 && bytes[0] == kLeafNone) {
    DefineNullType();
    return;
  }
  BeginTypeDefinition();
  for (uint8_t byte : bytes) TypeDefinitionByte(byte);
  EndTypeDefinition();
}

std::string AddressText(const AddressDescriptor& address) { return address.IsNull() ? "null" : address.Text().data(); }

std::string SourceText(const SourceFileRef& ref) {
  if (!ref.HasFile()) return "-";
  return std::string(SourceFileNameOf(ref).data()) + "#" + std::to_string(ref.Line());
}

void ForEachProcedureOf(LoaderState& loader, const ModuleDescriptor& module, std::string& text) {
  loader.ForEachProcedure(module, [&](const ProcedureSpan& procedure) {
    text += "  procedure " + std::string(procedure.m_name.NameText(Cache()).data()) + " " +
            AddressText(procedure.m_first) + ".." + AddressText(procedure.m_last) + "\n";
    return true;
  });
}

// The module records: range, language, main source, lines (sorted) and procedures.
std::string ModuleText(LoaderState& loader) {
  std::string text;
  for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
    ModuleDescriptor& module = *loader.ModuleById(id);
    text += "module " + std::string(module.NameText().data()) + " id " + std::to_string(module.Id()) + " language " +
            std::to_string(module.Language()) + " start " + AddressText(module.Start()) + " extent " +
            HexOrdinal(module.Extent()) + " main " + SourceText(module.MainSource()) + " highest " +
            Hex(module.HighestLine()) + "\n";
    LineTable& lines = module.Lines();
    for (uint32_t i = 0; i < lines.Count(); ++i) {
      const LineAddressEntry& entry = lines.EntryAt(i);
      text += "  +" + HexOrdinal(entry.Offset()) + " " + (entry.HasLine() ? SourceText(entry.Source()) : "end") + "\n";
    }
    ForEachProcedureOf(loader, module, text);
  }
  return text;
}

VstDumpSource DumpSource(LoaderState& loader) {
  VstDumpSource source;
  source.m_cache = &Cache();
  source.m_globalChain = loader.GlobalChainHead();
  for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) {
    const ModuleDescriptor& module = *loader.ModuleById(id);
    source.m_modules.emplace_back(module.NameText().data(), module.FirstRecord());
  }
  source.m_types = &loader.Types();
  return source;
}

// The records of the global chain: name, stored type word and pending module.
std::vector<std::string> GlobalRecords() {
  std::vector<std::string> records;
  RecordRef cursor;
  cursor.Init(GlobalChainHead());
  for (int guard = 0; guard < 100000; ++guard) {
    RecordView view = cursor.NextSymbolRecord(Cache());
    if (view.IsNull()) break;
    const SymbolRecordView record(std::move(view));
    records.push_back(std::string(record.Name().NameText(Cache()).data()) + " " + Hex(record.RawTypeIndex()) +
                      " pending " + std::to_string(record.PendingModule()));
  }
  records.push_back(cursor.RecType() == kListEndRecordType ? "list end" : "no list end");
  return records;
}

// The record types of a module's part of the module chain, up to its end record.
std::string ModuleChainTypes(const ModuleDescriptor& module) {
  std::string text;
  RecordRef cursor;
  cursor.Init(module.FirstRecord());
  for (int guard = 0; guard < 100000; ++guard) {
    const RecordView view = cursor.NextSymbolRecord(Cache());
    if (view.IsNull()) break;
    text += std::to_string(view.U32At(0)) + " ";
  }
  return text + "end " + std::to_string(cursor.RecType());
}

// ---- the program of the golden dump

// Fixed-seed source of choices; the raw engine output is the same on every build.
class Choices {
 public:
  explicit Choices(uint32_t seed) : m_engine(seed) {}
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(m_engine() % bound); }

 private:
  std::mt19937 m_engine;
};

constexpr uint32_t kGoldenSeed = 0x10ADE7u;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Index(uint32_t loaderIndex) {
  if (loaderIndex < 0x80) return {0x83, static_cast<uint8_t>(loaderIndex)};
  return {0x83, static_cast<uint8_t>(0x80 | (loaderIndex >> 8)), static_cast<uint8_t>(loaderIndex & 0xff)};
}

Bytes Name(const std::string& name) {
  Bytes bytes = {0x82, static_cast<uint8_t>(name.size())};
  bytes.insert(bytes.end(), name.begin(), name.end());
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The types of the program: the edge cases of the parser and the primitive forms the CodeView
// loader writes, then generated definitions that refer to earlier ones (loader indices
// are relative to the base 1, so the type at index t is loader index t - 1).
void DefineGoldenTypes(Choices& choices) {
  const std::vector<Bytes> fixed = {
      {0x7b, 0x10, 0x7d, 0x80, 0x70, 0x80},  // 2: int2
      {0x7b, 0x0c, 0x7c, 0x80, 0x70, 0x80},  // 3: 12-bit field
      {0x7b, 0x10, 0x7d, 0x80, 0x80},        // 4: error after the sub-kind
      {0x7a, 0x83, 0x81, 0x05},              // 5: two-byte index
      {0x7b, 0x08, 0x7d, 0x80, 0x6f},        // 6: char
      {0x7b, 0x08, 0x7c, 0x80, 0x6c},        // 7: bool1
      {0x7b, 0x20, 0x7e},                    // 8: real4
      {0x7b, 0x50, 0x7e},                    // 9: real10
      {0x72, 0x80, 0x74},                    // 10: label
      {0x75, 0x80, 0x80, 0x74, 0x00, 0x80, 0x5e},  // 11: procedure
      {0x9a, 0x83, 0x13, 0x80},              // 12: pointer
      {0x9b, 0x83, 0x11, 0x80},              // 13: short offset
      {0x80},                                // 14: null
      {0xa0},                                // 15: complex
  };
  for (const Bytes& bytes : fixed) Define(bytes);
  uint32_t defined = TypeCount();
  for (uint32_t n = 0; n < 300; ++n) {
    const uint32_t earlier = 1 + choices.Below(defined - 1);  // loader index of an earlier type
    const std::string name = "golden_type_" + std::to_string(n) + "_" + std::string(1 + choices.Below(20), 'x');
    switch (choices.Below(8)) {
      case 0:
        Define(Join({{0x7b, static_cast<uint8_t>(8 << choices.Below(4)), static_cast<uint8_t>(0x7c + choices.Below(3))},
                     {0x82}, Bytes{static_cast<uint8_t>(name.size())}, Text(name), {0x70, 0x80}}));
        break;
      case 1:
        Define(Join({{0x7a}, Index(earlier)}));
        break;
      case 2:
        Define(Join({{0x71}, Index(earlier), {static_cast<uint8_t>(choices.Below(0x80))}}));
        break;
      case 3:
        Define(Join({{0x7b, 0x20, 0x7d, 0x80, 0x70, 0x00, static_cast<uint8_t>(choices.Below(100))}}));
        break;
      case 4: {
        // Two member lists, then the structure over them.
        Define(Join({{0x7f}, Index(earlier), Index(1 + choices.Below(defined - 1))}));
        Define(Join({{0x7f}, Name("first_" + std::to_string(n)), Name("second_" + std::to_string(n))}));
        const uint32_t types = TypeCount() - 2;
        Define(Join({{0x79, 0x40, 0x02}, Index(types), Index(types + 1), Name(name)}));
        break;
      }
      case 5:
        Define(Join({{0x78, 0x85, 0x40, 0x01}, Index(earlier), Index(1 + choices.Below(defined - 1))}));
        break;
      case 6: {
        // An enumeration over its lists.
        Define(Join({{0x7f}, Name("RED_" + std::to_string(n)), Name("GREEN_" + std::to_string(n))}));
        Define({0x7f, 0x00, 0x01});
        const uint32_t names = TypeCount() - 2;
        Define(Join({{0x7b, 0x20, 0x7d}, Name(name), Index(names), Index(names + 1), {0x80}}));
        break;
      }
      default:
        Define(Join({{0x75, 0x80}, Index(earlier), {0x60, 0x01}, Index(1 + choices.Below(defined - 1)), {0x5b}}));
        break;
    }
    defined = TypeCount();
  }
}

std::string LongName(const char* kind, uint32_t module, uint32_t n) {
  return std::string(kind) + "_" + std::to_string(module) + "_" + std::to_string(n) +
         "_with_a_name_long_enough_to_fill_name_pages";
}

// Three modules, each with procedures holding blocks, locals of every storage kind,
// lines in two source files, and global symbols.
void WriteGoldenModules(Choices& choices, uint32_t typeCount) {
  struct ModuleSpec {
    const char* m_name;
    uint8_t m_language;
    const char* m_source;
    const char* m_header;
  };
  const ModuleSpec modules[] = {
      {"MAIN", 0, "src/main.c", "inc\\defs.inc"},
      {"util", 5, "c:/src/util.asm", "c:/src/macros.inc"},
      {"Solver", 3, "solver.for", "common.inc"},
  };
  for (uint32_t m = 0; m < 3; ++m) {
    const ModuleSpec& spec = modules[m];
    BeginModule(spec.m_name, 0, spec.m_language, 1);
    const uint32_t base = 0x10000 + m * 0x8000;
    uint32_t line = 1;
    for (uint32_t p = 0; p < 20; ++p) {
      const uint32_t entry = base + p * 0x180;
      BeginProcedure(LongName("procedure", m, p).c_str(), Memory(entry), OrdinalValue(0x100), 1 + choices.Below(typeCount - 1),
                     static_cast<uint8_t>(3 + choices.Below(2)), OrdinalValue(4));
      for (uint32_t l = 0; l < 4; ++l) {
        line += 1 + choices.Below(3);
        AddLine(l == 3 && p % 3 == 0 ? spec.m_header : spec.m_source, 0, line, OrdinalValue(entry - base + l * 0x30));
      }
      for (uint32_t s = 0; s < 4; ++s) {
        const uint8_t storage[] = {0x00, 0x01, 0x08, 0x10};
        const uint8_t flags = storage[choices.Below(4)];
        const TargetAddressRecord where = flags == 0x08 ? Register(choices.Below(8)) : Memory(choices.Below(0x40) * 4);
        AddSymbol(LongName("local", m, p * 10 + s).c_str(), flags, 1 + choices.Below(typeCount - 1), where);
      }
      BeginBlock(Memory(entry + 0x40), OrdinalValue(0x40));
      for (uint32_t s = 0; s < 3; ++s) {
        AddSymbol(LongName("block_local", m, p * 10 + s).c_str(), 0x01, 1 + choices.Below(typeCount - 1),
                  Memory(0x100 + s * 4));
      }
      EndScope();
      EndScope();
    }
    for (uint32_t g = 0; g < 30; ++g) {
      AddGlobalSymbol(LongName("global", m, g).c_str(), 1 + choices.Below(typeCount - 1),
                      Memory(0x80000 + m * 0x1000 + g * 8));
    }
  }
}

const std::filesystem::path kGoldenDumpPath =
    std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "symbols" / "loader_three_modules.dump";

// Loads the program of the golden dump into the current symbol context.
void LoadGoldenProgram() {
  Choices choices(kGoldenSeed);
  BeginProgram(20);
  ASSERT_EQ(SetTypeBase(), 1u);
  DefineGoldenTypes(choices);
  const uint32_t typeCount = TypeCount();
  // Globals written before any module (as the CodeView loader writes them).
  for (uint32_t g = 0; g < 20; ++g) {
    AddGlobalSymbol(LongName("early_global", 9, g).c_str(), 1 + choices.Below(typeCount - 1), Memory(0x90000 + g * 4));
  }
  WriteGoldenModules(choices, typeCount);
  EndProgram();
}

std::string GoldenProgramDump() { return DumpVst(DumpSource(Loader())) + "== modules\n" + ModuleText(Loader()); }

TEST_F(LoaderLibraryTest, ThreeModuleProgramMatchesGoldenDump) {
  LoaderLibraryNoOp();
  ASSERT_NO_FATAL_FAILURE(LoadGoldenProgram());

  PageCache& cache = Cache();
  EXPECT_GT(cache.PageCountInFile(), PageCache::kBufferCount) << "the file must not fit the cache";
  EXPECT_GT(cache.FileWrites(), 0u) << "changed pages were written back";
  EXPECT_EQ(SymbolTableLoaded(), 1u);
  EXPECT_EQ(ProgramLoaded(), 1u);
  EXPECT_EQ(ProgramLanguage(), 0) << "the first module that is not assembler gives the language";
  for (uint32_t page = 0; page < cache.PageCountInFile(); ++page) {
    EXPECT_EQ(cache.PinCount(page), 0u) << "page " << page << " still pinned after the load";
  }
  const std::string dump = GoldenProgramDump();
  EXPECT_EQ(dump.find("error "), std::string::npos) << "a walk failed";
  EXPECT_TRUE(MatchesGolden(kGoldenDumpPath, dump));
}

// A program begun in a viewpoint whose context was opened for it takes over that
// context's tables while nothing has reached them, and makes new ones when something
// has (a page written, the tables shared, another maker installed): either way the
// program loaded is the one of the golden dump.
TEST_F(LoaderLibraryTest, AProgramTakesOverOnlyUntouchedTables) {
  InstallLoaderLibrary();
  enum class Reach { kNone, kPageWritten, kShared, kOtherMaker };
  for (const Reach reach : {Reach::kNone, Reach::kPageWritten, Reach::kShared, Reach::kOtherMaker}) {
    SCOPED_TRACE(static_cast<int>(reach));
    const LoaderStateFactory loaderMaker = InstalledLoaderStateFactory();
    if (reach == Reach::kOtherMaker) SetLoaderStateFactory(nullptr);
    std::unique_ptr<SymbolContext> opened = SymbolContext::CreateForViewpoint();
    SetLoaderStateFactory(loaderMaker);
    std::unique_ptr<SymbolContext> sharer;
    if (reach == Reach::kPageWritten) {
      RecordHandle page;
      std::memset(opened->Cache().AppendPage(false, &page), 0xFF, kVstPageSize);
    } else if (reach == Reach::kShared) {
      sharer = SymbolContext::CreateForViewpointOf(*opened);
    }
    EXPECT_EQ(opened->HoldsUntouchedTables(), reach == Reach::kNone);
    SymbolContext* previous = ViewpointManager::SymbolContextOf(kViewpoint);
    SetCurrentSymbolContext_Checked(opened.release());
    if (previous != nullptr && previous != GetDefaultSymbolContext()) delete previous;

    ASSERT_NO_FATAL_FAILURE(LoadGoldenProgram());
    EXPECT_EQ(Cache().ReferenceCount(), 1u);
    EXPECT_TRUE(MatchesGolden(kGoldenDumpPath, GoldenProgramDump()));
    if (sharer != nullptr) {
      EXPECT_NE(&sharer->Cache(), &Cache());
      EXPECT_EQ(sharer->Cache().ReferenceCount(), 1u) << "the shared tables stay with their other user";
    }
  }
}

// ---- calling-order rules

struct StorageCase {
  const char* m_name;
  uint8_t m_storage;
  bool m_refused;
  bool m_addressKept;
  uint8_t m_flags;
};

TEST_F(LoaderLibraryTest, StorageFlagsSelectTheLocationKept) {
  const StorageCase cases[] = {
      {"static", 0x00, false, true, 0x00},
      {"stack relative", 0x01, false, false, kLocationStackRelative},
      {"stack relative with a stray bit", 0x03, false, false, kLocationStackRelative},
      {"register", 0x08, false, true, kLocationStackRelative | kLocationRegister},
      {"register with 0x01", 0x09, false, true, kLocationStackRelative | kLocationRegister},
      {"argument block", 0x10, false, false, kLocationArgumentBlock},
      {"argument block with 0x01", 0x11, false, false, kLocationArgumentBlock},
      {"register in the argument block", 0x18, false, true, kLocationArgumentBlock | kLocationRegister},
      {"0x02 alone", 0x02, true, false, 0},
      {"0x04 alone", 0x04, true, false, 0},
      {"0x20 alone", 0x20, true, false, 0},
  };
  for (const StorageCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    BeginProgram(20);
    BeginModule("FLAGS", 0, 0, 1);
    const Raised raised = ErrorOf([&] { AddSymbol("value", test.m_storage, 7, Memory(0x1234)); });
    const ModuleDescriptor& module = *Loader().CurrentModule();
    if (test.m_refused) {
      EXPECT_EQ(raised.m_number, 1u);
      EXPECT_TRUE(module.FirstRecord().IsNone()) << "nothing is written for refused flags";
      EndProgram();
      continue;
    }
    ASSERT_EQ(raised.m_number, 0u);
    const SymbolRecordView record = SymbolRecordView::At(Cache(), module.FirstRecord());
    const AddressExtent location = record.Location();
    EXPECT_EQ(location.m_flags, test.m_flags);
    EXPECT_EQ(record.TypeIndex(), 7u) << "the base is 0 before any SetTypeBase";
    if (test.m_addressKept) {
      EXPECT_EQ(AddressText(location.m_address), "0x00001234");
      EXPECT_EQ(location.m_ordinal, 0u);
    } else {
      EXPECT_TRUE(location.m_address.IsNull());
      EXPECT_EQ(location.m_ordinal, 0x1234u);
    }
    EndProgram();
  }
}

TEST_F(LoaderLibraryTest, FortranNamesCompareWithoutCase) {
  BeginProgram(20);
  BeginModule("F77", 0, kLanguageFortran, 1);
  AddSymbol("Counter", 0, 1, Memory(0x10));
  const SymbolRecordView fortran = SymbolRecordView::At(Cache(), Loader().CurrentModule()->FirstRecord());
  EXPECT_EQ(fortran.Name().CaseWord(), 1u);
  EXPECT_TRUE(fortran.Name().Matches(Cache(), NameKey("COUNTER", 0)));
  BeginModule("CMOD", 0, kLanguageC, 1);
  AddSymbol("Counter", 0, 1, Memory(0x10));
  const SymbolRecordView c = SymbolRecordView::At(Cache(), Loader().CurrentModule()->FirstRecord());
  EXPECT_EQ(c.Name().CaseWord(), 0u);
  EXPECT_FALSE(c.Name().Matches(Cache(), NameKey("COUNTER", 0)));
  // Module names always compare without regard to case.
  EXPECT_EQ(Loader().CurrentModule()->Name().CaseWord(), 1u);
  EndProgram();
}

struct MainSourceCase {
  const char* m_name;
  uint8_t m_language;
  std::vector<const char*> m_files;
  const char* m_expected;
};

TEST_F(LoaderLibraryTest, MainSourceFollowsTheLanguagesExtension) {
  const MainSourceCase cases[] = {
      {"C file after an include file", 0, {"x.inc", "y.c"}, "y.c"},
      {"only an include file", 0, {"x.inc"}, "x.inc"},
      {"the first matching file ends the search", 0, {"a.c", "b.c"}, "a.c"},
      {"extension checked by its first character", 0, {"noext", "z.cpp"}, "z.cpp"},
      {"Fortran", kLanguageFortran, {"a.c", "b.for"}, "b.for"},
      {"assembler .S", kLanguageAssembler, {"a.c", "b.S"}, "b.S"},
      {"assembler .asm alone", kLanguageAssembler, {"a.asm"}, "a.asm"},
      {"language 4 is assembler", kLanguageUnknownAtEnd, {"a.c", "b.a"}, "b.a"},
      {"forward slashes normalised", 0, {"d:/src/m.h", "d:/src/m.c"}, "D:\\src\\m.c"},
  };
  for (const MainSourceCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    BeginProgram(20);
    BeginModule("SRC", 0, test.m_language, 1);
    uint32_t line = 10;
    for (const char* file : test.m_files) {
      AddLine(file, 0, line, OrdinalValue(line * 4));
      ++line;
    }
    const ModuleDescriptor& module = *Loader().CurrentModule();
    EXPECT_EQ(std::string(SourceFileNameOf(module.MainSource()).data()), test.m_expected);
    EndProgram();
  }
}

struct LanguageCase {
  const char* m_name;
  std::vector<uint8_t> m_modules;
  uint8_t m_expected;
};

TEST_F(LoaderLibraryTest, ProgramLanguageComesFromTheModules) {
  const LanguageCase cases[] = {
      {"one C module", {0}, 0},
      {"assembler only: settled as 4 at the end", {5}, 4},
      {"assembler gives way to Fortran", {5, 3}, 3},
      {"the first non-assembler module wins", {3, 0}, 3},
      {"language 4 counts as assembler", {4}, 4},
      {"no module: not set", {}, kLanguageNotSet},
  };
  for (const LanguageCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    BeginProgram(20);
    for (uint8_t language : test.m_modules) BeginModule("LANG", 0, language, 1);
    EndProgram();
    EXPECT_EQ(ProgramLanguage(), test.m_expected);
  }
}

TEST_F(LoaderLibraryTest, ProgramWithoutModules) {
  BeginProgram(20);
  SetSymbolTableLoaded(1);
  EndProgram();
  EXPECT_EQ(SymbolTableLoaded(), 1u);
  EXPECT_EQ(ProgramLoaded(), 1u);
  EXPECT_EQ(ProgramLanguage(), kLanguageNotSet);
  EXPECT_TRUE(GlobalChainHead().IsNone());
  EXPECT_EQ(Loader().Modules().Count(), 0u);

  // Globals without a module still end their chain.
  BeginProgram(20);
  AddGlobalSymbol("lonely", 3, Memory(0x40));
  AddGlobalSymbol("alone", 4, Memory(0x44));
  EndProgram();
  EXPECT_EQ(GlobalRecords(), (std::vector<std::string>{"lonely 0x3 pending 0", "alone 0x4 pending 0", "list end"}));
}

TEST_F(LoaderLibraryTest, LineRules) {
  BeginProgram(20);
  BeginModule("LINES", 0, 0, 1);
  ModuleDescriptor& module = *Loader().CurrentModule();
  EXPECT_EQ(ErrorOf([] { AddLine("a.c", 0, 0, OrdinalValue(0)); }).m_number, 1u) << "line 0";
  AddLine("a.c", 1, 5, OrdinalValue(0xFFFFFFFFu));  // begin-of-file record
  AddLine("a.c", 4, 5, OrdinalValue(0xFFFFFFFFu));  // end-of-file record
  EXPECT_EQ(module.Lines().Count(), 0u) << "records with a skip flag carry no line";
  EXPECT_EQ(module.HighestLine(), 0xFFFFFFFFu);
  AddLine("a.c", 0, 65535, OrdinalValue(0x10));
  AddLine("a.c", 0, 70000, OrdinalValue(0x20));
  EXPECT_EQ(module.HighestLine(), 70000u) << "the highest line counts in 32 bits";
  ASSERT_EQ(module.Lines().Count(), 1u) << "a line a line entry cannot carry is not entered as another line";
  EXPECT_EQ(module.Lines().EntryAt(0).Source().Line(), 65535);
  // Two entries for one line: only the lower offset keeps it.
  AddLine("a.c", 0, 7, OrdinalValue(0x40));
  AddLine("A.C", 0, 7, OrdinalValue(0x30));
  EndProgram();
  std::string text;
  for (uint32_t i = 0; i < module.Lines().Count(); ++i) {
    const LineAddressEntry& entry = module.Lines().EntryAt(i);
    text += HexOrdinal(entry.Offset()) + ":" + (entry.HasLine() ? std::to_string(entry.Source().Line()) : "-") + " ";
  }
  EXPECT_EQ(text, "0x0:- 0x10:65535 0x30:7 0xffffffffffffffff:- ") << "module end sentinel at extent + 1 (0 unknown)";
}

TEST_F(LoaderLibraryTest, ScopesNestAndUnbalancedEndsAreRefused) {
  BeginProgram(20);
  BeginModule("SCOPES", 0, 0, 1);
  EXPECT_EQ(ErrorOf([] { EndScope(); }).m_number, 1u);
  EXPECT_TRUE(Loader().CurrentModule()->FirstRecord().IsNone()) << "a refused end writes nothing";
  BeginProcedure("outer", Memory(0x1000), OrdinalValue(0x100), 2, 3, OrdinalValue(4));
  const RecordHandle procedure = Loader().CurrentScope();
  BeginBlock(Memory(0x1010), OrdinalValue(0x20));
  const RecordHandle block = Loader().CurrentScope();
  EXPECT_EQ(BlockRecordView::At(Cache(), block).Enclosing(), procedure);
  EXPECT_TRUE(ProcedureRecordView::At(Cache(), procedure).Enclosing().IsNone());
  EndScope();
  EXPECT_EQ(Loader().CurrentScope(), procedure);
  EndScope();
  EXPECT_TRUE(Loader().CurrentScope().IsNone());
  EXPECT_EQ(ErrorOf([] { EndScope(); }).m_number, 1u);
  const ModuleDescriptor& module = *Loader().CurrentModule();
  EndProgram();
  EXPECT_EQ(ModuleChainTypes(module), "1 0 3 3 end 4");
}

TEST_F(LoaderLibraryTest, NamesLongerThanANamePageAreRefused) {
  BeginProgram(20);
  BeginModule("NAMES", 0, 0, 1);
  const std::string fits(511, 'n');
  const std::string tooLong(512, 'n');
  AddSymbol(fits.c_str(), 0, 1, Memory(0x10));
  const RecordHandle first = Loader().CurrentModule()->FirstRecord();
  EXPECT_EQ(std::string(SymbolRecordView::At(Cache(), first).Name().NameText(Cache()).data()), fits);
  const Raised symbol = ErrorOf([&] { AddSymbol(tooLong.c_str(), 0, 1, Memory(0x20)); });
  EXPECT_EQ(symbol.m_number, kMsgSymbolAnomaly);
  EXPECT_EQ(symbol.m_severity, kSeverityError);
  EXPECT_EQ(ErrorOf([&] { BeginProcedure(tooLong.c_str(), Memory(0x30), OrdinalValue(4), 1, 3, OrdinalValue(4)); })
                .m_number,
            kMsgSymbolAnomaly);
  EXPECT_TRUE(Loader().CurrentScope().IsNone()) << "a refused procedure opens no scope";
  EXPECT_EQ(ErrorOf([&] { BeginModule(tooLong.c_str(), 0, 0, 1); }).m_number, kMsgSymbolAnomaly);
  const ModuleDescriptor& module = *Loader().ModuleById(1);
  EndProgram();
  EXPECT_EQ(ModuleChainTypes(module), "2 end 4") << "only the fitting record is in the chain";
  EXPECT_EQ(Loader().Modules().Count(), 1u);
}

// The module range takes in every procedure, also one below the first and one beyond
// the first one's length; the location finds module, procedure and line.
TEST_F(LoaderLibraryTest, ModuleRangeHoldsEveryProcedure) {
  BeginProgram(20);
  BeginModule("RANGE", 0, 0, 1);
  BeginProcedure("late", Memory(0x5100), OrdinalValue(0x40), 1, 3, OrdinalValue(4));
  EndScope();
  BeginProcedure("early", Memory(0x5000), OrdinalValue(0x20), 1, 3, OrdinalValue(4));
  EndScope();
  BeginProcedure("far", Memory(0x5400), OrdinalValue(0x10), 1, 4, OrdinalValue(4));
  EndScope();
  AddLine("range.c", 0, 20, OrdinalValue(0));
  AddLine("range.c", 0, 10, OrdinalValue(0x100));
  AddLine("range.c", 0, 11, OrdinalValue(0x110));
  AddLine("range.c", 0, 30, OrdinalValue(0x400));
  const ModuleDescriptor& module = *Loader().CurrentModule();
  EndProgramAt(AddressDescriptor(Memory(0x5108)));
  EXPECT_EQ(AddressText(GetCurrentSymbolContext()->Location().CurrentExecutionAddress()), "0x00005108");
  EXPECT_EQ(GetCurrentSymbolContext()->Location().Location().m_line.Get(), 10);
  EXPECT_EQ(AddressText(module.Start()), "0x00005000");
  EXPECT_EQ(module.Extent(), 0x40Fu);

  struct Probe {
    uint32_t m_address;
    const char* m_module;
    const char* m_procedure;
    int32_t m_line;
    uint32_t m_offset;
  };
  const Probe probes[] = {
      {0x5408, "RANGE", "far", 30, 8},   {0x5110, "RANGE", "late", 11, 0},
      {0x5108, "RANGE", "late", 10, 8},      {0x5010, "RANGE", "early", 20, 0x10},
      {0x5500, "<Unknown>", "", -1, 0x5500}, {0x4fff, "<Unknown>", "", -1, 0x4fff},
  };
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.m_address);
    GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(Memory(probe.m_address)));
    const LocationRecord& location = GetCurrentSymbolContext()->Location().Location();
    EXPECT_EQ(std::string(location.m_moduleName.data()), probe.m_module);
    EXPECT_EQ(std::string(location.m_procedureName.data()), probe.m_procedure);
    EXPECT_EQ(location.m_line.Get(), probe.m_line);
    EXPECT_EQ(location.m_offset, probe.m_offset);
  }
}

// What the source view remembers lives in the module record: it is kept, forgotten
// when the location leaves the module's lines or a search path changes, and the
// module's line records are found by line number.
TEST_F(LoaderLibraryTest, SourceViewStateLivesInTheModule) {
  BeginProgram(20);
  BeginModule("VIEW", 0, 0, 1);
  BeginProcedure("viewed", Memory(0x7000), OrdinalValue(0x80), 1, 3, OrdinalValue(4));
  EndScope();
  AddLine("view.c", 0, 10, OrdinalValue(0x08));
  AddLine("view.c", 0, 11, OrdinalValue(0x10));
  AddLine("view.c", 0, 10, OrdinalValue(0x20));
  AddLine("view.c", 0, 12, OrdinalValue(0x30));
  EndProgramAt(AddressDescriptor(Memory(0x700c)));
  SaveModuleViewPosition(7, 9);
  SourcePosition position = GetCurrentSourcePosition();
  EXPECT_EQ(std::string(position.m_moduleName.data()), "VIEW");
  EXPECT_EQ(position.m_displayWords[0], 7u);
  EXPECT_EQ(position.m_displayWords[1], 9u);
  EXPECT_EQ(AddressText(position.m_address), "0x00007000");
  EXPECT_EQ(position.m_line.Get(), 10);

  // The second record of line 10 lost its line when the table was sorted: one address
  // is not a set of addresses of the same line.
  EXPECT_EQ(GetCurrentSymbolContext()->CollectLineAddresses(OptionalLine::Valid(10)), nullptr);

  // Leaving the lines (before the first one) makes the module forget the view.
  GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(Memory(0x7002)));
  EXPECT_EQ(GetCurrentSymbolContext()->Location().Location().m_line.Get(), -1);
  EXPECT_EQ(GetCurrentSourcePosition().m_displayWords[0], 0u);

  GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(Memory(0x700c)));
  SaveModuleViewPosition(3, 4);
  AddToSearchPath("some_directory", kViewpointSearchPath);
  position = GetCurrentSourcePosition();
  EXPECT_EQ(position.m_displayWords[0], 0u);
  EXPECT_EQ(position.m_displayWords[1], 0u);
}

TEST_F(LoaderLibraryTest, BeginProgramReplacesTheContext) {
  BeginProgram(20);
  BeginModule("OLD", 0, 0, 1);
  Define({0x7b, 0x10, 0x7d});
  EndProgram();
  ASSERT_EQ(ProgramLoaded(), 1u);
  ASSERT_EQ(TypeCount(), 2u);
  BeginProgram(19);
  EXPECT_NE(GetCurrentSymbolContext(), GetDefaultSymbolContext());
  EXPECT_EQ(ProgramLoaded(), 0u);
  EXPECT_EQ(TypeCount(), 1u) << "only the null type of the new program";
  EXPECT_EQ(LoaderFormat(), 19u);
  EXPECT_EQ(Loader().Modules().Count(), 0u);
  EndProgram();
}

TEST_F(LoaderLibraryTest, TypeQueries) {
  BeginProgram(20);
  SetTypeBase();
  Define({0x7b, 0x20, 0x7d});
  const uint32_t alias = AddTypedefName("HANDLE", 1);
  EXPECT_EQ(alias, 3u);
  EXPECT_EQ(GetTypeEntryRaw(alias).Category(), kTypeTypedefName);
  EXPECT_EQ(GetTypeEntryRaw(alias).Reference(), 2u) << "module type base 1 + loader index 1";
  EXPECT_NE(IsTypedefName("HANDLE"), nullptr);
  EXPECT_EQ(GetTypeEntryRaw(0x80000002u).Category(), kTypeNull) << "bit 31 reads index 1";
  EXPECT_EQ(ErrorOf([] { GetTypeEntryRaw(4); }).m_number, kMsgNonExistentType);
  EndProgram();
}

// A qualified type that comes back on itself ends in an error where it is followed.
TEST_F(LoaderLibraryTest, CyclicTypesEndInAnError) {
  BeginProgram(20);
  SetTypeBase();
  Define({0x71, 0x83, 0x02, 0x05});                    // 2: const of 3
  Define({0x9e, 0x83, 0x01, 0x05});                    // 3: volatile of 2
  Define({0x7b, 0x20, 0x7d, 0x80, 0x70, 0x00, 0x09});  // 4: 0..9
  BeginTypeDefinition();                               // 5: array of 2 over 4, size to compute
  for (uint8_t byte : {0x78, 0x00, 0x83, 0x01, 0x83, 0x03}) TypeDefinitionByte(byte);
  EXPECT_EQ(ErrorOf([] { EndTypeDefinition(); }).m_number, kMsgInvalidTypeRecord);
  EXPECT_EQ(ErrorOf([] { GetTypeEntry(2); }).m_number, kMsgInvalidTypeRecord);
  // The load can go on.
  Define({0x7b, 0x10, 0x7d});
  EXPECT_EQ(GetTypeEntryRaw(6).PrimitiveCode(), 16);
  EndProgram();
}

// ---- deferred modules

struct DeferredLoad {
  static inline std::vector<uint32_t> s_tokens;
  static inline uint32_t s_base = 0;
  static inline bool s_reenter = false;

  // Loads the module's locals and lines as a loader would, and asks for the same
  // module again on the way (a lookup during the load).
  static uint32_t Load(DeferredModuleHandle token) {
    s_tokens.push_back(token.Value());
    ModuleDescriptor* module = CurrentLoaderState().CurrentModule();
    if (s_reenter && module != nullptr) LoadDeferredModule(module);
    const uint32_t start = 0x1000 * token.ModuleIndex();
    AddLine("deferred.c", 0, 3 + token.ModuleIndex(), OrdinalValue(0));
    BeginProcedure("deferred_procedure", Memory(start), OrdinalValue(0x40), 5, 3, OrdinalValue(4));
    AddSymbol("deferred_local", 0x01, 6, Memory(8));
    EndScope();
    return s_base;
  }
  static uint32_t Translate(uint32_t index) { return index + 100; }
};

struct DeferredCase {
  const char* m_name;
  uint32_t m_format;
  uint32_t m_returnedBase;
  bool m_translate;
  // Type words of ALPHA's two globals before and after its load.
  uint32_t m_before0;
  uint32_t m_before1;
  uint32_t m_after0;
  uint32_t m_after1;
  bool m_staysCurrent;
};

TEST_F(LoaderLibraryTest, DeferredModuleRoundTrip) {
  const DeferredCase cases[] = {
      {"format 7", 7, 1, false, 0x80000005u, 0x80000006u, 6, 7, false},
      {"format 19 keeps the module current", 19, 1, false, 0x80000005u, 0x80000006u, 6, 7, true},
      {"format 20 bases at once", 20, 0, false, 6, 7, 6, 7, false},
      {"translation callback", 7, 1, true, 0x80000005u, 0x80000006u, 105, 106, false},
  };
  for (const DeferredCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    DeferredLoad::s_tokens.clear();
    DeferredLoad::s_base = test.m_returnedBase;
    DeferredLoad::s_reenter = true;
    BeginProgram(test.m_format);
    SetDeferredCallbacks(&DeferredLoad::Load, test.m_translate ? &DeferredLoad::Translate : nullptr);
    // A second registration does not replace the first.
    SetDeferredCallbacks(nullptr, nullptr);
    EXPECT_EQ(SetTypeBase(), 1u);
    Define({0x7b, 0x20, 0x7d});
    BeginModule("ALPHA", 0, 0, 1);
    SetDeferredToken(DeferredModuleHandle::FromParts(3, 1), Memory(0x1000), OrdinalValue(0x200));
    AddGlobalSymbol("alpha_code", 5, Memory(0x1010));
    AddGlobalSymbol("alpha_data", 6, Memory(0x9000));
    BeginModule("BETA", 0, 0, 1);
    SetDeferredToken(DeferredModuleHandle::FromParts(3, 2), Memory(0x2000), OrdinalValue(0x100));
    AddGlobalSymbol("beta_code", 7, Memory(0x2010));
    EndProgram();

    ModuleDescriptor& alpha = *Loader().ModuleById(1);
    ModuleDescriptor& beta = *Loader().ModuleById(2);
    EXPECT_TRUE(alpha.HasDeferredToken());
    EXPECT_EQ(alpha.PendingGlobalCount(), 2u);
    EXPECT_TRUE(alpha.FirstRecord().IsNone()) << "no locals before the module is loaded";
    const std::string pendingBeta = "beta_code " + Hex(test.m_format == 20 ? 8 : 0x80000007u) + " pending 2";
    EXPECT_EQ(GlobalRecords(),
              (std::vector<std::string>{"alpha_code " + Hex(test.m_before0) + " pending 1",
                                        "alpha_data " + Hex(test.m_before1) + " pending 1", pendingBeta, "list end"}));

    LoadDeferredModule(&alpha);
    EXPECT_EQ(DeferredLoad::s_tokens, (std::vector<uint32_t>{0x03000001u})) << "loaded once, not again from inside";
    EXPECT_FALSE(alpha.HasDeferredToken());
    EXPECT_EQ(ModuleChainTypes(alpha), "1 2 3 end 4");
    EXPECT_EQ(GlobalRecords(),
              (std::vector<std::string>{"alpha_code " + Hex(test.m_after0) + " pending 0",
                                        "alpha_data " + Hex(test.m_after1) + " pending 0", pendingBeta, "list end"}));
    EXPECT_EQ(ProcedureRecordView::At(Cache(), alpha.FirstRecord()).TypeIndex(), 6u) << "based on the module's base";
    EXPECT_EQ(Loader().CurrentModule() == &alpha, test.m_staysCurrent);
    LoadDeferredModule(&alpha);
    EXPECT_EQ(DeferredLoad::s_tokens.size(), 1u);

    // A lookup by address loads the module it finds.
    DeferredLoad::s_reenter = false;
    GetCurrentSymbolContext()->SetCurrentAddress(AddressDescriptor(Memory(0x2020)));
    EXPECT_EQ(DeferredLoad::s_tokens, (std::vector<uint32_t>{0x03000001u, 0x03000002u}));
    EXPECT_FALSE(beta.HasDeferredToken());
    const LocationRecord& location = GetCurrentSymbolContext()->Location().Location();
    EXPECT_EQ(std::string(location.m_moduleName.data()), "BETA");
    EXPECT_EQ(std::string(location.m_procedureName.data()), "deferred_procedure");
    EXPECT_EQ(location.m_line.Get(), 5);
  }
}

// A later load into the same context (the next server module) leaves the earlier
// program's modules as they were: nothing is written into the last of them and none is
// ended or collected twice.
TEST_F(LoaderLibraryTest, SecondLoadIntoOneContextKeepsTheFirstModules) {
  DeferredLoad::s_tokens.clear();
  DeferredLoad::s_base = 0;
  DeferredLoad::s_reenter = false;
  BeginProgram(20);
  SetDeferredCallbacks(&DeferredLoad::Load, nullptr);
  SetTypeBase();
  BeginModule("FIRST", 0, 0, 1);
  SetDeferredToken(DeferredModuleHandle::FromParts(0, 1), Memory(0x1000), OrdinalValue(0x100));
  AddGlobalSymbol("first_global", 2, Memory(0x1004));
  EndProgram();

  const uint32_t base = SetTypeBase();
  EXPECT_EQ(base, 1u);
  AddGlobalSymbol("second_global", 3, Memory(0x3004));
  BeginModule("SECOND", 0, 0, 1);
  SetDeferredToken(DeferredModuleHandle::FromParts(1, 1), Memory(0x3000), OrdinalValue(0x100));
  EndProgram();

  LoaderState& loader = Loader();
  EXPECT_EQ(loader.Modules().Count(), 2u);
  const ModuleDescriptor& first = *loader.ModuleById(1);
  EXPECT_EQ(first.PendingGlobalCount(), 1u);
  EXPECT_EQ(loader.ModuleById(1)->Lines().SentinelCount(), 1u) << "the first module ended once";
  EXPECT_EQ(GlobalRecords(), (std::vector<std::string>{"first_global 0x3 pending 1", "second_global 0x4 pending 0",
                                                       "list end"}));
}

// A loader that fails while it loads a module leaves what it wrote readable and no
// page pinned; the module is not loaded again.
struct FailingLoad {
  static inline int s_calls = 0;
  static uint32_t Load(DeferredModuleHandle) {
    ++s_calls;
    BeginProcedure("half_loaded", Memory(0x1000), OrdinalValue(0x10), 1, 3, OrdinalValue(4));
    throw DVError(2070, kSeverityWarning);
  }
};

TEST_F(LoaderLibraryTest, FailingDeferredLoadLeavesReadableRecords) {
  using Failing = FailingLoad;
  Failing::s_calls = 0;
  BeginProgram(7);
  SetDeferredCallbacks(&Failing::Load, nullptr);
  BeginModule("HALF", 0, 0, 1);
  SetDeferredToken(DeferredModuleHandle::FromParts(0, 1), Memory(0x1000), OrdinalValue(0x100));
  EndProgram();
  ModuleDescriptor& module = *Loader().ModuleById(1);
  EXPECT_EQ(ErrorOf([&] { LoadDeferredModule(&module); }).m_number, 2070u);
  EXPECT_EQ(ModuleChainTypes(module), "1 end 4");
  for (uint32_t page = 0; page < Cache().PageCountInFile(); ++page) {
    EXPECT_EQ(Cache().PinCount(page), 0u) << "page " << page << " still pinned";
  }
  LoadDeferredModule(&module);
  EXPECT_EQ(Failing::s_calls, 1);
}

// The walk over a module's global records ends even when the chain has been damaged
// into a loop.
TEST_F(LoaderLibraryTest, DamagedGlobalChainDoesNotHangTheDeferredLoad) {
  DeferredLoad::s_tokens.clear();
  DeferredLoad::s_base = 1;
  DeferredLoad::s_reenter = false;
  BeginProgram(7);
  SetDeferredCallbacks(&DeferredLoad::Load, nullptr);
  BeginModule("LOOP", 0, 0, 1);
  SetDeferredToken(DeferredModuleHandle::FromParts(0, 1), Memory(0x1000), OrdinalValue(0x100));
  for (uint32_t g = 0; g < 20; ++g) AddGlobalSymbol(("loop_global_" + std::to_string(g)).c_str(), 2, Memory(g));
  EndProgram();
  // The first record stops naming the module, so the walk looks past the last one;
  // there the list end becomes a page end whose page links back to the chain's start.
  PageCache& cache = Cache();
  ModuleDescriptor& module = *Loader().ModuleById(1);
  SymbolRecordView::At(cache, module.FirstGlobalRecord(), RecordAccess::Write).SetPendingModule(0);
  const RecordHandle head = GlobalChainHead();
  RecordRef cursor;
  cursor.Init(head);
  for (int guard = 0; guard < 1000 && !cursor.NextSymbolRecord(cache).IsNull(); ++guard) {
  }
  ASSERT_EQ(cursor.RecType(), kListEndRecordType);
  const RecordHandle end(cursor.PageAddr() + kRecordPageHeaderSize + cursor.RecIdx());
  {
    RecordView view = RecordView::Open(cache, end, 4, RecordAccess::Write);
    view.SetU32(0, kPageEndRecordType);
  }
  {
    RecordView link = RecordView::Open(cache, RecordHandle(cursor.PageAddr()), 4, RecordAccess::Write);
    link.SetU32(0, head.Value());
  }
  const Raised raised = ErrorOf([&] { LoadDeferredModule(&module); });
  EXPECT_EQ(raised.m_number, kMsgSymbolAnomaly) << "the loop is met and reported";
  EXPECT_EQ(DeferredLoad::s_tokens.size(), 1u);
  EXPECT_FALSE(module.HasDeferredToken());
  for (uint32_t page = 0; page < cache.PageCountInFile(); ++page) {
    EXPECT_EQ(cache.PinCount(page), 0u) << "page " << page << " still pinned";
  }
  EXPECT_EQ(Loader().CurrentModule(), nullptr);
  // The records met before the loop were translated.
  const SymbolRecordView second = SymbolRecordView::At(cache, RecordHandle(module.FirstGlobalRecord().Value() + 61));
  EXPECT_EQ(second.RawTypeIndex(), 3u);
  EXPECT_EQ(second.PendingModule(), 0u);
}

}  // namespace
}  // namespace zentor
