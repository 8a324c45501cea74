// The panel library: what a capture of the program's output leaves in a panel, the
// line operations of the call-stack and inspector views, and the refusals of bad
// handles and lines, all seen through the pane that shares the panel's lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "console/panel.h"
#include "core/base_manager.h"
#include "harness/pane_dump.h"

namespace zentor {
namespace {

// A producer whose content is whatever the test writes.
class ScriptedProducer : public BaseManager {
 public:
  explicit ScriptedProducer(std::function<DVErrorCode(intptr_t)> write)
      : BaseManager(nullptr), m_write(std::move(write)) {}
  int32_t HandleRequest(DVError&, int32_t, intptr_t) override { return 0; }
  DVErrorCode WriteContent(intptr_t argument) override { return m_write(argument); }

 private:
  std::function<DVErrorCode(intptr_t)> m_write;
};

// A panel that goes with the test.
class PanelFixture {
 public:
  explicit PanelFixture(uint32_t mode = 0) { EXPECT_TRUE(Panel::Create(&m_handle, mode).IsOkay()); }
  ~PanelFixture() { Panel::Destroy(m_handle); }
  PanelFixture(const PanelFixture&) = delete;
  PanelFixture& operator=(const PanelFixture&) = delete;

  PanelHandle Handle() const { return m_handle; }
  // The panel's lines as the pane sees them.
  std::vector<std::string> Lines() {
    TextPane pane;
    EXPECT_TRUE(Panel::GetInfo(m_handle, &pane).IsOkay());
    std::vector<std::string> lines;
    for (int32_t i = 0; i < pane.count; ++i) {
      lines.emplace_back(pane.lines[i]->text, static_cast<std::size_t>(pane.lines[i]->length));
    }
    return lines;
  }
  DVErrorCode Capture(const std::string& output) {
    ScriptedProducer producer([&](intptr_t) {
      OutputWriter::WriteChars(static_cast<uint16_t>(output.size()), output.data());
      return DVErrorCode();
    });
    return Panel::CaptureOutput(m_handle, &producer, 0);
  }

