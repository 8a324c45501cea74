#pragma once
// The byte buffers and record builders of the symbol-file loaders. A loader never calls
// the loader library field by field: it fills a builder (module, block, procedure, end
// of scope, symbol, global symbol, line, type description) and asks it to write
// itself; the builder converts its loader addresses into target addresses and makes
// the one loader-library call that enters the record. The builders share their field
// parts (name, address, size, type, storage class) as bases. The byte buffers hold
// names, type records read from a file and the code bytes of type descriptions; every
// index into them is checked, so a damaged record can never reach past its bytes.

#include <cstdint>
#include <string_view>
#include <vector>

#include "symbols/symbol_load_target.h"

namespace zentor {

class LoaderInputFile;

// "Invalid index into internal buffer." (INTERNAL ERROR)
inline constexpr uint32_t kMsgInvalidBufferIndex = 2050;
// "Index invalid for Dequeue operation." (INTERNAL ERROR): a read past the end of a
// record.
inline constexpr uint32_t kMsgInvalidDequeueIndex = 2056;

// Owned bytes with a capacity and a length (the bytes in use).
class ByteBuffer {
 public:
  explicit ByteBuffer(uint32_t capacity = 0);
  ByteBuffer(const ByteBuffer& other) = default;
  ByteBuffer& operator=(const ByteBuffer& other) = default;
  virtual ~ByteBuffer() = default;

  uint32_t Capacity() const { return static_cast<uint32_t>(m_bytes.size()); }
  uint32_t Length() const { return m_length; }
  void SetLength(uint32_t length);
  // A new capacity, keeping the bytes that fit; a length beyond it is cut to it.
  void Resize(uint32_t capacity);
  // Grows to fit, then copies `count` bytes; the length becomes `count`.
  void Assign(const uint8_t* data, uint32_t count);
  // Byte i; an index at or beyond the capacity raises 2050.
  uint8_t& operator[](uint32_t index);
  uint8_t operator[](uint32_t index) const;
  const uint8_t* Data() const { return m_bytes.data(); }
  uint8_t* Data() { return m_bytes.data(); }

 protected:
  std::vector<uint8_t> m_bytes;
  uint32_t m_length = 0;
};

// A buffer that grows by appending: when the write count reaches the capacity the
// buffer first grows by 256 bytes. The length follows the count.
class ByteWriter : public ByteBuffer {
 public:
  static constexpr uint32_t kGrowth = 256;

  explicit ByteWriter(uint32_t capacity = kGrowth) : ByteBuffer(capacity) {}
  void Append(uint8_t byte);
  // Appends `count` bytes as that many Appends would.
  void AppendBytes(const uint8_t* bytes, uint32_t count);
  uint32_t WriteCount() const { return m_count; }
  // Empties the writer (the capacity stays).
  void Clear();

 private:
  uint32_t m_count = 0;
};

// A buffer read from the front: a type record read from the file. Every read checks
// that the bytes it needs are there and raises 2056 otherwise.
class ByteReader : public ByteBuffer {
 public:
  ByteReader() = default;
  // A reader over a copy of the bytes.
  ByteReader(const uint8_t* data, uint32_t count);
  // Takes `count` bytes from the file into the reader (the end is the count, the read
  // position 0); false, with an empty reader, when the file could not supply them.
  bool Fill(LoaderInputFile& file, uint32_t count);

  uint32_t Remaining() const { return m_end - m_position; }
  uint32_t Position() const { return m_position; }
  uint32_t End() const { return m_end; }
  uint8_t ReadByte();
  // Two bytes, low first.
  uint16_t ReadU16();
  // Four bytes, low first.
  uint32_t ReadU32();
  // `count` bytes into `out`.
  void ReadBytes(uint8_t* out, uint32_t count);
  void Skip(uint32_t count);
  uint8_t Peek() const;

 private:
  void Require(uint32_t count) const;

  uint32_t m_end = 0;
  uint32_t m_position = 0;
};

// ---- field parts

// A name as the loaders hand it over: NUL-terminated bytes.
class NamePart {
 public:
  NamePart() { m_name.Assign(reinterpret_cast<const uint8_t*>(""), 1); }
  void SetName(std::string_view name);
  // Reads `length` bytes of a name from the file; false (and an empty name) when the
  // file could not supply them.
  bool ReadName(LoaderInputFile& file, uint32_t length);
  // Removes the leading underscores (global data are written without them).
  void StripLeadingUnderscores();
  const char* Name() const { return reinterpret_cast<const char*>(m_name.Data()); }
  // The characters before the first NUL (the length of the C string).
  uint32_t NameLength() const;

 private:
  ByteBuffer m_name;
};

class AddressPart {
 public:
  // An offset in memory: kind 1, segment 0, high word 0.
  void SetAddress(uint32_t offset) { m_address = LoaderAddress::Memory(offset); }
  void SetAddress(const LoaderAddress& address) { m_address = address; }
  const LoaderAddress& Address() const { return m_address; }

 protected:
  // The target's record of the address; a conversion the target refuses is raised.
  TargetAddressRecord TargetAddress() const;

