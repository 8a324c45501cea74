#pragma once
// The engine's one path to the memory of the debugged program as everything above the
// core uses it: typed reads of values and strings, string lengths, writes with a
// repeat count, copies, pointer chains, and the register reads and writes of the
// value model. The static entry points of TargetMemory hold the typed rules (string
// limits, element sizes, the pieces a string is scanned in); behind them sits one
// replaceable TargetMemoryService that talks to the target. Until the engine installs
// its service the default answers every request with 2006 "Operation failed. No
// program loaded.", and tests install a double over a byte image. Nothing is kept
// here: every operation asks the target interface at once (which answers a stopped
// thread's reads again from the bytes it read since the stop).

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/dvp_types.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

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
// The most characters a string read yields: a NUL-terminated string is cut there
// (never an error); a length-prefixed one handed to a caller holds at most 254.
inline constexpr uint32_t kLongestMeasuredString = 256;
inline constexpr uint32_t kMaxNStringRead = kLongestMeasuredString;
inline constexpr uint32_t kMaxLStringRead = 254;
// The wide (16-bit character) string type.
inline constexpr uint16_t kKindWideString = 43;
// Bytes of one piece of a string scan.
inline constexpr uint32_t kStringScanPiece = 32;
// The largest piece a fill hands the target in one write.
inline constexpr uint32_t kCopyPieceBytes = 1024;

class TargetMemoryService {
 public:
  virtual ~TargetMemoryService();

  // Reads the range's elements (element size x length bytes, never a string type)
  // into `destination` (which holds `capacity` bytes). Returns the bytes read. A failed
  // read is thrown; with `acceptPartial` set and at least one element read it is a
  // reported warning and the read counts as done.
  virtual OrdinalValue ReadValue(void* destination, uint32_t capacity, const AddressRange& range,
                                 uint32_t acceptPartial) = 0;
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
  // Copies the source range's bytes to the destination. Without a target: 2006.
  virtual void CopyRange(const AddressRange& source, const AddressDescriptor& destination);
};

class TargetMemory {
 public:
  // Reads the range into the buffer and sets *bytesRead to the bytes placed there.
  // A string type (22 NUL-terminated, 23 length-prefixed) reads one string from the
  // range's start: its characters and a NUL (at most 256 characters), or its length
  // byte and characters (205 above 254 characters); any other range length is an
  // internal error. Other types: a range whose byte count is 0 is an internal error;
  // one whose bytes do not fit `capacity` raises 40 "Operand size too large." before
  // anything is read.
  static void ReadValue(OrdinalValue* bytesRead, void* destination, uint32_t capacity, const AddressRange& range,
                        uint32_t acceptPartial);
  // The value stored at a location, read in the location's type into `buffer`
  // (`capacity` bytes, cleared first): one element, as the value stack and the
  // operators read a reference. A location without an element size reads one value of
  // its type.
  static void ReadLocationValue(uint8_t* buffer, uint32_t capacity, const TypedLocation& location);
  // Reads `count` bytes from an address into `destination`.
  static void ReadBytesAt(const AddressDescriptor& address, uint8_t* destination, uint32_t count);
  // The string at a location of type 22 (its characters, at most 256) or 23 (the
  // length byte and its characters); another type is an internal error.
  static RWCString ReadString(const TypedLocation& start);
  // The length of the string stored at a location, by the location's type: 22 the
  // characters before the first zero byte or byte above 0x7F, 43 the 16-bit
  // characters before the first such character, each at most 256; 23 its first byte;
  // 0 for any other type. A failed read is thrown.
  static uint32_t StringLength(const TypedLocation& location);
  // Scans the 8-bit (16-bit) characters at a location in pieces of 32 characters up to
  // `limit` (at most 256): the count before the first character that is 0 or above
  // 0x7F. A destination of at least 257 characters receives them (the low byte of a
  // wide character) and a NUL after them.
  static uint32_t ScanNarrowString(char* destination, const TypedLocation& location, uint32_t limit);
  static uint32_t ScanWideString(char* destination, const TypedLocation& location, uint32_t limit);
  // More than 20 further levels raise 86 "Too many levels of indirection." before any
  // target request.
  static AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                              uint32_t levels);
  static void PushRegisterValue(uint32_t registerIndex);
  // Writes the bytes of a value at the range's start, `repeat` times one after the
  // other (a fill); an empty write is an internal error.
  static void WriteValue(const void* data, uint32_t size, const AddressRange& range, uint32_t repeat = 1);
  static void WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size);
  static void CopyRange(const AddressRange& source, const AddressDescriptor& destination);

  // Installs the service (the caller keeps it alive); null restores the default.
  // Returns the service that was installed before.
  static TargetMemoryService* InstallService(TargetMemoryService* service);
  static TargetMemoryService& Service();
};

}  // namespace zentor
