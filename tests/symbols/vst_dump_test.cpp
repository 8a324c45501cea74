#include "vst_dump.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "vst_test_support.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::DumpVst;
using testing_support::MatchesGolden;
using testing_support::MemoryPageFile;
using testing_support::VstDumpSource;

// A small program written the way a loader writes one: names, types with their
// records and lists, a global chain and two modules with nested scopes. The global
// chain and the first procedure are long enough to cross pages.
class SmallTable {
 public:
  SmallTable() : m_cache(std::make_unique<PageCache>(std::make_unique<MemoryPageFile>())) {}

  SymbolKey Key(const char* text, uint32_t caseWord = 0) {
    return SymbolKey::Store(*m_cache, m_names, NameKey(text, caseWord));
  }

  uint32_t Type(uint32_t category, uint32_t size, uint16_t code, const char* name, uint32_t reference) {
    const uint32_t index = m_types.NewSlot(*m_cache);
    TypeEntryView entry = m_types.GetTypeEntryRaw(*m_cache, index, RecordAccess::Write);
    entry.SetCategory(category);
    entry.SetSize(size);
    entry.SetPrimitiveCode(code);
    if (name != nullptr) entry.SetName(Key(name));
    entry.SetReference(reference);
    return index;
  }

  static AddressDescriptor Memory(uint32_t offset, int32_t line = -1) {
    TargetAddressRecord record;
    record.m_addressClass = kAddressClassMemory;
    record.m_addressKind = kAddressKindMemoryOffset;
    record.m_offset = offset;
    AddressDescriptor address(record);
    if (line >= 0) address.SetLine(OptionalLine::Valid(static_cast<uint16_t>(line)));
    return address;
  }

  RecordHandle Symbol(RecordChainWriter& chain, const char* name, uint32_t type, const AddressDescriptor& at,
                      uint32_t ordinal, uint8_t flags, uint32_t pending = 0) {
    SymbolRecordView symbol = SymbolRecordView::Append(*m_cache, chain);
    symbol.SetRawTypeIndex(type);
    symbol.SetName(Key(name));
    AddressExtent location;
    location.m_address = at;
    location.m_ordinal = ordinal;
    location.m_flags = flags;
    symbol.SetLocation(location);
    symbol.SetPendingModule(pending);
    return symbol.Handle();
  }

  RecordHandle Procedure(const char* name, uint32_t entry, uint32_t length, uint32_t type) {
    ProcedureRecordView procedure = ProcedureRecordView::Append(*m_cache, m_module);
    procedure.SetEnclosing(m_scope);
    procedure.SetEntry(Memory(entry, 10));
    procedure.SetLength(length);
    procedure.SetTypeIndex(type);
    procedure.SetSecondValue(4);
    procedure.SetName(Key(name));
    procedure.SetAttribute(3);
    m_scope = procedure.Handle();
    return procedure.Handle();
  }

  RecordHandle Block(uint32_t start, uint32_t length) {
    BlockRecordView block = BlockRecordView::Append(*m_cache, m_module);
    block.SetEnclosing(m_scope);
    block.SetStart(Memory(start));
    block.SetLength(length);
    m_scope = block.Handle();
    return block.Handle();
  }

  void EndScope(RecordHandle enclosing) {
    AppendBareRecord(*m_cache, m_module, kScopeEndRecordType);
    m_scope = enclosing;
  }

