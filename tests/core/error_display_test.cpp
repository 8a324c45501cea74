#include "core/error_display.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/message_table.h"

namespace zentor {
namespace {

using testing_support::CoreTestEnvironment;

// An independent statement of the substitution rule, on std::string: each "%s" of the
// template, left to right, takes the next argument or "<MISSING>"; inserted text is
// copied, never searched.
std::string ReferenceExpand(const std::string& text, const std::vector<std::string>& args) {
  std::string out;
  size_t used = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
      out += used < args.size() ? args[used++] : "<MISSING>";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Expand(const char* text, const std::vector<std::string>& args) {
  std::vector<RWCString> rw;
  for (const std::string& a : args) rw.emplace_back(a.c_str());
  return ExpandMessageText(text, rw.data(), static_cast<uint32_t>(rw.size())).data();
}

TEST(ExpandMessageTextTest, FillsPlacesLeftToRightWithoutRescanningArguments) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::string> args;
    const char* expected;
  };
  const Case cases[] = {
      {"one place", "The name <%s> is undefined.", {"main"}, "The name <main> is undefined."},
      {"two places in order", "Specified line <:%s#%s> does not exist in module.", {"a.c", "12"},
       "Specified line <:a.c#12> does not exist in module."},
      {"argument holding %s stays as it is", "A %s B %s", {"x%sy"}, "A x%sy B <MISSING>"},
      {"surplus arguments are not shown", "Breakpoints not saved. %s", {"disk", "full"}, "Breakpoints not saved. disk"},
      {"no arguments", "%s^ syntax error ", {}, "<MISSING>^ syntax error "},
      {"no places", "Match not found.", {"ignored"}, "Match not found."},
      {"adjacent places", "%s%s", {"a", "b"}, "ab"},
      {"upper-case S is no place", "%S and %s", {"v"}, "%S and v"},
      {"lone percent at the end", "100%", {"v"}, "100%"},
      {"percent before a place", "%%s", {"v"}, "%v"},
      {"empty argument", "<%s>", {""}, "<>"},
      {"argument ending in percent", "%ss", {"50%"}, "50%s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Expand(c.text, c.args), c.expected);
    EXPECT_EQ(ReferenceExpand(c.text, c.args), c.expected);
  }
}

TEST(ExpandMessageTextTest, RandomTextsAgreeWithReference) {
  const uint32_t seed = 77031;
  std::mt19937 random(seed);
  const char alphabet[] = "%s%sab ";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet - 1)];
    std::vector<std::string> args(random() % 4);
    for (std::string& a : args) {
      int n = static_cast<int>(random() % 6);
      for (int i = 0; i < n; ++i) a += alphabet[random() % (sizeof alphabet - 1)];
    }
    ASSERT_EQ(Expand(text.c_str(), args), ReferenceExpand(text, args)) << "seed " << seed << " text '" << text << "'";
  }
}

class ErrorDisplayTest : public CoreTestEnvironment {};

