#pragma once
// The model of what a Source window shows: a window of display lines built from the
// current source file (source lines only, or mixed with their instructions) or, when
// the file cannot be shown, from a disassembly listing; the text those lines point to;
// the open-file cache; the reader of the source text; and the source position of the
// current viewpoint. The window's requests arrive as pane commands (RunPaneCommand);
// the pane shows the display lines directly. A paneless model, made for one command,
// serves the commands that come while no Source window is open.
//
// Inside the model the pane's `first` and `last` words are line numbers, one above
// the pane's 0-based indexes: the view dispatcher raises them for each call, and the
// construction lowers them after its first update.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/source_file_cache.h"
#include "engine/source_text_reader.h"
#include "engine/source_text_store.h"

#include "symbols/line_ranges.h"

#include "core/address_descriptor.h"
#include "core/dv_error.h"
#include "core/installed_service.h"
#include "core/text_pane.h"
#include "support/rw_cstring.h"

namespace zentor {

class CollectableRecord;
class MemPool;

// One line of the window. It begins with the pane's line record, so the pane shows it
// as it is: attribute (the marks), length, capacity 0, text, no fields, line data 0.
struct DisplayLine : PaneLine {
  // The source line number; absent for a line without one.
  OptionalLine line;
  // Code bytes of the line; 0 = none.
  uint32_t codeLength = 0;
  // The line's first code byte; null without code.
  AddressDescriptor address;
  // File position of the line's first text byte; -1 an instruction line, -2 a header
  // line of a disassembly listing.
  int32_t filePosition = -1;
};

inline constexpr int32_t kInstructionLine = -1;
inline constexpr int32_t kListingHeaderLine = -2;

// The source position of the current viewpoint as the pane uses it. The text region,
// line count, location line and language guide the reader.
struct SourcePanePosition : SourceTextRegion {
  RWCString m_moduleName;
  // The context's location address (read at every update).
  AddressDescriptor m_location;
  // The module's start advanced by its length; without a module, the end of the
  // location's address space.
  AddressDescriptor m_moduleEnd;
};

// The requests of a Source window.
enum PaneCommand : int32_t {
  kPaneToggleMixed = 0x24,
  kPaneFind = 0x25,
  kPaneFindNext = 0x26,
  kPaneFindBackward = 0x27,
  kPaneRebuildFromTop = 0x28,
  kPaneReload = 0x2a,
  kPaneAccepted = 0x34,
  kPaneModeQuery = 0x35,
  kPaneOpened = 0x46,
  kPaneClosing = 0x47,
  kPaneScrollLineUp = 0x48,
  kPaneScrollLineDown = 0x49,
  kPaneScrollPageUp = 0x4a,
  kPaneScrollPageDown = 0x4b,
  kPaneTextStart = 0x4c,
  kPaneTextEnd = 0x4d,
  kPaneGoToLine = 0x4e,
  kPaneRefresh = 0x4f,
  kPaneRebuild = 0x5a,
  kPaneRunToLine = 0x69,
  kPaneGo = 0x6a,
  kPaneGoNoBreakpoints = 0x6b,
  kPaneStepOver = 0x6d,
  kPaneStepOut = 0x6f,
  kPaneRepeatStep = 0x71,
  kPaneToggleBreak = 0x72,
  kPaneToggleBreakType1 = 0x73,
  kPaneTogglePasspoint = 0x74,
  kPaneStepInto = 0x76,
  kPaneClearLine = 0x78,
  kPaneNextFrame = 0x79,
  kPanePreviousFrame = 0x7a,
  kPaneShowLocation = 0x7b,
  kPaneReselectFrame = 0x7c,
  kPaneBrowseNearest = 0x7d,
  kPaneBrowse = 0x83,
  kPaneBrowseBack = 0x84,
  kPaneAddWatch = 0x85,
  kPaneBrowseFromList = 0x8c,
  kPaneGoNoThread = 0x8d,
  kPaneQueryNoThread = 0x8e,
};

// Mark bits of a display line's attribute.
inline constexpr uint32_t kMarkBreakType1 = 0x02;
inline constexpr uint32_t kMarkPasspoint = 0x04;
inline constexpr uint32_t kMarkConditional = 0x08;
inline constexpr uint32_t kMarkInside = 0x10;
inline constexpr uint32_t kMarkBreak = 0x20;
inline constexpr uint32_t kMarkDisabled = 0x100;
inline constexpr uint32_t kMarkExecution = 0x4000;
inline constexpr uint32_t kMarkCode = 0x8000;

// A breakpoint as the marks see it.
struct SourceBreakpoint {
  AddressDescriptor address;
  uint32_t kind = 0;  // 0 break, 1 conditional break, 2 passpoint
  uint32_t type = 0;
  uint32_t enabled = 1;
};

// One breakpoint found in a line's address range.
struct SourceMark {
  uint32_t bits = 0;
  uint32_t enabled = 0;
};

// What the source pane asks of the rest of the engine: the breakpoints of the current
// viewpoint (the breakpoint table), the run and step commands (execution control) and
// watches (the watch table). The base is the engine's; tests install a double.
class SourcePaneEngine {
 public:
  virtual ~SourcePaneEngine();
  virtual std::vector<SourceBreakpoint> CollectForCurrentViewpoint();
  // Deletes the breakpoints at the address (every type, or only `type`).
  virtual void DeleteAtAddress(const AddressDescriptor& address);
  virtual void DeleteAtAddressOfType(const AddressDescriptor& address, uint32_t type);
  virtual void SetFromSourcePane(uint32_t kind, uint32_t type, const AddressDescriptor& address);
  // Run to the address: the temporary breaks emptied, the address added, go until it.
  virtual void RunToAddress(const AddressDescriptor& address);
  // Go in a mode (0 plain, 2 all breakpoints of the viewpoint disabled).
  virtual void Go(uint32_t mode);
  virtual void GoNoThread(uint32_t mode);
  virtual void QueryTarget();
  virtual void QueryTargetNoThread();
  // 0 stopped, 1 running, -1 unknown.
  virtual int32_t RunState();
  // granularity 1 source line, 2 instruction; kind 1 over, 2 into, 3 out.
  virtual void Step(uint32_t granularity, uint32_t callerKind, uint32_t count, uint32_t reportFlag);
  // Adds the text as a watch; the status of the step that failed.
  virtual DVErrorCode AddWatch(const RWCString& text);
};
InstalledService<SourcePaneEngine>& SourceEngine();

class SourceBase {
 public:
  static constexpr int32_t kLineSlots = 300;
  static constexpr int32_t kSourceCapacity = 100;
  static constexpr int32_t kMixedCapacity = 300;
  static constexpr int32_t kFindTextSize = 160;

