#include "core/frame_list.h"

#include "core/current_viewpoint.h"
#include "core/installed_service.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

InstalledService<FrameWalker> g_walker;

FrameWalker& Walker() { return g_walker.Get(); }

}  // namespace

FrameWalker::~FrameWalker() = default;

bool FrameWalker::ThreadRuns() { return false; }

uint32_t FrameWalker::Walk(FrameList& /*frames*/, uint32_t /*argument*/) { return 1; }

void FrameWalker::Print(FrameList& /*frames*/, uint32_t /*panel*/, uint16_t /*showFlag*/) {}

FrameWalker* InstallFrameWalker(FrameWalker* walker) { return g_walker.Install(walker); }

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

uint32_t FrameList::IsUsable() {
  if (Walker().ThreadRuns()) {
    Clear();
    return 0;
  }
  return m_frames.empty() ? 0 : 1;
}

uint32_t FrameList::WalkStack(uint32_t argument) {
  Clear();
  return Walker().Walk(*this, argument);
}

uint32_t FrameList::Print(uint32_t panel, uint16_t showFlag) {
  Walker().Print(*this, panel, showFlag);
  return 0;
}

FrameList* CurrentFrameListOrNull() {
  const ViewpointHandle& current = CurrentViewpoint();
  if (current == ViewpointHandle::None()) return nullptr;
  return ViewpointManager::FrameListOf(current);
}

}  // namespace zentor
