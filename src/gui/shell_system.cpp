#include "gui/shell_system.h"

namespace zentor {
namespace {

ShellSystem*& Installed() {
  static ShellSystem* system = nullptr;
  return system;
}

}  // namespace

ShellSystem* InstallShellSystem(ShellSystem* system) {
  ShellSystem* previous = Installed();
  Installed() = system;
  return previous;
}

ShellSystem* InstalledShellSystem() { return Installed(); }

}  // namespace zentor
