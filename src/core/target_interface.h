#pragma once
// The target machine interface as the debugger side below it calls it: the address
// operations of the value model, the viewpoint operations of the viewpoint stack and
// the session steps of start-up. The target interface sits above the command
// language (it enters its keywords into the scanner and binds its routines), so the
// core cannot call it directly: the target installs its implementation at start-up
// (InstallTargetServices) and the core calls whatever is installed.
//
// Before that the base class answers with the least the callers need: no address
// operation is supported (2003, INTERNAL ERROR), no viewpoint is known, every session
// step succeeds and does nothing. Every operation takes the status first, fills its
// out-parameters and returns the status number, as the target's own routines do.

#include "core/target_status.h"

#include <cstdint>

namespace zentor {

// Message the target answers for an address operation it does not support.
inline constexpr uint32_t kInvalidAddressOperation = 2003;

// CompareAddresses relations.
inline constexpr uint32_t kAddressRelationEqual = 1;
inline constexpr uint32_t kAddressRelationLess = 2;
inline constexpr uint32_t kAddressRelationGreater = 3;

// The space an address lies in: its kind and its highest and lowest address.
struct TargetAddressSpace {
  uint32_t m_spaceKind = 0;
  TargetAddressRecord m_highest;
  TargetAddressRecord m_lowest;
};

// Notification codes of Notify.
inline constexpr uint32_t kTmiNotifyStage0 = 0;
inline constexpr uint32_t kTmiNotifyAddKeywords = 1;
inline constexpr uint32_t kTmiNotifyStage2 = 2;
inline constexpr uint32_t kTmiNotifyConnect = 3;

// Results of HandleOption.
inline constexpr uint32_t kTmiOptionUnknown = 0;
inline constexpr uint32_t kTmiOptionTakenAlone = 1;
inline constexpr uint32_t kTmiOptionTakenWithValue = 2;

class TargetInterface {
 public:
  virtual ~TargetInterface();

  // Address operations (see target/tmi_address.h for what the target answers).
  virtual uint32_t CreateAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                 const AddressSpecification* specification);
  virtual uint32_t CreatePointerAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                        uint32_t targetTypeId, const uint32_t* offset);
  virtual uint32_t AddOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                             const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh);
  virtual uint32_t SubtractOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                  const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh);
  virtual uint32_t AddressDifference(TargetStatus* status, uint32_t viewpoint, uint64_t* difference,
                                     const TargetAddressRecord* a, const TargetAddressRecord* b);
  virtual uint32_t CheckAddressClass(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                                     uint32_t addressClass, uint32_t* flag);
  virtual uint32_t CompareAddresses(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* a,
                                    const TargetAddressRecord* b, uint32_t* relation, uint32_t* notComparable);
  virtual uint32_t AddressToText(TargetStatus* status, uint32_t viewpoint, const char** text,
                                 const TargetAddressRecord* record);
  virtual uint32_t IsZeroAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                                 uint32_t* flag);
  virtual uint32_t AddressOffset(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                                 uint32_t* offset);
  virtual uint32_t AddressSpace(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                                TargetAddressSpace* space);
  virtual uint32_t IsRegisterAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                                     uint32_t* flag);

  // Viewpoint operations (target/tmi_viewpoint.h). By default no viewpoint is known:
  // the same value is the same viewpoint, no value has a text and no text a value.
  virtual uint32_t SelectViewpoint(TargetStatus* status, uint32_t value);
  virtual uint32_t SameViewpoint(TargetStatus* status, uint32_t unused, uint32_t a, uint32_t b, uint32_t* result);
  virtual uint32_t ViewpointToText(TargetStatus* status, uint32_t unused, uint32_t value, const char** text);
  virtual uint32_t ViewpointFromText(TargetStatus* status, uint32_t unused, const char* text, uint32_t* value);

  // Session steps of start-up and shut-down (target/tmi_session.h). By default the
  // description is left as it is, notifications do nothing, no option is known.
  virtual uint32_t GetTargetDescription(TargetStatus* status, uint32_t viewpoint, TargetDescription* description);
  virtual uint32_t Notify(TargetStatus* status, uint32_t viewpoint, uint32_t code, const char* text);
  virtual uint32_t HandleOption(TargetStatus* status, uint32_t viewpoint, uint32_t unused,
                                const char* const* argumentSlot, uint32_t* result);
  virtual uint32_t Disconnect(TargetStatus* status, uint32_t viewpoint);
};

// Installs the target's implementation (the caller keeps it alive); null puts the
// base behaviour back. Returns the one installed before (null for the base).
TargetInterface* InstallTargetInterface(TargetInterface* target);
TargetInterface& InstalledTarget();

}  // namespace zentor
