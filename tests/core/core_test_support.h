#pragma once
// Shared scaffolding of the core tests: a scripted window system standing in for the
// console backend (focus window, window types, message boxes and beeps recorded), a
// capture of the command output, and a clean viewpoint state per test.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/startup_settings_words.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "console/output_writer.h"
#include "target/tmi_viewpoint.h"

namespace zentor::testing_support {

struct ShownMessageBox {
  int32_t owner;
  uint32_t kind;
  std::string text;
};

// A window system with one scripted focus window.
class ScriptedWindows : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return m_focus; }
  int32_t GetWindowType(int32_t id) override {
    auto it = m_types.find(id);
    return it == m_types.end() ? -1 : it->second;
  }
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char*) override {
    m_boxes.push_back({owner, kind, text});
    return kMessageBoxAnswerOk;
  }
  void Beep() override { ++m_beeps; }

  // Gives the focus to a window of that type (id 7); -1 takes the focus away.
  void FocusWindowOfType(int32_t type) {
    if (type < 0) {
      m_focus = -1;
      return;
    }
    m_focus = 7;
    m_types[7] = type;
  }

  int32_t m_focus = -1;
  std::map<int32_t, int32_t> m_types;
  std::vector<ShownMessageBox> m_boxes;
  int m_beeps = 0;
};

// Installs the scripted windows and an output capture for the life of a test, and
// starts from no viewpoint, no batch mode and no last error.
class CoreTestEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previousBackend = WindowLayer::SetBackend(&m_windows);
    OutputWriter::Reset();
    OutputWriter::InstallHook([this](char c) { m_output.push_back(c); });
    GetStartupSettingsWords().m_batch = 0;
    ViewpointManager::RemoveAllViewpoints();
    TmiClearKnownViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    LastError() = DVError(0, 0, kDisplayByFocus);
  }

  void TearDown() override {
    OutputWriter::RemoveHook();
    WindowLayer::SetBackend(m_previousBackend);
    GetStartupSettingsWords().m_batch = 0;
    ViewpointManager::RemoveAllViewpoints();
    TmiClearKnownViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
  }

  // A viewpoint the target knows and the GUI has a record of; returns its index. The
  // tests push the viewpoints they work in, so the first one added does not stay the
  // base as it would in the program.
  int32_t AddViewpoint(uint32_t value, const char* alias = nullptr) {
    TmiAddKnownViewpoint(value);
    int32_t index = ViewpointManager::AddViewpoint(ViewpointHandle(value));
    if (alias != nullptr) ViewpointManager::SetAlias(index, alias);
    ViewpointManager::SelectIfNeeded(-1, false);
    return index;
  }

  std::string TakeOutput() {
    std::string out;
    out.swap(m_output);
    return out;
  }

  ScriptedWindows m_windows;
  std::string m_output;
  WindowLayerBackend* m_previousBackend = nullptr;
};

// A watcher of one kind of change, registered for the life of the object.
class ChangeWatch {
 public:
  explicit ChangeWatch(uint32_t kind) : m_record(kind) { m_record.Register(); }
  bool Changed() { return m_record.TestAndClearChanged() != 0; }

 private:
  CollectableRecord m_record;
};

// The error a body throws; fails the test when it throws none.
template <typename Body>
DVError ErrorThrownBy(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error;
  }
  ADD_FAILURE() << "no DVError was thrown";
  return DVError();
}

}  // namespace zentor::testing_support
