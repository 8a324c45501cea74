#include "console/output_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "console/command_device.h"
#include "console/file_channel.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/number_base.h"
#include "core/real_temp_ring.h"
#include "core/token_record.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgLogIoError = 120;
// BinaryToText builds its digits in a field of this many positions.
constexpr int kBinaryFieldSize = 254;

// ---------------------------------------------------------------------------
// Bounded output of the formatter.

class BoundedText {
 public:
  // Room for size - 1 characters and the NUL; none in a buffer of no bytes.
  BoundedText(char* buffer, std::size_t size) : m_buffer(buffer), m_size(size), m_room(size > 0 ? size - 1 : 0) {}

  void Put(char ch) {
    if (m_room == 0) return;
    m_buffer[m_length++] = ch;
    --m_room;
  }
  // Texts and runs go in whole, as far as there is room. An empty text may have no
  // characters at all (a null view), which the copy must not be handed.
  void Put(std::string_view text) {
    const std::size_t count = std::min(text.size(), m_room);
    if (count == 0) return;
    std::memcpy(m_buffer + m_length, text.data(), count);
    m_length += count;
    m_room -= count;
  }
  void Repeat(char ch, std::size_t count) {
    count = std::min(count, m_room);
    std::memset(m_buffer + m_length, ch, count);
    m_length += count;
    m_room -= count;
  }
  std::size_t Finish() {
    if (m_size > 0) m_buffer[m_length] = '\0';
    return m_length;
  }

 private:
  char* m_buffer;
  std::size_t m_size;
  std::size_t m_length = 0;
  // Characters that still fit before the NUL.
  std::size_t m_room;
};

struct Directive {
  bool leftJustify = false;
  bool zeroPad = false;
  bool plusSign = false;
  bool blankSign = false;
  bool alternate = false;
  bool hasWidth = false;
  int width = 0;
  bool hasPrecision = false;
  int precision = 0;
  char size = 0;  // 'h', 'l', 'L' or 0
  char conversion = 0;
};

// Reads a decimal number, saturating instead of overflowing.
int ReadNumber(const char*& cursor) {
  int value = 0;
  while (*cursor >= '0' && *cursor <= '9') {
    const int digit = *cursor - '0';
    value = value > (std::numeric_limits<int>::max() - digit) / 10 ? std::numeric_limits<int>::max()
                                                                   : value * 10 + digit;
    ++cursor;
  }
  return value;
}

// Writes `body` (sign/prefix already split off, with `zeros` zeros before it that a
// precision asked for) padded to the directive's width.
void PadField(BoundedText& out, const Directive& d, std::string_view prefix, std::string_view body,
              bool zeroPaddable, std::size_t zeros = 0) {
  const std::size_t length = prefix.size() + zeros + body.size();
  const std::size_t width = d.hasWidth ? static_cast<std::size_t>(d.width) : 0;
  const std::size_t padding = width > length ? width - length : 0;
  // Most fields are exactly as wide as their text (a listing's "%s", "%08lx").
  if (padding == 0 && zeros == 0) {
    out.Put(prefix);
    out.Put(body);
    return;
  }
  if (d.leftJustify) {
    out.Put(prefix);
    out.Repeat('0', zeros);
    out.Put(body);
    out.Repeat(' ', padding);
  } else if (d.zeroPad && zeroPaddable) {
    out.Put(prefix);
    out.Repeat('0', padding + zeros);
    out.Put(body);
  } else {
    out.Repeat(' ', padding);
    out.Put(prefix);
    out.Repeat('0', zeros);
    out.Put(body);
  }
}

constexpr const char* kLowerDigits = "0123456789abcdef";
constexpr const char* kUpperDigits = "0123456789ABCDEF";

// The digits of value in radix, made at the end of [buffer, end); returns the first.
// A 64-bit value has at most 64 digits (in base 2).
char* DigitsBefore(char* end, uint64_t value, unsigned radix, bool upper) {
  const char* digits = upper ? kUpperDigits : kLowerDigits;
  char* first = end;
  do {
    *--first = digits[value % radix];
    value /= radix;
  } while (value != 0);
  return first;
}

