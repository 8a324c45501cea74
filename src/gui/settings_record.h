#pragma once
// What the GUI's settings records share. Each record (window layout, invocation
// settings, memory display settings, custom buttons, colours) is a flat little-endian
// byte image in the settings store; its codec writes and reads it field by field, and
// its text fields have a fixed width. A record read back from the store is untrusted:
// its decoder accepts it whole or leaves the settings as they were.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "support/rw_cstring.h"

namespace zentor {

// "I/O error on the Configuration Management file.": the answer for a record whose
// bytes are not a record of its kind.
inline constexpr int32_t kMalformedSettingsRecord = 114;

// Writes `text` into a field of `width` bytes: at most width - 1 characters, then NULs
// to the field's end.
void StoreTextField(uint8_t* field, uint32_t width, std::string_view text);
// The text of a field of `width` bytes up to its first NUL; a field without one gives
// its first width - 1 characters, so what it gives always fits the field again.
std::string LoadTextField(const uint8_t* field, uint32_t width);
// The same for a NUL-terminated text of unknown extent given by a caller: at most
// `limit` characters, never read past the first NUL nor past `limit`.
std::string LoadBoundedText(const char* text, uint32_t limit);

// Accepts a record's bytes and fills its object, or refuses them and changes nothing.
using SettingsRecordDecoder = std::function<bool(const uint8_t* data, uint32_t length)>;

// Reads the record (kind, name) of the settings store, at most `room` bytes, and hands
// it to `decode`. Answers 0 when decoded; the store's code when it has no such record
// or could not read it well (10, a bad checksum); kMalformedSettingsRecord when the
// record is longer than `room` or `decode` refuses it. Only an answer of 0 restores
// anything. The description goes to `description` when given.
int32_t ReadSettingsRecord(uint32_t kind, const RWCString& name, uint32_t room, const SettingsRecordDecoder& decode,
                           RWCString* description = nullptr);

}  // namespace zentor
