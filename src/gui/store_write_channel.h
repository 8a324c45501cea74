#pragma once
// Every change the settings store makes to the disk goes through this channel: it
// writes a new image of the store to a temporary file, flushes it, and puts it in the
// store's place with one replacing rename. This one does that with the platform's
// files; tests put in a channel that stops part-way, as a power cut would, and the
// benchmark one that does not flush.

#include <cstddef>
#include <string>

#include "platform/binary_file.h"

namespace zentor {

class StoreWriteChannel {
 public:
  virtual ~StoreWriteChannel();
  // Creates the file (emptied when it exists) as the one being written.
  virtual bool Create(const std::string& path);
  // Appends to the file being written; false unless every byte was written.
  virtual bool Write(const void* bytes, std::size_t count);
  // Hands the written bytes to the disk.
  virtual bool Flush();
  virtual bool CloseFile();
  // Renames `from` over `to`, replacing it in one step.
  virtual bool Replace(const std::string& from, const std::string& to);
  virtual bool Remove(const std::string& path);

 private:
  platform::BinaryFile m_file;
};

}  // namespace zentor
