#include "target/disassembler.h"

#include <cstring>

#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "target/tmi_address.h"

namespace zentor {
namespace {

// Bytes from `address` to the end of its address space, at most `limit`.
uint32_t BytesToSpaceEnd(const AddressDescriptor& address, uint32_t limit) {
  const OrdinalValue beforeEnd = address.SpaceEnd() - address;
  if (beforeEnd.High() != 0 || beforeEnd.Low() >= limit - 1) return limit;
  return beforeEnd.Low() + 1;
}

bool IsReadFailure(const DVError& error) { return error.Number() == kMemoryReadFailed; }

}  // namespace

CodeWindow::CodeWindow() { Forget(); }

CodeWindow::~CodeWindow() = default;

void CodeWindow::Forget() {
  m_start = AddressDescriptor();
  m_length = 0;
  m_next = m_bytes;
  m_end = m_bytes;
}

// 1. The change record is made and registered on the first use; a change of target
//    memory since the last use (its mark, tested and cleared) refills.
// 2. An address outside the held bytes (or of another kind) refills at the address.
//    It is inside when it is the start or after it by less than the window's length
//    (a register start holds only itself); the window never crosses the end of its
//    address space, so the distance from the start decides.
// 3. Otherwise the decode starts at the address's index in the window.
void CodeWindow::MoveTo(const AddressDescriptor& address) {
  bool refill = false;
  if (!m_changeRecord) {
    m_changeRecord = std::make_unique<CollectableRecord>(kRecordTargetMemory);
    m_changeRecord->Register();
    refill = true;
  }
  if (m_changeRecord->TestAndClearChanged() != 0) refill = true;
  OrdinalValue index;
  if (!refill && m_length != 0 && !m_start.IsNull() && !address.IsNull()) {
    const uint32_t relation = address.Compare(m_start);
    if (relation == kAddressEqual) {
      index = address - m_start;
    } else if (relation == kAddressGreater && !m_start.IsRegister()) {
      index = address - m_start;
      if (index >= OrdinalValue(m_length)) refill = true;
    } else {
      refill = true;
    }
  } else {
    refill = true;
  }
  if (refill) {
    Fill(address);
    return;
  }
  if (index.High() != 0 || index.Low() > 0xFFFF) throw DVError(kCodeWindowFault, kSeverityError, kDisplayByFocus);
  m_next = m_bytes + index.Low();
  m_end = m_bytes + m_length;
}

void CodeWindow::Fill(const AddressDescriptor& address) {
  Forget();
  uint32_t count = BytesToSpaceEnd(address, kSize);
  for (;;) {
    try {
      Read(address, m_bytes, count);
      break;
    } catch (const DVError& error) {
      if (count == 1 || !IsReadFailure(error)) throw;
      count /= 2;
    }
  }
  ++m_fillCount;
  m_start = address;
  m_length = count;
  m_next = m_bytes;
  m_end = m_bytes + count;
}

void CodeWindow::Read(const AddressDescriptor& address, uint8_t* destination, uint32_t count) {
  const AddressRange range = AddressRange::FromLength(TypedLocation(address), OrdinalValue(count));
  OrdinalValue bytesRead;
  TargetMemory::ReadValue(&bytesRead, destination, count, range, 0);
  if (bytesRead != OrdinalValue(count)) throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
}

bool CodeWindow::Refill() {
  if (m_start.IsNull()) return false;
  const AddressDescriptor last = m_start + OrdinalValue(m_length - 1);
  if (last.Compare(last.SpaceEnd()) == kAddressEqual) return false;
  Fill(last + OrdinalValue::One);
  return true;
}

bool CodeWindow::PeekBeyond(uint32_t distance, uint8_t* byte) {
  if (m_start.IsNull()) return false;
  try {
    const AddressDescriptor last = m_start + OrdinalValue(m_length - 1);
    if (BytesToSpaceEnd(last, distance + 2) != distance + 2) return false;
    Read(last + OrdinalValue(distance + 1), byte, 1);
    return true;
  } catch (const DVError&) {
    return false;
  }
}

Disassembler& Disassembler::Instance() {
  static Disassembler disassembler;
  return disassembler;
}

uint32_t Disassembler::Disassemble(TargetStatus* status, const TargetAddressRecord& address, char* line,
                                   uint32_t mode) {
  const AddressDescriptor where(address);
  try {
    m_window.MoveTo(where);
    const uint32_t offset = (where - where.SpaceStart()).Low();
    DecodeInstruction(m_state, m_window, offset, mode == kMode32);
  } catch (const DVError& error) {
    status->m_number = error.Number();
    status->m_severity = error.Severity();
    status->m_argumentCount = 0;
    return 0;
  }
  FormatInstruction(m_state, line);
  return m_state.m_length;
}

uint32_t Disassemble(TargetStatus* status, const TargetAddressRecord& address, char* line, uint32_t mode) {
  return Disassembler::Instance().Disassemble(status, address, line, mode);
}

uint32_t TmiDisassemble(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* address,
                        uint32_t addressForm, const char** text, uint32_t* length) {
  *status = TargetStatus();
  *length = 0;
  Disassembler& disassembler = Disassembler::Instance();
  char* buffer = disassembler.TextBuffer();
  buffer[0] = '\0';
  *text = buffer;
  if (address == nullptr || address->m_nullMark != 0) {
    status->m_number = kMemoryReadFailed;
    status->m_severity = kSeverityError;
    return status->m_number;
  }
  const char* addressText = "";
  if (TmiAddressToText(status, viewpoint, &addressText, address) != 0) return status->m_number;
  const size_t prefix = std::strlen(addressText);
  if (prefix + 2 + kDisassemblyLineCapacity > Disassembler::kTextCapacity) ZENTOR_INTERNAL_ERROR();
  std::memcpy(buffer, addressText, prefix);
  buffer[prefix] = ' ';
  buffer[prefix + 1] = ' ';
  buffer[prefix + 2] = '\0';
  *length = Disassemble(status, *address, buffer + prefix + 2, Disassembler::kMode32);
  return status->m_number;
}

}  // namespace zentor
