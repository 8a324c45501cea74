// The CodeView loader as the target interface drives it: symbol files written by the
// fixture writer in every version are loaded through the load driver, every deferred
// module is asked for, and the symbol table is compared with golden dumps. Damaged
// files end in their statuses and warnings with what was loaded kept; truncated and
// randomly damaged files never end in anything else; two files share one context.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cv_load_test_support.h"

namespace zentor {
namespace {

using namespace cvfixture;
using testing_support::CvLoadOutcome;
using testing_support::CvLoadTest;
using testing_support::MatchesGolden;

std::filesystem::path GoldenPath(const char* name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "symbols" / name;
}

// The index of the first type of the program that satisfies `fits`.
template <typename Fits>
uint16_t TypeIndexWhere(const CvProgram& program, Fits fits) {
  for (size_t i = 0; i < program.m_types.size(); ++i) {
    if (fits(program.m_types[i])) return static_cast<uint16_t>(kFirstTypeIndex + i);
  }
  ADD_FAILURE() << "the program has no such type";
  return 0;
}

uint16_t VoidProcedureType(const CvProgram& program) {
  return TypeIndexWhere(program, [](const CvType& type) {
    const auto* procedure = std::get_if<CvProcedureType>(&type);
    return procedure != nullptr && procedure->m_return == 0x0003;
  });
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int value : values) bytes.push_back(static_cast<uint8_t>(value));
  return bytes;
}

// A body of 16-bit and 8-bit fields followed by a name.
std::vector<uint8_t> Body(std::initializer_list<uint16_t> words, const std::string& name) {
  std::vector<uint8_t> bytes;
  for (uint16_t word : words) {
    bytes.push_back(static_cast<uint8_t>(word));
    bytes.push_back(static_cast<uint8_t>(word >> 8));
  }
  bytes.push_back(static_cast<uint8_t>(name.size()));
  bytes.insert(bytes.end(), name.begin(), name.end());
  return bytes;
}

// ---- the programs of the golden dumps

CvProgram AlignedRecordsProgram() {
  CvProgram program = MakeSampleProgram();
  program.m_alignSymbolRecords = true;
  return program;
}

CvProgram UnpaddedTypesProgram() {
  CvProgram program = MakeSampleProgram();
  program.m_padTypeRecords = false;
  program.m_leadingBytes.resize(300, 0xCC);
  return program;
}

// Modules that are skipped (a system library, one without segments), a module that
// goes on with the one before it (its code after that module's), and a module with
// records of no interest.
CvProgram ModuleRunsProgram() {
  CvProgram program = MakeSampleProgram();
  const uint16_t voidProcedure = VoidProcedureType(program);

  CvModule system;
  system.m_name = "C:\\WINDOWS\\SYSTEM\\user32.dll";
  system.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x400, .m_size = 0x10}};
  system.m_symbols.push_back(CvProcedure{.m_name = "MessageBoxA", .m_offset = 0x400, .m_length = 0x10});
  program.m_modules.push_back(system);

  CvModule more;
  more.m_name = "lib\\_Util.obj";
  more.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0xC0, .m_size = 0x40}};
  CvProcedure utilMore{.m_name = "util_more", .m_offset = 0xC0, .m_length = 0x20, .m_type = voidProcedure};
  utilMore.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "n", .m_type = 0x0074, .m_frameOffset = -4}};
  more.m_symbols.push_back(utilMore);
  more.m_sourceFiles = {CvSourceFile{
      .m_name = "C:\\NLM\\SRC\\util2.c",
      .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0xC0, 30}, {0xC8, 31}, {0x300, 99}}}}}};
  program.m_modules.push_back(more);

  CvModule empty;
  empty.m_name = "empty.c";
  empty.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "never", .m_type = 0x0074, .m_offset = 0x40});
  program.m_modules.push_back(empty);

  CvModule extra;
  extra.m_name = "C:\\NLM\\SRC\\extra.c";
  extra.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x100, .m_size = 0x40}};
  extra.m_symbols.push_back(CvRawSymbol{0x0009, Bytes({0, 0, 0, 0, 7, 'e', 'x', 't', 'r', 'a', '.', 'o'})});
  extra.m_symbols.push_back(CvRawSymbol{0x0004, Body({0x0074}, "int_t")});
  extra.m_symbols.push_back(CvRawSymbol{0x0003, Body({0x0074, 42}, "ANSWER")});
  extra.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "", .m_type = 0x0074, .m_offset = 0x30});
  CvProcedure far{.m_name = "extra_fn", .m_offset = 0x100, .m_length = 0x40, .m_type = voidProcedure, .m_flags = 4};
  far.m_labels = {CvLabel{.m_name = "again", .m_offset = 0x110}};
  extra.m_symbols.push_back(far);
  // A with-scope: not kept, and its end must not end anything else.
  extra.m_symbols.push_back(CvRawSymbol{0x0208, Body({0, 0, 0, 0, 0x10, 0, 0x120, 0, 1}, "w")});
  extra.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "in_with", .m_type = 0x0070, .m_offset = 0x34});
  extra.m_symbols.push_back(CvRawSymbol{0x0006, {}});
  extra.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "after_with", .m_type = 0x0070, .m_offset = 0x38});
  extra.m_sourceFiles = {CvSourceFile{
      .m_name = "C:\\NLM\\SRC\\extra.c", .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x100, 7}}}}}};
  program.m_modules.push_back(extra);
  return program;
}

