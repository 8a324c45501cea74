#pragma once
// The inspector: symbols and expressions of the debugged program as an outline of
// lines in a window's panel, one root line per item the user added and, below an
// expanded line, one line per member or element, nested to any depth. The view
// manager of the Inspect window drives it, and of the Locals window, which shows the
// current procedure expanded; a window-less request gives the value text of one name.

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/base_manager.h"
#include "core/text_pane.h"

namespace zentor {

class SymbolHandle;

// The argument of most inspector requests: the window's pool word, a line index and a
// text.
struct InspectorRequest {
  uintptr_t pool = 0;
  intptr_t line = 0;
  const char* text = nullptr;
};

// The buffer of the window-less value-text request: "\" and a name on entry, the value
// text on return.
inline constexpr std::size_t kValueTextBufferSize = 510;
// Lines an expansion may make.
inline constexpr int32_t kMaxInspectorLines = 5000;

class InspectorViewManager : public BaseManager {
 public:
  explicit InspectorViewManager(TextPane* pane);
  ~InspectorViewManager() override;
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;
  DVErrorCode WriteContent(intptr_t argument) override;

  // The window-less request of kind 11 (0x1f8 only; any other code is an internal
  // error).
  static int32_t InspectorRequestWithoutWindow(DVError& status, int32_t code, intptr_t argument);
  // The value text of the expression in `buffer` (or "Inactive"), written into the
  // buffer of `size` bytes.
  static DVErrorCode GetVariableValueText(char* buffer, std::size_t size);
  // The short name of the procedure that holds the execution point ("" when none).
  static std::string GetCurrentProcedureName();

  // The operations on the window's outline (each on the panel's line indexes).
  // Appends a root line for an expression text.
  DVErrorCode AddInspectorItem(const char* text);
  // Makes the child lines of a contracted line (interactive: the user may break it).
  DVErrorCode ExpandInspectorLine(int32_t line, bool interactive);
  // Removes every line below an expanded line.
  DVErrorCode ContractInspectorLine(int32_t line);
  // Removes the root item under the cursor with its child lines.
  DVErrorCode DeleteInspectorItem();
  // Reads every root line again after the target ran and re-expands what was open.
  DVErrorCode RefreshInspector();
  // Assigns the text typed into a line's value field to the line's symbol.
  DVErrorCode AssignInspectorField(int32_t line);
  // Frees every node and empties the panel.
  void ClearInspector();
  // Frees every node (the window is closing).
  void ReleaseInspectorNodes();
  // Whether `name` differs from the procedure whose locals the window shows.
  bool ProcedureNameDiffers(const std::string& name) const;
  // The state of the item of a line, which decides what a double click asks for: 0
  // expanded, 1 contracted, 2 neither; -1 for a line without an item.
  int32_t LineState(int32_t line) const;

 private:
  // What a line shows of its symbol besides its value and name: a refresh keeps a
  // line whose symbol still shows so.
  struct NodeShape {
    bool valueBearing = false;
    bool active = false;
    bool hasText = false;
    uint32_t category = 0;
    std::string location;
    std::string typePrefix;
    std::string typeSuffix;
    bool SameAs(const NodeShape& other) const;
  };
  struct InspectorNode;
  struct ElementBlock;

  static DVErrorCode DescribeNode(SymbolHandle& handle, InspectorNode& node);
  // The value text of a node's symbol: its quoted text, nothing, or its evaluated
  // value.
  static DVErrorCode FormatSymbolValue(SymbolHandle& handle, InspectorNode& node, const std::string& stringValue);
  InspectorNode* NodeAt(int32_t line) const;
  int32_t LineCount() const;
  // Builds a node's line text and fields and inserts it before `line`.
  DVErrorCode InsertNodeLine(std::unique_ptr<InspectorNode> node, int32_t line, const std::string& name);
  void FreeNodes(const std::unordered_set<const InspectorNode*>& nodes);
  // The node out of the manager's keeping (null when it holds no such node).
  std::unique_ptr<InspectorNode> TakeNode(InspectorNode* node);
  void RenderLine(InspectorNode& node, std::string* text) const;
  void RewriteLine(int32_t line, InspectorNode& node);
  bool RefreshInPlace();

  std::list<std::unique_ptr<InspectorNode>> m_nodes;
  std::string m_procedure;
};

}  // namespace zentor
