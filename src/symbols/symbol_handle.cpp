#include "symbols/symbol_handle.h"

namespace zentor {

SymbolHandle::SymbolHandle(const SymbolHandle& other) : m_object(other.m_object) {
  if (m_object != nullptr) m_object->AddUse();
}

SymbolHandle& SymbolHandle::operator=(const SymbolHandle& other) {
  if (other.m_object == m_object) return *this;
  if (other.m_object != nullptr) other.m_object->AddUse();
  if (m_object != nullptr) m_object->DropUse();
  m_object = other.m_object;
  return *this;
}

SymbolHandle::~SymbolHandle() {
  if (m_object != nullptr) m_object->DropUse();
}

SymbolHandle SymbolHandle::SymbolHandle_AtAddress(SymbolContext* context, const AddressDescriptor& address,
                                                  uint32_t level) {
  return SymbolHandle(SymbolObject::AtAddress(context, address, level));
}

SymbolHandle SymbolHandle::SymbolHandle_FromRecord(SymbolContext* context, const SymbolDescriptor* description,
                                                   uint32_t level) {
  return SymbolHandle(SymbolObject::FromRecord(context, description, level));
}

SymbolHandle SymbolHandle::SymbolHandle_FromExpression(SymbolContext* context, const char* text) {
  return SymbolHandle(SymbolObject::FromExpression(context, text));
}

SymbolHandle SymbolHandle::SymbolHandle_Member(const SymbolHandle& parent, uint32_t index) {
  if (parent.m_object == nullptr) return SymbolHandle();
  return SymbolHandle(SymbolObject::Member(parent.m_object, index));
}

DVErrorCode SymbolHandle::Status() const { return m_object != nullptr ? m_object->Status() : DVErrorCode(); }

DVErrorCode SymbolHandle::TypeName(SymbolDescription& description) const { return m_object->Describe(description); }

uint32_t SymbolHandle::TypeSize() const { return m_object->TypeSize(); }

RWCString SymbolHandle::FullName() const { return m_object->FullName(); }

RWCString SymbolHandle::AccessPathName() const { return m_object->AccessPathName(); }

RWCString SymbolHandle::ShortName() const { return m_object->ShortName(); }

RWCString SymbolHandle::QualifiedName() const { return m_object->QualifiedName(); }

DVErrorCode SymbolHandle::Evaluate(uint16_t& kind, uint8_t* value) const { return m_object->Evaluate(kind, value); }

DVErrorCode SymbolHandle::AssignValue(uint16_t kind, const uint8_t* value) const {
  return m_object->WriteValue(kind, value);
}

uint32_t SymbolHandle::ReadValue() const { return m_object->MemberCount().Low(); }

uint32_t SymbolHandle::ReadValueRaw() const { return m_object->WideMemberCount().Low(); }

DVErrorCode SymbolHandle::GetAddress(AddressDescriptor& address) const { return m_object->GetAddress(address); }

DVErrorCode SymbolHandle::StringValue(RWCString& text) const { return m_object->StringValue(text); }

}  // namespace zentor
