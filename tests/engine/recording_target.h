#pragma once
// The target double of the engine tests: the target machine interface as the engine
// calls it (EngineTarget), answering from a byte image of memory, a register file by
// row and a scripted list of breakpoint and run-control answers, and recording every
// call in a log ("read 0x1000 4", "bp set 0x401000", "step 3 x1" ...), so that a test
// can tell which requests an operation made.

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/target_status.h"
#include "core/value_bytes.h"
#include "engine/engine_target.h"
#include "target/register_tables.h"
#include "target/target_gui.h"

namespace zentor::testing_support {

class RecordingTarget : public EngineTarget {
 public:
  static constexpr uint32_t kMemoryReadFailed = 2007;

  // ---- memory
  void Map(uint32_t base, std::vector<uint8_t> bytes) { m_regions[base] = std::move(bytes); }
  void MapU32(uint32_t address, uint32_t value) {
    std::vector<uint8_t> bytes(4);
    value_bytes::StoreU32(bytes.data(), value);
    Map(address, bytes);
  }
  bool ByteAt(uint32_t address, uint8_t* byte) const {
    for (const auto& [base, bytes] : m_regions) {
      if (address >= base && address - base < bytes.size()) {
        *byte = bytes[address - base];
        return true;
      }
    }
    return false;
  }

  uint32_t ReadMemory(TargetStatus* status, uint32_t, void* buffer, const TargetAccessRecord* access,
                      uint64_t* count) override {
    const auto size = static_cast<uint32_t>(access->m_elementSize);
    const auto elements = static_cast<uint32_t>(access->m_elementCount);
    Log("read " + Hex(access->m_address.m_offset) + " " + std::to_string(size * elements));
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t good = 0;
    while (good < size * elements && ByteAt(access->m_address.m_offset + good, out + good)) ++good;
    *count = size == 0 ? 0 : good / size;
    if (good < size * elements) return Fail(status, kMemoryReadFailed);
    return Ok(status);
  }
  uint32_t WriteMemory(TargetStatus* status, uint32_t, const void* buffer, const TargetAccessRecord* access,
                       uint32_t repeat) override {
    const auto bytes = static_cast<uint32_t>(access->m_elementSize * access->m_elementCount);
    Log("write " + Hex(access->m_address.m_offset) + " " + std::to_string(bytes) + " x" + std::to_string(repeat));
    for (uint32_t pass = 0; pass < repeat; ++pass) {
      for (uint32_t i = 0; i < bytes; ++i) {
        if (!Poke(access->m_address.m_offset + pass * bytes + i, static_cast<const uint8_t*>(buffer)[i])) {
          return Fail(status, 2008);
        }
      }
    }
    return Ok(status);
  }
  uint32_t FollowPointers(TargetStatus* status, uint32_t, const TargetAddressRecord* start, uint32_t levels,
                          const uint32_t*, TargetAddressRecord* out) override {
    Log("follow " + Hex(start->m_offset) + " " + std::to_string(levels));
    uint32_t address = start->m_offset;
    for (uint32_t level = 0; level <= levels; ++level) {
      uint32_t value = 0;
      if (!Word(address, &value)) return Fail(status, kMemoryReadFailed);
      address = value;
    }
    *out = MemoryRecord(address);
    return Ok(status);
  }

