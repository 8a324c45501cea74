// The build of a Source window's display lines in its three forms: source lines only,
// source lines each followed by the instructions of its code (mixed), and, when no
// source text can be shown, a disassembly listing in which each source line of the
// module is a header line followed by its instructions.

#include <algorithm>
#include <cstring>

#include "engine/disassembly_listing.h"
#include "engine/source_base.h"

#include "core/dv_error.h"
#include "core/hi_service.h"

namespace zentor {

namespace {

constexpr uint32_t kNoSourceDisplay = 76;
constexpr int32_t kInstructionIndent = 8;
constexpr int32_t kInstructionTextLimit = 159;
constexpr uint16_t kPackedBufferSize = 160;
constexpr int32_t kRecordOffsetSize = 8;

// The wait cursor for the length of a build, also when it raises.
class BusyCursor {
 public:
  BusyCursor() { HiService(kGuiBusyCursor); }
  ~BusyCursor() { HiService(kGuiPopCursor); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

uint32_t Low32(const OrdinalValue& value) { return static_cast<uint32_t>(value.Low()); }

void ResetLine(DisplayLine& line) {
  line.attr = 0;
  line.length = 0;
  line.capacity = 0;
  line.text = nullptr;
  line.fields = nullptr;
  line.lineData = 0;
  line.filePosition = kInstructionLine;
  line.line = OptionalLine();
  line.codeLength = 0;
  line.address.MakeNull();
}

// The offsets and texts of up to `count` packed records, each checked to lie inside
// the buffer; the number read.
int32_t ReadPackedRecords(const uint8_t* buffer, int32_t count, uint32_t* offsets, const char** texts) {
  size_t at = 0;
  int32_t records = 0;
  while (records < count && at + kRecordOffsetSize < kPackedBufferSize) {
    const char* text = reinterpret_cast<const char*>(buffer + at + kRecordOffsetSize);
    const size_t room = kPackedBufferSize - at - kRecordOffsetSize;
    const size_t length = strnlen(text, room);
    if (length == room) break;
    offsets[records] = static_cast<uint32_t>(buffer[at]) | static_cast<uint32_t>(buffer[at + 1]) << 8 |
                       static_cast<uint32_t>(buffer[at + 2]) << 16 | static_cast<uint32_t>(buffer[at + 3]) << 24;
    texts[records] = text;
    at += kRecordOffsetSize + length + 1;
    ++records;
  }
  return records;
}

}  // namespace

// The address after the last record is that record's address advanced by its
// instruction's length.
int32_t DisassembleRange(const AddressDescriptor& start, AddressDescriptor* next, uint32_t length, uint8_t* buffer,
                         uint16_t capacity) {
  const int32_t result = DisassembleIntoBuffer(start, static_cast<int32_t>(length), PackedLineBuffer{buffer, capacity});
  *next = start;
  const int32_t count = result < 0 ? -result : result;
  if (count == 0) return result;
  uint32_t offsets[kPackedBufferSize / (kRecordOffsetSize + 1)];
  const char* texts[kPackedBufferSize / (kRecordOffsetSize + 1)];
  const int32_t records = ReadPackedRecords(buffer, std::min<int32_t>(count, kPackedBufferSize / (kRecordOffsetSize + 1)),
                                            offsets, texts);
  if (records == 0) return 0;
  RWCString ignored;
  const AddressDescriptor last = start + OrdinalValue(offsets[records - 1]);
  const uint32_t lastLength = DisassembleOne(last, last.SpaceKind(), &ignored);
  *next = last + OrdinalValue(std::max<uint32_t>(lastLength, 1));
  return result;
}

int32_t SourceBase::ReadPosition() const { return m_reader.Position(); }

// Only the entries a collection can fill are cleared: a mixed build collects once per
// source line.
void SourceBase::CollectLines(uint16_t from, uint16_t to, uint32_t capacity) {
  capacity = std::min<uint32_t>(capacity, static_cast<uint32_t>(m_lineAddresses.size()));
  for (uint32_t i = 0; i < capacity; ++i) m_lineAddresses[i].m_line = OptionalLine();
  if (from == 0 || to < from || capacity < 2) return;
  CollectLineRangesBetweenLines(from, to, m_lineAddresses.data(), capacity);
}

// 1. Every slot of the capacity starts empty; the store starts again at its first
//    block.
// 2. First phase, the lines above row p: read backwards from the read position (then
//    the read position is put back), or the listing built backwards from its anchor.
// 3. Second phase: the source lines from the read position on, forwards.
// 4. The pane gets the lines, the numbers of the first and last numbered line, and,
//    for source text, the code lengths and addresses of the lines.
int32_t SourceBase::Build(int32_t p) {
  if (m_pane == nullptr) ZENTOR_INTERNAL_ERROR();
  const int32_t capacity = std::clamp(m_lineCapacity, 2, static_cast<int32_t>(kLineSlots));
  p = std::clamp(p, 0, capacity - 1);
  m_store->Rewind();
  m_lastShownLine = 0;
  for (int32_t i = 0; i < capacity; ++i) {
    m_paneLines[static_cast<size_t>(i)] = nullptr;
    m_lines[static_cast<size_t>(i)] = &m_linePool[static_cast<size_t>(i)];
    ResetLine(m_linePool[static_cast<size_t>(i)]);
  }
  const BusyCursor busy;
  const bool listing = m_disassemblyAnchor != 0;
  if (m_firstLineNumber != 0) Line(p).line = OptionalLine(static_cast<uint16_t>(m_firstLineNumber), m_position.m_locationLine);

  int32_t n = 0;
  if (p < 1) {
    if (listing) n = BuildDisassemblyListing(0, capacity - 1, 1);
  } else if (!listing) {
    const uint16_t location = m_position.m_locationLine.RawLine();
    if (m_mode != 1 && m_position.m_lineCount <= static_cast<uint32_t>(m_pane->rows) &&
        !m_position.m_locationLine.IsEmpty() && location >= 1 && location < capacity) {
      // The whole file fits the window: line k lands on row k - 1.
      p = location - 1;
      Line(p).line = m_position.m_locationLine;
    }
    const int32_t resume = ReadPosition();
    n = BuildSourceLines(p, 0, 0);
    Seek(resume);
  } else {
    if (m_pane->top == 0 && m_pane->first == -1) return 0;
    n = p < 3 ? BuildDisassemblyListing(1, capacity - 1, 1) : BuildDisassemblyListing(p, capacity - 1, 0);
  }
  const int32_t r = n;
  if (!listing) n = BuildSourceLines(n, capacity - 1, 1);

  m_store->FreeTextBlocksAbove(m_store->BlockIndex());
  m_paneLines[static_cast<size_t>(n)] = nullptr;
  m_lines[static_cast<size_t>(n)] = nullptr;
  m_pane->count = n + 1;
  if (n == 0) {
    EmptyPane();
    throw DVError(kNoSourceDisplay, kSeverityWarning, kDisplayByFocus);
  }
  for (int32_t i = 0; i < n; ++i) m_paneLines[static_cast<size_t>(i)] = m_lines[static_cast<size_t>(i)];

  int32_t i = 0;
  while (i < n && Line(i).line.IsEmpty()) ++i;
  if (i == n) {
    m_firstShownLine = -1;
    i = n - 1;
  } else {
    m_firstShownLine = Line(i).line.RawLine();
  }
  m_pane->first = m_firstShownLine;
  for (int32_t k = i; k < n; ++k) {
    if (!Line(k).line.IsEmpty()) m_lastShownLine = Line(k).line.RawLine();
  }
  if (!listing) {
    AttachLineCodeLengths();
  } else {
    m_pane->first = Line(0).line.IsEmpty() ? 0 : Line(0).line.RawLine();
  }
  m_pane->last = (m_mode == 0 && !listing) ? 0 : static_cast<int32_t>(m_lastShownLine);
  if (m_position.m_lineCount <= m_lastShownLine) {
    m_pane->total = static_cast<int32_t>(m_lastShownLine);
    if (listing && m_pane->total == 0) m_pane->total = -1;
  }
  return r;
}

// Lines from index `first` up to `second` (forward) or from `second` up to `first`
// (read backwards, then put in file order). In mixed mode each numbered line is
// followed by its instructions.
int32_t SourceBase::BuildSourceLines(int32_t first, int32_t second, int32_t forward) {
  int32_t i = forward != 0 ? first : second;
  const int32_t end = forward != 0 ? second : first;
  const int32_t limit = std::min(m_lineCapacity, static_cast<int32_t>(kLineSlots)) - 1;
  uint32_t number = m_firstLineNumber;
  bool firstLine = true;
  while (i < end && i < limit && m_store->EnsureRoomForLine()) {
    DisplayLine& line = Line(i);
    line.text = m_store->Cursor();
    if (m_firstLineNumber != 0) {
      if (firstLine) {
        number = forward != 0 ? m_firstLineNumber : m_firstLineNumber - 1;
      } else {
        number = forward != 0 ? number + 1 : number - 1;
      }
      line.line = OptionalLine(static_cast<uint16_t>(number), m_position.m_locationLine);
    }
    firstLine = false;
    if (ReadSourceLine(i, forward) == -1) {
      line.line = OptionalLine();
      line.text = nullptr;
      break;
    }
    const int32_t group = i;
    if (m_mode == 1 && !line.line.IsEmpty()) i = InsertLineInstructions(i, forward);
    if (forward == 0 && i >= end && i > group) {
      // Read upwards, a line whose instructions do not all fit above the end is left
      // out whole: the window never starts with instructions whose line is cut off.
      for (int32_t k = group; k <= i; ++k) ResetLine(Line(k));
      i = group;
      break;
    }
    ++i;
  }
  if (forward == 0) {
    for (int32_t k = end; k < i; ++k) ResetLine(Line(k));
    i = std::min(i, end);
    std::reverse(m_lines.get(), m_lines.get() + i);
  }
  return i;
}

int32_t SourceBase::ReadSourceLine(int32_t index, int32_t forward) {
  DisplayLine& line = Line(index);
  char* text = line.text;
  int32_t prefix = 0;
  if (m_firstLineNumber != 0) prefix = FormatLineNumberField(line.line.RawLine(), text);
  int32_t count;
  if (forward != 0) {
    line.filePosition = ReadPosition();
    count = ReadLineForward(text + prefix, SourceTextReader::kRequestedLimit);
  } else {
    count = ReadLineBackward(text + prefix, SourceTextReader::kRequestedLimit);
    line.filePosition = ReadPosition();
  }
  if (count == -1) return -1;
  line.length = static_cast<int32_t>(std::strlen(text));
  m_store->Commit(line.length);
  if (m_firstLineNumber == 0 && m_disassemblyAnchor == 0) {
    // A text that carries its own numbers names each line's number in its first
    // columns; with it the line gets its code, marks and instructions like a line
    // the pane numbers.
    const int32_t number = ParseListingLineNumber(text, line.length, m_position.m_language);
    if (number > 0 && number <= 0xFFFF) {
      line.line = OptionalLine(static_cast<uint16_t>(number), m_position.m_locationLine);
    }
  }
  if (line.line.IsEmpty()) {
    line.codeLength = 0;
    line.address.MakeNull();
  }
  return count + prefix;
}

// A group of a source line and its instruction lines read backwards is reversed
// whole, so that the final reversal of all lines leaves the source line first.
int32_t SourceBase::InsertLineInstructions(int32_t index, int32_t forward) {
  DisplayLine& line = Line(index);
  const uint16_t number = line.line.RawLine();
  CollectLines(number, static_cast<uint16_t>(number == 0xFFFF ? number : number + 1), 3);
  const LineAddress& entry = m_lineAddresses[0];
  if (entry.m_line.IsEmpty() || entry.m_line.RawLine() != number || entry.m_start.IsNull()) return index;
  line.codeLength = Low32(entry.m_length);
  line.address = entry.m_start;
  if (line.codeLength == 0) return index;
  const int32_t n = BuildInstructionLines(index);
  if (n <= 0) return index;
  if (forward == 0) std::reverse(m_lines.get() + index, m_lines.get() + index + n + 1);
  return index + n;
}

// 1. A numbered line keeps its text (a source or header line); its instructions
//    follow it. A line without a number becomes the first instruction itself: the
//    listing of an address without line information, from the location on, one
//    instruction per line, ending at the module's end.
// 2. The code is disassembled into packed records in rounds of one buffer; each
//    record becomes one line until the capacity or the text store runs out.
int32_t SourceBase::BuildInstructionLines(int32_t index) {
  DisplayLine& anchor = Line(index);
  const bool numbered = !anchor.line.IsEmpty();
  const int32_t indent = numbered ? kInstructionIndent : 0;
  if (!numbered) {
    if (index > 0 && !Line(index - 1).address.IsNull() && Line(index - 1).line.IsEmpty()) {
      anchor.address = Line(index - 1).address + OrdinalValue(std::max<uint32_t>(Line(index - 1).codeLength, 1));
    } else {
      anchor.address = m_position.m_location;
    }
    anchor.codeLength = 1;
    if (anchor.address.IsNull()) return 0;
    const uint32_t order = anchor.address.Compare(m_position.m_moduleEnd);
    if (order != kAddressEqual && order != kAddressLess) return 0;
  }
  AddressDescriptor start = anchor.address;
  uint32_t remaining = anchor.codeLength;
  const OptionalLine sourceLine = anchor.line;
  int32_t k = index;
  if (numbered) {
    anchor.codeLength = 0;
    k = index + 1;
  }
  const int32_t limit = std::min(m_lineCapacity, static_cast<int32_t>(kLineSlots)) - 1;
  const int32_t firstInstruction = k;
  uint8_t buffer[kPackedBufferSize];
  bool full = false;
  while (remaining > 0 && !full) {
    AddressDescriptor after;
    int32_t c = DisassembleRange(start, &after, remaining, buffer, kPackedBufferSize);
    const bool lastRound = c > 0;
    if (c < 0) c = -c;
    if (c == 0) break;
    uint32_t offsets[kPackedBufferSize / (kRecordOffsetSize + 1)];
    const char* texts[kPackedBufferSize / (kRecordOffsetSize + 1)];
    const int32_t records = ReadPackedRecords(buffer, c, offsets, texts);
    if (records == 0) break;
    const uint32_t consumed = static_cast<uint32_t>((after - start).Low());
    for (int32_t r = 0; r < records; ++r) {
      if (k >= limit || !m_store->EnsureRoomForLine()) {
        full = true;
        break;
      }
      DisplayLine& line = Line(k);
      line.line = sourceLine;
      line.filePosition = kInstructionLine;
      line.address = start + OrdinalValue(offsets[r]);
      line.codeLength = (r + 1 < records ? offsets[r + 1] : consumed) - offsets[r];
      char* text = m_store->Cursor();
      std::memset(text, ' ', static_cast<size_t>(indent));
      const size_t length = std::min(std::strlen(texts[r]), static_cast<size_t>(kInstructionTextLimit));
      std::memcpy(text + indent, texts[r], length);
      text[static_cast<size_t>(indent) + length] = '\0';
      line.text = text;
      line.length = indent + static_cast<int32_t>(length);
      m_store->Commit(line.length);
      ++k;
    }
    if (lastRound) break;
    start += OrdinalValue(consumed);
    remaining = consumed >= remaining ? 0 : remaining - consumed;
  }
  return k - firstInstruction;
}

// Header lines of the module's lines with their instructions; without a location
// line only the instructions from the location on. Backwards from a non-zero first
// index, the lines up to the anchor are listed from the last one up.
int32_t SourceBase::BuildDisassemblyListing(int32_t first, int32_t last, int32_t forward) {
  const bool numbered = !m_position.m_locationLine.IsEmpty();
  const int32_t limit = std::min({last, m_lineCapacity - 1, static_cast<int32_t>(kLineSlots) - 1});
  int32_t entries = 0;
  if (numbered) {
    uint32_t lastLine = std::min<uint32_t>(m_position.m_lineCount, 0xFFFF);
    uint32_t firstLine;
    if (first == 0 && !m_listingFromAnchor) {
      firstLine = m_position.m_locationLine.RawLine();
    } else if (first == 0) {
      firstLine = m_disassemblyAnchor;
    } else if (forward != 0) {
      firstLine = m_disassemblyAnchor;
    } else {
      lastLine = std::min<uint32_t>(m_disassemblyAnchor, 0xFFFF);
      const uint32_t span = static_cast<uint32_t>(m_lineCapacity - 2);
      firstLine = m_disassemblyAnchor < span ? 1 : m_disassemblyAnchor - span;
    }
    if (firstLine == 0 || firstLine > lastLine) firstLine = 1;
    CollectLines(static_cast<uint16_t>(firstLine), static_cast<uint16_t>(std::max<uint32_t>(lastLine, firstLine)),
                 static_cast<uint32_t>(m_lineCapacity));
    while (entries < static_cast<int32_t>(m_lineAddresses.size()) && !m_lineAddresses[entries].m_line.IsEmpty()) {
      ++entries;
    }
    if (entries == 0) return 0;
  }
  int32_t k = 0;
  int32_t e = forward != 0 ? 0 : entries - 1;
  while (k < limit && m_store->EnsureRoomForLine()) {
    const int32_t groupStart = k;
    if (numbered) {
      if (e < 0 || e >= entries) break;
      const LineAddress& entry = m_lineAddresses[static_cast<size_t>(e)];
      DisplayLine& header = Line(k);
      header.line = entry.m_line;
      header.address = entry.m_start;
      header.codeLength = Low32(entry.m_length) == 0 ? 1 : Low32(entry.m_length);
      header.filePosition = kListingHeaderLine;
      header.text = m_store->Cursor();
      header.length = FormatLineNumberField(entry.m_line.RawLine(), header.text);
      m_store->Commit(header.length);
      e += forward != 0 ? 1 : -1;
    }
    const int32_t n = BuildInstructionLines(k);
    if (n == 0) {
      if (!numbered) break;
    } else {
      k += numbered ? n : n - 1;
    }
    if (forward == 0) std::reverse(m_lines.get() + groupStart, m_lines.get() + k + 1);
    ++k;
  }
  if (forward == 0) {
    k = std::min(k, last);
    std::reverse(m_lines.get(), m_lines.get() + k);
  }
  m_paneLines[static_cast<size_t>(k)] = nullptr;
  return k;
}

// Each numbered source line gets the address and code length of its entry; a line
// whose code starts where the next line's does has no code of its own.
int32_t SourceBase::AttachLineCodeLengths() {
  if (m_firstShownLine <= 0 || m_lastShownLine < static_cast<uint32_t>(m_firstShownLine)) return 0;
  CollectLines(static_cast<uint16_t>(m_firstShownLine), static_cast<uint16_t>(std::min<uint32_t>(m_lastShownLine, 0xFFFF)),
               static_cast<uint32_t>(std::max(Held(), 2)));
  size_t e = 0;
  const int32_t limit = std::min(m_lineCapacity, static_cast<int32_t>(kLineSlots)) - 1;
  for (int32_t i = 0; i < limit && HasLineAt(i) && e < m_lineAddresses.size(); ++i) {
    DisplayLine& line = Line(i);
    const LineAddress& entry = m_lineAddresses[e];
    if (line.line.IsEmpty() || entry.m_line.IsEmpty()) continue;
    while (e < m_lineAddresses.size() && !m_lineAddresses[e].m_line.IsEmpty() &&
           m_lineAddresses[e].m_line.RawLine() < line.line.RawLine()) {
      ++e;
    }
    if (e >= m_lineAddresses.size() || m_lineAddresses[e].m_line.IsEmpty() ||
        m_lineAddresses[e].m_line.RawLine() != line.line.RawLine()) {
      continue;
    }
    if (line.filePosition != kInstructionLine) {
      line.codeLength = Low32(m_lineAddresses[e].m_length);
      line.address = m_lineAddresses[e].m_start;
      if (e + 1 < m_lineAddresses.size() && !m_lineAddresses[e + 1].m_line.IsEmpty() &&
          m_lineAddresses[e + 1].m_start.Compare(line.address) == kAddressEqual) {
        line.codeLength = 0;
      }
      ++e;
    }
  }
  return 0;
}

}  // namespace zentor
