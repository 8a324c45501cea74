// The Modules window's manager through the dispatcher.
#include <gtest/gtest.h>

#include "console/panel.h"
#include "core/view_kind.h"
#include "engine/view_managers.h"
#include "gui/view_dispatcher.h"

namespace zentor {
namespace {

TEST(ModulesView, EmptyWithoutAProgram) {
  TextPane pane;
  pane.layerId = 9;
  DVError status;
  uint32_t width = 60;
  const auto widthArgument = reinterpret_cast<intptr_t>(&width);
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewModules, &pane, kGuiOpened, widthArgument), 0);
  EXPECT_NE(pane.panel, 0u);
  for (intptr_t argument : {widthArgument, intptr_t{0}}) {
    status.Set(5, kSeverityError, kDisplayByFocus, nullptr);
    EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewModules, &pane, kGuiRefresh, argument), 0);
    EXPECT_TRUE(status.IsOkay());
    EXPECT_EQ(pane.count, 0) << (pane.count > 0 ? pane.lines[0]->text : "");
    EXPECT_EQ(pane.total, 0);
  }
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewModules, &pane, kGuiEngineNotice, 0), 0);
  const PanelHandle panel = pane.panel;
  EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewModules, &pane, kGuiClosing, 0), 0);
  int32_t count = 0;
  EXPECT_EQ(Panel::GetLineCount(panel, &count).Number(), kPanelBadHandle);
  EXPECT_EQ(ViewManagerAt(9), nullptr);
}

}  // namespace
}  // namespace zentor
