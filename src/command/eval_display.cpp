#include "command/eval_display.h"

#include <cstring>
#include <string>

#include "command/value_output.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;

char Printable(uint8_t ch) { return ch >= 0x20 && ch <= 0x7E ? static_cast<char>(ch) : '.'; }

void EvalBytes(uint32_t base, uint32_t count, const uint8_t* bytes) {
  OutputWriter::Printf("<");
  for (uint32_t i = 0; i < count; ++i) {
    const auto byte = static_cast<uint16_t>(bytes[i]);
    if (base == 2) {
      OutputWriter::Printf(" %08hy", byte);
    } else if (base == 10) {
      OutputWriter::Printf("% 4hd", byte);
    } else {
      OutputWriter::Printf(" %02hx", byte);
    }
  }
  OutputWriter::Printf(" >");
}

// A value of at most 16 bits (a signed byte already sign-extended).
void EvalShortInteger(uint32_t value, uint32_t size, bool isSigned) {
  const auto low = static_cast<uint16_t>(value);
  OutputWriter::Printf(size == 1 ? "0y%08hy  " : "0y%016hy  ", low);
  if (isSigned && (low & 0x8000) != 0) {
    OutputWriter::Printf("-%hu  ", static_cast<uint16_t>(0x10000u - low));
  } else {
    OutputWriter::Printf("%hu  ", low);
  }
  OutputWriter::Printf(size == 1 ? "0x%02hx" : "0x%04hx", low);
}

// A value of 8, 12 or 16 bytes as four words, least significant first.
void EvalWideInteger(const uint32_t (&words)[4], uint32_t size, bool isSigned) {
  const auto bytes = static_cast<uint16_t>(size);
  if (size < 12) {
    OutputWriter::Printf("0y%s ", NumberToText(words, 2, true, bytes));
    if (OutputWriter::OutputColumn() + size > 59 - size) OutputWriter::FreshLine();
    if (isSigned && (words[1] & 0x80000000u) != 0) {
      const uint64_t value = (static_cast<uint64_t>(words[1]) << 32) | words[0];
      const uint64_t magnitude = ~value + 1;
      const uint32_t negated[4] = {static_cast<uint32_t>(magnitude), static_cast<uint32_t>(magnitude >> 32), 0, 0};
      OutputWriter::Printf("-%s  ", NumberToText(negated, 10, false, bytes));
    } else {
      OutputWriter::Printf("%s  ", NumberToText(words, 10, false, bytes));
    }
  }
  OutputWriter::Printf("0x%s", NumberToText(words, 16, true, bytes));
}

void EvalSignedInteger(const uint8_t* value, uint32_t size) {
  switch (size) {
    case 1: {
      const auto byte = static_cast<int8_t>(value[0]);
      EvalShortInteger(static_cast<uint32_t>(static_cast<int32_t>(byte)), 1, true);
      OutputWriter::Printf(" '%c'", Printable(value[0]));
      return;
    }
    case 2:
      EvalShortInteger(value_bytes::LoadU16(value), 2, true);
      return;
    case 4: {
      const uint32_t word = LoadU32(value);
      OutputWriter::Printf("0y%032ly  %ld  0x%08lx", word, static_cast<int32_t>(word), word);
      return;
    }
    case 8: {
      const uint32_t words[4] = {LoadU32(value), LoadU32(value + 4), 0, 0};
      EvalWideInteger(words, 8, true);
      return;
    }
    default:
      throw DVError(kMsgUnknownIntegerSize, kSeverityInternal, kDisplayByFocus);
  }
}

// Rows of bytes with their characters; a string longer than one row pads its last
// row so that the characters line up.
void EvalString(const uint8_t* characters, uint32_t length) {
  const uint32_t base = GetNumberBase();
  const uint32_t row = base == 2 ? 6 : base == 10 ? 10 : 15;
  const char* filler = base == 2 ? "         " : base == 10 ? "    " : "   ";
  for (uint32_t done = 0; done < length;) {
    const uint32_t count = length - done < row ? length - done : row;
    EvalBytes(base, count, characters + done);
    if (length > row) {
      for (uint32_t i = count; i < row; ++i) OutputWriter::Printf("%s", filler);
    }
    OutputWriter::Printf("  \"");
    for (uint32_t i = 0; i < count; ++i) OutputWriter::Printf("%c", Printable(characters[done + i]));
    OutputWriter::Printf("\"");
    OutputWriter::FreshLine();
    done += count;
  }
}

}  // namespace

void EvalDisplay() {
  uint16_t kind = ValueStack::TopKind();
  if (kind == kKindInactiveSymbol) {
    ValueStack::Drop();
    OutputWriter::Printf("<Inactive>\n");
    return;
  }
  uint8_t value[kValueBufferSize + 2] = {};
  if (kind == kKindPointerLocation) {
    ValueStack::Pop(value);
    const TypedLocation location = PointerLocation::ReadImage(value).Location();
    std::memset(value, 0, sizeof value);
    TargetMemory::ReadLocationValue(value, kValueBufferSize, location);
    ValueStack::PushTyped(location.Type(), value);
    kind = ValueStack::TopKind();
  }
  const uint16_t size = ValueStack::TopSize();
  switch (kind) {
    case kKindNone:
      ValueStack::Drop();
      return;
    case kKindSymbolValue:
      ValueStack::ConvertTopToLocation(0, AddressDescriptor::Null());
      EvalDisplay();
      return;
    case kKindTypedLocation:
      DisplayTopValue();
      return;
    default:
      break;
  }
  std::memset(value, 0, sizeof value);
  ValueStack::Pop(value);
  switch (kind) {
    case kKindBool1:
    case kKindChar:
    case kKindOrd1:
      OutputWriter::Printf("0y%08hy  %hu  0x%02hx '%c'", static_cast<uint16_t>(value[0]),
                           static_cast<uint16_t>(value[0]), static_cast<uint16_t>(value[0]), Printable(value[0]));
      break;
    case kKindOrd2:
      EvalShortInteger(value_bytes::LoadU16(value), 2, false);
      break;
    case kKindOrd4: {
      const uint32_t word = LoadU32(value);
      OutputWriter::Printf("0y%032ly  %lu  0x%08lx", word, word, word);
      break;
    }
    case kKindOrd8:
    case kKindOrd12:
    case kKindOrd16: {
      // A 12-byte value is followed by a zero word.
      const uint32_t words[4] = {LoadU32(value), LoadU32(value + 4), LoadU32(value + 8),
                                 kind == kKindOrd16 ? LoadU32(value + 12) : 0};
      EvalWideInteger(words, GetValueKindSize(kind), false);
      break;
    }
    case kKindInt1:
    case kKindInt2:
    case kKindInt4:
    case kKindInt8:
      EvalSignedInteger(value, GetValueKindSize(kind));
      break;
    case kKindReal4:
    case kKindReal8:
    case kKindReal10: {
      EvalBytes(16, size, value);
      char text[64] = {};
      RealValueToText(value, kind, text, sizeof text);
      OutputWriter::Printf("  %s", text);
      break;
    }
    case kKindNString:
      if (size > 1) EvalString(value, static_cast<uint32_t>(strnlen(reinterpret_cast<const char*>(value), size)));
      return;
    case kKindLString:
      if (size > 1) EvalString(value + 1, value[0] < size ? value[0] : size - 1u);
      return;
    default:
      EvalBytes(GetNumberBase(), size, value);
      break;
  }
  OutputWriter::FreshLine();
}

}  // namespace zentor