// Every kind of field and leaf the translation knows, numeric leaves of each width,
// and global records that are skipped.
CvProgram RichTypesProgram() {
  CvProgram program = MakeSampleProgram();
  AddType(program, CvModifierType{.m_attribute = kModifierVolatile, .m_modified = 0x0074});
  AddType(program, CvModifierType{.m_attribute = 0, .m_modified = 0x0041});
  const uint16_t widget = AddStructure(
      program, "widget", 24,
      {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "id"}, 
       CvRawField{0x040A, Bytes({0x74, 0})},
       CvRawField{0x040C, Bytes({3, 0, 0x74, 0, 0, 0, 0, 0, 4, 'd', 'r', 'a', 'w'})},
       CvRawField{0x0408, Body({2, 0}, "resize")}, CvMember{.m_type = 0x0041, .m_offset = 8, .m_name = "scale"},
       CvRawField{0x0407, Body({0x0074, 3}, "count")}, CvRawField{0x0409, Body({0x0074}, "inner")},
       CvRawField{0x040B, Bytes({0x74, 0})}, CvRawField{0x0404, Body({0x0074}, "pal")},
       CvRawField{0x0405, Bytes({0x74, 0})}, CvRawField{0x040D, Bytes({0x74, 0, 0, 0, 0, 0})},
       CvRawField{0x0401, Bytes({0x74, 0, 0x74, 0, 3, 0, 0, 0, 4, 0})},
       CvMember{.m_type = 0x0070, .m_offset = 20, .m_name = "last"}},
      /*isClass=*/true);
  AddEnum(program, "big", 0x0075,
          {CvEnumerate{.m_value = 70000, .m_name = "HUGE"}, CvEnumerate{.m_value = -70000, .m_name = "LOW"},
           CvEnumerate{.m_value = -300, .m_name = "MINUS"}});
  AddType(program, CvArrayType{.m_element = widget, .m_index = 0x0075, .m_size = 2400000, .m_name = ""});
  AddType(program, CvLabelType{.m_mode = 4});
  AddProcedureType(program, 0x0074, {0x0074}, 1);
  AddProcedureType(program, 0x0041, {}, 5);
  AddType(program, CvPointerType{.m_attribute = kPointerFar32, .m_pointee = 0x0070});
  AddType(program, CvPointerType{.m_attribute = 0x20 | kPointerNear32, .m_pointee = widget});
  AddType(program, CvPointerType{.m_attribute = 0x40 | kPointerNear32, .m_pointee = widget});
  AddType(program, CvRawType{kLeafUnknown, {0, 0}});
  AddType(program, CvRawType{0x000A, {1, 0, 0}});
  AddType(program, CvStructType{.m_count = 0, .m_fieldList = 0, .m_property = 0x80, .m_size = 0, .m_name = "later"});

  CvProcedure drawer{.m_name = "draw_widget", .m_global = true, .m_offset = 0x50, .m_length = 0x10,
                     .m_type = VoidProcedureType(program), .m_flags = 4};
  drawer.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "w", .m_type = widget, .m_frameOffset = -24}};
  program.m_modules[0].m_symbols.push_back(drawer);
  program.m_globals.emplace_back(std::in_place_type<CvRawSymbol>, CvRawSymbol{0x0402, {0, 0, 0, 0}});
  program.m_globals.emplace_back(std::in_place_type<CvRawSymbol>, CvRawSymbol{0x0003, Body({0x0074, 5}, "FIVE")});
  program.m_globals.push_back(CvVariable{
      .m_storage = CvStorage::GlobalData, .m_name = "___triple", .m_type = widget, .m_offset = 0x40});
  return program;
}

