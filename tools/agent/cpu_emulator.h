#pragma once
// The stand-in agent's processor: Unicorn in 32-bit x86 mode over a flat address
// space. Memory and registers are the emulator's; the segment registers (a flat
// protected-mode model has no descriptors to load) and the two groups the agent has no
// use for are kept here so they read back as written. Software breakpoints are int3
// bytes in emulated memory with the original byte kept aside; reads show the original.

#include <array>
#include <cstdint>
#include <map>
#include <string>

struct uc_struct;

namespace zentor::agent {

// Why the processor stopped.
enum class StopKind : uint8_t {
  None,           // the instruction count ran out; the program can go on
  Breakpoint,     // an int3: eip is set back to it
  Exception,      // a processor exception (number in Stop::m_exception)
  ThreadExit,     // the entry routine returned to the agent
  Service,        // the module asked the server for a service (int 0x40); eip is past it
  Watch,          // a debug register fired: DR6 says which
};

struct Stop {
  StopKind m_kind = StopKind::None;
  uint32_t m_exception = 0;  // agent exception number for StopKind::Exception
  uint32_t m_address = 0;    // where it happened
};

// The service call of the sample modules: int 0x40 with the service number in eax and
// its argument in ebx.
inline constexpr uint32_t kServiceVector = 0x40;
inline constexpr uint32_t kServicePrint = 1;

class CpuEmulator {
 public:
  // The memory every agent has: 32 MB from 64 KB up; a thread's stack sits at its top.
  static constexpr uint32_t kRamBase = 0x00010000;
  static constexpr uint32_t kRamSize = 0x02000000;
  static constexpr uint32_t kStackTop = kRamBase + kRamSize - 0x1000;
  // The entry routine returns here: an address that is never mapped.
  static constexpr uint32_t kThreadExitAddress = 0xFFFFF000;

  explicit CpuEmulator(bool hasFloatingPoint);
  ~CpuEmulator();
  CpuEmulator(const CpuEmulator&) = delete;
  CpuEmulator& operator=(const CpuEmulator&) = delete;

  bool HasFloatingPoint() const { return m_hasFloatingPoint; }

  // Maps [address, address + size) (rounded out to 4 KB) unless it is mapped already.
  bool MapMemory(uint32_t address, uint32_t size);
  // Whole ranges only: false when any byte is not mapped. Reads show the bytes that
  // breakpoints cover as they were; writes keep the breakpoints in place.
  bool ReadMemory(uint32_t address, uint8_t* bytes, uint32_t count);
  bool WriteMemory(uint32_t address, const uint8_t* bytes, uint32_t count);

  // Register groups in their wire layout (group bit 0-6). Group 3 is refused when
  // there is no floating-point unit.
  bool ReadGroup(uint32_t bit, uint8_t* bytes);
  bool WriteGroup(uint32_t bit, const uint8_t* bytes);
  uint32_t Eip();
  void SetEip(uint32_t eip);
  // Starts a thread at `entry`: a fresh stack whose return address ends the thread.
  void StartThread(uint32_t entry);

  // Software breakpoints: an int3 at the address; false when it is not mapped.
  bool InsertBreakpoint(uint32_t address);
  void RemoveBreakpoint(uint32_t address);

  // Runs one instruction, or at most `count` instructions. DR6 is cleared first, as
  // an agent does whenever it resumes a thread; a step that completes sets its BS bit.
  Stop Step();
  Stop Run(uint64_t count);

  // The request of a service call: the number in eax, the argument in ebx.
  void ServiceRequest(uint32_t* number, uint32_t* argument);
  // Whether a debug register is enabled in DR7: running then goes one instruction at a
  // time, so that each access can be checked.
  bool WatchesArmed();

 private:
  void ForgetTranslations(uint32_t address, uint32_t count);
  Stop Execute(uint64_t count, bool step);
  Stop ExecuteWatched(uint64_t count);
  Stop Classify(int result);  // a uc_err
  // The enabled row whose execute breakpoint is at `eip`, or -1.
  int32_t ExecuteRowAt(uint32_t eip);
  void SetDebugStatus(uint32_t dr6);
  static void OnInterrupt(uc_struct* engine, uint32_t number, void* self);
  static void OnDataAccess(uc_struct* engine, int type, uint64_t address, int size, int64_t value, void* self);

  uc_struct* m_engine = nullptr;
  bool m_hasFloatingPoint;
  uint32_t m_segments[6] = {0x08, 0x10, 0x10, 0x10, 0x10, 0x10};  // cs, ss, ds, es, fs, gs
  uint32_t m_fpuTrailer = 0;
  std::array<uint8_t, 16> m_group5{};
  std::array<uint8_t, 40> m_group6{};
  std::map<uint32_t, uint8_t> m_breakpointBytes;  // address -> the byte under the int3
  int64_t m_interrupt = -1;                        // set by the interrupt hook during a run
  // Data rows of DR7 while a watched run goes on: {address, length, writes only}.
  struct DataRow {
    bool m_on = false;
    uint32_t m_address = 0;
    uint32_t m_length = 0;
    bool m_writesOnly = false;
  };
  DataRow m_dataRows[4];
  uint32_t m_dataHits = 0;  // DR6 bits of the rows an access touched
};

}  // namespace zentor::agent
