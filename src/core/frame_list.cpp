#include "core/frame_list.h"

#include "core/current_viewpoint.h"
#include "core/viewpoint_manager.h"

namespace zentor {

void FrameList::Clear() {
  m_frames.clear();
  m_current = kNoFrame;
}

void FrameList::Append(const AddressDescriptor& codeAddress, const AddressDescriptor& frameAddress) {
  m_frames.push_back(AddressPair{codeAddress, frameAddress});
}

int32_t FrameList::GetCurrent(AddressPair* frame) const {
  if (m_frames.empty() || m_current < 0 || static_cast<uint32_t>(m_current) >= m_frames.size()) return kNoFrame;
  if (frame != nullptr) *frame = m_frames[static_cast<uint32_t>(m_current)];
  return m_current;
}

int32_t FrameList::SetCurrent(int32_t index) {
  if (index < 0 || static_cast<uint32_t>(index) >= m_frames.size()) return -1;
  m_current = index;
  return 0;
}

FrameList* CurrentFrameListOrNull() {
  const ViewpointHandle& current = CurrentViewpoint();
  if (current == ViewpointHandle::None()) return nullptr;
  return ViewpointManager::FrameListOf(current);
}

}  // namespace zentor
