#pragma once
// The set-up of the source pane tests over modules loaded into the symbol tables: a
// byte image as the target's memory, the recording engine behind the pane, a program
// counter the test moves with each stop, and one Source window of kRows rows. The
// tests over the DEMO sample and over the generated listings derive from it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "command/action_table.h"
#include "core/program_counter.h"
#include "core/target_memory.h"
#include "core/value_test_support.h"
#include "cv_load_test_support.h"
#include "source_pane_test_support.h"
#include "symbols/symbol_context.h"
#include "target/disassembler.h"

namespace zentor::testing_support {

class SourcePaneFixture : public CvLoadTest {
 protected:
  static constexpr int32_t kRows = 12;

  void SetUp() override {
    CvLoadTest::SetUp();
    TargetMemory::InstallService(&m_memory);
    Disassembler::Instance().Window().Forget();
    SourceEngine().Install(&m_engine);
    ProgramCounterRegister::InstallReader(&ReadProgramCounter);
  }
  void TearDown() override {
    ActionTable::ResetToDefaults();
    m_window.Close();
    ProgramCounterRegister::InstallReader(nullptr);
    SourceEngine().Install(nullptr);
    TargetMemory::InstallService(nullptr);
    CvLoadTest::TearDown();
  }

  // A stop at the address: the program counter and the context's location.
  static void StopAtAddress(uint32_t address) {
    s_programCounter = address;
    GetCurrentSymbolContext()->SetCurrentAddress(MemoryAt(address));
  }
  static std::filesystem::path Golden(const std::string& name) {
    return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "engine" / "source_pane" / name;
  }

  ByteImageTargetMemory m_memory;
  RecordingEngine m_engine;
  SourceWindow m_window{kRows};

 private:
  static AddressDescriptor ReadProgramCounter() { return MemoryAt(s_programCounter); }
  static inline uint32_t s_programCounter = 0;
};

}  // namespace zentor::testing_support
