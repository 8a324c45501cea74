// The disassembly listing: its two range forms, the module and line labels, the
// packed lines of the source pane, the end of a listing at unreadable code, and the
// "asm" command run through the command language.

#include "engine/disassembly_listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/grammar_object.h"
#include "core/value_stack.h"
#include "core/core_test_support.h"
#include "core/current_viewpoint.h"
#include "core/target_memory.h"
#include "core/value_test_support.h"
#include "symbols/symbol_context.h"
#include "target/disassembler.h"

namespace zentor {
namespace {

using testing_support::ByteImageTargetMemory;
using testing_support::MemoryAt;

// A loaded program of scripted modules with their line starts, answering the symbol
// context's questions the listing asks.
struct ScriptedModule {
  std::string m_name;
  uint32_t m_start;
  uint32_t m_end;
  std::vector<std::pair<uint32_t, uint16_t>> m_lineStarts;  // address, line; sorted
};

std::vector<ScriptedModule> g_modules;

class ScriptedProgram : public LoaderStateBase {
 public:
  static std::unique_ptr<LoaderStateBase> Make() { return std::make_unique<ScriptedProgram>(); }
  static const ScriptedModule& Of(const ModuleDescriptor& module) {
    return *reinterpret_cast<const ScriptedModule*>(&module);
  }
  ModuleDescriptor* ModuleAtAddress(SymbolContext&, const AddressDescriptor& address, DVErrorCode&) override {
    for (ScriptedModule& module : g_modules) {
      if (address.Offset() >= module.m_start && address.Offset() <= module.m_end) {
        return reinterpret_cast<ModuleDescriptor*>(&module);
      }
    }
    return nullptr;
  }
  RWCString ModuleName(const ModuleDescriptor& module) const override { return Of(module).m_name.c_str(); }
  void LineAt(ModuleDescriptor& module, const AddressDescriptor& address, OptionalLine& line,
              OrdinalValue& offset) const override {
    line = OptionalLine();
    for (const auto& [start, number] : Of(module).m_lineStarts) {
      if (start > address.Offset()) break;
      line = OptionalLine::Valid(number);
      offset = OrdinalValue(address.Offset() - start);
    }
  }
};

class DisassemblyListingTest : public testing_support::CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    TargetMemory::InstallService(&m_memory);
    Disassembler::Instance().Window().Forget();
    ValueStack::Create();
    ValueStack::Reset();
    BindDisassemblyActions();
    SetDisassemblyListForm(kListFormBytes);
    g_modules.clear();
    const LoaderStateFactory previous = InstalledLoaderStateFactory();
    SetLoaderStateFactory(&ScriptedProgram::Make);
    m_context = SymbolContext::CreateForViewpoint();
    SetLoaderStateFactory(previous);
    AddViewpoint(7);
    PushViewpoint(ViewpointHandle(7));
    SetCurrentSymbolContext_Checked(m_context.get());
  }
  void TearDown() override {
    ResetViewpointStack();
    m_context.reset();
    g_modules.clear();
    ActionTable::ResetToDefaults();
    ValueStack::Reset();
    TargetMemory::InstallService(nullptr);
    CoreTestEnvironment::TearDown();
  }

  // The output lines, the line ends taken off.
  std::vector<std::string> OutputLines() {
    std::vector<std::string> lines;
    std::string output = TakeOutput();
    size_t start = 0;
    for (size_t end; (end = output.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(output.substr(start, end - start));
    }
    if (start < output.size()) lines.push_back(output.substr(start));
    return lines;
  }

  // Lists `length` bytes or instructions (by the form) from `address`.
  void List(uint32_t address, uint32_t length, uint32_t form) {
    SetDisassemblyListForm(form);
    ListDisassembly(AddressRange::FromLength(TypedLocation(MemoryAt(address)), OrdinalValue(length)), 1);
  }

  ByteImageTargetMemory m_memory;
  std::unique_ptr<SymbolContext> m_context;
};

// An instruction line of the listing.
std::string At(uint32_t address, const std::string& bytes, const std::string& text) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "0x%08x  ", address);
  return prefix + bytes + std::string(24 - bytes.size(), ' ') + text;
}

const std::vector<uint8_t> kCode = {0x90, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x8B, 0x45, 0xF8, 0xC3};
const std::string kNop = "nop       ";
const std::string kCall = "call      $+00000005 ;a=00001006";