  // ---- registers
  uint32_t ReadRegister(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* pc) override {
    Log("pc");
    if (viewpoint == 0xFFFFFFFFu) return Fail(status, 2006);
    *pc = MemoryRecord(m_pc);
    return Ok(status);
  }
  uint32_t WriteRegister(TargetStatus* status, uint32_t, const TargetAddressRecord* pc) override {
    Log("set pc " + Hex(pc->m_offset));
    m_pc = pc->m_offset;
    return Ok(status);
  }
  uint32_t ReadAddressValue(TargetStatus* status, uint32_t, uint32_t flag, TargetAddressRecord* record) override {
    if (flag == 0) {
      Log("fp");
      *record = MemoryRecord(m_fp);
      return Ok(status);
    }
    Log("saved " + Hex(record->m_offset));
    record->m_nullMark = 0;
    if (record->m_offset != 0) {
      uint32_t value = 0;
      if (!Word(record->m_offset, &value)) return Fail(status, kMemoryReadFailed);
      record->m_offset = value;
    }
    if (record->m_offset == 0) record->m_nullMark = 1;
    return Ok(status);
  }
  uint32_t ReadAddressAtOffset4(TargetStatus* status, uint32_t, const TargetAddressRecord* source,
                                TargetAddressRecord* out) override {
    Log("return " + Hex(source->m_offset));
    uint32_t value = 0;
    if (!Word(source->m_offset + 4, &value)) return Fail(status, kMemoryReadFailed);
    *out = MemoryRecord(value);
    return Ok(status);
  }
  uint32_t GetRegisterValue(TargetStatus* status, uint32_t, uint32_t row, uint8_t* value) override {
    Log("get " + std::string(RegisterRowName(row)));
    value_bytes::StoreU32(value, m_registers[row]);
    return Ok(status);
  }
  uint32_t SetRegisterValue(TargetStatus* status, uint32_t, uint32_t row, const uint8_t* value) override {
    Log("set " + std::string(RegisterRowName(row)));
    m_registers[row] = value_bytes::LoadU32(value);
    return Ok(status);
  }
  uint32_t GetStackInfo(TargetStatus* status, uint32_t) override { return Ok(status); }

  // ---- breakpoints: numbers from 0 up, refusals from the script
  uint32_t BreakpointOperation(TargetStatus* status, uint32_t, BreakpointRequest* request) override {
    static const char* const kNames[] = {"set", "clear", "clear all", "enable", "enable all", "disable",
                                         "disable all"};
    std::string line = std::string("bp ") + kNames[request->m_operation < 7 ? request->m_operation : 0];
    if (request->m_operation == kBreakpointAdd) {
      line += " " + Hex(request->m_address.m_offset) + " t" + std::to_string(request->m_hardware) + " a" +
              std::to_string(request->m_lengthCode) + " l" + std::to_string(request->m_accessKind);
    } else if (request->m_operation == kBreakpointDelete || request->m_operation == kBreakpointEnable ||
               request->m_operation == kBreakpointDisable) {
      line += " #" + std::to_string(request->m_number);
    }
    Log(line);
    if (!m_breakpointRefusals.empty()) {
      const uint32_t refusal = m_breakpointRefusals.front();
      m_breakpointRefusals.pop_front();
      if (refusal != 0) return Fail(status, refusal);
    }
    if (request->m_operation == kBreakpointAdd) request->m_number = m_nextNumber++;
    return Ok(status);
  }

