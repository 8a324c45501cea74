#include "console/include_device.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "console/char_channel.h"
#include "console/command_device.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgIncludeIoError = 118;
// Raw bytes read from the file at a time.
constexpr uint32_t kReadBlock = 255;
// Line-end rule output for one block: every byte may become two, and the end of the
// file may add two more.
constexpr uint32_t kDeliveryCapacity = kReadBlock * LineEndNormaliser::kMaxBytesPerInput + 2;
// The save record of a suspended file: position (4), buffer index (2), line-end
// state (1), then the name.
constexpr uint32_t kSaveHeaderSize = 7;
// In the line-end state byte of the save record: the file was open when suspended.
constexpr uint8_t kWasOpenBit = 0x80;

struct IncludeState {
  uint32_t filePosition = 0;
  uint16_t bufferIndex = 0;
  std::string fileName;
  int32_t descriptor = -1;
  int32_t bytesLeft = 0;
  uint8_t buffer[kDeliveryCapacity] = {};
  bool open = false;
  LineEndNormaliser normaliser;
};

IncludeState g_include;
std::string g_nextName;

[[noreturn]] void RaiseIncludeError(const std::string& argument) {
  DVError error(kMsgIncludeIoError, kSeveritySevere, kDisplayByFocus);
  error.SetArg(0, argument.c_str());
  throw error;
}

[[noreturn]] void RaiseIncludeErrno(int32_t errorNumber) { RaiseIncludeError(FileChannel::ErrorText(errorNumber)); }

void RaiseIfFailed() {
  if (FileChannel::LastError() != 0) RaiseIncludeErrno(FileChannel::LastError());
}

// The console cannot be included: a four-character name that reads ":CI:" once its
// middle two characters are upper-cased. The test works on a copy; the file is
// opened by the name as typed.
bool NamesConsole(const std::string& name) {
  if (name.size() != 4) return false;
  std::string folded = name;
  folded[1] = static_cast<char>(std::toupper(static_cast<unsigned char>(folded[1])));
  folded[2] = static_cast<char>(std::toupper(static_cast<unsigned char>(folded[2])));
  return folded == ":CI:";
}

// A file the log writes into grows by every line read from it, echoed to the log, and
// would never end; a file that became the log while suspended is refused as well.
void OpenByName() {
  if (LogFile::NamesLogFile(g_include.fileName.c_str())) RaiseIncludeError("it is the LOG file");
  const int32_t descriptor = FileChannel::Open(g_include.fileName.c_str(), kOpenRead);
  if (descriptor < 0) RaiseIncludeErrno(FileChannel::LastError());
  g_include.descriptor = descriptor;
  g_include.open = true;
}

// Refills the delivery buffer from the file; false at its end.
bool Refill() {
  uint8_t raw[kReadBlock];
  const int32_t count = FileChannel::Read(g_include.descriptor, raw, kReadBlock);
  g_include.bufferIndex = 0;
  g_include.bytesLeft = 0;
  if (count <= 0) {
    RaiseIfFailed();
    g_include.bytesLeft = static_cast<int32_t>(g_include.normaliser.Finish(g_include.buffer));
    return g_include.bytesLeft > 0;
  }
  uint32_t delivered = 0;
  for (int32_t i = 0; i < count; ++i) delivered += g_include.normaliser.Feed(raw[i], g_include.buffer + delivered);
  g_include.bytesLeft = static_cast<int32_t>(delivered);
  return true;
}

}  // namespace

void SetIncludeFileName(std::string_view fileName) { g_nextName.assign(fileName); }

void IncludeOpen() {
  const std::string name = g_nextName;
  if (NamesConsole(name)) RaiseIncludeError("CI");
  if (name.size() > kMaxIncludeNameLength) RaiseIncludeErrno(ENAMETOOLONG);
  // The device being opened is already counted.
  if (IncludeFileDevice().openInstances > kMaxIncludeNesting) RaiseIncludeErrno(EMFILE);
  g_include.fileName = name;
  OpenByName();
  g_include.bytesLeft = 0;
  g_include.bufferIndex = 0;
  g_include.normaliser.Reset();
}

