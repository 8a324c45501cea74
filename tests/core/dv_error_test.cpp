#include "core/dv_error.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>
#include <string>

#include "core/core_test_support.h"
#include "core/target_status.h"

namespace zentor {
namespace {

using testing_support::CoreTestEnvironment;
using testing_support::ErrorThrownBy;

std::string Arg(const DVError& error, uint32_t i) { return error.Argument(i).data(); }

TEST(DVErrorCodeTest, PacksNumberAndSeverityLikeNativeBitArithmetic) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  for (int i = 0; i < 2000; ++i) {
    uint32_t number = random();
    uint32_t severity = random();
    // Mostly in range, sometimes wild values that must not spill into other bits.
    if (i % 3 != 0) {
      number &= 0xFFF;
      severity &= 0x7;
    }
    DVErrorCode code(number, severity);
    uint32_t expected = (number & 0xFFFu) | ((severity & 0xFu) << 12);
    ASSERT_EQ(code.Word(), expected) << "seed " << seed << " number " << number << " severity " << severity;
    ASSERT_EQ(code.Word() >> 16, 0u) << "seed " << seed;
    ASSERT_EQ(code.Number(), number & 0xFFFu) << "seed " << seed;
    ASSERT_EQ(code.Severity(), severity & 0xFu) << "seed " << seed;
    ASSERT_EQ(code.IsOkay(), (number & 0xFFFu) == 0) << "seed " << seed;

    uint32_t newNumber = random() & 0xFFF;
    DVErrorCode renumbered = code;
    renumbered.SetNumber(newNumber);
    ASSERT_EQ(renumbered.Number(), newNumber) << "seed " << seed;
    ASSERT_EQ(renumbered.Severity(), code.Severity()) << "seed " << seed;

    uint32_t newSeverity = random() & 0x7;
    DVErrorCode resevered = code;
    resevered.SetSeverity(newSeverity);
    ASSERT_EQ(resevered.Severity(), newSeverity) << "seed " << seed;
    ASSERT_EQ(resevered.Number(), code.Number()) << "seed " << seed;
    ASSERT_EQ(DVErrorCode::FromWord(code.Word()), code) << "seed " << seed;
  }
}

TEST(DVErrorCodeTest, OkayLooksOnlyAtTheNumber) {
  struct Case {
    const char* name;
    DVErrorCode code;
    bool okay;
  };
  DVErrorCode cleared(182, 5);
  cleared.SetOkay();
  const Case cases[] = {
      {"number 0 severity 3", DVErrorCode(0, 3), true},
      {"number 0 severity 15", DVErrorCode(0, 15), true},
      {"number 1 severity 0", DVErrorCode(1, 0), false},
      {"number 4095", DVErrorCode(4095, 2), false},
      {"number 4096 drops to 0", DVErrorCode(4096, 4), true},
      {"cleared", cleared, true},
      {"default", DVErrorCode(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.code.IsOkay(), c.okay);
  }
  EXPECT_EQ(cleared.Word(), 0u);
}

TEST(DVErrorCodeTest, DiagnosticDump) {
  std::ostringstream stream;
  stream << DVErrorCode(182, 5) << DVErrorCode(0, 3);
  EXPECT_EQ(stream.str(),
            " The Error code: 0x50b6\n"
            "            Num: 0xb6\n"
            "            Sev: 0x5\n"
            "            isOkay: false ans = 0\n"
            " The Error code: 0x3000\n"
            "            Num: 0x0\n"
            "            Sev: 0x3\n"
            "            isOkay: true ans = 1\n");
  // The dump leaves the stream's number base as it found it.
  stream.str("");
  stream << 255;
  EXPECT_EQ(stream.str(), "255");
}

class DVErrorTest : public CoreTestEnvironment {};

TEST_F(DVErrorTest, StampIsTheViewpointCurrentAtConstructionOrSet) {
  AddViewpoint(0x11);
  AddViewpoint(0x22);
  DVError okay(0, 0, 4);
  PushViewpoint(ViewpointHandle(0x11));
  DVError zero(0, 3, 4);
  DVError raised(5, 3, 4);
  DVError fromCode{DVErrorCode(7, 3)};
  DVError later(0, 0, 4);
  PopViewpoint();
  PushViewpoint(ViewpointHandle(0x22));
  later.Set(35, 3, 4, nullptr);
  ResetViewpointStack();

  struct Case {
    const char* name;
    const DVError& error;
    uint32_t stamp;
  };
  const Case cases[] = {
      {"okay error", okay, ViewpointHandle::kNone},
      {"number 0 ignores the current viewpoint", zero, ViewpointHandle::kNone},
      {"raised under 0x11", raised, 0x11},
      {"from a code under 0x11", fromCode, 0x11},
      {"Set re-stamps under 0x22", later, 0x22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.error.Stamp().Value(), c.stamp);
  }
}

TEST_F(DVErrorTest, ArgumentRules) {
  DVError gap(35, 3, 4);
  gap.SetArg(2, "T");
  ASSERT_EQ(gap.ArgumentCount(), 3u);
  EXPECT_EQ(Arg(gap, 0), "**MISSING ARGUMENT**");
  EXPECT_EQ(Arg(gap, 1), "**MISSING ARGUMENT**");
  EXPECT_EQ(Arg(gap, 2), "T");

  // Filling a gap later replaces the placeholder; the count stays.
  gap.SetArg(0, RWCString("first"));
  EXPECT_EQ(gap.ArgumentCount(), 3u);
  EXPECT_EQ(Arg(gap, 0), "first");

  // After ClearArgs the old texts are not arguments any more.
  gap.ClearArgs();
  gap.SetArg(1, "again");
  ASSERT_EQ(gap.ArgumentCount(), 2u);
  EXPECT_EQ(Arg(gap, 0), "**MISSING ARGUMENT**");
  EXPECT_EQ(Arg(gap, 1), "again");

  struct NumberCase {
    int32_t value;
    const char* text;
  };
  const NumberCase numbers[] = {{0, "0"}, {14, "14"}, {-1, "-1"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}};
  for (const NumberCase& c : numbers) {
    SCOPED_TRACE(c.text);
    DVError error(3, 5, 4);
    error.SetArg(0, c.value);
    EXPECT_EQ(Arg(error, 0), c.text);
  }

  DVError nullText(35, 3, 4);
  nullText.SetArg(0, static_cast<const char*>(nullptr));
  EXPECT_EQ(Arg(nullText, 0), "");
}

TEST_F(DVErrorTest, SetKeepsDisplayedAndReplacesArguments) {
  DVError error(35, 3, 4);
  error.SetArg(0, "a");
  error.SetArg(1, "b");
  error.SetDisplayed(1);
  error.Set(117, 2, 3, "file.txt");
  EXPECT_EQ(error.Number(), 117u);
  EXPECT_EQ(error.Severity(), 2u);
  EXPECT_EQ(error.DisplayMode(), 3u);
  EXPECT_TRUE(error.IsDisplayed());
  ASSERT_EQ(error.ArgumentCount(), 1u);
  EXPECT_EQ(Arg(error, 0), "file.txt");
  error.Set(118, 3, 4, nullptr);
  EXPECT_EQ(error.ArgumentCount(), 0u);

  error.Reset();
  EXPECT_TRUE(error.IsOkay());
  EXPECT_EQ(error.Severity(), 0u);
  EXPECT_EQ(error.DisplayMode(), 4u);
  EXPECT_FALSE(error.IsDisplayed());
  EXPECT_EQ(error.ArgumentCount(), 0u);
}

TEST_F(DVErrorTest, CopiesAreIndependentAndSelfAssignmentKeepsEverything) {
  DVError original(35, 3, 2);
  original.SetArg(0, "name");
  DVError copy(original);
  copy.SetArg(0, "other");
  copy.SetDisplayed(1);
  EXPECT_EQ(Arg(original, 0), "name");
  EXPECT_FALSE(original.IsDisplayed());

  DVError assigned(1, 1, 1);
  assigned = original;
  EXPECT_EQ(assigned.Number(), 35u);
  EXPECT_EQ(assigned.DisplayMode(), 2u);
  EXPECT_EQ(Arg(assigned, 0), "name");

  DVError& alias = assigned;
  assigned = alias;
  EXPECT_EQ(assigned.Number(), 35u);
  EXPECT_EQ(Arg(assigned, 0), "name");

  assigned = DVErrorCode(182, 5);
  EXPECT_EQ(assigned.Number(), 182u);
  EXPECT_EQ(assigned.Severity(), 5u);
  EXPECT_EQ(assigned.ArgumentCount(), 0u);
  EXPECT_EQ(assigned.DisplayMode(), 4u);
}

TEST_F(DVErrorTest, ValidateForcesBadSeverityAndMode) {
  struct Case {
    const char* name;
    uint32_t severity, mode;
    uint32_t severityAfter, modeAfter;
  };
  const Case cases[] = {
      {"severity 9", 9, 2, 5, 2},       {"severity 0", 0, 3, 5, 3},     {"mode 7", 3, 7, 3, 4},
      {"both bad", 100, 5, 5, 4},       {"all fine", 6, 0, 6, 0},       {"syntax", 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DVError error(35, c.severity, c.mode);
    EXPECT_EQ(error.Validate(), 1);
    EXPECT_EQ(error.Severity(), c.severityAfter);
    EXPECT_EQ(error.DisplayMode(), c.modeAfter);
  }
  EXPECT_STREQ(SeverityName(9), "INTERNAL ERROR");
  EXPECT_STREQ(SeverityName(1), "Syntax ");
}

TEST_F(DVErrorTest, FromTargetStatus) {
  const char* texts[] = {"COM3", "timeout"};
  TargetStatus two;
  two.m_number = 115;
  two.m_severity = 6;
  two.m_argumentCount = 2;
  two.m_arguments = texts;
  DVError error(two);
  EXPECT_EQ(error.Number(), 115u);
  EXPECT_EQ(error.Severity(), 6u);
  EXPECT_EQ(error.DisplayMode(), 4u);
  ASSERT_EQ(error.ArgumentCount(), 2u);
  EXPECT_EQ(Arg(error, 0), "COM3");
  EXPECT_EQ(Arg(error, 1), "timeout");
  EXPECT_EQ(std::string(error.Text().data()), "System Errno <COM3>. Cannot create temporary file <timeout>.  Exiting.");

  // With count 0 the argument array is never looked at (this one points nowhere).
  TargetStatus none;
  none.m_number = 2003;
  none.m_severity = 5;
  none.m_arguments = reinterpret_cast<const char* const*>(uintptr_t{0x10});
  DVError bare(none);
  EXPECT_EQ(bare.ArgumentCount(), 0u);
  EXPECT_EQ(bare.Number(), 2003u);
}

TEST_F(DVErrorTest, ThrowIfErrorRules) {
  struct Case {
    const char* name;
    uint32_t number, severity;
    bool throws;
  };
  const Case cases[] = {
      {"okay with severity 3", 0, 3, false}, {"warning", 143, 2, false}, {"syntax", 102, 1, true},
      {"error", 35, 3, true},                {"severe", 180, 4, true},  {"internal", 2, 5, true},
      {"fatal", 90, 6, true},                {"uninitialized severity", 35, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LastError() = DVError(0, 0, 4);
    DVError error(c.number, c.severity, kDisplayCommandOutput);
    error.SetArg(0, "x");
    bool thrown = false;
    try {
      ThrowIfError(error);
    } catch (const DVError& caught) {
      thrown = true;
      EXPECT_EQ(caught.Number(), c.number);
      EXPECT_EQ(caught.Severity(), c.severity);
      EXPECT_EQ(Arg(caught, 0), "x");
      EXPECT_FALSE(caught.IsDisplayed());
    }
    EXPECT_EQ(thrown, c.throws);
    // A warning is shown on the way and becomes the last error; the caller's object
    // is left as it was.
    bool warning = c.number != 0 && c.severity == 2;
    EXPECT_EQ(GetLastErrorNumber(), warning ? c.number : 0u);
    EXPECT_FALSE(error.IsDisplayed());
  }
  std::string output = TakeOutput();
  EXPECT_NE(output.find("WARNING #143"), std::string::npos) << output;
}

TEST_F(DVErrorTest, InternalConsistencyRaise) {
  struct Case {
    const char* name;
    const char* file;
    int line;
    const char* shownFile;
    const char* shownLine;
  };
  const Case cases[] = {
      {"posix path", "/work/main/src/core/memory_file.cpp", 196, "src/core/memory_file.cpp", "196"},
      {"windows path", "C:\\build\\src\\gui\\window.cpp", 40, "src\\gui\\window.cpp", "40"},
      {"last src folder wins", "/a/src/b/src/c.cpp", 1, "src/c.cpp", "1"},
      {"no src folder", "/tmp/other/file.cpp", 71, "/tmp/other/file.cpp", "71"},
      {"relative", "src/x.cpp", 0, "src/x.cpp", "0"},
      {"resource folder is not src", "/x/srcs/y.cpp", 9, "/x/srcs/y.cpp", "9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DVError error = ErrorThrownBy([&] { RaiseInternalError(c.file, c.line); });
    EXPECT_EQ(error.Number(), 1u);
    EXPECT_EQ(error.Severity(), 5u);
    EXPECT_EQ(error.DisplayMode(), 4u);
    ASSERT_EQ(error.ArgumentCount(), 2u);
    EXPECT_EQ(Arg(error, 0), c.shownFile);
    EXPECT_EQ(Arg(error, 1), c.shownLine);
    EXPECT_EQ(std::string(error.Text().data()),
              std::string("Internal software logic anomaly at ") + c.shownFile + " #" + c.shownLine);
  }

  int line = __LINE__ + 1;
  DVError fromMacro = ErrorThrownBy([] { ZENTOR_INTERNAL_ERROR(); });
  EXPECT_EQ(Arg(fromMacro, 1), std::to_string(line));
  EXPECT_NE(Arg(fromMacro, 0).find("dv_error_test.cpp"), std::string::npos);

  DVError invalidCase = ErrorThrownBy([] { RaiseInvalidCase(); });
  EXPECT_EQ(invalidCase.Number(), 2u);
  EXPECT_EQ(invalidCase.Severity(), 5u);
  EXPECT_EQ(invalidCase.ArgumentCount(), 0u);
  EXPECT_EQ(std::string(invalidCase.Text().data()), "Invalid internal case.");
}

}  // namespace
}  // namespace zentor
