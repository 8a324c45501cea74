#include <gtest/gtest.h>

#include <string>

#include "engine/watch_table.h"
#include "core/dv_error.h"
#include "core/stop_report.h"

namespace zentor {
namespace {

// What start-up leaves behind: no stop reported yet, every watch slot free.
TEST(EngineStartupState, BreakReportAndWatchTableStartEmpty) {
  SetLastStopText(RWCString("[ Break due to StepInto at 0x00001000"));
  InitBreakReport();
  EXPECT_EQ(LastStopCode(), kNoStopYet);
  EXPECT_EQ(std::string(CopyLastStopText().data()), "");
  EXPECT_EQ(StopReportFlags(), 0u);

  InitWatchTable();
  EXPECT_EQ(FreeWatchSlotCount(), kWatchSlotCount);
  EXPECT_TRUE(IsWatchSlotFree(0));
  EXPECT_TRUE(IsWatchSlotFree(kWatchSlotCount - 1));
  uint32_t raised = 0;
  try {
    (void)IsWatchSlotFree(kWatchSlotCount);
  } catch (const DVError& error) {
    raised = error.Number();
  }
  EXPECT_EQ(raised, 1u);
}

}  // namespace
}  // namespace zentor
