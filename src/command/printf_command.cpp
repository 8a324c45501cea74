#include "command/printf_command.h"

#include <cctype>
#include <cstring>
#include <sstream>
#include <string_view>
#include <vector>

#include "console/output_writer.h"
#include "console/pager.h"
#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_display.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// The format of the printf command being run.
struct PrintfFormat {
  std::string format;
  std::size_t position = 0;
  uint32_t pendingWidth = 0;  // 0: no width supplied for a '*' yet
};

PrintfFormat g_printf;

// The largest text one directive may produce; beyond it the text is cut.
constexpr std::size_t kLargestDirectiveOutput = 1u << 20;

bool IsConversion(char ch) { return std::strchr("BDEGPXYbcdefgiopsuxy", ch) != nullptr && ch != '\0'; }

// The directive formatted with its arguments, in a buffer grown until the text fits.
std::string FormatDirective(const std::string& directive, const FormatArg* args, std::size_t count) {
  std::vector<char> buffer(512);
  for (;;) {
    const std::size_t written =
        Formatter::Format(buffer.data(), buffer.size(), directive.c_str(), std::span<const FormatArg>(args, count));
    if (written + 1 < buffer.size() || buffer.size() >= kLargestDirectiveOutput) return std::string(buffer.data(), written);
    buffer.assign(buffer.size() * 2, '\0');
  }
}

// The argument as a 32-bit word: ord4 and int4 as they are, any other kind converted
// to `otherKind`.
uint32_t PopWord(uint16_t otherKind, bool* isSigned) {
  const uint16_t kind = ValueStack::TopKind();
  if (kind != kKindOrd4 && kind != kKindInt4) ValueStack::ConvertTop(otherKind);
  *isSigned = ValueStack::TopKind() == kKindInt4;
  uint8_t value[ValueStack::kMaxItemSize] = {};
  ValueStack::Pop(value);
  return value_bytes::LoadU32(value);
}

double PopReal(bool single) {
  uint8_t value[ValueStack::kMaxItemSize] = {};
  ValueStack::PopAs(single ? kKindReal4 : kKindReal8, value);
  if (single) {
    float real = 0;
    std::memcpy(&real, value, sizeof real);
    return real;
  }
  double real = 0;
  std::memcpy(&real, value, sizeof real);
  return real;
}

// A string argument: a string value as it is; anything else is the address of a
// NUL-terminated string in target memory.
std::string PopString() {
  const uint16_t kind = ValueStack::TopKind();
  uint8_t text[kValueBufferSize + 2] = {};
  if (kind == kKindNString || kind == kKindLString) {
    ValueStack::PopAs(kKindNString, text);
  } else {
    ValueStack::ConvertTopToLocation(0, AddressDescriptor::Null());
    TypedLocation location = ValueStack::PopLocation();
    location.SetTypeInfo(DVPTypeInfo::FromCode(kKindNString), OrdinalValue(1u), OrdinalValue(1u));
    OrdinalValue read;
    TargetMemory::ReadValue(&read, text, kValueBufferSize, AddressRange::FromLength(location, OrdinalValue(1u)), 0);
  }
  return std::string(reinterpret_cast<const char*>(text), strnlen(reinterpret_cast<const char*>(text), kValueBufferSize));
}

// A pointer argument: a location's address text, any other value as a hexadecimal
// number.
std::string PopPointerText() {
  if (ValueStack::TopKind() == kKindTypedLocation) {
    const RWCString text = ValueStack::PopLocation().AddressRef().Text();
    return std::string(text.data(), text.length());
  }
  const OrdinalValue value = ValueStack::PopOrdinal();
  std::ostringstream stream;
  DisplayInteger::DisplayInteger_FromAddress(value.Low()).Write(stream, 16);
  return stream.str().substr(0, 128);
}

}  // namespace