TEST_F(CvLoadTest, ProgramsOfEveryVersionMatchTheirGoldenDumps) {
  const struct {
    const char* m_name;
    CvVariant m_variant;
    CvProgram (*m_make)();
    const char* m_golden;
  } cases[] = {
      {"NB05, symbol records aligned", CvVariant::NB05, &AlignedRecordsProgram, "cv_nb05_aligned.dump"},
      {"NB06, type records unpadded", CvVariant::NB06, &UnpaddedTypesProgram, "cv_nb06_unpadded.dump"},
      {"NB07, module runs and skipped modules", CvVariant::NB07, &ModuleRunsProgram, "cv_nb07_module_runs.dump"},
      {"NB09, every kind of type", CvVariant::NB09, &RichTypesProgram, "cv_nb09_rich_types.dump"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    const std::string path = WriteFile("PROGRAM.SYM", WriteCodeView(test.m_make(), test.m_variant));
    const CvLoadOutcome outcome = Load(path);
    ASSERT_EQ(outcome.m_raised, 0u);
    EXPECT_EQ(outcome.m_returned, 0u);
    EXPECT_EQ(outcome.m_reported, 0u);
    EXPECT_EQ(ForceDeferredModules(), 0u);
    const std::string dump = testing_support::DumpWithoutNullPrimitives(Dump());
    EXPECT_EQ(dump.find("error "), std::string::npos) << "a walk of the dump failed";
    EXPECT_TRUE(MatchesGolden(GoldenPath(test.m_golden), dump));
    // The programs are seeds of the CodeView fuzzer too, written with the dumps.
    const char* update = std::getenv("ZENTOR_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
      const std::string seed = "golden-" + std::filesystem::path(test.m_golden).stem().string() + ".sym";
      std::filesystem::copy_file(path, std::filesystem::path(ZENTOR_FUZZ_CORPUS_DIR) / "codeview_file" / seed,
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}


// ---- damaged files

struct CorruptionCase {
  CvCorruption m_corruption;
  // The load: what LoadSymbolFile returned, the last message reported, a message raised.
  uint32_t m_returned;
  uint32_t m_reported;
  uint32_t m_raised;
  // The last message reported while every deferred module was asked for.
  uint32_t m_onDemand;
  // Something that was loaded before the damage and is kept ("" when nothing is).
  const char* m_kept;
};

constexpr uint32_t kInconsistent = 2070;
constexpr uint32_t kNoSymbolics = 2071;
constexpr uint32_t kUnsupported = 2072;
constexpr uint32_t kUnexpectedStatus = 2073;

const CorruptionCase kCorruptionCases[] = {
    {CvCorruption::TruncatedTrailer, kNoSymbolics, kNoSymbolics, 0, 0, ""},
    {CvCorruption::TrailerDistanceBeyondFile, kInconsistent, kInconsistent, 0, 0, ""},
    {CvCorruption::NoCodeViewSignature, kNoSymbolics, kNoSymbolics, 0, 0, ""},
    {CvCorruption::SignatureNB04, kUnsupported, kUnsupported, 0, 0, ""},
    {CvCorruption::SignatureNB08, kUnsupported, kUnsupported, 0, 0, ""},
    {CvCorruption::SignatureNB10, 0, 0, kUnexpectedStatus, 0, ""},
    {CvCorruption::HeaderSignatureBad, kInconsistent, kInconsistent, 0, 0, ""},
    {CvCorruption::DirectoryEntrySizeSmall, kInconsistent, kInconsistent, 0, 0, ""},
    {CvCorruption::DirectoryCountBeyondFile, kInconsistent, kInconsistent, 0, 0, ""},
    {CvCorruption::DirectoryCountWraps, kInconsistent, kInconsistent, 0, 0, ""},
    {CvCorruption::SubsectionBeyondFile, 0, kInconsistent, 0, 0, "symbol \"g_count\""},
    {CvCorruption::ModuleStyleBad, 0, kInconsistent, 0, 0, "symbol \"util_init\""},
    {CvCorruption::AlignSymSignatureZero, 0, 0, 0, kInconsistent, "procedure \"util_init\""},
    {CvCorruption::RecordLengthBelowTypeWord, 0, 0, 0, kInconsistent, "procedure \"util_init\""},
    {CvCorruption::RecordLengthBelowFixedBody, 0, kInconsistent, 0, 0, "symbol \"g_count\""},
    {CvCorruption::RecordLengthBeyondSubsection, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::UnbalancedScopeEnd, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::MissingScopeEnd, 0, 0, 0, kInconsistent, "procedure \"util_init\""},
    {CvCorruption::SymbolTypeIndexOutOfRange, 0, 0, 0, kInconsistent, "procedure \"main\""},
    {CvCorruption::ProcRefModuleMissing, 0, kInconsistent, 0, 0, "symbol \"g_count\""},
    {CvCorruption::LineFileOffsetBeyondSubsection, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::LineTableOffsetBeyondSubsection, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::LinePairCountBeyondSubsection, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::LineNumberZero, 0, 0, 0, kInconsistent, "symbol \"adjustor\""},
    {CvCorruption::GlobalTypesSignatureBad, 0, kInconsistent, 0, 0, "primitive size 4 code 17"},
    {CvCorruption::UnknownLeaf, 0, 0, 0, 0, "procedure \"util_init\""},
    {CvCorruption::SixteenUnknownLeaves, 0, kInconsistent, 0, 0, "name \"point3\""},
    {CvCorruption::TypeIndexOutOfRange, 0, kInconsistent, 0, 0, "name \"point\""},
    {CvCorruption::TooManyUnionGroups, 0, kInconsistent, 0, 0, "name \"point3\""},
};

TEST_F(CvLoadTest, EveryDamagedFileEndsInItsStatusWithWhatWasLoadedKept) {
  ASSERT_EQ(std::size(kCorruptionCases), CorruptionTable().size()) << "a corruption without a case";
  for (const CorruptionCase& test : kCorruptionCases) {
    const CvCorruptionInfo& info = CorruptionTable()[static_cast<size_t>(test.m_corruption)];
    SCOPED_TRACE(info.m_name);
    const std::string path =
        WriteFile("DAMAGED.SYM", WriteCorruptCodeView(MakeSampleProgram(), CvVariant::NB09, test.m_corruption));
    TakeOutput();
    const CvLoadOutcome outcome = Load(path);
    EXPECT_EQ(outcome.m_raised, test.m_raised);
    EXPECT_EQ(outcome.m_returned, test.m_returned);
    EXPECT_EQ(outcome.m_reported, test.m_reported);
    const bool sixteen = test.m_corruption == CvCorruption::SixteenUnknownLeaves;
    EXPECT_EQ(TakeOutput().find("Symbol file contains corrupted typedef records") != std::string::npos, sixteen);
    if (*test.m_kept == '\0') continue;
    EXPECT_EQ(SymbolTableLoaded(), 1u) << "the load is ended, not abandoned";
    EXPECT_EQ(ForceDeferredModules(), test.m_onDemand);
    EXPECT_NE(Dump().find(test.m_kept), std::string::npos) << "lost: " << test.m_kept;
  }
}

// A load that ended must end in a status or warning of the loader; nothing else may
// come out of it.
::testing::AssertionResult EndedSoundly(const CvLoadOutcome& outcome, uint32_t onDemand) {
  static const std::set<uint32_t> kReturned = {0, kInconsistent, kNoSymbolics, kUnsupported};
  static const std::set<uint32_t> kRaised = {0, kUnexpectedStatus, kMsgExpectedArgumentList, kMsgExpectedEnumerate,
                                             kMsgExpectedFieldList, kMsgExpectedMember};
  static const std::set<uint32_t> kReported = {0, kInconsistent, kNoSymbolics, kUnsupported,
                                               kMsgUnrecognizableTypeDefinition};
  if (kReturned.count(outcome.m_returned) == 0 || kRaised.count(outcome.m_raised) == 0 ||
      kReported.count(outcome.m_reported) == 0 || (kReported.count(onDemand) == 0 && kRaised.count(onDemand) == 0)) {
    return ::testing::AssertionFailure() << "returned " << outcome.m_returned << ", reported " << outcome.m_reported
                                         << ", raised " << outcome.m_raised << ", on demand " << onDemand;
  }
  return ::testing::AssertionSuccess();
}

#ifdef _WIN32
constexpr size_t kTruncationStep = 7;
constexpr int kMutationRounds = 100;
#else
constexpr size_t kTruncationStep = 1;
constexpr int kMutationRounds = 400;
#endif

TEST_F(CvLoadTest, EveryTruncationOfAFileEndsInAStatus) {
  const std::vector<uint8_t> whole = WriteCodeView(ModuleRunsProgram(), CvVariant::NB09);
  for (size_t length = 0; length < whole.size(); length += kTruncationStep) {
    const std::string path = WriteFile("CUT.SYM", std::vector<uint8_t>(whole.begin(), whole.begin() + length));
    const CvLoadOutcome outcome = Load(path);
    const uint32_t onDemand = outcome.m_raised == 0 && outcome.m_returned == 0 ? ForceDeferredModules() : 0;
    ASSERT_TRUE(EndedSoundly(outcome, onDemand)) << "file cut to " << length << " bytes";
  }
}

// Debug information whose bytes are changed at random (the trailer kept, so the
// loader reads on): every load still ends in a status, a warning or one of the
// messages of a type list of the wrong kind.
TEST_F(CvLoadTest, RandomlyDamagedFilesEndInAStatus) {
  constexpr uint32_t kSeed = 0xC0DEF11Eu;
  std::mt19937 random(kSeed);
  const CvProgram program = RichTypesProgram();
  const std::vector<uint8_t> whole = WriteCodeView(program, CvVariant::NB09);
  const size_t first = program.m_leadingBytes.size();
  const size_t last = whole.size() - 8;
  for (int round = 0; round < kMutationRounds; ++round) {
    std::vector<uint8_t> bytes = whole;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      const size_t at = first + random() % (last - first);
      const uint32_t how = random() % 4;
      bytes[at] = how == 0 ? 0x00 : how == 1 ? 0xFF : how == 2 ? static_cast<uint8_t>(bytes[at] ^ (1u << (random() % 8)))
                                                               : static_cast<uint8_t>(random());
    }
    const CvLoadOutcome outcome = Load(WriteFile("FUZZ.SYM", bytes));
    const uint32_t onDemand = outcome.m_raised == 0 && outcome.m_returned == 0 ? ForceDeferredModules() : 0;
    ASSERT_TRUE(EndedSoundly(outcome, onDemand)) << "seed " << kSeed << ", round " << round;
  }
}

// ---- deferred modules, contexts shared by several files

// Two files loaded into one context, as the target interface loads two server
// modules. The second file's first module has the name of the first file's last
// module (UTIL) and its second that of the first file's first (MAIN): each is a
// module of its own. Each file keeps its own types, also when its modules are asked
// for after the other file's load pass.
TEST_F(CvLoadTest, TwoFilesInOneContextKeepTheirOwnTypes) {
  const CvProgram first = MakeSampleProgram();
  CvProgram second;
  const uint16_t record = AddStructure(second, "record", 8,
                                       {CvMember{.m_type = 0x0074, .m_offset = 0, .m_name = "key"},
                                        CvMember{.m_type = 0x0074, .m_offset = 4, .m_name = "value"}});
  const uint16_t recordPointer = AddType(second, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = record});
  CvModule util;
  util.m_name = "D:\\OTHER\\UTIL.C";
  util.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x40, .m_size = 0x10}};
  util.m_symbols.push_back(
      CvVariable{.m_storage = CvStorage::LocalData, .m_name = "other_util", .m_type = record, .m_offset = 0x10});
  second.m_modules.push_back(util);
  CvModule main;
  main.m_name = "D:\\OTHER\\MAIN.C";
  main.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0, .m_size = 0x20}};
  CvProcedure entry{.m_name = "other_entry", .m_offset = 0, .m_length = 0x20};
  entry.m_locals = {
      CvVariable{.m_storage = CvStorage::FrameRelative, .m_name = "rec", .m_type = recordPointer, .m_frameOffset = -4}};
  main.m_symbols.push_back(entry);
  main.m_sourceFiles = {CvSourceFile{.m_name = "D:\\OTHER\\MAIN.C",
                                     .m_segments = {CvLineSegment{.m_segment = 1, .m_lines = {{0x0, 1}, {0x10, 2}}}}}};
  second.m_modules.push_back(main);

  ASSERT_EQ(Load(WriteFile("FIRST.SYM", WriteCodeView(first, CvVariant::NB09))).m_returned, 0u);
  const uint32_t firstBase = LastLoader()->TypeBase();
  // The first file's enumeration lists come before its global types.
  const uint32_t firstListsAhead = LastLoader()->Types().ListsAhead();
  EXPECT_EQ(firstListsAhead, 2u);
  TmiSetServerSymbolsLoaded(1);
  ASSERT_EQ(Load(WriteFile("SECOND.SYM", WriteCodeView(second, CvVariant::NB07)), 0x00500000, 0x00900000).m_returned,
            0u);
  const uint32_t secondBase = LastLoader()->TypeBase();
  EXPECT_EQ(firstBase, 1u);
  EXPECT_GT(secondBase, firstBase + 0x1000 + first.m_types.size()) << "the second file's types follow the first's";
  EXPECT_EQ(ForceDeferredModules(), 0u);

  LoaderState& loader = CurrentLoaderState();
  std::vector<std::string> names;
  for (uint32_t id = 1; id <= loader.ModuleCount(); ++id) names.push_back(loader.ModuleById(id)->NameText().data());
  EXPECT_EQ(names, (std::vector<std::string>{"MAIN", "UTIL", "UTIL", "MAIN"}));

  const std::string dump = Dump();
  const uint16_t pointPointer = TypeIndexWhere(first, [](const CvType& type) {
    return std::holds_alternative<CvPointerType>(type);
  });
  const auto typeOf = [&dump](const std::string& symbol) {
    std::smatch match;
    const std::regex pattern("symbol \"" + symbol + "\" type #([0-9]+)");
    return std::regex_search(dump, match, pattern) ? std::stoul(match[1].str()) : 0ul;
  };
  EXPECT_EQ(typeOf("origin"), firstBase + firstListsAhead + pointPointer + 1)
      << "the first file's module uses the first file's types";
  EXPECT_EQ(typeOf("rec"), secondBase + recordPointer + 1);
  EXPECT_NE(dump.find("procedure \"other_entry\" enclosing none entry c20 k1 0x00500000"), std::string::npos);
  EXPECT_NE(dump.find("symbol \"other_util\" type #" + std::to_string(secondBase + record + 1) + " at c20 k1 0x00900010"),
            std::string::npos);
  EXPECT_NE(dump.find("procedure \"main\" enclosing none entry c20 k1 0x00400000"), std::string::npos);
  // The pointer of the second file points at the second file's structure.
  const std::regex pointer("#" + std::to_string(secondBase + recordPointer + 1) +
                           " @[0-9a-f]+ primitive size 4 code 22 name - ref #" +
                           std::to_string(secondBase + record + 1) + " ");
  EXPECT_TRUE(std::regex_search(dump, pointer));
  EXPECT_NE(dump.find("structure size 8 code 0 name \"record\""), std::string::npos);
}

