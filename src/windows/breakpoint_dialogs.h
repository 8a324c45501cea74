#pragma once
// The breakpoint dialogs: the Breakpoints list (BRKWAT) of every breakpoint,
// conditional breakpoint and passpoint of all viewpoints, sortable, with Add, Modify,
// Delete, Enable, Disable, Browse To and the named sets of the settings management;
// and the Add and Modify Breakpoint dialogs (ADDBRK, MODBRK) over it or, for Add, on
// their own. They never touch the breakpoint table: every change is a request of the
// breakpoint dialogs' window kind (8), and the list is the dialogs' own copy. A Cancel
// after a change puts back the breakpoints the list held when it opened.

#include <cstdint>
#include <string>
#include <vector>

#include "core/target_status.h"
#include "engine/dialog_records.h"
#include "gui/dialog_body.h"

namespace zentor {

class DVError;

// The list's controls.
inline constexpr int32_t kBreakSortStatus = 1515;
inline constexpr int32_t kBreakSortViewpoint = 1516;
inline constexpr int32_t kBreakSortName = 1517;
inline constexpr int32_t kBreakSortResource = 1518;
inline constexpr int32_t kBreakSortLocation = 1519;
inline constexpr int32_t kBreakList = 1520;
inline constexpr int32_t kBreakAdd = 1521;
inline constexpr int32_t kBreakModify = 1522;
inline constexpr int32_t kBreakDelete = 1523;
inline constexpr int32_t kBreakDisable = 1524;
inline constexpr int32_t kBreakEnable = 1525;
inline constexpr int32_t kBreakBrowse = 1526;
inline constexpr int32_t kBreakManage = 1528;
inline constexpr int32_t kBreakShowSymbol = 1531;
inline constexpr int32_t kBreakShowAddress = 1532;
// The add and modify dialogs' controls.
inline constexpr int32_t kEditSoftware = 1500;
inline constexpr int32_t kEditHardware = 1501;
inline constexpr int32_t kEditEnable = 1503;
inline constexpr int32_t kEditDisable = 1504;
inline constexpr int32_t kEditAccessKind = 1506;
inline constexpr int32_t kEditLocationLabel = 1507;
inline constexpr int32_t kEditLocation = 1508;
inline constexpr int32_t kEditUnconditional = 1509;
inline constexpr int32_t kEditConditional = 1510;
inline constexpr int32_t kEditPasspoint = 1511;
inline constexpr int32_t kEditExpressionLabel = 1512;
inline constexpr int32_t kEditExpression = 1513;
inline constexpr int32_t kEditApply = 1514;
inline constexpr int32_t kEditName = 1529;
inline constexpr int32_t kEditOk = 1530;
inline constexpr int32_t kEditTypeGroup = 1533;
inline constexpr int32_t kEditViewpoint = 1534;

// The resource of a task-switch selector and its two accesses.
inline constexpr uint32_t kResourceSelector = 2;
inline constexpr uint32_t kAccessTaskSwitch = 4;
inline constexpr uint32_t kAccessDataBreak = 5;

// Sort keys of the list.
enum BreakpointSortKey : uint32_t {
  kSortByStatus = 0,
  kSortByName = 1,
  kSortByLocation = 2,
  kSortByResource = 3,
  kSortByViewpoint = 4,
};

// One row of the list: the engine's record of the breakpoint and the dialog's own
// words.
struct BreakpointListEntry {
  BreakpointDialogEntry entry;  // m_kind the type (br, cb, pp), m_type the resource
  int32_t index = 0;            // the row
  uint32_t option = 1;
  bool engineNotice = false;  // added or changed by an engine notice
  bool selected = false;
};

// What the target offers for breakpoints (request 0xd6).
struct BreakpointCapabilities {
  uint32_t softwareAccess = 0;
  uint32_t kindCount = 0;  // hardware access kinds
  uint32_t codes[6] = {};
  std::string shortNames[6];
  bool vantriq = false;
  bool hardwarePlainOnly = false;
  // The short name of a hardware or task-switch access code ("" when none), at most
  // three characters.
  std::string ShortName(uint32_t resource, uint32_t access) const;
  BreakpointTypeRow rows[kBreakpointTypeRowCount];
};

// The shown row of an entry: status, viewpoint, name, resource, location (or its
// address), expression.
std::string FormatBreakpointRow(const BreakpointListEntry& entry, const BreakpointCapabilities& capabilities,
                                bool showAddress);
// Sorts by the key and renumbers the indexes in the new order.
void SortBreakpointEntries(std::vector<BreakpointListEntry>& entries, uint32_t key,
                           const BreakpointCapabilities& capabilities);

class BreakpointListDialog final : public ListDialogBody<BreakpointListEntry> {
 public:
  BreakpointListDialog();
  ~BreakpointListDialog() override;

