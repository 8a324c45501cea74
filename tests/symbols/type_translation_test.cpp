// The type-definition parser, driven through the loader library's defining calls on a
// fresh program: each case defines a few types, then one more, and the slot of the last
// one (with the record it refers to) is compared with the expected description.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/type_translation.h"

#include "loader_test_support.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::Hex;
using testing_support::HexOrdinal;

class TypeTranslationTest : public testing_support::OwnViewpointTest<0x7E570001u> {};

std::string Signed(uint32_t reference) {
  return reference == 0xFFFFFFFFu ? "-1" : std::to_string(reference);
}

// The elements of the list at `start`: n'name', i<index>, v<number>.
std::string ListText(PageCache& cache, RecordHandle start) {
  std::string text = "[";
  RecordRef cursor;
  cursor.Init(start);
  for (int guard = 0; guard < 10000; ++guard) {
    const RecordView element = cursor.NextTypeRecord(cache);
    if (element.IsNull()) break;
    if (text.size() > 1) text += " ";
    switch (element.U32At(0)) {
      case kListNameElementType:
        text += "n'" + std::string(SymbolKey::ReadFrom(element, 4).NameText(cache).data()) + "'";
        break;
      case kListIndexElementType:
        text += "i" + std::to_string(element.U32At(4));
        break;
      case kListNumberElementType:
        text += "v" + HexOrdinal(element.OrdinalAt(4));
        break;
      default:
        text += "?";
        break;
    }
  }
  return text + "]";
}

// The slot of `index` as a caller reads it, with the record its reference names.
std::string Describe(uint32_t index) {
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  const TypeEntryView entry = GetTypeEntryRaw(index);
  std::string text = "cat " + std::to_string(entry.Category()) + " size " + Hex(entry.Size()) + " code " +
                     std::to_string(entry.PrimitiveCode());
  if (!entry.Name().NameHandle().IsNone()) text += " name '" + std::string(entry.Name().NameText(cache).data()) + "'";
  const RecordHandle reference(entry.Reference());
  switch (entry.Category()) {
    case kTypeQualified: {
      const auto record = QualifierTypeRecordView::At(cache, reference);
      text += " qualifier " + std::to_string(record.QualifierCode()) + " target " + std::to_string(record.Target()) +
              " leaf " + Hex(record.LeafCode()) + " value " + Hex(record.LeafValue()) + " high " +
              std::to_string(record.HighWord());
      break;
    }
    case kTypeArray: {
      const auto record = ArrayTypeRecordView::At(cache, reference);
      text += " array element " + std::to_string(record.ElementType()) + " index " +
              std::to_string(record.IndexType()) + " packed " + std::to_string(record.Packed()) + " number " +
              Hex(record.TrailingNumber());
      break;
    }
    case kTypeStructure:
    case kTypeClass: {
      const auto record = AggregateTypeRecordView::At(cache, reference);
      text += " names " + std::to_string(record.FirstList()) + " types " + std::to_string(record.SecondList()) +
              " packed " + std::to_string(record.Packed());
      break;
    }
    case kTypeUnion: {
      const auto record = AggregateTypeRecordView::At(cache, reference);
      text += " A " + ListText(cache, RecordHandle(record.SecondList())) + " B " +
              ListText(cache, RecordHandle(record.FirstList())) + " packed " + std::to_string(record.Packed());
      break;
    }
    case kTypeEnumeration: {
      const auto record = EnumerationTypeRecordView::At(cache, reference);
      text += " enumerators " + std::to_string(record.EnumeratorList()) + " last " +
              std::to_string(record.LastTypeIndex());
      break;
    }
    case kTypeSubrange: {
      const auto record = SubrangeTypeRecordView::At(cache, reference);
      text += " bounds kind " + std::to_string(record.BoundKind()) + " lower " + HexOrdinal(record.Lower()) + " upper " +
              HexOrdinal(record.Upper());
      break;
    }
    case kTypeList:
      text += " list " + ListText(cache, reference);
      break;
    default:
      text += " ref " + Signed(entry.Reference());
      break;
  }
  return text;
}

