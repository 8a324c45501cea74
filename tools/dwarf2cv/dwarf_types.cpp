#include "dwarf_types.h"

#include <dwarf.h>

#include <string>
#include <vector>

#include "dwarf_entry.h"

namespace zentor::dwarf2cv {
namespace {

using namespace cvfixture;

constexpr std::uint16_t kVoid = 0x0003;
constexpr std::uint16_t kNoType = 0x0000;
constexpr std::uint16_t kInt4 = 0x0074;
// An array's index type, as 32-bit compilers write it.
constexpr std::uint16_t kArrayIndex = 0x0075;
// Mode bits of a primitive index: 4 is a 32-bit near pointer.
constexpr std::uint16_t kPrimitiveModeMask = 0x0700;
constexpr std::uint16_t kNear32PointerMode = 0x0400;
// Structure property: a forward reference.
constexpr std::uint16_t kForwardReference = 0x0080;

// DWARF base types by encoding, size and, where the size alone does not tell the C type
// apart, its name; the first row that fits wins.
struct PrimitiveRow {
  unsigned m_encoding;
  std::uint64_t m_size;
  const char* m_name;  // nullptr: any name
  std::uint16_t m_codeView;
};

constexpr PrimitiveRow kPrimitives[] = {
    {DW_ATE_signed_char, 1, "char", 0x0070},           // T_RCHAR
    {DW_ATE_unsigned_char, 1, "char", 0x0070},         // T_RCHAR (char unsigned by option)
    {DW_ATE_signed_char, 1, nullptr, 0x0010},          // T_CHAR
    {DW_ATE_unsigned_char, 1, nullptr, 0x0020},        // T_UCHAR
    {DW_ATE_signed, 1, nullptr, 0x0010},               // T_CHAR
    {DW_ATE_unsigned, 1, nullptr, 0x0020},             // T_UCHAR
    {DW_ATE_boolean, 1, nullptr, 0x0030},              // T_BOOL08
    {DW_ATE_signed, 2, nullptr, 0x0011},               // T_SHORT
    {DW_ATE_unsigned, 2, nullptr, 0x0021},             // T_USHORT
    {DW_ATE_signed, 4, "long int", 0x0012},            // T_LONG
    {DW_ATE_unsigned, 4, "long unsigned int", 0x0022}, // T_ULONG
    {DW_ATE_signed, 4, nullptr, 0x0074},               // T_INT4
    {DW_ATE_unsigned, 4, nullptr, 0x0075},             // T_UINT4
    {DW_ATE_signed, 8, nullptr, 0x0013},               // T_QUAD
    {DW_ATE_unsigned, 8, nullptr, 0x0023},             // T_UQUAD
    {DW_ATE_float, 4, nullptr, 0x0040},                // T_REAL32
    {DW_ATE_float, 8, nullptr, 0x0041},                // T_REAL64
    {DW_ATE_float, 10, nullptr, 0x0042},               // T_REAL80
    {DW_ATE_float, 12, nullptr, 0x0042},               // T_REAL80 padded to 12 bytes
};

std::uint64_t ByteSize(Dwarf_Die* die) {
  Dwarf_Word size = 0;
  if (dwarf_aggregate_size(die, &size) != 0) FailAt(die, "its size is not known");
  return size;
}

std::uint32_t ByteSize32(Dwarf_Die* die) {
  const std::uint64_t size = ByteSize(die);
  if (size > 0xFFFFFFFFu) FailAt(die, "its size does not fit 32 bits");
  return static_cast<std::uint32_t>(size);
}

bool IsSignedBase(Dwarf_Die* type) {
  Dwarf_Die die = *type;
  while (dwarf_tag(&die) == DW_TAG_typedef || dwarf_tag(&die) == DW_TAG_const_type ||
         dwarf_tag(&die) == DW_TAG_volatile_type) {
    std::optional<Dwarf_Die> next = TypeEntry(&die);
    if (!next) return false;
    die = *next;
  }
  const std::optional<std::uint64_t> encoding = UnsignedAttribute(&die, DW_AT_encoding);
  return encoding && (*encoding == DW_ATE_signed || *encoding == DW_ATE_signed_char);
}

// An enumerator's value; fixed-size forms hold the underlying type's bits.
std::int64_t EnumeratorValue(Dwarf_Die* enumerator, bool isSigned) {
  Dwarf_Attribute attribute;
  if (dwarf_attr(enumerator, DW_AT_const_value, &attribute) == nullptr) FailAt(enumerator, "it has no value");
  const unsigned form = dwarf_whatform(&attribute);
  if (form == DW_FORM_sdata || form == DW_FORM_implicit_const) {
    Dwarf_Sword value = 0;
    if (dwarf_formsdata(&attribute, &value) != 0) FailAt(enumerator, "its value is unreadable");
    return value;
  }
  Dwarf_Word value = 0;
  if (dwarf_formudata(&attribute, &value) != 0) FailAt(enumerator, "its value is unreadable");
  unsigned bits = 64;
  if (form == DW_FORM_data1) bits = 8;
  if (form == DW_FORM_data2) bits = 16;
  if (form == DW_FORM_data4) bits = 32;
  if (isSigned && bits < 64 && (value >> (bits - 1)) & 1) value |= ~Dwarf_Word(0) << bits;
  return static_cast<std::int64_t>(value);
}

}  // namespace

std::uint16_t TypeTranslator::TypeOf(Dwarf_Die* die) {
  std::optional<Dwarf_Die> type = TypeEntry(die);
  return type ? Translate(&*type) : kVoid;
}

std::uint16_t TypeTranslator::ProcedureTypeOf(Dwarf_Die* die) {
  const Dwarf_Off offset = dwarf_dieoffset(die);
  if (auto known = m_translated.find(offset); known != m_translated.end()) return known->second;
  const std::uint16_t result = TypeOf(die);
  std::vector<std::uint16_t> arguments;
  ForEachChild(die, [&](Dwarf_Die* child) {
    if (dwarf_tag(child) == DW_TAG_formal_parameter) arguments.push_back(TypeOf(child));
    // A variable argument list ends in "no type", as CodeView writes "...".
    if (dwarf_tag(child) == DW_TAG_unspecified_parameters) arguments.push_back(kNoType);
  });
  const std::uint16_t index = AddProcedureType(m_program, result, std::move(arguments));
  m_translated[offset] = index;
  return index;
}

std::uint16_t TypeTranslator::Translate(Dwarf_Die* type) {
  const Dwarf_Off offset = dwarf_dieoffset(type);
  if (auto known = m_translated.find(offset); known != m_translated.end()) return known->second;
  std::uint16_t index = 0;
  switch (dwarf_tag(type)) {
    case DW_TAG_base_type:
      index = Primitive(type);
      break;
    case DW_TAG_unspecified_type:
      index = kVoid;
      break;
    case DW_TAG_typedef:
      index = TypeOf(type);
      break;
    case DW_TAG_const_type:
    case DW_TAG_volatile_type:
      index = AddType(m_program, CvModifierType{.m_attribute = dwarf_tag(type) == DW_TAG_const_type
                                                                   ? kModifierConst
                                                                   : kModifierVolatile,
                                                .m_modified = TypeOf(type)});
      break;
    case DW_TAG_pointer_type:
      index = Pointer(type);
      break;
    case DW_TAG_structure_type:
      // Registers itself before its members, which may point back at it.
      return Structure(type);
    case DW_TAG_enumeration_type:
      index = Enumeration(type);
      break;
    case DW_TAG_array_type:
      index = Array(type);
      break;
    case DW_TAG_subroutine_type:
      return ProcedureTypeOf(type);
    default:
      FailAt(type, "this kind of type has no translation");
  }
  m_translated[offset] = index;
  return index;
}

std::uint16_t TypeTranslator::Primitive(Dwarf_Die* type) {
  const std::optional<std::uint64_t> encoding = UnsignedAttribute(type, DW_AT_encoding);
  const std::uint64_t size = ByteSize(type);
  const std::string name = EntryName(type);
  for (const PrimitiveRow& row : kPrimitives) {
    const bool nameFits = row.m_name == nullptr || name == row.m_name;
    if (encoding && row.m_encoding == *encoding && row.m_size == size && nameFits) return row.m_codeView;
  }
  FailAt(type, "no CodeView primitive has this encoding and size");
}

std::uint16_t TypeTranslator::Pointer(Dwarf_Die* type) {
  if (ByteSize(type) != 4) FailAt(type, "only 32-bit pointers are supported");
  const std::uint16_t pointee = TypeOf(type);
  // Pointers to primitives are primitives themselves, as 32-bit compilers write them.
  if (pointee < kFirstTypeIndex && (pointee & kPrimitiveModeMask) == 0) return kNear32PointerMode | pointee;
  return AddType(m_program, CvPointerType{.m_attribute = kPointerNear32, .m_pointee = pointee});
}

// 1. An incomplete structure is a forward reference.
// 2. Otherwise the structure's index is taken first, so that members pointing back at
//    it find it; the field list follows and the structure record is filled in last.
std::uint16_t TypeTranslator::Structure(Dwarf_Die* type) {
  const Dwarf_Off offset = dwarf_dieoffset(type);
  if (FlagAttribute(type, DW_AT_declaration)) {
    const std::uint16_t index =
        AddType(m_program, CvStructType{.m_property = kForwardReference, .m_name = EntryName(type)});
    m_translated[offset] = index;
    return index;
  }
  const std::uint16_t index = AddType(m_program, CvRawType{});
  m_translated[offset] = index;
  std::vector<CvField> members;
  ForEachChild(type, [&](Dwarf_Die* member) {
    if (dwarf_tag(member) != DW_TAG_member) return;
    if (HasAttribute(member, DW_AT_bit_size)) FailAt(member, "bit fields are not supported");
    const std::optional<std::uint64_t> at = UnsignedAttribute(member, DW_AT_data_member_location);
    if (!at) FailAt(member, "its place in the structure is not a constant");
    members.push_back(
        CvMember{.m_type = TypeOf(member), .m_offset = static_cast<std::int64_t>(*at), .m_name = EntryName(member)});
  });
  const std::size_t count = members.size();
  if (count > 0xFFFF) FailAt(type, "too many members");
  const std::uint16_t fields = AddType(m_program, CvFieldListType{std::move(members)});
  m_program.m_types[index - kFirstTypeIndex] = CvStructType{.m_count = static_cast<std::uint16_t>(count),
                                                            .m_fieldList = fields,
                                                            .m_size = ByteSize32(type),
                                                            .m_name = EntryName(type)};
  return index;
}

std::uint16_t TypeTranslator::Enumeration(Dwarf_Die* type) {
  std::optional<Dwarf_Die> underlyingEntry = TypeEntry(type);
  const std::uint16_t underlying = underlyingEntry ? Translate(&*underlyingEntry) : kInt4;
  const bool isSigned = underlyingEntry ? IsSignedBase(&*underlyingEntry) : true;
  std::vector<CvField> enumerates;
  ForEachChild(type, [&](Dwarf_Die* enumerator) {
    if (dwarf_tag(enumerator) != DW_TAG_enumerator) return;
    enumerates.push_back(
        CvEnumerate{.m_value = EnumeratorValue(enumerator, isSigned), .m_name = EntryName(enumerator)});
  });
  return AddEnum(m_program, EntryName(type), underlying, std::move(enumerates));
}

// A C array of several dimensions is an array of arrays: the last dimension is the
// innermost.
std::uint16_t TypeTranslator::Array(Dwarf_Die* type) {
  std::optional<Dwarf_Die> elementEntry = TypeEntry(type);
  if (!elementEntry) FailAt(type, "it has no element type");
  std::vector<std::uint64_t> counts;
  ForEachChild(type, [&](Dwarf_Die* subrange) {
    if (dwarf_tag(subrange) != DW_TAG_subrange_type) return;
    if (std::optional<std::uint64_t> count = UnsignedAttribute(subrange, DW_AT_count)) {
      counts.push_back(*count);
    } else if (std::optional<std::uint64_t> upper = UnsignedAttribute(subrange, DW_AT_upper_bound)) {
      const std::uint64_t lower = UnsignedAttribute(subrange, DW_AT_lower_bound).value_or(0);
      if (*upper + 1 < lower) FailAt(subrange, "its bounds are reversed");
      counts.push_back(*upper + 1 - lower);
    } else {
      counts.push_back(0);  // a flexible array member
    }
  });
  if (counts.empty()) FailAt(type, "it has no dimension");
  std::uint16_t index = Translate(&*elementEntry);
  std::uint64_t size = ByteSize(&*elementEntry);
  for (auto count = counts.rbegin(); count != counts.rend(); ++count) {
    size *= *count;
    if (size > 0xFFFFFFFFu) FailAt(type, "its size does not fit 32 bits");
    index = AddType(m_program, CvArrayType{.m_element = index,
                                           .m_index = kArrayIndex,
                                           .m_size = static_cast<std::uint32_t>(size)});
  }
  return index;
}

}  // namespace zentor::dwarf2cv