  // ---- run control: each go or step answers from the script
  struct StepAnswer {
    uint32_t status = 0;
    uint32_t reason = kBreakReasonStepsDone;
    uint32_t pc = 0;          // where the thread stands afterwards (0: unchanged)
    uint32_t stepsDone = 1;   // for Step
    uint32_t breakpoint = 0;  // reason 6
  };
  uint32_t Execute(TargetStatus* status, uint32_t viewpoint, uint32_t mode,
                   const TargetAddressRecord* temporaries) override {
    std::string line = "go " + std::to_string(mode);
    for (uint32_t i = 0; temporaries != nullptr && temporaries[i].m_nullMark == 0; ++i) {
      line += " " + Hex(temporaries[i].m_offset);
    }
    Log(line);
    if (viewpoint == 0xFFFFFFFFu) return Fail(status, 2006);
    // As the target's go: the GUI hears that the thread runs whether the go went or not
    // (a thread that runs already is refused before that).
    if (m_executeRefusal != 0 && m_busy) return Fail(status, m_executeRefusal);
    InstalledTargetGui().NotifyTargetEvent(viewpoint, 1, "RUNNING", nullptr);
    if (m_executeRefusal != 0) return Fail(status, m_executeRefusal);
    m_busy = true;
    return Ok(status);
  }
  uint32_t Step(TargetStatus* status, uint32_t, uint32_t kind, uint32_t count, uint32_t* stepsDone,
                StopRecord* record) override {
    Log("step " + std::to_string(kind) + " x" + std::to_string(count));
    return Answer(status, stepsDone, record);
  }
  uint32_t StepLine(TargetStatus* status, uint32_t, uint32_t kind, const TargetAddressRecord* start, uint32_t length,
                    StopRecord* record) override {
    Log("line " + std::to_string(kind) + " " + Hex(start->m_offset) + " " + std::to_string(length));
    uint32_t steps = 0;
    return Answer(status, &steps, record);
  }
  uint32_t QueryTarget(TargetStatus* status, uint32_t) override {
    Log("query");
    return Ok(status);
  }
  uint32_t PollEvents(uint32_t) override {
    Log("poll");
    ++m_polls;
    if (m_onPoll) m_onPoll();
    return 0;
  }
  bool IsBusy(uint32_t) override { return m_busy; }
  uint64_t EventsHandled() override { return m_events; }

  // ---- the record
  void Log(const std::string& line) { m_log.push_back(line); }
  std::vector<std::string> TakeLog() {
    std::vector<std::string> log;
    log.swap(m_log);
    return log;
  }
  static std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
  }
  static TargetAddressRecord MemoryRecord(uint32_t offset) {
    TargetAddressRecord record;
    record.m_addressClass = kAddressClassMemory;
    record.m_addressKind = kAddressKindMemoryOffset;
    record.m_offset = offset;
    return record;
  }

  uint32_t m_pc = 0;
  uint32_t m_fp = 0;
  uint32_t m_registers[kRegisterRowCount] = {};
  uint32_t m_nextNumber = 0;
  std::deque<uint32_t> m_breakpointRefusals;  // 0 accepts
  std::deque<StepAnswer> m_stepAnswers;
  uint32_t m_executeRefusal = 0;
  bool m_busy = false;
  uint64_t m_events = 0;
  uint32_t m_polls = 0;
  std::function<void()> m_onPoll;
  std::vector<std::string> m_log;

 private:
  static uint32_t Ok(TargetStatus* status) {
    *status = TargetStatus{};
    return 0;
  }
  static uint32_t Fail(TargetStatus* status, uint32_t number) {
    *status = TargetStatus{};
    status->m_number = number;
    status->m_severity = 3;
    return number;
  }
  bool Word(uint32_t address, uint32_t* value) const {
    uint8_t bytes[4];
    for (uint32_t i = 0; i < 4; ++i) {
      if (!ByteAt(address + i, &bytes[i])) return false;
    }
    *value = value_bytes::LoadU32(bytes);
    return true;
  }
  bool Poke(uint32_t address, uint8_t byte) {
    for (auto& [base, bytes] : m_regions) {
      if (address >= base && address - base < bytes.size()) {
        bytes[address - base] = byte;
        return true;
      }
    }
    return false;
  }
  uint32_t Answer(TargetStatus* status, uint32_t* stepsDone, StopRecord* record) {
    StepAnswer answer;
    if (!m_stepAnswers.empty()) {
      answer = m_stepAnswers.front();
      m_stepAnswers.pop_front();
    }
    *stepsDone = answer.stepsDone;
    if (answer.status != 0) return Fail(status, answer.status);
    if (answer.pc != 0) m_pc = answer.pc;
    record->m_reason = answer.reason;
    record->m_location = MemoryRecord(m_pc);
    record->m_breakpointNumber = answer.breakpoint;
    return Ok(status);
  }

  std::map<uint32_t, std::vector<uint8_t>> m_regions;
};

}  // namespace zentor::testing_support
