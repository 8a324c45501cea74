#pragma once
// The Locals and Inspect windows: expandable outlines of fields whose values the user
// can type over, both filled by the inspector view manager (kind 11) under the handle
// it gives each window when it opens. The Locals window shows the locals of its
// viewpoint's current scope and sends its requests as kind 11 with its own pane; the
// Inspect window keeps the expressions the Source window adds and deletes them from its
// popup. In both a double click opens or closes a structured line, and exactly one
// line, the current one, carries the mark.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/inspector_view.h"
#include "windows/data_window.h"

namespace zentor {

// Answer of InspectExpression for an empty text.
inline constexpr int32_t kEmptyInspectText = -11;

// What the two windows share.
class InspectorWindow : public DataWindow {
 public:
  ~InspectorWindow() override;

  void OnFocusLost() override;
  void OnReserved(uint32_t) override {}
  void OnEngineNotify() override;
  // The pane's code with the current line; a failure is reported.
  int32_t SendViewRequest(int32_t code, intptr_t argument) override;

  uintptr_t Handle() const { return m_request.pool; }

 protected:
  InspectorWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind,
                  std::initializer_list<uint32_t> changeKinds);

  // A request with {handle, line, text}, as kind 11.
  int32_t SendInspector(DVError& status, int32_t code, intptr_t line = 0, const char* text = nullptr);
  // The mark moves to the current line (top + row) and the caret is placed.
  void MarkCurrentLine();
  // After the lines changed: the selection stays on the current line (its last field,
  // or the nearest field line when it has none).
  void KeepSelectionOnCurrentLine();
  // The field keys, then the mark follows the selection.
  void HandleKey(int32_t code);
  void SelectAtMouse(const WindowEvent& event);
  // A double click: a contracted line expands, an expanded line contracts.
  void ToggleLineAt(const WindowEvent& event, bool withinRows);
  // The close request and the end of the layer window.
  void Close(bool hasPopup);

 private:
  InspectorRequest m_request;
  int32_t m_markedLine = -1;
};

class LocalsWindow final : public InspectorWindow {
 public:
  LocalsWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~LocalsWindow() override;

  void OnFocusGained() override;
  void OnKey(const WindowEvent& event) override { HandleKey(event.KeyCode()); }
  void OnMouse(const WindowEvent& event) override;
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t code) override;
};

class InspectWindow final : public InspectorWindow {
 public:
  InspectWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~InspectWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  // Popup item 0 deletes the current line's item, item 1 every item.
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t code) override;

  // Adds an inspected expression and shows it: the status number, kEmptyInspectText
  // for an empty text.
  int32_t InspectExpression(const char* text);
  // The popup with item 0 naming the current line's item.
  void ShowDeletePopup();
};

// The text of the popup's delete item for a line: the name before its first " = ", or
// its last word, in "&Delete <name>"; a name of 16 or more characters is cut to 15 and
// gets no ">".
std::string BuildDeleteItemText(const char* lineText);

std::unique_ptr<WinSuper> CreateLocalsWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
std::unique_ptr<WinSuper> CreateInspectWindow(NativeWindow window, uint32_t viewpointValue, const char* title);

}  // namespace zentor
