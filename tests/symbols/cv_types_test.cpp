// The CodeView type translation on its own: the primitive map, the description
// encoding, the bounded record reader, and the translation of hand-built type tables
// into the descriptions the loader library receives.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "symbols/cv_loader.h"
#include "symbols/cv_types.h"

#include "core/core_test_support.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::CoreTestEnvironment;

// ---- building type tables by hand

Bytes U16(uint32_t value) { return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}; }
Bytes U32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}
Bytes Name(const std::string& text) {
  Bytes bytes{static_cast<uint8_t>(text.size())};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Leaves, written out here as numbers so the tests do not share the loader's names.
constexpr uint16_t kModifier = 0x0001, kPointer = 0x0002, kArray = 0x0003, kClass = 0x0004, kStructure = 0x0005,
                   kUnion = 0x0006, kEnum = 0x0007, kProcedure = 0x0008, kMemberFunction = 0x0009,
                   kVtShape = 0x000A, kLabel = 0x000E, kArgList = 0x0201, kFieldList = 0x0204, kDerived = 0x0205,
                   kBitField = 0x0206, kMethodList = 0x0207, kBaseClass = 0x0400, kVirtualBase = 0x0401,
                   kEnumerate = 0x0403, kMember = 0x0406, kNestedType = 0x0409, kOneMethod = 0x040C;

Bytes Record(uint16_t leaf, const Bytes& body) { return Cat({U16(leaf), body}); }
Bytes Member(uint16_t type, const Bytes& offset, const std::string& name) {
  return Cat({U16(kMember), U16(type), U16(3), offset, Name(name)});
}

// A global type table: signature, count, offsets after the offsets, records.
Bytes TypeTable(const std::vector<Bytes>& records, uint32_t signature = 1) {
  Bytes offsets;
  Bytes body;
  for (const Bytes& record : records) {
    const Bytes offset = U32(static_cast<uint32_t>(body.size()));
    const Bytes length = U16(static_cast<uint32_t>(record.size()));
    offsets.insert(offsets.end(), offset.begin(), offset.end());
    body.insert(body.end(), length.begin(), length.end());
    body.insert(body.end(), record.begin(), record.end());
  }
  return Cat({U32(signature), U32(static_cast<uint32_t>(records.size())), offsets, body});
}

std::string HexOf(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  return text;
}

class RecordingSink : public CvDescriptionSink {
 public:
  void Define(std::span<const uint8_t> description) override { m_descriptions.push_back(HexOf(description)); }
  std::vector<std::string> m_descriptions;
};

struct Translation {
  uint32_t m_readStatus = 0;
  uint32_t m_status = 0;
  std::vector<std::string> m_descriptions;
};

Translation Translate(const std::vector<Bytes>& records) {
  CodeViewTypes types;
  types.StartLoad();
  Translation result;
  result.m_readStatus = types.ReadGlobalTypes(TypeTable(records));
  if (result.m_readStatus != 0) return result;
  RecordingSink sink;
  result.m_status = types.TranslateGlobalTypes(sink);
  result.m_descriptions = sink.m_descriptions;
  return result;
}

// ---- translation of each kind of type

struct TranslationCase {
  const char* m_name;
  std::vector<Bytes> m_records;
  uint32_t m_status;
  // The descriptions of the enumeration lists, of the global types, then of the other
  // lists.
  std::vector<std::string> m_expected;
};

class CvTypeTranslationTest : public CoreTestEnvironment {};

TEST_F(CvTypeTranslationTest, EachLeafBecomesItsDescription) {
  const TranslationCase cases[] = {
      {"modifiers: const, volatile, neither",
       {Record(kModifier, Cat({U16(1), U16(0x0074)})), Record(kModifier, Cat({U16(2), U16(0x0070)})),
        Record(kModifier, Cat({U16(0), U16(0x0072)}))},
       0,
       {"71 83 75", "9E 83 71", "9F 83 73"}},
      {"pointers: near 32-bit, near 16-bit to a global type, a reference mode, another pointer type",
       {Record(kPointer, Cat({U16(0x000A), U16(0x0074)})), Record(kPointer, Cat({U16(0x0001), U16(0x1000)})),
        Record(kPointer, Cat({U16(0x0040), U16(0x0074)})), Record(kPointer, Cat({U16(0x000C), U16(0x0074)}))},
       0,
       {"9A 83 75 80", "9A 83 90 01 80", "80", "80"}},
      {"array of 40 bytes: size in bits, element, index",
       {Record(kArray, Cat({U16(0x0074), U16(0x0075), U16(40), Name("")}))},
       0,
       {"78 85 40 01 83 75 83 76"}},
      {"structure with a 7-byte hole (filled 4, 2, 1) and a forward reference",
       {Record(kFieldList, Cat({Member(0x0074, U16(0), "a"), Bytes{0xF2, 0xF1}, Member(0x0070, U16(11), "b")})),
        Record(kStructure, Cat({U16(2), U16(0x1000), U16(0), U16(0), U16(0), U16(12), Name("s")})),
        Record(kStructure, Cat({U16(0), U16(0), U16(0x80), U16(0), U16(0), U16(0), Name("fwd")}))},
       0,
       {"80", "79 60 02 83 90 05 83 90 04 82 01 73", "80", "7F 82 01 61 82 00 82 00 82 00 82 01 62",
        "7F 83 75 83 75 83 73 83 11 83 71"}},
      {"class with a base class, a method, a nested type and padding",
       {Record(kFieldList,
               Cat({U16(kBaseClass), U16(0x1002), U16(3), U16(0), Bytes{0xF2, 0xF1},
                    U16(kOneMethod), U16(3), U16(0x0074), U32(0), Name("f"), Bytes{0xF1},
                    Member(0x0074, U16(4), "z"), U16(kNestedType), U16(0x1002), Name("n")})),
        Record(kClass, Cat({U16(3), U16(0x1000), U16(0), U16(0), U16(0), U16(8), Name("d")})),
        Record(kStructure, Cat({U16(1), U16(0x1003), U16(0), U16(0), U16(0), U16(4), Name("b")})),
        Record(kFieldList, Member(0x0074, U16(0), "x"))},
       0,
       {"80", "8D 40 03 83 90 06 83 90 05 82 01 64", "79 20 01 83 90 08 83 90 07 82 01 62", "80",
        "7F 82 04 2A 42 43 31 82 01 7A", "7F 83 90 03 83 75", "7F 82 01 78", "7F 83 75"}},
      {"union: one group of a types list and a names list per member",
       {Record(kFieldList, Cat({Member(0x0074, U16(0), "i"), Member(0x0040, U16(0), "f")})),
        Record(kUnion, Cat({U16(2), U16(0x1000), U16(0), U16(4), Name("u")}))},
       0,
       {"80", "79 20 00 80 80 82 01 75 69 02 80 80 01 83 90 04 83 90 03 01 83 90 06 83 90 05", "7F 82 01 69",
        "7F 83 75", "7F 82 01 66", "7F 83 41"}},
      {"enumeration with values of three widths",
       {Record(kFieldList, Cat({U16(kEnumerate), U16(3), U16(0), Name("A"), U16(kEnumerate), U16(3), U16(0x8002),
                                U16(0x9000), Name("B"), U16(kEnumerate), U16(3), U16(0x8000), Bytes{0xFF},
                                Name("C")})),
        Record(kEnum, Cat({U16(3), U16(0x0074), U16(0x1000), U16(0), Name("e")}))},
       0,
       {"7F 82 01 41 82 01 42 82 01 43", "7F 00 85 00 90 86 FF FF FF FF", "80",
        "7B 20 7D 82 01 65 83 90 01 83 90 02 80"}},
      {"procedure and member function sharing an argument list",
       {Record(kArgList, Cat({U16(2), U16(0x0074), U16(0x1002)})),
        Record(kProcedure, Cat({U16(0x0003), Bytes{0, 0}, U16(2), U16(0x1000)})),
        Record(kPointer, Cat({U16(0x000A), U16(0x0070)})),
        Record(kMemberFunction,
               Cat({U16(0x0074), U16(0x1002), U16(0), Bytes{4, 0}, U16(2), U16(0x1000), U32(0)}))},
       0,
       {"80", "75 80 83 04 60 02 83 90 05 5B", "9A 83 71 80", "75 80 83 75 95 02 83 90 05 5B",
        "7F 83 90 06 83 90 07", "76 83 75", "76 83 90 03"}},
      {"labels and a bit field",
       {Record(kLabel, U16(0)), Record(kLabel, U16(4)), Record(kBitField, Cat({Bytes{3, 2}, U16(0x0075)}))},
       0,
       {"72 80 60", "72 80 5F", "9D 03 00 02"}},
      {"leaves of no interest are null types",
       {Record(kVtShape, U16(0)), Record(kDerived, U16(0)), Record(kMethodList, U16(0))},
       0,
       {"80", "80", "80"}},
      {"a virtual base class adds no member",
       {Record(kFieldList, Cat({U16(kVirtualBase), U16(0x0074), U16(0x0074), U16(3), U16(0), U16(1)})),
        Record(kStructure, Cat({U16(0), U16(0x1000), U16(0), U16(0), U16(0), U16(4), Name("v")}))},
       0,
       {"80", "79 20 00 83 90 04 83 90 03 82 01 76", "7F", "7F"}},
  };
  for (const TranslationCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    const Translation result = Translate(test.m_records);
    ASSERT_EQ(result.m_readStatus, 0u);
    EXPECT_EQ(result.m_status, test.m_status);
    EXPECT_EQ(result.m_descriptions, test.m_expected);
  }
}

// A type the translation refuses is the null type, whatever it began is taken back
// (its lists are not written) and the types after it are translated.
TEST_F(CvTypeTranslationTest, RefusedTypesBecomeNullAndThePassGoesOn) {
  std::vector<Bytes> unknown(16, Record(0x0017, U16(0)));
  std::vector<Bytes> wideUnion;
  {
    Bytes fields;
    for (int i = 0; i < 128; ++i) fields = Cat({fields, Member(0x0074, U16(0), "m")});
    wideUnion = {Record(kFieldList, fields), Record(kUnion, Cat({U16(128), U16(0x1000), U16(0), U16(4), Name("w")}))};
  }
  const TranslationCase cases[] = {
      {"label of an unknown mode", {Record(kLabel, U16(2))}, 8, {"80"}},
      {"reference past the type table", {Record(kPointer, Cat({U16(0x000A), U16(0x1005)}))}, 8, {"80"}},
      {"reference above 32767", {Record(kModifier, Cat({U16(1), U16(40000)}))}, 8, {"80"}},
      {"unknown numeric leaf", {Record(kArray, Cat({U16(0x0074), U16(0x0075), U16(0x8005), U32(1)}))}, 8, {"80"}},
      {"record shorter than its fields", {Record(kModifier, U16(1))}, 8, {"80"}},
      {"name running past the record",
       {Record(kStructure, Cat({U16(0), U16(0), U16(0), U16(0), U16(0), U16(4), Bytes{9, 'a'}}))},
       8,
       {"80"}},
      {"size whose bits do not fit 32 bits",
       {Record(kArray, Cat({U16(0x0074), U16(0x0075), U16(0x8004), U32(0x20000000), Name("")}))},
       8,
       {"80"}},
      {"hole of more than 64 KiB between members",
       {Record(kFieldList, Member(0x0074, Cat({U16(0x8004), U32(0x10001)}), "far")),
        Record(kStructure, Cat({U16(1), U16(0x1000), U16(0), U16(0), U16(0), U16(0x8004), U32(0x20004), Name("h")}))},
       8,
       {"80", "80"}},
      // 32 KiB before "a" are filled (8192 members of 4 bytes); the 32 KiB and one
      // byte before "b" go past what one field list may fill.
      {"holes of more than 64 KiB in one field list, each of them smaller",
       {Record(kFieldList, Cat({Member(0x0074, Cat({U16(0x8002), U16(0x8000)}), "a"),
                                Member(0x0074, Cat({U16(0x8004), U32(0x10005)}), "b")})),
        Record(kStructure, Cat({U16(2), U16(0x1000), U16(0), U16(0), U16(0), U16(0x8004), U32(0x20004), Name("h")}))},
       8,
       {"80", "80"}},
      {"modifier chain that loops, asked for its size",
       {Record(kModifier, Cat({U16(1), U16(0x1000)})), Record(kFieldList, Member(0x1000, U16(0), "m")),
        Record(kStructure, Cat({U16(1), U16(0x1001), U16(0), U16(0), U16(0), U16(4), Name("l")}))},
       8,
       {"71 83 90 01", "80", "80"}},
      {"a damaged type in the middle: the others are translated",
       {Record(kFieldList, Member(0x0074, U16(0), "a")),
        Record(kStructure, Cat({U16(1), U16(0x1000), U16(0), U16(0), U16(0), U16(4), Name("s")})),
        Record(kLabel, U16(9)), Record(kPointer, Cat({U16(0x000A), U16(0x0074)}))},
       8,
       {"80", "79 20 01 83 90 06 83 90 05 82 01 73", "80", "9A 83 75 80", "7F 82 01 61", "7F 83 75"}},
      // The lists of a shared field list are made once, ahead of the global types; an
      // enumeration whose list is damaged is null and leaves no list behind.
      {"enumerations sharing a list, and one whose list is cut short",
       {Record(kFieldList, Cat({U16(kEnumerate), U16(3), U16(0), Name("A")})),
        Record(kEnum, Cat({U16(1), U16(0x0074), U16(0x1000), U16(0), Name("e")})),
        Record(kEnum, Cat({U16(1), U16(0x0070), U16(0x1000), U16(0), Name("f")})),
        Record(kFieldList, Cat({U16(kEnumerate), U16(3)})),
        Record(kEnum, Cat({U16(1), U16(0x0074), U16(0x1003), U16(0), Name("g")}))},
       8,
       {"7F 82 01 41", "7F 00", "80", "7B 20 7D 82 01 65 83 90 01 83 90 02 80",
        "7B 08 7D 82 01 66 83 90 01 83 90 02 80", "80", "80"}},
      {"sixteen unknown leaves: fifteen null types, then the file is corrupted", unknown, 8,
       std::vector<std::string>(16, "80")},
      // Refused at the 128th member: the lists of the 127 before it are taken back.
      {"union of 128 members", wideUnion, 8, {"80", "80"}},
  };
  for (const TranslationCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    TakeOutput();
    const Translation result = Translate(test.m_records);
    ASSERT_EQ(result.m_readStatus, 0u);
    EXPECT_EQ(result.m_status, test.m_status);
    EXPECT_EQ(result.m_descriptions, test.m_expected);
    const bool corrupted = std::string(test.m_name).find("sixteen") != std::string::npos;
    EXPECT_EQ(TakeOutput().find("Symbol file contains corrupted typedef records") != std::string::npos, corrupted);
  }
}

// Every calling convention gives a call code: the library's own for C, fastcall and
// stdcall, and the C code of the same distance for every other (near for those of no
// distance).
TEST_F(CvTypeTranslationTest, EveryCallingConventionIsTranslated) {
  const struct {
    uint8_t m_convention;
    const char* m_code;
  } rows[] = {{0, "60"},  {1, "5F"},  {2, "60"},  {3, "5F"},  {4, "95"},  {5, "96"},  {6, "60"},  {7, "60"},
              {8, "5F"},  {9, "60"},  {10, "5F"}, {11, "60"}, {12, "60"}, {13, "60"}, {200, "60"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.m_convention));
    const Translation result = Translate(
        {Record(kArgList, U16(0)), Record(kProcedure, Cat({U16(0x0003), Bytes{row.m_convention, 0}, U16(0), U16(0x1000)}))});
    EXPECT_EQ(result.m_status, 0u);
    ASSERT_EQ(result.m_descriptions.size(), 3u);
    EXPECT_EQ(result.m_descriptions[1], std::string("75 80 83 04 ") + row.m_code + " 00 83 90 03 5B");
  }
}

