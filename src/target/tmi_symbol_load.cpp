#include "target/tmi_symbol_load.h"

#include "target/tmi_address.h"
#include "core/dv_error_code.h"

namespace zentor {
namespace {

uint32_t g_serverSymbolsLoaded = 0;

uint32_t SetStatus(TargetStatus* status, uint32_t number, uint32_t severity) {
  status->m_number = number;
  status->m_severity = severity;
  status->m_argumentCount = 0;
  status->m_arguments = nullptr;
  return number;
}

}  // namespace

uint32_t TmiAddressFromLoader(TargetStatus* status, const LoaderAddress* address, TargetAddressRecord* out) {
  TargetAddressRecord record;
  record.m_nullMark = 0;
  record.m_offset = address->m_offset;
  switch (address->m_kind) {
    case kLoaderAddressRegister:
      record.m_addressClass = kAddressClassRegister;
      record.m_addressKind = kAddressKindRegisterNumber;
      break;
    case kLoaderAddressMemory:
      if (address->m_high != 0) return SetStatus(status, kInvalidAddressOperation, kSeverityInternal);
      record.m_addressClass = kAddressClassMemory;
      record.m_addressKind = kAddressKindMemoryOffset;
      break;
    default:
      return SetStatus(status, kInvalidAddressOperation, kSeverityInternal);
  }
  *out = record;
  return SetStatus(status, 0, kSeverityUninitialized);
}

void TmiAddressToLoader(const TargetAddressRecord* record, LoaderAddress* address) {
  if (record == nullptr || record->m_nullMark != 0) {
    *address = LoaderAddress::Memory(0xFFFFFFFFu);
    return;
  }
  address->m_kind = record->m_addressKind;
  address->m_segment = 0;
  address->m_high = 0;
  address->m_offset = record->m_offset;
}

uint32_t TmiServerSymbolsLoaded() { return g_serverSymbolsLoaded; }

void TmiSetServerSymbolsLoaded(uint32_t flag) { g_serverSymbolsLoaded = flag; }

}  // namespace zentor