 private:
  PanelHandle m_handle = 0;
};

std::vector<std::string> Numbered(int n) {
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i) lines.push_back("line " + std::to_string(i));
  return lines;
}

TEST(PanelCapture, OutputBecomesLines) {
  struct Case {
    const char* name;
    std::string output;
    std::vector<std::string> lines;
  };
  std::string twoLines;
  for (const std::string& line : Numbered(51)) twoLines += line + "\n";
  const std::vector<Case> cases = {
      {"CR LF ends a line", "ab\r\ncd", {"ab", "cd"}},
      {"bell leaves no trace", "\aa\ab\n", {"ab"}},
      {"600 characters", std::string(600, 'x') + "\n", {std::string(512, 'x'), std::string(88, 'x')}},
      {"512 characters exactly", std::string(512, 'y') + "\n", {std::string(512, 'y')}},
      {"no line feed at the end", "one\ntwo", {"one", "two"}},
      {"empty lines", "\n\nz\n", {"", "", "z"}},
      {"51 lines", twoLines, Numbered(51)},
      {"nothing", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PanelFixture panel;
    EXPECT_TRUE(panel.Capture(c.output).IsOkay());
    EXPECT_EQ(panel.Lines(), c.lines);
    EXPECT_FALSE(OutputWriter::IsHookInstalled());
  }
}

TEST(PanelCapture, RefillsAndKeepsWordsOfTheLines) {
  PanelFixture panel;
  ASSERT_TRUE(panel.Capture("old 1\nold 2\nold 3\n").IsOkay());
  ScriptedProducer producer([&](intptr_t argument) {
    OutputWriter::WriteString("frame 0\n");
    Panel::SetLineData(panel.Handle(), static_cast<uintptr_t>(argument));
    OutputWriter::WriteString("frame 1a\nframe 1b\n");
    return DVErrorCode(155, kSeverityError);
  });
  EXPECT_EQ(Panel::CaptureOutput(panel.Handle(), &producer, 7).Number(), 155u);
  TextPane pane;
  Panel::GetInfo(panel.Handle(), &pane);
  EXPECT_EQ(testing_support::DumpPane(pane),
            "count 3 total 3 first 0 last -1 top 0 row 0\n"
            "[  0] 0000 00000000 |frame 0|\n"
            "[  1] 0000 00000007 |frame 1a|\n"
            "[  2] 0000 00000007 |frame 1b|\n");
  // Every finished line has a layout and a NUL-terminated text.
  for (int32_t i = 0; i < pane.count; ++i) {
    ASSERT_NE(pane.lines[i]->fields, nullptr);
    EXPECT_EQ(pane.lines[i]->fields->count, 0);
    EXPECT_EQ(pane.lines[i]->text[pane.lines[i]->length], '\0');
  }
}

TEST(PanelCapture, ProducerThatThrowsEndsTheCapture) {
  PanelFixture panel;
  ScriptedProducer producer([](intptr_t) -> DVErrorCode {
    OutputWriter::WriteString("half a line");
    throw DVError(155, kSeverityError);
  });
  EXPECT_THROW(Panel::CaptureOutput(panel.Handle(), &producer, 0), DVError);
  EXPECT_FALSE(OutputWriter::IsHookInstalled());
  EXPECT_EQ(panel.Lines(), std::vector<std::string>{"half a line"});
  EXPECT_TRUE(panel.Capture("again\n").IsOkay());
  EXPECT_EQ(panel.Lines(), std::vector<std::string>{"again"});
}

TEST(PanelCapture, NestedCaptureIsRefused) {
  PanelFixture outer;
  PanelFixture inner;
  uint32_t innerError = 0;
  ScriptedProducer producer([&](intptr_t) {
    OutputWriter::WriteString("outer\n");
    try {
      inner.Capture("inner\n");
    } catch (const DVError& error) {
      innerError = error.Number();
    }
    OutputWriter::WriteString("still outer\n");
    return DVErrorCode();
  });
  EXPECT_TRUE(Panel::CaptureOutput(outer.Handle(), &producer, 0).IsOkay());
  EXPECT_EQ(innerError, 1u);
  EXPECT_EQ(outer.Lines(), (std::vector<std::string>{"outer", "still outer"}));
  EXPECT_TRUE(inner.Lines().empty());
  EXPECT_FALSE(OutputWriter::IsHookInstalled());
}

TEST(PanelLines, InsertSetDeleteAndClear) {
  PanelFixture panel;
  ASSERT_TRUE(panel.Capture("a\nb\nc\n").IsOkay());
  // Insert keeps room for its NUL and stops at a NUL among its characters.
  EXPECT_TRUE(Panel::InsertText(panel.Handle(), 1, "inserted", 8).IsOkay());
  EXPECT_TRUE(Panel::InsertText(panel.Handle(), 0, "cut\0rest", 8).IsOkay());
  EXPECT_TRUE(Panel::InsertText(panel.Handle(), 5, "end", 2).IsOkay());
  EXPECT_EQ(panel.Lines(), (std::vector<std::string>{"cut", "a", "inserted", "b", "c", "en"}));
  EXPECT_TRUE(Panel::SetLineText(panel.Handle(), 2, "a much longer text than before").IsOkay());
  EXPECT_TRUE(Panel::SetLineText(panel.Handle(), 0, "x").IsOkay());
  EXPECT_TRUE(Panel::DeleteLines(panel.Handle(), 4, 100).IsOkay());
  EXPECT_EQ(panel.Lines(), (std::vector<std::string>{"x", "a", "a much longer text than before", "b"}));
  TextPane pane;
  Panel::GetInfo(panel.Handle(), &pane);
  EXPECT_EQ(pane.total, 4);

  EXPECT_TRUE(Panel::SetLineData(panel.Handle(), 9).IsOkay());
  EXPECT_TRUE(Panel::Clear(panel.Handle()).IsOkay());
  EXPECT_TRUE(panel.Lines().empty());
  EXPECT_TRUE(Panel::InsertText(panel.Handle(), 0, "first again", 11).IsOkay());
  Panel::GetInfo(panel.Handle(), &pane);
  EXPECT_EQ(testing_support::DumpPane(pane),
            "count 1 total 1 first 0 last -1 top 0 row 0\n"
            "[  0] 0000 00000000 |first again|\n");
}

TEST(PanelLines, ModeOtherThanZeroKeepsThePaneTotal) {
  PanelFixture panel(1);
  ASSERT_TRUE(panel.Capture("a\nb\n").IsOkay());
  TextPane pane;
  pane.total = -1;
  Panel::GetInfo(panel.Handle(), &pane);
  EXPECT_EQ(pane.count, 2);
  EXPECT_EQ(pane.total, -1);
}

TEST(PanelLines, ManyDeletionsShrinkAndKeepTheRest) {
  PanelFixture panel;
  std::string output;
  for (const std::string& line : Numbered(160)) output += line + "\n";
  ASSERT_TRUE(panel.Capture(output).IsOkay());
  EXPECT_TRUE(Panel::DeleteLines(panel.Handle(), 0, 150).IsOkay());
  EXPECT_TRUE(Panel::InsertText(panel.Handle(), 10, "appended", 8).IsOkay());
  const std::vector<std::string> all = Numbered(160);
  std::vector<std::string> expected(all.begin() + 150, all.end());
  expected.emplace_back("appended");
  EXPECT_EQ(panel.Lines(), expected);
}

TEST(PanelHandles, BadHandlesAndLinesAreRefused) {
  PanelHandle destroyed = 0;
  ASSERT_TRUE(Panel::Create(&destroyed, 0).IsOkay());
  ASSERT_TRUE(Panel::Destroy(destroyed).IsOkay());
  PanelFixture live;
  TextPane pane;
  int32_t count = 0;
  for (PanelHandle handle : {destroyed, PanelHandle{0}, PanelHandle{12345678}}) {
    SCOPED_TRACE(handle);
    const std::vector<DVErrorCode> results = {
        Panel::Destroy(handle),
        Panel::Clear(handle),
        Panel::DeleteLines(handle, 0, 1),
        Panel::GetLineCount(handle, &count),
        Panel::SetLineText(handle, 0, "x"),
        Panel::SetLineData(handle, 1),
        Panel::GetInfo(handle, &pane),
        Panel::CaptureOutput(handle, nullptr, 0),
        Panel::InsertText(handle, 0, "x", 1),
    };
    for (const DVErrorCode& result : results) {
      EXPECT_EQ(result.Number(), kPanelBadHandle);
      EXPECT_EQ(result.Severity(), kSeverityInternal);
    }
  }
  EXPECT_EQ(Panel::SetLineText(live.Handle(), 0, "x").Number(), kPanelBadLine);
  EXPECT_EQ(Panel::InsertText(live.Handle(), 1, "x", 1).Number(), kPanelBadLine);
  EXPECT_EQ(Panel::DeleteLines(live.Handle(), -1, 1).Number(), kPanelBadLine);
  EXPECT_TRUE(Panel::DeleteLines(live.Handle(), 0, 5).IsOkay());
}

}  // namespace
}  // namespace zentor
