#pragma once
// The call-stack frames of one viewpoint's stopped thread, innermost first, with one
// selected frame. The symbol context moves its location along the frames (frame up
// and down), the call-stack views list them. Each entry pairs the code address
// executing in the frame with the frame's frame-pointer address.

#include <cstdint>
#include <vector>

#include "core/address_descriptor.h"

namespace zentor {

// Two addresses: for a frame, its code address (first) and its frame address
// (second, null for a frame without a frame pointer). Both null by default.
struct AddressPair {
  AddressDescriptor m_first;
  AddressDescriptor m_second;
};

class FrameList {
 public:
  static constexpr int32_t kNoFrame = -1;

  FrameList() = default;

  // Empties the list; no frame selected.
  void Clear();
  void Append(const AddressDescriptor& codeAddress, const AddressDescriptor& frameAddress);
  uint32_t Count() const { return static_cast<uint32_t>(m_frames.size()); }

  // The selected index (kNoFrame when the list is empty or nothing is selected); the
  // selected frame is copied out when `frame` is given and a frame is selected.
  int32_t GetCurrent(AddressPair* frame) const;
  // Selects frame `index`: 0, or -1 (nothing changed) when the list is empty or the
  // index is outside 0..count-1.
  int32_t SetCurrent(int32_t index);

  // 1 when the frames can be used: the thread is stopped and the list holds frames.
  // While the thread runs the list is emptied and 0 is the answer.
  uint32_t IsUsable();
  // Rebuilds the list from the registers and the saved frame chain (the engine's
  // walk); 0 on success.
  uint32_t WalkStack(uint32_t argument);
  // Writes one line per frame ("(i) " and the frame's location, in frame i); `panel`
  // (0 none) is the window panel whose lines carry the frame index. The selected
  // frame stays selected. Returns 0.
  uint32_t Print(uint32_t panel, uint16_t showFlag);

 private:
  std::vector<AddressPair> m_frames;
  int32_t m_current = kNoFrame;
};

// The frame list of the current viewpoint; null when no viewpoint is current or the
// current one has no list.
FrameList* CurrentFrameListOrNull();

// What the frame list asks of the engine, which sits above the core and installs its
// walk: whether the thread runs, and the walk of its frames. Before that the thread
// counts as stopped and no walk can be made.
class FrameWalker {
 public:
  virtual ~FrameWalker();
  virtual bool ThreadRuns();
  // Fills `frames` (emptied first by the caller's list) from the registers and the
  // saved frame chain; 0 on success.
  virtual uint32_t Walk(FrameList& frames, uint32_t argument);
  // Writes the frames (FrameList::Print); nothing before the engine is installed.
  virtual void Print(FrameList& frames, uint32_t panel, uint16_t showFlag);
};
// Installs the walker (the caller keeps it alive); null puts the base back. Returns
// the one installed before (null for the base).
FrameWalker* InstallFrameWalker(FrameWalker* walker);

}  // namespace zentor
