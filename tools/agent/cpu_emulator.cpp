#include "cpu_emulator.h"

#include <unicorn/unicorn.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "support/little_endian.h"
#include "target/agent_protocol.h"

namespace zentor::agent {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU32;

constexpr uint32_t kPage = 0x1000;
constexpr uint8_t kInt3 = 0xCC;

constexpr int kGroup0[] = {UC_X86_REG_EBP, UC_X86_REG_ESP, UC_X86_REG_EFLAGS, UC_X86_REG_EIP};
constexpr int kGroup1[] = {UC_X86_REG_EAX, UC_X86_REG_EBX, UC_X86_REG_ECX,
                           UC_X86_REG_EDX, UC_X86_REG_ESI, UC_X86_REG_EDI};
constexpr int kGroup4[] = {UC_X86_REG_DR0, UC_X86_REG_DR1, UC_X86_REG_DR2,
                           UC_X86_REG_DR3, UC_X86_REG_DR6, UC_X86_REG_DR7};

uint32_t ReadWord(uc_engine* engine, int reg) {
  uint32_t value = 0;
  uc_reg_read(engine, reg, &value);
  return value;
}

void WriteWord(uc_engine* engine, int reg, uint32_t value) { uc_reg_write(engine, reg, &value); }

template <size_t N>
void ReadWords(uc_engine* engine, const int (&regs)[N], uint8_t* bytes) {
  for (size_t i = 0; i < N; ++i) StoreU32(bytes + 4 * i, ReadWord(engine, regs[i]));
}

template <size_t N>
void WriteWords(uc_engine* engine, const int (&regs)[N], const uint8_t* bytes) {
  for (size_t i = 0; i < N; ++i) WriteWord(engine, regs[i], LoadU32(bytes + 4 * i));
}

}  // namespace

CpuEmulator::CpuEmulator(bool hasFloatingPoint) : m_hasFloatingPoint(hasFloatingPoint) {
  if (uc_open(UC_ARCH_X86, UC_MODE_32, &m_engine) != UC_ERR_OK) throw std::runtime_error("cannot start Unicorn");
  if (!MapMemory(kRamBase, kRamSize)) throw std::runtime_error("cannot map the agent's memory");
  uc_hook hook;
  uc_hook_add(m_engine, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&CpuEmulator::OnInterrupt), this, 1, 0);
  // The state after FNINIT: every register empty, all exceptions masked.
  WriteWord(m_engine, UC_X86_REG_FPCW, 0x037F);
  WriteWord(m_engine, UC_X86_REG_FPSW, 0);
  WriteWord(m_engine, UC_X86_REG_FPTAG, 0xFFFF);
  WriteWord(m_engine, UC_X86_REG_EFLAGS, 0x202);
  StartThread(0);
}

CpuEmulator::~CpuEmulator() { uc_close(m_engine); }

bool CpuEmulator::MapMemory(uint32_t address, uint32_t size) {
  const uint64_t first = address & ~static_cast<uint64_t>(kPage - 1);
  const uint64_t end = (static_cast<uint64_t>(address) + size + kPage - 1) & ~static_cast<uint64_t>(kPage - 1);
  if (end > 0x100000000ull || end <= first) return false;
  // Page by page, so that ranges which overlap what is mapped already still map.
  for (uint64_t page = first; page < end; page += kPage) {
    uint8_t probe;
    if (uc_mem_read(m_engine, page, &probe, 1) == UC_ERR_OK) continue;
    uint64_t run = page;
    while (run < end && uc_mem_read(m_engine, run, &probe, 1) != UC_ERR_OK) run += kPage;
    if (uc_mem_map(m_engine, page, run - page, UC_PROT_ALL) != UC_ERR_OK) return false;
    page = run - kPage;
  }
  return true;
}

bool CpuEmulator::ReadMemory(uint32_t address, uint8_t* bytes, uint32_t count) {
  if (static_cast<uint64_t>(address) + count > 0x100000000ull) return false;
  if (uc_mem_read(m_engine, address, bytes, count) != UC_ERR_OK) return false;
  for (auto it = m_breakpointBytes.lower_bound(address); it != m_breakpointBytes.end() && it->first - address < count;
       ++it) {
    bytes[it->first - address] = it->second;
  }
  return true;
}

