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

// A command has one launcher at most, so the one found is the only one; every start-up
// sets the same launchers again, which then only takes a look.
void SetFrameDialogLauncher(uint32_t command, FrameDialogLauncher launcher) {
  std::vector<Entry>& launchers = Launchers();
  const auto found =
      std::find_if(launchers.begin(), launchers.end(), [command](const Entry& entry) { return entry.command == command; });
  if (launcher == nullptr) {
    if (found != launchers.end()) launchers.erase(found);
  } else if (found != launchers.end()) {
    found->launcher = launcher;
  } else {
    launchers.push_back(Entry{command, launcher});
  }
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
