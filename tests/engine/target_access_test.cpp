// The engine's access to the target through the recording double: string reads and
// scans with their limits, partial reads, pointer chains, register records, and the
// call-stack walk along saved frame pointers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/address_range.h"
#include "core/core_test_support.h"
#include "core/frame_list.h"
#include "core/program_counter.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_test_support.h"
#include "engine/frame_walk.h"
#include "engine/register_access.h"
#include "engine/target_memory_access.h"
#include "recording_target.h"
#include "target/register_tables.h"

namespace zentor {
namespace {

using testing_support::ErrorThrownBy;
using testing_support::MemoryAt;
using testing_support::RecordingTarget;

constexpr uint32_t kViewpoint = 7;

class TargetAccessTest : public testing_support::CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    InstallEngineTarget(&m_target);
    InstallTargetMemoryAccess();
    InstallFrameWalk();
    AddViewpoint(kViewpoint);
    PushViewpoint(ViewpointHandle(kViewpoint));
  }
  void TearDown() override {
    ResetViewpointStack();
    InstallEngineTarget(nullptr);
    CoreTestEnvironment::TearDown();
  }

  static TypedLocation StringAt(uint32_t address, uint16_t type) {
    return TypedLocation(MemoryAt(address), DVPTypeInfo::FromCode(type), OrdinalValue(1), OrdinalValue(1));
  }

  RecordingTarget m_target;
};

std::vector<uint8_t> Characters(uint32_t count, uint8_t fill, uint8_t end) {
  std::vector<uint8_t> bytes(count, fill);
  bytes.push_back(end);
  return bytes;
}

// Each case maps one string at 0x1000 and reads it as the string type says.
TEST_F(TargetAccessTest, StringReadsKeepTheirLimits) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint16_t type;
    int32_t length;          // what StringLength answers
    uint32_t bytesRead;      // what ReadValue places (0: it raises)
    uint32_t raised;         // message ReadValue raises
  };
  std::vector<uint8_t> counted254(255, 'b');
  counted254[0] = 254;
  std::vector<uint8_t> counted255(256, 'b');
  counted255[0] = 255;
  std::vector<uint8_t> wide;
  for (char ch : std::string("wide")) {
    wide.push_back(static_cast<uint8_t>(ch));
    wide.push_back(0);
  }
  wide.push_back(0x80);
  wide.push_back(0);
  const Case cases[] = {
      {"300 characters give 256", Characters(300, 'a', 0), kKindNString, 256, 257, 0},
      {"a byte above 0x7F ends", {'a', 'b', 0x80, 'c', 0}, kKindNString, 2, 3, 0},
      {"empty", {0}, kKindNString, 0, 1, 0},
      {"length byte 254", counted254, kKindLString, 254, 255, 0},
      {"length byte 255", counted255, kKindLString, 255, 0, kStringTooLong},
      {"wide characters to one above 0x7F", wide, kKindWideString, 4, 0, 0},
      // Memory ends 5 bytes after the string's end: the 32-byte pieces cannot be read
      // whole, the characters one by one can.
      {"a string just before unmapped memory", Characters(40, 'z', 0), kKindNString, 40, 41, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    m_target = RecordingTarget();
    m_target.Map(0x1000, test.bytes);
    const TypedLocation at = StringAt(0x1000, test.type);
    EXPECT_EQ(static_cast<int32_t>(TargetMemory::StringLength(at)), test.length);
    if (test.type == kKindWideString) continue;
    uint8_t buffer[600] = {};
    OrdinalValue read;
    const AddressRange range = AddressRange::FromLength(at, OrdinalValue::One);
    if (test.raised != 0) {
      EXPECT_EQ(ErrorThrownBy([&] { TargetMemory::ReadValue(&read, buffer, sizeof buffer, range, 0); }).Number(),
                test.raised);
      continue;
    }
    TargetMemory::ReadValue(&read, buffer, sizeof buffer, range, 0);
    EXPECT_EQ(read, OrdinalValue(test.bytesRead));
    if (test.type == kKindNString) {
      EXPECT_EQ(buffer[test.bytesRead - 1], 0);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)).size(), test.bytesRead - 1);
    } else {
      EXPECT_EQ(buffer[0], test.bytes[0]);
    }
  }
}

// A scan into a destination writes the NUL after the characters, at most at index 256.
TEST_F(TargetAccessTest, NarrowScanFillsTheDestinationWithItsNul) {
  m_target.Map(0x2000, Characters(300, 'q', 0));
  char destination[kLongestMeasuredString + 1];
  std::memset(destination, 'x', sizeof destination);
  EXPECT_EQ(TargetMemory::ScanNarrowString(destination, StringAt(0x2000, kKindNString), 1000), 256u);
  EXPECT_EQ(destination[255], 'q');
  EXPECT_EQ(destination[256], '\0');
  EXPECT_EQ(TargetMemory::ScanNarrowString(destination, StringAt(0x2000, kKindNString), 5), 5u);
  EXPECT_EQ(std::string(destination), "qqqqq");
}