TEST_F(CvTypeTranslationTest, ReferencesToRecordsOfTheWrongKindRaiseTheirMessages) {
  struct Case {
    const char* m_name;
    std::vector<Bytes> m_records;
    uint32_t m_message;
  };
  const Case cases[] = {
      {"structure whose field list is a pointer",
       {Record(kPointer, Cat({U16(0x000A), U16(0x0074)})),
        Record(kStructure, Cat({U16(1), U16(0x1000), U16(0), U16(0), U16(0), U16(4), Name("s")}))},
       kMsgExpectedFieldList},
      {"structure whose field list is a primitive",
       {Record(kStructure, Cat({U16(1), U16(0x0074), U16(0), U16(0), U16(0), U16(4), Name("s")}))},
       kMsgExpectedFieldList},
      {"enumeration list holding a member",
       {Record(kFieldList, Member(0x0074, U16(0), "m")),
        Record(kEnum, Cat({U16(1), U16(0x0074), U16(0x1000), U16(0), Name("e")}))},
       kMsgExpectedEnumerate},
      {"procedure whose argument list is a field list",
       {Record(kFieldList, Bytes{}), Record(kProcedure, Cat({U16(0x0003), Bytes{0, 0}, U16(0), U16(0x1000)}))},
       kMsgExpectedArgumentList},
      {"field list with a leaf no field has",
       {Record(kFieldList, Cat({U16(0x0499), U16(0)})),
        Record(kStructure, Cat({U16(1), U16(0x1000), U16(0), U16(0), U16(0), U16(4), Name("s")}))},
       kMsgExpectedMember},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.m_name);
    uint32_t raised = 0;
    try {
      Translate(test.m_records);
    } catch (const DVError& error) {
      raised = error.Number();
    }
    EXPECT_EQ(raised, test.m_message);
  }
}

