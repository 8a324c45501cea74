// Lookup by address over the loaded CodeView program: the nearest symbol with its
// names, offsets and member path, the procedure and label searches behind it, the
// line information of addresses, and the indexes against the walks.

#include "symbol_query_test_support.h"

#include "symbols/address_lookup.h"
#include "symbols/symbol_index.h"

namespace zentor::testing_support {
namespace {

TEST_F(SymbolQueryTest, SymbolsAtAddresses) {
  struct Row {
    const char* m_name;
    uint32_t m_address;
    const char* m_expected;
  };
  const Row rows[] = {
      {"first byte of a procedure", kQueryCode, "MAIN|main|10| +0x0 line+0x0 code"},
      {"inside a procedure", kQueryCode + 0x16, "MAIN|main|12| +0x16 line+0x6 code"},
      {"label", kQueryCode + 0x20, "MAIN|main|14|retry +0x0 line+0x0 code"},
      {"a label named with '?' gives way to the next name there", kQueryCode + 0x30,
       "MAIN|main|15|done +0x0 line+0x0 code"},
      {"after the last procedure: the code symbol below, no line, the nearest label", kQueryCode + 0x74,
       "MAIN|main||?skip +0x74 line+0x0 code"},
      {"in a module whose symbols wait in the file", kQueryCode + 0x90, "UTIL|util_init|4| +0x10 line+0x0 code"},
      {"outside every module and symbol", 0x00500000, "status 335"},
      {"static of a module", kQueryData + 0x10, "MAIN||counter| +0x0 line+0x0"},
      {"static of a procedure", kQueryData + 0x14, "MAIN|helper|calls| +0x0 line+0x0"},
      {"member of a global structure", kQueryData + 0x134, "||origin_pt.y|origin_pt +0x0 line+0x0"},
      {"inside a member", kQueryData + 0x136, "||origin_pt.y|origin_pt +0x2 line+0x0"},
      {"bit field: the first member that begins at the byte", kQueryData + 0x139,
       "||origin_pt.flags|origin_pt +0x1 line+0x0"},
      {"union: every offset names its first member", kQueryData + 0x142, "||u.i|u +0x2 line+0x0"},
      {"element of a two-dimensional array", kQueryData + 0x60 + 16 + 8, "||matrix[1][2]|matrix +0x0 line+0x0"},
      {"element of an array of a module whose symbols wait: the global list names it", kQueryData + 0x2c,
       "||_table[3]|_table +0x0 line+0x0"},
      {"local on the frame of the procedure of the scope", kQueryFrame - 4, "MAIN|main|total| +0x0 line+0x0"},
      {"local of a procedure that does not hold the scope", kQueryFrame - 24, "status 335"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    EXPECT_EQ(AtAddress(row.m_address), row.m_expected);
  }
}

TEST_F(SymbolQueryTest, LinesOfAddresses) {
  struct Row {
    uint32_t m_address;
    const char* m_expected;
  };
  const Row rows[] = {
      {kQueryCode, "MAIN:#10 found start 0x00400000"},
      {kQueryCode + 0x16, "MAIN:#12 + 6 found start 0x00400010"},
      {kQueryCode + 0x26, "MAIN:#14 + 6 found start 0x00400020"},
      {kQueryCode + 0x74, "MAIN: + 116 start 0x00400074"},
      {kQueryCode + 0x84, "UTIL:#3 + 4 found start 0x00400080"},
      {0x00500000, "0x00500000 start 0x00500000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_expected);
    const AddressLineInfo info(MemoryAt(row.m_address), nullptr);
    EXPECT_EQ(std::string(LineInfoText(info).data()) + (info.IsFound() ? " found" : "") + " start " +
                  std::string(info.LineStart().Text().data()),
              row.m_expected);
  }
}

// Every address of the program's code, data and stack gives the same answer and leaves
// the same lookup entry with the indexes as with the walks of the Parts.
TEST_F(SymbolQueryTest, TheAddressIndexAnswersAsTheWalk) {
  std::vector<uint32_t> addresses;
  for (uint32_t a = kQueryCode - 4; a < kQueryCode + 0xC4; ++a) addresses.push_back(a);
  for (uint32_t a = kQueryData - 4; a < kQueryData + 0x1A0; ++a) addresses.push_back(a);
  for (uint32_t a = kQueryFrame - 0x20; a < kQueryFrame + 0x10; ++a) addresses.push_back(a);
  for (const uint32_t stop : {kQueryStop, kQueryCode + 0x44, kQueryCode + 0x90}) {
    StopAt(stop);
    for (const uint32_t address : addresses) {
      SCOPED_TRACE(Hex(address) + " stopped at " + Hex(stop));
      SymbolIndexes::SetEnabled(false);
      std::string walkedEntry;
      const std::string walked = AtAddress(address, &walkedEntry);
      SymbolIndexes::SetEnabled(true);
      std::string indexedEntry;
      EXPECT_EQ(AtAddress(address, &indexedEntry), walked);
      EXPECT_EQ(indexedEntry, walkedEntry);
    }
  }
}

TEST_F(SymbolQueryTest, ProcedurePathsAndLabels) {
  BracketedLookupScope bracket;
  RunPath(":MAIN.main");
  RWCString text("<");
  ProcedurePathText(CurrentEntry().m_scope.m_record, true, true, true, text);
  EXPECT_EQ(std::string(text.data()), "<.main.");
  text = RWCString();
  ProcedurePathText(RecordHandle(), true, true, true, text);
  EXPECT_EQ(std::string(text.data()), "");
  ProcedurePathText(RecordHandle(), false, true, false, text);
  EXPECT_EQ(std::string(text.data()), ".");

  AddressNames names;
  OrdinalValue distance;
  DVErrorCode status;
  FindNearestLabel(status, MemoryAt(kQueryCode + 0x2f), names, distance);
  EXPECT_EQ(std::string(names.m_label.data()), "retry");
  EXPECT_EQ(distance, 0xfu);
  FindNearestLabel(status, MemoryAt(kQueryCode + 0x10), names, distance);
  EXPECT_EQ(status.Number(), kMsgSymbolNotKnown);
}

}  // namespace
}  // namespace zentor::testing_support
