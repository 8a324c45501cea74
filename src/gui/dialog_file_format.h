#pragma once
// The bytes of the settings store's file, its records and its list entries: one place
// that knows each field's offset and width, for the store (dialog_description_file.h)
// and its tests. Nothing here touches a file.
//
// A file is the magic, the signature with its NUL, the records one after the other
// (a 66-byte header, then the data) and at its end the directory: the record count
// n, a reserved word, n signed record offsets in the order the records were added
// (a negated offset is a dropped record) and the count again as the trailer. All
// integers are 32-bit little-endian; nothing is padded.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentor {

inline constexpr uint32_t kDialogFileMagic = 0x89ABCDEFu;
inline constexpr char kDialogFileSignature[] = "Dialog Description File Manager V1.0";
// The signature with its NUL, at offset 4.
inline constexpr uint32_t kDialogFileSignatureSize = sizeof kDialogFileSignature;
// The first record's offset, the least offset a record may have.
inline constexpr uint32_t kDialogFileRecordsStart = 4 + kDialogFileSignatureSize;
// A store without records: magic, signature, count, reserved word and trailer.
inline constexpr uint32_t kDialogEmptyFileSize = kDialogFileRecordsStart + 12;

inline constexpr uint32_t kDialogRecordHeaderSize = 66;
// The name and description fields: at most 16 and 32 characters and a NUL.
inline constexpr uint32_t kDialogNameField = 17;
inline constexpr uint32_t kDialogDescriptionField = 33;
inline constexpr uint32_t kDialogNameLimit = kDialogNameField - 1;
inline constexpr uint32_t kDialogDescriptionLimit = kDialogDescriptionField - 1;
// The time text: asctime's 24 characters (no line feed), in a 26-byte field.
inline constexpr uint32_t kDialogTimeTextLength = 24;
inline constexpr uint32_t kDialogTimeTextField = 26;
// A list entry holds the name, the description and 37 bytes more.
inline constexpr uint32_t kDialogListEntryFixed = 13 + kDialogTimeTextLength;
inline constexpr uint32_t kDialogListEntryLimit = kDialogNameLimit + kDialogDescriptionLimit + kDialogListEntryFixed;

// One record's header as it lies in the file. The name and description fields are
// kept whole: the checksum counts every byte, also those after the NUL.
struct DialogRecordHeader {
  uint32_t m_checksum = 0;
  uint32_t m_id = 0;
  char m_name[kDialogNameField] = {};
  char m_description[kDialogDescriptionField] = {};
  uint32_t m_time = 0;  // seconds since 1970-01-01 at the time of adding
  uint32_t m_length = 0;

  static DialogRecordHeader Decode(const uint8_t* bytes);
  void Encode(uint8_t* bytes) const;
  // The name and description as texts: up to the NUL, at most 16 and 32 characters
  // (a damaged field may have no NUL).
  std::string Name() const;
  std::string Description() const;
};

// The record checksum in two steps, so that data read in pieces can be summed:
// id + length, each name and description byte as a signed byte shifted left by its
// index mod 4, the time stamp, then each data byte as a signed byte; all modulo 2^32.
uint32_t DialogChecksumOfHeader(const DialogRecordHeader& header);
uint32_t DialogChecksumAddData(uint32_t sum, const uint8_t* data, std::size_t count);

// A record as a form's callback gets it, read from its list entry.
struct DialogEntryInfo {
  uint32_t m_id = 0;
  char m_name[kDialogNameField] = {};
  char m_description[kDialogDescriptionField] = {};
  char m_timeText[kDialogTimeTextField] = {};
  uint32_t m_dataLength = 0;
};

// The record's time stamp as asctime writes local time, without the line feed:
// "Thu Jan  1 00:00:00 1970". Always 24 characters.
std::string DialogTimeText(uint32_t seconds);

// The size of the header's list entry, at most kDialogListEntryLimit.
uint32_t DialogListEntrySize(const DialogRecordHeader& header);
// Writes the header's list entry (DialogListEntrySize bytes): id, a 0 byte, name and
// NUL, description and NUL, data length, a 0 byte, the time text and its NUL.
void WriteDialogListEntry(const DialogRecordHeader& header, uint8_t* out);
// Reads one list entry from the `available` bytes at `entry`; answers its size, so
// that a caller walks a buffer entry by entry, or 0 when the bytes hold no whole
// entry (nothing is read past them).
uint32_t ParseDialogListEntry(const uint8_t* entry, std::size_t available, DialogEntryInfo* info);

}  // namespace zentor
