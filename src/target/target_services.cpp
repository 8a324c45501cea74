#include "target/target_services.h"

#include "target/agent_event_handlers.h"
#include "target/tmi_address.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "target/tmi_viewpoint.h"

#include "core/target_interface.h"
#include "symbols/symbol_load_target.h"

namespace zentor {
namespace {

class TmiTarget final : public TargetInterface {
 public:
  uint32_t CreateAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                         const AddressSpecification* specification) override {
    return TmiCreateAddress(status, viewpoint, out, specification);
  }
  uint32_t CreatePointerAddress(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                                uint32_t targetTypeId, const uint32_t* offset) override {
    return TmiCreatePointerAddress(status, viewpoint, out, targetTypeId, offset);
  }
  uint32_t AddOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                     const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh) override {
    return TmiAddOffset(status, viewpoint, out, source, countLow, countHigh);
  }
  uint32_t SubtractOffset(TargetStatus* status, uint32_t viewpoint, TargetAddressRecord* out,
                          const TargetAddressRecord* source, uint32_t countLow, uint32_t countHigh) override {
    return TmiSubtractOffset(status, viewpoint, out, source, countLow, countHigh);
  }
  uint32_t AddressDifference(TargetStatus* status, uint32_t viewpoint, uint64_t* difference,
                             const TargetAddressRecord* a, const TargetAddressRecord* b) override {
    return TmiAddressDifference(status, viewpoint, difference, a, b);
  }
  uint32_t CheckAddressClass(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                             uint32_t addressClass, uint32_t* flag) override {
    return TmiCheckAddressClass(status, viewpoint, record, addressClass, flag);
  }
  uint32_t CompareAddresses(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* a,
                            const TargetAddressRecord* b, uint32_t* relation, uint32_t* notComparable) override {
    return TmiCompareAddresses(status, viewpoint, a, b, relation, notComparable);
  }
  uint32_t AddressToText(TargetStatus* status, uint32_t viewpoint, const char** text,
                         const TargetAddressRecord* record) override {
    return TmiAddressToText(status, viewpoint, text, record);
  }
  uint32_t IsZeroAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                         uint32_t* flag) override {
    return TmiIsZeroAddress(status, viewpoint, record, flag);
  }
  uint32_t AddressOffset(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                         uint32_t* offset) override {
    return TmiAddressOffset(status, viewpoint, record, offset);
  }
  uint32_t AddressSpace(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                        TargetAddressSpace* space) override {
    return TmiAddressSpace(status, viewpoint, record, space);
  }
  uint32_t IsRegisterAddress(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* record,
                             uint32_t* flag) override {
    return TmiIsRegisterAddress(status, viewpoint, record, flag);
  }

  uint32_t SelectViewpoint(TargetStatus* status, uint32_t value) override {
    return TmiSelectViewpoint(status, value);
  }
  uint32_t SameViewpoint(TargetStatus* status, uint32_t unused, uint32_t a, uint32_t b, uint32_t* result) override {
    return TmiSameViewpoint(status, unused, a, b, result);
  }
  uint32_t ViewpointToText(TargetStatus* status, uint32_t unused, uint32_t value, const char** text) override {
    return TmiViewpointToText(status, unused, value, text);
  }
  uint32_t ViewpointFromText(TargetStatus* status, uint32_t unused, const char* text, uint32_t* value) override {
    return TmiViewpointFromText(status, unused, text, value);
  }

  uint32_t GetTargetDescription(TargetStatus* status, uint32_t viewpoint, TargetDescription* description) override {
    return TmiGetTargetDescription(status, viewpoint, description);
  }
  uint32_t Notify(TargetStatus* status, uint32_t viewpoint, uint32_t code, const char* text) override {
    return TmiNotify(status, viewpoint, code, text);
  }
  uint32_t HandleOption(TargetStatus* status, uint32_t viewpoint, uint32_t unused, const char* const* argumentSlot,
                        uint32_t* result) override {
    return TmiHandleOption(status, viewpoint, unused, argumentSlot, result);
  }
  uint32_t Disconnect(TargetStatus* status, uint32_t viewpoint) override { return TmiDisconnect(status, viewpoint); }
};

class TmiSymbolLoadTarget final : public SymbolLoadTarget {
 public:
  uint32_t AddressFromLoader(TargetStatus* status, const LoaderAddress* address, TargetAddressRecord* out) override {
    return TmiAddressFromLoader(status, address, out);
  }
  uint32_t ServerSymbolsLoaded() override { return TmiServerSymbolsLoaded(); }
  uint32_t ViewSymbolsLevel() override { return TmiOptions().m_viewSymbols; }
  uint32_t UnicodeOption() override { return TmiOptions().m_unicode; }
};

}  // namespace

void InstallTargetServices() {
  static TmiTarget target;
  static TmiSymbolLoadTarget symbolLoadTarget;
  InstallTargetInterface(&target);
  InstallSymbolLoadTarget(&symbolLoadTarget);
  InstallAgentEventPump();
}

}  // namespace zentor