TEST_F(CvLoadTest, ModulesWaitInTheFileUntilAskedForOneByOne) {
  ASSERT_EQ(Load(WriteFile("SAMPLE.SYM", WriteCodeView(MakeSampleProgram(), CvVariant::NB09))).m_returned, 0u);
  LoaderState& loader = CurrentLoaderState();
  ASSERT_EQ(loader.ModuleCount(), 2u);
  ModuleDescriptor& main = *loader.ModuleById(1);
  ModuleDescriptor& util = *loader.ModuleById(2);
  EXPECT_TRUE(main.HasDeferredToken());
  EXPECT_TRUE(util.HasDeferredToken());
  EXPECT_TRUE(main.FirstRecord().IsNone()) << "no local symbol before the module is asked for";
  EXPECT_TRUE(util.FirstRecord().IsNone());
  EXPECT_EQ(AddressText(util.Start()), "0x00400080") << "the range comes with the deferred module";

  LoadDeferredModule(&util);
  EXPECT_EQ(LastError().Number(), 0u);
  EXPECT_FALSE(util.HasDeferredToken());
  EXPECT_FALSE(util.FirstRecord().IsNone());
  EXPECT_TRUE(main.HasDeferredToken()) << "only the module asked for is loaded";
  EXPECT_TRUE(main.FirstRecord().IsNone());
  const std::string dump = Dump();
  EXPECT_NE(dump.find("procedure \"util_init\""), std::string::npos);
  EXPECT_EQ(dump.find("procedure \"helper\""), std::string::npos);
  EXPECT_NE(dump.find("+0x30 C:\\NLM\\SRC\\util.c#6"), std::string::npos);
}

