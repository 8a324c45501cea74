#include "command/value_output.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "console/pager.h"
#include "core/address_range.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_display.h"
#include "core/value_stack.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_handle.h"
#include "symbols/symbol_values.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;

constexpr std::array<ValueFormatRow, 40> kValueFormatTable{{
    {2, 0, 5, 10},    {7, 2, 65, 1},    {7, 10, 20, 2},   {7, 16, 17, 2},   {1, 0, 1, 1},
    {8, 2, 8, 4},     {8, 10, 3, 8},    {8, 16, 2, 16},   {9, 2, 16, 2},    {9, 10, 5, 8},
    {9, 16, 4, 8},    {10, 2, 32, 1},   {10, 10, 11, 4},  {10, 16, 8, 4},   {11, 2, 64, 1},
    {11, 10, 21, 2},  {11, 16, 16, 2},  {12, 0, 20, 3},   {13, 0, 24, 2},   {14, 0, 32, 1},
    {15, 2, 8, 4},    {15, 10, 4, 8},   {15, 16, 2, 16},  {16, 2, 16, 2},   {16, 10, 6, 8},
    {16, 16, 4, 8},   {17, 2, 32, 1},   {17, 10, 11, 4},  {17, 16, 8, 4},   {18, 2, 64, 1},
    {18, 10, 21, 2},  {18, 16, 16, 2},  {19, 0, 18, 2},   {20, 0, 22, 2},   {21, 0, 27, 1},
    {22, 0, 1, 1},    {23, 0, 1, 1},    {6, 0, 1, 48},    {24, 0, 1, 1},    {26, 0, 80, 1},
}};

constexpr uint16_t kInitialState = kOutputEndLineAfterValue | kOutputRowAddress | kOutputCharacterColumn;
constexpr uint32_t kNestingEntries = 20;
constexpr uint32_t kDefaultNestingLimit = 8;
constexpr uint32_t kReadChunkBytes = 1024;
constexpr char kQuote = '"';
// The members of one aggregate listed at most (no limit).
constexpr uint32_t MemberCountLimit = 0xFFFFFFFFu;
// Categories of the aggregate types in a symbol's description.
constexpr uint32_t kCategoryArray = 5;
constexpr uint32_t kCategoryStructure = 7;
constexpr uint32_t kCategoryUnion = 8;
constexpr uint32_t kCategoryClass = 9;
// "Unknown structured type (not array, structure or union)."
constexpr uint32_t kMsgUnknownStructuredType = 313;

[[noreturn]] void Raise(uint32_t number) { throw DVError(number, kSeverityError, kDisplayByFocus); }

char Printable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.'; }

struct MemoryLineLayout {
  uint16_t firstColumn = 0;
  uint16_t elementsInRow = 0;
  uint8_t width = 0;
  uint16_t notCharacters = 0;
};

// The line a value is formatted into: 383 positions and the column of the next
// character. Values are placed at explicit positions, so what a field does not fill
// stays blank; nothing is ever placed beyond the last position (78 instead).
class ValueOutputLine {
 public:
  ValueOutputLine() { Clear(); }

  void Clear() {
    m_text.fill(' ');
    m_column = 0;
  }

  uint16_t Column() const { return m_column; }
  // Moves the column back or on within the line (no text is placed).
  void SetColumn(uint32_t column) {
    if (column > kValueOutputLineSize) Raise(kMsgOutputBufferOverflow);
    m_column = static_cast<uint16_t>(column);
  }

  void PutChar(char ch) {
    if (m_column >= kValueOutputLineSize) Raise(kMsgOutputBufferOverflow);
    m_text[m_column++] = ch;
  }

  void PutCharAt(char ch, uint32_t position) {
    if (position >= kValueOutputLineSize) Raise(kMsgOutputBufferOverflow);
    m_text[position] = ch;
  }

