#include "engine/frame_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "console/output_writer.h"
#include "console/panel.h"
#include "console/pager.h"
#include "core/busy_pump.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/target_memory.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_target.h"
#include "engine/register_access.h"
#include "symbols/frame_printer.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_lookup.h"

namespace zentor {
namespace {

constexpr uint32_t kWalkBrokenOff = 0xFFFFFFFFu;

class EngineFrameWalker final : public FrameWalker {
 public:
  bool ThreadRuns() override {
    return ViewpointManager::RunStateOf(CurrentViewpoint()) == ViewpointManager::kRunStateRunning;
  }
  uint32_t Walk(FrameList& frames, uint32_t) override { return WalkFrames(frames); }
  void Print(FrameList& frames, uint32_t panel, uint16_t showFlag) override { PrintFrames(frames, panel, showFlag); }
};

// Pumping off and the busy cursor for the time of a walk, restored on every way out.
class WalkScope {
 public:
  WalkScope() {
    HiService(kGuiBusyCursor);
    SetPumpingEnabled(0);
    m_monitor.Register();
  }
  ~WalkScope() {
    m_monitor.Unregister();
    SetPumpingEnabled(1);
    HiService(kGuiPopCursor);
  }
  WalkScope(const WalkScope&) = delete;
  WalkScope& operator=(const WalkScope&) = delete;
  bool UserBreak() { return m_monitor.TestAndClearChanged() != 0; }

 private:
  BreakMonitor m_monitor;
};

// The x86 encodings of the two instructions that make a procedure's frame.
constexpr uint8_t kPushEbp = 0x55;
constexpr uint8_t kMovEbpEsp[2][2] = {{0x89, 0xE5}, {0x8B, 0xEC}};

// A thread stopped on the first instruction of a procedure (push ebp) or on the second
// (mov ebp, esp) has not made its frame yet: the frame pointer is still its caller's,
// and the return address lies at the stack pointer (or 4 above it). Then the caller's
// return address comes back, so that the walk does not skip the caller.
bool CallerBeforeFrameIsMade(const AddressDescriptor& pc, const AddressDescriptor& fp, AddressDescriptor* caller) {
  uint8_t code[2] = {};
  uint8_t before = 0;
  try {
    TargetMemory::ReadBytesAt(pc, code, 2);
  } catch (const DVError&) {
    return false;  // code that cannot be read makes no frame either
  }
  uint32_t above = 0;
  if (code[0] == kPushEbp) {
    above = 0;
  } else if ((code[0] == kMovEbpEsp[0][0] && code[1] == kMovEbpEsp[0][1]) ||
             (code[0] == kMovEbpEsp[1][0] && code[1] == kMovEbpEsp[1][1])) {
    TargetMemory::ReadBytesAt(pc - OrdinalValue::One, &before, 1);
    if (before != kPushEbp) return false;
    above = 4;
  } else {
    return false;
  }
  const RegisterValue esp = GeneralRegistersObject().ReadRegisterByIndex(kStackPointerRow);
  TargetAddressRecord slot = fp.Record();
  slot.m_offset = value_bytes::LoadU32(esp.m_value) + above;
  uint8_t bytes[4] = {};
  TargetMemory::ReadBytesAt(AddressDescriptor(slot), bytes, 4);
  TargetAddressRecord address = pc.Record();
  address.m_offset = value_bytes::LoadU32(bytes);
  *caller = AddressDescriptor(address);
  return true;
}

// The stack of a walk, read in pieces. The frames of a chain lie close together above
// the first one, and every request to the agent is a round trip: a frame's words are
// read with the rest of the frame's page behind them (at most what one request
// carries), and the frames that follow are taken from that piece while they lie in
// it. Memory is protected page by page, so the page of a frame that can be read can
// be read to its end; should a piece fail all the same, this walk reads each frame's
// words alone, as it would without pieces. The thread is stopped for the whole walk,
// so a piece stays true.
class StackPieces {
 public:
  void Read(const AddressDescriptor& at, uint8_t* destination, uint32_t count) {
    const TargetAddressRecord& record = at.Record();
    if (!m_pieceFailed && !Holds(record, count)) Fetch(at, count);
    if (Holds(record, count)) {
      std::memcpy(destination, m_bytes.data() + (record.m_offset - m_start.m_offset), count);
      return;
    }
    TargetMemory::ReadBytesAt(at, destination, count);
  }

 private:
  static constexpr uint64_t kPageSize = 4096;
  static constexpr uint64_t kLargestPiece = 1024;  // what one read request carries

  bool Holds(const TargetAddressRecord& record, uint32_t count) const {
    return !m_bytes.empty() && record.m_nullMark == m_start.m_nullMark &&
           record.m_addressClass == m_start.m_addressClass && record.m_addressKind == m_start.m_addressKind &&
           record.m_reserved1 == m_start.m_reserved1 && record.m_reserved2 == m_start.m_reserved2 &&
           record.m_offset >= m_start.m_offset &&
           uint64_t{record.m_offset} + count <= uint64_t{m_start.m_offset} + m_bytes.size();
  }
  void Fetch(const AddressDescriptor& at, uint32_t count) {
    m_bytes.clear();
    const uint64_t offset = at.Record().m_offset;
    const uint64_t pageEnd = (offset / kPageSize + 1) * kPageSize;
    const uint64_t length = std::min(pageEnd - offset, kLargestPiece);
    if (length <= count) return;  // nothing to gain over the words alone
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    try {
      TargetMemory::ReadBytesAt(at, bytes.data(), static_cast<uint32_t>(length));
    } catch (const DVError&) {
      m_pieceFailed = true;
      return;
    }
    m_start = at.Record();
    m_bytes = std::move(bytes);
  }