// The symbol file at `path` opened as the load driver opens it, and a program begun
// for its load pass.
void OpenAndBeginProgram(const std::string& path, std::unique_ptr<FileLoadable>& loadable) {
  auto file = std::make_unique<LoaderInputFile>();
  ASSERT_EQ(file->Open(path.c_str()), 1u);
  loadable = std::make_unique<FileLoadable>(LoadRequest{RWCString(path.c_str())}, std::move(file), LoadOptions{});
  uint32_t status = 99;
  loadable->OpenSymbolics(status);
  ASSERT_EQ(status, 0u);
  LoaderLibraryNoOp();
  BeginProgram(kLoaderFormat20);
}

// Reading every module in the load pass (deferred loading off) and reading them on
// demand give the same symbols, lines and procedures.
TEST_F(CvLoadTest, LoadingModulesAtOnceOrOnDemandGivesTheSameModules) {
  const std::string path = WriteFile("RUNS.SYM", WriteCodeView(ModuleRunsProgram(), CvVariant::NB09));
  ASSERT_EQ(Load(path).m_returned, 0u);
  ASSERT_EQ(ForceDeferredModules(), 0u);
  const auto comparable = [](const std::string& dump) {
    // Record positions differ with the order of writing; sentinels with the way the
    // module ended.
    std::string text = dump.substr(dump.find("== module "));
    text = text.substr(0, text.find("== types"));
    text = std::regex_replace(text, std::regex("@[0-9a-f]{8}|from [0-9a-f]{8}|enclosing [0-9a-f]{8}"), "@");
    return text;
  };
  const std::string onDemand = comparable(Dump());
  // Without deferred loading a module's range comes only from its procedures and
  // blocks, so the extents may differ.
  const auto lines = [] {
    std::string text = ModuleText();
    text = std::regex_replace(text, std::regex("  \\+0x[0-9a-f]+ end\n"), "");
    return std::regex_replace(text, std::regex(" deferred| extent 0x[0-9a-f]+"), "");
  };
  const std::string onDemandLines = lines();

  std::unique_ptr<FileLoadable> loadable;
  ASSERT_NO_FATAL_FAILURE(OpenAndBeginProgram(path, loadable));
  EXPECT_EQ(loadable->LoadSymbolics(0, kCodeBase, kDataBase), 0u);
  EndProgram();
  for (uint32_t id = 1; id <= CurrentLoaderState().ModuleCount(); ++id) {
    EXPECT_FALSE(CurrentLoaderState().ModuleById(id)->HasDeferredToken());
  }
  EXPECT_EQ(comparable(Dump()), onDemand);
  EXPECT_EQ(lines(), onDemandLines);
}