// Ten of sixteen elements are mapped: a partial read is a warning only when accepted.
TEST_F(TargetAccessTest, PartialReadsAreWarningsOnlyWhenAccepted) {
  m_target.Map(0x3000, std::vector<uint8_t>(40, 1));
  const TypedLocation start(MemoryAt(0x3000), DVPTypeInfo::FromCode(kKindOrd4), OrdinalValue(4), OrdinalValue(1));
  const AddressRange range = AddressRange::FromLength(start, OrdinalValue(16));
  uint8_t buffer[64] = {};
  OrdinalValue read;
  TargetMemory::ReadValue(&read, buffer, sizeof buffer, range, 1);
  EXPECT_EQ(read, OrdinalValue(40));
  EXPECT_EQ(LastError().Number(), kMemoryReadFailed);
  EXPECT_EQ(LastError().Severity(), kSeverityWarning);
  EXPECT_EQ(ErrorThrownBy([&] { TargetMemory::ReadValue(&read, buffer, sizeof buffer, range, 0); }).Number(),
            kMemoryReadFailed);
}

// Twenty levels are followed; the twenty-first is refused before the target is asked.
TEST_F(TargetAccessTest, PointerChainsStopAtTwentyLevels) {
  for (uint32_t level = 0; level <= 20; ++level) m_target.MapU32(0x4000 + 4 * level, 0x4000 + 4 * (level + 1));
  const TypedLocation start(MemoryAt(0x4000), DVPTypeInfo::FromCode(kKindFirstTarget), OrdinalValue(4),
                            OrdinalValue(1));
  const DVPTypeInfo pointer = DVPTypeInfo::FromCode(kKindFirstTarget);
  EXPECT_EQ(TargetMemory::ResolveIndirection(start, pointer, 20).Offset(), 0x4000u + 4 * 21);
  m_target.TakeLog();
  EXPECT_EQ(ErrorThrownBy([&] { TargetMemory::ResolveIndirection(start, pointer, 21); }).Number(),
            kTooManyIndirections);
  EXPECT_TRUE(m_target.TakeLog().empty());
}

TEST_F(TargetAccessTest, RegisterRecordsCheckTheirRowsAndConvertTheirValues) {
  EXPECT_EQ(ErrorThrownBy([] { GeneralRegistersObject().ReadRegisterByIndex(-1); }).Number(), 1u);
  EXPECT_EQ(ErrorThrownBy([] {
              GeneralRegistersObject().ReadRegisterByIndex(static_cast<int32_t>(RegisterRowCount()));
            }).Number(),
            1u);
  EXPECT_EQ(ErrorThrownBy([] { GeneralRegistersObject().WriteRegister(RegisterValue()); }).Number(), 1u);

  // Row 24 is "al": an int4 of 0x1234 becomes the byte 0x34.
  const uint32_t source = 0x1234;
  const RegisterValue al(24, DVPTypeInfo::FromCode(kKindInt4), &source);
  EXPECT_EQ(std::string(al.m_name.data()), "al");
  EXPECT_EQ(al.m_type.Code(), kKindOrd1);
  EXPECT_EQ(al.m_value[0], 0x34);
  GeneralRegistersObject().WriteRegister(al);
  EXPECT_EQ(m_target.m_registers[24], 0x34u);

  m_target.m_registers[1] = 0xCAFE;
  const RegisterValue ebx = GeneralRegistersObject().ReadRegisterByIndex(1);
  EXPECT_EQ(std::string(ebx.m_name.data()), "ebx");
  EXPECT_EQ(value_bytes::LoadU32(ebx.m_value), 0xCAFEu);

  // Without a viewpoint the target refuses the program counter; the core's entry
  // answers null for the layers below, the engine's object raises.
  InstallRegisterAccess();
  ResetViewpointStack();
  SetBaseViewpoint(ViewpointHandle::None());
  EXPECT_EQ(ErrorThrownBy([] { ProgramCounterObject().Read(); }).Number(), kNoProgramLoaded);
  EXPECT_TRUE(ProgramCounterRegister::Read().IsNull());
}

