// The loaders' byte buffers against std::vector (random appends and reads, every read
// that would pass the end raising its error), names read from files whose lengths lie,
// the conversion of loader addresses, and the record builders as the loader library
// receives their records.

#include "symbols/loader_buffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "symbols/load_driver.h"
#include "symbols/loader_input_file.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_context_test_support.h"
#include "symbols/type_translation.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/viewpoint_manager.h"
#include "target/tmi_symbol_load.h"

namespace zentor {
namespace {

using testing_support::ErrorThrownBy;
using testing_support::ScratchTree;

TEST(ByteBufferTest, IndexResizeAndAssign) {
  ByteBuffer buffer(4);
  EXPECT_EQ(buffer.Capacity(), 4u);
  EXPECT_EQ(buffer.Length(), 0u);
  buffer[3] = 9;
  EXPECT_EQ(buffer[3], 9);
  struct Case {
    const char* name;
    std::function<void(ByteBuffer&)> body;
  } raising[] = {
      {"index at the capacity", [](ByteBuffer& b) { b[b.Capacity()] = 1; }},
      {"index far beyond", [](ByteBuffer& b) { b[0xFFFFFFFFu] = 1; }},
      {"const index at the capacity",
       [](ByteBuffer& b) { static_cast<void>(static_cast<const ByteBuffer&>(b)[b.Capacity()]); }},
      {"length beyond the capacity", [](ByteBuffer& b) { b.SetLength(b.Capacity() + 1); }},
  };
  for (const Case& c : raising) {
    SCOPED_TRACE(c.name);
    const DVError error = ErrorThrownBy([&] { c.body(buffer); });
    EXPECT_EQ(error.Number(), kMsgInvalidBufferIndex);
    EXPECT_EQ(error.Severity(), kSeverityInternal);
  }
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7};
  buffer.Assign(bytes, 7);
  EXPECT_EQ(buffer.Capacity(), 7u);
  EXPECT_EQ(buffer.Length(), 7u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.Data(), buffer.Data() + 7), std::vector<uint8_t>(bytes, bytes + 7));
  buffer.Resize(3);
  EXPECT_EQ(buffer.Length(), 3u);
  EXPECT_EQ(buffer[2], 3);
  buffer.Resize(10);
  EXPECT_EQ(buffer.Length(), 3u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[9], 0);
  ByteBuffer copy(buffer);
  copy[0] = 42;
  EXPECT_EQ(buffer[0], 1);
}

TEST(ByteBufferTest, WriterGrowsBy256AndKeepsItsBytes) {
  ByteWriter writer(256);
  for (int i = 0; i < 256; ++i) writer.Append(static_cast<uint8_t>(i));
  EXPECT_EQ(writer.Capacity(), 256u);
  writer.Append(0xEE);
  EXPECT_EQ(writer.Capacity(), 512u);
  EXPECT_EQ(writer.Length(), 257u);
  for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(writer[i], static_cast<uint8_t>(i));
  EXPECT_EQ(writer[256], 0xEE);

  const uint32_t seed = 4242;
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (uint32_t capacity : {0u, 1u, 3u, 256u, 300u}) {
    SCOPED_TRACE("capacity " + std::to_string(capacity));
    ByteWriter w(capacity);
    std::vector<uint8_t> reference;
    const uint32_t count = random() % 2000;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t byte = static_cast<uint8_t>(random());
      w.Append(byte);
      reference.push_back(byte);
      ASSERT_EQ(w.Length(), reference.size());
      ASSERT_GE(w.Capacity(), w.Length());
      ASSERT_LE(w.Capacity(), std::max<uint32_t>(capacity, w.Length() + ByteWriter::kGrowth));
    }
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Length()), reference);
    // Runs appended at once grow the writer as the single bytes did.
    ByteWriter runs(capacity);
    for (uint32_t at = 0; at < reference.size();) {
      const uint32_t run = std::min<uint32_t>(random() % 700, static_cast<uint32_t>(reference.size()) - at);
      runs.AppendBytes(reference.data() + at, run);
      at += run;
      ByteWriter steps(capacity);
      for (uint32_t i = 0; i < at; ++i) steps.Append(reference[i]);
      ASSERT_EQ(runs.Capacity(), steps.Capacity());
      ASSERT_EQ(std::vector<uint8_t>(runs.Data(), runs.Data() + runs.Length()),
                std::vector<uint8_t>(reference.begin(), reference.begin() + at));
    }
    w.Clear();
    EXPECT_EQ(w.Length(), 0u);
    w.Append(5);
    EXPECT_EQ(w[0], 5);
  }
}