// Records of a module's symbols and of the global symbols that are skipped, and those
// that make the file inconsistent (16-bit records, reserved types, records the global
// symbols do not hold).
TEST_F(CvLoadTest, RecordsOfNoInterestAreSkippedAndUnknownOnesRefused) {
  const struct {
    const char* m_name;
    bool m_global;
    CvRawSymbol m_record;
    uint32_t m_reported;
  } cases[] = {
      {"S_COMPILE", false, {0x0001, Bytes({4, 0, 0, 0, 0})}, 0},
      {"S_SSEARCH", false, {0x0005, Bytes({0, 0, 0, 0, 0, 0})}, 0},
      {"S_SKIP", false, {0x0007, Bytes({0, 0, 0, 0})}, 0},
      {"S_PUB32", false, {0x0203, Body({0, 0, 1, 0x74}, "pub")}, 0},
      {"S_REGREL32", false, {0x020C, Body({0, 0, 0x74, 20}, "rel")}, 0},
      {"S_GTHREAD32", false, {0x020E, Body({0, 0, 1, 0x74}, "tls")}, 0},
      {"S_BPREL16", false, {0x0100, Body({4, 0x74}, "old")}, kInconsistent},
      {"S_CVRESERVE", false, {0x0008, {}}, kInconsistent},
      {"S_PROCREF among module symbols", false, {0x0400, Bytes({0, 0, 0, 0, 4, 0, 0, 0, 1, 0})}, kInconsistent},
      {"S_REGISTER shorter than its fixed part", false, {0x0002, Bytes({0x74, 0, 20, 0})}, kInconsistent},
      {"S_UDT among global symbols", true, {0x0004, Body({0x0074}, "int_t")}, 0},
      {"S_LDATA32 among global symbols", true, {0x0201, Body({0, 0, 2, 0x74}, "local")}, kInconsistent},
      {"S_GPROC32 among global symbols", true, {0x0205, std::vector<uint8_t>(35, 0)}, kInconsistent},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    CvProgram program = MakeSampleProgram();
    if (test.m_global) {
      program.m_globals.emplace_back(std::in_place_type<CvRawSymbol>, test.m_record);
    } else {
      program.m_modules[1].m_symbols.emplace_back(std::in_place_type<CvRawSymbol>, test.m_record);
    }
    const CvLoadOutcome outcome = Load(WriteFile("RECORDS.SYM", WriteCodeView(program, CvVariant::NB09)));
    EXPECT_EQ(outcome.m_returned, 0u);
    EXPECT_EQ(outcome.m_reported, test.m_global ? test.m_reported : 0u);
    EXPECT_EQ(ForceDeferredModules(), test.m_global ? 0u : test.m_reported);
    // The records before the refused one stay.
    EXPECT_NE(Dump().find("symbol \"_table\""), std::string::npos);
  }
}