// Frames at 0x8000 upwards: each holds the caller's frame pointer and a return address.
TEST_F(TargetAccessTest, TheWalkFollowsTheSavedFramePointers) {
  struct Case {
    const char* name;
    uint32_t fp;
    std::vector<std::pair<uint32_t, uint32_t>> frames;  // address: saved fp, return address
    std::vector<uint32_t> codeAddresses;                 // of the frames found
    std::vector<uint8_t> code = {0x90, 0x90};            // at 0x401000; the last two at the pc
  };
  const Case cases[] = {
      {"frame pointer 0: one frame", 0, {}, {0x401000}},
      {"a chain of three", 0x8000, {{0x8000, 0x8010}, {0x8010, 0x8020}, {0x8020, 0}}, {0x401000, 0x402000, 0x403000}},
      {"a cycle ends at the frame that points back", 0x8000, {{0x8000, 0x8010}, {0x8010, 0x8000}},
       {0x401000, 0x402000}},
      {"an unreadable link ends the list", 0x8000, {{0x8000, 0x8010}, {0x8010, 0x9990}}, {0x401000, 0x402000, 0x403000}},
      // Stopped before the procedure made its frame: the caller's return address is
      // at the stack pointer (0x7ff0), 4 above it once ebp is pushed.
      {"stopped on push ebp", 0x8000, {{0x8000, 0}}, {0x401000, 0x405000}, {0x55, 0x89}},
      {"stopped on mov ebp, esp", 0x8000, {{0x8000, 0}}, {0x401001, 0x406000}, {0x55, 0x89, 0xE5}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    m_target = RecordingTarget();
    m_target.m_pc = 0x401000 + static_cast<uint32_t>(test.code.size()) - 2;
    m_target.m_fp = test.fp;
    m_target.Map(0x401000, test.code);
    m_target.m_registers[kStackPointerRow] = 0x7ff0;
    m_target.MapU32(0x7ff0, 0x405000);
    m_target.MapU32(0x7ff4, 0x406000);
    uint32_t returnAddress = 0x402000;
    for (const auto& [frame, saved] : test.frames) {
      m_target.MapU32(frame, saved);
      m_target.MapU32(frame + 4, returnAddress);
      returnAddress += 0x1000;
    }
    FrameList frames;
    EXPECT_EQ(WalkFrames(frames), 0u);
    ASSERT_EQ(frames.Count(), test.codeAddresses.size());
    EXPECT_EQ(frames.GetCurrent(nullptr), 0);
    for (uint32_t i = 0; i < frames.Count(); ++i) {
      frames.SetCurrent(static_cast<int32_t>(i));
      AddressPair frame;
      frames.GetCurrent(&frame);
      EXPECT_EQ(frame.m_first.Offset(), test.codeAddresses[i]) << "frame " << i;
    }
  }
}


// The walk reads the stack in pieces from a frame to its page's end: a chain within one
// page costs one read, a chain that runs into the next page one more, and a stack
// whose piece cannot be read is read word by word after the one failed piece. The
// frames found are the same every way. Frames lie 16 bytes apart, going up.
TEST_F(TargetAccessTest, TheWalkReadsTheStackInPieces) {
  struct Case {
    const char* name;
    uint32_t fp;
    uint32_t frames;
    bool wholePages;  // the stack's pages readable to their ends, or only the frames' words
    std::vector<std::string> stackReads;
  };
  const Case cases[] = {
      {"within one page", 0x8f00, 5, true, {"read 0x8f00 256"}},
      {"into the next page", 0x8fe0, 5, true, {"read 0x8fe0 32", "read 0x9000 1024"}},
      {"only the words readable",
       0x8000,
       3,
       false,
       {"read 0x8000 1024", "read 0x8000 8", "read 0x8010 8", "read 0x8020 8"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    m_target = RecordingTarget();
    m_target.m_pc = 0x401000;
    m_target.m_fp = test.fp;
    m_target.Map(0x401000, {0x90, 0x90});
    // Two pages from 0x8000, all readable or only where the frames' words lie.
    std::vector<uint8_t> stack(0x2000, 0xCC);
    std::vector<uint32_t> expected = {0x401000};
    for (uint32_t k = 0; k < test.frames; ++k) {
      const uint32_t frame = test.fp + 16 * k;
      const uint32_t saved = k + 1 < test.frames ? frame + 16 : 0;
      const uint32_t returnAddress = 0x402000 + 0x1000 * k;
      value_bytes::StoreU32(&stack[frame - 0x8000], saved);
      value_bytes::StoreU32(&stack[frame - 0x8000 + 4], returnAddress);
      if (!test.wholePages) {
        m_target.MapU32(frame, saved);
        m_target.MapU32(frame + 4, returnAddress);
      }
      expected.push_back(returnAddress);
    }
    if (test.wholePages) m_target.Map(0x8000, stack);
    expected.pop_back();  // the outermost frame's return address leads nowhere
    FrameList frames;
    EXPECT_EQ(WalkFrames(frames), 0u);
    std::vector<uint32_t> found;
    for (uint32_t i = 0; i < frames.Count(); ++i) {
      frames.SetCurrent(static_cast<int32_t>(i));
      AddressPair frame;
      frames.GetCurrent(&frame);
      found.push_back(frame.m_first.Offset());
    }
    EXPECT_EQ(found, expected);
    std::vector<std::string> stackReads;
    for (const std::string& line : m_target.TakeLog()) {
      if (line.rfind("read 0x", 0) == 0 && line.find("0x401000") == std::string::npos) stackReads.push_back(line);
    }
    EXPECT_EQ(stackReads, test.stackReads);
  }
}

}  // namespace
}  // namespace zentor
