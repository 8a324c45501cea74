#include "gui/frame_dialog_launchers.h"

#include <algorithm>
#include <vector>

namespace zentor {
namespace {

struct Entry {
  uint32_t command;
  FrameDialogLauncher launcher;
};

std::vector<Entry>& Launchers() {
  static std::vector<Entry> launchers;
  return launchers;
}

}  // namespace

void SetFrameDialogLauncher(uint32_t command, FrameDialogLauncher launcher) {
  std::vector<Entry>& launchers = Launchers();
  std::erase_if(launchers, [command](const Entry& entry) { return entry.command == command; });
  if (launcher != nullptr) launchers.push_back(Entry{command, launcher});
}

bool RunFrameDialogLauncher(int32_t frameId, uint32_t command) {
  for (const Entry& entry : Launchers()) {
    if (entry.command == command) {
      entry.launcher(frameId);
      return true;
    }
  }
  return false;
}

}  // namespace zentor
