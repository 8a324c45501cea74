// The pager: "--more--" prompts inside paged sections, the keys at the prompt and
// during fast output, and the console line-full rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/viewpoint_manager.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::GuiSession;
using testing_support::ProgramExited;
using testing_support::TypeKeys;

constexpr uint32_t kEndedByExit = 1;
constexpr uint32_t kViewpoint = 0x61;

struct PagingCase {
  const char* name;
  std::vector<uint32_t> keys;
  bool paged;
  int lines;
  // Lines on the screen each time the prompt showed.
  std::vector<std::size_t> linesAtPrompts;
  // 0: the output ran to its end; 400 or 401: that error ended it; kEndedByExit: a
  // prompt waited for a key that never came.
  uint32_t ending;
  int linesShown;
};

TEST(PagerTest, PagedOutputPromptsAndKeys) {
  const PagingCase cases[] = {
      {"space shows the next page", {' '}, true, 30, {24}, 0, 30},
      {"two pages", {' ', ' '}, true, 60, {24, 48}, 0, 60},
      {"enter shows one more line and prompts again", {'\r', '\r'}, true, 30, {24, 25, 26}, kEndedByExit, 26},
      {"f runs to the end", {'f'}, true, 80, {24}, 0, 80},
      {"F runs to the end", {'F'}, true, 80, {24}, 0, 80},
      {"q quits", {'q'}, true, 30, {24}, kMsgPagerQuit, 24},
      {"Q quits", {'Q'}, true, 30, {24}, kMsgPagerQuit, 24},
      {"Esc quits", {27}, true, 30, {24}, kMsgPagerQuit, 24},
      {"Ctrl+C at the prompt is a user break", {3}, true, 30, {24}, kMsgUserBreak, 24},
      {"another key acts as the last one", {'x'}, true, 30, {24}, 0, 30},
      {"q typed during fast output quits at the next line", {'f', 'q'}, true, 30, {24}, kMsgPagerQuit, 25},
      {"Ctrl+C typed during fast output", {'f', 3}, true, 30, {24}, kMsgUserBreak, 26},
      {"no prompt outside a paged section", {}, false, 100, {}, 0, 100},
  };
  for (const PagingCase& c : cases) {
    SCOPED_TRACE(c.name);
    GuiSession session;
    // The status line is the current viewpoint's.
    ViewpointManager::AddViewpoint(ViewpointHandle(kViewpoint));
    TypeKeys(c.keys);
    if (c.paged) Pager::BeginPaging();
    uint32_t ending = 0;
    try {
      for (int line = 1; line <= c.lines; ++line) OutputWriter::Printf("line %d\n", line);
    } catch (const DVError& error) {
      ending = error.Number();
      EXPECT_EQ(error.DisplayMode(), kDisplayNone);
    } catch (const ProgramExited&) {
      ending = kEndedByExit;
    }
    Pager::EndPaging();
    Pager::Flush();
    EXPECT_EQ(ending, c.ending);
    std::vector<std::size_t> linesAtPrompts;
    std::size_t restores = 0;
    const auto& painted = session.Window().m_statusMessages;
    for (std::size_t i = 0; i < painted.size(); ++i) {
      if (painted[i] == Pager::kMorePrompt) {
        linesAtPrompts.push_back(session.Window().m_linesAtStatusMessage[i]);
      } else if (!linesAtPrompts.empty()) {
        ++restores;
      }
    }
    ViewpointManager::RemoveAllViewpoints();
    SetBaseViewpoint(ViewpointHandle::None());
    EXPECT_EQ(linesAtPrompts, c.linesAtPrompts);
    EXPECT_EQ(session.Window().LinesWithText(), static_cast<std::size_t>(c.linesShown));
    EXPECT_EQ(Pager::LastKey(), 'F') << "leaving the paged section returns to fast output";
    if (!c.linesAtPrompts.empty() && c.ending != kEndedByExit) {
      EXPECT_GE(restores, c.linesAtPrompts.size()) << "the status line's own text is back after every prompt";
      const auto& requests = session.Window().m_requests;
      EXPECT_NE(std::find(requests.begin(), requests.end(), kGuiArrowCursor), requests.end());
      EXPECT_NE(std::find(requests.begin(), requests.end(), kGuiPopCursor), requests.end());
    }
  }
}