  // The model of a window: pool, arrays and the first update (a missing program is
  // no error: the pane stays empty).
  explicit SourceBase(TextPane* pane);
  // The model of one command without a window: no arrays, no update.
  static std::unique_ptr<SourceBase> SourceBase_NoPane();
  ~SourceBase();
  SourceBase(const SourceBase&) = delete;
  SourceBase& operator=(const SourceBase&) = delete;

  // ---- Commands -------------------------------------------------------------------
  // Every pane command: the message number the command ended with (0 done); the
  // error is left in `status`.
  int32_t RunPaneCommand(DVError& status, int32_t code, intptr_t argument);
  // The line, breakpoint, execution and browse commands: the marks on the line first.
  void RunLineCommand(int32_t code, const AddressDescriptor& address, uint8_t marks);
  int32_t RunFromPane(int32_t code, const AddressDescriptor& address);
  int32_t StepFromPane(int32_t code);

  // ---- State ----------------------------------------------------------------------
  void Reset();
  int32_t SourceStepping() const { return m_sourceStepping; }
  void SetSourceStepping(int32_t on) { m_sourceStepping = on; }
  void ResetLineCapacity() { m_lineCapacity = kSourceCapacity; }
  TextPane* Pane() const { return m_pane; }
  int32_t Mode() const { return m_mode; }
  uint32_t DisassemblyAnchor() const { return m_disassemblyAnchor; }
  uint32_t FirstLineNumber() const { return m_firstLineNumber; }
  const SourcePanePosition& Position() const { return m_position; }
  const DisplayLine* LineAt(int32_t index) const;
  SourceFileCache& Files() { return m_files; }

  // ---- Reader ---------------------------------------------------------------------
  void Seek(int32_t position, int32_t origin = 0) { m_reader.Seek(position, origin); }
  uint8_t GetNextChar() { return m_reader.GetNextChar(); }
  uint8_t GetPreviousChar() { return m_reader.GetPreviousChar(); }
  int32_t ReadLineForward(char* destination, int32_t limit) { return m_reader.ReadLineForward(destination, limit); }
  int32_t ReadLineBackward(char* destination, int32_t limit) { return m_reader.ReadLineBackward(destination, limit); }
  int32_t MoveToLine(int32_t target, int32_t current) { return m_reader.MoveToLine(target, current, m_firstLineNumber); }
  const SourceTextReader& Reader() const { return m_reader; }

  // ---- Build ----------------------------------------------------------------------
  int32_t Build(int32_t p);
  int32_t BuildSourceLines(int32_t first, int32_t second, int32_t forward);
  int32_t ReadSourceLine(int32_t index, int32_t forward);
  int32_t InsertLineInstructions(int32_t index, int32_t forward);
  int32_t BuildInstructionLines(int32_t index);
  int32_t BuildDisassemblyListing(int32_t first, int32_t last, int32_t forward);
  int32_t AttachLineCodeLengths();
  int32_t FormatLineNumberField(uint32_t line, char* buffer) const;
  static int32_t ParseListingLineNumber(const char* text, int32_t length, uint16_t language);
  int32_t NextTextBlock() { return m_store->NextTextBlock(); }
  void FreeTextBlocksAbove(int32_t block) { m_store->FreeTextBlocksAbove(block); }