bool CpuEmulator::WriteMemory(uint32_t address, const uint8_t* bytes, uint32_t count) {
  if (static_cast<uint64_t>(address) + count > 0x100000000ull) return false;
  std::vector<uint8_t> image(bytes, bytes + count);
  for (auto it = m_breakpointBytes.lower_bound(address); it != m_breakpointBytes.end() && it->first - address < count;
       ++it) {
    it->second = image[it->first - address];
    image[it->first - address] = kInt3;
  }
  if (uc_mem_write(m_engine, address, image.data(), count) != UC_ERR_OK) return false;
  ForgetTranslations(address, count);
  return true;
}

// Unicorn keeps the code it has translated: bytes written over code (a breakpoint, a
// patch by the debugger) must make it translate that code again.
void CpuEmulator::ForgetTranslations(uint32_t address, uint32_t count) {
  uc_ctl_remove_cache(m_engine, uint64_t{address}, uint64_t{address} + count);
}

// Group 3 is the FSAVE image: control, status, full tag word, instruction offset,
// code selector with the opcode in the upper half, operand offset, operand selector,
// then st0..st7 in stack order, then one word the agent only keeps.
bool CpuEmulator::ReadGroup(uint32_t bit, uint8_t* bytes) {
  switch (bit) {
    case 0: ReadWords(m_engine, kGroup0, bytes); return true;
    case 1: ReadWords(m_engine, kGroup1, bytes); return true;
    case 2:
      for (int i = 0; i < 6; ++i) StoreU32(bytes + 4 * i, m_segments[i]);
      return true;
    case 3: {
      if (!m_hasFloatingPoint) return false;
      const uint32_t environment[7] = {
          ReadWord(m_engine, UC_X86_REG_FPCW) & 0xFFFF,
          ReadWord(m_engine, UC_X86_REG_FPSW) & 0xFFFF,
          ReadWord(m_engine, UC_X86_REG_FPTAG) & 0xFFFF,
          ReadWord(m_engine, UC_X86_REG_FIP),
          (ReadWord(m_engine, UC_X86_REG_FCS) & 0xFFFF) | ((ReadWord(m_engine, UC_X86_REG_FOP) & 0x7FF) << 16),
          ReadWord(m_engine, UC_X86_REG_FDP),
          ReadWord(m_engine, UC_X86_REG_FDS) & 0xFFFF,
      };
      for (int i = 0; i < 7; ++i) StoreU32(bytes + 4 * i, environment[i]);
      for (int i = 0; i < 8; ++i) {
        uint8_t value[16] = {};
        uc_reg_read(m_engine, UC_X86_REG_ST0 + i, value);
        std::memcpy(bytes + 28 + 10 * i, value, 10);
      }
      StoreU32(bytes + 108, m_fpuTrailer);
      return true;
    }
    case 4: ReadWords(m_engine, kGroup4, bytes); return true;
    case 5: std::memcpy(bytes, m_group5.data(), m_group5.size()); return true;
    case 6: std::memcpy(bytes, m_group6.data(), m_group6.size()); return true;
    default: return false;
  }
}

// The status word goes first: it holds the top of the stack, which decides where
// st0..st7 land; the tag word goes last, as tags belong to the physical registers.
bool CpuEmulator::WriteGroup(uint32_t bit, const uint8_t* bytes) {
  switch (bit) {
    case 0: WriteWords(m_engine, kGroup0, bytes); return true;
    case 1: WriteWords(m_engine, kGroup1, bytes); return true;
    case 2:
      for (int i = 0; i < 6; ++i) m_segments[i] = LoadU32(bytes + 4 * i);
      return true;
    case 3: {
      if (!m_hasFloatingPoint) return false;
      WriteWord(m_engine, UC_X86_REG_FPCW, LoadU32(bytes) & 0xFFFF);
      WriteWord(m_engine, UC_X86_REG_FPSW, LoadU32(bytes + 4) & 0xFFFF);
      WriteWord(m_engine, UC_X86_REG_FIP, LoadU32(bytes + 12));
      WriteWord(m_engine, UC_X86_REG_FCS, LoadU32(bytes + 16) & 0xFFFF);
      WriteWord(m_engine, UC_X86_REG_FOP, (LoadU32(bytes + 16) >> 16) & 0x7FF);
      WriteWord(m_engine, UC_X86_REG_FDP, LoadU32(bytes + 20));
      WriteWord(m_engine, UC_X86_REG_FDS, LoadU32(bytes + 24) & 0xFFFF);
      for (int i = 0; i < 8; ++i) {
        uint8_t value[16] = {};
        std::memcpy(value, bytes + 28 + 10 * i, 10);
        uc_reg_write(m_engine, UC_X86_REG_ST0 + i, value);
      }
      WriteWord(m_engine, UC_X86_REG_FPTAG, LoadU32(bytes + 8) & 0xFFFF);
      m_fpuTrailer = LoadU32(bytes + 108);
      return true;
    }
    case 4: WriteWords(m_engine, kGroup4, bytes); return true;
    case 5: std::memcpy(m_group5.data(), bytes, m_group5.size()); return true;
    case 6: std::memcpy(m_group6.data(), bytes, m_group6.size()); return true;
    default: return false;
  }
}

