#include "engine/register_access.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_counter.h"
#include "core/target_status.h"
#include "core/value_conversion.h"
#include "engine/engine_target.h"
#include "symbols/symbol_context.h"
#include "target/register_model.h"

namespace zentor {
namespace {

const RegisterTableRow& CheckedRow(int32_t index) {
  if (index < 0 || static_cast<uint32_t>(index) >= RegisterRowCount()) ZENTOR_INTERNAL_ERROR();
  return GetRegisterTable()->m_rows[index];
}

// The register read that answers null where reading raises an error. A lookup asks for
// the frame of every frame-relative symbol it weighs; without a target each read
// failed, and raising and catching the error was most of such a lookup.
template <typename ReadWithStatus>
AddressDescriptor ReadOrNull(ReadWithStatus read) {
  try {
    TargetStatus status;
    const AddressDescriptor address = read(status);
    if (status.m_number != 0 && !DVError(status).IsWarning()) return AddressDescriptor();
    // A warning is reported, as raising the status reports it.
    RaiseTargetStatus(status);
    return address;
  } catch (const DVError&) {
    return AddressDescriptor();
  }
}

AddressDescriptor ReadProgramCounterOrNull() {
  return ReadOrNull([](TargetStatus& status) { return ProgramCounterObject().Read(status); });
}

void WriteProgramCounter(const AddressDescriptor& address) { ProgramCounterObject().Write(&address); }

AddressDescriptor ReadFramePointerOrNull() {
  return ReadOrNull([](TargetStatus& status) { return FramePointerObject().ReadAsAddress(status); });
}

AddressDescriptor ReadSavedFrame(const AddressDescriptor& frame) { return FramePointerObject().ReadSavedFrame(frame); }

}  // namespace

RegisterValue::RegisterValue(int32_t index, const DVPTypeInfo& sourceType, const void* source) {
  const RegisterTableRow& row = CheckedRow(index);
  m_index = index;
  m_name = row.m_name;
  m_type = DVPTypeInfo::FromTargetTypeId(row.m_targetTypeId);
  ConvertValue(source, static_cast<uint16_t>(sourceType.Code()), m_value, static_cast<uint16_t>(m_type.Code()));
}

RegisterObject::~RegisterObject() = default;

AddressDescriptor ProgramCounterAccessor::Read() const {
  TargetStatus status;
  const AddressDescriptor address = Read(status);
  RaiseTargetStatus(status);
  return address;
}

AddressDescriptor ProgramCounterAccessor::Read(TargetStatus& status) const {
  TargetAddressRecord record = AddressDescriptor().Record();
  TheEngineTarget().ReadRegister(&status, GetCurrentViewpointValue(), &record);
  return AddressDescriptor(record);
}

void ProgramCounterAccessor::Write(const AddressDescriptor* address) const {
  TargetStatus status;
  TheEngineTarget().WriteRegister(&status, GetCurrentViewpointValue(), &address->Record());
  RaiseTargetStatus(status);
  GetCurrentSymbolContext()->SetCurrentAddress(*address);
}

AddressDescriptor FramePointerAccessor::ReadAsAddress() const {
  TargetStatus status;
  const AddressDescriptor address = ReadAsAddress(status);
  RaiseTargetStatus(status);
  return address;
}

AddressDescriptor FramePointerAccessor::ReadAsAddress(TargetStatus& status) const {
  TargetAddressRecord record = AddressDescriptor().Record();
  TheEngineTarget().ReadAddressValue(&status, GetCurrentViewpointValue(), 0, &record);
  return AddressDescriptor(record);
}

AddressDescriptor FramePointerAccessor::ReadSavedFrame(const AddressDescriptor& frame) const {
  TargetAddressRecord record = frame.Record();
  TargetStatus status;
  TheEngineTarget().ReadAddressValue(&status, GetCurrentViewpointValue(), 1, &record);
  RaiseTargetStatus(status);
  return AddressDescriptor(record);
}

AddressDescriptor ReturnAddressRegister::ReadReturnAddress(const AddressDescriptor& frame,
                                                           const AddressDescriptor& programCounter) const {
  AddressDescriptor result = programCounter;
  TargetAddressRecord record = result.Record();
  TargetStatus status;
  TheEngineTarget().ReadAddressAtOffset4(&status, GetCurrentViewpointValue(), &frame.Record(), &record);
  RaiseTargetStatus(status);
  const OptionalLine line = result.Line();
  result = record;
  result.SetLine(line);
  return result;
}

RegisterValue GeneralRegisters::ReadRegisterByIndex(int32_t index) const {
  const RegisterTableRow& row = CheckedRow(index);
  RegisterValue value;
  TargetStatus status;
  TheEngineTarget().GetRegisterValue(&status, GetCurrentViewpointValue(), static_cast<uint32_t>(index),
                                     value.m_value);
  RaiseTargetStatus(status);
  value.m_index = index;
  value.m_name = row.m_name;
  value.m_type = DVPTypeInfo::FromTargetTypeId(row.m_targetTypeId);
  return value;
}

void GeneralRegisters::WriteRegister(const RegisterValue& value) const {
  if (!value.IsValid()) ZENTOR_INTERNAL_ERROR();
  TargetStatus status;
  TheEngineTarget().SetRegisterValue(&status, GetCurrentViewpointValue(), static_cast<uint32_t>(value.m_index),
                                     value.m_value);
  RaiseTargetStatus(status);
}

const ProgramCounterAccessor& ProgramCounterObject() {
  static const ProgramCounterAccessor object;
  return object;
}

const FramePointerAccessor& FramePointerObject() {
  static const FramePointerAccessor object;
  return object;
}

const ReturnAddressRegister& ReturnAddressObject() {
  static const ReturnAddressRegister object;
  return object;
}

const GeneralRegisters& GeneralRegistersObject() {
  static const GeneralRegisters object;
  return object;
}

uint32_t RegisterRowCount() {
  const RegisterTable* table = GetRegisterTable();
  return table != nullptr ? table->m_rowCount : 0;
}

void InstallRegisterAccess() {
  ProgramCounterRegister::InstallReader(&ReadProgramCounterOrNull);
  ProgramCounterRegister::InstallWriter(&WriteProgramCounter);
  FramePointerRegister::InstallReader(&ReadFramePointerOrNull);
  FramePointerRegister::InstallSavedFrameReader(&ReadSavedFrame);
}

}  // namespace zentor
