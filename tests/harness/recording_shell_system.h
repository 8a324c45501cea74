#pragma once
// The frame's windowing calls for the native tests: each window made from the
// program's classes becomes a window of the recording layer system (labelled by its
// class, numbered from the second one of a class on), placed as Win32 would place it
// (a child within its parent's client area, a top-level window whose position the
// system chooses at 100,100), and every call is written to the layer system's log.

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "gui/shell_system.h"
#include "gui/window_placement.h"
#include "harness/recording_layer_system.h"

namespace zentor::testing_support {

class RecordingShellSystem : public ShellSystem {
 public:
  explicit RecordingShellSystem(RecordingLayerSystem& system) : m_system(system) { InstallShellSystem(this); }
  ~RecordingShellSystem() override { InstallShellSystem(nullptr); }
  RecordingShellSystem(const RecordingShellSystem&) = delete;
  RecordingShellSystem& operator=(const RecordingShellSystem&) = delete;

  // A class whose windows the system refuses.
  std::string refusedClass;

  NativeWindow CreateShellWindow(const char* className, const char* title, ShellWindowStyle style, NativeWindow parent,
                                 int32_t x, int32_t y, int32_t width, int32_t height, int32_t controlId) override {
    static const char* const kStyles[] = {"strip", "client-area", "status-child", "top-level"};
    const std::string name = className;
    m_log += "CreateWindow " + name + " " + kStyles[static_cast<size_t>(style)] + " in " +
             (parent != 0 ? m_system.LabelOf(parent) : std::string("none")) + " " + std::to_string(x) + "," +
             std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height) + " id " +
             std::to_string(controlId) + "\n";
    if (name == refusedClass) return 0;
    const int count = ++m_made[name];
    const std::string label = count == 1 ? name : name + std::to_string(count);
    if (x == kPlaceByDefault) {
      x = 100;
      y = 100;
    }
    LayerRect outer{y, x, y + height, x + width};
    if (parent != 0) {
      const LayerRect parentOuter = m_system.GetWindowRect(parent);
      outer = LayerRect{parentOuter.top + y, parentOuter.left + x, parentOuter.top + y + height,
                        parentOuter.left + x + width};
    }
    const NativeWindow window = m_system.AddWindow(label, parent, outer);
    if (name != "static") m_madeHere.insert(window);
    m_system.At(window).controlId = controlId;
    m_system.At(window).text = title;
    m_system.At(window).visible = style != ShellWindowStyle::TopLevel;
    return window;
  }
  void ClearClassCursor(NativeWindow window) override { m_log += "ClearClassCursor " + m_system.LabelOf(window) + "\n"; }
  void AdjustChildSystemMenu(NativeWindow window) override {
    m_log += "SystemMenu " + m_system.LabelOf(window) + "\n";
  }
  void UnregisterWindowClasses() override { m_log += "UnregisterWindowClasses\n"; }
  // What the procedures leave to the system is written as "DefWindowProc WINDOW 0xMSG".
  intptr_t DefaultProcedure(NativeWindow window, uint32_t message, uintptr_t, intptr_t) override {
    char number[16];
    std::snprintf(number, sizeof number, "0x%04x", message);
    m_log += "DefWindowProc " + m_system.LabelOf(window) + " " + number + "\n";
    return 0;
  }
  void RemoveHelpHook() override { m_log += "RemoveHelpHook\n"; }
  void PostKeyDown(NativeWindow window, uint32_t virtualKey) override {
    m_log += "PostKeyDown " + m_system.LabelOf(window) + " " + std::to_string(virtualKey) + "\n";
  }
  // Whether the window is of one of the program's classes (its procedure is the
  // child windows' one).
  bool MadeHere(NativeWindow window) const { return m_madeHere.count(window) != 0; }

  std::string TakeLog() {
    std::string log;
    log.swap(m_log);
    return log;
  }

 private:
  RecordingLayerSystem& m_system;
  std::map<std::string, int> m_made;
  std::set<NativeWindow> m_madeHere;
  std::string m_log;
};

}  // namespace zentor::testing_support
