#include "core/program_names.h"

namespace zentor {

namespace {

struct ProgramNames {
  std::string directory;
  std::string baseName;
};

ProgramNames& Names() {
  static ProgramNames names;
  return names;
}

}  // namespace

void SetProgramNames(const std::string& directory, const std::string& baseName) {
  Names().directory = directory;
  Names().baseName = baseName;
}

const std::string& ProgramDirectory() { return Names().directory; }
const std::string& ProgramBaseName() { return Names().baseName; }

}  // namespace zentor
