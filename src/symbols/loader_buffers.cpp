#include "symbols/loader_buffers.h"

#include <cstring>

#include "symbols/load_driver.h"
#include "symbols/loader_input_file.h"
#include "symbols/loader_library.h"
#include "symbols/type_translation.h"

#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "core/unsigned_int64.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

[[noreturn]] void RaiseBufferError(uint32_t number) { throw DVError(number, kSeverityInternal); }

// Whether the file holds `count` more bytes at its position, so that nothing is
// allocated for a length a damaged file claims.
bool FileHolds(LoaderInputFile& file, uint32_t count) {
  uint64_t size = 0;
  if (!file.IsOpen() || !file.IsGood() || !file.Size(size)) return false;
  const uint64_t position = file.Tell();
  return position <= size && size - position >= count;
}

}  // namespace

// ---- ByteBuffer

ByteBuffer::ByteBuffer(uint32_t capacity) : m_bytes(capacity, 0) {}

void ByteBuffer::SetLength(uint32_t length) {
  if (length > Capacity()) RaiseBufferError(kMsgInvalidBufferIndex);
  m_length = length;
}

void ByteBuffer::Resize(uint32_t capacity) {
  m_bytes.resize(capacity, 0);
  if (m_length > capacity) m_length = capacity;
}

void ByteBuffer::Assign(const uint8_t* data, uint32_t count) {
  if (count > Capacity()) m_bytes.resize(count, 0);
  if (count > 0) std::memcpy(m_bytes.data(), data, count);
  m_length = count;
}

uint8_t& ByteBuffer::operator[](uint32_t index) {
  if (index >= Capacity()) RaiseBufferError(kMsgInvalidBufferIndex);
  return m_bytes[index];
}

uint8_t ByteBuffer::operator[](uint32_t index) const {
  if (index >= Capacity()) RaiseBufferError(kMsgInvalidBufferIndex);
  return m_bytes[index];
}

// ---- ByteWriter

void ByteWriter::Append(uint8_t byte) {
  if (m_count >= Capacity()) Resize(Capacity() + kGrowth);
  m_bytes[m_count++] = byte;
  m_length = m_count;
}

void ByteWriter::AppendBytes(const uint8_t* bytes, uint32_t count) {
  if (count == 0) return;
  if (count > Capacity() - m_count) {
    // The capacity Appends would have grown to: whole steps of kGrowth.
    const uint32_t missing = count - (Capacity() - m_count);
    Resize(Capacity() + (missing + kGrowth - 1) / kGrowth * kGrowth);
  }
  std::memcpy(m_bytes.data() + m_count, bytes, count);
  m_count += count;
  m_length = m_count;
}

void ByteWriter::Clear() {
  m_count = 0;
  m_length = 0;
}

// ---- ByteReader

ByteReader::ByteReader(const uint8_t* data, uint32_t count) {
  Assign(data, count);
  m_end = count;
}

bool ByteReader::Fill(LoaderInputFile& file, uint32_t count) {
  m_position = 0;
  m_end = 0;
  m_length = 0;
  if (!FileHolds(file, count)) {
    file.SetStatus(LoaderInputFile::kBad);
    return false;
  }
  if (count > Capacity()) m_bytes.resize(count, 0);
  file.Read(m_bytes.data(), count);
  if (!file.IsGood()) return false;
  m_length = count;
  m_end = count;
  return true;
}

void ByteReader::Require(uint32_t count) const {
  if (Remaining() < count) RaiseBufferError(kMsgInvalidDequeueIndex);
}

uint8_t ByteReader::ReadByte() {
  Require(1);
  return m_bytes[m_position++];
}

uint16_t ByteReader::ReadU16() {
  Require(2);
  const uint16_t value = value_bytes::LoadU16(m_bytes.data() + m_position);
  m_position += 2;
  return value;
}

uint32_t ByteReader::ReadU32() {
  Require(4);
  const uint32_t value = value_bytes::LoadU32(m_bytes.data() + m_position);
  m_position += 4;
  return value;
}

void ByteReader::ReadBytes(uint8_t* out, uint32_t count) {
  Require(count);
  if (count > 0) std::memcpy(out, m_bytes.data() + m_position, count);
  m_position += count;
}

void ByteReader::Skip(uint32_t count) {
  Require(count);
  m_position += count;
}

