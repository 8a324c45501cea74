#pragma once
// The dialog management that the settings forms share opens over a form's dialog by
// the control id of its Manage button and talks to the form through its callback:
// 15 list, 16 restore, 17 save, 18 remove, 19 opened, 20 closing. Until its dialog is
// built, Manage opens nothing.

#include <cstdint>

#include "engine/dialog_records.h"
#include "gui/dialog_body.h"
#include "gui/manage_operations.h"

namespace zentor {

using ManageCallback = int32_t (*)(int32_t dialogId, uint32_t event, void* argument);

int32_t RunManagementDialog(int32_t ownerId, int32_t manageControl, ManageCallback callback);

}  // namespace zentor
