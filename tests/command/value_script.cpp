#include "value_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "core/dv_error.h"
#include "core/operator_executor.h"
#include "core/real_temp_ring.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_display.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"

namespace zentor::testing_support {
namespace {

using namespace value_bytes;

struct KindName {
  const char* name;
  uint16_t kind;
};

constexpr KindName kKindNames[] = {
    {"null", 0},    {"code1", 1},   {"bool1", 2},   {"bool2", 3},   {"bool4", 4},    {"bool8", 5},
    {"char", 6},    {"packed", 7},  {"ord1", 8},    {"ord2", 9},    {"ord4", 10},    {"ord8", 11},
    {"ord10", 12},  {"ord12", 13},  {"ord16", 14},  {"int1", 15},   {"int2", 16},    {"int4", 17},
    {"int8", 18},   {"real4", 19},  {"real8", 20},  {"real10", 21}, {"nstring", 22}, {"lstring", 23},
    {"offset", 24}, {"ref", 25},    {"sym", 26},    {"loc", 27},    {"len", 28},     {"inactive", 29},
    {"marker", 33}, {"pointer", 34}, {"range", kKindAddressRange},
};

const char* NameOfKind(uint16_t kind) {
  for (const KindName& entry : kKindNames) {
    if (entry.kind == kind) return entry.name;
  }
  return "?";
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

// "x*600" is 600 x's; anything else is itself.
std::string ExpandText(const std::string& text) {
  const size_t star = text.find('*');
  if (star == 1 && text.size() > 2) return std::string(std::strtoul(text.c_str() + 2, nullptr, 10), text[0]);
  return text;
}

void PushInteger(uint16_t kind, const std::string& text) {
  uint8_t bytes[16] = {};
  if (kind == kKindOrd10 || kind == kKindOrd12 || kind == kKindOrd16) {
    // Hexadecimal digits, least significant last.
    std::string digits = text.substr(2);
    for (size_t i = 0; i < digits.size(); ++i) {
      const char c = digits[digits.size() - 1 - i];
      const uint8_t nibble = static_cast<uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
      bytes[i / 2] = static_cast<uint8_t>(bytes[i / 2] | (nibble << (4 * (i % 2))));
    }
  } else {
    const uint64_t value = text[0] == '-' ? static_cast<uint64_t>(std::strtoll(text.c_str(), nullptr, 0))
                                          : std::strtoull(text.c_str(), nullptr, 0);
    StoreU64(bytes, value);
  }
  ValueStack::Push(kind, bytes);
}

void PushReal(uint16_t kind, const std::string& text) {
  const double value = std::strtod(text.c_str(), nullptr);
  uint8_t bytes[kValueBufferSize] = {};
  std::memcpy(bytes, &value, sizeof value);
  if (kind != kKindReal8) ConvertValue(bytes, kKindReal8, bytes, kind);
  ValueStack::Push(kind, bytes);
}

// A location of a named type at an offset (element size the type's size).
TypedLocation ScriptLocation(const std::string& typeName, const std::string& offsetText) {
  const uint16_t kind = KindNamed(typeName);
  const uint32_t size = kind == kKindOffset ? 4 : GetValueKindSize(kind);
  return LocationAt(static_cast<uint32_t>(std::strtoul(offsetText.c_str(), nullptr, 0)), kind, size);
}

uint16_t BinaryCode(const std::string& token) {
  static const char* const kTokens[] = {"+",  "-",  "*", "/", "%", "<=", "<", ">", ">=", "!=",
                                        "==", "^",  "|", "&", "",  "",   "||", "&&", ">>", "<<"};
  for (uint16_t code = 0; code < 20; ++code) {
    if (token == kTokens[code]) return code;
  }
  if (token.rfind("op", 0) == 0) return static_cast<uint16_t>(std::strtoul(token.c_str() + 2, nullptr, 10));
  return 0xFFFF;
}

void PushCode(uint16_t code) {
  uint8_t bytes[2];
  StoreU16(bytes, code);
  ValueStack::Push(kKindOrd2, bytes);
}

// Takes the top item off, pushes the code, puts the item back: the stack then reads
// ... A, code, B (binary) or ... code, A (unary).
void InsertCodeBelowTop(uint16_t code) {
  uint8_t buffer[ValueStack::kMaxItemSize];
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  ValueStack::Pop(buffer);
  PushCode(code);
  ValueStack::PushSized(kind, size, buffer);
}

void RunToken(const std::string& token) {
  const std::vector<std::string> parts = Split(token, ':');
  const std::string head = parts.empty() ? token : parts[0];
  if (token == "null") return PushNullValue();
  if (token == "marker") return PushMarker();
  if (token == "inactive") return ValueStack::PushSized(kKindInactiveSymbol, 0, nullptr);
  if (token == "packed") {
    const uint8_t zero[10] = {};
    return ValueStack::Push(kKindPacked, zero);
  }
  if (token == "build") return BuildAddressFromParts();
  if (token == "++" || token == "--") {
    PushCode(token == "++" ? kOpIncrement : kOpDecrement);
    return ExecuteIncrementOperator();
  }
  if (token == "u+" || token == "u-" || token == "!" || token == "~" ||
      (token.size() > 1 && token[0] == 'u' && std::isdigit(static_cast<unsigned char>(token[1])))) {
    uint16_t code = token == "u+" ? kOpUnaryPlus
                    : token == "u-" ? kOpUnaryMinus
                    : token == "!"  ? kOpLogicalNot
                    : token == "~"  ? kOpComplement
                                    : static_cast<uint16_t>(std::strtoul(token.c_str() + 1, nullptr, 10));
    InsertCodeBelowTop(code);
    return ExecuteUnaryOperator();
  }
  const uint16_t binary = BinaryCode(token);
  if (binary != 0xFFFF) {
    InsertCodeBelowTop(binary);
    return OperatorExecutor();
  }
  if (head == "as") return ValueStack::ConvertTop(KindNamed(parts.at(1)));
  if (head == "loc") return ValueStack::PushLocation(ScriptLocation(parts.at(1), parts.at(2)));
  if (head == "reg") return ValueStack::PushLocation(TypedLocation(RegisterAt(std::stoul(parts.at(1)))));
  if (head == "sym") {
    return ValueStack::PushSymbolValue(SymbolValueItem(ScriptLocation(parts.at(1), parts.at(2)), {}, 0));
  }
  if (head == "ref") {
    const TypedLocation location = ScriptLocation(parts.at(1), parts.at(2));
    return ValueStack::PushPointerLocation(PointerLocation(location, DVPTypeInfo(), OrdinalValue(0u)));
  }
  if (head == "ptr") {
    const TypedLocation pointee = ScriptLocation(parts.at(1), "0");
    const TypedLocation location = ScriptLocation("pointer", parts.at(2));
    return ValueStack::PushPointerLocation(PointerLocation(location, pointee.Type(), pointee.ElementSize()));
  }
  if (head == "len") return ValueStack::PushOrdinal(FromU64(std::strtoull(parts.at(1).c_str(), nullptr, 0)));
  if (head.rfind("char#", 0) == 0) {
    const uint8_t value = static_cast<uint8_t>(std::strtoul(head.c_str() + 5, nullptr, 10));
    return ValueStack::Push(kKindChar, &value);
  }
  if (head == "char") return ValueStack::Push(kKindChar, parts.at(1).data());
  if (head == "nstr" || head == "lstr") {
    const std::string text = ExpandText(parts.size() > 1 ? parts[1] : "");
    uint8_t bytes[ValueStack::kMaxItemSize + 1] = {};
    if (head == "nstr") {
      std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), ValueStack::kMaxItemSize));
      return ValueStack::Push(kKindNString, bytes);
    }
    bytes[0] = static_cast<uint8_t>(text.size());
    std::memcpy(bytes + 1, text.data(), std::min<size_t>(text.size(), 254));
    return ValueStack::Push(kKindLString, bytes);
  }
  const uint16_t kind = KindNamed(head);
  if (kind >= kKindReal4 && kind <= kKindReal10) return PushReal(kind, parts.at(1));
  if (kind != 0xFFFF) return PushInteger(kind, parts.at(1));
  ADD_FAILURE() << "unknown script token " << token;
}

