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

// Every rate of the list is kept; a value the option cannot take ends the program
// like a missing one, so that a mistyped rate never opens the line at another speed.
TEST(TmiSessionTest, OptionValuesReachTheSettingsOrFail) {
  struct Case {
    const char* name;
    const char* option;
    const char* value;
    uint32_t number;
    uint32_t baud;
    uint32_t viewSymbols;
  };
  const Case cases[] = {
      {"lowest listed rate", "-baud", "300", 0, 300, 0},
      {"highest listed rate", "-baud", "57600", 0, 57600, 0},
      {"rate between two listed", "-baud", "14400", 90, 0, 0},
      {"rate above the list", "-baud", "115200", 90, 0, 0},
      {"rate in hexadecimal", "-baud", "0x2580", 90, 0, 0},
      {"rate with a sign", "-baud", "+9600", 90, 0, 0},
      {"level", "-viewSymbols", "3", 0, 0, 3},
      {"level beyond 32 bits", "-viewSymbols", "4294967296", 90, 0, 0},
      {"level with a letter", "-viewSymbols", "2x", 90, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetTmiOptions();
    const char* slot[] = {c.option, c.value, nullptr};
    TargetStatus status;
    uint32_t result = 0;
    EXPECT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), c.number);
    EXPECT_EQ(result, 2u);
    EXPECT_EQ(TmiOptions().m_baudRate, c.baud);
    EXPECT_EQ(TmiOptions().m_viewSymbols, c.viewSymbols);
    if (c.number != 0) {
      EXPECT_EQ(status.m_severity, 6u);
      EXPECT_EQ(std::string(status.m_arguments[0]), c.option + 1);
    }
  }
  ResetTmiOptions();
  const char* port[] = {"-port", "com2", nullptr};
  TargetStatus status;
  uint32_t result = 0;
  TmiHandleOption(&status, 0, 0, port, &result);
  EXPECT_EQ(TmiLinkName(), "com2") << "the connect upper-cases the name, not the option";
  ResetTmiOptions();
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