  // ---- Naming and mode ------------------------------------------------------------
  void ToggleMixedMode(int32_t index);
  void NearestCodeAddress(int32_t index, AddressDescriptor& address) const;

  // ---- Marks ----------------------------------------------------------------------
  void RefreshMarks();
  void ApplyMarks(int32_t index, const std::vector<SourceMark>& marks);
  int32_t IsExecutionLine(const AddressDescriptor& start, uint32_t length, const AddressDescriptor& execution) const;
  void MarkLineDone(int32_t index);
  int32_t RemoveMarkedBreakpoints(int32_t code, uint8_t marks, const AddressDescriptor& address);

  // ---- Update ---------------------------------------------------------------------
  void Update(int32_t code);
  int32_t ClassifyUpdate();
  void PlaceCursorOnLocation();
  void RepositionOnLocation();
  void RebuildAroundLocation();
  void RebuildAtLocationLine();
  void LoadFile();
  void RebuildFromTop(int32_t unused);
  void GoToLineNumber(int32_t* line);
  void DetectLineNumbering();

  // ---- Search and scrolling -------------------------------------------------------
  int32_t FindText(int32_t code, int16_t startIndex, int32_t* column);
  void ScrollUpOneLine(int32_t anchorRow);
  void ScrollDownOneLine(int32_t unused);
  void PageUp();
  void PageDown();
  void GoToTextStart();
  void GoToTextEnd(int32_t index);

 private:
  SourceBase();
  void FillPosition();
  int32_t Held() const;
  int32_t Third() const;
  DisplayLine& Line(int32_t index) const { return *m_lines[static_cast<size_t>(index)]; }
  bool IsInstruction(int32_t index) const { return Line(index).filePosition == kInstructionLine; }
  bool LocationIn(int32_t index) const;
  bool HasLineAt(int32_t index) const;
  int32_t SkipBackOverInstructions(int32_t from, int32_t* steps) const;
  int32_t SkipForwardOverInstructions(int32_t from, int32_t* steps) const;
  int32_t ReadPosition() const;
  void CollectLines(uint16_t from, uint16_t to, uint32_t capacity);
  void EmptyPane();
  [[noreturn]] void RaiseBoundary(uint32_t number) const;
  int32_t LineNumberOf(int32_t index) const;
  void ScrollToEndOfHeld();
  void BuildListingFromAnchor();
  uint32_t CountLinesToTextEnd(int32_t index);
  uint32_t NumberPastTextEnd();
  uint32_t LineAboveListing();
  void ScrollListingUpOneLine();

  SourceFileCache m_files;
  TextPane* m_pane = nullptr;
  int32_t m_fileDescriptor = -1;
  int32_t m_mode = 0;
  uint32_t m_disassemblyAnchor = 0;
  uint32_t m_firstLineNumber = 0;
  OptionalLine m_lastLocationLine;
  int32_t m_firstShownLine = 0;
  uint32_t m_lastShownLine = 0;
  SourcePanePosition m_position;
  AddressDescriptor m_lastLocation;
  std::vector<LineAddress> m_lineAddresses;
  int32_t m_sourceStepping = 1;
  std::unique_ptr<CollectableRecord> m_changeRecord;
  std::vector<SourceBreakpoint> m_breakpoints;
  int32_t m_lineCapacity = kSourceCapacity;
  // Set while a listing is built from a line the user chose (go to a line, rebuild
  // from the top line) rather than from the location's line.
  bool m_listingFromAnchor = false;
  MemPool* m_pool = nullptr;
  std::unique_ptr<SourceTextStore> m_store;
  std::unique_ptr<PaneLine*[]> m_paneLines;
  std::unique_ptr<DisplayLine[]> m_linePool;
  std::unique_ptr<DisplayLine*[]> m_lines;
  SourceTextReader m_reader{m_position};
};

// One mark per breakpoint of `breakpoints` in the range from `start` over `length`
// bytes.
std::vector<SourceMark> CollectSourceMarks(const std::vector<SourceBreakpoint>& breakpoints,
                                           const AddressDescriptor& start, uint32_t length);

// The packed instruction records of `length` bytes of code from `start` into the
// buffer; `next` receives the address after the last listed instruction. The number
// of records, negative when the buffer filled first.
int32_t DisassembleRange(const AddressDescriptor& start, AddressDescriptor* next, uint32_t length, uint8_t* buffer,
                         uint16_t capacity);

// 0x72 a break, 0x73 a break of type 1, 0x74 a passpoint at every address of the
// line.
void SetBreakpointFromPane(int32_t code, const AddressDescriptor& address);

// The source row of the creator table: a paneless model for one command.
int32_t RunPaneCommandWithoutWindow(DVError& status, int32_t code, intptr_t argument);

// The name of a watch typed in the pane: unchanged when it parses, else its
// backslash form when that parses and evaluates (a keyword of the command language).
DVErrorCode QualifyPaneName(DVError& status, RWCString& name);

// The program-wide find text that the Find dialog fills before a search.
RWCString& SourceFindText();

}  // namespace zentor