template <typename Body>
uint32_t ErrorNumberOf(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error.Number();
  }
  return 0;
}

uint32_t Define(const Bytes& bytes) {
  if (bytes.size() == 1 && bytes[0] == kLeafNone) return DefineNullType();
  const uint32_t index = BeginTypeDefinition();
  for (uint8_t byte : bytes) TypeDefinitionByte(byte);
  EndTypeDefinition();
  return index;
}

Bytes Text(const char* text) { return Bytes(text, text + std::char_traits<char>::length(text)); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct DefinitionCase {
  const char* m_name;
  uint32_t m_format;
  // Defined first, at indices 2, 3, ... (the loader's index byte n stands for n + 1:
  // the module type base is 1 after the null type).
  std::vector<Bytes> m_setup;
  Bytes m_definition;
  std::string m_expected;
  bool m_endsInError;
};

std::vector<DefinitionCase> DefinitionCases() {
  const Bytes name255 = Join({{0x7b, 0x10, 0x7d, 0x82, 0xff}, Bytes(255, 'a'), {0x70, 0x80}});
  const Bytes typesList = {0x7f, 0x83, 0x0f, 0x83, 0x10};
  const Bytes namesList = Join({{0x7f, 0x82, 0x01}, Text("a"), {0x82, 0x01}, Text("b")});
  return {
      // Scalars, sizes and sub-kinds.
      {"int2 with second sub-kind 0x70", 20, {}, {0x7b, 0x10, 0x7d, 0x80, 0x70, 0x80}, "cat 0 size 0x2 code 16 ref -1",
       false},
      {"12-bit scalar is a bit field", 20, {}, {0x7b, 0x0c, 0x7c, 0x80, 0x70, 0x80},
       "cat 17 size 0xc0001 code 9 ref -1", false},
      {"missing second sub-kind ends in error but stays int2", 20, {}, {0x7b, 0x10, 0x7d, 0x80, 0x80},
       "cat 0 size 0x2 code 16 ref -1", true},
      {"name of length 255 keeps 254 characters", 20, {}, name255,
       "cat 0 size 0x2 code 16 name '" + std::string(254, 'a') + "' ref -1", false},
      {"name with a NUL keeps what is before it", 20, {}, Join({{0x7b, 0x10, 0x7d, 0x82, 0x03, 'a', 0x00, 'b'}, {0x70, 0x80}}),
       "cat 0 size 0x2 code 16 name 'a' ref -1", false},
      {"signed char", 20, {}, {0x7b, 0x08, 0x7d, 0x80, 0x6f}, "cat 0 size 0x1 code 6 ref -1", false},
      {"unsigned char", 20, {}, {0x7b, 0x08, 0x7c, 0x80, 0x6f}, "cat 0 size 0x1 code 8 ref -1", false},
      {"boolean byte", 20, {}, {0x7b, 0x08, 0x7c, 0x80, 0x6c}, "cat 0 size 0x1 code 2 ref -1", false},
      {"16-bit boolean is ord2", 20, {}, {0x7b, 0x10, 0x7c, 0x80, 0x6c}, "cat 0 size 0x2 code 9 ref -1", false},
      {"signed byte other than character", 20, {}, {0x7b, 0x08, 0x7d}, "cat 0 size 0x1 code 15 ref -1", false},
      {"plain unsigned byte is char", 20, {}, {0x7b, 0x08, 0x7c}, "cat 0 size 0x1 code 6 ref -1", false},
      {"short", 20, {}, {0x7b, 0x10, 0x7d}, "cat 0 size 0x2 code 16 ref -1", false},
      {"unsigned long", 20, {}, {0x7b, 0x20, 0x7c}, "cat 0 size 0x4 code 10 ref -1", false},
      {"long", 20, {}, {0x7b, 0x20, 0x7d}, "cat 0 size 0x4 code 17 ref -1", false},
      {"float", 20, {}, {0x7b, 0x20, 0x7e}, "cat 0 size 0x4 code 19 ref -1", false},
      {"double", 20, {}, {0x7b, 0x40, 0x7e}, "cat 0 size 0x8 code 20 ref -1", false},
      {"unsigned 64", 20, {}, {0x7b, 0x40, 0x7c}, "cat 0 size 0x8 code 11 ref -1", false},
      {"signed 64", 20, {}, {0x7b, 0x40, 0x7d}, "cat 0 size 0x8 code 18 ref -1", false},
      {"64-bit complex sub-kind", 20, {}, {0x7b, 0x40, 0x7e, 0x80, 0x7e}, "cat 0 size 0x8 code 28 ref -1", false},
      {"complex leaf", 20, {}, {0xa0}, "cat 0 size 0x8 code 28 ref -1", false},
      {"long double", 20, {}, {0x7b, 0x50, 0x7e}, "cat 0 size 0xa code 21 ref -1", false},
      {"long double under format 19", 19, {}, {0x7b, 0x50, 0x7e}, "cat 0 size 0x10 code 21 ref -1", false},
      {"96-bit", 20, {}, {0x7b, 0x60, 0x7c}, "cat 0 size 0xc code 13 ref -1", false},
      {"128-bit through a two-byte number", 20, {}, {0x7b, 0x85, 0x80, 0x00, 0x7c}, "cat 0 size 0x10 code 14 ref -1",
       false},
      {"24-bit has no primitive code", 20, {}, {0x7b, 0x18, 0x7c}, "cat 0 size 0x3 code 0 ref -1", false},
      {"format-19 bit-field sub-kind", 19, {}, {0x7b, 0x10, 0x80, 0x80, 0x70, 0x80}, "cat 17 size 0x100002 code 9 ref -1",
       false},
      {"sub-kind 0x80 outside format 19 is an error", 20, {}, {0x7b, 0x10, 0x80, 0x80, 0x70, 0x80},
       "cat 10 size 0x0 code 0 ref -1", true},
      // Subranges, enumerations and sets.
      {"numeric subrange", 20, {}, {0x7b, 0x20, 0x7d, 0x80, 0x70, 0x01, 0x0a},
       "cat 1 size 0x4 code 17 bounds kind 17 lower 0x1 upper 0xa", false},
      {"negative lower bound", 20, {}, {0x7b, 0x20, 0x7d, 0x80, 0x70, 0x88, 0xfb, 0x05},
       "cat 1 size 0x4 code 17 bounds kind 17 lower 0x1fffffffb upper 0x5", false},
      {"character subrange", 20, {}, Join({{0x7b, 0x08, 0x7c, 0x80, 0x6f, 0x82, 0x01}, Text("a"), {0x82, 0x01}, Text("z")}),
       "cat 1 size 0x1 code 8 bounds kind 23 lower 0x61 upper 0x7a", false},
      {"lower bound through a qualified type", 20, {Join({{0x71, 0x80, 0x82, 0x01}, Text("c")})},
       Join({{0x7b, 0x08, 0x7c, 0x80, 0x6f, 0x83, 0x01, 0x82, 0x01}, Text("z")}),
       "cat 1 size 0x1 code 8 bounds kind 23 lower 0x63 upper 0x7a", false},
      {"enumeration over an earlier list", 20,
       {Join({{0x7f, 0x82, 0x01}, Text("A"), {0x82, 0x01}, Text("B")}), {0x7f, 0x00, 0x01}},
       Join({{0x7b, 0x20, 0x7d, 0x82, 0x01}, Text("E"), {0x83, 0x01, 0x83, 0x02, 0x80}}),
       "cat 3 size 0x4 code 17 name 'E' enumerators 2 last 3", false},
      {"enumeration list defined later gives a subrange of kind 0", 20, {},
       Join({{0x7b, 0x20, 0x7d, 0x82, 0x01}, Text("E"), {0x83, 0x05, 0x83, 0x06, 0x80}}),
       "cat 1 size 0x4 code 17 name 'E' bounds kind 0 lower 0x7 upper 0x0", false},
      {"set", 20, {}, Join({{0x7b, 0x20, 0x7c, 0x6a, 0x82, 0x03}, Text("Set"), {0x69, 0x83, 0x05}}),
       "cat 4 size 0x4 code 10 name 'Set' ref -1", false},
      // Reference scalars.
      {"16-bit reference to a pointer refers through it", 20, {{0x7a, 0x83, 0x10}},
       Join({{0x7b, 0x10, 0x83, 0x01, 0x82, 0x02}, Text("rp")}), "cat 0 size 0x2 code 25 name 'rp' ref 17", false},
      {"32-bit reference to void", 20, {{0x5a, 0x83, 0x04}}, {0x7b, 0x20, 0x83, 0x01, 0x80},
       "cat 0 size 0x4 code 26 ref 2", false},
      {"16-bit reference to a selector", 20, {{0x65}}, {0x7b, 0x10, 0x83, 0x01, 0x80}, "cat 0 size 0x2 code 27 ref 2",
       false},
      {"48-bit reference to a later type", 20, {}, {0x7b, 0x30, 0x83, 0x05, 0x80}, "cat 0 size 0x6 code 23 ref -1",
       false},
      {"format-20 pointer", 20, {}, {0x9a, 0x83, 0x13, 0x80}, "cat 0 size 0x4 code 22 ref 20", false},
      {"format-20 short offset", 20, {}, {0x9b, 0x83, 0x11, 0x80}, "cat 0 size 0x2 code 25 ref 18", false},
      {"pointer leaf outside format 20 stays undefined", 19, {}, {0x9a, 0x83, 0x13, 0x80},
       "cat 11 size 0x0 code 0 ref -1", false},
      {"two-byte type index", 20, {}, {0x7a, 0x83, 0x81, 0x05}, "cat 13 size 0x0 code 0 ref 262", false},
      {"pointer without index does not take the last definition's", 20, {{0x7a, 0x83, 0x10}}, {0x7a},
       "cat 13 size 0x0 code 0 ref 0", false},
      // Qualified types.
      {"const with a number", 20, {}, {0x71, 0x83, 0x10, 0x05},
       "cat 5 size 0x0 code 0 qualifier 1 target 17 leaf 0x5 value 0x5 high 0", false},
      {"volatile with a type index", 20, {}, {0x9e, 0x83, 0x10, 0x83, 0x02},
       "cat 5 size 0x0 code 0 qualifier 2 target 17 leaf 0x83 value 0x3 high 0", false},
      {"other qualifier with a name", 20, {}, Join({{0x9f, 0x80, 0x82, 0x02}, Text("xy")}),
       "cat 5 size 0x0 code 0 qualifier 3 target 0 leaf 0x82 value 0x78 high 0", false},
      {"const with a negative number", 20, {}, {0x71, 0x83, 0x10, 0x89, 0xfe, 0xff},
       "cat 5 size 0x0 code 0 qualifier 1 target 17 leaf 0x89 value 0xfffffffe high 1", false},
      // Arrays.
      {"array sized by its subrange", 20, {{0x7b, 0x20, 0x7d, 0x80, 0x70, 0x00, 0x09}, {0x7b, 0x20, 0x7d}},
       {0x78, 0x00, 0x83, 0x02, 0x83, 0x01}, "cat 9 size 0x28 code 0 array element 3 index 2 packed 0 number 0x0",
       false},
      {"array of given size with name and packing", 20, {{0x7b, 0x20, 0x7d, 0x80, 0x70, 0x00, 0x09}, {0x7b, 0x20, 0x7d}},
       Join({{0x78, 0x85, 0x40, 0x01, 0x83, 0x02, 0x83, 0x01, 0x82, 0x01}, Text("A"), {0x68}}),
       "cat 9 size 0x28 code 0 name 'A' array element 3 index 2 packed 1 number 0x0", false},
      {"array with a trailing number", 20, {{0x7b, 0x20, 0x7d}}, {0x78, 0x20, 0x83, 0x01, 0x83, 0x01, 0x85, 0x34, 0x12},
       "cat 9 size 0x4 code 0 array element 2 index 2 packed 0 number 0x1234", false},
      {"array of odd bit size over a non-subrange", 20, {{0x7b, 0x20, 0x7d}}, {0x78, 0x0c, 0x83, 0x01, 0x83, 0x01},
       "cat 9 size 0x0 code 0 array element 2 index 2 packed 0 number 0x0", false},
      // Aggregates.
      {"structure", 20, {typesList, namesList}, Join({{0x79, 0x40, 0x02, 0x83, 0x01, 0x83, 0x02, 0x82, 0x01}, Text("S")}),
       "cat 2 size 0x8 code 0 name 'S' names 3 types 2 packed 0", false},
      {"packed class", 20, {typesList, namesList},
       Join({{0x8d, 0x40, 0x02, 0x83, 0x01, 0x83, 0x02, 0x82, 0x01}, Text("C"), {0x68}}),
       "cat 20 size 0x8 code 0 name 'C' names 3 types 2 packed 1", false},
      {"union", 20,
       {{0x7f, 0x83, 0x0f}, Join({{0x7f, 0x82, 0x01}, Text("a")}), {0x7f, 0x83, 0x10}, Join({{0x7f, 0x82, 0x01}, Text("b")})},
       Join({{0x79, 0x40, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("U"),
             {0x69, 0x02, 0x80, 0x80, 0x01, 0x83, 0x01, 0x83, 0x02, 0x01, 0x83, 0x03, 0x83, 0x04}}),
       "cat 16 size 0x8 code 0 name 'U' A [i2 i4] B [i3 i5] packed 0", false},
      {"union without groups", 20, {}, Join({{0x79, 0x20, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("V"), {0x69, 0x00, 0x80, 0x80}}),
       "cat 16 size 0x4 code 0 name 'V' A [] B [] packed 0", false},
      // Lists.
      {"list of every value kind", 20, {},
       Join({{0x7f, 0x82, 0x02}, Text("hi"), {0x83, 0x05, 0x07, 0x86, 0x78, 0x56, 0x34, 0x12, 0x88, 0xff}}),
       "cat 8 size 0x0 code 0 list [n'hi' i6 v0x7 v0x12345678 v0x1ffffffff]", false},
      {"empty list", 20, {}, {0x7f}, "cat 8 size 0x0 code 0 list []", false},
      // Procedures, labels and the small forms.
      {"procedure", 20, {}, {0x75, 0x80, 0x83, 0x10, 0x60, 0x02, 0x83, 0x05, 0x5b}, "cat 6 size 0x0 code 0 ref 17",
       false},
      {"procedure of the primitive table", 20, {}, {0x75, 0x80, 0x80, 0x74, 0x00, 0x80, 0x5e},
       "cat 6 size 0x0 code 0 ref 0", false},
      {"format-20 calling convention", 20, {}, {0x75, 0x80, 0x83, 0x10, 0x95, 0x00, 0x80, 0x5b},
       "cat 6 size 0x0 code 0 ref 17", false},
      {"unknown convention is passed over under format 20", 20, {}, {0x75, 0x80, 0x83, 0x10, 0x42, 0x00, 0x80, 0x5b},
       "cat 6 size 0x0 code 0 ref 17", false},
      {"format-20 convention under format 19 is an error", 19, {}, {0x75, 0x80, 0x83, 0x10, 0x95, 0x00, 0x80, 0x5b},
       "cat 10 size 0x0 code 0 ref -1", true},
      {"label", 20, {}, {0x72, 0x80, 0x5f}, "cat 10 size 0x0 code 0 ref -1", false},
      {"parameter", 20, {}, {0x76, 0x83, 0x10}, "cat 7 size 0x0 code 0 ref -1", false},
      {"void", 20, {}, {0x5a, 0x83, 0x10}, "cat 19 size 0x0 code 0 ref 17", false},
      {"file", 20, {}, Join({{0x67, 0x83, 0x10, 0x82, 0x01}, Text("F"), {0x69}}), "cat 14 size 0x0 code 0 name 'F' ref -1",
       false},
      {"selector", 20, {}, {0x65}, "cat 15 size 0x0 code 0 ref -1", false},
      {"null through a definition", 20, {}, {0x80, 0x80}, "cat 12 size 0x0 code 0 ref -1", false},
      {"bit field", 20, {}, {0x9d, 0x05, 0x00, 0x03}, "cat 17 size 0x50003 code 8 ref -1", false},
      {"wide bit field keeps the low byte of its position", 20, {}, {0x9d, 0x11, 0x00, 0x85, 0x34, 0x12},
       "cat 17 size 0x110034 code 10 ref -1", false},
      {"name leaf 0x80 ends the definition", 20, {}, {0x67, 0x83, 0x10, 0x80, 0x42, 0x42}, "cat 14 size 0x0 code 0 ref -1",
       false},
      {"unknown leading leaf", 20, {}, {0x42}, "cat 10 size 0x0 code 0 ref -1", true},
      {"unknown numeric leaf", 20, {}, {0x7b, 0x87, 0x7d}, "cat 10 size 0x0 code 0 ref -1", true},
  };
}

TEST_F(TypeTranslationTest, DefinitionsFillTheirSlots) {
  for (const DefinitionCase& test : DefinitionCases()) {
    SCOPED_TRACE(test.m_name);
    BeginProgram(test.m_format);
    ASSERT_EQ(SetTypeBase(), 1u);
    for (const Bytes& setup : test.m_setup) Define(setup);
    const uint32_t index = BeginTypeDefinition();
    EXPECT_EQ(index, 2 + test.m_setup.size());
    for (uint8_t byte : test.m_definition) TypeDefinitionByte(byte);
    EXPECT_EQ(CurrentTypeDescriptionState().InErrorState(), test.m_endsInError)
        << TypeParserStateName(CurrentTypeDescriptionState().ParserState());
    EndTypeDefinition();
    EXPECT_EQ(Describe(index), test.m_expected);
    EXPECT_EQ(TypeCount(), index);
    EndProgram();
  }
}

TEST_F(TypeTranslationTest, UnknownNumericLeafIsReportedAsWarning) {
  BeginProgram(20);
  LastError() = DVError();
  Define({0x7b, 0x87});
  EXPECT_EQ(GetLastErrorNumber(), kMsgUnrecognizableTypeDefinition);
  EXPECT_EQ(LastError().Severity(), kSeverityWarning);
  // The load goes on: the next definition is made as usual.
  const uint32_t next = Define({0x7b, 0x10, 0x7d});
  EXPECT_EQ(Describe(next), "cat 0 size 0x2 code 16 ref -1");
  EndProgram();
}

TEST_F(TypeTranslationTest, NullTypeIsIndexOneOfEveryProgram) {
  for (uint32_t format : {19u, 20u, 7u}) {
    SCOPED_TRACE(format);
    BeginProgram(format);
    EXPECT_EQ(TypeCount(), 1u);
    EXPECT_EQ(Describe(1), "cat 12 size 0x0 code 0 ref -1");
    EXPECT_EQ(Define({0x80}), 2u);
    EXPECT_EQ(Describe(2), "cat 12 size 0x0 code 0 ref -1");
    EndProgram();
  }
}

// Indices read from definitions are relative to the module type base of the moment.
TEST_F(TypeTranslationTest, TypeIndicesAddTheModuleTypeBase) {
  BeginProgram(20);
  for (int i = 0; i < 5; ++i) Define({0x7b, 0x20, 0x7d});
  EXPECT_EQ(SetTypeBase(), 6u);
  const uint32_t pointer = Define({0x7a, 0x83, 0x02});
  EXPECT_EQ(Describe(pointer), "cat 13 size 0x0 code 0 ref 8");
  const uint32_t wide = Define({0x7a, 0x83, 0xff, 0xff});
  EXPECT_EQ(Describe(wide), "cat 13 size 0x0 code 0 ref " + std::to_string(0x7fff + 6));
  EndProgram();
}

TEST_F(TypeTranslationTest, NamedTypesBecomeTypedefNames) {
  BeginProgram(20);
  Define(Join({{0x67, 0x83, 0x10, 0x82, 0x04}, Text("FILE"), {0x69}}));
  Define(Join({{0x7b, 0x10, 0x7d, 0x82, 0x04}, Text("WORD"), {0x70, 0x80}}));
  Define({0x7b, 0x10, 0x7d});
  EXPECT_NE(IsTypedefName("FILE"), nullptr);
  EXPECT_NE(IsTypedefName("WORD"), nullptr);
  EXPECT_EQ(IsTypedefName("word"), nullptr) << "typedef names keep their case";
  EXPECT_EQ(IsTypedefName(""), nullptr);
  EXPECT_EQ(CurrentLoaderState().TypedefNameCount(), 2u);
  // A second type of the same name does not enter it twice.
  Define(Join({{0x7b, 0x20, 0x7d, 0x82, 0x04}, Text("WORD"), {0x70, 0x80}}));
  EXPECT_EQ(CurrentLoaderState().TypedefNameCount(), 2u);
  EndProgram();
}

// A union of more groups than the 127 of a fixed table keeps every group.
TEST_F(TypeTranslationTest, UnionKeepsEveryGroup) {
  BeginProgram(20);
  SetTypeBase();
  const uint32_t groups = 200;
  const Bytes definition0 = Join({{0x79, 0x85, 0x00, 0x01, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("W"),
                                  {0x69, 0x85, static_cast<uint8_t>(groups & 0xff), static_cast<uint8_t>(groups >> 8),
                                   0x80, 0x80}});
  Bytes definition = definition0;
  std::string expectedA = "[";
  std::string expectedB = "[";
  for (uint32_t g = 0; g < groups; ++g) {
    const uint32_t a = 1000 + g;
    const uint32_t b = 2000 + g;
    definition.insert(definition.end(), {0x01, 0x83, static_cast<uint8_t>(0x80 | (a >> 8)), static_cast<uint8_t>(a),
                                         0x83, static_cast<uint8_t>(0x80 | (b >> 8)), static_cast<uint8_t>(b)});
    expectedA += (g == 0 ? "i" : " i") + std::to_string(a + 1);
    expectedB += (g == 0 ? "i" : " i") + std::to_string(b + 1);
  }
  const uint32_t index = Define(definition);
  EXPECT_EQ(Describe(index), "cat 16 size 0x20 code 0 name 'W' A " + expectedA + "] B " + expectedB + "] packed 0");
  EndProgram();
}

struct PatchCase {
  const char* m_name;
  uint32_t m_patchFlag;
  uint32_t m_element;
  // Which of the defined types is patched (index as defined below).
  uint32_t m_typeIndex;
  int32_t m_result;
  // Index and expected description after the patch.
  uint32_t m_checkIndex;
  std::string m_expected;
};

// Types 2..: a list of indices, two member lists and a union over them, an array, a
// scalar.
TEST_F(TypeTranslationTest, SetTypeReferencePatchesTheNamedPlace) {
  const std::vector<PatchCase> cases = {
      {"entry reference", 0, 0, 7, 0, 7, "cat 0 size 0x4 code 17 ref 100"},
      {"second index of a list", 1, 2, 2, 0, 2, "cat 8 size 0x0 code 0 list [n'x' i5 i100 v0x3]"},
      {"list has no third index", 1, 3, 2, -1, 2, "cat 8 size 0x0 code 0 list [n'x' i5 i7 v0x3]"},
      {"element 0 of a list", 1, 0, 2, -1, 2, "cat 8 size 0x0 code 0 list [n'x' i5 i7 v0x3]"},
      {"first element of the union's second group", 1, 2, 5, 0, 4, "cat 8 size 0x0 code 0 list [i100]"},
      {"union has no third group", 1, 3, 5, -1, 4, "cat 8 size 0x0 code 0 list [i17]"},
      {"array element type", 1, 1, 6, 0, 6, "cat 9 size 0x0 code 0 array element 100 index 7 packed 0 number 0x0"},
      {"scalar takes no patch", 1, 1, 7, -1, 7, "cat 0 size 0x4 code 17 ref -1"},
  };
  for (const PatchCase& test : cases) {
    SCOPED_TRACE(test.m_name);
    BeginProgram(20);
    SetTypeBase();
    Define(Join({{0x7f, 0x82, 0x01}, Text("x"), {0x83, 0x04, 0x83, 0x06, 0x03}}));  // 2
    Define({0x7f, 0x83, 0x0f});                                                      // 3
    Define({0x7f, 0x83, 0x10});                                                      // 4
    Define(Join({{0x79, 0x20, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("U"),
                 {0x69, 0x02, 0x80, 0x80, 0x01, 0x83, 0x02, 0x83, 0x02, 0x01, 0x83, 0x03, 0x83, 0x02}}));  // 5
    Define({0x78, 0x00, 0x83, 0x06, 0x83, 0x06});                                    // 6
    Define({0x7b, 0x20, 0x7d});                                                      // 7
    EXPECT_EQ(SetTypeReference(test.m_patchFlag, test.m_element, test.m_typeIndex, 99), test.m_result);
    EXPECT_EQ(Describe(test.m_checkIndex), test.m_expected);
    EndProgram();
  }
}

// A union whose groups do not name lists takes no patch, and a group naming a type not
// yet defined is refused instead of read.
TEST_F(TypeTranslationTest, UnionPatchNeedsListGroups) {
  BeginProgram(20);
  SetTypeBase();
  Define({0x7b, 0x20, 0x7d});  // 2: not a list
  const uint32_t overScalar = Define(Join({{0x79, 0x20, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("U"),
                                           {0x69, 0x01, 0x80, 0x80, 0x01, 0x83, 0x01, 0x83, 0x01}}));
  const uint32_t overLater = Define(Join({{0x79, 0x20, 0x00, 0x80, 0x80, 0x82, 0x01}, Text("L"),
                                          {0x69, 0x01, 0x80, 0x80, 0x01, 0x83, 0x30, 0x83, 0x30}}));
  EXPECT_EQ(SetTypeReference(1, 1, overScalar, 5), -1);
  EXPECT_EQ(SetTypeReference(1, 1, overLater, 5), -1);
  EndProgram();
}

TEST_F(TypeTranslationTest, OutOfOrderCallsAreInternalErrors) {
  BeginProgram(20);
  EXPECT_EQ(ErrorNumberOf([] { TypeDefinitionByte(0x7b); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { EndTypeDefinition(); }), 1u);
  Define({0x7b, 0x10, 0x7d});
  EXPECT_EQ(ErrorNumberOf([] { EndTypeDefinition(); }), 1u) << "a definition ends once";
  EndProgram();
}

}  // namespace
}  // namespace zentor