  void PutText(const char* text, uint32_t position, uint32_t count) {
    if (position > kValueOutputLineSize || count > kValueOutputLineSize - position) Raise(kMsgOutputBufferOverflow);
    std::memcpy(m_text.data() + position, text, count);
  }

  void PutOverflowMarks(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) PutChar('*');
  }

  void Advance(int32_t width) {
    if (width > 0) SetColumn(m_column + static_cast<uint32_t>(width));
  }

  // Characters placed one after another at the column.
  void PlaceText(const char* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) PutChar(text[i]);
  }

  // Places `text` so that it ends at column + width (width '*' instead when it does
  // not fit), and moves the column on by the width.
  void PlaceRightAligned(const std::string& text, int32_t width) {
    if (width < 0) width = static_cast<int32_t>(text.size());
    if (text.size() > static_cast<std::size_t>(width)) {
      PutOverflowMarks(static_cast<uint32_t>(width));
      return;
    }
    PutText(text.data(), m_column + static_cast<uint32_t>(width) - static_cast<uint32_t>(text.size()),
            static_cast<uint32_t>(text.size()));
    Advance(width);
  }

  // The blanks after `saved` go; the text after them moves left to `saved`.
  void TrimField(uint16_t saved) {
    uint16_t firstText = saved;
    while (firstText < m_column && m_text[firstText] == ' ') ++firstText;
    const uint16_t removed = static_cast<uint16_t>(firstText - saved);
    if (removed == 0) return;
    std::memmove(m_text.data() + saved, m_text.data() + firstText, m_column - firstText);
    m_column = static_cast<uint16_t>(m_column - removed);
    std::fill(m_text.begin() + m_column, m_text.end(), ' ');
  }

  // Writes what the line holds; mode 3 keeps the output line open, any other mode ends
  // it when the state asks for a line end after each value.
  void Flush(uint32_t mode, uint16_t state) {
    if (m_column == 0) return;
    OutputWriter::WriteChars(m_column, m_text.data());
    Clear();
    Pager::Flush();
    if (mode != 3 && (state & kOutputEndLineAfterValue) != 0) OutputWriter::FreshLine();
  }

 private:
  std::array<char, kValueOutputLineSize> m_text{};
  uint16_t m_column = 0;
};

// How deep the members of nested aggregates are expanded: a stack of limits, each
// with the depth of the aggregate being shown under it.
class NestingLimitStack {
 public:
  struct Entry {
    uint32_t limit = 0;
    uint32_t depth = 0;
  };

  NestingLimitStack() { m_entries[0] = Entry{kDefaultNestingLimit, 0}; }

  // The index moves up unless it is at the last entry, which is then overwritten.
  void Push(uint32_t limit) {
    if (m_top < kNestingEntries - 1) ++m_top;
    m_entries[m_top] = Entry{limit, 1};
  }
  // The index moves down unless it is at the first entry; the limit found there.
  uint32_t Pop() {
    if (m_top > 0) --m_top;
    return m_entries[m_top].limit;
  }
  Entry& Top() { return m_entries[m_top]; }

 private:
  std::array<Entry, kNestingEntries> m_entries{};
  uint32_t m_top = 0;
};

// The typed value output: the line, the output state, the layout of the last memory
// row and the nesting limits.
class ValueOutput {
 public:
  void Clear() { m_line.Clear(); }

  void Begin() { m_state = kInitialState; }

  // 1. A kind 0 item goes without a trace; a string is written as it is; an inactive
  //    symbol is written as "<Inactive>".
  // 2. Any other value is formatted into the line and written.
  // 3. The line ends after the value. A failure leaves no half-written line.
  void DisplayTopValueCore(uint32_t base) {
    try {
      const uint16_t kind = ValueStack::TopKind();
      if (kind == kKindNone) {
        ValueStack::Drop();
        return;
      }
      if (kind == kKindInactiveSymbol) {
        ValueStack::Drop();
        static const char kInactive[] = "<Inactive>";
        ValueStack::Push(kKindNString, kInactive);
      }
      if (ValueStack::TopKind() == kKindNString || ValueStack::TopKind() == kKindLString) {
        const uint16_t stringKind = ValueStack::TopKind();
        uint8_t data[ValueStack::kMaxItemSize + 1] = {};
        ValueStack::Pop(data);
        FormatValue(data, stringKind, -1, 0);
        m_line.Flush(2, m_state);
      } else {
        DisplayValueItem(base);
      }
      if ((m_state & kOutputEndLineAfterValue) != 0) OutputWriter::FreshLine();
    } catch (...) {
      m_line.Clear();
      throw;
    }
  }