// Loading the same file twice with one loader: the count of unrecognised leaves and
// the name of the last module written start again with each load.
TEST_F(CvLoadTest, EachLoadCountsAndRemembersForItself) {
  CvProgram program = MakeSampleProgram();
  for (int i = 0; i < 10; ++i) AddType(program, CvRawType{kLeafUnknown, {0, 0}});
  const std::string path = WriteFile("TWICE.SYM", WriteCodeView(program, CvVariant::NB09));
  std::unique_ptr<FileLoadable> loadable;
  ASSERT_NO_FATAL_FAILURE(OpenAndBeginProgram(path, loadable));
  auto& loader = dynamic_cast<CodeViewLoader&>(*loadable->Symbolics());
  for (uint32_t pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE(pass);
    TakeOutput();
    EXPECT_EQ(loadable->LoadSymbolics(0, kCodeBase, kDataBase), 0u) << "ten unrecognised leaves per load are fine";
    EXPECT_EQ(loader.Types().UnknownLeafCount(), 10u);
    EXPECT_EQ(TakeOutput().find("corrupted"), std::string::npos);
    EXPECT_EQ(loader.LastModuleWritten(), "UTIL");
    EXPECT_EQ(CurrentLoaderState().ModuleCount(), 2 * pass) << "the second pass's MAIN is a module of its own";
  }
  EndProgram();
}

// References of the global symbols into a module whose symbols are too large to keep
// are read record by record, with the same checks.
TEST_F(CvLoadTest, ReferencesIntoALargeModuleReadTheirRecordAlone) {
  CvProgram program = MakeSampleProgram();
  CvModule large;
  large.m_name = "large.c";
  large.m_segments = {CvSegment{.m_segment = 1, .m_offset = 0x1000, .m_size = 0x100}};
  for (uint32_t i = 0; i < 36000; ++i) {
    char name[48];
    std::snprintf(name, sizeof name, "variable_with_a_long_name_%05u", i);
    large.m_symbols.push_back(
        CvVariable{.m_storage = CvStorage::LocalData, .m_name = name, .m_type = 0x0074, .m_offset = i * 4});
  }
  large.m_symbols.push_back(CvProcedure{.m_name = "large_entry", .m_offset = 0x1000, .m_length = 0x100});
  program.m_modules.push_back(large);
  program.m_globals.push_back(CvReference{.m_procedure = true, .m_module = 3, .m_name = "large_entry"});
  program.m_globals.push_back(
      CvReference{.m_procedure = false, .m_module = 3, .m_name = "variable_with_a_long_name_35999"});
  ASSERT_GT(WriteCodeView(program, CvVariant::NB09).size(), size_t{CvSymbolReader::kLargestKeptModuleSymbols});

  const CvLoadOutcome good = Load(WriteFile("LARGE.SYM", WriteCodeView(program, CvVariant::NB09)));
  EXPECT_EQ(good.m_returned, 0u);
  EXPECT_EQ(good.m_reported, 0u);
  std::string dump = Dump();
  EXPECT_NE(dump.find("symbol \"large_entry\" type #2 at c20 k1 0x00401000"), std::string::npos);
  EXPECT_NE(dump.find("symbol \"variable_with_a_long_name_35999\" type #118 at c20 k1 0x0082327c"),
            std::string::npos);

  // The same reference with its offset moved past the module's symbols.
  CvProgram beyond = program;
  beyond.m_globals.push_back(CvRawSymbol{kSymProcRef, Bytes({0, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0x00, 3, 0})});
  const CvLoadOutcome bad = Load(WriteFile("LARGE.SYM", WriteCodeView(beyond, CvVariant::NB09)));
  EXPECT_EQ(bad.m_returned, 0u);
  EXPECT_EQ(bad.m_reported, kInconsistent);
  dump = Dump();
  EXPECT_NE(dump.find("symbol \"variable_with_a_long_name_35999\""), std::string::npos) << "kept";
}

TEST_F(CvLoadTest, AUserBreakEndsTheLoad) {
  const std::string path = WriteFile("SAMPLE.SYM", WriteCodeView(MakeSampleProgram(), CvVariant::NB09));
  platform::RaiseUserBreak();
  const CvLoadOutcome outcome = Load(path);
  EXPECT_EQ(outcome.m_returned, kMsgControlCDetected);
  EXPECT_EQ(outcome.m_reported, kMsgControlCDetected);
  EXPECT_FALSE(platform::IsUserBreakPending());
}