TEST_F(CvTypeTranslationTest, TypeTablesThatDoNotFitTheirSubsectionAreRefused) {
  const Bytes good = TypeTable({Record(kLabel, U16(0))});
  Bytes offsetBeyond = good;
  offsetBeyond[8] = 0x40;  // the one record's offset
  Bytes lengthBeyond = good;
  lengthBeyond[12] = 0x40;  // the record's length
  Bytes lengthBelowLeaf = good;
  lengthBelowLeaf[12] = 1;
  Bytes countBeyond = good;
  countBeyond[4] = 3;
  Bytes countAboveIndices = TypeTable({});
  countAboveIndices[4] = 0x01;
  countAboveIndices[5] = 0xF0;
  const struct {
    const char* m_name;
    Bytes m_bytes;
    uint32_t m_status;
  } cases[] = {
      {"a good table", good, 0},
      {"signature other than 1", TypeTable({Record(kLabel, U16(0))}, 2), 8},
      {"shorter than its header", Bytes{1, 0, 0}, 8},
      {"offset past the subsection", offsetBeyond, 8},
      {"record length past the subsection", lengthBeyond, 8},
      {"record length without room for its leaf", lengthBelowLeaf, 8},
      {"more offsets than the subsection holds", countBeyond, 8},
      {"more types than 16-bit indices can name", countAboveIndices, 8},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    CodeViewTypes types;
    types.StartLoad();
    EXPECT_EQ(types.ReadGlobalTypes(test.m_bytes), test.m_status);
    EXPECT_EQ(types.GlobalTypeCount(), test.m_status == 0 ? 1u : 0u);
  }
}

