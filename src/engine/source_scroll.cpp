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

}  // namespace

// Makes the held lines end at the window's bottom.
void SourceBase::ScrollToEndOfHeld() { m_pane->top = std::max(Held() - 1 - m_pane->rows, 0); }

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
  if (m_firstLineNumber != 0 && HasLineAt(0)) {
    int32_t k = std::clamp(index, 0, std::max(Held() - 2, 0));
    if (m_mode == 1) {
      const int32_t back = SkipBackOverInstructions(k, nullptr);
      k = back >= 0 ? back : SkipForwardOverInstructions(k, nullptr);
    }
    if (HasLineAt(k) && Line(k).filePosition >= 0) {
      uint32_t counter = Line(k).line.RawLine();
      Seek(Line(k).filePosition);
      char text[SourceTextReader::kDestinationSize];
      while (ReadLineForward(text, SourceTextReader::kRequestedLimit) != -1) ++counter;
      m_firstLineNumber = counter;
    }
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
      const int32_t k = std::max(SkipBackOverInstructions(std::min(m_pane->top + rows, held) - 1, &s), 0);
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
        k = m_pane->top - 1;
        while (k > 0 && IsInstruction(k)) --k;
      }
    }
    if (!HasLineAt(k) || k > Held() - 2) {
      k = Held() - 2;
      Seek(static_cast<int32_t>(m_position.m_textEnd));
      if (m_firstLineNumber != 0) m_firstLineNumber = m_position.m_lineCount;
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
    const uint16_t firstHeld = static_cast<uint16_t>(std::max(LineNumberOf(0), 1));
    if (firstHeld <= 1) {
      if (m_pane->top != 0) {
        m_pane->top = 0;
        return;
      }
      RaiseBoundary(kFileBoundary);
    }
    m_disassemblyAnchor = firstHeld;
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
    if (m_disassemblyAnchor != 0) m_disassemblyAnchor = 1;
    Build(0);
    ResetLineCapacity();
    m_pane->top = 0;
  } else {
    m_pane->top = 0;
  }
  RefreshMarks();
}

void SourceBase::ScrollDownOneLine(int32_t /*unused*/) {
  const int32_t held = Held();
  const int32_t rows = m_pane->rows;
  if (held <= rows) RaiseBoundary(kFileBoundary);
  if (m_disassemblyAnchor == 0) {
    const int32_t j = SkipBackOverInstructions(held - 2, nullptr);
    const bool more = j >= 0 && (static_cast<uint32_t>(Line(j).filePosition + Line(j).length) < m_position.m_textEnd - 1 ||
                                 static_cast<uint32_t>(LineNumberOf(j)) != m_position.m_lineCount);
    if (!more || j < 0) {
      m_pane->top = std::max(held - (rows - 1), 0);
      PlaceCursorOnLocation();
      RaiseBoundary(kFileBoundary);
    }
    int32_t s = 0;
    int32_t k = std::min(m_pane->top, held - 1);
    if (m_mode == 1) k = SkipBackOverInstructions(k, &s);
    k = std::max(k, 0);
    Seek(Line(k).filePosition);
    if (m_firstLineNumber != 0) m_firstLineNumber = Line(k).line.RawLine();
    Build(1);
    m_pane->top = s + 2;
    if (m_pane->top + rows > Held() - 1) m_pane->top = std::max(Held() - 1 - rows, 0);
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
      const int32_t k = std::max(SkipBackOverInstructions(m_pane->top, &s), 0);
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

void SourceBase::ScrollUpOneLine(int32_t anchorRow) {
  const int32_t rows = m_pane->rows;
  int32_t n = std::clamp(anchorRow, 0, std::max(rows - 1, 0));
  int32_t s = 0;
  int32_t correction = 0;
  int32_t p;
  if (m_disassemblyAnchor == 0) {
    if (HasLineAt(0) && static_cast<uint32_t>(Line(0).filePosition) == m_position.m_textStart) {
      if (m_pane->top != 0) {
        m_pane->top = 0;
        return;
      }
      RaiseBoundary(kFileBoundary);
    }
    int32_t k = m_pane->top + n;
    if (m_mode == 1) k = SkipForwardOverInstructions(k, &s) - s;
    if (!HasLineAt(k + s) || k + s > Held() - 2) {
      k = Held() - 2;
      Seek(static_cast<int32_t>(m_position.m_textEnd));
      if (m_firstLineNumber != 0) m_firstLineNumber = m_position.m_lineCount;
    } else {
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(k + s).line.RawLine();
      Seek(Line(k + s).filePosition);
    }
    p = m_lineCapacity - (rows - (n - 1));
  } else {
    if (m_position.m_locationLine.IsEmpty()) RaiseBoundary(kNoBackwardDisassembly);
    const int32_t firstHeld = std::max(LineNumberOf(0), 1);
    if (firstHeld <= 1) {
      m_pane->top = 0;
      m_pane->first = 0;
      RaiseBoundary(kFileBoundary);
    }
    m_disassemblyAnchor = static_cast<uint32_t>(firstHeld);
    correction = std::min(Held(), rows) - 1;
    n = 0;
    p = m_lineCapacity - 1;
  }
  const int32_t r = Build(p);
  if (r > rows) {
    m_pane->top = std::max(r - 1 - n - s + correction, 0);
  } else {
    m_pane->top = std::max(r - (s + n + 1), 0);
  }
  RefreshMarks();
}

}  // namespace zentor