  void Build() {
    // Types.
    const uint32_t null = Type(kTypeNull, 0, 0, nullptr, RecordHandle::kNone);
    const uint32_t integer = Type(kTypePrimitive, 4, 17, "int", RecordHandle::kNone);
    const uint32_t character = Type(kTypePrimitive, 1, 6, "char", RecordHandle::kNone);
    const uint32_t charPointer = Type(kTypePointer, 4, 0, nullptr, character);
    QualifierTypeRecordView constInt = QualifierTypeRecordView::Append(*m_cache, m_typeRecords);
    constInt.SetTarget(integer);
    constInt.SetQualifierCode(1);
    constInt.SetLeafCode(0x71);
    const uint32_t constInteger = Type(kTypeQualified, 4, 0, nullptr, constInt.Handle().Value());
    QualifierTypeRecordView alias = QualifierTypeRecordView::Append(*m_cache, m_typeRecords);
    alias.SetTarget(constInteger);
    alias.SetQualifierCode(3);
    alias.SetLeafCode(0x9f);
    alias.SetLeafValue(0x41);
    Type(kTypeQualified, 4, 0, nullptr, alias.Handle().Value());
    const RecordHandle memberNames = AppendListNameElement(*m_cache, m_typeRecords, Key("x"));
    AppendListNameElement(*m_cache, m_typeRecords, Key("y"));
    AppendListNameElement(*m_cache, m_typeRecords, Key("next"));
    AppendBareRecord(*m_cache, m_typeRecords, kListEndElementType);
    const uint32_t nameList = Type(kTypeList, 0, 0, nullptr, memberNames.Value());
    const uint32_t nodePointer = integer + 7;  // defined below
    const RecordHandle memberTypes = AppendListIndexElement(*m_cache, m_typeRecords, integer);
    AppendListIndexElement(*m_cache, m_typeRecords, integer);
    AppendListIndexElement(*m_cache, m_typeRecords, nodePointer);
    AppendBareRecord(*m_cache, m_typeRecords, kListEndElementType);
    const uint32_t typeList = Type(kTypeList, 0, 0, nullptr, memberTypes.Value());
    ASSERT_EQ(Type(kTypePointer, 4, 0, nullptr, nodePointer + 1), nodePointer);
    AggregateTypeRecordView node = AggregateTypeRecordView::Append(*m_cache, m_typeRecords);
    node.SetFirstList(nameList);
    node.SetSecondList(typeList);
    const uint32_t structure = Type(kTypeStructure, 12, 0, "node", node.Handle().Value());
    SubrangeTypeRecordView bounds = SubrangeTypeRecordView::Append(*m_cache, m_typeRecords);
    bounds.SetBoundKind(17);
    bounds.SetLower(0);
    bounds.SetUpper(9);
    const uint32_t range = Type(kTypeSubrange, 4, 0, nullptr, bounds.Handle().Value());
    ArrayTypeRecordView array = ArrayTypeRecordView::Append(*m_cache, m_typeRecords);
    array.SetElementType(integer);
    array.SetIndexType(range);
    array.SetTrailingNumber(10);
    const uint32_t table = Type(kTypeArray, 40, 0, nullptr, array.Handle().Value());
    const RecordHandle enumerators = AppendListNameElement(*m_cache, m_typeRecords, Key("red"));
    AppendListNumberElement(*m_cache, m_typeRecords, 0);
    AppendListNameElement(*m_cache, m_typeRecords, Key("green"));
    AppendListNumberElement(*m_cache, m_typeRecords, 1);
    AppendListNameElement(*m_cache, m_typeRecords, Key("blue"));
    AppendListNumberElement(*m_cache, m_typeRecords, UnsignedInt64::FromWords(0xFFFFFFFF, 0xFFFFFFFF));
    AppendBareRecord(*m_cache, m_typeRecords, kListEndElementType);
    const uint32_t enumeratorList = Type(kTypeList, 0, 0, nullptr, enumerators.Value());
    EnumerationTypeRecordView colours = EnumerationTypeRecordView::Append(*m_cache, m_typeRecords);
    colours.SetEnumeratorList(enumeratorList);
    colours.SetLastTypeIndex(integer);
    Type(kTypeEnumeration, 4, 0, "color", colours.Handle().Value());
    AggregateTypeRecordView either = AggregateTypeRecordView::Append(*m_cache, m_typeRecords);
    either.SetFirstList(memberTypes.Value());
    either.SetSecondList(memberNames.Value());
    either.SetPacked(1);
    Type(kTypeUnion, 4, 0, "either", either.Handle().Value());
    Type(kTypeTypedefName, 0, 0, "node_t", structure);
    Type(kTypeBitField, (3u << 16) | 5, 8, nullptr, RecordHandle::kNone);
    const uint32_t procedureType = Type(kTypeProcedure, 0, 0, nullptr, integer);
    Type(kTypeVoid, 0, 0, nullptr, null);
    Type(kTypeUndefined, 0, 0, nullptr, RecordHandle::kNone);

    // Global symbols: enough to need a second page.
    m_globalFirst = Symbol(m_global, "g_count", integer, Memory(0x00402000), 4, 0);
    Symbol(m_global, "g_head", nodePointer, Memory(0x00402004), 4, 0);
    Symbol(m_global, "g_table", table, Memory(0x00402008), 40, 0);
    Symbol(m_global, "g_name", charPointer, Memory(0x00402030), 4, 0);
    for (int i = 0; i < 6; ++i) {
      const std::string name = "g_spare" + std::to_string(i);
      Symbol(m_global, name.c_str(), integer | 0x80000000u, Memory(0x00403000 + 4 * i), 4, 0, 2);
    }

    // Module 1: a procedure with a parameter, locals and a nested block.
    const RecordHandle main = Procedure("main", 0x00401000, 0x80, procedureType);
    m_modules.push_back({"main.c", main});
    Symbol(m_module, "argc", integer, Memory(8), 0, kLocationArgumentBlock);
    Symbol(m_module, "i", integer, Memory(0xFFFFFFFC), 0xFFFFFFFC, kLocationStackRelative);
    for (int i = 0; i < 8; ++i) {
      const std::string name = "local" + std::to_string(i);
      Symbol(m_module, name.c_str(), character, Memory(0xFFFFFFF0 - i), 0xFFFFFFF0 - i, kLocationStackRelative);
    }
    const RecordHandle inner = Block(0x00401020, 0x10);
    TargetAddressRecord eax;
    eax.m_addressClass = kAddressClassRegister;
    eax.m_addressKind = kAddressKindRegisterNumber;
    eax.m_offset = 0;
    Symbol(m_module, "tmp", integer, AddressDescriptor(eax), 0, kLocationRegister);
    EndScope(main);
    EndScope(RecordHandle());
    Procedure("helper", 0x00401080, 0x20, procedureType);
    EndScope(RecordHandle());
    AppendBareRecord(*m_cache, m_module, kEndRecordType);
    (void)inner;

    // Module 2: a static.
    const RecordHandle utilFirst = Symbol(m_module, "s_cache", structure, Memory(0x00404000), 12, 0);
    m_modules.push_back({"util.c", utilFirst});
    AppendBareRecord(*m_cache, m_module, kEndRecordType);

    AppendBareRecord(*m_cache, m_global, kListEndRecordType);
  }

