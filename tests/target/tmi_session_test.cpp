#include "target/tmi_session.h"

#include <gtest/gtest.h>

#include <string>

namespace zentor {
namespace {

TEST(TmiSessionTest, OptionsNeedingValuesAndUnknownOptions) {
  struct Case {
    const char* name;
    const char* option;
    const char* next;  // null: the option is the last argument
    uint32_t result;
    uint32_t number;
  };
  const Case cases[] = {
      {"unknown", "-fast", "x", 0, 0},
      {"alone", "-unicode", nullptr, 1, 0},
      {"slash sign", "/eval", "-ip", 1, 0},
      {"with value", "-baud", "9600", 2, 0},
      {"case-sensitive", "-viewsymbols", "2", 0, 0},
      {"value missing", "-port", nullptr, 1, 90},
      {"empty value", "-ip", "", 1, 90},
      {"value is another option", "-viewSymbols", "-unicode", 1, 90},
      {"value with slash", "-baud", "/eval", 1, 90},
      {"empty argument", "", "x", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* slot[] = {c.option, c.next, nullptr};
    TargetStatus status;
    uint32_t result = 99;
    EXPECT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), c.number);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(status.m_number, c.number);
    if (c.number == 90) {
      EXPECT_EQ(status.m_severity, 6u);
      ASSERT_EQ(status.m_argumentCount, 1u);
      // The message reads "<-%s>": the argument is the name without its sign.
      EXPECT_EQ(std::string(status.m_arguments[0]), c.option + 1);
    }
  }
}

TEST(TmiSessionTest, OptionValuesReachTheSettings) {
  struct Case {
    const char* name;
    const char* option;
    const char* value;
    uint32_t baud;
  };
  const Case cases[] = {{"listed rate", "-baud", "19200", 19200}, {"unlisted rate means default", "-baud", "115200", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* slot[] = {c.option, c.value, nullptr};
    TargetStatus status;
    uint32_t result = 0;
    TmiHandleOption(&status, 0, 0, slot, &result);
    EXPECT_EQ(TmiOptions().m_baudRate, c.baud);
  }
  const char* port[] = {"-port", "com2", nullptr};
  TargetStatus status;
  uint32_t result = 0;
  TmiHandleOption(&status, 0, 0, port, &result);
  EXPECT_STREQ(TmiOptions().m_linkName, "com2");
}

TEST(TmiSessionTest, DescriptionTypeTableEndsWithId28) {
  TargetStatus status;
  TargetDescription description;
  EXPECT_EQ(TmiGetTargetDescription(&status, 0, &description), 0u);
  ASSERT_NE(description.m_versionBlock, nullptr);
  EXPECT_STREQ(description.m_versionBlock->m_productName, "Zentor");
  EXPECT_EQ(description.m_versionBlock->m_printBanner, 0u);
  int rows = 0;
  const TargetTypeRow* row = description.m_typeTable;
  for (; row->m_typeId != kTargetTypeTableEnd; ++row) ++rows;
  EXPECT_EQ(rows, 9);
  EXPECT_STREQ(description.m_typeTable[1].m_name, "pointer");
  EXPECT_EQ(description.m_typeTable[1].m_size, 4u);
  EXPECT_STREQ(description.m_typeTable[8].m_name, "register");
}

}  // namespace
}  // namespace zentor