// The lists take the table indices after the global types; the description format
// addresses at most 0x7FFF, so a file with one type more leaves a list unaddressable.
TEST_F(CvTypeTranslationTest, ListsMustStayWithinTheAddressableIndices) {
  for (const uint32_t count : {0x6FFDu, 0x6FFEu}) {
    SCOPED_TRACE(count);
    std::vector<Bytes> records(count, Record(0x000F, Bytes{}));
    records[0] = Record(kFieldList, Member(0x0074, U16(0), "a"));
    records[1] = Record(kStructure, Cat({U16(1), U16(0x1000), U16(0), U16(0), U16(0), U16(4), Name("s")}));
    const Translation result = Translate(records);
    ASSERT_EQ(result.m_readStatus, 0u);
    const bool fits = count == 0x6FFDu;
    EXPECT_EQ(result.m_status, fits ? 0u : 8u);
    // An unaddressable list refuses its structure, and the list it opened before goes
    // with it.
    ASSERT_EQ(result.m_descriptions.size(), count + (fits ? 2u : 0u));
    EXPECT_EQ(result.m_descriptions[1], fits ? "79 20 01 83 FF FF 83 FF FE 82 01 73" : "80");
  }
}

TEST_F(CvTypeTranslationTest, TableIndicesOfCodeViewIndices) {
  CodeViewTypes types;
  types.StartLoad();
  std::vector<Bytes> records(0x7000, Record(0x000F, Bytes{}));
  ASSERT_EQ(types.ReadGlobalTypes(TypeTable(records)), 0u);
  const struct {
    uint32_t m_cvIndex;
    bool m_known;
  } cases[] = {{0x0000, true}, {0x0474, true}, {0x0FFF, true}, {0x1000, true},
               {0x7FFE, true}, {0x7FFF, false}, {0x8000, false}, {40000, false}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_cvIndex);
    uint32_t index = 0;
    EXPECT_EQ(types.TableIndexOf(test.m_cvIndex, index), test.m_known);
    if (test.m_known) {
      EXPECT_EQ(index, test.m_cvIndex + 1);
    }
  }
}

