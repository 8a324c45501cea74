#pragma once
// The windowed program's GUI shell, installed behind the service entry: the Command
// window's output, caret and keys (CommandPaneShell) and the frame's requests, input
// wait, user-break check, notices and status line.

#include <cstdint>

#include "windows/command_pane.h"

namespace zentor {

class ProgramShell final : public CommandPaneShell {
 public:
  int32_t Request(uint32_t code) override;
  int32_t CheckUserBreak() override;
  int32_t Notify(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value) override;
  void RefreshStatusPane(uint32_t mask) override;
  bool WaitForInputRound() override;
};

}  // namespace zentor