uint32_t CpuEmulator::Eip() { return ReadWord(m_engine, UC_X86_REG_EIP); }
void CpuEmulator::SetEip(uint32_t eip) { WriteWord(m_engine, UC_X86_REG_EIP, eip); }

void CpuEmulator::StartThread(uint32_t entry) {
  uint8_t exit[4];
  StoreU32(exit, kThreadExitAddress);
  const uint32_t esp = kStackTop - 4;
  uc_mem_write(m_engine, esp, exit, sizeof exit);
  WriteWord(m_engine, UC_X86_REG_ESP, esp);
  WriteWord(m_engine, UC_X86_REG_EBP, 0);
  SetEip(entry);
}

bool CpuEmulator::InsertBreakpoint(uint32_t address) {
  if (m_breakpointBytes.count(address) != 0) return true;
  uint8_t original;
  if (uc_mem_read(m_engine, address, &original, 1) != UC_ERR_OK) return false;
  if (uc_mem_write(m_engine, address, &kInt3, 1) != UC_ERR_OK) return false;
  ForgetTranslations(address, 1);
  m_breakpointBytes[address] = original;
  return true;
}

void CpuEmulator::RemoveBreakpoint(uint32_t address) {
  const auto it = m_breakpointBytes.find(address);
  if (it == m_breakpointBytes.end()) return;
  uc_mem_write(m_engine, address, &it->second, 1);
  ForgetTranslations(address, 1);
  m_breakpointBytes.erase(it);
}

Stop CpuEmulator::Step() { return Execute(1, true); }
Stop CpuEmulator::Run(uint64_t count) { return Execute(count, false); }

void CpuEmulator::ServiceRequest(uint32_t* number, uint32_t* argument) {
  *number = ReadWord(m_engine, UC_X86_REG_EAX);
  *argument = ReadWord(m_engine, UC_X86_REG_EBX);
}

void CpuEmulator::OnInterrupt(uc_struct* engine, uint32_t number, void* self) {
  static_cast<CpuEmulator*>(self)->m_interrupt = number;
  uc_emu_stop(engine);
}

// Notes which data rows an access overlaps; the instruction completes, as a data
// breakpoint is a trap taken after it.
void CpuEmulator::OnDataAccess(uc_struct*, int type, uint64_t address, int size, int64_t, void* self) {
  auto* cpu = static_cast<CpuEmulator*>(self);
  const bool write = type == UC_MEM_WRITE;
  for (uint32_t row = 0; row < 4; ++row) {
    const DataRow& data = cpu->m_dataRows[row];
    if (!data.m_on || (data.m_writesOnly && !write)) continue;
    if (address < uint64_t{data.m_address} + data.m_length && uint64_t{data.m_address} < address + uint64_t(size)) {
      cpu->m_dataHits |= 1u << row;
    }
  }
}

bool CpuEmulator::WatchesArmed() { return (ReadWord(m_engine, UC_X86_REG_DR7) & 0xFFu) != 0; }

void CpuEmulator::SetDebugStatus(uint32_t dr6) { WriteWord(m_engine, UC_X86_REG_DR6, dr6); }

int32_t CpuEmulator::ExecuteRowAt(uint32_t eip) {
  const uint32_t dr7 = ReadWord(m_engine, UC_X86_REG_DR7);
  for (uint32_t row = 0; row < 4; ++row) {
    const bool enabled = (dr7 & (3u << (2 * row))) != 0;
    const bool execute = ((dr7 >> (16 + 4 * row)) & 3u) == 0;
    if (enabled && execute && ReadWord(m_engine, kGroup4[row]) == eip) return static_cast<int32_t>(row);
  }
  return -1;
}