  TargetAddressRecord m_start;
  std::vector<uint8_t> m_bytes;
  bool m_pieceFailed = false;
};

// The frame pointer saved at a frame and the return address beside it, read as one
// piece (the two words lie side by side; two requests would bring nothing more). The
// return address replaces *pc (keeping its line member); the saved frame pointer, in
// the frame's segment, comes back (null when it is 0).
AddressDescriptor NextFrame(StackPieces& stack, const AddressDescriptor& fp, AddressDescriptor* pc) {
  uint8_t words[8] = {};
  stack.Read(fp, words, sizeof words);
  TargetAddressRecord code = pc->Record();
  code.m_offset = value_bytes::LoadU32(words + 4);
  const OptionalLine line = pc->Line();
  *pc = AddressDescriptor(code);
  pc->SetLine(line);
  const uint32_t saved = value_bytes::LoadU32(words);
  if (saved == 0) return AddressDescriptor();
  TargetAddressRecord frame = fp.Record();
  frame.m_offset = saved;
  return AddressDescriptor(frame);
}

}  // namespace

// 1. Busy cursor, pumping off, a break monitor.
// 2. The program counter and the frame pointer. A thread without a frame pointer is
//    one frame (the program counter and a null frame address).
//    A thread stopped before its procedure made its frame is that frame without a
//    frame address, and the walk goes on from its caller.
// 3. Each pass appends (pc, fp), then takes the return address at fp + 4 and the
//    frame pointer saved at fp (one read of both, from a piece of the stack that
//    usually holds the frames above too). The chain ends at a saved value of
//    0, at a saved frame pointer that is not above the one before it (a stack grows
//    down, so a caller's frame lies above; anything else is a corrupt or cyclic
//    chain), after kMostStackFrames frames, or at Ctrl+C.
// 4. An error on the way (no viewpoint, unreadable registers or memory) ends the walk
//    quietly with the frames found so far.
// 5. Frame 0 becomes current when there are frames.
uint32_t WalkFrames(FrameList& frames) {
  uint32_t result = 0;
  {
    WalkScope scope;
    try {
      AddressDescriptor pc = ProgramCounterObject().Read();
      AddressDescriptor fp = FramePointerObject().ReadAsAddress();
      if (fp.IsNull()) {
        frames.Append(pc, fp);
      } else {
        TargetStatus status;
        TheEngineTarget().GetStackInfo(&status, GetCurrentViewpointValue());
        AddressDescriptor caller;
        if (CallerBeforeFrameIsMade(pc, fp, &caller)) {
          frames.Append(pc, AddressDescriptor());
          pc = caller;
        }
      }
      StackPieces stack;
      while (!fp.IsNull()) {
        frames.Append(pc, fp);
        if (scope.UserBreak()) {
          result = kWalkBrokenOff;
          break;
        }
        if (frames.Count() >= kMostStackFrames) break;
        const AddressDescriptor next = NextFrame(stack, fp, &pc);
        if (!next.IsNull() && next.Offset() <= fp.Offset()) break;
        fp = next;
      }
    } catch (const DVError&) {
    }
  }
  if (frames.Count() > 0) {
    frames.SetCurrent(0);
    result = 0;
  }
  return result;
}

// Without locals a frame's lines depend on its code address alone: a recursion's
// frames, which share their return address, are looked up once for the listing.
void PrintFrames(FrameList& frames, uint32_t panel, uint16_t showFlag) {
  ClearStickyLookupFlag();
  std::vector<std::pair<TargetAddressRecord, FrameOutput>> written;
  const int32_t current = frames.GetCurrent(nullptr);
  struct Restore {
    FrameList& frames;
    int32_t index;
    ~Restore() {
      if (index >= 0) frames.SetCurrent(index);
    }
  } restore{frames, current};
  for (uint32_t i = 0; i < frames.Count(); ++i) {
    // Every line written for frame i carries i, so the Callstack window knows its frame.
    if (panel != 0) Panel::SetLineData(panel, i);
    OutputWriter::Printf("(%hd) ", static_cast<int16_t>(i));
    frames.SetCurrent(static_cast<int32_t>(i));
    AddressPair frame;
    frames.GetCurrent(&frame);
    if (showFlag != 0) {
      DVErrorCode status;
      PrintFrameLocation(status, frame.m_first, frame.m_second, true);
    } else {
      const auto same = std::find_if(written.begin(), written.end(), [&frame](const auto& before) {
        return before.first == frame.m_first.Record();
      });
      if (same != written.end()) {
        WriteFrameOutput(same->second);
      } else {
        FrameOutput output;
        try {
          CollectFrameOutput(frame.m_first, &output);
        } catch (...) {
          WriteFrameOutput(output);
          throw;
        }
        WriteFrameOutput(output);
        written.emplace_back(frame.m_first.Record(), std::move(output));
      }
    }
    OutputWriter::FreshLine();
  }
}

FrameList* CurrentFrameList() { return GetCurrentFrameList(); }

void CallStackCommand() {
  if (ProgramLoaded() == 0) throw DVError(kMsgNoUserProgram, kSeverityError, kDisplayByFocus);
  const uint16_t show = ValueStack::PopBool();
  Pager::BeginPaging();
  struct EndPaging {
    ~EndPaging() { Pager::EndPaging(); }
  } endPaging;
  ClearStickyLookupFlag();
  FrameList& frames = *CurrentFrameList();
  if (frames.IsUsable() != 0 || frames.WalkStack(0) == 0) frames.Print(0, show);
}

void InstallFrameWalk() {
  static EngineFrameWalker walker;
  InstallFrameWalker(&walker);
}

}  // namespace zentor