std::string IntegerText(uint16_t kind, const uint8_t* bytes) {
  std::ostringstream text;
  text << std::dec;
  switch (kind) {
    case kKindInt1:
      text << MakeDisplayInteger_Int8(static_cast<int8_t>(bytes[0]));
      break;
    case kKindInt2:
      text << MakeDisplayInteger_Int16(static_cast<int16_t>(LoadU16(bytes)));
      break;
    case kKindInt4:
      text << MakeDisplayInteger_Int32(static_cast<int32_t>(LoadU32(bytes)));
      break;
    case kKindInt8:
      text << MakeDisplayInteger_Int64(SignedInt64::FromWords(LoadU32(bytes), LoadU32(bytes + 4)));
      break;
    case kKindOrd1:
      text << MakeDisplayInteger_UInt8(bytes[0]);
      break;
    case kKindOrd2:
      text << MakeDisplayInteger_UInt16(LoadU16(bytes));
      break;
    case kKindOrd4:
    case kKindCode1:
      text << MakeDisplayInteger_UInt32(LoadU32(bytes));
      break;
    default:
      text << MakeDisplayInteger_UInt64(UnsignedInt64::FromWords(LoadU32(bytes), LoadU32(bytes + 4)));
      break;
  }
  return text.str();
}

std::string WideText(const uint8_t* bytes, uint32_t size) {
  std::string text = "0x";
  static const char kHex[] = "0123456789abcdef";
  for (uint32_t i = size; i-- > 0;) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

std::string RealText(uint16_t kind, const uint8_t* bytes) {
  char text[kRealTextCapacity] = {};
  uint8_t value[10];
  std::memcpy(value, bytes, GetValueKindSize(kind));
  RealConversionRequest request;
  request.m_value = value;
  request.m_sizeKind = kind == kKindReal8 ? kRealSizeKind8 : (kind == kKindReal10 ? kRealSizeKind10 : kRealSizeKind4);
  request.m_text = text;
  request.m_textCapacity = sizeof text;
  RealToText(request);
  return text;
}

std::string StringText(const char* characters, size_t length) {
  if (length > 40) return "[" + std::to_string(length) + "]";
  return "\"" + std::string(characters, length) + "\"";
}

}  // namespace

