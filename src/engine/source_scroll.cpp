// Scrolling a Source window beyond the lines it holds: one line or one window up or
// down, and the start and end of the module's text. Each chooses a new read position
// (or listing anchor), rebuilds so that a chosen line lands on a chosen row, and sets
// the top row so that the view moves by the asked amount. At an end of the text the
// window stays and a warning says so.

#include <algorithm>

#include "engine/source_base.h"

#include "symbols/line_ranges.h"

namespace zentor {

namespace {

constexpr uint32_t kFileBoundary = 262;
constexpr uint32_t kNoBackwardDisassembly = 263;
constexpr uint32_t kNotLoaded = 326;
// The line above a listing's first line and that line itself, and the end element.
constexpr uint32_t kRangesAbove = 3;

}  // namespace

// Makes the held lines end at the window's bottom.
void SourceBase::ScrollToEndOfHeld() { m_pane->top = std::max(Held() - 1 - m_pane->rows, 0); }

// Counted from the source line at or above `index` (below it when none is above), the
// number one above the text's last line: the number a build read backwards from the
// end of the text starts from. 0 when no held line has a place in the text.
uint32_t SourceBase::CountLinesToTextEnd(int32_t index) {
  if (!HasLineAt(0)) return 0;
  int32_t k = std::clamp(index, 0, std::max(Held() - 2, 0));
  if (m_mode == 1) {
    const int32_t back = SkipBackOverInstructions(k, nullptr);
    k = back >= 0 ? back : SkipForwardOverInstructions(k, nullptr);
  }
  if (!HasLineAt(k) || Line(k).filePosition < 0) return 0;
  uint32_t counter = Line(k).line.RawLine();
  Seek(Line(k).filePosition);
  char text[SourceTextReader::kDestinationSize];
  while (ReadLineForward(text, SourceTextReader::kRequestedLimit) != -1) ++counter;
  return counter;
}

// The line count of the file names the last line when the text ends with a line feed;
// counting from the held lines names it either way.
uint32_t SourceBase::NumberPastTextEnd() {
  const uint32_t counted = CountLinesToTextEnd(Held() - 2);
  return counted != 0 ? counted : m_position.m_lineCount + 1;
}

// The line before the first held line of a listing anchored on line numbers; 0 when
// no line before it has code.
uint32_t SourceBase::LineAboveListing() {
  const uint16_t first = static_cast<uint16_t>(LineNumberOf(0));
  if (first == 0) return 0;
  CollectLineRangesBetweenAddresses(first, m_lineAddresses.data(), kRangesAbove);
  const OptionalLine& above = m_lineAddresses[0].m_line;
  if (above.IsEmpty() || above.RawLine() >= first) return 0;
  return above.RawLine();
}

void SourceBase::GoToTextStart() {
  if (m_disassemblyAnchor != 0) RaiseBoundary(kNotLoaded);
  Seek(static_cast<int32_t>(m_position.m_textStart));
  if (m_firstLineNumber != 0) m_firstLineNumber = 1;
  Build(0);
  RefreshMarks();
  m_pane->top = 0;
}

// The pane that numbers its lines counts them from line i to the end, so that the
// last line's number is known; the window is then built backwards from the end.
void SourceBase::GoToTextEnd(int32_t index) {
  if (m_disassemblyAnchor != 0) RaiseBoundary(kNotLoaded);
  if (m_firstLineNumber != 0) {
    const uint32_t counted = CountLinesToTextEnd(index);
    if (counted != 0) m_firstLineNumber = counted;
  }
  Seek(static_cast<int32_t>(m_position.m_textEnd));
  Build(m_lineCapacity - 1);
  RefreshMarks();
  ScrollToEndOfHeld();
}

void SourceBase::PageDown() {
  const int32_t held = Held();
  const int32_t rows = m_pane->rows;
  if (held < rows) RaiseBoundary(kFileBoundary);
  int32_t s = 0;
  if (m_disassemblyAnchor == 0) {
    const int32_t j = SkipBackOverInstructions(held - 2, nullptr);
    if (j >= 0 && static_cast<uint32_t>(Line(j).filePosition + Line(j).length) < m_position.m_textEnd - 1) {
      int32_t k = std::min(m_pane->top + rows - 1, held - 1);
      if (!HasLineAt(k)) --k;
      if (m_mode == 1) {
        s = 1;
        k = SkipBackOverInstructions(k, &s);
      }
      k = std::max(k, 0);
      Seek(Line(k).filePosition);
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(k).line.RawLine();
      Build(1);
    } else if (m_pane->top < held - 1 - rows) {
      ScrollToEndOfHeld();
      return;
    } else {
      PlaceCursorOnLocation();
      RaiseBoundary(kFileBoundary);
    }
  } else {
    const int32_t lastHeld = std::max(held - 2, 0);
    const AddressDescriptor end = Line(lastHeld).address + OrdinalValue(Line(lastHeld).codeLength);
    const uint32_t order = m_position.m_moduleEnd.Compare(end);
    if (order == kAddressEqual || order == kAddressLess) {
      ScrollToEndOfHeld();
      return;
    }
    if (!m_position.m_locationLine.IsEmpty()) {
      s = 1;
      int32_t k = std::min(m_pane->top + rows, held) - 1;
      if (!HasLineAt(k)) k = held - 2;
      k = std::max(SkipBackOverInstructions(k, &s), 0);
      if (static_cast<uint32_t>(LineNumberOf(k)) == m_position.m_lineCount) {
        ScrollToEndOfHeld();
        return;
      }
      m_disassemblyAnchor = static_cast<uint32_t>(std::max(LineNumberOf(k), 1));
      Build(1);
    } else {
      const int32_t k = std::min(m_pane->top + rows - 1, held - 2);
      m_position.m_location = Line(std::max(k, 0)).address;
      Build(0);
    }
  }
  RefreshMarks();
  m_pane->top = s;
}

// Source text: the line at the top row (in mixed mode its source line) is read again
// and the lines above it are read backwards, so that it lands on the last row. A
// listing anchored on line numbers is built backwards to the line above its first
// line; nothing above it builds the listing from that first line again.
void SourceBase::PageUp() {
  const int32_t rows = m_pane->rows;
  int32_t s = 0;
  int32_t row;
  if (m_disassemblyAnchor == 0) {
    if (HasLineAt(0) && static_cast<uint32_t>(Line(0).filePosition) == m_position.m_textStart) {
      if (m_pane->top != 0) {
        m_pane->top = 0;
        return;
      }
      RaiseBoundary(kFileBoundary);
    }
    int32_t k = m_pane->top;
    if (m_mode == 1) {
      k = SkipForwardOverInstructions(k, &s);
      if (!HasLineAt(k)) {
        s = 0;
        k = std::min(m_pane->top - 1, Held() - 2);
        while (k > 0 && IsInstruction(k)) --k;
      }
    }
    if (!HasLineAt(k) || k > Held() - 2) {
      if (m_firstLineNumber != 0) m_firstLineNumber = NumberPastTextEnd();
      Seek(static_cast<int32_t>(m_position.m_textEnd));
    } else {
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(k).line.RawLine();
      Seek(Line(k).filePosition);
    }
    row = Build(m_lineCapacity - 1);
  } else {
    if (m_position.m_locationLine.IsEmpty()) {
      if (m_pane->top > 0) {
        m_pane->top = 0;
        return;
      }
      RaiseBoundary(kNoBackwardDisassembly);
    }
    // A listing is built backwards only up to its anchor's lines: the anchor is the
    // line of the row above the top, and above the first held line the line before it.
    const int32_t top = std::min(m_pane->top, Held() - 1);
    const uint32_t above = top > 0 ? static_cast<uint32_t>(LineNumberOf(top - 1)) : LineAboveListing();
    if (above == 0) {
      m_disassemblyAnchor = static_cast<uint32_t>(std::max(LineNumberOf(0), 1));
      Build(1);
      RefreshMarks();
      m_pane->top = 0;
      return;
    }
    m_disassemblyAnchor = above;
    SkipForwardOverInstructions(top, &s);
    row = Build(m_lineCapacity - 1);
  }
  if (row > rows) {
    m_pane->top = std::max(row - (rows + s), 0);
  } else if (row < rows) {
    // The text above did not fill a window: build the start of the text instead.
    m_lineCapacity = rows + 2;
    if (HasLineAt(0)) m_position.m_locationLine = OptionalLine(Line(0).line.RawLine(), m_position.m_locationLine);
    if (m_disassemblyAnchor == 0) Seek(static_cast<int32_t>(m_position.m_textStart));
    if (m_firstLineNumber != 0) m_firstLineNumber = 1;
    Build(0);
    ResetLineCapacity();
    m_pane->top = 0;
  } else {
    m_pane->top = 0;
  }
  RefreshMarks();
}

// At the end of the text the last held line stays on the last row.
void SourceBase::ScrollDownOneLine(int32_t /*unused*/) {
  const int32_t held = Held();
  const int32_t rows = m_pane->rows;
  if (held <= rows) RaiseBoundary(kFileBoundary);
  // The top row of a view that reaches past the held lines is taken as the last line.
  const int32_t top = std::min(m_pane->top, held - 2);
  if (m_disassemblyAnchor == 0) {
    const int32_t j = SkipBackOverInstructions(held - 2, nullptr);
    const bool more = j >= 0 && (static_cast<uint32_t>(Line(j).filePosition + Line(j).length) < m_position.m_textEnd - 1 ||
                                 static_cast<uint32_t>(LineNumberOf(j)) != m_position.m_lineCount);
    if (!more) {
      ScrollToEndOfHeld();
      PlaceCursorOnLocation();
      RaiseBoundary(kFileBoundary);
    }
    int32_t s = 0;
    int32_t k = top;
    if (m_mode == 1) k = SkipBackOverInstructions(k, &s);
    k = std::max(k, 0);
    Seek(Line(k).filePosition);
    if (m_firstLineNumber != 0) m_firstLineNumber = Line(k).line.RawLine();
    Build(1);
    m_pane->top = s + 2;
    if (m_pane->top + rows > Held() - 1) ScrollToEndOfHeld();
  } else {
    const int32_t lastHeld = std::max(held - 2, 0);
    const AddressDescriptor end = Line(lastHeld).address + OrdinalValue(Line(lastHeld).codeLength);
    const uint32_t order = m_position.m_moduleEnd.Compare(end);
    if (order == kAddressEqual || order == kAddressLess) {
      PlaceCursorOnLocation();
      RaiseBoundary(kFileBoundary);
    }
    if (!m_position.m_locationLine.IsEmpty()) {
      int32_t s = 0;
      const int32_t k = std::max(SkipBackOverInstructions(top, &s), 0);
      if (static_cast<uint32_t>(LineNumberOf(k)) == m_position.m_lineCount) {
        PlaceCursorOnLocation();
        RaiseBoundary(kFileBoundary);
      }
      m_disassemblyAnchor = static_cast<uint32_t>(std::max(LineNumberOf(k), 1));
      Build(1);
      m_pane->top = s + 1;
    } else {
      m_position.m_location = Line(std::max(held - rows, 0)).address;
      Build(0);
      m_pane->top = 1;
    }
  }
  RefreshMarks();
}

// 1. Source text: the rebuild is anchored on the line at row n of the window (in
//    mixed mode its source line below), or, while the pane holds no partial window
//    above its top (its first and last words equal), on the first held line. The
//    anchor lands on the row the build returns; the old top line then goes one row
//    below the new top.
// 2. A listing anchored on line numbers is built again from the line above its first
//    line; the old top line goes one row below the new top.
void SourceBase::ScrollUpOneLine(int32_t anchorRow) {
  const int32_t rows = m_pane->rows;
  const int32_t oldTop = m_pane->top;
  if (m_disassemblyAnchor != 0) {
    ScrollListingUpOneLine();
    return;
  }
  if (HasLineAt(0) && static_cast<uint32_t>(Line(0).filePosition) == m_position.m_textStart) {
    if (oldTop != 0) {
      m_pane->top = 0;
      return;
    }
    RaiseBoundary(kFileBoundary);
  }
  const int32_t n = std::clamp(anchorRow, 0, std::max(rows - 1, 0));
  int32_t s = 0;
  const int32_t k = oldTop + n;
  if (m_mode == 1) SkipForwardOverInstructions(k, &s);
  int32_t anchor = k + s;
  if (!HasLineAt(anchor) || anchor > Held() - 2) {
    // The end of the text stands where the line after the last held line stood.
    anchor = Held() - 1;
    if (m_firstLineNumber != 0) m_firstLineNumber = NumberPastTextEnd();
    Seek(static_cast<int32_t>(m_position.m_textEnd));
  } else {
    if (m_pane->first == m_pane->last) anchor = 0;
    if (m_firstLineNumber != 0) m_firstLineNumber = Line(anchor).line.RawLine();
    Seek(Line(anchor).filePosition);
  }
  // Rows from the anchor line down to the old top line (negative: the top is above).
  const int32_t below = oldTop - anchor;
  const int32_t p = m_lineCapacity - (rows - (n - 1)) - std::max(below + n + s, 0);
  const int32_t r = Build(std::max(p, 1));
  m_pane->top = std::clamp(r + below - 1, 0, std::max(Held() - 2, 0));
  RefreshMarks();
}

void SourceBase::ScrollListingUpOneLine() {
  if (m_position.m_locationLine.IsEmpty()) RaiseBoundary(kNoBackwardDisassembly);
  const uint32_t above = LineAboveListing();
  if (above == 0) {
    m_pane->top = 0;
    m_pane->first = 0;
    RaiseBoundary(kFileBoundary);
  }
  const int32_t oldTop = m_pane->top;
  const uint16_t first = static_cast<uint16_t>(LineNumberOf(0));
  m_disassemblyAnchor = above;
  BuildListingFromAnchor();
  int32_t shifted = 0;
  while (HasLineAt(shifted) && LineNumberOf(shifted) != first) ++shifted;
  if (!HasLineAt(shifted)) shifted = 0;
  m_pane->top = std::max(shifted + oldTop - 1, 0);
  RefreshMarks();
}

}  // namespace zentor
