#include "core/target_calls.h"

#include <gtest/gtest.h>

#include <string>

#include "core/core_test_support.h"
#include "support/rw_cstring.h"

namespace zentor {
namespace {

using testing_support::CoreTestEnvironment;
using testing_support::ErrorThrownBy;

class TargetCallsTest : public CoreTestEnvironment {};

TEST_F(TargetCallsTest, UntouchedOrZeroStatusesNeverRaise) {
  TargetCallWrapper::Notify_Stage0Text(RWCString("start"));
  TargetCallWrapper::Notify_AddKeywords();
  TargetCallWrapper::Notify_Stage2();
  TargetCallWrapper::Notify_Connect();
  TargetCallWrapper::Disconnect();
  const char* unknown[] = {"-nothing", nullptr};
  uint32_t result = 77;
  TargetCallWrapper::OfferOption(0, unknown, &result);
  EXPECT_EQ(result, 0u);
  ThrowIfTargetFailed(TargetStatus{});
  EXPECT_EQ(TakeOutput(), "");
  EXPECT_EQ(GetLastErrorNumber(), 0u);
}

TEST_F(TargetCallsTest, FatalOptionStatusIsThrownNotShown) {
  AddViewpoint(0x9);
  PushViewpoint(ViewpointHandle(0x9));
  const char* slot[] = {"-baud", nullptr};
  uint32_t result = 0;
  DVError error = ErrorThrownBy([&] { TargetCallWrapper::OfferOption(0, slot, &result); });
  EXPECT_EQ(error.Number(), 90u);
  EXPECT_EQ(error.Severity(), 6u);
  EXPECT_EQ(error.DisplayMode(), 4u);
  EXPECT_FALSE(error.IsDisplayed());
  EXPECT_EQ(error.Stamp().Value(), 0x9u);
  EXPECT_EQ(std::string(error.Text().data()), "An argument was expected for the <-baud> option. Exiting.");
  EXPECT_EQ(TakeOutput(), "");
  EXPECT_TRUE(m_windows.m_boxes.empty());
}

TEST_F(TargetCallsTest, WarningStatusIsShownAndTheCallGoesOn) {
  const char* texts[] = {"a.nlm"};
  TargetStatus warning;
  warning.m_number = 121;
  warning.m_severity = 2;
  warning.m_argumentCount = 1;
  warning.m_arguments = texts;
  ThrowIfTargetFailed(warning);
  EXPECT_EQ(TakeOutput(), "WARNING #121\r\nI/O error during file load <a.nlm>.\r\n");

  TargetStatus failure = warning;
  failure.m_severity = 3;
  DVError error = ErrorThrownBy([&] { ThrowIfTargetFailed(failure); });
  EXPECT_EQ(error.Number(), 121u);
  EXPECT_EQ(std::string(error.Argument(0).data()), "a.nlm");
}

TEST_F(TargetCallsTest, TargetDescriptionIsKept) {
  TargetCallWrapper::LoadTargetDescription();
  ASSERT_NE(GetTargetDescription(), nullptr);
  EXPECT_STREQ(GetTargetDescription()->m_version, "2.03");
  EXPECT_EQ(KeptTargetDescription().m_typeTable[0].m_typeId, 0x13u);
}

}  // namespace
}  // namespace zentor
