// The pane commands of a Source window: the dispatcher that checks every command and
// routes it (codes below 100 to the model itself, line, breakpoint, run and browse
// codes on), the line commands that look at a line's marks first, the run and step
// commands, the mixed-mode switch and the qualification of a watched name.

#include <algorithm>
#include <cstring>

#include "engine/source_base.h"

#include "command/grammar_object.h"
#include "symbols/loader_library.h"
#include "symbols/source_files.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_listings.h"

#include "core/dv_error.h"
#include "core/typed_location.h"

namespace zentor {

namespace {

constexpr uint32_t kNoProgram = 324;
constexpr uint32_t kBrowseToData = 240;
constexpr uint32_t kCodeLocation = 1;
constexpr int32_t kLocationProduction = 2;
constexpr int32_t kPlainProduction = 0;
constexpr uint32_t kGranularityLine = 1;
constexpr uint32_t kGranularityInstruction = 2;
constexpr int32_t kFieldWidth = 10;

bool TakesNoLineIndex(int32_t code) {
  return code == kPaneFind || code == kPaneFindNext || code == kPaneFindBackward || code == kPaneModeQuery ||
         code == kPaneBrowse || code == kPaneAddWatch || code == kPaneBrowseFromList;
}

bool IsLineCommand(int32_t code) {
  return code == kPaneRunToLine || code == kPaneToggleBreak || code == kPaneToggleBreakType1 ||
         code == kPaneTogglePasspoint || code == kPaneClearLine;
}

int32_t* Word(intptr_t argument) { return reinterpret_cast<int32_t*>(argument); }

}  // namespace

// 1. Every line-index argument is checked first: a negative one, a missing one where
//    the command reads or writes it, and for the commands that read the line an index
//    at or beyond the held lines (also without a pane), raise the internal error
//    before anything is read.
// 2. No program: the pane empties and 324 is the answer (0x5a always rebuilds).
// 3. The command runs inside a guard: its error goes into the status and is reported
//    once (240 is left to the caller); the answer is its message number.
int32_t SourceBase::RunPaneCommand(DVError& status, int32_t code, intptr_t argument) {
  AddressDescriptor address;
  address.MakeNull();
  DVErrorCode local;
  if (!TakesNoLineIndex(code) && argument != 0 && *Word(argument) < 0) ZENTOR_INTERNAL_ERROR();
  if (code != kPaneRebuild && SymbolTableLoaded() == 0) {
    if (m_pane != nullptr) {
      m_pane->count = 0;
      m_pane->total = 0;
    }
    status.Set(kNoProgram, kSeverityWarning, kDisplayStatusLine, nullptr);
    status.Report();
    return static_cast<int32_t>(kNoProgram);
  }
  if (argument == 0 && (code == kPaneToggleMixed || code == kPaneFind || code == kPaneFindNext ||
                        code == kPaneFindBackward || code == kPaneModeQuery || code == kPaneGoToLine)) {
    ZENTOR_INTERNAL_ERROR();
  }
  if ((IsLineCommand(code) || code == kPaneBrowseNearest) &&
      (argument == 0 || *Word(argument) >= Held() - 1)) {
    ZENTOR_INTERNAL_ERROR();
  }
  status.Reset();
  try {
    if (code < 100) {
      if (m_pane == nullptr && code != kPaneRebuild) ZENTOR_INTERNAL_ERROR();
      switch (code) {
        case kPaneFind:
        case kPaneFindNext:
        case kPaneFindBackward: {
          int32_t* words = Word(argument);
          words[1] = std::max(words[1] - kFieldWidth, 0);
          const int32_t row = FindText(code, static_cast<int16_t>(words[0] & 0xFFFF), &words[1]);
          words[0] = row;
          if (row < 0) {
            words[1] = 0;
          } else {
            words[1] += kFieldWidth;
          }
          break;
        }
        case kPaneToggleMixed:
          ToggleMixedMode(*Word(argument));
          break;
        case kPaneRebuildFromTop:
          RebuildFromTop(argument != 0 ? *Word(argument) : 0);
          break;
        case kPaneReload:
        case kPaneRefresh:
          Update(code);
          break;
        case kPaneAccepted:
        case kPaneOpened:
        case kPaneClosing:
          break;
        case kPaneModeQuery:
          *Word(argument) = m_disassemblyAnchor != 0 ? 2 : m_mode;
          break;
        case kPaneScrollLineUp:
          ScrollUpOneLine(argument != 0 ? *Word(argument) : 0);
          break;
        case kPaneScrollLineDown:
          ScrollDownOneLine(0);
          break;
        case kPaneScrollPageUp:
          PageUp();
          break;
        case kPaneScrollPageDown:
          PageDown();
          break;
        case kPaneTextStart:
          GoToTextStart();
          break;
        case kPaneTextEnd:
          GoToTextEnd(argument != 0 ? *Word(argument) : 0);
          break;
        case kPaneGoToLine:
          GoToLineNumber(Word(argument));
          break;
        case kPaneRebuild:
          Reset();
          if (m_pane != nullptr) Build(0);
          m_files.CloseAll();
          break;
        default:
          ZENTOR_INTERNAL_ERROR();
      }
    } else if (IsLineCommand(code)) {
      int32_t i = *Word(argument);
      if (!HasLineAt(i)) ZENTOR_INTERNAL_ERROR();
      if (m_mode == 1 || m_disassemblyAnchor != 0) {
        if (i != Held() - 2 && HasLineAt(i + 1) && Line(i + 1).address.Compare(Line(i).address) == kAddressEqual &&
            !IsInstruction(i)) {
          ++i;
          *Word(argument) = i;
        }
        address = Line(i).address;
      } else {
        address = Line(i).address;
        address.SetLine(Line(i).line);
      }
      RunLineCommand(code, address, static_cast<uint8_t>(Line(i).attr & 0xFF));
    } else if (code == kPaneNextFrame || code == kPanePreviousFrame || code == kPaneShowLocation) {
      if (m_disassemblyAnchor != 0) m_lastLocationLine.Clear();
      RunLineCommand(code, address, 0);
    } else if (code == kPaneReselectFrame) {
      RunLineCommand(code, address, 0);
    } else if (code == kPaneBrowseNearest) {
      const int32_t i = argument != 0 ? *Word(argument) : 0;
      if (m_pane != nullptr && HasLineAt(i)) {
        NearestCodeAddress(i, address);
        if (!address.IsNull()) RunLineCommand(code, address, static_cast<uint8_t>(Line(i).attr & 0xFF));
      }
    } else if (code == kPaneBrowse || code == kPaneBrowseFromList) {
      const char* text = reinterpret_cast<const char*>(argument);
      uint32_t kind = 0;
      TypedLocation location;
      DVError error;
      const DVErrorCode evaluated =
          EvaluateTextToLocationInto(text != nullptr ? text : "", kLocationProduction, &kind, &location, &error);
      if (!evaluated.IsOkay() || kind != kCodeLocation) {
        local = DVErrorCode(kBrowseToData, kSeverityError);
      } else {
        local = BrowseHistory::Push(location.Address());
      }
    } else if (code == kPaneBrowseBack) {
      local = BrowseHistory::Pop();
    } else if (code == kPaneAddWatch) {
      const char* text = reinterpret_cast<const char*>(argument);
      RWCString name(text != nullptr ? text : "");
      local = QualifyPaneName(status, name);
      if (local.IsOkay()) {
        const GrammarObject parsed = GrammarObject::GrammarObject_FromText(name.data(), kPlainProduction);
        local = parsed.Status();
        if (local.IsOkay()) local = SourceEngine().Get().AddWatch(name);
      }
    } else {
      RunLineCommand(code, address, 0);
    }
    if (!local.IsOkay()) throw DVError::DVError_FromCode(local);
  } catch (const DVError& error) {
    status = error;
    if (error.Number() != kBrowseToData) status.Report();
    local = DVErrorCode(error.Number(), error.Severity());
  }
  return static_cast<int32_t>(status.Number());
}

// The marks of the line first (a toggle on a marked line removes), then the command.
void SourceBase::RunLineCommand(int32_t code, const AddressDescriptor& address, uint8_t marks) {
  const int32_t go = RemoveMarkedBreakpoints(code, marks, address);
  if (go == 0) return;
  if (go != 1) ZENTOR_INTERNAL_ERROR();
  if (code == kPaneRepeatStep) code = kPaneStepInto;
  switch (code) {
    case kPaneRunToLine:
    case kPaneGo:
    case kPaneGoNoBreakpoints:
    case kPaneGoNoThread:
    case kPaneQueryNoThread:
      RunFromPane(code, address);
      break;
    case kPaneStepOver:
    case kPaneStepOut:
    case kPaneStepInto:
      StepFromPane(code);
      break;
    case kPaneToggleBreak:
    case kPaneToggleBreakType1:
    case kPaneTogglePasspoint:
      SetBreakpointFromPane(code, address);
      break;
    case kPaneClearLine: {
      std::vector<AddressDescriptor> all = address.SameLineAddresses();
      if (all.empty()) all.push_back(address);
      for (auto it = all.rbegin(); it != all.rend(); ++it) SourceEngine().Get().DeleteAtAddress(*it);
      break;
    }
    case kPaneNextFrame:
      SelectNextFrame();
      break;
    case kPanePreviousFrame:
      SelectPreviousFrame();
      break;
    case kPaneShowLocation:
      ShowCurrentLocation();
      break;
    case kPaneReselectFrame:
      // Walks the stack only when its frame list is no longer usable; a usable list
      // keeps its selection and the location.
      SelectFrame(1);
      break;
    case kPaneBrowseNearest:
      GetCurrentSymbolContext()->BrowseToAddress(address);
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
}

int32_t SourceBase::RunFromPane(int32_t code, const AddressDescriptor& address) {
  SourcePaneEngine& engine = SourceEngine().Get();
  switch (code) {
    case kPaneRunToLine:
      engine.RunToAddress(address);
      break;
    case kPaneGo:
      if (engine.RunState() != 0) {
        engine.QueryTarget();
      } else {
        engine.Go(0);
      }
      break;
    case kPaneGoNoBreakpoints:
      engine.Go(2);
      break;
    case kPaneGoNoThread:
      engine.GoNoThread(0);
      break;
    case kPaneQueryNoThread:
      engine.QueryTargetNoThread();
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  return 0;
}

// With a pane the display decides: source lines in source mode, instructions in
// mixed mode and listings; the result shows in the window. Without one the location
// decides (a line whose file is found), and the step is reported in the command
// output.
int32_t SourceBase::StepFromPane(int32_t code) {
  uint32_t granularity;
  uint32_t report;
  if (m_pane != nullptr) {
    granularity = m_sourceStepping == 1 ? kGranularityLine : kGranularityInstruction;
    report = 0;
  } else {
    report = 1;
    FillPosition();
    const OptionalLine& line = m_position.m_locationLine;
    granularity = kGranularityInstruction;
    if (!line.IsEmpty() && !ResolveSourceFileName(SourceFileRef(line.RawLine(), line.RawValid())).isNull()) {
      granularity = kGranularityLine;
    }
  }
  uint32_t kind;
  switch (code) {
    case kPaneStepOver:
      kind = 1;
      break;
    case kPaneStepOut:
      kind = 3;
      break;
    case kPaneStepInto:
    case kPaneRepeatStep:
      kind = 2;
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  SourceEngine().Get().Step(granularity, kind, 1, report);
  return 0;
}

// 1. Mixed to source only: the capacity, mode and stepping of source text; the
//    location's line is forgotten, so that the next update reloads in source mode;
//    the nearest source line at or above the line is read again, or, when only
//    instructions lie above it (their source line is cut off at the top), the source
//    line they belong to, one above the next source line.
// 2. Source only to mixed: the line's text is read again with its instructions (past
//    the held lines, the text's last lines); the cursor goes to the location when the
//    line held it.
// 3. The line lands on its row again (a third down when it was on the last row and
//    gains instructions).
void SourceBase::ToggleMixedMode(int32_t index) {
  if (m_disassemblyAnchor != 0 || m_pane == nullptr || !HasLineAt(0)) return;
  const int32_t last = Held() - 2;
  int32_t i = std::clamp(index, 0, std::max(last, 0));
  // Switched to mixed mode past the held lines, the window is read from the text's end.
  const bool past = m_mode == 0 && index > last;
  bool toLocation = false;
  if (m_mode == 1) {
    ResetLineCapacity();
    m_mode = 0;
    SetSourceStepping(1);
    m_lastLocationLine.Clear();
    int32_t j = SkipBackOverInstructions(i, nullptr);
    if (j < 0) j = SkipForwardOverInstructions(i, nullptr);
    if (!HasLineAt(j)) return;
    if (m_firstLineNumber != 0) m_firstLineNumber = Line(j).line.RawLine();
    Seek(Line(j).filePosition);
    if (j > i) {
      char text[SourceTextReader::kDestinationSize];
      if (ReadLineBackward(text, SourceTextReader::kRequestedLimit) != -1 && m_firstLineNumber > 1) --m_firstLineNumber;
    }
    i = j;
  } else {
    m_lineCapacity = kMixedCapacity;
    m_mode = 1;
    SetSourceStepping(0);
    if (past) {
      if (m_firstLineNumber != 0) m_firstLineNumber = NumberPastTextEnd();
      Seek(static_cast<int32_t>(m_position.m_textEnd));
    } else {
      Seek(Line(i).filePosition);
      if (m_firstLineNumber != 0) m_firstLineNumber = Line(i).line.RawLine();
      toLocation = (Line(i).attr & kMarkExecution) != 0 || Line(i).line == m_position.m_locationLine;
    }
  }
  // Read from the end of the text, the lines come from above the row only.
  int32_t r = past ? std::max(index - m_pane->top, 1) : std::max(i - m_pane->top, 0);
  int32_t wanted = r;
  if (m_mode == 1 && !past && Line(i).codeLength != 0 && !Line(i).address.IsNull()) {
    if (r >= m_pane->rows - 1) r = m_pane->rows / 3;
    wanted = r + 1;
  }
  const int32_t built = Build(r);
  RefreshMarks();
  m_pane->top = 0;
  if (toLocation) PlaceCursorOnLocation();
  // The build may put the line above the row it was asked for (a line whose
  // instructions would be cut off at the top is left out): the wanted row goes with it.
  m_pane->row = m_mode == 1 ? built + (wanted - r) : built;
}

// 1. The name as it is, when it parses (its evaluation may fail: the watch shows it).
// 2. Else its backslash form (a keyword of the command language named as a symbol),
//    when that parses and evaluates.
// 3. Else the first parse's error.
DVErrorCode QualifyPaneName(DVError& status, RWCString& name) {
  if (name.length() > 254) name = RWCString(name.data(), 254);
  GrammarObject plain = GrammarObject::GrammarObject_FromText(name.data(), kPlainProduction);
  if (plain.Status().IsOkay()) {
    DVErrorCode ignored;
    uint16_t kind = 0;
    std::vector<uint8_t> value(1024);
    plain.Evaluate(&ignored, &kind, value.data());
    return DVErrorCode();
  }
  const RWCString backslash = RWCString("\\") + name;
  GrammarObject qualified = GrammarObject::GrammarObject_FromText(backslash.data(), kPlainProduction);
  if (qualified.Status().IsOkay()) {
    DVErrorCode evaluated;
    uint16_t kind = 0;
    std::vector<uint8_t> value(1024);
    qualified.Evaluate(&evaluated, &kind, value.data());
    if (evaluated.IsOkay()) {
      name = backslash;
      return DVErrorCode();
    }
  }
  plain.LastError(&status);
  return plain.Status();
}

int32_t RunPaneCommandWithoutWindow(DVError& status, int32_t code, intptr_t argument) {
  const std::unique_ptr<SourceBase> model = SourceBase::SourceBase_NoPane();
  return model->RunPaneCommand(status, code, argument);
}

}  // namespace zentor