std::string DigitsOf(uint64_t value, unsigned radix, bool upper) {
  char buffer[64];
  char* const end = buffer + sizeof buffer;
  return std::string(DigitsBefore(end, value, radix, upper), end);
}

// The most zeros a precision adds to an integer's digits.
constexpr std::size_t kMostPrecisionZeros = 1024;

// d, i, o, u, x, X, p, P with the printf rules for flags, width and precision.
void FormatInteger(BoundedText& out, const Directive& d, const FormatArg* arg) {
  // What the conversion letter asks for ('u' is unsigned decimal).
  unsigned radix = 10;
  bool isSigned = false;
  bool isPointer = false;
  bool upper = false;
  switch (d.conversion) {
    case 'd':
    case 'i': isSigned = true; break;
    case 'o': radix = 8; break;
    case 'X': upper = true; [[fallthrough]];
    case 'x': radix = 16; break;
    case 'P': upper = true; [[fallthrough]];
    case 'p':
      radix = 16;
      isPointer = true;
      break;
    default: break;
  }
  uint64_t magnitude = 0;
  bool negative = false;
  if (isPointer) {
    magnitude = arg != nullptr ? arg->AsWideInteger() : 0;
  } else {
    uint32_t word = arg != nullptr ? arg->AsWord32() : 0;
    if (d.size == 'h') word &= 0xFFFFu;
    if (isSigned) {
      const int32_t value = d.size == 'h' ? static_cast<int16_t>(word) : static_cast<int32_t>(word);
      negative = value < 0;
      magnitude = negative ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    } else {
      magnitude = word;
    }
  }
  // One more place than the digits of 64 bits, for the alternate form's octal zero.
  char buffer[65];
  char* const end = buffer + sizeof buffer;
  char* first = (d.hasPrecision && d.precision == 0 && magnitude == 0) ? end
                                                                        : DigitsBefore(end, magnitude, radix, upper);
  std::size_t zeros = 0;
  const std::size_t digitCount = static_cast<std::size_t>(end - first);
  if (d.hasPrecision && digitCount < static_cast<std::size_t>(d.precision)) {
    zeros = std::min<std::size_t>(static_cast<std::size_t>(d.precision), kMostPrecisionZeros) - digitCount;
  }
  std::string_view prefix;
  if (isSigned) {
    if (negative) {
      prefix = "-";
    } else if (d.plusSign) {
      prefix = "+";
    } else if (d.blankSign) {
      prefix = " ";
    }
  } else if (d.alternate) {
    if (radix == 8 && zeros == 0 && (first == end || *first != '0')) *--first = '0';
    if (radix == 16 && magnitude != 0) prefix = upper ? "0X" : "0x";
  }
  PadField(out, d, prefix, std::string_view(first, static_cast<std::size_t>(end - first)), !d.hasPrecision, zeros);
}

void FormatReal(BoundedText& out, const Directive& d, const FormatArg* arg) {
  // Built from the parsed parts, so the host library only ever sees a plain double
  // conversion without a size letter.
  char spec[48];
  char* p = spec;
  *p++ = '%';
  if (d.leftJustify) *p++ = '-';
  if (d.plusSign) *p++ = '+';
  if (d.blankSign) *p++ = ' ';
  if (d.alternate) *p++ = '#';
  if (d.zeroPad) *p++ = '0';
  *p = '\0';
  const int width = d.hasWidth ? std::min(d.width, 400) : -1;
  const int precision = d.hasPrecision ? std::min(d.precision, 100) : -1;
  char tail[32];
  if (width >= 0 && precision >= 0) {
    std::snprintf(tail, sizeof tail, "%d.%d%c", width, precision, d.conversion);
  } else if (width >= 0) {
    std::snprintf(tail, sizeof tail, "%d%c", width, d.conversion);
  } else if (precision >= 0) {
    std::snprintf(tail, sizeof tail, ".%d%c", precision, d.conversion);
  } else {
    std::snprintf(tail, sizeof tail, "%c", d.conversion);
  }
  std::strncat(spec, tail, sizeof spec - std::strlen(spec) - 1);
  char text[512];
  const double value = arg != nullptr ? arg->AsReal() : 0.0;
  std::snprintf(text, sizeof text, spec, value);
  out.Put(std::string_view(text));
}

