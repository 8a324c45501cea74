#include "console/panel.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "console/output_writer.h"
#include "core/base_manager.h"
#include "core/dv_error.h"

namespace zentor {

namespace {

// A line as the panel keeps it: the pane's line record first, so the pane reads the
// panel's lines directly, then what owns its text and its layout.
struct PanelLine : PaneLine {
  std::unique_ptr<char[]> storage;
  FieldLayout ownLayout;
  std::size_t poolIndex = 0;
};

struct PanelRecord {
  uint32_t tag = Panel::kTag;
  uint32_t mode = 0;
  // The panel's lines in no order; freeing the panel (or refilling it) drops them all.
  std::vector<std::unique_ptr<PanelLine>> pool;
  // The line array the pane shares: `lineCount` lines, then free slots.
  std::vector<PaneLine*> slots;
  int32_t lineCount = 0;
  int32_t endPosition = 0;
  int32_t lineFill = -1;
  int32_t buildingIndex = 0;
  int32_t insertIndex = -1;
  int32_t spareSlots = 0;
  uint32_t attribute = 0;
  char** headings = nullptr;
  uintptr_t lineData = 0;
};

// The layout of a line finished without one of its own.
FieldLayout g_defaultLayout;

// Every live panel by handle, and the capture in progress. Handles are never reused,
// so the handle of a destroyed panel stays refused.
struct PanelLibrary {
  std::map<PanelHandle, std::unique_ptr<PanelRecord>> panels;
  PanelHandle nextHandle = 0x100;
  PanelRecord* capturing = nullptr;
  char buffer[Panel::kLineBufferSize] = {};
};

PanelLibrary& Library() {
  static PanelLibrary library;
  return library;
}

constexpr DVErrorCode BadHandle() { return DVErrorCode(kPanelBadHandle, kSeverityInternal); }
constexpr DVErrorCode BadLine() { return DVErrorCode(kPanelBadLine, kSeverityInternal); }

PanelRecord* Find(PanelHandle handle) {
  if (handle == 0) return nullptr;
  auto found = Library().panels.find(handle);
  if (found == Library().panels.end() || found->second->tag != Panel::kTag) return nullptr;
  return found->second.get();
}

void FreeLine(PanelRecord& panel, PaneLine* line) {
  auto* owned = static_cast<PanelLine*>(line);
  const std::size_t index = owned->poolIndex;
  if (index != panel.pool.size() - 1) {
    std::swap(panel.pool[index], panel.pool.back());
    panel.pool[index]->poolIndex = index;
  }
  panel.pool.pop_back();
}

void DropAllLines(PanelRecord& panel) {
  panel.pool.clear();
  panel.slots.clear();
  panel.lineCount = 0;
  panel.spareSlots = 0;
  panel.lineFill = -1;
}

// Starts a new empty line at the insert index (or the end) and makes it the line
// being built. The array grows by 50 slots whenever the count reaches a multiple of
// 50, and always keeps one slot beyond the last line.
PanelLine& StartLine(PanelRecord& panel, int32_t insertAt) {
  if (panel.lineCount % Panel::kGrowth == 0 ||
      static_cast<int32_t>(panel.slots.size()) <= panel.lineCount + 1) {
    panel.slots.resize(static_cast<std::size_t>(panel.lineCount) + Panel::kGrowth + 1, nullptr);
    panel.spareSlots = Panel::kGrowth;
  }
  auto line = std::make_unique<PanelLine>();
  line->fields = &line->ownLayout;
  line->poolIndex = panel.pool.size();
  PanelLine& created = *line;
  panel.pool.push_back(std::move(line));
  --panel.spareSlots;
  int32_t index = panel.lineCount;
  if (insertAt >= 0 && insertAt < panel.lineCount) {
    std::copy_backward(panel.slots.begin() + insertAt, panel.slots.begin() + panel.lineCount,
                       panel.slots.begin() + panel.lineCount + 1);
    index = insertAt;
  }
  panel.slots[static_cast<std::size_t>(index)] = &created;
  panel.buildingIndex = index;
  ++panel.lineCount;
  panel.lineFill = 0;
  return created;
}

// Gives a line its text (a NUL-terminated copy of `length` characters, with room for
// `capacity`), the panel's attribute and line data, and a layout.
void FillLine(PanelRecord& panel, PanelLine& line, const char* chars, int32_t length, int32_t capacity) {
  capacity = std::max(capacity, length);
  line.storage = std::make_unique<char[]>(static_cast<std::size_t>(capacity) + 1);
  if (length > 0) std::memcpy(line.storage.get(), chars, static_cast<std::size_t>(length));
  line.storage[static_cast<std::size_t>(length)] = '\0';
  line.text = line.storage.get();
  line.length = length;
  line.capacity = capacity;
  line.attr = panel.attribute;
  line.lineData = panel.lineData;
  if (line.fields == nullptr) line.fields = &g_defaultLayout;
}

void FinishCapturedLine(PanelRecord& panel) {
  auto* line = static_cast<PanelLine*>(panel.slots[static_cast<std::size_t>(panel.buildingIndex)]);
  FillLine(panel, *line, Library().buffer, panel.lineFill, panel.lineFill);
  panel.lineFill = -1;
}

void StartCapturedLine(PanelRecord& panel) {
  StartLine(panel, panel.insertIndex);
  if (panel.insertIndex != -1) ++panel.insertIndex;
}

// One character of the program's output into the panel being captured.
void CaptureCharacter(PanelRecord& panel, char ch) {
  if (ch == '\a' || ch == '\r') return;
  if (panel.lineFill < 0) StartCapturedLine(panel);
  if (ch == '\n') {
    FinishCapturedLine(panel);
    return;
  }
  if (panel.lineFill == Panel::kLineBufferSize) {
    FinishCapturedLine(panel);
    StartCapturedLine(panel);
  }
  Library().buffer[panel.lineFill++] = ch;
}

// The output hook of a capture: a run of the program's output, taken a character at a
// time without a call through the hook for each.
void CaptureRun(std::string_view run) {
  PanelRecord* panel = Library().capturing;
  if (panel == nullptr) return;
  for (const char ch : run) CaptureCharacter(*panel, ch);
}

// Ends the capture on every way out of the producer, so the output writer is never
// left hooked and the next capture is not taken for a nested one.
class CaptureScope {
 public:
  explicit CaptureScope(PanelRecord& panel) : m_panel(panel) {
    Library().capturing = &panel;
    OutputWriter::InstallTextHook(CaptureRun);
  }
  CaptureScope(const CaptureScope&) = delete;
  CaptureScope& operator=(const CaptureScope&) = delete;
  ~CaptureScope() {
    OutputWriter::RemoveHook();
    if (m_panel.lineFill >= 0) FinishCapturedLine(m_panel);
    if (m_panel.mode == 0) m_panel.endPosition = m_panel.lineCount;
    Library().capturing = nullptr;
  }

