#pragma once
// Records the target machine interface exchanges with the debugger side: the status
// every operation fills instead of throwing, the address record kept whole inside
// address descriptors, the address specification that creates one, and the
// description of the connected target. Pointers stay pointer-sized so the same
// records serve the 64-bit and the 32-bit build.

#include <cstdint>

namespace zentor {

// Out record of every target-interface operation. The constructor zeroes number,
// severity and count; every operation sets at least the number.
struct TargetStatus {
  uint32_t m_number = 0;         // message number, 0 = success
  uint32_t m_severity = 0;       // ErrorSeverity, 0..6
  uint32_t m_argumentCount = 0;  // texts in m_arguments
  // m_argumentCount NUL-terminated texts owned by the target interface; read only
  // when the count is not 0.
  const char* const* m_arguments = nullptr;
};

// Address classes and kinds of TargetAddressRecord.
inline constexpr uint32_t kAddressClassMemory = 20;
inline constexpr uint32_t kAddressClassRegister = 27;
inline constexpr uint16_t kAddressKindRegisterNumber = 0;
inline constexpr uint16_t kAddressKindMemoryOffset = 1;

// The target interface's address record, kept whole in every address descriptor.
struct TargetAddressRecord {
  uint16_t m_unused = 0;
  uint16_t m_nullMark = 0;      // 1 = null address
  uint32_t m_addressClass = 0;  // kAddressClassMemory or kAddressClassRegister
  uint16_t m_addressKind = 0;   // kAddressKindMemoryOffset or kAddressKindRegisterNumber
  uint16_t m_reserved1 = 0;
  uint32_t m_reserved2 = 0;
  uint32_t m_offset = 0;        // memory offset or register number

  bool operator==(const TargetAddressRecord&) const = default;
};

// What TmiCreateAddress builds an address from.
struct AddressSpecification {
  uint32_t m_addressKind = 0;
  TargetAddressRecord m_base;
  uint32_t m_component = 0xFFFFFFFFu;  // 16-bit component, 0xFFFFFFFF = none
  uint32_t m_form = 1;                 // number of 64-bit components used, 1..3
  uint64_t m_components[3] = {0, 0, 0};
};

// The target's version block: five texts and the banner flag (0 = no banner).
struct TargetVersionBlock {
  const char* m_maker = "";
  const char* m_productName = "";
  const char* m_version = "";
  const char* m_notice = "";
  const char* m_emptyLine = "";
  uint32_t m_printBanner = 0;
};

// One row of the target's type table; the table ends with a row of id 28.
struct TargetTypeRow {
  uint32_t m_typeId = 0;
  uint16_t m_size = 0;
  uint16_t m_reserved = 0;
  const char* m_name = "";
};
inline constexpr uint32_t kTargetTypeTableEnd = 28;

// One row of the target's breakpoint types: the type (0 software, 1 debug register,
// 2 task switch), the number of its access codes, a word no one reads, and up to six
// access codes (unused ones 0xFFFFFFFF) with the name shown for each (null: none).
struct BreakpointTypeRow {
  uint32_t m_type = 0;
  uint32_t m_codeCount = 0;
  uint32_t m_reserved = 0;
  uint32_t m_accessCodes[6] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  const char* m_accessNames[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
};
inline constexpr uint32_t kBreakpointTypeRowCount = 3;

// Description of the connected target.
struct TargetDescription {
  const TargetVersionBlock* m_versionBlock = nullptr;
  uint32_t m_targetName = 0;
  const TargetTypeRow* m_typeTable = nullptr;
  // The breakpoint types: kBreakpointTypeRowCount rows.
  const BreakpointTypeRow* m_secondTable = nullptr;
  // The register description (target/register_model.h): names and type ids by row.
  const void* m_registerTable = nullptr;
};

}  // namespace zentor