Stop CpuEmulator::Execute(uint64_t count, bool step) {
  SetDebugStatus(0);
  Stop stop;
  if (WatchesArmed()) {
    stop = ExecuteWatched(count);
  } else {
    m_interrupt = -1;
    stop = Classify(uc_emu_start(m_engine, Eip(), 0, 0, count));
  }
  if (step && stop.m_kind == StopKind::None) SetDebugStatus(ReadWord(m_engine, UC_X86_REG_DR6) | 0x4000u);
  return stop;
}

// One instruction at a time, each checked against the debug registers:
// 1. An execute row at eip fires before the instruction runs, except for the first
//    instruction of the run (the resume flag of a real processor lets it go).
// 2. A data row fires after the instruction that touched its bytes; DR6 gets the
//    row's bit in both cases.
// 3. Anything else that stops the processor is reported as it would be unwatched.
Stop CpuEmulator::ExecuteWatched(uint64_t count) {
  const uint32_t dr7 = ReadWord(m_engine, UC_X86_REG_DR7);
  static constexpr uint32_t kLengths[4] = {1, 2, 8, 4};
  for (uint32_t row = 0; row < 4; ++row) {
    const uint32_t access = (dr7 >> (16 + 4 * row)) & 3u;
    DataRow& data = m_dataRows[row];
    data.m_on = (dr7 & (3u << (2 * row))) != 0 && (access == 1 || access == 3);
    data.m_address = ReadWord(m_engine, kGroup4[row]);
    data.m_length = kLengths[(dr7 >> (18 + 4 * row)) & 3u];
    data.m_writesOnly = access == 1;
  }
  uc_hook hook;
  uc_hook_add(m_engine, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(&CpuEmulator::OnDataAccess),
              this, 1, 0);
  Stop stop{StopKind::None, 0, Eip()};
  for (uint64_t i = 0; i < count; ++i) {
    const uint32_t eip = Eip();
    if (const int32_t row = i == 0 ? -1 : ExecuteRowAt(eip); row >= 0) {
      SetDebugStatus(1u << row);
      stop = Stop{StopKind::Watch, 0, eip};
      break;
    }
    m_interrupt = -1;
    m_dataHits = 0;
    stop = Classify(uc_emu_start(m_engine, eip, 0, 0, 1));
    if (stop.m_kind != StopKind::None) break;
    if (m_dataHits != 0) {
      SetDebugStatus(m_dataHits);
      stop = Stop{StopKind::Watch, 0, Eip()};
      break;
    }
  }
  uc_hook_del(m_engine, hook);
  return stop;
}

Stop CpuEmulator::Classify(int result) {
  const uint32_t eip = Eip();
  if (m_interrupt == 3) {
    // eip is past the int3: a breakpoint is reported where it stands.
    SetEip(eip - 1);
    return Stop{StopKind::Breakpoint, kAgentExceptionBreakpoint, eip - 1};
  }
  if (m_interrupt == kServiceVector) return Stop{StopKind::Service, 0, eip};
  if (m_interrupt >= 0) {
    const uint32_t number = m_interrupt == 0 ? kAgentExceptionDivide : kAgentExceptionGeneralProtection;
    return Stop{StopKind::Exception, number, eip};
  }
  switch (static_cast<uc_err>(result)) {
    case UC_ERR_OK: return Stop{StopKind::None, 0, eip};
    case UC_ERR_FETCH_UNMAPPED:
      if (eip == kThreadExitAddress) return Stop{StopKind::ThreadExit, 0, eip};
      return Stop{StopKind::Exception, kAgentExceptionPageFault, eip};
    case UC_ERR_READ_UNMAPPED:
    case UC_ERR_WRITE_UNMAPPED:
    case UC_ERR_READ_PROT:
    case UC_ERR_WRITE_PROT:
    case UC_ERR_FETCH_PROT: return Stop{StopKind::Exception, kAgentExceptionPageFault, eip};
    case UC_ERR_INSN_INVALID: return Stop{StopKind::Exception, kAgentExceptionInvalidOpcode, eip};
    default: return Stop{StopKind::Exception, kAgentExceptionGeneralProtection, eip};
  }
}

}  // namespace zentor::agent