void FormatText(BoundedText& out, const Directive& d, const FormatArg* arg) {
  // A null text, a missing argument and an argument that is no text all print as
  // "(null)": nothing is ever read through a value that is not a text.
  std::string_view text = "(null)";
  if (arg != nullptr && arg->kind() == FormatArg::Kind::Text && arg->AsText().data() != nullptr) {
    text = arg->AsText();
  }
  if (d.hasPrecision && text.size() > static_cast<std::size_t>(d.precision)) {
    text = text.substr(0, static_cast<std::size_t>(d.precision));
  }
  PadField(out, d, {}, text, false);
}

void FormatCharacter(BoundedText& out, const Directive& d, const FormatArg* arg) {
  const char ch = static_cast<char>(arg != nullptr ? arg->AsWord32() & 0xFFu : 0);
  // A NUL would end the text for every reader of the buffer: it is left out.
  const std::string_view body = ch != '\0' ? std::string_view(&ch, 1) : std::string_view();
  PadField(out, d, {}, body, false);
}

void FormatBinary(BoundedText& out, const Directive& d, const FormatArg* arg) {
  uint32_t value = arg != nullptr ? arg->AsWord32() : 0;
  if (d.size == 'h') value &= 0xFFFFu;
  BinaryPad pad = BinaryPad::None;
  if (d.hasWidth) pad = d.zeroPad ? BinaryPad::Zeros : BinaryPad::Blanks;
  const char prefix = d.alternate ? (d.conversion == 'Y' ? 'Y' : 'y') : '\0';
  if (d.plusSign) out.Put('+');
  char digits[kBinaryFieldSize + 4];
  const std::size_t length = Formatter::BinaryToText(value, d.hasWidth ? d.width : 0, pad, prefix, digits,
                                                     sizeof digits);
  out.Put(std::string_view(digits, length));
}

char ConversionForNumberBase() {
  switch (GetNumberBase()) {
    case 2: return 'y';
    case 8: return 'o';
    case 10: return 'd';
    default: return 'x';
  }
}

// ---------------------------------------------------------------------------
// Writer and log state.

struct WriterState {
  uint16_t column = 0;
  uint16_t lineWidth = OutputWriter::kEditLineWidth;
  // Shared, so that a character in flight keeps its hook alive for the call even when
  // the hook removes or replaces itself, without copying the hook for every character.
  std::shared_ptr<const OutputHook> hook;
  // The capture that takes runs of characters instead, installed in the hook's place.
  std::shared_ptr<const OutputTextHook> textHook;
  uint16_t savedColumn = 0;
  bool lineBreakBeforeOutput = false;
  bool promptStands = false;
};

WriterState g_writer;

struct LogState {
  bool logging = false;
  int32_t descriptor = -1;
  std::string name;
  // While one write to the command output runs, its characters for the log are
  // gathered here and written with one call when it ends, not one call for each.
  uint32_t holding = 0;
  std::string held;
};

LogState g_log;

[[noreturn]] void RaiseLogError(const std::string& argument) {
  LogFile::Close();
  DVError error(kMsgLogIoError, kSeveritySevere, kDisplayByFocus);
  error.SetArg(0, argument.c_str());
  throw error;
}

[[noreturn]] void RaiseLogError() { RaiseLogError(FileChannel::ErrorText(FileChannel::LastError())); }

// Writes the bytes to the log file; true when all of them were written.
bool WriteLogFile(const char* bytes, std::size_t count) {
  const auto written = FileChannel::Write(g_log.descriptor, bytes, static_cast<uint32_t>(count));
  return written == static_cast<int32_t>(count) && FileChannel::LastError() == 0;
}

