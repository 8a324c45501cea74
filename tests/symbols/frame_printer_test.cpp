// The call-stack frame printer over the loaded program: the frame's line and
// procedure path, the blocks that hold its address, and its locals with their values.

#include "symbol_query_test_support.h"

#include "symbols/frame_printer.h"

namespace zentor::testing_support {
namespace {

TEST_F(SymbolQueryTest, FramesArePrintedWithTheirLocals) {
  struct Row {
    const char* m_name;
    uint32_t m_address;
    uint32_t m_frame;
    bool m_locals;
    const char* m_expected;
  };
  const Row rows[] = {
      {"innermost frame with its locals", kQueryStop, kQueryFrame, true,
       "MAIN:#12 + 6 main\r\n"
       "       origin  <kind 27>\r\n"
       "       label  <kind 27>\r\n"
       "       total  42\r\n"
       "       p  <kind 27>\r\n"
       "       shade  1\r\n"
       "    MAIN:#12 main\r\n"
       "       k  7\r\n"
       "    MAIN:#12 + 4 main\r\n"
       "       tmp  'z'\r\n"},
      {"without locals", kQueryStop, kQueryFrame, false, "MAIN:#12 + 6 main\r\n"},
      {"an outer frame: its locals read from its own base", kQueryCode + 0x90, kQueryFrame + 0x10, true,
       "UTIL:#4 util_init\r\n"
       "       c  8388992\r\n"
       "       where  <kind 26>\r\n"},
      {"a frame whose memory cannot be read: the scalar's name alone", kQueryCode + 0x90, 0x00100000, true,
       "UTIL:#4 util_init\r\n"
       "       c  \r\n"
       "       where  <kind 26>\r\n"},
      {"outside every module", 0x00500000, kQueryFrame, true, "location 0x00500000\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    TakeOutput();
    DVErrorCode status;
    PrintFrameLocation(status, MemoryAt(row.m_address), MemoryAt(row.m_frame), row.m_locals);
    EXPECT_TRUE(status.IsOkay());
    EXPECT_EQ(TakeOutput(), row.m_expected);
    EXPECT_EQ(ValueStack::Depth(), 0u);
    EXPECT_EQ(LookupLocation().LookupDepth(), 0u);
  }
}

}  // namespace
}  // namespace zentor::testing_support