// A key polled at the end of a full 128-byte line writes its echo after the line.
TEST(PagerTest, KeyEchoAfterAFullLineBuffer) {
  GuiSession session;
  TypeKeys({'f', 3});
  Pager::BeginPaging();
  for (int line = 1; line <= 24; ++line) OutputWriter::Printf("line %d\n", line);
  EXPECT_EQ(Pager::LastKey(), 'F');
  uint32_t ending = 0;
  try {
    for (int i = 0; i < Pager::kLineBufferSize - 1; ++i) Pager::BufferChar('x');
    Pager::BufferChar('\n');
  } catch (const DVError& error) {
    ending = error.Number();
  }
  Pager::EndPaging();
  EXPECT_EQ(ending, kMsgUserBreak);
  EXPECT_EQ(session.Window().Row(24), std::string(Pager::kLineBufferSize - 1, 'x'));
  EXPECT_EQ(session.Window().Row(25), "^C");
}

TEST(PagerTest, PagingNeedsTheWindowsAndTheConsoleAsInput) {
  testing_support::ScratchDirectory directory("pager");
  testing_support::ConsoleSession session(directory, "");
  Pager::BeginPaging();
  EXPECT_EQ(Pager::PagingNesting(), 0) << "console mode never pages";
  Pager::EndPaging();
  EXPECT_EQ(Pager::PagingNesting(), 0);

  GuiSession gui;
  Pager::BeginPaging();
  Pager::BeginPaging();
  EXPECT_EQ(Pager::PagingNesting(), 2);
  EXPECT_EQ(Pager::LastKey(), ' ') << "page at a time";
  Pager::EndPaging();
  EXPECT_EQ(Pager::LastKey(), ' ') << "still inside the outer section";
  Pager::EndPaging();
  Pager::EndPaging();
  EXPECT_EQ(Pager::PagingNesting(), 0);
  EXPECT_EQ(Pager::LastKey(), 'F');
}

TEST(PagerTest, LongLinesContinueOnTheNextLine) {
  GuiSession session;
  OutputWriter::WriteString(std::string(100, 'x'));
  OutputWriter::WriteString("\r\nend");
  Pager::Flush();
  EXPECT_EQ(session.Window().Row(0), std::string(82, 'x'));
  EXPECT_EQ(session.Window().Row(1), std::string(18, 'x'));
  EXPECT_EQ(session.Window().Row(2), "end");
  EXPECT_FALSE(Pager::IsLineFull());
}

TEST(PagerTest, CursorRoutinesWriteControlCodes) {
  GuiSession session;
  OutputWriter::SetLineWidth(OutputWriter::kEditLineWidth);
  Pager::PutChar('a');
  Pager::PutChar('b');
  Pager::PutChar('c');
  Pager::CursorLeft();
  Pager::CursorLeft();
  Pager::PutChar('X');
  EXPECT_EQ(Pager::Column(), 2);
  Pager::CursorTo(10, 3);
  Pager::PutChar('Y');
  Pager::CursorTo(500, 500);
  EXPECT_EQ(Pager::Column(), OutputWriter::kEditLineWidth - 1) << "clamped to the line";
  EXPECT_EQ(Pager::Row(), Pager::PageLength() - 1) << "clamped to the page";
  Pager::CursorTo(0, 10);
  Pager::PutChar('Z');
  Pager::CursorTo(1, 0);
  Pager::ClearToEndOfLine();
  EXPECT_EQ(Pager::Column(), 1);
  Pager::Beep();
  Pager::Flush();
  EXPECT_EQ(session.Window().Row(0), "a");
  EXPECT_EQ(session.Window().Row(3), std::string(10, ' ') + "Y");
  EXPECT_EQ(session.Window().Row(10), "Z") << "a row byte of 10 is a position, not a line end";
  EXPECT_EQ(session.Window().m_beeps, 1);
}

}  // namespace
}  // namespace zentor
