#pragma once
// The operations the dialog management sends to a settings form's callback: list the
// form's entries, restore, save or remove one, and the management dialog opening and
// closing.

#include <cstdint>

namespace zentor {

enum ManageOperation : uint32_t {
  kManageList = 15,
  kManageRestore = 16,
  kManageSave = 17,
  kManageRemove = 18,
  kManageOpened = 19,
  kManageClosed = 20,
};

}  // namespace zentor