  int32_t Width(uint32_t kind, const uint8_t* value, uint32_t base) const {
    if (kind == kKindTypedLocation) {
      const TypedLocation location = TypedLocation::ReadImage(value);
      if (location.IsNull()) return static_cast<int32_t>(std::strlen("<null>"));
      const DVPTypeInfo type = DVPTypeInfo::FromTargetTypeId(location.AddressRef().Record().m_addressClass);
      return static_cast<int32_t>(type.DisplayWidth(16));
    }
    if (kind == kKindOrdinal) return static_cast<int32_t>(DVPTypeInfo::FromCode(kKindAddressOffset).DisplayWidth(base));
    if (IsTargetAddressKind(kind)) return static_cast<int32_t>(DVPTypeInfo::FromCode(static_cast<int32_t>(kind)).DisplayWidth(16));
    const int32_t row = FindValueFormatRow(kind, base);
    return row < 0 ? -1 : static_cast<int32_t>(kValueFormatTable[static_cast<std::size_t>(row)].width);
  }

  void GetLayout(uint32_t* firstColumn, uint32_t* elementsInRow, uint32_t* notCharacters, uint32_t* width) const {
    *firstColumn = m_layout.firstColumn;
    *elementsInRow = m_layout.elementsInRow;
    *notCharacters = m_layout.notCharacters;
    *width = m_layout.width;
  }

  NestingLimitStack& Nesting() { return m_nesting; }

 private:
  // ---- values ------------------------------------------------------------------------

  void DisplayValueItem(uint32_t base) {
    const uint16_t kind = ValueStack::TopKind();
    const uint16_t size = ValueStack::TopSize();
    uint8_t data[ValueStack::kMaxItemSize + 1] = {};
    ValueStack::Pop(data);
    data[size < ValueStack::kMaxItemSize ? size : ValueStack::kMaxItemSize] = 0;
    const int32_t width = Width(kind, data, base);
    if (m_line.Column() != 0 && kind != kKindChar) m_line.PutChar(' ');
    const uint16_t saved = m_line.Column();
    if (kind == kKindPointerLocation) {
      const PointerLocation reference = PointerLocation::ReadImage(data);
      DisplayMemoryBlock(reference.Location(), reference.Location().IsPointer() ? 16 : base);
    } else if (kind == kKindSymbolValue) {
      DisplayAggregateValue(data);
    } else {
      FormatValue(data, kind, width, base);
      if (kind != kKindChar) m_line.TrimField(saved);
    }
    m_line.Flush(0, m_state);
  }