// ---- the primitive map

// The class of a primitive index by the rules the map is made from, written out
// independently of its rows.
uint32_t ReferenceClass(uint32_t index) {
  const uint32_t type = index & 0xFF;
  const uint32_t mode = index >> 8;
  struct Row {
    uint32_t m_type;
    uint32_t m_direct;
    uint32_t m_pointer;
  };
  static const Row rows[] = {
      {0x01, 2, 0},   {0x03, 7, 39},  {0x10, 8, 40},  {0x11, 9, 41},  {0x72, 9, 41},  {0x12, 10, 42},
      {0x74, 10, 42}, {0x20, 11, 43}, {0x21, 12, 44}, {0x73, 12, 44}, {0x22, 13, 45}, {0x75, 13, 45},
      {0x40, 14, 46}, {0x41, 15, 47}, {0x42, 16, 48}, {0x30, 17, 49}, {0x31, 18, 50}, {0x32, 19, 51},
      {0x70, 20, 52}, {0x71, 21, 53}, {0x13, 0, 39},  {0x23, 0, 39},  {0x33, 0, 39},  {0x43, 0, 39},
      {0x44, 0, 39},  {0x50, 0, 39},  {0x51, 0, 39},  {0x52, 0, 39},  {0x53, 0, 39},  {0x76, 0, 39},
      {0x77, 0, 39},
  };
  for (const Row& row : rows) {
    if (row.m_type != type) continue;
    if (mode == 0) return row.m_direct;
    if (mode >= 1 && mode <= 5) return row.m_pointer;
  }
  return 0;
}