// What a verbose load of the module-runs program says, each line with the least
// verbosity that says it.
struct VerboseLine {
  uint32_t m_level;
  const char* m_text;
};

const VerboseLine kVerboseLines[] = {
    {1, "Loading Global Type information...\r\n"},
    {1, "Loading global symbol information...\r\n"},
    {2, "Entering data symbol __g_count...\r\n"},
    {1, "Processing module MAIN...\r\n"},
    {1, "Processing module UTIL...\r\n"},
    {1, "Processing module with no segments...\r\n"},
    {1, "Processing module EXTRA...\r\n"},
    // Asking for a module reads its record again.
    {1, "Processing module MAIN...\r\n"},
    {2, "Entering data symbol counter...\r\n"},
    {2, "Entering bp relative symbol origin...\r\n"},
    {2, "Entering bp relative symbol label...\r\n"},
    {2, "Entering bp relative symbol total...\r\n"},
    {2, "Entering register variable p...\r\n"},
    {2, "Entering bp relative symbol shade...\r\n"},
    {2, "Entering bp relative symbol k...\r\n"},
    {2, "Entering register variable tmp...\r\n"},
    {2, "Entering data symbol calls...\r\n"},
    {2, "Entering bp relative symbol v...\r\n"},
    {1, "Processing module UTIL...\r\n"},
    {2, "Entering data symbol _table...\r\n"},
    {2, "Entering bp relative symbol c...\r\n"},
    {2, "Entering bp relative symbol where...\r\n"},
    {2, "Entering bp relative symbol n...\r\n"},
    {1, "Processing module EXTRA...\r\n"},
    {2, "Entering data symbol in_with...\r\n"},
    {2, "Entering data symbol after_with...\r\n"},
};

TEST_F(CvLoadTest, VerboseLoadsTellWhatTheyRead) {
  const std::string path = WriteFile("RUNS.SYM", WriteCodeView(ModuleRunsProgram(), CvVariant::NB09));
  for (const uint32_t level : {0u, 1u, 2u}) {
    SCOPED_TRACE(level);
    SetViewSymbols(level);
    TakeOutput();
    ASSERT_EQ(Load(path).m_returned, 0u);
    ASSERT_EQ(ForceDeferredModules(), 0u);
    std::string expected;
    for (const VerboseLine& line : kVerboseLines) {
      if (level >= line.m_level) expected += line.m_text;
    }
    EXPECT_EQ(TakeOutput(), expected);
  }
}

// A real compiler's procedure types use conventions the translation has no code of
// its own for (near Pascal above all): they load as C of the same distance, and the
// program loads exactly as with C conventions. A type the translation refuses among
// good ones is the null type: every module, symbol and line still loads, and the load
// says once that part of the file was not understood.
TEST_F(CvLoadTest, ForeignConventionsLoadAndARefusedTypeLosesOnlyItself) {
  const auto loaded = [this](const CvProgram& program, uint32_t& reported, std::string& output) {
    TakeOutput();
    const CvLoadOutcome outcome = Load(WriteFile("CONV.SYM", WriteCodeView(program, CvVariant::NB09)));
    EXPECT_EQ(outcome.m_raised, 0u);
    reported = outcome.m_reported;
    EXPECT_EQ(ForceDeferredModules(), 0u);
    output = TakeOutput();
    const std::string dump = Dump();
    // The symbols, scopes and lines; the types differ only in what the conventions
    // and the refused type wrote.
    return dump.substr(0, dump.find("== types")) + dump.substr(dump.find("== modules"));
  };
  uint32_t reported = 0;
  std::string output;
  const CvProgram plain = MakeSampleProgram();
  const std::string expected = loaded(plain, reported, output);
  ASSERT_EQ(reported, 0u);
  ASSERT_NE(expected.find("procedure \"main\""), std::string::npos);

  CvProgram foreign = plain;
  const uint8_t conventions[] = {2, 3, 9, 10, 12, 13};
  size_t next = 0;
  for (CvType& type : foreign.m_types) {
    if (auto* procedure = std::get_if<CvProcedureType>(&type)) procedure->m_convention = conventions[next++ % 6];
    if (auto* method = std::get_if<CvMemberFunctionType>(&type)) method->m_convention = conventions[next++ % 6];
  }
  ASSERT_GE(next, 3u);
  EXPECT_EQ(loaded(foreign, reported, output), expected);
  EXPECT_EQ(reported, 0u);

  CvProgram refused = foreign;
  AddType(refused, CvLabelType{.m_mode = 9});
  AddType(refused, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = 0x0074});
  EXPECT_EQ(loaded(refused, reported, output), expected);
  EXPECT_EQ(reported, kInconsistent);
  size_t warnings = 0;
  for (size_t at = output.find("2070"); at != std::string::npos; at = output.find("2070", at + 1)) ++warnings;
  EXPECT_EQ(warnings, 1u) << output;
}

}  // namespace
}  // namespace zentor