  void FormatValue(const uint8_t* data, uint32_t kind, int32_t width, uint32_t base) {
    switch (kind) {
      case kKindNone:
      case kKindPointerLocation: return;
      case kKindCode1:
        m_line.PutChar(data[0] != 0 ? '1' : '0');
        return;
      case kKindBool1:
      case kKindBool2:
      case kKindBool4:
      case kKindBool8: {
        // The wider booleans have no row of their own: they take the width of bool1.
        if (width < 0) width = 5;
        const char* word = data[0] != 0 || !IsAllZero(data, GetValueKindSize(kind)) ? "true " : "false";
        const uint32_t count = static_cast<uint32_t>(std::min(width, 5));
        m_line.PutText(word, m_line.Column(), count);
        m_line.Advance(width);
        return;
      }
      case kKindChar: {
        const int32_t count = width < 0 ? 1 : width;
        for (int32_t i = 0; i < count; ++i) m_line.PutChar(Printable(data[i]));
        return;
      }
      case kKindOrd1:
      case kKindOrd2:
      case kKindOrd4: FormatOrdinal32(data, kind, width, base); return;
      case kKindOrd8:
      case kKindOrd12:
      case kKindOrd16: FormatOrdinalWide(data, kind, width, base); return;
      case kKindInt1:
      case kKindInt2:
      case kKindInt4:
      case kKindInt8: FormatSignedInteger(data, kind, width, base); return;
      case kKindReal4:
      case kKindReal8:
      case kKindReal10: FormatReal(data, kind, width); return;
      case kKindNString: {
        std::size_t length = strnlen(reinterpret_cast<const char*>(data), ValueStack::kMaxItemSize);
        if (width >= 0) length = std::min(length, static_cast<std::size_t>(width));
        m_line.PlaceText(reinterpret_cast<const char*>(data), length);
        return;
      }
      case kKindLString: {
        std::size_t length = data[0];
        if (width >= 0) length = std::min(length, static_cast<std::size_t>(width));
        m_line.PlaceText(reinterpret_cast<const char*>(data) + 1, length);
        return;
      }
      case kKindTypedLocation: {
        const RWCString text = TypedLocation::ReadImage(data).AddressRef().Text();
        m_line.PlaceText(text.data(), text.length());
        return;
      }
      case kKindOrdinal: {
        if (base != 2 && base != 10 && base != 16) ZENTOR_INTERNAL_ERROR();
        std::ostringstream stream;
        DisplayInteger::DisplayInteger_FromAddress(LoadU32(data)).Write(stream, base);
        const std::string text = stream.str().substr(0, 129);
        m_line.PlaceText(text.data(), text.size());
        return;
      }
      default: break;
    }
    if (IsTargetAddressKind(kind)) {
      const uint32_t offset = LoadU32(data);
      const RWCString text =
          AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(static_cast<int32_t>(kind)), &offset).Text();
      m_line.PlaceText(text.data(), text.length());
      return;
    }
    Raise(kMsgInvalidTypeInOutput);
  }

  void FormatReal(const uint8_t* data, uint32_t kind, int32_t width) {
    char text[64] = {};
    const std::size_t length = RealValueToText(data, kind, text, sizeof text);
    m_line.PlaceRightAligned(std::string(text, length), width);
  }

  void FormatOrdinal32(const uint8_t* data, uint32_t kind, int32_t width, uint32_t base) {
    uint8_t wide[4] = {};
    ConvertValue(data, static_cast<uint16_t>(kind), wide, kKindOrd4);
    const uint32_t value = LoadU32(wide);
    char text[80] = {};
    std::size_t length = 0;
    if (base == 2) {
      length = Formatter::FormatToBuffer(text, sizeof text, "%0*ly", width < 0 ? 0 : width, value);
    } else {
      length = Formatter::UnsignedToText(value, base == 8 || base == 10 ? base : 16, width, text, sizeof text);
    }
    m_line.PlaceRightAligned(std::string(text, length), width);
  }

  void FormatOrdinalWide(const uint8_t* data, uint32_t kind, int32_t width, uint32_t base) {
    const uint32_t size = GetValueKindSize(kind);
    uint32_t words[4] = {};
    for (uint32_t i = 0; i < size / 4 && i < 4; ++i) words[i] = LoadU32(data + 4 * i);
    const std::string text = NumberToText(words, static_cast<uint16_t>(base), base != 10, static_cast<uint16_t>(size));
    m_line.PlaceRightAligned(text, width);
  }

  // Decimal: a sign position and the digits, right-aligned. Other bases: the last
  // `width` digits of the zero-filled value (a negative value shows its two's
  // complement).
  void FormatSignedInteger(const uint8_t* data, uint32_t kind, int32_t width, uint32_t base) {
    uint32_t low = 0;
    uint32_t high = 0;
    bool negative = false;
    if (kind == kKindInt8) {
      low = LoadU32(data);
      high = LoadU32(data + 4);
      negative = (high & 0x80000000u) != 0;
    } else {
      uint8_t converted[4] = {};
      ConvertValue(data, static_cast<uint16_t>(kind), converted, kKindInt4);
      low = LoadU32(converted);
      negative = kind == kKindInt4 ? (low & 0x80000000u) != 0 : (low & 0x8000u) != 0;
    }
    if (width < 0) width = 0;
    if (base == 10) {
      uint64_t magnitude = (static_cast<uint64_t>(high) << 32) | low;
      if (negative) {
        magnitude = kind == kKindInt8 ? ~magnitude + 1 : static_cast<uint32_t>(~low + 1);
      }
      const std::string text = std::string(negative ? "-" : " ") + std::to_string(magnitude);
      const uint32_t end = m_line.Column() + static_cast<uint32_t>(width);
      const uint32_t start = text.size() > end - m_line.Column() ? m_line.Column() : end - static_cast<uint32_t>(text.size());
      m_line.PutText(text.data(), start, static_cast<uint32_t>(text.size()));
      m_line.Advance(std::max<int32_t>(width, static_cast<int32_t>(start - m_line.Column() + text.size())));
      return;
    }
    const uint32_t words[2] = {low, high};
    const std::string text = NumberToText(words, static_cast<uint16_t>(base), true, 8);
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(width));
    m_line.PutText(text.data() + text.size() - count, m_line.Column(), static_cast<uint32_t>(count));
    m_line.Advance(width);
  }

  // ---- memory rows ------------------------------------------------------------------

  // One string read from target memory at `address` and written straight to the
  // output: the address (when rows show it), the string between quotes with the
  // characters that cannot be shown as '.'. The length of the string read.
  std::size_t DisplayTargetString(const AddressDescriptor& address, uint16_t type) {
    uint8_t bytes[kMaxNStringRead + 2] = {};
    OrdinalValue read;
    const TypedLocation start(address, DVPTypeInfo::FromCode(kKindNString), OrdinalValue(1u), OrdinalValue(1u));
    TargetMemory::ReadValue(&read, bytes, sizeof bytes, AddressRange::FromLength(start, OrdinalValue::One), 0);
    const std::size_t length = strnlen(reinterpret_cast<const char*>(bytes), kMaxNStringRead + 1);
    std::string text(reinterpret_cast<const char*>(bytes), length);
    if (type == kKindLString && !text.empty()) text.erase(0, 1);
    for (char& ch : text) ch = Printable(static_cast<uint8_t>(ch));
    if ((m_state & kOutputRowAddress) != 0) {
      OutputWriter::WriteString(address.Text().data());
      OutputWriter::WriteString("  ");
    }
    OutputWriter::PutChar(kQuote);
    OutputWriter::WriteString(text);
    OutputWriter::PutChar(kQuote);
    Pager::Flush();
    if ((m_state & kOutputEndLineAfterValue) != 0) OutputWriter::FreshLine();
    return length;
  }

  // Rows of elements of the location's type read from target memory: the row's
  // address, the elements, and for bytes their characters. Memory is read in pieces
  // of at most 1024 bytes of whole elements; a read that returns fewer bytes than
  // asked shows the elements it read completely and then raises the read failure.
  void DisplayMemoryBlock(const TypedLocation& location, uint32_t base) {
    BreakMonitor monitor;
    monitor.Register();
    if (m_line.Column() != 0) m_line.Flush(0, m_state);
    const auto type = static_cast<uint16_t>(location.Type().Code());
    if (type == kKindNString || type == kKindLString) {
      // Each string begins where the one before ended.
      AddressDescriptor address = location.Address();
      for (OrdinalValue count = location.ElementCount(); count != 0u; --count) {
        address += OrdinalValue(static_cast<uint32_t>(DisplayTargetString(address, type) + 1));
      }
      return;
    }
    if (type == kKindTypedLocation || type == kKindOrdinal) Raise(kMsgInvalidTypeInOutput);
    uint32_t size = 0;
    int32_t width = 0;
    uint32_t perRow = 0;
    if (IsTargetAddressKind(type)) {
      const DVPTypeInfo info = DVPTypeInfo::FromCode(type);
      size = info.Size();
      width = static_cast<int32_t>(info.DisplayWidth(base));
      perRow = size != 0 && size <= 16 ? 16 / size : 1;
    } else {
      const int32_t row = FindValueFormatRow(type, base);
      if (row < 0) Raise(kMsgInvalidTypeInOutput);
      width = static_cast<int32_t>(kValueFormatTable[static_cast<std::size_t>(row)].width);
      perRow = kValueFormatTable[static_cast<std::size_t>(row)].perRow;
      size = DVPTypeInfo::FromCode(type).Size();
    }
    if (size == 0 || perRow == 0) Raise(kMsgInvalidTypeInOutput);
    const bool characters = type == kKindChar;
    OrdinalValue remaining = location.ElementCount();
    if (!characters && remaining == 0u) remaining = OrdinalValue(1u);
    if (remaining == 0u) return;

    const uint64_t total = static_cast<uint64_t>(size) * (remaining.High() != 0 ? 0xFFFFFFFFu : remaining.Low());
    uint32_t chunk = total <= kReadChunkBytes && remaining.High() == 0 ? static_cast<uint32_t>(total)
                                                                        : kReadChunkBytes - kReadChunkBytes % size;
    if (chunk == 0) chunk = size;
    std::vector<uint8_t> buffer(std::max<uint32_t>(chunk, size) + 16, 0);
    const bool characterColumn = type == kKindOrd1 && (m_state & kOutputCharacterColumn) != 0;

    AddressDescriptor address = location.Address();
    const bool register_ = address.IsRegister();
    uint32_t used = 0;
    uint32_t filled = 0;
    bool readFailed = false;
    uint32_t characterStart = 0;
    uint32_t characterPosition = 0;

    auto beginRow = [&]() {
      m_line.Clear();
      m_layout.elementsInRow = 0;
      if ((m_state & kOutputRowAddress) != 0) {
        const RWCString text = address.Text();
        m_line.PlaceText(text.data(), text.length());
        m_line.PlaceText("  ", 2);
      }
      if (characters) m_line.PutChar(kQuote);
      m_layout.firstColumn = m_line.Column();
      m_layout.width = static_cast<uint8_t>(width);
      m_layout.notCharacters = characters ? 0 : 1;
      if (characterColumn) {
        const uint32_t quote = static_cast<uint32_t>(width + 1) * perRow + m_layout.firstColumn;
        m_line.PutCharAt(kQuote, quote);
        characterStart = quote + 1;
        characterPosition = characterStart;
      }
    };

    beginRow();
    for (;;) {
      if (used >= filled) {
        const uint64_t wanted = std::min<uint64_t>(remaining.High() != 0 ? 0xFFFFFFFFu : remaining.Low(), chunk / size);
        const TypedLocation start(address, location.Type(), OrdinalValue(size), OrdinalValue(1u));
        OrdinalValue read;
        TargetMemory::ReadValue(&read, buffer.data(), static_cast<uint32_t>(buffer.size()),
                                AddressRange::FromLength(start, OrdinalValue(static_cast<uint32_t>(wanted))), 0);
        const uint64_t bytes = read.High() != 0 ? wanted * size : std::min<uint64_t>(read.Low(), wanted * size);
        const uint32_t whole = static_cast<uint32_t>(bytes / size);
        if (whole < wanted) {
          remaining = OrdinalValue(whole);
          readFailed = true;
        }
        if (whole == 0) break;
        used = 0;
        filled = whole * size;
      }
      if (characters) {
        m_line.PutChar(Printable(buffer[used]));
      } else {
        FormatValue(buffer.data() + used, type, width, base);
      }
      if (characterColumn) m_line.PutCharAt(Printable(buffer[used]), characterPosition++);
      ++m_layout.elementsInRow;
      used += size;
      if (!register_) address += OrdinalValue(size);
      --remaining;
      if (!characters) m_line.Advance(1);
      if (remaining == 0u || m_layout.elementsInRow >= perRow) {
        if (characters) m_line.PutChar(kQuote);
        if (characterColumn) {
          m_line.SetColumn(characterPosition);
          m_line.PutChar(kQuote);
        }
        if (monitor.TestAndClearChanged() != 0) break;
        if (remaining == 0u) break;
        m_line.Flush(0, m_state);
        beginRow();
      }
    }
    m_line.Flush(0, m_state);
    if (readFailed) throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
  }

  // ---- aggregates ------------------------------------------------------------------------

  static bool IsAggregateCategory(uint32_t category) {
    return category == kCategoryArray || category == kCategoryStructure || category == kCategoryUnion ||
           category == kCategoryClass;
  }

  // The members of the symbol of an aggregate value, from the item's member column
  // on, nested to the top nesting limit.
  void DisplayAggregateValue(const uint8_t* data) {
    m_line.Flush(3, m_state);
    m_nesting.Top().depth = 0;
    const SymbolValueItem item = SymbolValueItem::ReadImage(data);
    const SymbolDescriptor description = DescriptionOf(item);
    const SymbolHandle handle = SymbolHandle::SymbolHandle_FromRecord(GetCurrentSymbolContext(), &description,
                                                                      kLevelSymbol);
    DVErrorCode status = handle.Status();
    if (status.IsOkay()) {
      SymbolDescription type;
      status = handle.TypeName(type);
      if (status.IsOkay()) {
        if (IsAggregateCategory(type.m_category)) {
          DisplayAggregateMember(handle, static_cast<int32_t>(item.Word()) - 2);
        } else {
          status.Set(kMsgUnknownStructuredType, kSeverityInternal);
        }
      }
    }
    if (!status.IsOkay()) ThrowIfError(DVError(status));
  }

  void DisplayAggregateMember(const SymbolHandle& handle, int32_t indentation) {
    NestingLimitStack::Entry& top = m_nesting.Top();
    ++top.depth;
    struct Leave {
      NestingLimitStack::Entry& entry;
      ~Leave() { --entry.depth; }
    } leave{top};
    SymbolDescription type;
    (void)handle.TypeName(type);
    if (top.depth > 1) {
      TabTo(indentation);
      const RWCString name = handle.ShortName();
      if (name.length() > 3 && std::strncmp(name.data(), "*BC", 3) == 0) {
        std::string base = type.m_typeText;
        for (const char* prefix : {"struct ", "class "}) {
          if (base.rfind(prefix, 0) == 0) base.erase(0, std::strlen(prefix));
        }
        OutputWriter::Printf("%s::", base);
      } else {
        OutputWriter::Printf("%s", name);
      }
    }
    if (top.depth > top.limit) {
      OutputWriter::Printf("   %s%s\n", type.m_typeText, type.m_typeSuffix);
      return;
    }
    OutputWriter::FreshLine();
    DisplayAggregateMembers(handle, indentation + 2);
  }

  void DisplayAggregateMembers(const SymbolHandle& handle, int32_t indentation) {
    const uint32_t count = handle.ReadValue();
    const uint32_t shown = std::min(count, MemberCountLimit);
    for (uint32_t i = 0; i < shown; ++i) {
      const SymbolHandle member = SymbolHandle::SymbolHandle_Member(handle, i);
      if (!member.Status().IsOkay()) break;
      SymbolDescription type;
      if (!member.TypeName(type).IsOkay()) break;
      if (IsAggregateCategory(type.m_category)) {
        DisplayAggregateMember(member, indentation);
      } else {
        DisplayScalarMember(member, indentation);
      }
    }
    if (shown < count) {
      TabTo(indentation);
      OutputWriter::Printf("%s\n", "More...");
    }
  }

  void DisplayScalarMember(const SymbolHandle& handle, int32_t indentation) {
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize] = {};
    if (!handle.Evaluate(kind, value).IsOkay()) return;
    TabTo(indentation);
    OutputWriter::Printf("%s   ", handle.ShortName());
    ValueStack::PushSized(kind, ValueSize(kind, value), value);
    zentor::DisplayTopValue();
  }

  // The size of a value of a kind as the value stack holds it.
  static uint16_t ValueSize(uint16_t kind, const uint8_t* value) {
    if (kind == kKindNString) return static_cast<uint16_t>(strnlen(reinterpret_cast<const char*>(value), 1023) + 1);
    if (kind == kKindLString) return static_cast<uint16_t>(value[0] + 1);
    if (kind == kKindTypedLocation) return TypedLocation::kImageSize;
    if (kind == kKindPointerLocation) return PointerLocation::kImageSize;
    if (kind == kKindSymbolValue) return SymbolValueItem::kImageSize;
    return GetValueKindSize(kind);
  }

  static void TabTo(int32_t column) {
    if (column > 0) OutputWriter::TabToColumn(static_cast<uint8_t>(std::min(column, 255)));
  }

  ValueOutputLine m_line;
  // The bits of kOutputEndLineAfterValue, kOutputRowAddress, kOutputCharacterColumn.
  uint16_t m_state = kInitialState;
  MemoryLineLayout m_layout;
  NestingLimitStack m_nesting;

 public:
  uint32_t PerLine(uint32_t kind, uint32_t base) const {
    if (kind == kKindTypedLocation || kind == kKindOrdinal || IsTargetAddressKind(kind)) Raise(kMsgInvalidTypeInOutput);
    const int32_t row = FindValueFormatRow(kind, base);
    return row < 0 ? 0 : kValueFormatTable[static_cast<std::size_t>(row)].perRow;
  }
};

