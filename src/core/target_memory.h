#pragma once
// The engine's access to target memory and registers as the value model uses it:
// reading the value a location holds, following a chain of pointers, pushing a
// register's value, and the writes of an assignment. The value stack and the operator executor call the static entry
// points of TargetMemory; behind them sits one replaceable TargetMemoryService. Until
// the engine installs the service that talks to the target interface, the default
// answers every request with 2006 "Operation failed. No program loaded.", and tests
// install a double over a byte image.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/dvp_types.h"
#include "core/unsigned_int64.h"

namespace zentor {

class AddressRange;
class TypedLocation;

inline constexpr uint32_t kMaxIndirectionLevels = 20;
// Messages of target memory access.
inline constexpr uint32_t kOperandSizeTooLarge = 40;
inline constexpr uint32_t kTooManyIndirections = 86;
inline constexpr uint32_t kStringTooLong = 205;
inline constexpr uint32_t kNoProgramLoaded = 2006;
inline constexpr uint32_t kMemoryReadFailed = 2007;
// Longest texts read for the two string types.
inline constexpr uint32_t kMaxNStringRead = 1023;
inline constexpr uint32_t kMaxLStringRead = 254;
// The wide (16-bit character) string type, and the longest string ReadBytes measures.
inline constexpr uint16_t kKindWideString = 43;
inline constexpr uint32_t kLongestMeasuredString = 256;

class TargetMemoryService {
 public:
  virtual ~TargetMemoryService();

  // Reads the range into `destination` (which holds `capacity` bytes) in the range's
  // type: element size x length bytes for every type but the two strings; an
  // "nstring" (NUL-terminated, at most 1023 characters) or an "lstring" (length byte,
  // at most 254 characters) from the range's start. Returns the bytes read. A failed
  // read is thrown; with `warnOnPartial` set and some bytes read it is a warning.
  virtual OrdinalValue ReadValue(void* destination, uint32_t capacity, const AddressRange& range,
                                 uint32_t warnOnPartial) = 0;
  // Reads levels + 1 pointers of the pointer type's target type in a chain from the
  // start location and returns the address finally reached.
  virtual AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                               uint32_t levels) = 0;
  // Pushes the register's value on the value stack, typed as the register.
  virtual void PushRegisterValue(uint32_t registerIndex) = 0;
  // Writes `size` bytes at the range's start. Without a target: 2006.
  virtual void WriteValue(const void* data, uint32_t size, const AddressRange& range);
  // Sets a register to a value of the given kind. Without a target: 2006.
  virtual void WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size);
};

class TargetMemory {
 public:
  // Reads the range into the buffer. A range whose byte count is 0 is an internal
  // error; one whose bytes do not fit `capacity` raises 40 "Operand size too large."
  // before anything is read.
  static void ReadValue(OrdinalValue* bytesRead, void* destination, uint32_t capacity, const AddressRange& range,
                        uint32_t warnOnPartial);
  // The value stored at a location, read in the location's type into `buffer`
  // (`capacity` bytes, cleared first): one element, as the value stack and the
  // operators read a reference. A location without an element size reads one value of
  // its type.
  static void ReadLocationValue(uint8_t* buffer, uint32_t capacity, const TypedLocation& location);
  // Reads `count` bytes from an address into `destination`.
  static void ReadBytesAt(const AddressDescriptor& address, uint8_t* destination, uint32_t count);
  // The length of the string stored at a location, by the location's type: for
  // "nstring" (22) the bytes before the first zero byte or byte above 0x7F, for the
  // wide string type (43) the 16-bit characters before the first zero, each at most
  // 256 and read in pieces of 32 bytes; for "lstring" (23) its first byte; 0 for any
  // other type. A failed read is thrown.
  static uint32_t ReadBytes(const TypedLocation& location);
  // More than 20 further levels raise 86 "Too many levels of indirection.".
  static AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                              uint32_t levels);
  static void PushRegisterValue(uint32_t registerIndex);
  // Writes the bytes of a value at the range's start; an empty write is an internal
  // error.
  static void WriteValue(const void* data, uint32_t size, const AddressRange& range);
  static void WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size);

  // Installs the service (the caller keeps it alive); null restores the default.
  // Returns the service that was installed before.
  static TargetMemoryService* InstallService(TargetMemoryService* service);
  static TargetMemoryService& Service();
};

}  // namespace zentor
