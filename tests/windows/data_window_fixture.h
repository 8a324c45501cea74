#pragma once
// The data windows over the recording window layer at real stops of VIEWS on the
// stand-in agent: the window objects are made by the window factory as the frame makes
// them, their requests go through the real dispatcher to the real view managers, and
// the tests read what the windows leave in their panes and in the layer's log. A
// manager may be watched: its requests (code and, for the Memory window, the request's
// change flags) are written down before they reach it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/base_manager.h"
#include "core/text_pane.h"
#include "engine/view_managers.h"
#include "gui/gui_window_layer.h"
#include "gui/win_super.h"
#include "debugger_windows_fixture.h"
#include "harness/recording_layer_system.h"
#include "harness/stand_in_session.h"

namespace zentor::testing_support {

class DataWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // VIEWS's symbols, loaded as "loadsym" loads them.
  void LoadViews();
  // Runs to the location and waits for the stop.
  void StopAt(const std::string& location);
  static uint32_t Command(const std::string& text);
  static std::string Printed(const std::string& text);

  // The window of the kind for the current viewpoint, `rows` text rows high and 80
  // columns wide.
  WinSuper* Open(int32_t kind, int32_t rows = 20);
  // Events as the router hands them to the window.
  void Key(WinSuper* window, int32_t code);
  void Click(WinSuper* window, int32_t row, int32_t column, int32_t button = 0);
  void DoubleClick(WinSuper* window, int32_t row, int32_t column);
  void Resize(WinSuper* window, int32_t rows);
  void Close(WinSuper* window);

  // Requests of the kind that reach its manager from now on, as "code" or, for the
  // Memory window, "code flags".
  void Watch(int32_t kind);
  std::vector<std::string> TakeRequests();
  // Beeps since the log was last taken.
  int Beeps();

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{0, 0, 600, 800});
  StandInSession session;

 private:
  class WatchingFactory : public ViewManagerFactory {
   public:
    std::unique_ptr<BaseManager> Make(int32_t kind, TextPane* pane) override;
    int32_t watched = 0;
    std::vector<std::string> requests;
  };
  WatchingFactory m_factory;
  int m_next = 0;
  uint32_t m_base = 10;
};

}  // namespace zentor::testing_support
