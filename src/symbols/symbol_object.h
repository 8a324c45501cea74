#pragma once
// The debugger's live view of one program entity: the program, a module, a procedure,
// a label, a variable, or an element or field reached from another object. It ties a
// symbol description to a place on the target, a type, a category that says what can
// be done with it, and a resolve state that says whether its place is still good for
// the current execution point; it is resolved again when the execution point moved.
// Objects are shared by SymbolHandles (symbol_handle.h) through a use count; a member
// object holds a use of its parent. Construction never throws on a symbol-table
// condition: the outcome is the object's status, which every query reports first.

#include <cstdint>

#include "symbols/address_lookup.h"
#include "symbols/symbol_descriptor.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/collectable_record.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_bitvec.h"
#include "support/rw_cstring.h"

namespace zentor {

class SymbolContext;

// What a symbol is, for what can be done with it.
enum SymbolCategory : int32_t {
  kSymbolProgram = 0,
  kSymbolModule = 1,
  kSymbolProcedure = 2,
  kSymbolLabel = 3,
  kSymbolScalar = 4,
  kSymbolArray = 5,
  kSymbolPointer = 6,
  kSymbolStructure = 7,
  kSymbolUnion = 8,
  kSymbolClass = 9,
  kSymbolEnumeration = 10,
  kSymbolOtherType = 11,
};

// Whether a symbol's place is good: fixed (never changes), resolved for the current
// execution address, or not active there.
inline constexpr int32_t kResolveFixed = 0;
inline constexpr int32_t kResolveActive = 1;
inline constexpr int32_t kResolveInactive = 2;

// Levels of the object made at an address: the program, the module that holds it, the
// procedure that holds it, and (for the address's symbolic text) the symbol there.
inline constexpr uint32_t kLevelProgram = 0;
inline constexpr uint32_t kLevelModule = 1;
inline constexpr uint32_t kLevelProcedure = 2;
inline constexpr uint32_t kLevelSymbol = 3;

// What a symbol object says of itself for the views: its category, the texts of its
// type (before and after the name for C; the long form otherwise) and storage class,
// and a detail (a scalar's primitive code; an array's or pointer's lower bound). The
// texts are cut to the fields' widths.
struct SymbolDescription {
  static constexpr uint32_t kTypeTextSize = 40;
  static constexpr uint32_t kTypeSuffixSize = 84;
  static constexpr uint32_t kStorageClassSize = 40;

  uint32_t m_category = 0;
  char m_typeText[kTypeTextSize] = {};
  char m_typeSuffix[kTypeSuffixSize] = {};
  char m_storageClass[kStorageClassSize] = {};
  uint32_t m_detail = 0;
};

class SymbolObject {
 public:
  // The constructors of the Parts: each object is made with use count 1 and is
  // deleted when its last use is dropped.
  static SymbolObject* AtAddress(SymbolContext* context, const AddressDescriptor& address, uint32_t level);
  // From a description (null: the lookup's current entry).
  static SymbolObject* FromRecord(SymbolContext* context, const SymbolDescriptor* description, uint32_t level);
  static SymbolObject* FromExpression(SymbolContext* context, const char* text);
  // Member `index` of an aggregate (a list's symbol, an element, a field); 322 for a
  // parent that is no aggregate, 316 past the members.
  static SymbolObject* Member(SymbolObject* parent, uint32_t index);

  SymbolObject(const SymbolObject&) = delete;
  SymbolObject& operator=(const SymbolObject&) = delete;

  void AddUse();
  // Drops a use; the last deletes the object (and drops its use of its parent).
  void DropUse();
  uint16_t UseCount() const { return m_useCount; }

  DVErrorCode Status() const { return m_status; }
  int32_t Category() const { return m_category; }
  int32_t ResolveState() const { return m_resolveState; }
  uint32_t TypeIndex() const { return m_typeIndex; }
  uint16_t Language() const { return m_language; }
  const SymbolDescriptor& Description() const { return m_description; }
  SymbolObject* Parent() const { return m_parent; }
  const RWCString& MemberText() const { return m_memberText; }

  // ---- values and places (symbol objects, Part of the objects themselves)
  DVErrorCode Evaluate(uint16_t& kind, uint8_t* value);
  DVErrorCode WriteValue(uint16_t kind, const uint8_t* value);
  DVErrorCode GetAddress(AddressDescriptor& address);
  uint32_t TypeSize();

