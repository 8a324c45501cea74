#include "target/tmi_symbol_load.h"

#include "target/tmi_address.h"
#include "core/dv_error.h"
#include "core/dv_error_code.h"

namespace zentor {
namespace {

uint32_t g_serverSymbolsLoaded = 0;

// The offset of a loader address that names no address.
constexpr uint32_t kNoLoaderOffset = 0xFFFFFFFFu;

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
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  if (address == nullptr ||
      (address->m_kind == kLoaderAddressMemory && address->m_segment == 0 && address->m_offset == kNoLoaderOffset)) {
    record.m_nullMark = 1;
    record.m_offset = kNoLoaderOffset;
    *out = record;
    return SetStatus(status, 0, kSeverityUninitialized);
  }
  if (address->m_kind == kLoaderAddressRegister) {
    record.m_addressClass = kAddressClassRegister;
    record.m_addressKind = kAddressKindRegisterNumber;
  } else if (address->m_kind != kLoaderAddressMemory) {
    ZENTOR_INTERNAL_ERROR();
  }
  record.m_reserved2 = address->m_segment;
  record.m_offset = address->m_offset;
  *out = record;
  return SetStatus(status, 0, kSeverityUninitialized);
}

void TmiAddressToLoader(const TargetAddressRecord* record, LoaderAddress* address) {
  if (record == nullptr || record->m_nullMark != 0) {
    *address = LoaderAddress::Memory(kNoLoaderOffset);
    return;
  }
  address->m_kind = record->m_addressKind;
  address->m_reserved = 0;
  address->m_segment = record->m_reserved2;
  address->m_offset = record->m_offset;
}

uint32_t TmiServerSymbolsLoaded() { return g_serverSymbolsLoaded; }

void TmiSetServerSymbolsLoaded(uint32_t flag) { g_serverSymbolsLoaded = flag; }

}  // namespace zentor
