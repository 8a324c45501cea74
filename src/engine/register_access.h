#pragma once
// The engine's access to the target's registers: four stateless objects, one per role
// (the program counter, the frame pointer with the saved frame chain, the return
// address next to a saved frame pointer, and every register by its row), and
// RegisterValue, which carries one register between the expression evaluator and the
// target. Each operation calls the target with the current viewpoint and raises a
// failing status. The register data itself lives in the target's register model.
//
// The layers below the engine reach the program counter and the frame pointer
// through the entries of core/program_counter.h (ProgramCounterRegister,
// FramePointerRegister); InstallRegisterAccess puts these objects behind them, and
// the value model's register reads and writes go through the engine's target memory.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/dvp_types.h"
#include "core/target_status.h"
#include "support/rw_cstring.h"

namespace zentor {

// One register and its value: its row in the register table (-1 = none), its name,
// its type (ord1, ord2, ord4, real10, or bool1 for a flag) and the value's bytes in
// the type's representation (1, 2, 4 or 10 used, little-endian).
struct RegisterValue {
  static constexpr uint32_t kValueBytes = 32;

  RegisterValue() = default;
  // The register of row `index` holding the source value converted to its type (140
  // when the value converter refuses the conversion). An index outside the table is
  // an internal error.
  RegisterValue(int32_t index, const DVPTypeInfo& sourceType, const void* source);

  bool IsValid() const { return m_index != -1; }

  int32_t m_index = -1;
  RWCString m_name;
  DVPTypeInfo m_type = DVPTypeInfo::FromCode(kKindNone);
  uint8_t m_value[kValueBytes] = {};
};

// The common root of the register roles; none of them holds data.
class RegisterObject {
 public:
  virtual ~RegisterObject();
};

// A register read and written as an address.
class RegisterAccessor : public RegisterObject {
 public:
  virtual AddressDescriptor Read() const = 0;
  virtual void Write(const AddressDescriptor* address) const = 0;
};

// The instruction pointer with its code segment. A write moves the execution there
// and makes it the current execution address of the symbol context.
class ProgramCounterAccessor final : public RegisterAccessor {
 public:
  AddressDescriptor Read() const override;
  // The read with the target's status given back rather than raised.
  AddressDescriptor Read(TargetStatus& status) const;
  void Write(const AddressDescriptor* address) const override;
};

// The frame pointer (stack segment : frame pointer) and the frame pointer saved at a
// frame address: null when the frame's offset is 0 or the saved value is 0.
class FramePointerAccessor final : public RegisterObject {
 public:
  AddressDescriptor ReadAsAddress() const;
  AddressDescriptor ReadAsAddress(TargetStatus& status) const;
  AddressDescriptor ReadSavedFrame(const AddressDescriptor& frame) const;
};

// The 32-bit value stored 4 bytes beyond a frame address, as a code address in the
// frame's segment; the result keeps the program counter address's line member.
class ReturnAddressRegister final : public RegisterObject {
 public:
  AddressDescriptor ReadReturnAddress(const AddressDescriptor& frame, const AddressDescriptor& programCounter) const;
};

// Any register by its row of the register table.
class GeneralRegisters final : public RegisterObject {
 public:
  RegisterValue ReadRegisterByIndex(int32_t index) const;
  // A record that names no register is an internal error.
  void WriteRegister(const RegisterValue& value) const;
};

// The one object of each role.
const ProgramCounterAccessor& ProgramCounterObject();
const FramePointerAccessor& FramePointerObject();
const ReturnAddressRegister& ReturnAddressObject();
const GeneralRegisters& GeneralRegistersObject();

// Rows of the register table (0 when the target has none).
uint32_t RegisterRowCount();

// Puts the objects behind the core's program-counter and frame-pointer entries. The
// core's reader keeps its answer for the layers below: a null address when the
// program counter cannot be read.
void InstallRegisterAccess();

}  // namespace zentor