TEST(CvPrimitiveMapTest, EveryIndexHasTheClassOfItsTypeAndMode) {
  CvPrimitiveMap map;
  map.Fill(CvPrimitiveRows());
  EXPECT_EQ(CvPrimitiveRows().size(), 189u);
  for (uint32_t index = 0; index < 0x1000; ++index) {
    ASSERT_EQ(map.ClassOf(index), ReferenceClass(index)) << "index " << index;
  }
}

TEST(CvPrimitiveMapTest, PointerClassesReferToTheLastPrimitiveOfTheirClass) {
  CvPrimitiveMap map;
  map.Fill(CvPrimitiveRows());
  // k = 7..22: the table index the pointer classes 16 + k and 32 + k point at.
  const uint8_t expected[] = {0x04, 0x11, 0x12, 0x13, 0x21, 0x22, 0x23, 0x41,
                              0x42, 0x43, 0x31, 0x32, 0x33, 0x71, 0x72, 0x18};
  for (uint32_t k = 7; k <= 22; ++k) {
    SCOPED_TRACE(k);
    const uint8_t r = expected[k - 7];
    EXPECT_EQ(HexOf(map.ClassDescription(16 + k)), HexOf(Bytes{0x9B, 0x83, r, 0x80}));
    EXPECT_EQ(HexOf(map.ClassDescription(32 + k)), HexOf(Bytes{0x9A, 0x83, r, 0x80}));
  }
  EXPECT_EQ(map.ClassOf(0x0474), 42u);
  EXPECT_EQ(HexOf(map.DescriptionOf(0x0474)), "9A 83 13 80");
  EXPECT_EQ(HexOf(map.DescriptionOf(0x0074)), "7B 20 7D");
  EXPECT_EQ(HexOf(map.DescriptionOf(0x0003)), "80");
  EXPECT_EQ(HexOf(map.DescriptionOf(0x0001)), "72 80 73");
}

TEST_F(CvTypeTranslationTest, AMapRowOutsideThePrimitivesIsReportedAndLeftOut) {
  const CvPrimitiveRow rows[] = {{0x0074, 10}, {0x1000, 9}, {0x0070, 20}};
  CvPrimitiveMap map;
  map.Fill(rows);
  EXPECT_EQ(LastError().Number(), kMsgInvalidModuleMapIndex);
  EXPECT_EQ(LastError().Severity(), kSeverityWarning);
  EXPECT_EQ(map.ClassOf(0x0074), 10u);
  EXPECT_EQ(map.ClassOf(0x0070), 20u);
}

TEST(CvPrimitiveMapTest, SizesOfPrimitivesFollowTheirBits) {
  const struct {
    uint32_t m_index;
    uint32_t m_size;
  } cases[] = {
      {0x0003, 0}, {0x0004, 8},  {0x0010, 1},  {0x0011, 2}, {0x0012, 4}, {0x0013, 8}, {0x0020, 1},
      {0x0040, 4}, {0x0041, 8},  {0x0042, 10}, {0x0043, 16}, {0x0044, 6}, {0x0060, 4}, {0x0061, 1},
      {0x0070, 1}, {0x0072, 2},  {0x0073, 2},  {0x0074, 4}, {0x0075, 4}, {0x0076, 8}, {0x0077, 8},
      {0x00F0, 4}, {0x0174, 4},  {0x0470, 4},  {0x0674, 8}, {0x0770, 4},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_index);
    EXPECT_EQ(CvPrimitiveSize(test.m_index), test.m_size);
  }
}

