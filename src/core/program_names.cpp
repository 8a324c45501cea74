#include "core/program_names.h"

#include <algorithm>
#include <cstring>

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

void CopyName(const std::string& name, char* buffer) {
  if (buffer == nullptr) return;
  const std::size_t length = std::min(name.size(), kProgramNameBufferSize - 1);
  std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
}

}  // namespace

void SetProgramNames(const std::string& directory, const std::string& baseName) {
  Names().directory = directory;
  Names().baseName = baseName;
}

const std::string& ProgramDirectory() { return Names().directory; }
const std::string& ProgramBaseName() { return Names().baseName; }

void GetProgramBaseName(char* buffer) { CopyName(ProgramBaseName(), buffer); }
void GetProgramDirectory(char* buffer) { CopyName(ProgramDirectory(), buffer); }

}  // namespace zentor