 private:
  PanelRecord& m_panel;
};

}  // namespace

DVErrorCode Panel::Create(PanelHandle* handle, uint32_t mode) {
  auto panel = std::make_unique<PanelRecord>();
  panel->mode = mode;
  PanelLibrary& library = Library();
  const PanelHandle created = library.nextHandle++;
  library.panels.emplace(created, std::move(panel));
  if (handle != nullptr) *handle = created;
  return DVErrorCode();
}

DVErrorCode Panel::Destroy(PanelHandle handle) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (Library().capturing == panel) RaiseInternalError(__FILE__, __LINE__);
  panel->tag = kDestroyedTag;
  Library().panels.erase(handle);
  return DVErrorCode();
}

DVErrorCode Panel::Clear(PanelHandle handle) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  DropAllLines(*panel);
  panel->buildingIndex = 0;
  panel->attribute = 0;
  panel->lineData = 0;
  panel->insertIndex = -1;
  if (panel->mode == 0) panel->endPosition = 0;
  return DVErrorCode();
}

DVErrorCode Panel::DeleteLines(PanelHandle handle, int32_t first, int32_t count) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (first < 0) return BadLine();
  count = std::min(count, panel->lineCount - first);
  if (count <= 0) return DVErrorCode();
  for (int32_t i = first; i < first + count; ++i) FreeLine(*panel, panel->slots[static_cast<std::size_t>(i)]);
  auto begin = panel->slots.begin();
  std::copy(begin + first + count, begin + panel->lineCount, begin + first);
  std::fill(begin + panel->lineCount - count, begin + panel->lineCount, nullptr);
  panel->lineCount -= count;
  panel->spareSlots += count;
  if (panel->mode == 0) panel->endPosition = std::max(panel->endPosition - count, 0);
  if (panel->lineFill >= 0) {
    // The line being built went with the others, or moved down with the rest.
    if (panel->buildingIndex >= first + count) {
      panel->buildingIndex -= count;
    } else if (panel->buildingIndex >= first) {
      panel->lineFill = -1;
    }
  }
  if (panel->spareSlots > kGrowth) {
    panel->slots.resize(static_cast<std::size_t>(panel->lineCount) + kGrowth + 1);
    panel->spareSlots = kGrowth;
  }
  return DVErrorCode();
}

