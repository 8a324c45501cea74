#pragma once
// The watch dialogs: Add Watch (ADDWTCH) adds the typed expression as a watch, Apply
// keeps the dialog open for the next; Delete Watch (DELWTCH) lists the current
// viewpoint's watches and deletes the selected ones, and a Cancel after a deletion
// sets every watch of the list as it was when it opened. Both send their requests as
// the watch dialogs' window kind (8) with the watch record.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dialog_records.h"
#include "gui/dialog_body.h"

namespace zentor {

class WinSuper;

inline constexpr int32_t kWatchExpressionEdit = 1534;
inline constexpr int32_t kWatchList = 1536;
inline constexpr int32_t kWatchOk = 1537;
inline constexpr int32_t kWatchApply = 1533;

class AddWatchDialog final : public DialogBody {
 public:
  AddWatchDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  // False when nothing was added (an empty text, or a refusal reported).
  bool AddWatch();
  bool m_firstEdit = false;
};

struct WatchListEntry {
  WatchEntry watch;
  int32_t index = 0;
  bool selected = false;
};

class DeleteWatchDialog final : public ListDialogBody<WatchListEntry> {
 public:
  DeleteWatchDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;
  void PutBack(const std::vector<WatchListEntry>& snapshot) override;

 private:
  void ShowList();
  void ReadSelection();
  void DeleteSelected();
  bool m_deleted = false;
};

// The frame's menu items 1382 and 1383 and the Watch window's popup.
void ShowAddWatchDialog(int32_t ownerId);
void ShowDeleteWatchDialog(int32_t ownerId);
// The Watch window's "&Manage Watch...": the named watch sets of the settings store,
// through the window's view manager.
void ShowWatchManagement(WinSuper& window);
// The window is closing: the management dialog it opened closes with it, and nothing
// more is asked of the window.
void CloseWatchManagement(const WinSuper& window);

}  // namespace zentor