TEST_F(ErrorDisplayTest, TextComesFromTheMessageTableWithFallback) {
  struct Case {
    const char* name;
    uint32_t number;
    std::vector<const char*> args;
    const char* expected;
  };
  const Case cases[] = {
      {"message with place", 35, {"counter"}, "The name <counter> is undefined."},
      {"missing argument", 35, {}, "The name <<MISSING>> is undefined."},
      {"message without text", 9999, {"lost"}, "<No error message/text for this error>"},
      {"user break has no text", 401, {}, "<No error message/text for this error>"},
      {"line break", 8, {"no memory"}, "The debugger failed to initialize during start up \n Error: no memory"},
      {"highest number", 2075, {}, "Cannot find the specified NLM.  Load the NLM before loading symbols."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DVError error(c.number, 3, 4);
    for (uint32_t i = 0; i < c.args.size(); ++i) error.SetArg(i, c.args[i]);
    EXPECT_EQ(std::string(error.Text().data()), c.expected);
  }
}

TEST_F(ErrorDisplayTest, HeaderNamesSeverityNumberAndForeignViewpoint) {
  AddViewpoint(0x40, "worker");
  AddViewpoint(0x41);
  AddViewpoint(0x42, "base");
  DVError atBase(35, 3, 4);
  PushViewpoint(ViewpointHandle(0x40));
  DVError inAlias(35, 3, 4);
  PopViewpoint();
  PushViewpoint(ViewpointHandle(0x41));
  DVError inPlain(22, 2, 4);
  ResetViewpointStack();
  DVError syntax(102, 1, 4);
  DVError fatal(90, 6, 4);

  struct Case {
    const char* name;
    const DVError& error;
    const char* expected;
  };
  const Case cases[] = {
      {"base viewpoint", atBase, "ERROR #35"},
      {"stamped viewpoint with alias, after the stack was reset", inAlias, "ERROR #35 in [worker]"},
      {"stamped viewpoint without alias shows the target's text", inPlain, "WARNING #22 in [0x41]"},
      {"syntax name keeps its blank", syntax, "Syntax  #102"},
      {"fatal", fatal, "FATAL ERROR #90"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::string(c.error.Header().data()), c.expected);
  }

  // Once 0x42 is the base, errors stamped with it name no viewpoint, and an error
  // stamped before with "none" now differs from the base.
  SetBaseViewpoint(ViewpointHandle(0x42));
  DVError atNewBase(35, 3, 4);
  EXPECT_EQ(std::string(atNewBase.Header().data()), "ERROR #35");
  EXPECT_EQ(std::string(atBase.Header().data()), "ERROR #35 in []");
}

TEST_F(ErrorDisplayTest, ReportRoutes) {
  enum Route { kOutput, kBox, kNothing };
  struct Case {
    const char* name;
    int32_t focusType;  // -1: no focus window
    uint32_t severity;
    uint32_t mode;
    uint16_t batch;
    Route route;
    uint32_t boxKind;
  };
  const Case cases[] = {
      {"command window focus", kWindowTypeChild, 3, 4, 0, kOutput, 0},
      {"frame focus", kWindowTypeFrame, 3, 4, 0, kOutput, 0},
      {"no focus (console)", -1, 3, 4, 0, kOutput, 0},
      {"unknown window type", 40, 3, 4, 0, kOutput, 0},
      {"modal dialog focus", kWindowTypeModalDialog, 3, 4, 0, kBox, 0},
      {"modeless dialog focus", kWindowTypeModelessDialog, 3, 4, 0, kBox, 0},
      {"type 3", 3, 3, 4, 0, kBox, 0},
      {"control focus", 10, 4, 4, 0, kBox, 0},
      {"type 16", 16, 3, 4, 0, kBox, 0},
      {"warning in a box", kWindowTypeModalDialog, 2, 4, 0, kBox, 4},
      {"fatal from the command window", kWindowTypeChild, 6, 4, 0, kBox, 3},
      {"fatal in batch goes to output", kWindowTypeChild, 6, 4, 1, kOutput, 0},
      {"batch beats a dialog", kWindowTypeModalDialog, 3, 4, 1, kOutput, 0},
      {"batch word 2 is not batch", kWindowTypeModalDialog, 3, 4, 2, kBox, 0},
      {"fixed command output from a dialog", kWindowTypeModalDialog, 3, 2, 0, kOutput, 0},
      {"fixed box from the command window", kWindowTypeChild, 3, 3, 0, kBox, 0},
      {"fixed box even in batch", kWindowTypeChild, 3, 3, 1, kBox, 0},
      {"mode 0", kWindowTypeChild, 3, 0, 0, kNothing, 0},
      {"bad mode is chosen by focus", kWindowTypeModalDialog, 3, 9, 0, kBox, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_windows = {};
    m_windows.FocusWindowOfType(c.focusType);
    GetStartupSettingsWords().m_batch = c.batch;
    TakeOutput();
    LastError() = DVError(0, 0, 4);

    DVError error(35, c.severity, c.mode);
    error.SetArg(0, "counter");
    error.Report();

    std::string header = std::string(SeverityName(c.severity)) + " #35";
    std::string text = "The name <counter> is undefined.";
    std::string output = TakeOutput();
    switch (c.route) {
      case kOutput:
        EXPECT_EQ(output, header + "\r\n" + text + "\r\n");
        EXPECT_TRUE(m_windows.m_boxes.empty());
        EXPECT_EQ(m_windows.m_beeps, c.batch == 0 ? 1 : 0);
        EXPECT_EQ(error.DisplayMode(), 2u);
        break;
      case kBox:
        EXPECT_EQ(output, "");
        ASSERT_EQ(m_windows.m_boxes.size(), 1u);
        EXPECT_EQ(m_windows.m_boxes[0].text, header + ": " + text);
        EXPECT_EQ(m_windows.m_boxes[0].kind, c.boxKind);
        EXPECT_EQ(m_windows.m_boxes[0].owner, m_windows.m_focus);
        EXPECT_EQ(m_windows.m_beeps, 1);
        EXPECT_EQ(error.DisplayMode(), 3u);
        break;
      case kNothing:
        EXPECT_EQ(output, "");
        EXPECT_TRUE(m_windows.m_boxes.empty());
        EXPECT_EQ(m_windows.m_beeps, 0);
        break;
    }
    EXPECT_EQ(error.IsDisplayed(), c.route != kNothing);
    EXPECT_EQ(GetLastErrorNumber(), c.route != kNothing ? 35u : 0u);
  }
}

TEST_F(ErrorDisplayTest, LastErrorKeepsTheModeAsRaisedAndReportShowsOnce) {
  DVError error(35, 3, 4);
  error.SetArg(0, "n");
  DVError copyBefore(error);
  error.Report();
  EXPECT_EQ(LastError().Number(), 35u);
  EXPECT_EQ(LastError().DisplayMode(), 4u);
  EXPECT_EQ(error.DisplayMode(), 2u);
  EXPECT_TRUE(error.IsOkayOrDisplayed());
  std::string first = TakeOutput();
  EXPECT_EQ(first, "ERROR #35\r\nThe name <n> is undefined.\r\n");

  error.Report();
  DVError copyAfter(error);
  copyAfter.Report();
  EXPECT_EQ(TakeOutput(), "");

  // A copy made before the report is its own error and shows again.
  copyBefore.Report();
  EXPECT_EQ(TakeOutput(), first);

  DVError okay(0, 3, 2);
  LastError() = DVError(0, 0, 4);
  okay.Report();
  EXPECT_FALSE(okay.IsDisplayed());
  EXPECT_EQ(TakeOutput(), "");
  EXPECT_EQ(GetLastErrorNumber(), 0u);
}

TEST_F(ErrorDisplayTest, CommandOutputStartsOnAFreshLine) {
  OutputWriter::WriteString("partial");
  TakeOutput();
  DVError error(23, 3, 2);
  error.Report();
  EXPECT_EQ(TakeOutput(), "\r\nERROR #23\r\nSpecified breakpoint or passpoint does not exist.\r\n");
}

TEST_F(ErrorDisplayTest, InternalErrorOnOutputIsPrecededByTheNotice) {
  DVError error = testing_support::ErrorThrownBy([] { RaiseInternalError("/r/src/core/a.cpp", 12); });
  error.Report();
  EXPECT_EQ(TakeOutput(),
            "An internal software consistency check has failed.\r\n"
            "Results of subsequent operations may be unreliable.\r\n"
            "INTERNAL ERROR #1\r\n"
            "Internal software logic anomaly at src/core/a.cpp #12\r\n");
}

TEST_F(ErrorDisplayTest, SyntaxCaretErrorsPrintTheirTextAloneAndBecome102) {
  struct Case {
    const char* name;
    uint32_t number;
    uint32_t severity;
    const char* expected;
    uint32_t numberAfter;
  };
  const Case cases[] = {
      {"caret after", 103, 1, "   ^ syntax error \r\n", 102},
      {"caret before", 104, 1, "   syntax error ^\r\n", 102},
      {"103 with another severity keeps its header", 103, 3, "ERROR #103\r\n   ^ syntax error \r\n", 103},
      {"other syntax errors have a header", 101, 1,
       "Syntax  #101\r\nParse stack overflow, command too complex.\r\n", 101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DVError error(c.number, c.severity, 4);
    error.SetArg(0, "   ");
    error.Report();
    EXPECT_EQ(TakeOutput(), c.expected);
    EXPECT_EQ(error.Number(), c.numberAfter);
    // LastError keeps the number as raised.
    EXPECT_EQ(GetLastErrorNumber(), c.number);
  }
}

TEST_F(ErrorDisplayTest, MessageTableRowsAreUniqueAscendingAndBounded) {
  uint32_t previous = 0;
  size_t withPlaces = 0;
  for (const MessageTableRow& row : MessageTable()) {
    SCOPED_TRACE(row.number);
    EXPECT_GT(row.number, previous);
    previous = row.number;
    ASSERT_NE(row.text, nullptr);
    EXPECT_LT(std::string(row.text).size(), kMessageLoadBufferSize);
    EXPECT_STREQ(FindMessageText(row.number), row.text);
    if (std::string(row.text).find("%s") != std::string::npos) ++withPlaces;
  }
  EXPECT_EQ(MessageTable().size(), 233u);
  EXPECT_EQ(withPlaces, 35u);
  const uint32_t absent[] = {0, 12, 27, 85, 106, 400, 401, 999, 2009, 4095};
  for (uint32_t number : absent) {
    SCOPED_TRACE(number);
    EXPECT_EQ(FindMessageText(number), nullptr);
  }
}

}  // namespace
}  // namespace zentor
