// The Callstack window's manager through the dispatcher, without a stopped thread:
// the current frame of an empty list, the listing switch and an empty window.
#include <gtest/gtest.h>

#include "console/panel.h"
#include "core/view_kind.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"

namespace zentor {
namespace {

TEST(CallstackView, WithoutFrames) {
  TextPane pane;
  pane.layerId = 13;
  DVError status;
  auto send = [&](int32_t code, intptr_t argument = 0) {
    return ViewDispatcher::RunGuiCommandForKind(status, kViewCallstack, &pane, code, argument);
  };
  EXPECT_EQ(send(kGuiOpened), 0);
  int32_t current = 7;
  EXPECT_EQ(send(kGuiCurrentFrame, reinterpret_cast<intptr_t>(&current)), 0);
  EXPECT_EQ(current, -1);
  EXPECT_EQ(send(kGuiToggleListing), 0);
  EXPECT_EQ(send(kGuiToggleListing), 0);
  EXPECT_EQ(send(kGuiRefresh), 0);
  EXPECT_EQ(pane.count, 0);
  EXPECT_EQ(send(kGuiEngineNotice), 0);
  const PanelHandle panel = pane.panel;
  EXPECT_EQ(send(kGuiClosing), 0);
  int32_t count = 0;
  EXPECT_EQ(Panel::GetLineCount(panel, &count).Number(), kPanelBadHandle);
  EXPECT_EQ(ViewManagerAt(13), nullptr);
}

}  // namespace
}  // namespace zentor
