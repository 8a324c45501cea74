#pragma once
// What the source pane tests share: the engine's side of the pane as a table of
// breakpoints and a trace of the requests, and a Source window's pane driven the way
// the view dispatcher drives it.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/text_pane.h"
#include "core/view_kind.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"
#include "engine/source_base.h"
#include "engine/source_view_manager.h"

namespace zentor::testing_support {

// The engine's side as a table of breakpoints and a trace of what the pane asked.
class RecordingEngine : public SourcePaneEngine {
 public:
  std::vector<SourceBreakpoint> CollectForCurrentViewpoint() override { return m_breakpoints; }
  void DeleteAtAddress(const AddressDescriptor& address) override { Delete(address, -1); }
  void DeleteAtAddressOfType(const AddressDescriptor& address, uint32_t type) override {
    Delete(address, static_cast<int32_t>(type));
  }
  void SetFromSourcePane(uint32_t kind, uint32_t type, const AddressDescriptor& address) override {
    m_trace += "set " + std::to_string(kind) + "," + std::to_string(type) + " " + Hex(address) + "\n";
    m_breakpoints.push_back({address, kind, type, 1});
  }
  void RunToAddress(const AddressDescriptor& address) override { m_trace += "run to " + Hex(address) + "\n"; }
  void Go(uint32_t mode) override { m_trace += "go " + std::to_string(mode) + "\n"; }
  void Step(uint32_t granularity, uint32_t kind, uint32_t count, uint32_t report) override {
    m_trace += "step " + std::to_string(granularity) + "," + std::to_string(kind) + "," + std::to_string(count) + "," +
               std::to_string(report) + "\n";
  }
  DVErrorCode AddWatch(const RWCString& text) override {
    m_trace += std::string("watch ") + text.data() + "\n";
    return DVErrorCode();
  }

  static std::string Hex(const AddressDescriptor& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", address.IsNull() ? 0u : address.Offset());
    return text;
  }

  std::vector<SourceBreakpoint> m_breakpoints;
  std::string m_trace;

 private:
  void Delete(const AddressDescriptor& address, int32_t type) {
    m_trace += "delete " + Hex(address) + (type >= 0 ? " type " + std::to_string(type) : "") + "\n";
    std::erase_if(m_breakpoints, [&](const SourceBreakpoint& b) {
      return b.address.Compare(address) == kAddressEqual && (type < 0 || b.type == static_cast<uint32_t>(type));
    });
  }
};

// A Source window's pane, driven through the view dispatcher as the window drives it:
// opened (0x46) and closed (0x47) under kind 1, every request on the kind-1 road.
class SourceWindow {
 public:
  explicit SourceWindow(int32_t rows) {
    m_pane.rows = rows;
    m_pane.columns = 80;
    m_pane.layerId = kSlot;
  }
  ~SourceWindow() { Close(); }
  void Open() {
    m_open = true;
    DVError status;
    ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &m_pane, kGuiOpened, 0);
    if (!status.IsOkay()) throw status;
  }
  void Close() {
    if (!m_open) return;
    m_open = false;
    ViewDispatcher::RunGuiCommandQuiet(kViewSource, &m_pane, kGuiClosing, 0);
  }
  SourceViewManager* Manager() const { return static_cast<SourceViewManager*>(ViewManagerAt(kSlot)); }

  int32_t Send(int32_t code, intptr_t argument = 0) {
    return ViewDispatcher::RunGuiCommandForKind(m_status, kViewSource, &m_pane, code, argument);
  }
  int32_t SendIndex(int32_t code, int32_t index) {
    m_index = index;
    return Send(code, reinterpret_cast<intptr_t>(&m_index));
  }
  // Index of the first held line whose text contains `text`; -1 when none does.
  int32_t IndexOf(const std::string& text) const {
    for (int32_t i = 0; i + 1 < m_pane.count && m_pane.lines[i] != nullptr; ++i) {
      if (std::string(m_pane.lines[i]->text).find(text) != std::string::npos) return i;
    }
    return -1;
  }
  int32_t ExecutionIndex() const {
    for (int32_t i = 0; i + 1 < m_pane.count && m_pane.lines[i] != nullptr; ++i) {
      if ((m_pane.lines[i]->attr & kMarkExecution) != 0) return i;
    }
    return -1;
  }
  std::string Text(int32_t index) const { return m_pane.lines[index]->text; }

  static constexpr int32_t kSlot = 3;
  TextPane m_pane;
  DVError m_status;
  int32_t m_index = 0;
  bool m_open = false;
};

}  // namespace zentor::testing_support