PrintfDirective ScanPrintfDirective(const std::string& format, std::size_t* position) {
  PrintfDirective directive;
  bool inside = false;
  std::size_t at = *position;
  while (at < format.size() && format[at] != '\0') {
    const char ch = format[at++];
    directive.text.push_back(ch);
    if (ch == '%') {
      inside = !inside;
    } else if (ch == '\\') {
      if (at < format.size() && format[at] != '\0') directive.text.push_back(format[at++]);
    } else if (inside && ch == '*') {
      directive.star = true;
    } else if (inside && (ch == 'L' || ch == 'h' || ch == 'l')) {
      directive.sizeModifier = ch;
    } else if (inside && IsConversion(ch)) {
      directive.conversion = ch;
      break;
    }
  }
  *position = at;
  return directive;
}

void PrintfBegin() {
  uint8_t text[ValueStack::kMaxItemSize + 2] = {};
  ValueStack::PopAs(kKindLString, text);
  g_printf.format.assign(reinterpret_cast<const char*>(text + 1), text[0]);
  g_printf.position = 0;
  g_printf.pendingWidth = 0;
}

void PrintfArgument() {
  if (g_printf.position >= g_printf.format.size()) {
    ValueStack::Drop();
    return;
  }
  const std::size_t remembered = g_printf.position;
  const PrintfDirective directive = ScanPrintfDirective(g_printf.format, &g_printf.position);
  if (directive.star && g_printf.pendingWidth == 0) {
    g_printf.pendingWidth = ValueStack::PopOrd2();
    g_printf.position = remembered;
    return;
  }
  FormatArg args[2] = {FormatArg(0), FormatArg(0)};
  std::size_t count = 0;
  if (g_printf.pendingWidth != 0) args[count++] = FormatArg(g_printf.pendingWidth);
  std::string text;  // keeps a text argument alive while it is formatted
  bool isSigned = false;
  switch (directive.conversion) {
    case 'B':
    case 'b': {
      uint8_t value[ValueStack::kMaxItemSize] = {};
      ValueStack::PopAs(kKindBool1, value);
      args[count++] = FormatArg(static_cast<uint32_t>(value[0]));
      break;
    }
    case 'D': case 'X': case 'Y': case 'o': case 'u': case 'x': case 'y': {
      const uint32_t word = PopWord(kKindOrd4, &isSigned);
      args[count++] = isSigned ? FormatArg(static_cast<int32_t>(word)) : FormatArg(word);
      break;
    }
    case 'd': case 'i': {
      const uint32_t word = PopWord(kKindInt4, &isSigned);
      args[count++] = isSigned ? FormatArg(static_cast<int32_t>(word)) : FormatArg(word);
      break;
    }
    case 'c': {
      uint8_t value[ValueStack::kMaxItemSize] = {};
      ValueStack::PopAs(kKindInt4, value);
      args[count++] = FormatArg(static_cast<int32_t>(value_bytes::LoadU32(value)));
      break;
    }
    case 'E': case 'G': case 'e': case 'f': case 'g':
      args[count++] = FormatArg(PopReal(directive.sizeModifier == 'h'));
      break;
    case 'P':
    case 'p':
      text = PopPointerText();
      args[count++] = FormatArg(std::string_view(text));
      break;
    case 's':
      text = PopString();
      args[count++] = FormatArg(std::string_view(text));
      break;
    default:
      ValueStack::Drop();
      g_printf.position = remembered;
      g_printf.pendingWidth = 0;
      return;
  }
  // The Formatter prints a %p argument as a number; the pointer's text goes in as a
  // string, with the directive's flags and width.
  std::string format = directive.text;
  if (directive.conversion == 'p' || directive.conversion == 'P') {
    format.back() = 's';
    if (directive.conversion == 'P') {
      for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    args[count - 1] = FormatArg(std::string_view(text));
  }
  const std::string output = FormatDirective(format, args, count);
  g_printf.pendingWidth = 0;
  OutputWriter::WriteString(std::string_view(output));
  Pager::Flush();
}

void PrintfEnd() {
  if (g_printf.position >= g_printf.format.size()) return;
  std::string rest;
  const std::string& format = g_printf.format;
  for (std::size_t at = g_printf.position; at < format.size() && format[at] != '\0'; ++at) {
    rest.push_back(format[at]);
    if (format[at] == '%' && at + 1 < format.size() && format[at + 1] == '%') ++at;
  }
  g_printf.position = format.size();
  OutputWriter::WriteString(std::string_view(rest));
}

}  // namespace zentor
