#pragma once
// The source pane's reader of one source file: a 4096-byte buffer over the file's
// descriptor, confined to the module's text region [textStart, textEnd). It reads
// characters and whole display lines forwards and backwards, so that a window of lines
// can be built around any line without reading the file from its start, and it moves
// from one line number to another, counting lines where the pane numbers them and by
// estimated jumps in listing files that carry their own numbers. The SourceBase of
// every Source window owns one; the build, the search, the scrolling and the update
// read through it.

#include <array>
#include <cstdint>

#include "core/address_descriptor.h"

namespace zentor {

// The part of a module's source position that bounds and guides the reader.
struct SourceTextRegion {
  // File positions of the module's text; reads never leave [textStart, textEnd).
  uint32_t m_textStart = 0;
  uint32_t m_textEnd = 0;
  // Text lines of the file; -1 (as unsigned) when unknown.
  uint32_t m_lineCount = 0xFFFFFFFFu;
  // The location's line; a number of 0 needs no positioning.
  OptionalLine m_locationLine;
  // The module's source language (7: a listing's numbers start within 4 columns).
  uint16_t m_language = 0;
};

// Where the buffer stands: the next byte in it, the file position of its first byte
// and the valid bytes. The read position is base + offset.
struct SourceReadState {
  int32_t m_offset = 0;
  int32_t m_base = 0;
  int32_t m_count = 0;
};

class SourceTextReader {
 public:
  static constexpr int32_t kBufferSize = 4096;
  // The longest display line the reader stores (besides the NUL of its line end): a
  // TAB at the limit can carry a forward line 3 characters further.
  static constexpr int32_t kLineLimit = 153;
  // What callers ask for; lowered to kLineLimit.
  static constexpr int32_t kRequestedLimit = 160;
  // Room a destination needs for one line: the limit, a TAB's overshoot and the NUL.
  static constexpr int32_t kDestinationSize = kLineLimit + 3 + 1;
  // The byte that ends the text in both directions.
  static constexpr uint8_t kEndOfText = 0xFF;

  // `region` stays owned by the caller and is read at every operation.
  explicit SourceTextReader(const SourceTextRegion& region) : m_region(region) {}

  // The file read from now on (-1: none); drops the buffer.
  void Attach(int32_t descriptor);
  int32_t Descriptor() const { return m_descriptor; }
  // Forgets the buffered bytes; the next read starts from the descriptor's position.
  void DiscardBuffer();

  // Moves the read position to file position `position` (origin 0, the only one
  // callers use). Inside the buffer nothing is read. Outside the text region, or when
  // the file cannot be positioned, raises 260 "Seek failed on source file.".
  void Seek(int32_t position, int32_t origin = 0);
  // The read position (buffer base + offset), or the descriptor's position when
  // nothing is buffered.
  int32_t Position() const;

  // The next and the previous byte of the text; 0xFF at its end and start.
  uint8_t GetNextChar();
  uint8_t GetPreviousChar();

  // One display line into `destination` (kDestinationSize bytes): TAB as four blanks,
  // LF and CR as a NUL each (both counted), FF as a blank, Ctrl-Z dropped. At most
  // kLineLimit characters are stored; the rest of a longer line is skipped. The count,
  // or -1 at the end of the text.
  int32_t ReadLineForward(char* destination, int32_t limit);
  // The line that ends at the read position, leaving the read position at its first
  // character. A longer line keeps its last kLineLimit characters. The count, or -1 at
  // the start of the text.
  int32_t ReadLineBackward(char* destination, int32_t limit);

  // Moves the read position to the start of line `target`, coming from line `current`
  // (the line that starts at the read position). Lines numbered by the pane
  // (firstLineNumber not 0) are counted; a listing's own numbers are found by jumps
  // estimated from the average line length. 1 when positioned, -1 when the listing
  // has no known line count or the line cannot be found.
  int32_t MoveToLine(int32_t target, int32_t current, uint32_t firstLineNumber);

  // File reads made so far (the benchmarks count them).
  uint64_t BufferReads() const { return m_bufferReads; }
  const SourceReadState& ReadState() const { return m_readState; }
  int32_t BufferCount() const { return m_bufferCount; }

 private:
  // Reads up to `size` bytes at the descriptor's position into the buffer; the result
  // of the read (0 on failure).
  int32_t FillBuffer(int32_t size);
  // Positions the descriptor or raises 260.
  void SeekFileOrRaise(int32_t position);
  int32_t MoveToListedLine(int32_t target, int32_t current);

  const SourceTextRegion& m_region;
  int32_t m_descriptor = -1;
  SourceReadState m_readState;
  // Bytes of the last buffer read; 0 = nothing buffered.
  int32_t m_bufferCount = 0;
  uint64_t m_bufferReads = 0;
  std::array<uint8_t, kBufferSize> m_fileBuffer{};
};

// Raises 260 "Seek failed on source file." (ERROR).
[[noreturn]] void RaiseSourceSeekFailed();

}  // namespace zentor