uint16_t KindNamed(const std::string& name) {
  for (const KindName& entry : kKindNames) {
    if (name == entry.name) return entry.kind;
  }
  return 0xFFFF;
}

std::string DescribeTop() {
  uint8_t bytes[ValueStack::kMaxItemSize] = {};
  const uint16_t kind = ValueStack::TopKind();
  if (kind == kKindEmpty) return "empty";
  ValueStack::Peek(bytes);
  std::string text = std::string(NameOfKind(kind)) + " ";
  if ((kind >= kKindOrd1 && kind <= kKindOrd8) || (kind >= kKindInt1 && kind <= kKindInt8) || kind == kKindCode1 ||
      kind == kKindOrdinal) {
    return text + IntegerText(kind, bytes);
  }
  if (kind >= kKindOrd10 && kind <= kKindOrd16) return text + WideText(bytes, GetValueKindSize(kind));
  if (kind >= kKindReal4 && kind <= kKindReal10) return text + RealText(kind, bytes);
  if (kind >= kKindBool1 && kind <= kKindBool8) return text + std::to_string(bytes[0]);
  if (kind == kKindChar) {
    if (bytes[0] >= 0x21 && bytes[0] < 0x7F) return text + "'" + static_cast<char>(bytes[0]) + "'";
    return text + "#" + std::to_string(bytes[0]);
  }
  if (kind == kKindNString) return text + StringText(reinterpret_cast<char*>(bytes), std::strlen(reinterpret_cast<char*>(bytes)));
  if (kind == kKindLString) return text + StringText(reinterpret_cast<char*>(bytes + 1), bytes[0]);
  if (kind == kKindTypedLocation) {
    const TypedLocation location = TypedLocation::ReadImage(bytes);
    return text + location.AddressRef().Text().data() + " " + NameOfKind(static_cast<uint16_t>(location.Type().Code()));
  }
  return text + std::to_string(ValueStack::TopSize()) + " bytes";
}

std::string RunValueScript(const std::string& script) {
  ValueStack::Reset();
  LastError() = DVError(0, 0, kDisplayByFocus);
  std::string prefix;
  try {
    for (const std::string& token : Split(script, ' ')) RunToken(token);
  } catch (const DVError& error) {
    return "error " + std::to_string(error.Number());
  }
  if (LastError().Number() != 0) prefix = "warning " + std::to_string(LastError().Number()) + ", ";
  return prefix + DescribeTop();
}

}  // namespace zentor::testing_support
