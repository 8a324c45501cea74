#include "symbols/symbol_descriptor.h"

#include "symbols/loader_library.h"

#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

using namespace value_bytes;

// Offsets of the description image. The scope's record-type word is kept although it
// is always 1, so the image has the size the value stack gives its symbol items.
struct ImageLayout {
  static constexpr uint32_t kFlags = 0;
  static constexpr uint32_t kTargetSet = 4;
  static constexpr uint32_t kTarget = 8;
  static constexpr uint32_t kScopeSet = 12;
  static constexpr uint32_t kScopeRecord = 16;
  static constexpr uint32_t kScopeRecordType = 20;
  static constexpr uint32_t kScopeParent = 24;
  static constexpr uint32_t kScopeStart = 28;
  static constexpr uint32_t kScopeLength = 56;
  static constexpr uint32_t kScopeTypeIndex = 64;
  static constexpr uint32_t kScopeSecondValue = 68;
  static constexpr uint32_t kScopeName = 76;
  static constexpr uint32_t kScopeAttribute = 88;
  static constexpr uint32_t kSymbolSet = 90;
  static constexpr uint32_t kSymbolRecord = 94;
  static constexpr uint32_t kLocationAddress = 98;
  static constexpr uint32_t kLocationOrdinal = 126;
  static constexpr uint32_t kLocationFlags = 134;
  static constexpr uint32_t kActive = 135;
  static constexpr uint32_t kSymbolTypeIndex = 139;
  static constexpr uint32_t kSymbolName = 143;
  static constexpr uint32_t kBaseName = 155;
  static constexpr uint32_t kBitPosition = 167;
  static constexpr uint32_t kEnd = 169;
};
static_assert(ImageLayout::kEnd == SymbolDescriptor::kImageSize, "the description image fills its item");

void StoreKey(uint8_t* p, const SymbolKey& key) {
  StoreU32(p, key.NameHandle().Value());
  StoreU32(p + 4, key.Hash());
  StoreU32(p + 8, key.CaseWord());
}

SymbolKey LoadKey(const uint8_t* p) { return SymbolKey(RecordHandle(LoadU32(p)), LoadU32(p + 4), LoadU32(p + 8)); }

// Moves by a byte count in one direction; see AdvanceSymbolAddress.
void MoveSymbolAddress(AddressExtent& location, const OrdinalValue& bytes, bool forward) {
  if (bytes == 0u) return;
  if (IsUnresolvedFrameRelative(location)) {
    location.m_ordinal = forward ? location.m_ordinal + bytes : location.m_ordinal - bytes;
    return;
  }
  if (location.m_address.IsNull() || location.m_address.IsRegister()) ZENTOR_INTERNAL_ERROR();
  if (forward) {
    location.m_address += bytes;
  } else {
    location.m_address -= bytes;
  }
}

}  // namespace

ModuleDescriptor* SymbolDescriptor::Target() const {
  if (m_targetSet == 0 || m_targetModuleId == 0) return nullptr;
  const LoaderState* loader = CurrentLoaderStateOrNull();
  return loader != nullptr ? loader->ModuleById(m_targetModuleId) : nullptr;
}

void SymbolDescriptor::WriteImage(uint8_t* image) const {
  using L = ImageLayout;
  StoreU32(image + L::kFlags, m_flags);
  StoreU32(image + L::kTargetSet, m_targetSet);
  StoreU32(image + L::kTarget, m_targetModuleId);
  StoreU32(image + L::kScopeSet, m_scopeSet);
  StoreU32(image + L::kScopeRecord, m_scope.m_record.Value());
  StoreU32(image + L::kScopeRecordType, m_scope.m_recordType);
  StoreU32(image + L::kScopeParent, m_scope.m_parent.Value());
  StoreFlatAddress(image + L::kScopeStart, m_scope.m_start);
  StoreOrdinal(image + L::kScopeLength, m_scope.m_length);
  StoreU32(image + L::kScopeTypeIndex, m_scope.m_typeIndex);
  StoreOrdinal(image + L::kScopeSecondValue, m_scope.m_secondValue);
  StoreKey(image + L::kScopeName, m_scope.m_name);
  StoreU16(image + L::kScopeAttribute, m_scope.m_attribute);
  StoreU32(image + L::kSymbolSet, m_symbolSet);
  StoreU32(image + L::kSymbolRecord, m_symbol.m_record.Value());
  StoreFlatAddress(image + L::kLocationAddress, m_symbol.m_location.m_address);
  StoreOrdinal(image + L::kLocationOrdinal, m_symbol.m_location.m_ordinal);
  image[L::kLocationFlags] = m_symbol.m_location.m_flags;
  StoreU32(image + L::kActive, m_symbol.m_active);
  StoreU32(image + L::kSymbolTypeIndex, m_symbol.m_typeIndex);
  StoreKey(image + L::kSymbolName, m_symbol.m_name);
  StoreKey(image + L::kBaseName, m_symbol.m_baseName);
  StoreU16(image + L::kBitPosition, m_symbol.m_bitPosition);
}

SymbolDescriptor SymbolDescriptor::ReadImage(const uint8_t* image) {
  using L = ImageLayout;
  SymbolDescriptor d;
  d.m_flags = LoadU32(image + L::kFlags);
  d.m_targetSet = LoadU32(image + L::kTargetSet);
  d.m_targetModuleId = LoadU32(image + L::kTarget);
  d.m_scopeSet = LoadU32(image + L::kScopeSet);
  d.m_scope.m_record = RecordHandle(LoadU32(image + L::kScopeRecord));
  d.m_scope.m_recordType = LoadU32(image + L::kScopeRecordType);
  d.m_scope.m_parent = RecordHandle(LoadU32(image + L::kScopeParent));
  d.m_scope.m_start = LoadFlatAddress(image + L::kScopeStart);
  d.m_scope.m_length = LoadOrdinal(image + L::kScopeLength);
  d.m_scope.m_typeIndex = LoadU32(image + L::kScopeTypeIndex);
  d.m_scope.m_secondValue = LoadOrdinal(image + L::kScopeSecondValue);
  d.m_scope.m_name = LoadKey(image + L::kScopeName);
  d.m_scope.m_attribute = LoadU16(image + L::kScopeAttribute);
  d.m_symbolSet = LoadU32(image + L::kSymbolSet);
  d.m_symbol.m_record = RecordHandle(LoadU32(image + L::kSymbolRecord));
  d.m_symbol.m_location.m_address = LoadFlatAddress(image + L::kLocationAddress);
  d.m_symbol.m_location.m_ordinal = LoadOrdinal(image + L::kLocationOrdinal);
  d.m_symbol.m_location.m_flags = image[L::kLocationFlags];
  d.m_symbol.m_active = LoadU32(image + L::kActive);
  d.m_symbol.m_typeIndex = LoadU32(image + L::kSymbolTypeIndex);
  d.m_symbol.m_name = LoadKey(image + L::kSymbolName);
  d.m_symbol.m_baseName = LoadKey(image + L::kBaseName);
  d.m_symbol.m_bitPosition = LoadU16(image + L::kBitPosition);
  return d;
}

void AdvanceSymbolAddress(AddressExtent& location, const OrdinalValue& bytes) {
  MoveSymbolAddress(location, bytes, true);
}

void MoveSymbolAddressBack(AddressExtent& location, const OrdinalValue& bytes) {
  MoveSymbolAddress(location, bytes, false);
}

}  // namespace zentor
