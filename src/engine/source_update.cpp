// Bringing a Source window up to date after the engine changed something (a stop, a
// step, a frame selection, a breakpoint change, a new program) with the least work:
// leave the lines, move the view, rebuild around the location or at its line, or
// reload the file. Also the rebuild from the top line and the go-to-line command.

#include <algorithm>

#include "engine/source_base.h"

#include "symbols/loader_library.h"
#include "symbols/source_files.h"
#include "symbols/symbol_context.h"

#include "console/file_channel.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"

namespace zentor {

namespace {

constexpr uint32_t kNoProgram = 324;
constexpr uint8_t kFormFeed = 0x0C;
constexpr uint16_t kLanguageKeepsTextStart = 3;
constexpr uint16_t kLanguageAlwaysListing = 5;

enum UpdateKind : int32_t {
  kUpdateNone = 1,
  kUpdateReposition = 2,
  kUpdateRebuildAround = 3,
  kUpdateRebuildAtLine = 4,
  kUpdateReload = 5,
};

}  // namespace

// 1. No program: 324.
// 2. The position of the current viewpoint and the line count of its file.
// 3. The kind of work: a marked change record or the forced reload (0x2a) reload the
//    file; otherwise the location decides.
// 4. The marks, and the current row on the location.
void SourceBase::Update(int32_t code) {
  if (SymbolTableLoaded() == 0) throw DVError(kNoProgram, kSeverityWarning, kDisplayStatusLine);
  FillPosition();
  const int32_t lineCount = SourceFileLineCount(m_position.m_locationLine);
  if (lineCount != 0) m_position.m_lineCount = static_cast<uint32_t>(lineCount);
  int32_t kind;
  if (m_changeRecord && m_changeRecord->TestAndClearChanged() != 0) {
    Reset();
    ClassifyUpdate();
    kind = kUpdateReload;
  } else {
    kind = ClassifyUpdate();
  }
  if (code == kPaneReload) kind = kUpdateReload;
  switch (kind) {
    case kUpdateNone:
      break;
    case kUpdateReposition:
      RepositionOnLocation();
      break;
    case kUpdateRebuildAround:
      RebuildAroundLocation();
      break;
    case kUpdateRebuildAtLine:
      RebuildAtLocationLine();
      break;
    case kUpdateReload:
      LoadFile();
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  if (m_pane != nullptr && HasLineAt(0)) {
    RefreshMarks();
    if (m_pane->row != -1) PlaceCursorOnLocation();
  }
}

// The location's line against the lines built: a change of file (the location line's
// file is its valid word) or of address kind reloads; a visible location changes
// nothing; otherwise the view moves or the lines are rebuilt.
int32_t SourceBase::ClassifyUpdate() {
  const AddressDescriptor old = m_lastLocation;
  m_lastLocation = m_position.m_location;
  if (m_pane == nullptr || m_pane->row == -1) return kUpdateNone;
  if (!m_position.m_locationLine.SameValidity(m_lastLocationLine) || old.IsNull() || m_lastLocation.IsNull() ||
      m_lastLocation.IsIncomparable(old) != 0) {
    m_lastLocationLine = m_position.m_locationLine;
    return kUpdateReload;
  }
  // A location without a line keeps the listing at its first line: an anchor of 0
  // would mean source text, which a listing has none of.
  if (m_disassemblyAnchor != 0) m_disassemblyAnchor = std::max<uint32_t>(m_position.m_locationLine.RawLine(), 1);
  const int32_t held = Held();
  const uint32_t location = m_position.m_locationLine.RawLine();
  int32_t i = 0;
  bool matched = false;
  for (; i < held - 1 && HasLineAt(i); ++i) {
    if (!LocationIn(i) || Line(i).line.RawLine() > location) continue;
    if (m_mode == 0 && m_disassemblyAnchor == 0 && Line(i).line != m_position.m_locationLine) continue;
    if (m_mode == 1) {
      if (HasLineAt(i + 1) && Line(i + 1).address.Compare(Line(i).address) == kAddressEqual) ++i;
      while (HasLineAt(i) && Line(i).address.Compare(m_lastLocation) != kAddressEqual) ++i;
    }
    matched = true;
    break;
  }
  if (!matched) i = held - 1;
  if (i >= held - 2) return kUpdateRebuildAtLine;
  if (i >= m_pane->top && i < m_pane->top + m_pane->rows) return kUpdateNone;
  if (held < m_lineCapacity) return kUpdateReposition;
  if (i < Third() || i >= held - 2 - m_pane->rows) {
    return m_disassemblyAnchor == 0 ? kUpdateRebuildAround : kUpdateRebuildAtLine;
  }
  return kUpdateReposition;
}

void SourceBase::PlaceCursorOnLocation() {
  if (m_pane == nullptr) return;
  for (int32_t i = std::max(m_pane->top, 0); i < Held() - 1 && HasLineAt(i); ++i) {
    if (m_mode == 1 && !IsInstruction(i)) continue;
    if (LocationIn(i)) {
      m_pane->row = i - m_pane->top;
      return;
    }
  }
}

void SourceBase::RepositionOnLocation() {
  int32_t i = -1;
  for (int32_t k = 0; k < Held() - 1 && HasLineAt(k); ++k) {
    if (m_mode == 1 && !IsInstruction(k)) continue;
    if (LocationIn(k)) {
      i = k;
      break;
    }
  }
  if (i == -1) RebuildAtLocationLine();
  m_pane->top = i < Third() ? 0 : i - Third();
  if (Held() < m_pane->top + m_pane->rows) m_pane->top = std::max(Held() - 1 - m_pane->rows, 0);
}

void SourceBase::RebuildAroundLocation() {
  int32_t p = 0;
  if (m_disassemblyAnchor == 0) {
    int32_t i = 0;
    while (i < Held() - 1 && HasLineAt(i) && !LocationIn(i)) ++i;
    while (i > 0 && (!HasLineAt(i) || Line(i).filePosition < 0)) --i;
    if (HasLineAt(i) && Line(i).filePosition >= 0) {
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(i).line.RawLine();
      Seek(Line(i).filePosition);
    }
    p = Third();
  }
  Build(p);
  m_pane->top = 0;
}

// The read position moves from the first built line with text (or the text's start)
// to the location's line by line number; a listing that carries its own numbers
// names the first line's number in its text.
void SourceBase::RebuildAtLocationLine() {
  int32_t p = 0;
  const int32_t location = m_position.m_locationLine.RawLine();
  // Nothing built means no source text is attached to read from: a listing.
  if (m_disassemblyAnchor != 0 || !HasLineAt(0)) {
    m_disassemblyAnchor = static_cast<uint32_t>(std::max(location, 1));
  } else {
    int32_t i = 0;
    while (HasLineAt(i) && Line(i).filePosition < 0) ++i;
    int32_t from = 0;
    if (HasLineAt(i)) {
      Seek(Line(i).filePosition);
      from = Line(i).line.IsEmpty()
                 ? ParseListingLineNumber(Line(i).text, Line(i).length, m_position.m_language)
                 : Line(i).line.RawLine();
    }
    if (from < 0 || !HasLineAt(i)) {
      Seek(static_cast<int32_t>(m_position.m_textStart));
      from = m_firstLineNumber != 0 ? 1 : 0;
    }
    if (m_firstLineNumber != 0) m_firstLineNumber = static_cast<uint32_t>(std::max(location, 1));
    if (MoveToLine(location, from) == 1) {
      p = m_firstLineNumber != 0 ? Third() : 0;
    } else {
      Seek(static_cast<int32_t>(m_position.m_textStart));
    }
  }
  Build(p);
  m_pane->top = 0;
}

// 1. Nothing built, no disassembly anchor, no first line number.
// 2. The location's source file along the search path, through the open-file cache;
//    a file that cannot be found or opened shows a disassembly listing instead.
// 3. With source text: the text region (the file's size when the module names
//    none), whether the text numbers its own lines (a form feed first), and the read
//    position on the location's line so that it lands a third down the window, lower
//    near the end of the file.
// 4. The build, the view in mixed mode on the exact instruction, the stepping
//    granularity and the pane's total.
void SourceBase::LoadFile() {
  if (m_pane != nullptr) {
    m_pane->count = 0;
    m_pane->total = 0;
  }
  m_reader.DiscardBuffer();
  m_disassemblyAnchor = 0;
  m_firstLineNumber = 0;
  m_fileDescriptor = -1;
  // A forced reload compares the next location with this one's line as well.
  m_lastLocationLine = m_position.m_locationLine;
  m_lastLocation = m_position.m_location;
  const OptionalLine& location = m_position.m_locationLine;
  if (!location.IsEmpty()) {
    const RWCString name = ResolveSourceFileName(SourceFileRef(location.RawLine(), location.RawValid()));
    if (!name.isNull()) m_fileDescriptor = m_files.Open(name);
    if (m_fileDescriptor == -1) m_disassemblyAnchor = std::max<uint32_t>(location.RawLine(), 1);
  } else {
    m_disassemblyAnchor = 1;
  }
  ResetLineCapacity();
  m_reader.Attach(m_disassemblyAnchor == 0 ? m_fileDescriptor : -1);
  int32_t p = 0;
  if (m_disassemblyAnchor == 0) {
    if (m_position.m_textEnd == 0) {
      const int32_t size = FileChannel::Seek(m_fileDescriptor, 2, 0);
      m_position.m_textEnd = size < 0 ? 0 : static_cast<uint32_t>(size);
      if (m_position.m_language != kLanguageKeepsTextStart) m_position.m_textStart = 0;
      SaveModuleViewPosition(m_position.m_textStart, m_position.m_textEnd);
    }
    DetectLineNumbering();
    if (m_position.m_language == kLanguageAlwaysListing) m_disassemblyAnchor = 1;
  }
  if (m_disassemblyAnchor == 0) {
    Seek(static_cast<int32_t>(m_position.m_textStart));
    if (!location.IsEmpty()) {
      const uint32_t line = location.RawLine();
      const uint32_t rows = static_cast<uint32_t>(std::max(m_pane->rows, 0));
      uint32_t third = rows / 3;
      if (m_position.m_lineCount - line + third < rows) {
        third = rows - (m_position.m_lineCount - line);
        if (third == rows) third -= 2;
        if (third == line) third = line - 1;
      }
      p = static_cast<int32_t>(third);
      if (MoveToLine(static_cast<int32_t>(line), 1) != 1) {
        p = 0;
        Seek(static_cast<int32_t>(m_position.m_textStart));
      }
    }
  }
  Build(p);
  m_pane->top = 0;
  if (m_mode == 1) {
    int32_t exact = -1;
    int32_t holding = -1;
    for (int32_t i = 0; i < Held() - 1 && HasLineAt(i); ++i) {
      if (exact == -1 && Line(i).address.Compare(m_position.m_location) == kAddressEqual) exact = i;
      if (holding == -1 && LocationIn(i)) holding = i;
    }
    if (exact >= Third() && holding >= 0) {
      m_pane->top = std::max(holding - Third(), 0);
      if (exact - m_pane->top >= m_pane->rows - 1) m_pane->top = exact - Third();
    }
  }
  m_sourceStepping = (m_mode == 1 || m_disassemblyAnchor != 0) ? 0 : 1;
  if (m_disassemblyAnchor == 1) {
    m_pane->total = -1;
    m_pane->first = 1;
    m_pane->last = Held();
  } else {
    m_pane->total = static_cast<int32_t>(m_position.m_lineCount);
  }
}

// A listing built from the anchor the user chose, not from the location's line (a
// build from row 0 otherwise starts at the location).
void SourceBase::BuildListingFromAnchor() {
  m_listingFromAnchor = true;
  try {
    Build(0);
  } catch (...) {
    m_listingFromAnchor = false;
    throw;
  }
  m_listingFromAnchor = false;
}

// A text whose first byte is a form feed carries its own line numbers; any other
// text is numbered by the pane from the location's line.
void SourceBase::DetectLineNumbering() {
  m_reader.DiscardBuffer();
  FileChannel::Seek(m_fileDescriptor, 0, 0);
  const uint8_t first = GetNextChar();
  if (first != kFormFeed) m_firstLineNumber = std::max<uint32_t>(m_position.m_locationLine.RawLine(), 1);
  m_reader.DiscardBuffer();
}

void SourceBase::RebuildFromTop(int32_t /*unused*/) {
  int32_t p = 0;
  if (m_disassemblyAnchor == 0) {
    int32_t k = m_pane->top;
    const int32_t source = m_mode == 1 ? SkipForwardOverInstructions(k, &p) : k;
    if (HasLineAt(source) && Line(source).filePosition >= 0) {
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(source).line.RawLine();
      Seek(Line(source).filePosition);
    }
  } else if (!m_position.m_locationLine.IsEmpty()) {
    if (HasLineAt(0) && m_position.m_location.Compare(Line(0).address) == kAddressEqual) {
      m_pane->top = 0;
      return;
    }
    if (HasLineAt(m_pane->top)) m_disassemblyAnchor = std::max<uint32_t>(Line(m_pane->top).line.RawLine(), 1);
    BuildListingFromAnchor();
    m_pane->top = 0;
    RefreshMarks();
    return;
  }
  Build(p);
  m_pane->top = 0;
  RefreshMarks();
}

// 1. In a listing the anchor moves to the line.
// 2. Line 0 or 1: the start of the text.
// 3. Above or below the built lines: read there from the nearest built line;
//    inside them: seek to the line.
// 4. The line lands on row 3.
void SourceBase::GoToLineNumber(int32_t* lineArgument) {
  int32_t n = *lineArgument;
  if (m_disassemblyAnchor != 0) {
    m_disassemblyAnchor = static_cast<uint32_t>(std::max(n, 1));
    BuildListingFromAnchor();
    m_pane->top = 0;
    RefreshMarks();
    return;
  }
  int32_t p = 3;
  int32_t reached = n;
  char text[SourceTextReader::kDestinationSize];
  const int32_t last = Held() - 2;
  if (n <= 1 || !HasLineAt(0)) {
    n = std::max(n, 1);
    if (*lineArgument <= 1) *lineArgument = 1;
    Seek(static_cast<int32_t>(m_position.m_textStart));
    reached = 1;
    p = 0;
    if (n > 1) {
      MoveToLine(n, 1);
      reached = n;
      p = 3;
    }
  } else {
    int32_t first = 0;
    while (HasLineAt(first) && Line(first).filePosition < 0) ++first;
    const int32_t firstNumber = HasLineAt(first) ? Line(first).line.RawLine() : 1;
    int32_t lastSource = last;
    while (lastSource > 0 && Line(lastSource).filePosition < 0) --lastSource;
    const int32_t lastNumber = lastSource >= 0 && HasLineAt(lastSource) ? Line(lastSource).line.RawLine() : firstNumber;
    if (n < firstNumber) {
      Seek(Line(first).filePosition);
      reached = firstNumber;
      while (reached > n && ReadLineBackward(text, SourceTextReader::kRequestedLimit) != -1) --reached;
    } else if (n > lastNumber) {
      Seek(Line(lastSource).filePosition);
      reached = lastNumber;
      while (reached < n) {
        if (ReadLineForward(text, SourceTextReader::kRequestedLimit) == -1) {
          --reached;
          ReadLineBackward(text, SourceTextReader::kRequestedLimit);
          break;
        }
        ++reached;
      }
    } else {
      int32_t k = last;
      while (k > 0 && !(Line(k).filePosition >= 0 && Line(k).line.RawLine() == n)) --k;
      Seek(Line(k).filePosition);
      reached = Line(k).line.RawLine();
    }
  }
  if (m_firstLineNumber != 0) m_firstLineNumber = static_cast<uint32_t>(std::max(reached, 1));
  const int32_t row = Build(p);
  m_pane->top = p == 0 ? 0 : std::min(p, row);
  RefreshMarks();
}

}  // namespace zentor
