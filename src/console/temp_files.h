#pragma once
// Temporary files "$DBT...": created in the runtime library's temporary directory,
// recorded with their names, and deleted when they are closed (FileChannel::Close)
// or at exit, whichever comes first.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentor {

class TempFileTable {
 public:
  static constexpr std::size_t kSlotCount = 10;

  // The descriptor of a new, empty temporary file opened for writing. When no file
  // can be made (no name, the open fails, or all ten slots are in use) message 115
  // is shown as a FATAL ERROR, the debugger exits, and -1 is returned should the exit
  // be declined; nothing is left behind on disk.
  static int32_t Create();

  // When the descriptor is a temporary file: frees its slot, gives its name and
  // answers true.
  static bool Release(int32_t descriptor, std::string* name);
  // Closes and deletes every temporary file (exit).
  static void DeleteAll();

  static std::size_t Count();
  static std::string NameOf(int32_t descriptor);

  // The directory new temporary files go to; empty (the default) means the runtime
  // library's temporary directory.
  static void SetDirectory(const std::string& directory);
};

}  // namespace zentor