  // ---- members, counts and string values
  OrdinalValue MemberCount();
  OrdinalValue WideMemberCount();
  DVErrorCode StringValue(RWCString& text);

  // ---- names and description
  RWCString FullName();
  RWCString QualifiedName();
  RWCString AccessPathName();
  RWCString ShortName();
  DVErrorCode Describe(SymbolDescription& description);

 private:
  SymbolObject(SymbolContext* context);
  ~SymbolObject();

  // Flag bits.
  static constexpr uint32_t kFullNameCached = 0;
  static constexpr uint32_t kShortNameCached = 1;
  static constexpr uint32_t kQualifiedNameCached = 2;
  static constexpr uint32_t kAccessPathCached = 3;
  static constexpr uint32_t kListedUnderProgram = 4;
  static constexpr uint32_t kMemberCountCached = 5;

  bool IsAggregate() const;
  bool HasValue() const;
  bool IsScoped() const;

  // The context the object was made in, made the current one for its lookups; null
  // when that context has gone (the status then says 324).
  SymbolContext* Context() const;

  void Initialise(uint32_t mode, const SymbolObject* origin, int32_t resolveState);
  // Decodes the location of the description in the current entry: the class and
  // the resolve state.
  bool DecodeLocation(uint32_t& locationClass, int32_t& resolveState);
  void FillStampTexts(uint32_t locationClass);
  // A root object: the stamp taken now with its texts, then initialised.
  void BecomeRoot(SymbolContext& context, uint32_t locationClass, int32_t state, const SymbolObject* origin);
  void DecodeAndBecomeRoot(SymbolContext& context, const SymbolObject* origin);
  void Resolve();
  // Resolves the object for a use of its place or value: 329 when it is not active,
  // 324 when its context has gone; the context otherwise.
  DVErrorCode ResolveForUse(SymbolContext*& context);
  void ResolveRoot();
  void ResolveMember();
  // The current entry made what the object describes, at its resolved place.
  void ReloadDescription() const;

  // Member setup and walks (symbol_members.cpp).
  void SetUpMembers();
  void SetUpPointerCount();
  bool RestartList();
  bool AdvanceList();
  bool RestartFields();
  bool AdvanceFields();
  bool Restart();
  bool Advance();
  OrdinalValue CountMembers();
  bool PositionAt(uint32_t index);
  RWCString QuotedText(const AddressDescriptor& at, uint32_t elementType, bool pointer);

  // Names (symbol_names.cpp).
  const SymbolObject& Root() const;
  RWCString RootText() const;
  RWCString PlaceText() const;

  RWBitVec m_flags;
  OrdinalValue m_memberCount;
  OrdinalValue m_currentIndex;
  uint32_t m_listStart = 0;
  uint32_t m_currentMember = 0;
  RecordRef m_cursor;
  uint32_t m_elementSize = 0;
  int32_t m_nestingDepth = 0;
  int32_t m_listingDepth = 0;
  int32_t m_category = kSymbolProgram;
  int32_t m_resolveState = kResolveFixed;
  uint16_t m_language = 0;
  int32_t m_lowerBound = 0;
  // The field the field walk stands on.
  RWCString m_fieldName;

  SymbolObject* m_parent = nullptr;
  OrdinalValue m_index;
  RWCString m_memberText;

  RWCString m_qualifiedName;
  RWCString m_accessPathName;
  RWCString m_fullName;
  RWCString m_shortName;

  SymbolContext* m_context = nullptr;
  uint64_t m_contextSerial = 0;
  DVErrorCode m_status;
  CollectableRecord m_valueChanges;
  CollectableRecord m_memoryChanges;
  CollectableRecord m_targetChanges;
  bool m_changeRecordsRegistered = false;
  uint32_t m_mode = 0;
  uint16_t m_useCount = 1;
  AddressDescriptor m_location;
  uint32_t m_typeIndex = 1;
  SymbolDescriptor m_description;

  AddressDescriptor m_stampAddress;
  OrdinalValue m_firstOffset;
  OrdinalValue m_secondOffset;
  AddressNames m_stamp;
};

}  // namespace zentor
