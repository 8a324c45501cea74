#pragma once
// The interpreter's one expression stack. Every action routine, every operator of the
// OperatorExecutor and every command handler takes its operands from it and leaves
// its results on it: numbers, booleans, characters and strings, target locations,
// symbol references, lengths, address ranges, operator codes and markers. Each item
// carries a kind (value kinds of dvp_types.h) and is a byte image of at most 1024
// bytes. Structured items (locations, symbol values, ranges) are stored as their
// pointer-free images and rebuilt when they are popped, so items can be copied,
// dropped and discarded wholesale without running any destructor.
//
// The stack lives in one growing byte buffer: for every item the header of the item
// below it (kind and size, 4 bytes) and then the item's bytes; the top item's own
// header is cached, so kind and size queries cost no access. Every command's operands
// pass through it, so a push or pop is a copy and nothing more.

#include <array>
#include <cstdint>
#include <memory>

#include "core/address_descriptor.h"
#include "core/address_range.h"
#include "core/dvp_types.h"
#include "core/memory_file.h"
#include "core/typed_location.h"
#include "core/unsigned_int64.h"

namespace zentor {

inline constexpr uint32_t kExpressionStackUnderflow = 156;

// A symbol used as a value: the symbol's location, the image of its symbol
// description (the symbol tables write and read it, symbols/symbol_descriptor.h) and
// one further word, the column at which the typed value output begins the members of
// an aggregate.
class SymbolValueItem {
 public:
  static constexpr uint32_t kImageSize = 221;
  static constexpr uint32_t kDescriptionImageSize = 169;
  using DescriptionImage = std::array<uint8_t, kDescriptionImageSize>;

  SymbolValueItem() { m_description.fill(0); }
  SymbolValueItem(const TypedLocation& location, const DescriptionImage& description, uint32_t word)
      : m_location(location), m_description(description), m_word(word) {}

  const TypedLocation& Location() const { return m_location; }
  const DescriptionImage& Description() const { return m_description; }
  uint32_t Word() const { return m_word; }

  // The first 48 bytes are the location's image, so the item reads as a location.
  void WriteImage(uint8_t* image) const;
  static SymbolValueItem ReadImage(const uint8_t* image);

 private:
  TypedLocation m_location;
  DescriptionImage m_description;
  uint32_t m_word = 0;
};

class ValueStack {
 public:
  static constexpr uint32_t kMaxItemSize = 1024;
  // Creates the stack's buffer (once; later calls do nothing).
  static void Create();
  // Empties the stack (before every command).
  static void Reset();

  // Pushes one item; its size follows from the kind ("nstring" its text and the NUL,
  // "lstring" its length byte and characters).
  static void Push(uint16_t kind, const void* data);
  static void PushSized(uint16_t kind, uint16_t size, const void* data);
  static void PushTyped(const DVPTypeInfo& type, const void* data);
  // Copy the top item into `buffer` (at least 1024 bytes); 156 on an empty stack.
  static void Peek(void* buffer);
  static void Pop(void* buffer);
  static void Drop();
  static uint16_t TopKind() { return State().topKind; }
  static uint16_t TopSize() { return State().topSize; }
  static void DuplicateTop();
  // Converts the top item in place (140 when it cannot be converted).
  static void ConvertTop(uint16_t kind);
  static void PopAs(uint16_t kind, void* buffer);
  static void PeekAs(uint16_t kind, void* buffer);
  static void PopTyped(const DVPTypeInfo& type, void* buffer);
  static uint16_t PopOrd2();
  static uint8_t PopBool();
  static void ConvertTopToOrd2() { ConvertTop(kKindOrd2); }
  // Makes the top a location: a reference or symbol gives its location, an integer
  // the target address of that offset (address kind and base go to the target).
  static void ConvertTopToLocation(uint32_t addressKind, const AddressDescriptor& base);
  static void IntegerTopToLocation(uint32_t addressKind, const AddressDescriptor& base);

  // Structured items, stored as images and rebuilt.
  static void PushLocation(const TypedLocation& location);
  static void PushPointerLocation(const PointerLocation& reference);
  static void PushSymbolValue(const SymbolValueItem& symbol);
  static void PushOrdinal(const OrdinalValue& value);
  static void PushRange(const AddressRange& range);
  // The top converted to a location / an OrdinalValue and popped.
  static TypedLocation PopLocation();
  static OrdinalValue PopOrdinal();
  // The top must be an address range (internal error otherwise).
  static AddressRange PopRange();

  // Appends a length-prefixed text (a count byte, then the characters) to the string
  // on top, which becomes an "lstring"; more than 254 characters in all raise 205 and
  // leave the string as it was.
  static void AppendToTopString(const uint8_t* lengthPrefixedText);

  // Number of items (walks the headers; for checks and tests).
  static uint32_t Depth();

 private:
  // The buffer starts at this size and doubles; Reset gives back anything above
  // kKeptCapacity. No item ever ends beyond kLargestSize.
  static constexpr uint32_t kInitialCapacity = 4096;
  static constexpr uint32_t kKeptCapacity = 64 * 1024;
  static constexpr uint64_t kLargestSize = 0xFFFFFFFFull;

  struct StackState {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t capacity = 0;
    uint32_t end = 0;  // one past the top item's last byte
    uint16_t topKind = kKindEmpty;
    uint16_t topSize = 0;
  };
  // Constant-initialised, so reaching it needs no guard: every item passes here.
  static StackState s_state;
  static StackState& State() { return s_state; }
  static void Reserve(uint64_t needed);
  // The general halves of PushSized and Pop: items of any size, growth, underflow.
  [[gnu::noinline]] static void PushGrowing(uint16_t kind, uint16_t size, const void* data);
  [[gnu::noinline]] static void PopChecked(void* buffer);
  template <typename Copy>
  static void Append(uint16_t kind, uint16_t size, const void* data, Copy copy);
};

// GetValueKindSize and the symbol-table code map live with the type codes (dvp_types.h).

// Action routines of the command grammar (no arguments; they work on the stack).
void PushMarker();
void AppendTokenToTopString();  // joins the current token's string literal to the top
void ConvertTopToBoolean();
void PushTrue();
void PushFalse();
void PushNullValue();

// Writes one byte at the file's position; the status is also stored in *status.
DVErrorCode WriteMemoryFileByte(DVErrorCode* status, MemoryFileHandle handle, const uint8_t* byte);

}  // namespace zentor