  // The list's entries (the add and modify dialogs and the notices change them).
  std::vector<BreakpointListEntry>& Rows() { return Entries(); }
  const BreakpointCapabilities& Capabilities() const { return m_capabilities; }
  // Shows the list again with its sort key.
  void ShowList();
  void NoteChanged() { MarkChanged(); }
  // Notices 250-253 of the engine while the list is open.
  void OnEngineNotice(uint32_t code, const BreakpointDialogEntry& entry);
  // The settings management's callback of the breakpoint form.
  static int32_t ManageCallback(int32_t owner, uint32_t operation, void* argument);
  // The open list; null when none is.
  static BreakpointListDialog* Open();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;
  void PutBack(const std::vector<BreakpointListEntry>& snapshot) override;

 private:
  // False when the user broke the fill.
  bool Fill();
  void ReadSelection();
  void EnableOperations(bool on);
  // The one selected entry, or null after the message that says why not.
  BreakpointListEntry* OneSelected();
  void Delete();
  void SetEnabled(bool enable);
  void BrowseTo();
  void Modify();
  void Add();

  BreakpointCapabilities m_capabilities;
  uint32_t m_sortKey = kSortByName;
  bool m_showAddress = false;
  int32_t m_messageOwner = -1;
  BreakpointListDialog* m_previous = nullptr;
};

// Add (list mode: over an open list; standalone: from the frame's menu) and Modify.
class BreakpointEditDialog final : public DialogBody {
 public:
  // A modify dialog for the list's one selected entry, or an add dialog (list null:
  // standalone).
  BreakpointEditDialog(BreakpointListDialog* list, BreakpointListEntry* modified);

  // The request of the dialog's settings; the answer (-1 location, -2 expression at
  // fault, else the id) and the status.
  int32_t AddBreakpoint(DVError& status);
  int32_t ModifyBreakpoint(DVError& status);
  // Asks the target what it offers for breakpoints.
  static BreakpointCapabilities QueryCapabilities();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  void ApplyState(int32_t answer);
  void SetResource(uint32_t resource);
  void ApplyDataBreak();
  void SetType(uint32_t type);
  void SetStatus(uint32_t enabled);
  void Apply();
  bool ReadTexts(DVError& status, int32_t* answer, uint32_t emptyMessage);
  void FirstEdit();
  // The request of the dialog's settings for the id (-1: a new breakpoint).
  BreakpointDialogRequest Request(int32_t id, uint32_t viewpointOnly) const;

  BreakpointListDialog* m_list;
  BreakpointListEntry* m_modified;
  bool m_modify;
  BreakpointCapabilities m_capabilities;
  uint32_t m_viewpoint = 0;
  uint32_t m_type = 0;
  uint32_t m_enabled = 1;
  uint32_t m_option = 1;
  uint32_t m_resource = 0;
  uint32_t m_access = 0;
  // A selector's data break (access 5) rather than its task switch (access 4).
  bool m_dataBreak = false;
  bool m_firstEdit = false;
  std::string m_location;
  std::string m_expression;  // as typed
  std::string m_sentText;    // wrapped: "if (" ... ")" or "printf (" ... ")"
};

// The frame's menu items: 1380 the list, 1381 a standalone add.
void ShowBreakpointListDialog(int32_t ownerId);
void ShowAddBreakpointDialog(int32_t ownerId);
// The list's notice handler: the router's target for kind 8.
void InstallBreakpointDialogNotices();
// The frame's items of the breakpoint and watch dialogs (1380-1383) and the notices.
void InstallBreakpointAndWatchDialogs();

// Sends a breakpoint dialog request; the status holds its failure.
int32_t SendBreakpointRequest(DVError& status, uint32_t code, void* argument);

}  // namespace zentor