ValueOutput& Output() {
  static ValueOutput output;
  return output;
}

}  // namespace

int32_t FindValueFormatRow(uint32_t kind, uint32_t base) {
  for (std::size_t i = 0; i < kValueFormatTable.size(); ++i) {
    const ValueFormatRow& row = kValueFormatTable[i];
    if (row.kind == kind && (row.base == 0 || row.base == base)) return static_cast<int32_t>(i);
  }
  return -1;
}

const ValueFormatRow& ValueFormatTableRow(int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kValueFormatTable.size()) ZENTOR_INTERNAL_ERROR();
  return kValueFormatTable[static_cast<std::size_t>(index)];
}

void ResetValueOutput() {
  Output().Begin();
  Output().Clear();
}

void DisplayTopValue() { DisplayTopValueInBase(GetNumberBase()); }

void DisplayTopValueInBase(uint32_t base) {
  Output().Begin();
  Output().DisplayTopValueCore(base);
}

int32_t GetValueDisplayWidth(uint32_t kind, const uint8_t* value, uint32_t base) {
  Output().Begin();
  return Output().Width(kind, value, base);
}

uint32_t GetValuesPerLine(uint32_t kind, uint32_t base) {
  Output().Begin();
  return Output().PerLine(kind, base);
}

void GetMemoryLineLayout(uint32_t* firstColumn, uint32_t* elementsInRow, uint32_t* notCharacters, uint32_t* width) {
  Output().Begin();
  Output().GetLayout(firstColumn, elementsInRow, notCharacters, width);
}

void PushNestingLimit(uint32_t limit) {
  Output().Begin();
  Output().Nesting().Push(limit);
}

uint32_t PopNestingLimit() {
  Output().Begin();
  return Output().Nesting().Pop();
}

}  // namespace zentor
