// The CodeView loader through the load driver: sample programs in every version,
// compared with golden dumps; damaged files; two files in one context.

#include <gtest/gtest.h>

#include "cv_load_test_support.h"

namespace zentor {
namespace {

using namespace cvfixture;
using testing_support::CvLoadOutcome;
using testing_support::CvLoadTest;

TEST_F(CvLoadTest, Smoke) {
  const std::string path = WriteFile("SAMPLE.SYM", WriteCodeView(MakeSampleProgram(), CvVariant::NB09));
  const CvLoadOutcome outcome = Load(path);
  EXPECT_EQ(outcome.m_returned, 0u);
  EXPECT_EQ(outcome.m_reported, 0u);
  EXPECT_EQ(outcome.m_raised, 0u);
  EXPECT_EQ(ForceDeferredModules(), 0u);
  std::printf("%s", Dump().c_str());
}

}  // namespace
}  // namespace zentor
