// The marks in front of the lines of a Source window: breakpoints, passpoints and
// the execution point as bits of each line's attribute, and the pane's break and
// pass toggles, which remove the breakpoints of a line that already shows the mark.

#include <algorithm>

#include "engine/source_base.h"

#include "core/program_counter.h"

namespace zentor {

namespace {

constexpr uint32_t kMarkByteOfOne = 27;

}  // namespace

// One mark per breakpoint of the snapshot in the line's range: by kind at its start,
// "inside" after it.
std::vector<SourceMark> CollectSourceMarks(const std::vector<SourceBreakpoint>& breakpoints,
                                           const AddressDescriptor& start, uint32_t length) {
  std::vector<SourceMark> marks;
  for (const SourceBreakpoint& breakpoint : breakpoints) {
    if (breakpoint.address.IsNull() || breakpoint.address.IsIncomparable(start) != 0) continue;
    const uint32_t where = breakpoint.address.IsWithinLength(start, OrdinalValue(length));
    if (where == kAtRangeStart) {
      uint32_t bits = 0;
      if (breakpoint.kind == 0) bits = breakpoint.type == 1 ? kMarkBreakType1 : kMarkBreak;
      if (breakpoint.kind == 1) bits = kMarkConditional;
      if (breakpoint.kind == 2) bits = kMarkPasspoint;
      marks.push_back({bits, breakpoint.enabled});
    } else if (where == kInsideRange) {
      marks.push_back({kMarkInside, breakpoint.enabled});
    }
  }
  return marks;
}

namespace {

// Every address of the line (several when its code is spread over ranges), last
// first; the address alone when there are none.
std::vector<AddressDescriptor> LineAddresses(const AddressDescriptor& address) {
  std::vector<AddressDescriptor> all = address.SameLineAddresses();
  if (all.empty()) all.push_back(address);
  std::reverse(all.begin(), all.end());
  return all;
}

}  // namespace

// 1. The execution address and a fresh snapshot of the viewpoint's breakpoints.
// 2. Each built line with code: the execution mark on the first line that holds the
//    execution address (in mixed mode only instruction lines), then the marks of the
//    breakpoints in its range.
void SourceBase::RefreshMarks() {
  if (!m_paneLines) return;
  const AddressDescriptor execution = ProgramCounterRegister::Read();
  m_breakpoints = SourceEngine().Get().CollectForCurrentViewpoint();
  if (m_lastShownLine < static_cast<uint32_t>(m_firstShownLine) &&
      static_cast<uint32_t>(m_firstShownLine) - m_lastShownLine > static_cast<uint32_t>(m_lineCapacity)) {
    m_lastShownLine = static_cast<uint32_t>(m_firstShownLine + m_lineCapacity);
  }
  bool found = false;
  bool classChecked = false;
  const int32_t limit = std::min(m_lineCapacity, static_cast<int32_t>(kLineSlots)) - 1;
  for (int32_t i = 0; i < limit && HasLineAt(i); ++i) {
    DisplayLine& line = Line(i);
    line.attr = 0;
    if (line.address.IsNull()) continue;
    if (line.codeLength == 0) {
      MarkLineDone(i);
      continue;
    }
    if (!found && !execution.IsNull() && (m_mode != 1 || IsInstruction(i))) {
      if (!classChecked && line.address.IsIncomparable(execution) != 0) line.address.CheckSameClass(execution);
      classChecked = true;
      if (IsExecutionLine(line.address, line.codeLength, execution) != 0) {
        line.attr |= kMarkExecution;
        found = true;
      }
    }
    ApplyMarks(i, CollectSourceMarks(m_breakpoints, line.address, line.codeLength));
  }
}

int32_t SourceBase::IsExecutionLine(const AddressDescriptor& start, uint32_t length,
                                    const AddressDescriptor& execution) const {
  if (execution.IsIncomparable(start) != 0) return 0;
  switch (execution.IsWithinLength(start, OrdinalValue(length))) {
    case kAtRangeStart:
      return 1;
    case kInsideRange:
      return m_mode == 1 ? 0 : 1;
    default:
      return 0;
  }
}

void SourceBase::ApplyMarks(int32_t index, const std::vector<SourceMark>& marks) {
  DisplayLine& line = Line(index);
  uint32_t bits = 0;
  bool anyEnabled = false;
  for (const SourceMark& mark : marks) {
    bits |= mark.bits;
    anyEnabled = anyEnabled || mark.enabled != 0;
  }
  if (!(m_mode == 1 && !IsInstruction(index))) line.attr = (line.attr & 0xFF00u) | bits;
  if (!anyEnabled) line.attr = (line.attr & 0xFFFFu) | kMarkDisabled;
  MarkLineDone(index);
}

void SourceBase::MarkLineDone(int32_t index) { Line(index).attr |= kMarkCode; }

// A break, pass or run command on a line that shows the matching mark removes the
// breakpoints there instead (0: done); otherwise the command goes on (1).
int32_t SourceBase::RemoveMarkedBreakpoints(int32_t code, uint8_t marks, const AddressDescriptor& address) {
  const bool lineCommand = code == kPaneRunToLine || code == kPaneToggleBreak || code == kPaneToggleBreakType1 ||
                           code == kPaneTogglePasspoint;
  if (!lineCommand || marks == 0 || marks == kMarkInside) return 1;
  if (marks == 1) throw DVError(kMarkByteOfOne, kSeverityError, kDisplayByFocus);
  uint32_t type;
  if ((code == kPaneToggleBreak && (marks & kMarkBreak) != 0) || (code == kPaneTogglePasspoint && (marks & kMarkPasspoint) != 0)) {
    type = 0;
  } else if (code == kPaneToggleBreakType1 && (marks & kMarkBreakType1) != 0) {
    type = 1;
  } else {
    return 1;
  }
  for (const AddressDescriptor& each : LineAddresses(address)) SourceEngine().Get().DeleteAtAddressOfType(each, type);
  return 0;
}

// 0x72 a break, 0x73 a break of type 1, 0x74 a passpoint, at every address of the
// line.
void SetBreakpointFromPane(int32_t code, const AddressDescriptor& address) {
  uint32_t kind = 0;
  uint32_t type = 0;
  if (code == kPaneToggleBreakType1) type = 1;
  if (code == kPaneTogglePasspoint) kind = 2;
  for (const AddressDescriptor& each : LineAddresses(address)) SourceEngine().Get().SetFromSourcePane(kind, type, each);
}

}  // namespace zentor