 private:
  LoaderAddress m_address;
};

class SizePart {
 public:
  void SetSize(uint32_t size) { m_size = size; }
  uint32_t Size() const { return m_size; }

 private:
  uint32_t m_size = 0;
};

class TypePart {
 public:
  void SetType(uint32_t type) { m_type = type; }
  uint32_t Type() const { return m_type; }

 private:
  uint32_t m_type = 0;
};

// Storage classes of symbols.
inline constexpr uint32_t kStorageStatic = 0;
inline constexpr uint32_t kStorageFrameRelative = 1;
inline constexpr uint32_t kStorageInRegister = 8;

class StorageClassPart {
 public:
  void SetStorageClass(uint32_t storage) { m_storage = storage; }
  uint32_t StorageClass() const { return m_storage; }

 private:
  uint32_t m_storage = kStorageStatic;
};

// ---- builders

class LoaderRecordBuilder {
 public:
  virtual ~LoaderRecordBuilder() = default;
  // Enters the record through the loader library; 0.
  virtual uint32_t Write() = 0;
};

// A module: BeginModule and, with the deferred flag, SetDeferredToken with the
// module's handle (the current loadable's registry slot and the module index), its
// address and its size.
class ModuleBuilder : public LoaderRecordBuilder, public NamePart, public AddressPart, public SizePart {
 public:
  uint32_t Write() override;

  void SetModuleIndex(uint32_t index) { m_moduleIndex = index; }
  uint32_t ModuleIndex() const { return m_moduleIndex; }
  void SetWord(uint16_t word) { m_word = word; }
  void SetLanguage(uint8_t language) { m_language = language; }
  uint8_t Language() const { return m_language; }
  void SetAttribute(uint8_t attribute) { m_attribute = attribute; }
  uint8_t Attribute() const { return m_attribute; }
  void SetDeferred(uint32_t deferred) { m_deferred = deferred; }
  uint32_t Deferred() const { return m_deferred; }

 private:
  uint32_t m_moduleIndex = 0;
  uint16_t m_word = 0;
  uint8_t m_language = 4;
  uint8_t m_attribute = 0;
  uint32_t m_deferred = 1;
};

class BlockBuilder : public LoaderRecordBuilder, public AddressPart, public SizePart {
 public:
  uint32_t Write() override;
};

class ProcedureBuilder : public LoaderRecordBuilder,
                         public NamePart,
                         public AddressPart,
                         public SizePart,
                         public TypePart {
 public:
  uint32_t Write() override;
  void SetAttribute(uint8_t attribute) { m_attribute = attribute; }
  void SetSecondValue(uint32_t value) { m_second = value; }

 private:
  uint8_t m_attribute = 0;
  uint32_t m_second = 0;
};

class EndScopeBuilder : public LoaderRecordBuilder {
 public:
  uint32_t Write() override;
};

// A symbol of the current module or scope; its storage class (0, 1 or 8) is the
// storage-flags word of AddSymbol.
class SymbolBuilder : public LoaderRecordBuilder,
                      public NamePart,
                      public StorageClassPart,
                      public TypePart,
                      public AddressPart {
 public:
  uint32_t Write() override;
};

class GlobalSymbolBuilder : public LoaderRecordBuilder, public NamePart, public TypePart, public AddressPart {
 public:
  uint32_t Write() override;
};

// Skip flags of line records: begin and end of a file's lines (ignored by the
// library), and a line.
inline constexpr uint8_t kLineSkipNone = 0;
inline constexpr uint8_t kLineBeginOfFile = 1;
inline constexpr uint8_t kLineEndOfFile = 4;

// A line of the module: the line's code offset from the module start.
class LineBuilder : public LoaderRecordBuilder {
 public:
  uint32_t Write() override;

  void SetFileName(std::string_view name) { m_file.SetName(name); }
  NamePart& File() { return m_file; }
  const char* FileName() const { return m_file.Name(); }
  void SetSkipFlag(uint8_t skip) { m_skip = skip; }
  void SetLine(uint32_t line) { m_line = line; }
  void SetOffset(uint32_t offset) { m_offset = offset; }

 private:
  NamePart m_file;
  uint8_t m_skip = kLineSkipNone;
  uint32_t m_line = 0;
  uint32_t m_offset = 0;
};

// A type description: the code bytes of one type. The single byte 0x80 is the null
// type; anything else is handed to the library byte by byte, the GUI pumped every 100
// bytes.
class TypeDescriptionBuilder : public LoaderRecordBuilder {
 public:
  static constexpr uint32_t kPumpInterval = 100;

  uint32_t Write() override;
  ByteWriter& Bytes() { return m_bytes; }
  const ByteWriter& Bytes() const { return m_bytes; }
  void Append(uint8_t byte) { m_bytes.Append(byte); }
  // The type index the last Write defined (0 before one).
  uint32_t DefinedIndex() const { return m_definedIndex; }

 private:
  ByteWriter m_bytes;
  uint32_t m_definedIndex = 0;
};

}  // namespace zentor