DVErrorCode Panel::GetLineCount(PanelHandle handle, int32_t* count) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (count != nullptr) *count = panel->lineCount;
  return DVErrorCode();
}

DVErrorCode Panel::SetLineText(PanelHandle handle, int32_t line, const char* text, int32_t capacity) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (line < 0 || line >= panel->lineCount) return BadLine();
  auto* target = static_cast<PanelLine*>(panel->slots[static_cast<std::size_t>(line)]);
  if (text == nullptr) text = "";
  const auto length = static_cast<int32_t>(std::strlen(text));
  if (capacity >= 0) {
    capacity = std::max(capacity, length);
    target->storage = std::make_unique<char[]>(static_cast<std::size_t>(capacity) + 1);
    target->capacity = capacity;
  } else if (target->storage == nullptr || target->capacity < length) {
    target->storage = std::make_unique<char[]>(static_cast<std::size_t>(length) + 2);
    target->capacity = length + 1;
  }
  std::memcpy(target->storage.get(), text, static_cast<std::size_t>(length) + 1);
  target->text = target->storage.get();
  target->length = length;
  return DVErrorCode();
}

DVErrorCode Panel::SetLineData(PanelHandle handle, uintptr_t word) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  panel->lineData = word;
  return DVErrorCode();
}

DVErrorCode Panel::GetInfo(PanelHandle handle, TextPane* pane) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (pane == nullptr) return DVErrorCode();
  pane->count = panel->lineCount;
  if (panel->mode == 0) pane->total = panel->endPosition;
  pane->lines = panel->slots.empty() ? nullptr : panel->slots.data();
  pane->headers = panel->headings;
  return DVErrorCode();
}

DVErrorCode Panel::CaptureOutput(PanelHandle handle, BaseManager* producer, intptr_t argument) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (Library().capturing != nullptr) RaiseInternalError(__FILE__, __LINE__);
  DropAllLines(*panel);
  panel->insertIndex = -1;
  panel->buildingIndex = 0;
  CaptureScope capture(*panel);
  return producer != nullptr ? producer->WriteContent(argument) : DVErrorCode();
}

DVErrorCode Panel::InsertText(PanelHandle handle, int32_t line, const char* text, int32_t length) {
  PanelRecord* panel = Find(handle);
  if (panel == nullptr) return BadHandle();
  if (line < 0 || line > panel->lineCount || length < 0) return BadLine();
  const int32_t wasFill = panel->lineFill;
  const int32_t wasBuilding = panel->buildingIndex;
  const char* end = text != nullptr ? static_cast<const char*>(std::memchr(text, '\0', static_cast<std::size_t>(length)))
                                    : nullptr;
  const int32_t used = text == nullptr ? 0 : end != nullptr ? static_cast<int32_t>(end - text) : length;
  PanelLine& created = StartLine(*panel, line);
  FillLine(*panel, created, text, used, length);
  // A line inserted while another is being built leaves that one being built.
  panel->lineFill = wasFill;
  panel->buildingIndex = wasBuilding >= line && wasFill >= 0 ? wasBuilding + 1 : wasBuilding;
  if (panel->mode == 0) panel->endPosition = panel->lineCount;
  return DVErrorCode();
}

}  // namespace zentor