uint8_t ByteReader::Peek() const {
  Require(1);
  return m_bytes[m_position];
}

// ---- field parts

void NamePart::SetName(std::string_view name) {
  m_name.Resize(static_cast<uint32_t>(name.size()) + 1);
  if (!name.empty()) std::memcpy(m_name.Data(), name.data(), name.size());
  m_name[static_cast<uint32_t>(name.size())] = 0;
  m_name.SetLength(static_cast<uint32_t>(name.size()) + 1);
}

bool NamePart::ReadName(LoaderInputFile& file, uint32_t length) {
  if (!FileHolds(file, length)) {
    file.SetStatus(LoaderInputFile::kBad);
    SetName({});
    return false;
  }
  m_name.Resize(length + 1);
  file.Read(m_name.Data(), length);
  if (!file.IsGood()) {
    SetName({});
    return false;
  }
  m_name[length] = 0;
  m_name.SetLength(length + 1);
  return true;
}

uint32_t NamePart::NameLength() const { return static_cast<uint32_t>(std::strlen(Name())); }

void NamePart::StripLeadingUnderscores() {
  const char* text = Name();
  uint32_t skip = 0;
  while (text[skip] == '_') ++skip;
  if (skip == 0) return;
  const std::string rest(text + skip);
  SetName(rest);
}

TargetAddressRecord AddressPart::TargetAddress() const {
  TargetStatus status;
  TargetAddressRecord record;
  if (InstalledSymbolLoadTarget().AddressFromLoader(&status, &m_address, &record) != 0) throw DVError(status);
  return record;
}

// ---- builders

uint32_t ModuleBuilder::Write() {
  BeginModule(Name(), m_word, m_language, m_attribute);
  if (m_deferred != 0) {
    // A module index the handle cannot carry gets no slot: the module then reports
    // itself as not loadable instead of naming another module.
    const int32_t slot = m_moduleIndex <= DeferredModuleHandle::kModuleIndexMask ? CurrentLoadableSlot() : -1;
    SetDeferredToken(DeferredModuleHandle::FromParts(slot, m_moduleIndex), TargetAddress(), OrdinalValue(Size()));
  }
  return 0;
}

uint32_t BlockBuilder::Write() {
  BeginBlock(TargetAddress(), OrdinalValue(Size()));
  return 0;
}

uint32_t ProcedureBuilder::Write() {
  BeginProcedure(Name(), TargetAddress(), OrdinalValue(Size()), Type(), m_attribute, OrdinalValue(m_second));
  return 0;
}

uint32_t EndScopeBuilder::Write() {
  EndScope();
  return 0;
}

uint32_t SymbolBuilder::Write() {
  // The storage classes are the library's storage flags; a class that does not fit
  // its byte is no class the loaders make.
  if (StorageClass() > 0xFF) ZENTOR_INTERNAL_ERROR();
  AddSymbol(Name(), static_cast<uint8_t>(StorageClass()), Type(), TargetAddress());
  return 0;
}

uint32_t GlobalSymbolBuilder::Write() {
  AddGlobalSymbol(Name(), Type(), TargetAddress());
  return 0;
}

uint32_t LineBuilder::Write() {
  // Line 0 stands for code without a source line (compilers emit it for code they
  // made themselves); the library takes no line 0, so the record is dropped.
  if (m_skip == kLineSkipNone && m_line == 0) return 0;
  AddLine(m_file.Name(), m_skip, m_line, OrdinalValue(m_offset));
  return 0;
}

uint32_t TypeDescriptionBuilder::Write() {
  const uint32_t length = m_bytes.Length();
  if (length == 1 && m_bytes[0] == kLeafNone) {
    m_definedIndex = DefineNullType();
    return 0;
  }
  m_definedIndex = BeginTypeDefinition();
  // Bytes go over in runs so that the busy pump still runs every kPumpInterval bytes.
  for (uint32_t start = 0; start < length; start += kPumpInterval) {
    const uint32_t run = length - start < kPumpInterval ? length - start : kPumpInterval;
    TypeDefinitionBytes(m_bytes.Data() + start, run);
    if (run == kPumpInterval) PumpWhileBusy();
  }
  EndTypeDefinition();
  return 0;
}

}  // namespace zentor
