// The printf command's directive scanner and its output of long texts, driven
// through the value stack as the command's code drives it.
#include <gtest/gtest.h>

#include <string>

#include "command/printf_command.h"
#include "console/output_writer.h"
#include "core/dvp_types.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

TEST(PrintfCommandTest, DirectivesAreScannedUpToTheirConversion) {
  struct Case {
    const char* name;
    const char* format;
    const char* text;  // the first directive's text
    char conversion;
    bool star;
    char size;
  };
  const Case cases[] = {
      {"literal text before a directive", "a=%d b", "a=%d", 'd', false, 0},
      {"a doubled percent is literal", "100%% %x", "100%% %x", 'x', false, 0},
      {"a star width", "[%-*s]", "[%-*s", 's', true, 0},
      {"a size modifier", "%hf", "%hf", 'f', false, 'h'},
      {"a conversion letter outside a directive", "bdx %lu", "bdx %lu", 'u', false, 'l'},
      {"a backslash hides the next character", "\\%d%i", "\\%d%i", 'i', false, 0},
      {"no directive at all", "plain", "plain", 0, false, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::size_t position = 0;
    const PrintfDirective directive = ScanPrintfDirective(test.format, &position);
    EXPECT_EQ(directive.text, test.text);
    EXPECT_EQ(directive.conversion, test.conversion);
    EXPECT_EQ(directive.star, test.star);
    EXPECT_EQ(directive.sizeModifier, test.size);
    EXPECT_EQ(position, directive.text.size());
  }
}

// A literal as long as a string may be, then a string argument as long, then a wide
// star width: each is written whole.
TEST(PrintfCommandTest, LongTextsAndWideWidthsAreWrittenWhole) {
  ValueStack::Create();
  ValueStack::Reset();
  std::string output;
  OutputWriter::InstallHook([&output](char ch) { output += ch; });
  const std::string literal(248, 'L');
  const std::string format = literal + "%s|%*d";
  std::string counted(1, static_cast<char>(format.size()));
  counted += format;
  ValueStack::PushSized(kKindLString, static_cast<uint16_t>(counted.size()), counted.data());
  PrintfBegin();
  const std::string argument(254, 'S');
  ValueStack::PushSized(kKindNString, static_cast<uint16_t>(argument.size() + 1), argument.c_str());
  PrintfArgument();
  EXPECT_EQ(output, literal + argument);
  output.clear();
  const uint32_t width = 3000;
  ValueStack::PushSized(kKindOrd4, 4, &width);
  PrintfArgument();
  const uint32_t value = 7;
  ValueStack::PushSized(kKindOrd4, 4, &value);
  PrintfArgument();
  EXPECT_EQ(output, "|" + std::string(width - 1, ' ') + "7");
  OutputWriter::RemoveHook();
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

}  // namespace
}  // namespace zentor
