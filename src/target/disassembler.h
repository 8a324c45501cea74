#pragma once
// The target interface's disassembler: one line of text (bytes, mnemonic, operands)
// for the instruction at a target address. Code bytes come from a 256-byte code
// window read through TargetMemory, so that consecutive instructions cost one target
// read per window; a target-memory change (a change record of kind 6) or an address
// outside the window refills it. TmiDisassemble, the one entry the debugger side
// calls, puts the address text in front of the line.

#include <cstdint>
#include <memory>

#include "core/address_descriptor.h"
#include "core/collectable_record.h"
#include "core/target_status.h"
#include "target/disasm_decoder.h"
#include "target/disasm_formatter.h"

namespace zentor {

// Message of an internal fault of the code window (an index beyond any window).
inline constexpr uint32_t kCodeWindowFault = 2000;

// The window of code bytes the decoder reads from: a copy of target memory at a start
// address, at most 256 bytes (fewer where the address space ends).
class CodeWindow final : public CodeByteSource {
 public:
  static constexpr uint32_t kSize = 256;

  CodeWindow();
  ~CodeWindow() override;
  CodeWindow(const CodeWindow&) = delete;
  CodeWindow& operator=(const CodeWindow&) = delete;

  // Positions the decode at `address`, refilling the window there on the first use,
  // after a target-memory change, and when the address lies outside the window.
  void MoveTo(const AddressDescriptor& address);
  // Forgets the bytes: the next MoveTo refills.
  void Forget();

  // The decode ran past the window: refills at the next address (false at the end of
  // the address space). A failed read throws its DVError.
  bool Refill() override;
  // A byte past the window, read from the target directly; false when unreadable.
  bool PeekBeyond(uint32_t distance, uint8_t* byte) override;

  // Times the window was filled so far (tests watch the reuse).
  uint32_t FillCount() const { return m_fillCount; }

 private:
  // Reads up to 256 bytes at `address`. Where memory ends earlier, shorter reads are
  // tried down to a single byte, so that code just before an unreadable page still
  // disassembles; a byte that cannot be read at all throws.
  void Fill(const AddressDescriptor& address);
  // Reads `count` bytes at `address`; the DVError of a failed read is thrown.
  void Read(const AddressDescriptor& address, uint8_t* destination, uint32_t count);

  AddressDescriptor m_start;  // null: nothing held
  uint32_t m_length = 0;
  uint32_t m_fillCount = 0;
  uint8_t m_bytes[kSize] = {};
  std::unique_ptr<CollectableRecord> m_changeRecord;
};

// The decoder state, the code window and the text buffer of the target interface's
// disassembly. One instance serves the program (Disassembler::Instance); decoding
// is not re-entrant.
class Disassembler {
 public:
  // Mode 1: 32-bit default operand and address size; 0: 16-bit.
  static constexpr uint32_t kMode32 = 1;
  static constexpr uint32_t kMode16 = 0;
  // Address text ("0x" and eight digits), two blanks and the line.
  static constexpr uint32_t kTextCapacity = 16 + kDisassemblyLineCapacity;

  static Disassembler& Instance();

  // Writes the line of the instruction at `address` into `line` (at least
  // kDisassemblyLineCapacity characters) and returns its length in bytes (the bytes
  // consumed, also after a failed decode). A DVError of the target read is caught:
  // its number and severity go to `status` and the result is 0.
  uint32_t Disassemble(TargetStatus* status, const TargetAddressRecord& address, char* line, uint32_t mode);

  CodeWindow& Window() { return m_window; }
  char* TextBuffer() { return m_text; }

 private:
  DecodeState m_state;
  CodeWindow m_window;
  char m_text[kTextCapacity] = {};
};

// Disassembler::Disassemble of the program's one disassembler.
uint32_t Disassemble(TargetStatus* status, const TargetAddressRecord& address, char* line, uint32_t mode);

// The target interface's disassembly entry: *text points at a buffer of the interface
// (overwritten by the next call) holding the address text, two blanks and the line
// of the instruction at `address`; *length is the instruction's length. The address
// form is accepted and not used. A null address, and a failed target read, come back
// as the status (2007 "Memory read failed." for the null address). Returns the
// status number.
uint32_t TmiDisassemble(TargetStatus* status, uint32_t viewpoint, const TargetAddressRecord* address,
                        uint32_t addressForm, const char** text, uint32_t* length);

}  // namespace zentor