void WriteToLog(const char* bytes, std::size_t count) {
  if (!g_log.logging || count == 0) return;
  if (g_log.holding > 0) {
    g_log.held.append(bytes, count);
    return;
  }
  if (!WriteLogFile(bytes, count)) RaiseLogError();
}

// Holds the log's characters for the length of one write to the command output.
// The end of the write hands them to the log (Release, which raises a log error as a
// character's own write would); should the write raise, they are written all the
// same and a log error then only closes the log, the first error going on.
class LogHold {
 public:
  LogHold() { ++g_log.holding; }
  ~LogHold() {
    if (m_released) return;
    if (--g_log.holding == 0 && !WriteHeld()) LogFile::Close();
  }
  LogHold(const LogHold&) = delete;
  LogHold& operator=(const LogHold&) = delete;

  void Release() {
    m_released = true;
    if (--g_log.holding == 0 && !WriteHeld()) RaiseLogError();
  }

 private:
  static bool WriteHeld() {
    if (g_log.held.empty()) return true;
    const bool written = !g_log.logging || WriteLogFile(g_log.held.data(), g_log.held.size());
    g_log.held.clear();
    return written;
  }

  bool m_released = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// FormatArg

std::size_t FormatArg::TextLength(const char* text) { return text != nullptr ? std::strlen(text) : 0; }

uint32_t FormatArg::AsWord32() const { return static_cast<uint32_t>(AsWideInteger()); }

uint64_t FormatArg::AsWideInteger() const {
  switch (m_kind) {
    case Kind::Integer:
    case Kind::Address: return m_integer;
    case Kind::Real: {
      if (!std::isfinite(m_real)) return 0;
      const double truncated = std::trunc(m_real);
      if (truncated >= 9.2e18 || truncated <= -9.2e18) return 0;
      return static_cast<uint64_t>(static_cast<int64_t>(truncated));
    }
    case Kind::Text: return reinterpret_cast<std::uintptr_t>(m_text);
  }
  return 0;
}

double FormatArg::AsReal() const {
  switch (m_kind) {
    case Kind::Real: return m_real;
    case Kind::Integer: return static_cast<double>(static_cast<int64_t>(m_integer));
    default: return 0.0;
  }
}

std::string_view FormatArg::AsText() const {
  if (m_kind != Kind::Text) return {};
  if (m_text == nullptr) return std::string_view(nullptr, 0);
  return std::string_view(m_text, m_length);
}

// ---------------------------------------------------------------------------
// Formatter

std::size_t Formatter::UnsignedToText(uint32_t value, unsigned radix, int width, char* buffer,
                                     std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  BoundedText out(buffer, bufferSize);
  char digits[32];
  char* const end = digits + sizeof digits;
  const char* first = DigitsBefore(end, value, radix, false);
  const auto count = static_cast<std::size_t>(end - first);
  if (width > 0 && static_cast<std::size_t>(width) > count) out.Repeat(radix == 10 ? ' ' : '0', width - count);
  out.Put(std::string_view(first, count));
  return out.Finish();
}

std::size_t Formatter::Format(char* buffer, std::size_t bufferSize, const char* format,
                              std::span<const FormatArg> args) {
  if (format == nullptr || buffer == nullptr || bufferSize == 0) return 0;
  BoundedText out(buffer, bufferSize);
  std::size_t nextArg = 0;
  auto takeArg = [&]() -> const FormatArg* { return nextArg < args.size() ? &args[nextArg++] : nullptr; };

  const char* cursor = format;
  while (*cursor != '\0') {
    // The literal text up to the next directive or line end goes in whole: most of a
    // listing's characters are literal, and a search of the library's finds them
    // without a test per character.
    const std::size_t literal = std::strcspn(cursor, "%\n");
    if (literal != 0) {
      out.Put(std::string_view(cursor, literal));
      cursor += literal;
      continue;
    }
    if (*cursor == '\n') {
      out.Put("\r\n");
      ++cursor;
      continue;
    }
    const char* directiveStart = cursor++;
    Directive d;
    for (bool flag = true; flag;) {
      switch (*cursor) {
        case ' ': d.blankSign = true; break;
        case '#': d.alternate = true; break;
        case '+': d.plusSign = true; break;
        case '-': d.leftJustify = true; break;
        case '0': d.zeroPad = true; break;
        default: flag = false; continue;
      }
      ++cursor;
    }
    // The parts of a directive are told apart by switches: a listing formats thousands
    // of directives, and a switch is one jump where a chain of tests is one per letter.
    switch (*cursor) {
      case '*': {
        ++cursor;
        const FormatArg* widthArg = takeArg();
        const auto width = static_cast<int32_t>(widthArg != nullptr ? widthArg->AsWord32() : 0);
        // A width below 1 is dropped; its argument stays consumed.
        if (width >= 1) {
          d.hasWidth = true;
          d.width = width;
        }
        break;
      }
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        d.hasWidth = true;
        d.width = ReadNumber(cursor);
        break;
      default: break;
    }
    if (*cursor == '.') {
      ++cursor;
      d.hasPrecision = true;
      d.precision = ReadNumber(cursor);
    }
    switch (*cursor) {
      case 'h':
      case 'l':
      case 'L': d.size = *cursor++; break;
      default: break;
    }
    d.conversion = *cursor;
    if (d.conversion == '\0') {
      out.Put(std::string_view(directiveStart, static_cast<std::size_t>(cursor - directiveStart)));
      break;
    }
    ++cursor;
    if (d.conversion == 'D') d.conversion = ConversionForNumberBase();
    switch (d.conversion) {
      case '%': out.Put('%'); break;
      case 'b':
      case 'B': {
        const FormatArg* arg = takeArg();
        const bool value = arg != nullptr && arg->AsWord32() != 0;
        if (d.conversion == 'b') {
          out.Put(value ? "true" : "false");
        } else {
          out.Put(value ? "TRUE" : "FALSE");
        }
        break;
      }
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
      case 'p':
      case 'P': FormatInteger(out, d, takeArg()); break;
      case 'c': FormatCharacter(out, d, takeArg()); break;
      case 'e':
      case 'E':
      case 'f':
      case 'g':
      case 'G': FormatReal(out, d, takeArg()); break;
      case 's': FormatText(out, d, takeArg()); break;
      case 'y':
      case 'Y': FormatBinary(out, d, takeArg()); break;
      default:
        out.Put(std::string_view(directiveStart, static_cast<std::size_t>(cursor - directiveStart)));
        break;
    }
  }
  return out.Finish();
}

// Digits are made least significant first at the right end of a 254-position field;
// padding and the prefix then grow the field to the left.
std::size_t Formatter::BinaryToText(uint32_t value, int width, BinaryPad padMode, char prefix, char* buffer,
                                    std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  char field[kBinaryFieldSize];
  int start = kBinaryFieldSize;
  do {
    field[--start] = static_cast<char>('0' + (value & 1u));
    value >>= 1;
  } while (value != 0);
  const int digitCount = kBinaryFieldSize - start;
  const int fieldWidth = std::clamp(width, 0, kBinaryFieldSize);
  const bool hasPrefix = prefix != '\0';
  if (padMode == BinaryPad::Zeros && hasPrefix && fieldWidth >= digitCount + 2) {
    while (kBinaryFieldSize - start < fieldWidth - 2) field[--start] = '0';
    field[--start] = prefix;
    field[--start] = '0';
  } else {
    if (hasPrefix) {
      field[--start] = prefix;
      field[--start] = '0';
    }
    if (padMode != BinaryPad::None) {
      const char padChar = padMode == BinaryPad::Zeros ? '0' : ' ';
      while (kBinaryFieldSize - start < fieldWidth) field[--start] = padChar;
    }
  }
  BoundedText out(buffer, bufferSize);
  out.Put(std::string_view(field + start, static_cast<std::size_t>(kBinaryFieldSize - start)));
  return out.Finish();
}

std::size_t RealValueToText(const void* value, uint32_t typeCode, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  constexpr uint32_t kReal4 = 19;
  constexpr uint32_t kReal10 = 21;
  RealConversionRequest request;
  request.m_value = const_cast<void*>(value);
  switch (typeCode & 0x3F) {
    case kReal4: request.m_sizeKind = kRealSizeKind4; break;
    case kReal10: request.m_sizeKind = kRealSizeKind10; break;
    default: request.m_sizeKind = kRealSizeKind8; break;
  }
  char text[kRealTextCapacity] = {};
  request.m_text = text;
  request.m_textCapacity = sizeof text;
  RealToText(request);
  BoundedText out(buffer, bufferSize);
  out.Put(std::string_view(text, std::min<std::size_t>(request.m_textLength, sizeof text - 1)));
  return out.Finish();
}

std::string NumberToText(std::span<const uint32_t> words, uint16_t radix, bool padToFullWidth, uint16_t size) {
  auto word = [&](std::size_t i) -> uint32_t { return i < words.size() ? words[i] : 0; };
  if (size >= 12) {
    char text[40];
    if (size > 12) {
      std::snprintf(text, sizeof text, "%08x%08x%08x%08x", word(3), word(2), word(1), word(0));
    } else {
      std::snprintf(text, sizeof text, "%08x%08x%08x", word(2), word(1), word(0));
    }
    return text;
  }
  unsigned effectiveRadix = radix;
  std::size_t fullWidth = 16;
  switch (radix) {
    case 2: fullWidth = 64; break;
    case 8: fullWidth = 22; break;
    case 10: fullWidth = 20; break;
    case 16: break;
    default: effectiveRadix = 16; break;
  }
  const uint64_t value = (static_cast<uint64_t>(word(1)) << 32) | word(0);
  std::string digits = DigitsOf(value, effectiveRadix, false);
  if (padToFullWidth && digits.size() < fullWidth) digits.insert(0, fullWidth - digits.size(), '0');
  return digits;
}

// ---------------------------------------------------------------------------
// OutputWriter

namespace {

// A character that goes to the hook only: the line width becomes that of ordinary
// output and the column advances.
void PutToHook(const OutputHook& hook, char ch) {
  g_writer.lineWidth = OutputWriter::kOutputLineWidth;
  g_writer.promptStands = false;
  hook(ch);
  g_writer.column = ch == '\n' ? 0 : static_cast<uint16_t>(g_writer.column + 1);
}

// A run of characters that goes to the text hook only, with the column they leave
// (each line end puts it back to 0, each other character advances it). The column
// moves before the call, so a hook that removes itself leaves the column it saved.
void PutRunToTextHook(const char* chars, std::size_t count) {
  if (count == 0) return;
  g_writer.lineWidth = OutputWriter::kOutputLineWidth;
  g_writer.promptStands = false;
  const std::string_view run(chars, count);
  const std::size_t lastLineEnd = run.rfind('\n');
  g_writer.column = lastLineEnd != std::string_view::npos ? static_cast<uint16_t>(count - lastLineEnd - 1)
                                                          : static_cast<uint16_t>(g_writer.column + count);
  // Held for the call: the hook may remove itself.
  const std::shared_ptr<const OutputTextHook> hook = g_writer.textHook;
  (*hook)(run);
}

}  // namespace

// 1. The line width becomes that of ordinary output.
// 2. With a hook installed the character goes to the hook only.
// 3. Otherwise it goes to the pager and, while logging, to the log.
// 4. The column advances; when the pager's line is full a fresh line starts, so
//    output that reaches the console width continues on the next line.
void OutputWriter::PutChar(char ch) {
  if (g_writer.textHook) {
    PutRunToTextHook(&ch, 1);
    return;
  }
  if (g_writer.hook) {
    // Held for the call: the hook may remove itself.
    const std::shared_ptr<const OutputHook> hook = g_writer.hook;
    PutToHook(*hook, ch);
    return;
  }
  g_writer.lineWidth = kOutputLineWidth;
  g_writer.promptStands = false;
  if (g_writer.lineBreakBeforeOutput) {
    g_writer.lineBreakBeforeOutput = false;
    FreshLine();
  }
  Pager::PutChar(ch);
  WriteToLog(&ch, 1);
  AdvanceColumn(ch);
}

namespace {

// The characters of one write, each as PutChar writes it. A hook is held once for the
// whole write instead of once per character (a listing captured by a panel is
// thousands of characters); should it remove or replace itself, the rest of the write
// goes on through PutChar to wherever output goes then. A text hook takes the write
// whole.
void WriteRun(const char* chars, std::size_t count) {
  if (g_writer.textHook) {
    PutRunToTextHook(chars, count);
    return;
  }
  std::size_t i = 0;
  if (g_writer.hook) {
    const std::shared_ptr<const OutputHook> hook = g_writer.hook;
    for (; i < count && g_writer.hook == hook; ++i) PutToHook(*hook, chars[i]);
  }
  if (i == count) return;
  if (!g_log.logging) {
    // Without a capture or the log, the stretches that meet none of the line rules go
    // to the pager whole; each other character is put as PutChar puts it.
    while (i < count) {
      if (!g_writer.lineBreakBeforeOutput && !g_writer.hook && !g_writer.textHook) {
        g_writer.lineWidth = OutputWriter::kOutputLineWidth;
        const std::size_t plain = Pager::PutPlainRun(chars + i, count - i);
        if (plain != 0) {
          g_writer.promptStands = false;
          g_writer.column = static_cast<uint16_t>(g_writer.column + plain);
          i += plain;
          continue;
        }
      }
      OutputWriter::PutChar(chars[i++]);
    }
    return;
  }
  LogHold hold;
  for (; i < count; ++i) OutputWriter::PutChar(chars[i]);
  hold.Release();
}

}  // namespace

void OutputWriter::WriteChars(uint16_t count, const char* chars) {
  if (chars == nullptr) return;
  WriteRun(chars, count);
}

void OutputWriter::WriteString(const char* text) {
  if (text == nullptr) return;
  WriteRun(text, std::strlen(text));
}

void OutputWriter::WriteString(std::string_view text) {
  WriteRun(text.data(), std::min(text.find('\0'), text.size()));
}

void OutputWriter::AdvanceColumn(char ch) {
  g_writer.promptStands = false;
  if (ch == '\n') {
    g_writer.column = 0;
  } else if (!Pager::IsLineFull()) {
    ++g_writer.column;
  } else {
    FreshLine();
  }
}

void OutputWriter::FreshLine() {
  if (g_writer.column != 0) WriteString("\r\n");
}

namespace {

// Blanks until the column is reached. A column the console line never reaches (the
// line wraps first and the column starts again from 0) ends the padding at the wrap
// instead of padding for ever.
void PadWithBlanks(uint8_t column) {
  while (g_writer.column < column) {
    const uint16_t before = g_writer.column;
    OutputWriter::PutChar(' ');
    if (g_writer.column <= before) break;
  }
}

}  // namespace

void OutputWriter::TabToColumn(uint8_t column) {
  if (g_writer.column >= column) return;
  if (column < g_writer.lineWidth) {
    PadWithBlanks(column);
  } else {
    FreshLine();
  }
}

void OutputWriter::PadToColumn(uint8_t column) { PadWithBlanks(column); }

void OutputWriter::InstallHook(OutputHook hook) {
  g_writer.textHook = nullptr;
  g_writer.hook = hook ? std::make_shared<const OutputHook>(std::move(hook)) : nullptr;
  g_writer.savedColumn = g_writer.column;
  g_writer.column = 0;
}

void OutputWriter::InstallTextHook(OutputTextHook hook) {
  g_writer.hook = nullptr;
  g_writer.textHook = hook ? std::make_shared<const OutputTextHook>(std::move(hook)) : nullptr;
  g_writer.savedColumn = g_writer.column;
  g_writer.column = 0;
}

void OutputWriter::RemoveHook() {
  // Without a hook there is no saved column to go back to: the command loop removes
  // the hook after every error, installed or not.
  if (!IsHookInstalled()) return;
  g_writer.hook = nullptr;
  g_writer.textHook = nullptr;
  g_writer.column = g_writer.savedColumn;
}

bool OutputWriter::IsHookInstalled() { return g_writer.hook || g_writer.textHook; }

void OutputWriter::SetLineBreakBeforeOutput(bool on) { g_writer.lineBreakBeforeOutput = on; }
void OutputWriter::MarkPromptWritten() { g_writer.promptStands = g_writer.column != 0; }
bool OutputWriter::PromptStands() { return g_writer.promptStands; }

void OutputWriter::PrintfArgs(const char* format, std::span<const FormatArg> args) {
  char buffer[kPrintfBufferSize];
  if (format == nullptr) return;
  const std::size_t length = Formatter::Format(buffer, sizeof buffer, format, args);
  WriteString(std::string_view(buffer, length));
}

void OutputWriter::PrintValue(uint32_t value, const char* format) { Printf(format, value); }

void OutputWriter::PrintHex8(uint32_t value) { Printf("%08x", value); }

uint16_t OutputWriter::OutputColumn() { return g_writer.column; }
uint16_t OutputWriter::LineWidth() { return g_writer.lineWidth; }
void OutputWriter::SetLineWidth(uint16_t width) { g_writer.lineWidth = width; }

void OutputWriter::Reset() { g_writer = WriterState{}; }

// ---------------------------------------------------------------------------
// LogFile

void LogFile::Close() {
  if (!g_log.logging) return;
  // Characters held for the log belong to the file being closed.
  if (!g_log.held.empty()) (void)WriteLogFile(g_log.held.data(), g_log.held.size());
  FileChannel::Close(g_log.descriptor);
  const uint32_t holding = g_log.holding;
  g_log = LogState{};
  g_log.holding = holding;
}

void LogFile::LogCommand(std::string_view fileName) {
  if (fileName.empty()) {
    if (g_log.logging) {
      OutputWriter::WriteString(std::string_view(g_log.name));
    } else {
      OutputWriter::WriteString("<No log file>");
    }
    OutputWriter::FreshLine();
    return;
  }
  Close();
  const std::string name(fileName);
  // Opening truncates: the test comes first, so that a file commands are read from
  // keeps what it holds. Logged, every line read from it would be read again.
  if (IsReadForCommands(name.c_str())) RaiseLogError("commands are read from it");
  const int32_t descriptor = FileChannel::Open(name.c_str(), kOpenWrite);
  if (descriptor < 0) RaiseLogError();
  g_log.logging = true;
  g_log.descriptor = descriptor;
  g_log.name = name;
}

void LogFile::LogCommandFromToken() {
  const TokenRecord& token = CurrentToken();
  const std::size_t length = strnlen(token.text, sizeof token.text);
  LogCommand(std::string_view(token.text, length));
}

void LogFile::PutChar(char ch) { WriteToLog(&ch, 1); }

void LogFile::WriteString(const char* text) {
  if (text != nullptr) WriteToLog(text, std::strlen(text));
}

void LogFile::WriteBytes(const char* bytes, std::size_t count) {
  if (bytes != nullptr) WriteToLog(bytes, count);
}

void LogFile::WriteMemoryFile(MemoryFileHandle file, uint16_t count) {
  if (!g_log.logging || count == 0) return;
  MemoryFile& source = MemoryFileOf(file);
  const uint32_t position = source.Position();
  const uint32_t available = std::min<uint32_t>(count, source.Size());
  char piece[255];
  DVErrorCode status = source.Seek(0);
  for (uint32_t done = 0; status.IsOkay() && done < available;) {
    const uint32_t length = std::min<uint32_t>(sizeof piece, available - done);
    status = source.Read(1, length, piece);
    if (!status.IsOkay()) break;
    WriteToLog(piece, length);
    done += length;
  }
  (void)source.Seek(position);
  if (!status.IsOkay()) ThrowIfError(DVError(status));
}

bool LogFile::IsLogging() { return g_log.logging; }
bool LogFile::NamesLogFile(const char* name) { return g_log.logging && FileChannel::NamesOpenFile(name, g_log.descriptor); }
std::string LogFile::FileName() { return g_log.name; }

}  // namespace zentor
