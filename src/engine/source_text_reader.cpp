#include "engine/source_text_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/source_line_naming.h"

#include "console/file_channel.h"
#include "core/dv_error.h"

namespace zentor {

namespace {

constexpr uint32_t kSeekFailed = 260;
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kFormFeed = 0x0C;
constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kCtrlZ = 0x1A;
constexpr int32_t kTabWidth = 4;

// Stores one input byte by the display-line rules; the number of characters stored.
int32_t StoreDisplayByte(uint8_t byte, char* at) {
  switch (byte) {
    case kTab:
      std::memset(at, ' ', kTabWidth);
      return kTabWidth;
    case kLineFeed:
    case kCarriageReturn:
      *at = '\0';
      return 1;
    case kFormFeed:
      *at = ' ';
      return 1;
    case kCtrlZ:
      return 0;
    default:
      *at = static_cast<char>(byte);
      return 1;
  }
}

}  // namespace

void RaiseSourceSeekFailed() { throw DVError(kSeekFailed, kSeverityError, kDisplayByFocus); }

void SourceTextReader::Attach(int32_t descriptor) {
  m_descriptor = descriptor;
  DiscardBuffer();
}

void SourceTextReader::DiscardBuffer() {
  m_bufferCount = 0;
  m_readState = SourceReadState{};
}

int32_t SourceTextReader::Position() const {
  if (m_bufferCount == 0) return FileChannel::Tell(m_descriptor);
  return m_readState.m_base + m_readState.m_offset;
}

void SourceTextReader::SeekFileOrRaise(int32_t position) {
  if (m_descriptor < 0 || FileChannel::Seek(m_descriptor, 0, position) == -1) RaiseSourceSeekFailed();
}

int32_t SourceTextReader::FillBuffer(int32_t size) {
  if (size <= 0) return 0;
  ++m_bufferReads;
  const int32_t got = FileChannel::Read(m_descriptor, m_fileBuffer.data(), static_cast<uint32_t>(size));
  return got < 0 ? 0 : got;
}

// Only origin 0 is ever asked for; a position inside the buffer costs no file
// operation. The buffer read here stops at the end of the module's text, so that a
// module inside a larger file never shows the next module's bytes.
void SourceTextReader::Seek(int32_t position, int32_t /*origin*/) {
  if (m_bufferCount != 0 && position >= m_readState.m_base && position < m_readState.m_base + m_readState.m_count) {
    m_readState.m_offset = position - m_readState.m_base;
    return;
  }
  if (position < 0 || static_cast<uint32_t>(position) < m_region.m_textStart ||
      static_cast<uint32_t>(position) > m_region.m_textEnd) {
    RaiseSourceSeekFailed();
  }
  SeekFileOrRaise(position);
  m_readState.m_base = position;
  const int32_t room = static_cast<int32_t>(m_region.m_textEnd - static_cast<uint32_t>(position));
  m_bufferCount = FillBuffer(std::min(room, kBufferSize));
  m_readState.m_count = m_bufferCount;
  m_readState.m_offset = 0;
}

// At the end of the text the state is left as it is, so that the read position
// stays at the end (a backward read from there finds the last line).
uint8_t SourceTextReader::GetNextChar() {
  if (m_bufferCount == 0 || m_readState.m_offset >= m_bufferCount) {
    if (m_descriptor < 0) return kEndOfText;
    const int32_t base = FileChannel::Tell(m_descriptor);
    if (base < 0 || static_cast<uint32_t>(base) >= m_region.m_textEnd) return kEndOfText;
    const int32_t room = static_cast<int32_t>(m_region.m_textEnd - static_cast<uint32_t>(base));
    const int32_t got = FillBuffer(std::min(room, kBufferSize));
    if (got <= 0) return kEndOfText;
    m_readState.m_base = base;
    m_bufferCount = got;
    m_readState.m_count = got;
    m_readState.m_offset = 0;
  }
  return m_fileBuffer[static_cast<size_t>(m_readState.m_offset++)];
}

// Loads the block before the buffer (or before the descriptor's position when
// nothing is buffered), never reaching below textStart.
uint8_t SourceTextReader::GetPreviousChar() {
  if (m_bufferCount == 0 || m_readState.m_offset == 0) {
    if (m_descriptor < 0) return kEndOfText;
    const int64_t textStart = m_region.m_textStart;
    int64_t end;
    if (m_bufferCount == 0) {
      end = FileChannel::Tell(m_descriptor);
      if (end < 0) return kEndOfText;
      end = std::min<int64_t>(end, m_region.m_textEnd);
    } else {
      end = m_readState.m_base;
    }
    if (end <= textStart) return kEndOfText;
    const int64_t start = std::max<int64_t>(end - kBufferSize, textStart);
    SeekFileOrRaise(static_cast<int32_t>(start));
    const int32_t got = FillBuffer(static_cast<int32_t>(end - start));
    if (got <= 0) return kEndOfText;
    m_readState.m_base = static_cast<int32_t>(start);
    m_bufferCount = got;
    m_readState.m_count = got;
    m_readState.m_offset = got;
  }
  return m_fileBuffer[static_cast<size_t>(--m_readState.m_offset)];
}

int32_t SourceTextReader::ReadLineForward(char* destination, int32_t limit) {
  if (limit >= kRequestedLimit || limit > kLineLimit) limit = kLineLimit;
  int32_t count = 0;
  bool ended = false;
  bool endOfText = false;
  while (count < limit && !ended) {
    const uint8_t byte = GetNextChar();
    if (byte == kEndOfText) {
      endOfText = true;
      break;
    }
    count += StoreDisplayByte(byte, destination + count);
    ended = byte == kLineFeed;
  }
  if (!ended && !endOfText) {
    // The limit came first: the rest of the line is not shown.
    for (uint8_t byte = GetNextChar(); byte != kEndOfText && byte != kLineFeed; byte = GetNextChar()) {
    }
  }
  if (endOfText && count == 0) {
    destination[0] = '\0';
    return -1;
  }
  destination[count] = '\0';
  return count;
}

// 1. Characters come backwards into a working area in reverse order; an LF met
//    before anything is stored is the line's own end (its NUL), the next one ends
//    the line. The scan always reaches the line's start, but only the first
//    kLineLimit characters met (the line's end) are kept.
// 2. After an ending LF one character is read forward again: the read position is
//    then the line's first character.
// 3. The kept characters go into the destination in file order.
int32_t SourceTextReader::ReadLineBackward(char* destination, int32_t /*limit*/) {
  destination[0] = '\0';
  char work[kLineLimit + kTabWidth];
  int32_t stored = 0;
  bool endedAtLineFeed = false;
  bool any = false;
  for (;;) {
    const uint8_t byte = GetPreviousChar();
    if (byte == kEndOfText) break;
    if (byte == kLineFeed && any) {
      endedAtLineFeed = true;
      break;
    }
    any = true;
    if (stored >= kLineLimit) continue;
    char expanded[kTabWidth];
    const int32_t n = StoreDisplayByte(byte, expanded);
    for (int32_t i = 0; i < n; ++i) work[stored++] = expanded[i];
  }
  if (!any) return -1;
  if (endedAtLineFeed) GetNextChar();
  const int32_t count = std::min(stored, kLineLimit);
  for (int32_t i = 0; i < count; ++i) destination[i] = work[count - 1 - i];
  destination[count] = '\0';
  return count;
}

int32_t SourceTextReader::MoveToLine(int32_t target, int32_t current, uint32_t firstLineNumber) {
  if (m_region.m_locationLine.RawLine() == 0) return 1;
  if (firstLineNumber != 0) {
    char line[kDestinationSize];
    for (int32_t i = current; i < target; ++i) {
      if (ReadLineForward(line, kRequestedLimit) == -1) break;
    }
    for (int32_t i = target; i < current; ++i) {
      if (ReadLineBackward(line, kRequestedLimit) == -1) break;
    }
    return 1;
  }
  if (m_region.m_lineCount == 0xFFFFFFFFu) return -1;
  return MoveToListedLine(target, current);
}

// The search by estimated jumps through a listing that numbers its own lines:
// 1. Two neighbouring forward reads that step over the target (the listing skips its
//    number) end the search at the first line beyond it; numbers on both sides of a
//    jump do not count, the jump may have passed the target's line.
// 2. Each change of direction starts a new pass; the average line length is the
//    text's length per line divided by the pass, so jumps shrink as the search
//    closes in, and a jump is taken only for distances above a threshold of about
//    one buffer of lines.
// 3. After 50 passes the search starts again from the text's start and only reads
//    forward; a second end of the text then fails it.
// 4. Between jumps lines are read in the direction until one carries a number.
int32_t SourceTextReader::MoveToListedLine(int32_t target, int32_t current) {
  enum class Direction { None, Forward, Backward };
  const uint32_t textStart = m_region.m_textStart;
  const uint32_t textEnd = m_region.m_textEnd;
  const uint32_t lineCount = m_region.m_lineCount;
  const uint16_t language = m_region.m_language;
  uint32_t pass = 0;
  Direction direction = Direction::Forward;
  Direction previousDirection = Direction::None;
  uint64_t average = 50;
  uint64_t threshold = 13;
  int64_t previousNumber = 0;
  bool restarted = false;
  int64_t number = current;
  // Whether the last lines were read after a jump: two numbers around the target
  // then need not be neighbours.
  bool jumped = false;
  // Every iteration reads at least one line; a search that has read the text many
  // times over has lost its way.
  const uint64_t readCap = 4ull * (static_cast<uint64_t>(lineCount) + 64) + 1000;
  uint64_t reads = 0;
  char line[kDestinationSize];

  for (;;) {
    if (previousDirection == Direction::Forward && direction == Direction::Forward && !jumped &&
        previousNumber < target && target < number) {
      // The listing skips the target's number: stand at the start of the first
      // listed line beyond it.
      ReadLineBackward(line, kRequestedLimit);
      return 1;
    }
    if (direction != previousDirection) ++pass;
    if (pass < 9) {
      const uint64_t perPass = static_cast<uint64_t>(textEnd) / (lineCount == 0 ? 1 : lineCount) / pass;
      average = perPass == 0 ? 43 : perPass;
      threshold = kBufferSize / average;
      if (threshold == 0) threshold = 13;
      if (pass >= 5 && pass <= 7) threshold *= pass;
    }
    if (pass > 50 && !restarted) {
      restarted = true;
      SeekFileOrRaise(static_cast<int32_t>(textStart));
      DiscardBuffer();
      number = 0;
      threshold = static_cast<uint64_t>(lineCount) + 1;
    }
    previousDirection = direction;
    jumped = false;
    if (target < number) {
      direction = Direction::Backward;
      const uint64_t distance = static_cast<uint64_t>(number - target);
      if (distance > threshold && pass < 10) {
        const int64_t from = Position();
        int64_t to = from - static_cast<int64_t>(distance * average);
        if (to < static_cast<int64_t>(textStart)) {
          to = textStart;
          direction = Direction::Forward;
        }
        SeekFileOrRaise(static_cast<int32_t>(to));
        DiscardBuffer();
        jumped = true;
      }
    } else {
      direction = Direction::Forward;
      const uint64_t distance = static_cast<uint64_t>(target - number);
      if (distance > threshold && pass < 10) {
        const uint64_t from = static_cast<uint64_t>(std::max<int32_t>(Position(), 0));
        uint64_t to = from + distance * average;
        if (to >= textEnd) {
          to = static_cast<uint64_t>(textEnd) * 2 / 3;
          if (to < textStart) to = textStart;
          direction = Direction::Backward;
        }
        SeekFileOrRaise(static_cast<int32_t>(to));
        DiscardBuffer();
        jumped = true;
      }
    }

    int64_t found = -1;
    bool readForward = direction == Direction::Forward;
    while (found < 0) {
      if (++reads > readCap) return -1;
      if (readForward) {
        const int32_t count = ReadLineForward(line, kRequestedLimit);
        if (count == -1) {
          if (restarted) return -1;
          found = static_cast<int64_t>(lineCount) + 1;
          break;
        }
        found = ParseListingLineNumber(line, count, language);
      } else {
        const int32_t count = ReadLineBackward(line, kRequestedLimit);
        if (count == -1) {
          Seek(static_cast<int32_t>(textStart));
          found = 0;
          break;
        }
        found = ParseListingLineNumber(line, count, language);
      }
    }
    if (found == target) {
      if (readForward) ReadLineBackward(line, kRequestedLimit);
      return 1;
    }
    previousNumber = number;
    number = found;
  }
}

}  // namespace zentor
