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

  // The window-less request of kind 11 (0x1f8 only).
  static int32_t HandleWindowless(DVError& status, int32_t code, intptr_t argument);
  // The value text of the expression in `buffer` (or "Inactive"), written into the
  // buffer of `size` bytes.
  static DVErrorCode GetVariableValueText(char* buffer, std::size_t size);
  // The short name of the procedure that holds the execution point ("" when none).
  static std::string GetCurrentProcedureName();

 private:
  struct Node;

  DVErrorCode AddItem(const char* text);
  DVErrorCode Expand(int32_t line, bool interactive);
  DVErrorCode Contract(int32_t line);
  DVErrorCode DeleteItem();
  DVErrorCode Refresh();
  DVErrorCode AssignField(int32_t line);
  void ClearAll();

  static DVErrorCode DescribeNode(SymbolHandle& handle, Node& node);
  Node* NodeAt(int32_t line) const;
  int32_t LineCount() const;
  // Builds a node's line text and fields and inserts it before `line`.
  DVErrorCode InsertNodeLine(std::unique_ptr<Node> node, int32_t line, const std::string& name);
  void FreeNode(Node* node);
  void RenderLine(Node& node, std::string* text) const;

  std::list<std::unique_ptr<Node>> m_nodes;
  std::string m_procedure;
};

}  // namespace zentor
