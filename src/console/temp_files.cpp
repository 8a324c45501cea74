#include "console/temp_files.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "console/file_channel.h"
#include "core/dv_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace zentor {
namespace {

constexpr uint32_t kMsgCannotCreateTempFile = 115;
constexpr const char* kTempPrefix = "$DBT";
// Names already taken are skipped; this many tries find a free one.
constexpr int kNameAttempts = 100;

struct TempSlot {
  int32_t descriptor = -1;
  std::string name;
};

std::array<TempSlot, TempFileTable::kSlotCount> g_slots;
std::string g_directory;
uint32_t g_sequence = 0;

#if defined(_WIN32)
int CreateExclusive(const char* name) {
  return _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
unsigned ProcessId() { return static_cast<unsigned>(_getpid()); }
#else
int CreateExclusive(const char* name) {
  return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC, 0666);
}
unsigned ProcessId() { return static_cast<unsigned>(::getpid()); }
#endif

std::string TemporaryDirectory() {
  if (!g_directory.empty()) return g_directory;
  std::error_code error;
  const std::filesystem::path path = std::filesystem::temp_directory_path(error);
  return error ? std::string(".") : path.string();
}

// Shows message 115 (fatal, in a message box) and shuts the debugger down.
int32_t FailCreation(int errorNumber, const std::string& name) {
  DVError error(kMsgCannotCreateTempFile, kSeverityFatal, kDisplayMessageBox);
  error.SetArg(0, std::to_string(errorNumber).c_str());
  error.SetArg(1, name.c_str());
  error.Report();
  ExitDebugger();
  return -1;
}

}  // namespace

int32_t TempFileTable::Create() {
  TempSlot* freeSlot = nullptr;
  for (TempSlot& slot : g_slots) {
    if (slot.descriptor == -1) {
      freeSlot = &slot;
      break;
    }
  }
  // A file that could not be recorded would never be deleted: none is made.
  if (freeSlot == nullptr) {
    FileChannel::SetLastError(EMFILE);
    return FailCreation(EMFILE, "");
  }
  const std::filesystem::path directory(TemporaryDirectory());
  std::string name;
  int descriptor = -1;
  int lastError = 0;
  for (int attempt = 0; attempt < kNameAttempts && descriptor < 0; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%x_%x", ProcessId(), g_sequence++);
    name = (directory / (std::string(kTempPrefix) + suffix)).string();
    descriptor = CreateExclusive(name.c_str());
    if (descriptor < 0) {
      lastError = errno;
      if (lastError != EEXIST) break;
    }
  }
  if (descriptor < 0) {
    FileChannel::SetLastError(lastError);
    return FailCreation(lastError, name);
  }
  FileChannel::SetLastError(0);
  freeSlot->descriptor = descriptor;
  freeSlot->name = name;
  return descriptor;
}

bool TempFileTable::Release(int32_t descriptor, std::string* name) {
  if (descriptor < 0) return false;
  for (TempSlot& slot : g_slots) {
    if (slot.descriptor != descriptor) continue;
    if (name != nullptr) *name = slot.name;
    slot.descriptor = -1;
    slot.name.clear();
    return true;
  }
  return false;
}

void TempFileTable::DeleteAll() {
  for (TempSlot& slot : g_slots) {
    if (slot.descriptor == -1) continue;
    // Close deletes the file by name and frees the slot.
    FileChannel::Close(slot.descriptor);
  }
}

std::size_t TempFileTable::Count() {
  std::size_t count = 0;
  for (const TempSlot& slot : g_slots) count += slot.descriptor != -1 ? 1 : 0;
  return count;
}

std::string TempFileTable::NameOf(int32_t descriptor) {
  for (const TempSlot& slot : g_slots) {
    if (slot.descriptor == descriptor && descriptor != -1) return slot.name;
  }
  return {};
}

void TempFileTable::SetDirectory(const std::string& directory) { g_directory = directory; }

}  // namespace zentor
