// The listing of the DEMO sample module's code with its symbol file loaded at the
// module's link bases: the module labels and the line numbers come from the real
// CodeView loader, the code from the module's image.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "code_sections/code_sections.h"
#include "core/target_memory.h"
#include "core/value_test_support.h"
#include "cv_load_test_support.h"
#include "engine/disassembly_listing.h"
#include "target/disassembler.h"

namespace zentor {
namespace {

constexpr uint32_t kDemoCode = 0x00100000;
constexpr uint32_t kDemoData = 0x00110000;

std::string SamplePath(const std::string& name) { return (std::filesystem::path(ZENTOR_SAMPLES_DIR) / name).string(); }

class SampleListingTest : public testing_support::CvLoadTest {
 protected:
  void SetUp() override {
    CvLoadTest::SetUp();
    TargetMemory::InstallService(&m_memory);
    Disassembler::Instance().Window().Forget();
  }
  void TearDown() override {
    TargetMemory::InstallService(nullptr);
    CvLoadTest::TearDown();
  }

  testing_support::ByteImageTargetMemory m_memory;
};

// DEMO_MAIN's code and the start of DEMO_CALC: ":" and the module's name where the
// module changes, " #" and the line before each instruction that starts a line.
TEST_F(SampleListingTest, DemoModulesWithTheirLines) {
  const testing_support::CvLoadOutcome outcome = Load(SamplePath("DEMO.SYM"), kDemoCode, kDemoData);
  ASSERT_EQ(outcome.m_raised, 0u);
  ASSERT_EQ(ForceDeferredModules(), 0u);
  for (const tools::CodeSection& section : tools::ReadCodeSectionsOfFile(SamplePath("demo.elf"))) {
    m_memory.Map(section.m_address, section.m_bytes);
  }
  SetDisassemblyListForm(kListFormBytes);
  ListDisassembly(AddressRange::FromLength(TypedLocation(testing_support::MemoryAt(kDemoCode)), OrdinalValue(0x130)),
                  1);
  EXPECT_TRUE(testing_support::MatchesGolden(
      std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "engine" / "demo_listing.golden", TakeOutput()));
}

}  // namespace
}  // namespace zentor