TEST(ByteBufferTest, ReaderAgainstAVector) {
  const uint32_t seed = 99;
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<uint8_t> bytes(random() % 40);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    ByteReader reader(bytes.data(), static_cast<uint32_t>(bytes.size()));
    size_t at = 0;
    for (int step = 0; step < 30; ++step) {
      const uint32_t op = random() % 6;
      const uint32_t skip = random() % 6;
      const size_t need = op == 0 || op == 3 ? 1 : op == 1 ? 2 : op == 2 ? 4 : skip;
      const size_t left = bytes.size() - at;
      ASSERT_EQ(reader.Remaining(), left);
      if (need > left) {
        const DVError error = ErrorThrownBy([&] {
          if (op == 0) reader.ReadByte();
          if (op == 1) reader.ReadU16();
          if (op == 2) reader.ReadU32();
          if (op == 3) reader.Peek();
          if (op == 4) reader.Skip(skip);
          if (op == 5) {
            uint8_t out[8];
            reader.ReadBytes(out, skip);
          }
        });
        ASSERT_EQ(error.Number(), kMsgInvalidDequeueIndex);
        ASSERT_EQ(reader.Remaining(), left) << "a refused read moved the reader";
        continue;
      }
      uint32_t expected = 0;
      for (size_t i = (op == 4 || op == 5) ? 0 : need; i > 0; --i) expected = (expected << 8) | bytes[at + i - 1];
      switch (op) {
        case 0:
          ASSERT_EQ(reader.ReadByte(), expected);
          break;
        case 1:
          ASSERT_EQ(reader.ReadU16(), expected);
          break;
        case 2:
          ASSERT_EQ(reader.ReadU32(), expected);
          break;
        case 3:
          ASSERT_EQ(reader.Peek(), expected);
          continue;  // a peek takes nothing
        case 4:
          reader.Skip(skip);
          break;
        case 5: {
          uint8_t out[8] = {};
          reader.ReadBytes(out, skip);
          const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(at);
          ASSERT_EQ(std::vector<uint8_t>(out, out + skip), std::vector<uint8_t>(from, from + skip));
          break;
        }
      }
      at += need;
    }
  }
  // The design's example: a u16 with one byte left.
  const uint8_t one[] = {7};
  ByteReader last(one, 1);
  EXPECT_EQ(ErrorThrownBy([&] { last.ReadU16(); }).Number(), kMsgInvalidDequeueIndex);
  EXPECT_EQ(last.ReadByte(), 7);
}