void IncludeClose() {
  if (!g_include.open) return;
  FileChannel::Close(g_include.descriptor);
  g_include.open = false;
  g_include.descriptor = -1;
  RaiseIfFailed();
}

// A user break while the file is read ends the file; the command goes on from the
// device below.
bool IncludeRead(uint8_t* ch) {
  if (!g_include.open) return false;
  if (g_include.bytesLeft <= 0 && !Refill()) return false;
  *ch = g_include.buffer[g_include.bufferIndex++];
  --g_include.bytesLeft;
  return !PollUserBreakOnce();
}

void IncludeSuspend() {
  // A record is saved in every case, so that the resume reads back what it expects.
  const bool wasOpen = g_include.open;
  int32_t position = 0;
  if (wasOpen) {
    position = FileChannel::Tell(g_include.descriptor);
    if (position < 0) RaiseIncludeErrno(FileChannel::LastError());
    FileChannel::Close(g_include.descriptor);
    g_include.open = false;
    g_include.descriptor = -1;
    RaiseIfFailed();
  }
  const uint16_t undelivered = static_cast<uint16_t>(g_include.bytesLeft > 0 ? g_include.bytesLeft : 0);
  SaveOnDeviceStack(undelivered, g_include.buffer + g_include.bufferIndex);
  std::string record(kSaveHeaderSize, '\0');
  auto* header = reinterpret_cast<uint8_t*>(record.data());
  value_bytes::StoreU32(header, static_cast<uint32_t>(position));
  value_bytes::StoreU16(header + 4, g_include.bufferIndex);
  header[6] = static_cast<uint8_t>(g_include.normaliser.SaveState() | (wasOpen ? kWasOpenBit : 0));
  record += g_include.fileName;
  SaveOnDeviceStack(static_cast<uint16_t>(record.size()), record.data());
}

void IncludeResume() {
  uint8_t record[kSaveHeaderSize + kMaxIncludeNameLength];
  const uint16_t length = RestoreFromDeviceStack(record, sizeof record);
  if (length < kSaveHeaderSize) ZENTOR_INTERNAL_ERROR();
  g_include.filePosition = value_bytes::LoadU32(record);
  g_include.bufferIndex = value_bytes::LoadU16(record + 4);
  g_include.normaliser.RestoreState(static_cast<uint8_t>(record[6] & ~kWasOpenBit));
  const bool wasOpen = (record[6] & kWasOpenBit) != 0;
  g_include.fileName.assign(reinterpret_cast<const char*>(record + kSaveHeaderSize), length - kSaveHeaderSize);
  if (g_include.bufferIndex >= kDeliveryCapacity) ZENTOR_INTERNAL_ERROR();
  const uint16_t undelivered = RestoreFromDeviceStack(
      g_include.buffer + g_include.bufferIndex, static_cast<uint16_t>(kDeliveryCapacity - g_include.bufferIndex));
  g_include.bytesLeft = undelivered;
  if (!wasOpen) return;
  OpenByName();
  if (FileChannel::Seek(g_include.descriptor, 0, static_cast<int32_t>(g_include.filePosition)) < 0) {
    RaiseIncludeErrno(FileChannel::LastError());
  }
}

bool IsIncludeFileOpen() { return g_include.open; }
int32_t IncludeFileDescriptor() { return g_include.open ? g_include.descriptor : -1; }
std::string IncludeFileName() { return g_include.fileName; }

void AbandonIncludeFile() {
  if (g_include.open) FileChannel::Close(g_include.descriptor);
  g_include.open = false;
  g_include.descriptor = -1;
  g_include.bytesLeft = 0;
  g_include.bufferIndex = 0;
  g_include.normaliser.Reset();
}

}  // namespace zentor