  VstDumpSource Source() {
    VstDumpSource source;
    source.m_cache = m_cache.get();
    source.m_globalChain = m_global.FirstPage();
    source.m_modules = m_modules;
    source.m_types = &m_types;
    return source;
  }

  PageCache& Cache() { return *m_cache; }
  RecordHandle GlobalFirst() const { return m_globalFirst; }
  TypeDirectory& Types() { return m_types; }

 private:
  std::unique_ptr<PageCache> m_cache;
  RecordChainWriter m_global;
  RecordChainWriter m_module;
  RecordChainWriter m_typeRecords;
  RecordChainWriter m_names;
  TypeDirectory m_types;
  RecordHandle m_scope;
  RecordHandle m_globalFirst;
  std::vector<std::pair<std::string, RecordHandle>> m_modules;
};

std::filesystem::path Golden(const char* name) { return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "symbols" / name; }

TEST(VstDumpTest, SmallTableMatchesGoldenDump) {
  SmallTable table;
  table.Build();
  EXPECT_TRUE(MatchesGolden(Golden("small_table.dump"), DumpVst(table.Source())));
}

// Damage shows up as errors in the dump instead of ending it.
TEST(VstDumpTest, DamagedTableShowsErrors) {
  SmallTable table;
  table.Build();
  // The third global record gets an unknown type.
  PageCache& cache = table.Cache();
  const RecordHandle third(table.GlobalFirst().Value() + 2 * 61);
  cache.GetPageForRead(third);
  cache.GetPageForWrite(third)[0] = 0x2A;
  const std::string dump = DumpVst(table.Source());
  EXPECT_NE(dump.find("g_head"), std::string::npos);
  EXPECT_EQ(dump.find("g_table"), std::string::npos);
  EXPECT_NE(dump.find("  error 301\n== module main.c"), std::string::npos) << dump;
  EXPECT_NE(dump.find("== types"), std::string::npos) << "the dump goes on after a failed walk";
}

}  // namespace
}  // namespace zentor