TEST(ByteBufferTest, LengthsReadFromAFileAreChecked) {
  ScratchTree tree;
  const std::string path = tree.Write("names.bin", std::string("\x05hello__x\0yz", 12));
  struct Case {
    const char* name;
    uint32_t at;
    uint32_t length;
    bool read;
    const char* expected;
  } cases[] = {
      {"whole name", 1, 5, true, "hello"},
      {"empty name", 1, 0, true, ""},
      {"to the end", 6, 6, true, "__x"},  // the NUL inside ends the C string
      {"one byte too many", 6, 7, false, ""},
      {"a length no file has", 0, 0xFFFFFFF0u, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoaderInputFile file;
    ASSERT_EQ(file.Open(path.c_str()), 1u);
    file.Seek(c.at, LoaderInputFile::kFromStart);
    NamePart name;
    EXPECT_EQ(name.ReadName(file, c.length), c.read);
    EXPECT_EQ(file.IsGood(), c.read);
    EXPECT_STREQ(name.Name(), c.expected);

    file.SetGood();
    file.Seek(c.at, LoaderInputFile::kFromStart);
    ByteReader reader;
    EXPECT_EQ(reader.Fill(file, c.length), c.read);
    EXPECT_EQ(reader.Remaining(), c.read ? c.length : 0u);
    if (c.read && c.length > 0) {
      EXPECT_EQ(reader.ReadByte(), static_cast<uint8_t>(c.length == 5 ? 'h' : '_'));
    }
  }
}

TEST(ByteBufferTest, LeadingUnderscores) {
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {{"__main", "main"}, {"_x_y_", "x_y_"}, {"plain", "plain"}, {"___", ""}, {"", ""}, {"a__", "a__"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NamePart name;
    name.SetName(c.name);
    name.StripLeadingUnderscores();
    EXPECT_STREQ(name.Name(), c.expected);
    EXPECT_EQ(name.NameLength(), std::string(c.expected).size());
  }
}

TEST(LoaderAddressTest, ConversionToTargetAddresses) {
  struct Case {
    const char* name;
    std::optional<LoaderAddress> address;  // none: no loader address at all
    uint16_t nullMark;
    uint32_t addressClass;
    uint16_t kind;
    uint32_t segment;
  } cases[] = {
      {"memory", LoaderAddress::Memory(0x12345678), 0, kAddressClassMemory, kAddressKindMemoryOffset, 0},
      {"register", LoaderAddress::Register(17), 0, kAddressClassRegister, kAddressKindRegisterNumber, 0},
      {"memory with a segment word", LoaderAddress{kLoaderAddressMemory, 0, 0x10008, 0x10}, 0, kAddressClassMemory,
       kAddressKindMemoryOffset, 0x10008},
      {"the top offset with a segment word", LoaderAddress{kLoaderAddressMemory, 0, 0x10, 0xFFFFFFFFu}, 0,
       kAddressClassMemory, kAddressKindMemoryOffset, 0x10},
      {"no address", LoaderAddress::Memory(0xFFFFFFFFu), 1, kAddressClassMemory, kAddressKindMemoryOffset, 0},
      {"a missing address", std::nullopt, 1, kAddressClassMemory, kAddressKindMemoryOffset, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetStatus status;
    TargetAddressRecord record;
    record.m_offset = 0xDEAD;
    EXPECT_EQ(TmiAddressFromLoader(&status, c.address ? &*c.address : nullptr, &record), 0u);
    EXPECT_EQ(status.m_number, 0u);
    EXPECT_EQ(record.m_nullMark, c.nullMark);
    EXPECT_EQ(record.m_addressClass, c.addressClass);
    EXPECT_EQ(record.m_addressKind, c.kind);
    EXPECT_EQ(record.m_reserved2, c.segment);
    LoaderAddress back;
    TmiAddressToLoader(&record, &back);
    const LoaderAddress expected = c.address.value_or(LoaderAddress::Memory(0xFFFFFFFFu));
    EXPECT_EQ(back.m_kind, expected.m_kind);
    EXPECT_EQ(back.m_segment, expected.m_segment);
    EXPECT_EQ(back.m_offset, expected.m_offset);
  }
  // A kind the target has no addresses of is its internal error.
  const LoaderAddress odd{2, 0, 0, 0x10};
  TargetStatus status;
  TargetAddressRecord record;
  EXPECT_EQ(ErrorThrownBy([&] { TmiAddressFromLoader(&status, &odd, &record); }).Number(), 1u);
}

// A GUI that counts the busy pumps.
class PumpCounter : public GuiShell {
 public:
  int32_t Request(uint32_t code) override {
    if (code == kGuiPumpWhileBusy) ++m_pumps;
    return 0;
  }
  int m_pumps = 0;
};

class RecordBuilderTest : public ::testing::Test {
 protected:
  static constexpr ViewpointHandle kViewpoint{0x10AD0B01u};

  void SetUp() override {
    ViewpointManager::AddViewpoint(kViewpoint);
    SetBaseViewpoint(kViewpoint);
    ResetSymbolLoad();
    BeginProgram(kLoaderFormat20);
    SetDeferredCallbacks(&LoadOnDemandModule, nullptr);
  }
  void TearDown() override {
    SymbolContext* context = ViewpointManager::SymbolContextOf(kViewpoint);
    ViewpointManager::SetCurrentSymbolContext(nullptr);
    if (context != GetDefaultSymbolContext()) delete context;
    ViewpointManager::RemoveViewpoint(kViewpoint);
    SetBaseViewpoint(ViewpointHandle::None());
  }

  ModuleDescriptor* WriteModule(const char* name, uint32_t index, uint32_t deferred) {
    ModuleBuilder module;
    module.SetName(name);
    module.SetModuleIndex(index);
    module.SetAddress(0x4000);
    module.SetSize(0x80);
    module.SetLanguage(0);
    module.SetAttribute(1);
    module.SetDeferred(deferred);
    EXPECT_EQ(module.Write(), 0u);
    return CurrentLoaderState().CurrentModule();
  }
};

TEST_F(RecordBuilderTest, ModuleRecords) {
  ModuleBuilder defaults;
  EXPECT_EQ(defaults.Language(), 4);
  EXPECT_EQ(defaults.Attribute(), 0);
  EXPECT_EQ(defaults.Deferred(), 1u);
  EXPECT_EQ(defaults.ModuleIndex(), 0u);

  struct Case {
    const char* name;
    uint32_t index;
    uint32_t deferred;
    bool token;
    uint32_t tokenValue;
  } cases[] = {
      {"not deferred: only the module", 3, 0, false, 0},
      {"deferred without a loadable: no slot", 3, 1, true, 0xFF000003u},
      {"an index the handle cannot carry", 0x01000000u, 1, true, 0xFF000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModuleDescriptor* module = WriteModule(c.name, c.index, c.deferred);
    ASSERT_NE(module, nullptr);
    EXPECT_STREQ(module->NameText().data(), c.name);
    EXPECT_EQ(module->Language(), 0);
    EXPECT_EQ(module->Attribute(), 1);
    EXPECT_EQ(module->HasDeferredToken(), c.token);
    if (!c.token) continue;
    EXPECT_EQ(module->DeferredToken().Value(), c.tokenValue);
    ASSERT_FALSE(module->Start().IsNull());
    EXPECT_STREQ(module->Start().Text().data(), "0x00004000");
    EXPECT_EQ(module->Extent(), OrdinalValue(0x7Fu));
  }
}

TEST_F(RecordBuilderTest, ScopesSymbolsAndLines) {
  ModuleDescriptor* module = WriteModule("M", 1, 0);
  ASSERT_NE(module, nullptr);

  ProcedureBuilder procedure;
  procedure.SetName("proc");
  procedure.SetAddress(0x4010);
  procedure.SetSize(0x20);
  procedure.SetType(5);
  procedure.SetAttribute(3);
  procedure.SetSecondValue(4);
  const uint32_t moduleScope = CurrentLoaderState().CurrentScope().Value();
  EXPECT_EQ(procedure.Write(), 0u);
  const uint32_t procedureScope = CurrentLoaderState().CurrentScope().Value();
  EXPECT_NE(procedureScope, moduleScope);
  BlockBuilder block;
  block.SetAddress(0x4018);
  block.SetSize(4);
  EXPECT_EQ(block.Write(), 0u);
  EXPECT_NE(CurrentLoaderState().CurrentScope().Value(), procedureScope);

  SymbolBuilder local;
  local.SetName("i");
  local.SetStorageClass(kStorageFrameRelative);
  local.SetAddress(LoaderAddress::Memory(static_cast<uint32_t>(-8)));
  EXPECT_EQ(local.Write(), 0u);
  SymbolBuilder inRegister;
  inRegister.SetName("r");
  inRegister.SetStorageClass(kStorageInRegister);
  inRegister.SetAddress(LoaderAddress::Register(16));
  EXPECT_EQ(inRegister.Write(), 0u);

  EndScopeBuilder end;
  EXPECT_EQ(end.Write(), 0u);
  EXPECT_EQ(CurrentLoaderState().CurrentScope().Value(), procedureScope);
  EXPECT_EQ(end.Write(), 0u);
  EXPECT_EQ(CurrentLoaderState().CurrentScope().Value(), moduleScope);
  // One end too many is the library's internal error.
  EXPECT_EQ(ErrorThrownBy([&] { end.Write(); }).Number(), 1u);

  // A storage class that is no storage flag, and an address the target refuses.
  SymbolBuilder odd;
  odd.SetName("odd");
  odd.SetStorageClass(0x101);
  EXPECT_EQ(ErrorThrownBy([&] { odd.Write(); }).Number(), 1u);
  GlobalSymbolBuilder global;
  global.SetName("g");
  global.SetAddress(LoaderAddress{7, 0, 0, 0});
  EXPECT_EQ(ErrorThrownBy([&] { global.Write(); }).Number(), 1u);
  global.SetAddress(0x9000);
  EXPECT_EQ(global.Write(), 0u);

  // Lines: begin and end of file are ignored; line 0 is code without a line.
  struct Line {
    const char* name;
    uint8_t skip;
    uint32_t line;
    uint32_t offset;
    uint32_t added;
  } lines[] = {
      {"begin of file", kLineBeginOfFile, 1, 0xFFFFFFFFu, 0},
      {"a line", kLineSkipNone, 7, 0x10, 1},
      {"line 0", kLineSkipNone, 0, 0x14, 0},
      {"end of file", kLineEndOfFile, 1, 0xFFFFFFFFu, 0},
  };
  for (const Line& l : lines) {
    SCOPED_TRACE(l.name);
    const uint32_t before = module->Lines().Count();
    LineBuilder line;
    line.SetFileName("src\\m.c");
    line.SetSkipFlag(l.skip);
    line.SetLine(l.line);
    line.SetOffset(l.offset);
    EXPECT_EQ(line.Write(), 0u);
    EXPECT_EQ(module->Lines().Count(), before + l.added);
  }
  EXPECT_EQ(module->HighestLine(), 7u);
}

TEST_F(RecordBuilderTest, TypeDescriptions) {
  PumpCounter gui;
  const bool wasConsole = IsConsoleMode();
  SetConsoleMode(false);
  InstallGuiShell(&gui);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int null;  // 1 the null type, 0 another, -1 whatever the parser makes of it
    int pumps;
  } cases[] = {
      {"the null type", {kLeafNone}, 1, 0},
      {"a 32-bit signed scalar", {0x7B, 0x20, 0x7D}, 0, 0},
      {"99 bytes", std::vector<uint8_t>(99, kLeafNone), -1, 0},
      {"100 bytes", std::vector<uint8_t>(100, kLeafNone), -1, 1},
      {"250 bytes", std::vector<uint8_t>(250, kLeafNone), -1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gui.m_pumps = 0;
    TypeDescriptionBuilder builder;
    for (uint8_t byte : c.bytes) builder.Append(byte);
    const uint32_t before = TypeCount();
    EXPECT_EQ(builder.Write(), 0u);
    EXPECT_EQ(TypeCount(), before + 1);
    EXPECT_EQ(builder.DefinedIndex(), before + 1);
    const uint32_t category = GetTypeEntryRaw(builder.DefinedIndex()).Category();
    if (c.null == 1) {
      EXPECT_EQ(category, static_cast<uint32_t>(kTypeNull));
    }
    if (c.null == 0) {
      EXPECT_NE(category, static_cast<uint32_t>(kTypeNull));
    }
    EXPECT_EQ(gui.m_pumps, c.pumps);
  }
  InstallGuiShell(nullptr);
  SetConsoleMode(wasConsole);
}

}  // namespace
}  // namespace zentor
