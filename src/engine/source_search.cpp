// The text search of a Source window: the find text, without regard to the case of
// ASCII letters, forwards or backwards from a line and column of the shown file. The
// window is rebuilt so that the found line stands a third of the way down, with the
// cursor on it.

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/source_base.h"
#include "engine/source_line_naming.h"

#include "core/hi_service.h"

namespace zentor {

namespace {

constexpr uint32_t kMatchNotFound = 230;

// Restores the status line however the search ends.
class SearchingMessage {
 public:
  SearchingMessage() { ShowStatusMessage(">>> SEARCHING <<<"); }
  ~SearchingMessage() { RestoreStatusText(); }
  SearchingMessage(const SearchingMessage&) = delete;
  SearchingMessage& operator=(const SearchingMessage&) = delete;
};

}  // namespace

// 1. The start line (in mixed mode the next source line), its number as the counter,
//    the find text upper-cased (at most 160 characters), the reader on the line.
// 2. Forward: line by line from the start line (0x26 from the column on); backward:
//    the right-most occurrence left of the column, then line by line upwards; the
//    occurrence search resumes after each whole match.
// 3. The window is rebuilt around the found line, which lands a third down.
int32_t SourceBase::FindText(int32_t code, int16_t startIndex, int32_t* column) {
  if (m_disassemblyAnchor != 0) ZENTOR_INTERNAL_ERROR();
  if (code != kPaneFind && code != kPaneFindNext && code != kPaneFindBackward) ZENTOR_INTERNAL_ERROR();
  int32_t start = startIndex;
  if (start < 0 || !HasLineAt(start)) ZENTOR_INTERNAL_ERROR();
  if (m_mode == 1) start = SkipForwardOverInstructions(start, nullptr);
  if (!HasLineAt(start)) start = SkipBackOverInstructions(startIndex, nullptr);
  if (start < 0) start = 0;
  uint32_t counter = Line(start).line.RawLine();
  const int32_t position = Line(start).filePosition < 0 ? 0 : Line(start).filePosition;

  char pattern[kFindTextSize + 1];
  const RWCString& find = SourceFindText();
  const size_t patternLength = std::min<size_t>(find.length(), kFindTextSize);
  std::memcpy(pattern, find.data(), patternLength);
  pattern[patternLength] = '\0';
  UpperCaseText(pattern);
  const std::string_view needle(pattern, std::strlen(pattern));
  if (needle.empty()) throw DVError(kMatchNotFound, kSeverityWarning, kDisplayByFocus);

  const SearchingMessage searching;
  Seek(position);
  char text[SourceTextReader::kDestinationSize];
  bool found = false;
  if (code != kPaneFindBackward) {
    bool firstLine = true;
    for (;;) {
      const int32_t count = ReadLineForward(text, SourceTextReader::kRequestedLimit);
      if (count == -1) break;
      int32_t skip = 0;
      if (code == kPaneFindNext && firstLine) skip = std::clamp(*column, 0, static_cast<int32_t>(std::strlen(text)));
      UpperCaseText(text);
      const std::string_view line(text + skip);
      const size_t at = line.find(needle);
      if (at != std::string_view::npos) {
        *column = static_cast<int32_t>(at) + skip;
        ReadLineBackward(text, SourceTextReader::kRequestedLimit);
        found = true;
        break;
      }
      firstLine = false;
      if (m_firstLineNumber != 0) ++counter;
    }
  } else {
    ReadLineForward(text, SourceTextReader::kRequestedLimit);
    int32_t count = ReadLineBackward(text, SourceTextReader::kRequestedLimit);
    bool firstLine = true;
    while (count != -1) {
      bool skipLine = false;
      if (firstLine) {
        if (*column == -1) {
          skipLine = true;
        } else {
          const size_t cut = static_cast<size_t>(std::max(*column, 0));
          if (cut < std::strlen(text)) text[cut] = '\0';
        }
      }
      if (!skipLine) {
        UpperCaseText(text);
        const std::string_view line(text);
        size_t last = std::string_view::npos;
        for (size_t at = line.find(needle); at != std::string_view::npos; at = line.find(needle, at + needle.size())) {
          last = at;
        }
        if (last != std::string_view::npos) {
          *column = static_cast<int32_t>(last);
          found = true;
          break;
        }
      }
      firstLine = false;
      count = ReadLineBackward(text, SourceTextReader::kRequestedLimit);
      if (count != -1 && m_firstLineNumber != 0) --counter;
    }
  }
  if (!found) throw DVError(kMatchNotFound, kSeverityWarning, kDisplayByFocus);
  if (m_firstLineNumber != 0) m_firstLineNumber = counter;
  const int32_t row = Build(m_pane->rows / 3);
  RefreshMarks();
  m_pane->top = 0;
  m_pane->row = row;
  DVError ignored;
  int32_t browseRow = row;
  try {
    RunPaneCommand(ignored, kPaneBrowseNearest, reinterpret_cast<intptr_t>(&browseRow));
  } catch (const DVError&) {
  }
  return row;
}

}  // namespace zentor
