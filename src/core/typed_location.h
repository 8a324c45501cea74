#pragma once
// TypedLocation is a place on the target together with what lies there: the address,
// the type of the elements, the size of one element and how many there are. An
// expression that denotes an object evaluates to one; it is the value stack's
// location item, the start of every AddressRange and the operand of C-style pointer
// arithmetic, which moves by whole elements. PointerLocation adds what a pointer
// stored at the location points to, so that the pointer can be followed.
//
// On the value stack both travel as flat byte images (WriteImage / ReadImage): the
// images hold only numbers, so they can be copied, dropped and rebuilt freely.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/dvp_types.h"
#include "core/unsigned_int64.h"

namespace zentor {

class AddressRange;
class DVError;
class RWCString;
class TypedLocation;

// What evaluating an expression text made of its result (the location kinds of the
// grammar objects): 0 a pointer to bytes, 1 the offset type, 2 a typed location, 3 an
// integer of at most 8 bytes made an address, 4 a wider integer, 5 an inactive symbol.
inline constexpr uint32_t kLocationKindOffsetType = 1;
inline constexpr uint32_t kLocationKindSmallInteger = 3;
inline constexpr uint32_t kLocationKindWideInteger = 4;
inline constexpr uint32_t kLocationKindInactive = 5;

// Expression texts are evaluated by the command language, which installs its
// evaluator at start-up: the text run as a grammar object of production `kind`, its
// result made a location. Without one the constructors from a text raise the
// internal-consistency error.
using LocationTextEvaluator = DVErrorCode (*)(const char* text, int32_t kind, uint32_t* locationKind,
                                              TypedLocation* location, DVError* error);
// Installs the evaluator (null: none); returns the one installed before.
LocationTextEvaluator InstallLocationTextEvaluator(LocationTextEvaluator evaluator);

// Messages of a location made from a text.
inline constexpr uint32_t kMsgInvalidExecutionAddress = 74;
inline constexpr uint32_t kMsgInvalidLocationAddress = 155;

class TypedLocation {
 public:
  // Bytes of the image of a location on the value stack.
  static constexpr uint32_t kImageSize = 48;

  // Null address, type "ord1", element size 1, element count 1.
  TypedLocation();
  // That address with the default type and sizes.
  explicit TypedLocation(const AddressDescriptor& address);
  TypedLocation(const AddressDescriptor& address, const DVPTypeInfo& type, const OrdinalValue& elementSize,
                const OrdinalValue& elementCount);
  // The location an expression text names, evaluated in the current symbol context.
  // Mode 2 evaluates it for access kind 7, mode 3 for 8, any other mode for 2; mode 1
  // wants an execution address and refuses a data location (74). An integer wider
  // than 8 bytes raises 155, an inactive symbol 329; the evaluation's own error is
  // raised unchanged.
  TypedLocation(const RWCString& text, int32_t mode);
  TypedLocation(const TypedLocation& other) = default;
  TypedLocation& operator=(const TypedLocation& other);
  // That address, and the default type and sizes.
  TypedLocation& operator=(const AddressDescriptor& address);
  void SetTypeInfo(const DVPTypeInfo& type, const OrdinalValue& elementSize, const OrdinalValue& elementCount);

  static const DVPTypeInfo& DefaultType();
  static const OrdinalValue& DefaultElementSize();
  static const OrdinalValue& DefaultElementCount();

  AddressDescriptor Address() const { return m_address; }
  const AddressDescriptor& AddressRef() const { return m_address; }
  DVPTypeInfo Type() const { return m_type; }
  OrdinalValue ElementSize() const { return m_elementSize; }
  OrdinalValue ElementCount() const { return m_elementCount; }
  bool IsNull() const { return m_address.IsNull(); }
  void MakeNull() { m_address.MakeNull(); }
  // The type is one of the target's address types.
  bool IsPointer() const { return IsTargetAddressKind(static_cast<uint32_t>(m_type.Code())); }
  bool IsOffsetType() const { return m_type.Code() == kKindOffset; }

  // Move by n elements (bytes for the offset type or an element size of 0); a null
  // location raises 138 "Invalid pointer operation.".
  TypedLocation& operator+=(const OrdinalValue& elements);
  TypedLocation& operator-=(const OrdinalValue& elements);
  TypedLocation operator+(const OrdinalValue& elements) const { return TypedLocation(*this) += elements; }
  TypedLocation operator-(const OrdinalValue& elements) const { return TypedLocation(*this) -= elements; }
  // One element; a null location is left alone.
  TypedLocation& operator++();
  TypedLocation operator++(int);
  TypedLocation& operator--();
  TypedLocation operator--(int);
  // Distance in elements (remainder dropped); 138 for a null operand, different
  // types, or a smaller or not comparable address.
  OrdinalValue operator-(const TypedLocation& other) const;

  uint32_t IsWithinRange(const TypedLocation& start, const TypedLocation& end) const;
  uint32_t IsWithinLength(const TypedLocation& start, const OrdinalValue& elements) const;
  uint32_t IsInRange(const AddressRange& range) const;

  void WriteImage(uint8_t* image) const;
  static TypedLocation ReadImage(const uint8_t* image);

 private:
  bool Scales() const;

  AddressDescriptor m_address;
  DVPTypeInfo m_type;
  OrdinalValue m_elementSize;
  OrdinalValue m_elementCount;
};

class PointerLocation {
 public:
  static constexpr uint32_t kImageSize = 60;

  PointerLocation();
  // The location of the pointer object, what it points to and that element's size.
  PointerLocation(const TypedLocation& location, const DVPTypeInfo& pointeeType, const OrdinalValue& pointeeSize);

  const TypedLocation& Location() const { return m_location; }
  DVPTypeInfo PointeeType() const { return m_pointeeType; }
  OrdinalValue PointeeSize() const { return m_pointeeSize; }

  // The object the pointer stored here points to: read through target memory, typed
  // as the pointee, one element.
  TypedLocation Dereference() const;

  void WriteImage(uint8_t* image) const;
  static PointerLocation ReadImage(const uint8_t* image);

 private:
  TypedLocation m_location;
  DVPTypeInfo m_pointeeType;
  OrdinalValue m_pointeeSize;
};

}  // namespace zentor
