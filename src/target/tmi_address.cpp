#include "target/tmi_address.h"

#include <cstdio>

#include "target/register_tables.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

// The status routine of the interface: the code, ERROR for any failure.
uint32_t SetStatus(TargetStatus* status, uint32_t code) {
  status->m_number = code;
  status->m_severity = code != 0 ? kSeverityError : kSeverityUninitialized;
  status->m_argumentCount = 0;
  status->m_arguments = nullptr;
  return code;
}

uint32_t FailInvalidAddressOperation(TargetStatus* status) {
  SetStatus(status, kInvalidAddressOperation);
  status->m_severity = kSeverityInternal;
  return kInvalidAddressOperation;
}

TargetAddressRecord MemoryAddress(uint32_t offset) {
  TargetAddressRecord record;
  record.m_unused = 0;
  record.m_nullMark = 0;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_reserved1 = 0;
  record.m_reserved2 = 0;
  record.m_offset = offset;
  return record;
}

void RequireMemoryClass(const TargetAddressRecord* record) {
  if (record->m_addressClass != kAddressClassMemory) ZENTOR_INTERNAL_ERROR();
}

// Holds the text TmiAddressToText points at: "0x" and eight digits, or a register name.
char g_addressText[32];

}  // namespace

uint32_t TmiCreateAddress(TargetStatus* status, uint32_t, TargetAddressRecord* out,
                          const AddressSpecification* specification) {
  if (specification->m_form != 1) return FailInvalidAddressOperation(status);
  *out = MemoryAddress(static_cast<uint32_t>(specification->m_components[0]));
  return SetStatus(status, 0);
}

uint32_t TmiCreatePointerAddress(TargetStatus* status, uint32_t, TargetAddressRecord* out, uint32_t targetTypeId,
                                 const uint32_t* offset) {
  if (targetTypeId != kAddressClassMemory) ZENTOR_INTERNAL_ERROR();
  *out = MemoryAddress(offset != nullptr ? *offset : 0);
  return SetStatus(status, 0);
}

uint32_t TmiAddOffset(TargetStatus* status, uint32_t, TargetAddressRecord* out, const TargetAddressRecord* source,
                      uint32_t countLow, uint32_t) {
  RequireMemoryClass(source);
  TargetAddressRecord moved = *source;
  moved.m_offset = source->m_offset + countLow;
  *out = moved;
  return SetStatus(status, 0);
}

uint32_t TmiSubtractOffset(TargetStatus* status, uint32_t, TargetAddressRecord* out,
                           const TargetAddressRecord* source, uint32_t countLow, uint32_t) {
  RequireMemoryClass(source);
  TargetAddressRecord moved = *source;
  moved.m_offset = source->m_offset - countLow;
  *out = moved;
  return SetStatus(status, 0);
}

uint32_t TmiAddressDifference(TargetStatus* status, uint32_t, uint64_t* difference, const TargetAddressRecord* a,
                              const TargetAddressRecord* b) {
  RequireMemoryClass(a);
  *difference = static_cast<uint32_t>(a->m_offset - b->m_offset);
  return SetStatus(status, 0);
}

uint32_t TmiCheckAddressClass(TargetStatus* status, uint32_t, const TargetAddressRecord* record,
                              uint32_t addressClass, uint32_t* flag) {
  if (record->m_addressClass == addressClass) {
    *flag = 1;
    return SetStatus(status, 0);
  }
  *flag = 0;
  return FailInvalidAddressOperation(status);
}

uint32_t TmiCompareAddresses(TargetStatus* status, uint32_t, const TargetAddressRecord* a,
                             const TargetAddressRecord* b, uint32_t* relation, uint32_t* notComparable) {
  if (a->m_addressKind != b->m_addressKind) {
    *notComparable = 1;
    *relation = 0;
  } else {
    *notComparable = 0;
    if (a->m_offset == b->m_offset) {
      *relation = kAddressRelationEqual;
    } else {
      *relation = a->m_offset > b->m_offset ? kAddressRelationGreater : kAddressRelationLess;
    }
  }
  return SetStatus(status, 0);
}

uint32_t TmiAddressToText(TargetStatus* status, uint32_t, const char** text, const TargetAddressRecord* record) {
  if (record->m_addressKind == kAddressKindRegisterNumber) {
    std::snprintf(g_addressText, sizeof g_addressText, "%s", RegisterNameByNumber(record->m_offset));
  } else {
    // Every view writes addresses by the screenful: the digits are put down here
    // rather than through a formatted print.
    static constexpr char kDigits[] = "0123456789abcdef";
    g_addressText[0] = '0';
    g_addressText[1] = 'x';
    for (uint32_t digit = 0; digit < 8; ++digit) {
      g_addressText[2 + digit] = kDigits[(record->m_offset >> (28 - 4 * digit)) & 0xF];
    }
    g_addressText[10] = '\0';
  }
  *text = g_addressText;
  return SetStatus(status, 0);
}

uint32_t TmiIsZeroAddress(TargetStatus* status, uint32_t, const TargetAddressRecord* record, uint32_t* flag) {
  *flag = record->m_nullMark == 0 && record->m_offset == 0 ? 1 : 0;
  return SetStatus(status, 0);
}

uint32_t TmiAddressOffset(TargetStatus* status, uint32_t, const TargetAddressRecord* record, uint32_t* offset) {
  if (record->m_addressClass != kAddressClassMemory && record->m_addressClass != kAddressClassRegister) {
    ZENTOR_INTERNAL_ERROR();
  }
  *offset = record->m_offset;
  return SetStatus(status, 0);
}

uint32_t TmiAddressSpace(TargetStatus* status, uint32_t, const TargetAddressRecord* record,
                         TargetAddressSpace* space) {
  space->m_spaceKind = 1;
  space->m_highest = *record;
  space->m_highest.m_offset = 0xFFFFFFFFu;
  space->m_lowest = *record;
  space->m_lowest.m_offset = 0;
  return SetStatus(status, 0);
}

uint32_t TmiIsRegisterAddress(TargetStatus* status, uint32_t, const TargetAddressRecord* record, uint32_t* flag) {
  *flag = record->m_nullMark == 0 && record->m_addressClass == kAddressClassRegister ? 1 : 0;
  return SetStatus(status, 0);
}

}  // namespace zentor
