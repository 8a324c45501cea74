#include "engine/source_base.h"

#include <algorithm>

#include "engine/breakpoint_table.h"
#include "engine/execution_control.h"
#include "engine/source_line_naming.h"
#include "engine/watch_table.h"

#include "command/grammar_object.h"

#include "symbols/loader_library.h"
#include "symbols/source_files.h"
#include "symbols/symbol_context.h"
#include "symbols/source_location.h"

#include "core/checked_alloc.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/typed_location.h"
#include "core/viewpoint_manager.h"

namespace zentor {

namespace {

constexpr uint32_t kNoProgram = 324;

InstalledService<SourcePaneEngine> g_engine;
RWCString g_findText;

}  // namespace

// ---- The engine's side -------------------------------------------------------------

SourcePaneEngine::~SourcePaneEngine() = default;

std::vector<SourceBreakpoint> SourcePaneEngine::CollectForCurrentViewpoint() {
  BreakpointVector records;
  BreakpointTable::Instance().CollectForCurrentViewpoint(&records);
  std::vector<SourceBreakpoint> breakpoints;
  breakpoints.reserve(records.entries());
  for (size_t i = 0; i < records.entries(); ++i) {
    const BreakpointRecord& record = records[i];
    breakpoints.push_back({record.m_address, record.m_kind, record.TypeWord(), record.EnabledWord()});
  }
  return breakpoints;
}

void SourcePaneEngine::DeleteAtAddress(const AddressDescriptor& address) {
  BreakpointTable::Instance().DeleteAtAddress(address);
}

void SourcePaneEngine::DeleteAtAddressOfType(const AddressDescriptor& address, uint32_t type) {
  BreakpointTable::Instance().DeleteAtAddressOfType(address, type);
}

void SourcePaneEngine::SetFromSourcePane(uint32_t kind, uint32_t type, const AddressDescriptor& address) {
  BreakpointTable::Instance().SetFromSourcePane(kind, type, TypedLocation(address), 0);
}

// The line's address is the only temporary break: the list starts empty.
void SourcePaneEngine::RunToAddress(const AddressDescriptor& address) {
  GoControl::Reset();
  GoControl::AddTemporaryBreak(address);
  GoControl::Go(1);
}

void SourcePaneEngine::Go(uint32_t mode) { GoControl::Go(mode); }
void SourcePaneEngine::GoNoThread(uint32_t mode) { GoControl::GoNoThread(mode); }
void SourcePaneEngine::QueryTarget() { RunControl::QueryTarget(); }
void SourcePaneEngine::QueryTargetNoThread() { RunControl::QueryTargetNoThread(); }

int32_t SourcePaneEngine::RunState() {
  return static_cast<int32_t>(ViewpointManager::RunStateOf(CurrentViewpoint()));
}

void SourcePaneEngine::Step(uint32_t granularity, uint32_t callerKind, uint32_t count, uint32_t reportFlag) {
  StepControl::Step(static_cast<uint16_t>(granularity), callerKind, count, reportFlag);
}

DVErrorCode SourcePaneEngine::AddWatch(const RWCString& text) {
  const GrammarObject expression = GrammarObject::GrammarObject_FromText(text.data(), 0);
  DVErrorCode status = expression.Status();
  if (status.IsOkay()) WatchTable::AddFromGrammarObject(&status, expression);
  return status;
}

InstalledService<SourcePaneEngine>& SourceEngine() { return g_engine; }

RWCString& SourceFindText() { return g_findText; }

// ---- Construction ------------------------------------------------------------------

SourceBase::SourceBase() : m_lineAddresses(kLineSlots) {
  m_position.m_location.MakeNull();
  m_position.m_moduleEnd.MakeNull();
  m_lastLocation.MakeNull();
  m_breakpoints.reserve(64);
}

// 1. Members, the change record of the current viewpoint (search paths, kind 10: a
//    change asks for a full reload), the pool and the arrays.
// 2. The pane shows the model's line array.
// 3. The first update; no program yet is no error.
// 4. The first update leaves `first` and `last` as line numbers; the pane's words are
//    indexes, one lower.
SourceBase::SourceBase(TextPane* pane) : SourceBase() {
  m_pane = pane;
  m_changeRecord = std::make_unique<CollectableRecord>(
      CurrentViewpoint() == ViewpointHandle::None() ? CollectableRecord(kRecordSearchPaths)
                                                    : CollectableRecord(kRecordSearchPaths, CurrentViewpoint()));
  m_pool = CheckedCreatePool();
  m_changeRecord->Register();
  m_linePool = std::make_unique<DisplayLine[]>(kLineSlots);
  m_lines = std::make_unique<DisplayLine*[]>(kLineSlots);
  m_paneLines = std::make_unique<PaneLine*[]>(kLineSlots);
  for (int32_t i = 0; i < kLineSlots; ++i) {
    m_lines[static_cast<size_t>(i)] = nullptr;
    m_paneLines[static_cast<size_t>(i)] = nullptr;
  }
  m_store = std::make_unique<SourceTextStore>(m_pool);
  if (m_pane != nullptr) {
    m_pane->total = 0;
    m_pane->lines = m_paneLines.get();
  }
  bool rethrow = false;
  DVError kept;
  try {
    Update(kPaneRefresh);
  } catch (const DVError& error) {
    if (error.Number() != kNoProgram) {
      kept = error;
      rethrow = true;
    }
  }
  if (m_pane != nullptr && m_pane->last != -1) {
    --m_pane->first;
    --m_pane->last;
  }
  if (rethrow) throw kept;
}

std::unique_ptr<SourceBase> SourceBase::SourceBase_NoPane() { return std::unique_ptr<SourceBase>(new SourceBase()); }

SourceBase::~SourceBase() {
  if (m_pane != nullptr && m_pane->lines == m_paneLines.get()) {
    m_pane->lines = nullptr;
    m_pane->count = 0;
  }
  m_store.reset();
  if (m_pool != nullptr) CheckedFreePool(m_pool);
  if (m_changeRecord) m_changeRecord->Unregister();
}

void SourceBase::Reset() {
  m_disassemblyAnchor = 0;
  m_mode = 0;
  m_lastShownLine = 0;
  m_firstShownLine = 0;
  m_lastLocationLine.Clear();
  if (m_paneLines) m_paneLines[0] = nullptr;
  m_files.CloseAll();
  m_fileDescriptor = -1;
  m_reader.Attach(-1);
}

const DisplayLine* SourceBase::LineAt(int32_t index) const {
  if (!m_paneLines || index < 0 || index >= kLineSlots) return nullptr;
  return static_cast<const DisplayLine*>(m_paneLines[static_cast<size_t>(index)]);
}

// The position of the current viewpoint: the location, its module's text region,
// end and language, and the location's line with its file.
void SourceBase::FillPosition() {
  const SourcePosition source = GetCurrentSourcePosition();
  SourcePanePosition& position = m_position;
  position.m_moduleName = source.m_moduleName;
  position.m_locationLine = source.m_line;
  position.m_textStart = source.m_displayWords[0];
  position.m_textEnd = source.m_displayWords[1];
  position.m_lineCount = 0xFFFFFFFFu;
  position.m_language = 0;
  position.m_location.MakeNull();
  position.m_moduleEnd = source.m_address;
  const LocationRecord* record = source.m_location;
  if (record == nullptr) return;
  position.m_location = record->m_address;
  const ModuleDescriptor* module = record->m_module;
  if (module == nullptr) return;
  position.m_language = module->Language();
  if (!module->Start().IsNull() && module->Extent() != OrdinalValue::AllOnes) {
    position.m_moduleEnd = module->Start() + OrdinalValue(module->Extent() + OrdinalValue(1u));
  }
}

int32_t SourceBase::Held() const { return m_pane != nullptr ? m_pane->count : 0; }

int32_t SourceBase::Third() const { return m_pane != nullptr ? m_pane->rows / 3 : 0; }

bool SourceBase::HasLineAt(int32_t index) const {
  return index >= 0 && index < kLineSlots && m_paneLines[static_cast<size_t>(index)] != nullptr;
}

// The location lies in a line with an address when it is within its code.
bool SourceBase::LocationIn(int32_t index) const {
  const DisplayLine& line = Line(index);
  if (line.address.IsNull() || m_lastLocation.IsNull()) return false;
  if (line.address.IsIncomparable(m_lastLocation) != 0) return false;
  return m_lastLocation.IsWithinLength(line.address, OrdinalValue(line.codeLength)) != kOutsideRange;
}

// From `from` back over instruction lines; the line reached (may be -1) and the
// steps taken.
int32_t SourceBase::SkipBackOverInstructions(int32_t from, int32_t* steps) const {
  int32_t index = from;
  while (index >= 0 && HasLineAt(index) && IsInstruction(index)) {
    --index;
    if (steps != nullptr) ++*steps;
  }
  return index;
}

int32_t SourceBase::SkipForwardOverInstructions(int32_t from, int32_t* steps) const {
  int32_t index = from;
  while (HasLineAt(index) && IsInstruction(index)) {
    ++index;
    if (steps != nullptr) ++*steps;
  }
  return index;
}

int32_t SourceBase::LineNumberOf(int32_t index) const { return Line(index).line.RawLine(); }

void SourceBase::RaiseBoundary(uint32_t number) const { throw DVError(number, kSeverityWarning, kDisplayByFocus); }

void SourceBase::EmptyPane() {
  if (m_paneLines) m_paneLines[0] = nullptr;
  if (m_pane == nullptr) return;
  m_pane->count = 0;
  m_pane->total = 0;
  m_pane->top = 0;
}

int32_t SourceBase::FormatLineNumberField(uint32_t line, char* buffer) const {
  return zentor::FormatLineNumberField(line, buffer, m_disassemblyAnchor != 0);
}

int32_t SourceBase::ParseListingLineNumber(const char* text, int32_t length, uint16_t language) {
  return zentor::ParseListingLineNumber(text, length, language);
}

// The nearest line with code: forward from the line to the last held line, else
// backward to the first.
void SourceBase::NearestCodeAddress(int32_t index, AddressDescriptor& address) const {
  address.MakeNull();
  const int32_t last = Held() - 1;
  if (index < 0 || index >= last) return;
  int32_t i = index;
  while (Line(i).address.IsNull() && i + 1 < last && HasLineAt(i + 1)) ++i;
  if (Line(i).address.IsNull()) {
    for (i = index; i > 0 && Line(i).address.IsNull();) --i;
  }
  if (!Line(i).address.IsNull()) address = Line(i).address;
}

}  // namespace zentor