// ---- encoding and reading

TEST(CvDescriptionEncodingTest, NumbersReferencesAndNames) {
  const struct {
    int64_t m_value;
    const char* m_bytes;
  } numbers[] = {{0, "00"},           {127, "7F"},          {128, "85 80 00"},          {65535, "85 FF FF"},
                 {65536, "86 00 00 01 00"}, {-1, "86 FF FF FF FF"}, {0x12345678, "86 78 56 34 12"}};
  for (const auto& test : numbers) {
    SCOPED_TRACE(test.m_value);
    Bytes out;
    AppendCvNumber(out, test.m_value);
    EXPECT_EQ(HexOf(out), test.m_bytes);
  }
  const struct {
    uint32_t m_index;
    const char* m_bytes;
  } references[] = {{0x13, "83 13"}, {0x7F, "83 7F"}, {0x80, "83 80 80"}, {0x1005, "83 90 05"}, {0x7FFF, "83 FF FF"}};
  for (const auto& test : references) {
    SCOPED_TRACE(test.m_index);
    Bytes out;
    AppendCvTypeReference(out, test.m_index);
    EXPECT_EQ(HexOf(out), test.m_bytes);
  }
  Bytes name;
  AppendCvName(name, "ab");
  AppendCvName(name, "");
  EXPECT_EQ(HexOf(name), "82 02 61 62 82 00");
}

TEST(CvByteCursorTest, NumericLeavesAndOverruns) {
  const struct {
    const char* m_name;
    Bytes m_bytes;
    bool m_fault;
    int64_t m_value;
  } cases[] = {
      {"plain value", U16(0x7FFF), false, 0x7FFF},
      {"signed byte", Cat({U16(0x8000), Bytes{0x80}}), false, -128},
      {"signed 16", Cat({U16(0x8001), U16(0xFFFE)}), false, -2},
      {"unsigned 16", Cat({U16(0x8002), U16(0xFFFE)}), false, 0xFFFE},
      {"signed 32", Cat({U16(0x8003), U32(0xFFFFFFFF)}), false, -1},
      {"unsigned 32", Cat({U16(0x8004), U32(0xFFFFFFFF)}), false, 0xFFFFFFFF},
      {"unknown numeric leaf", Cat({U16(0x8005), U32(0)}), true, 0},
      {"value cut off", Cat({U16(0x8004), U16(1)}), true, 0},
      {"leaf cut off", Bytes{0x01}, true, 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    CvByteCursor cursor(test.m_bytes);
    bool fault = false;
    int64_t value = 0;
    try {
      value = cursor.Numeric();
    } catch (const CvFormatFault&) {
      fault = true;
    }
    EXPECT_EQ(fault, test.m_fault);
    if (!test.m_fault) {
      EXPECT_EQ(value, test.m_value);
    }
  }
  const Bytes bytes = Cat({Bytes{3, 'a', 'b'}});
  CvByteCursor cursor(bytes);
  EXPECT_THROW(cursor.Name(), CvFormatFault) << "a name longer than the bytes left";
  CvByteCursor seeking(bytes);
  EXPECT_NO_THROW(seeking.Seek(3));
  EXPECT_THROW(seeking.Seek(4), CvFormatFault);
  EXPECT_THROW(seeking.U8(), CvFormatFault);
}

TEST(CvModuleNameTest, NamesAreReducedToTheBareUpperCaseName) {
  const struct {
    const char* m_name;
    const char* m_reduced;
  } cases[] = {
      {"C:\\NLM\\SRC\\_main.c", "MAIN"},  {"/usr/src/__user32.dll", "USER32"}, {"util", "UTIL"},
      {"lib/a.b.c", "A.B"},               {"D:foo.obj", "FOO"},                {"___", ""},
      {"dir.d\\file", "FILE"},            {"", ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.m_name);
    EXPECT_EQ(CodeViewLoader::ReduceModuleName(test.m_name), test.m_reduced);
  }
}

}  // namespace
}  // namespace zentor