TEST_F(DisassemblyListingTest, LengthCountsBytesOrInstructions) {
  m_memory.Map(0x1000, kCode);
  struct Case {
    const char* name;
    uint32_t address;
    uint32_t length;
    uint32_t form;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"three instructions", 0x1000, 3, kListFormCount,
       {At(0x1000, "90", kNop), At(0x1001, "e800000000", kCall),
        At(0x1006, "8b45f8", "mov       eax,dword ptr [ebp]-08")}},
      {"one byte lists one instruction whatever its length", 0x1001, 1, kListFormBytes,
       {At(0x1001, "e800000000", kCall)}},
      {"the last instruction crosses the end and is listed whole", 0x1000, 3, kListFormBytes,
       {At(0x1000, "90", kNop), At(0x1001, "e800000000", kCall)}},
      {"bytes up to the end exactly", 0x1000, 6, kListFormBytes,
       {At(0x1000, "90", kNop), At(0x1001, "e800000000", kCall)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    List(c.address, c.length, c.form);
    EXPECT_EQ(OutputLines(), c.lines);
  }
}

TEST_F(DisassemblyListingTest, ModuleAndLineLabelsWhereTheyChange) {
  std::vector<uint8_t> code(0x20, 0x90);
  m_memory.Map(0x0FFE, code);
  g_modules = {{"main", 0x1000, 0x1007, {{0x1000, 10}, {0x1003, 11}}}, {"util", 0x1008, 0x10FF, {{0x100A, 4}}}};
  List(0x0FFF, 12, kListFormCount);
  const std::vector<std::string> expected = {
      At(0x0FFF, "90", kNop),  ":main #10",           At(0x1000, "90", kNop), At(0x1001, "90", kNop),
      At(0x1002, "90", kNop),  " #11",                At(0x1003, "90", kNop), At(0x1004, "90", kNop),
      At(0x1005, "90", kNop),  At(0x1006, "90", kNop), At(0x1007, "90", kNop), ":util",
      At(0x1008, "90", kNop),  At(0x1009, "90", kNop), " #4",                  At(0x100A, "90", kNop),
  };
  EXPECT_EQ(OutputLines(), expected);
}

TEST_F(DisassemblyListingTest, UnreadableCodeEndsTheListingAfterWhatWasListed) {
  m_memory.Map(0x1000, {0x90, 0x90, 0x8B});
  const DVError error = testing_support::ErrorThrownBy([&] { List(0x1000, 5, kListFormCount); });
  EXPECT_EQ(error.Number(), kMemoryReadFailed);
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{At(0x1000, "90", kNop), At(0x1001, "90", kNop)}));
}

// A target whose failed reads are only warnings: the warning is reported, and the
// listing, which would never move on, ends with an error.
TEST_F(DisassemblyListingTest, AReadOfNothingEndsTheListing) {
  class WarningMemory final : public TargetMemoryService {
   public:
    OrdinalValue ReadValue(void*, uint32_t, const AddressRange&, uint32_t) override {
      throw DVError(kMemoryReadFailed, kSeverityWarning, kDisplayByFocus);
    }
    AddressDescriptor ResolveIndirection(const TypedLocation&, const DVPTypeInfo&, uint32_t) override {
      return AddressDescriptor();
    }
    void PushRegisterValue(uint32_t) override {}
  } warning;
  TargetMemory::InstallService(&warning);
  const DVError error = testing_support::ErrorThrownBy([&] { List(0x1000, 5, kListFormCount); });
  EXPECT_EQ(error.Number(), kMemoryReadFailed);
  EXPECT_EQ(error.Severity(), kSeverityError);
  EXPECT_EQ(LastError().Severity(), kSeverityWarning);
  TargetMemory::InstallService(&m_memory);
}

TEST_F(DisassemblyListingTest, PackedLinesForTheSourcePane) {
  m_memory.Map(0x1000, kCode);
  const std::string first = At(0x1000, "90", kNop);
  const std::string second = At(0x1001, "e800000000", kCall);
  std::vector<uint8_t> buffer(200, 0xEE);
  EXPECT_EQ(DisassembleIntoBuffer(MemoryAt(0x1000), 6, {buffer.data(), 200}), 2);
  std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), first.begin(), first.end());
  expected.push_back(0);
  expected.insert(expected.end(), {1, 0, 0, 0, 0, 0, 0, 0});
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(0);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + expected.size()), expected);
  EXPECT_EQ(buffer[expected.size()], 0xEE);

  // The first record needs 8 + its text + 1 bytes.
  const uint16_t firstRecord = static_cast<uint16_t>(8 + first.size() + 1);
  EXPECT_EQ(DisassembleIntoBuffer(MemoryAt(0x1000), 6, {buffer.data(), static_cast<uint16_t>(firstRecord - 1)}), 0);
  EXPECT_EQ(DisassembleIntoBuffer(MemoryAt(0x1000), 6, {buffer.data(), static_cast<uint16_t>(firstRecord + 20)}), -1);
}

TEST_F(DisassemblyListingTest, AsmCommand) {
  m_memory.Map(0x1000, kCode);
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"asm 0x1001", {At(0x1001, "e800000000", kCall)}},
      {"asm 0x1000 to 0x1002", {At(0x1000, "90", kNop), At(0x1001, "e800000000", kCall)}},
      {"asm 0x1006 to 0x1009", {At(0x1006, "8b45f8", "mov       eax,dword ptr [ebp]-08"), At(0x1009, "c3", "ret       near")}},
      {"asm 0x1000 length 2", {At(0x1000, "90", kNop), At(0x1001, "e800000000", kCall)}},
      {"asm 0x1001 2", {At(0x1001, "e800000000", kCall), At(0x1006, "8b45f8", "mov       eax,dword ptr [ebp]-08")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize];
    DVError error;
    EXPECT_TRUE(ExecuteTextInto(c.text, kProductionCommand, &kind, value, &error).IsOkay()) << error.Number();
    EXPECT_EQ(OutputLines(), c.lines);
  }
  // A start address after the end.
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  DVError error;
  EXPECT_EQ(ExecuteTextInto("asm 0x1004 to 0x1000", kProductionCommand, &kind, value, &error).Number(),
            kFirstAddressGreater);
  // A length must be a number.
  EXPECT_EQ(ExecuteTextInto("asm 0x1000 length \"ab\"", kProductionCommand, &kind, value, &error).Number(), 77u);
  EXPECT_TRUE(OutputLines().empty());
}

}  // namespace
}  // namespace zentor
