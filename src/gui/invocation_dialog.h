#pragma once
// The invocation settings dialog (INVOC, reached by the frame's command 1450 only):
// the batch file and the start-up macro file, each on or off and named, and two
// options. Apply checks the names (one word for the batch file, files that exist when
// on) and stores the record as "CURRENT" (record id 9); Cancel takes "CURRENT" back;
// Manage keeps named sets of the form "Invocation". The record is
// TheInvocationSettings(), which start-up fills and reads through engine notices.

#include <cstdint>

#include "gui/dialog_body.h"

namespace zentor {

enum InvocationControl : int32_t {
  kInvocationApplyControl = 1323,
  kInvocationManageButton = 1701,
  kInvocationBatchCheck = 1705,
  kInvocationMacroCheck = 1706,
  kInvocationMacroEdit = 1710,
  kInvocationOptionBCheck = 1711,
  kInvocationOptionACheck = 1712,
  kInvocationBatchEdit = 1713,
};

inline constexpr uint32_t kCommandInvocation = 1450;

class InvocationSettingsDialog final : public DialogBody {
 public:
  InvocationSettingsDialog();

 protected:
  void OnInitialise() override;
  // Apply (1323).
  void OnOk() override;
  void OnCancel() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  void ToggleFile(uint32_t& on, int32_t edit);
  void CloseAndNotify(int32_t result);
};

// Runs the dialog over the frame.
void ShowInvocationDialog();
// The frame's command 1450 opens the dialog from now on.
void InstallInvocationDialog();

}  // namespace zentor
