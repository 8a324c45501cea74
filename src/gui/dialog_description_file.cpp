#include "gui/dialog_description_file.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

#include "core/dv_error.h"
#include "engine/dialog_records.h"
#include "engine/watch_table.h"
#include "gui/store_write_channel.h"
#include "platform/binary_file.h"
#include "platform/file_system.h"
#include "support/little_endian.h"

namespace zentor {
namespace {

using platform::FileOpenMode;
using value_bytes::LoadU32;
using value_bytes::StoreU32;

// Reads go through a window of the file this large: a scan of the headers of a store
// of tens of records is one read.
constexpr std::size_t kWindowSize = 64 * 1024;
// ListAllRecords asks for batches of this size in a buffer grown by the larger step.
constexpr uint32_t kListBatchSize = 1280;
constexpr uint32_t kListBatchGrowth = 1300;
// Offsets are signed 32-bit words: no image may grow past them.
constexpr uint64_t kLargestImage = 0x7FFFFFFF;

DVError WriteError() { return DVError(kMsgSettingsFileError, kSeveritySevere, kDisplayByFocus); }

std::string CutText(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return std::string(text, length);
}

// The text NUL-padded into a field (it is at most the field's size less one).
void FillField(char* field, std::size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size());
}

StoreWriteChannel& PlatformChannel() {
  static StoreWriteChannel channel;
  return channel;
}

}  // namespace

// One operation's view of a store file: the file open, its directory read and
// checked, and reads at any offset through a window.
class StoreSnapshot {
 public:
  enum class Frame { kGood, kBadSignature, kBadDirectory };

  bool Open(const std::string& path, FileOpenMode mode) {
    if (!m_file.Open(path, mode)) return false;
    const int64_t size = m_file.Size();
    if (size < 0) {
      m_file.Close();
      return false;
    }
    m_size = static_cast<uint64_t>(size);
    m_window.clear();
    return true;
  }
  void Close() { m_file.Close(); }
  bool IsOpen() const { return m_file.IsOpen(); }
  uint64_t Size() const { return m_size; }

  bool ReadAt(uint64_t offset, void* out, std::size_t count) {
    if (count == 0) return true;
    if (offset > m_size || count > m_size - offset) return false;
    if (offset >= m_windowStart && offset - m_windowStart + count <= m_window.size()) {
      std::memcpy(out, m_window.data() + (offset - m_windowStart), count);
      return true;
    }
    if (count >= kWindowSize) {
      return m_file.Seek(static_cast<int64_t>(offset), platform::SeekOrigin::Begin) >= 0 &&
             m_file.Read(out, count) == count;
    }
    m_windowStart = offset;
    m_window.resize(static_cast<std::size_t>(std::min<uint64_t>(kWindowSize, m_size - offset)));
    if (m_file.Seek(static_cast<int64_t>(offset), platform::SeekOrigin::Begin) < 0 ||
        m_file.Read(m_window.data(), m_window.size()) != m_window.size()) {
      m_window.clear();
      return false;
    }
    std::memcpy(out, m_window.data(), count);
    return true;
  }

  // The signature, then the directory, in 64 bits: the trailer's count must leave
  // room for the records' start and must equal the directory's own count.
  Frame ReadFrame() {
    char signature[kDialogFileSignatureSize];
    if (!ReadAt(4, signature, sizeof signature) ||
        std::memcmp(signature, kDialogFileSignature, kDialogFileSignatureSize) != 0) {
      return Frame::kBadSignature;
    }
    uint8_t word[4];
    if (m_size < kDialogEmptyFileSize || !ReadAt(m_size - 4, word, 4)) return Frame::kBadDirectory;
    const uint32_t count = LoadU32(word);
    const uint64_t directorySize = 4 * static_cast<uint64_t>(count) + 12;
    if (kDialogFileRecordsStart + directorySize > m_size) return Frame::kBadDirectory;
    m_directoryStart = m_size - directorySize;
    std::vector<uint8_t> block(static_cast<std::size_t>(directorySize - 4));
    if (!ReadAt(m_directoryStart, block.data(), block.size()) || LoadU32(block.data()) != count) {
      return Frame::kBadDirectory;
    }
    m_reserved = LoadU32(block.data() + 4);
    m_offsets.resize(count);
    for (uint32_t i = 0; i < count; ++i) m_offsets[i] = static_cast<int32_t>(LoadU32(block.data() + 8 + 4 * i));
    return Frame::kGood;
  }

  uint32_t Count() const { return static_cast<uint32_t>(m_offsets.size()); }

  // Whether directory entry `index` is a live record whose header and data lie
  // between the records' start and the directory; its header when it is.
  bool LiveRecord(uint32_t index, DialogRecordHeader* header) {
    const int32_t offset = m_offsets[index];
    if (offset < static_cast<int32_t>(kDialogFileRecordsStart)) return false;
    const auto at = static_cast<uint64_t>(offset);
    uint8_t bytes[kDialogRecordHeaderSize];
    if (at + kDialogRecordHeaderSize > m_directoryStart || !ReadAt(at, bytes, sizeof bytes)) return false;
    *header = DialogRecordHeader::Decode(bytes);
    return at + kDialogRecordHeaderSize + header->m_length <= m_directoryStart;
  }

  // The data's part of the record's checksum, read in pieces; false when unreadable.
  bool DataSum(uint32_t index, const DialogRecordHeader& header, uint32_t* sum) {
    uint64_t at = static_cast<uint64_t>(m_offsets[index]) + kDialogRecordHeaderSize;
    uint64_t left = header.m_length;
    *sum = 0;
    uint8_t piece[4096];
    while (left > 0) {
      const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(left, sizeof piece));
      if (!ReadAt(at, piece, count)) return false;
      *sum = DialogChecksumAddData(*sum, piece, count);
      at += count;
      left -= count;
    }
    return true;
  }

  bool ChecksumHolds(uint32_t index, const DialogRecordHeader& header) {
    uint32_t sum = 0;
    return DataSum(index, header, &sum) && DialogChecksumOfHeader(header) + sum == header.m_checksum;
  }

  std::vector<int32_t> m_offsets;
  uint32_t m_reserved = 0;
  uint64_t m_directoryStart = 0;

 private:
  platform::BinaryFile m_file;
  uint64_t m_size = 0;
  std::vector<uint8_t> m_window;
  uint64_t m_windowStart = 0;
};

// A store's new image written to its temporary file. The first failure is kept and
// everything after it skipped; Commit then raises it.
class StoreImageWriter {
 public:
  StoreImageWriter(StoreWriteChannel& channel, std::string path) : m_channel(channel), m_path(std::move(path)) {
    m_failed = !m_channel.Create(m_path);
  }
  StoreImageWriter(const StoreImageWriter&) = delete;
  StoreImageWriter& operator=(const StoreImageWriter&) = delete;

  void Put(const void* bytes, std::size_t count) {
    if (m_failed || count == 0) return;
    m_failed = !m_channel.Write(bytes, count);
    m_position += count;
  }
  void PutU32(uint32_t value) {
    uint8_t word[4];
    StoreU32(word, value);
    Put(word, 4);
  }
  void PutPreamble() {
    PutU32(kDialogFileMagic);
    Put(kDialogFileSignature, kDialogFileSignatureSize);
  }
  void PutDirectory(uint32_t reserved, const std::vector<int32_t>& offsets) {
    const auto count = static_cast<uint32_t>(offsets.size());
    std::vector<uint8_t> block(4 * static_cast<std::size_t>(count) + 12);
    StoreU32(block.data(), count);
    StoreU32(block.data() + 4, reserved);
    for (uint32_t i = 0; i < count; ++i) StoreU32(block.data() + 8 + 4 * i, static_cast<uint32_t>(offsets[i]));
    StoreU32(block.data() + block.size() - 4, count);
    Put(block.data(), block.size());
  }
  void CopyFrom(StoreSnapshot& store, uint64_t offset, uint64_t count) {
    std::vector<uint8_t> piece(static_cast<std::size_t>(std::min<uint64_t>(count, kWindowSize)));
    while (count > 0 && !m_failed) {
      const std::size_t size = static_cast<std::size_t>(std::min<uint64_t>(count, piece.size()));
      if (!store.ReadAt(offset, piece.data(), size)) {
        m_failed = true;
        return;
      }
      Put(piece.data(), size);
      offset += size;
      count -= size;
    }
  }
  uint64_t Position() const { return m_position; }
  const std::string& Path() const { return m_path; }
  // Flushes and closes the file; false when anything failed.
  bool Finish() {
    const bool flushed = !m_failed && m_channel.Flush();
    const bool closed = m_channel.CloseFile();
    return flushed && closed;
  }

 private:
  StoreWriteChannel& m_channel;
  std::string m_path;
  uint64_t m_position = 0;
  bool m_failed = false;
};

std::string StoreTemporaryPath(const std::string& storeName) {
  const std::size_t cut = storeName.find_last_of("/\\");
  if (cut == std::string::npos) return kStoreTemporaryName;
  return storeName.substr(0, cut + 1) + kStoreTemporaryName;
}

DialogDescriptionFile::DialogDescriptionFile()
    : m_clock([] { return static_cast<uint32_t>(std::time(nullptr)); }) {}

DialogDescriptionFile::~DialogDescriptionFile() = default;

void DialogDescriptionFile::SetClock(std::function<uint32_t()> clock) { m_clock = std::move(clock); }

void DialogDescriptionFile::SetWriteChannel(StoreWriteChannel* channel) { m_channel = channel; }

void DialogDescriptionFile::SetNoticeHandler(std::function<void(uint32_t)> handler) {
  m_notice = std::move(handler);
}

void DialogDescriptionFile::Notice(uint32_t number) const {
  if (m_notice) m_notice(number);
}

StoreWriteChannel& DialogDescriptionFile::Channel() const {
  return m_channel != nullptr ? *m_channel : PlatformChannel();
}

std::string DialogDescriptionFile::CurrentFileName() const {
  return m_openFiles.empty() ? std::string() : m_openFiles.back();
}

int32_t DialogDescriptionFile::Open(const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return kStoreCannotOpen;
  const std::string name(fileName);
  if (!PrepareFile(name)) return kStoreCannotOpen;
  m_openFiles.push_back(name);
  return 0;
}

// 1. A store that cannot be opened for update is left alone when it exists (another
//    program's, or read-only) and the open fails. When it is missing, a whole image
//    beside it is a change cut off before its rename: it becomes the store and is
//    checked as one. A partial one is deleted and an empty store created.
// 2. An image beside an existing store belongs to a change that never took its
//    place; it goes.
// 3. A wrong signature or a directory that does not fit the file: the file is kept
//    as "<name>.bad" and an empty store starts.
// 4. Records that fail their checks are dropped.
bool DialogDescriptionFile::PrepareFile(const std::string& name) {
  StoreWriteChannel& channel = Channel();
  const std::string temporary = StoreTemporaryPath(name);
  StoreSnapshot store;
  if (!store.Open(name, FileOpenMode::ReadWrite)) {
    if (platform::FileExists(name)) return false;
    if (platform::FileExists(temporary)) {
      if (!IsWholeImage(temporary)) {
        channel.Remove(temporary);
      } else if (!channel.Replace(temporary, name) || !store.Open(name, FileOpenMode::ReadWrite)) {
        return false;
      }
    }
    if (!store.IsOpen()) return CreateEmpty(name);
  } else if (platform::FileExists(temporary)) {
    channel.Remove(temporary);
  }
  if (store.ReadFrame() != StoreSnapshot::Frame::kGood) {
    store.Close();
    if (!channel.Replace(name, name + ".bad")) return false;
    Notice(kStoreChecksumFailed);
    return CreateEmpty(name);
  }
  DropFailingRecords(store, name);
  return true;
}

bool DialogDescriptionFile::IsWholeImage(const std::string& path) {
  StoreSnapshot image;
  if (!image.Open(path, FileOpenMode::ReadOnly) || image.ReadFrame() != StoreSnapshot::Frame::kGood) return false;
  for (uint32_t i = 0; i < image.Count(); ++i) {
    DialogRecordHeader header;
    if (image.m_offsets[i] <= 0) continue;
    if (!image.LiveRecord(i, &header) || !image.ChecksumHolds(i, header)) return false;
  }
  return true;
}

bool DialogDescriptionFile::CreateEmpty(const std::string& name) {
  StoreImageWriter writer(Channel(), StoreTemporaryPath(name));
  writer.PutPreamble();
  writer.PutDirectory(0, {});
  try {
    Commit(nullptr, writer, name);
  } catch (const DVError&) {
    return false;
  }
  return true;
}

// A record whose offset, length or checksum fails gets its offset negated, as a
// removed one, and so does one that begins inside a record before it in the file:
// renaming either would change the other's bytes. The directory is written back and
// message 10 noticed. Should that write fail, the file is used as it is: reads check
// each record's checksum anyway, and the next open finds the same records.
void DialogDescriptionFile::DropFailingRecords(StoreSnapshot& store, const std::string& name) {
  bool dropped = false;
  std::vector<std::pair<uint64_t, uint32_t>> starts;  // offset and index of each sound record
  std::vector<uint64_t> ends(store.Count());
  for (uint32_t i = 0; i < store.Count(); ++i) {
    if (store.m_offsets[i] <= 0) continue;
    DialogRecordHeader header;
    if (store.LiveRecord(i, &header) && store.ChecksumHolds(i, header)) {
      starts.emplace_back(static_cast<uint64_t>(store.m_offsets[i]), i);
      ends[i] = starts.back().first + kDialogRecordHeaderSize + header.m_length;
      continue;
    }
    store.m_offsets[i] = -store.m_offsets[i];
    dropped = true;
  }
  std::sort(starts.begin(), starts.end());
  uint64_t end = 0;
  for (const auto& [start, index] : starts) {
    if (start < end) {
      store.m_offsets[index] = -store.m_offsets[index];
      dropped = true;
      continue;
    }
    end = ends[index];
  }
  if (!dropped) return;
  Notice(kStoreChecksumFailed);
  StoreImageWriter writer(Channel(), StoreTemporaryPath(name));
  writer.CopyFrom(store, 0, store.m_directoryStart);
  writer.PutDirectory(store.m_reserved, store.m_offsets);
  try {
    Commit(&store, writer, name);
  } catch (const DVError&) {
  }
}

void DialogDescriptionFile::Commit(StoreSnapshot* store, StoreImageWriter& writer, const std::string& name) {
  StoreWriteChannel& channel = Channel();
  const bool written = writer.Finish();
  // The store's own handle goes before the rename: Windows renames over no open file.
  if (store != nullptr) store->Close();
  if (!written || !channel.Replace(writer.Path(), name)) {
    channel.Remove(writer.Path());
    throw WriteError();
  }
}

int32_t DialogDescriptionFile::Close() {
  if (m_openFiles.empty()) return kStoreNoFileOpen;
  const std::string name = m_openFiles.back();
  m_openFiles.pop_back();
  Compact(name);
  return 0;
}

void DialogDescriptionFile::CloseAll() {
  std::optional<DVError> failure;
  while (!m_openFiles.empty()) {
    try {
      Close();
    } catch (const DVError& error) {
      if (!failure) failure = error;
    }
  }
  if (failure) throw *failure;
}

void DialogDescriptionFile::Reset() {
  m_openFiles.clear();
  m_listIndex = -1;
}

// Only a file with dropped records is rewritten: its live records in directory order,
// each header and data as they are, then the new directory.
void DialogDescriptionFile::Compact(const std::string& name) {
  StoreSnapshot store;
  if (!store.Open(name, FileOpenMode::ReadWrite) || store.ReadFrame() != StoreSnapshot::Frame::kGood) return;
  std::vector<std::pair<uint64_t, uint64_t>> live;  // offset and size of each kept record
  for (uint32_t i = 0; i < store.Count(); ++i) {
    DialogRecordHeader header;
    if (store.LiveRecord(i, &header)) {
      live.emplace_back(static_cast<uint64_t>(store.m_offsets[i]), kDialogRecordHeaderSize + header.m_length);
    }
  }
  if (live.size() == store.Count()) return;
  StoreImageWriter writer(Channel(), StoreTemporaryPath(name));
  writer.PutPreamble();
  std::vector<int32_t> offsets;
  for (const auto& [offset, size] : live) {
    offsets.push_back(static_cast<int32_t>(writer.Position()));
    writer.CopyFrom(store, offset, size);
  }
  writer.PutDirectory(0, offsets);
  Commit(&store, writer, name);
}

bool DialogDescriptionFile::BeginOperation(StoreSnapshot* store) {
  if (m_openFiles.empty()) {
    const bool opened = !m_firstUseFile.empty() && Open(m_firstUseFile.c_str()) == 0;
    if (!opened && Open(kDefaultStoreName) < 0) return false;
  }
  return store->Open(m_openFiles.back(), FileOpenMode::ReadWrite) &&
         store->ReadFrame() == StoreSnapshot::Frame::kGood;
}

int32_t DialogDescriptionFile::FindRecord(StoreSnapshot& store, uint32_t id, bool anyId, const std::string& name,
                                          DialogRecordHeader* header) {
  for (uint32_t i = 0; i < store.Count(); ++i) {
    if (store.LiveRecord(i, header) && (anyId || header->m_id == id) && header->Name() == name) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

int32_t DialogDescriptionFile::AddRecord(uint32_t id, const char* name, const char* description, uint32_t length,
                                         const uint8_t* data) {
  int32_t code = 0;
  if (name == nullptr) code = kStoreNoName;
  if (description == nullptr || data == nullptr) code = kStoreNoBuffer;
  if (code != 0) return code;
  StoreSnapshot store;
  if (!BeginOperation(&store)) return kStoreCannotExtend;
  const std::string wanted = CutText(name, kDialogNameLimit);
  DialogRecordHeader header;
  if (FindRecord(store, id, false, wanted, &header) >= 0) return kStoreRecordExists;
  const uint64_t recordAt = store.m_directoryStart;
  const uint64_t size = recordAt + kDialogRecordHeaderSize + length + 4 * (store.Count() + 1ull) + 12;
  if (size > kLargestImage) return kStoreCannotExtend;

  header = DialogRecordHeader();
  header.m_id = id;
  FillField(header.m_name, kDialogNameField, wanted);
  FillField(header.m_description, kDialogDescriptionField, CutText(description, kDialogDescriptionLimit));
  header.m_time = m_clock();
  header.m_length = length;
  header.m_checksum = Checksum(header, data);
  uint8_t bytes[kDialogRecordHeaderSize];
  header.Encode(bytes);

  std::vector<int32_t> offsets = store.m_offsets;
  offsets.push_back(static_cast<int32_t>(recordAt));
  StoreImageWriter writer(Channel(), StoreTemporaryPath(CurrentFileName()));
  writer.CopyFrom(store, 0, recordAt);
  writer.Put(bytes, sizeof bytes);
  writer.Put(data, length);
  writer.PutDirectory(store.m_reserved, offsets);
  Commit(&store, writer, CurrentFileName());
  return 0;
}

int32_t DialogDescriptionFile::RemoveRecord(uint32_t id, const char* name) {
  StoreSnapshot store;
  if (!BeginOperation(&store)) return kStoreUnreadable;
  int32_t code = name == nullptr ? kStoreNoName : 0;
  if (store.Count() == 0) code = kStoreEmptyDirectory;
  if (code != 0) return code;
  DialogRecordHeader header;
  const int32_t index = FindRecord(store, id, id == 0, CutText(name, kDialogNameLimit), &header);
  if (index < 0) return kStoreNoSuchRecord;
  std::vector<int32_t> offsets = store.m_offsets;
  offsets[static_cast<std::size_t>(index)] = -offsets[static_cast<std::size_t>(index)];
  StoreImageWriter writer(Channel(), StoreTemporaryPath(CurrentFileName()));
  writer.CopyFrom(store, 0, store.m_directoryStart);
  writer.PutDirectory(store.m_reserved, offsets);
  Commit(&store, writer, CurrentFileName());
  return 0;
}

int32_t DialogDescriptionFile::RenameRecord(uint32_t id, const char* oldName, const char* newName) {
  StoreSnapshot store;
  if (!BeginOperation(&store)) return kStoreUnreadable;
  int32_t code = oldName == nullptr || newName == nullptr ? kStoreNoName : 0;
  if (store.Count() == 0) code = kStoreEmptyDirectory;
  if (code != 0) return code;
  DialogRecordHeader header;
  const int32_t index = FindRecord(store, id, id == 0, CutText(oldName, kDialogNameLimit), &header);
  if (index < 0) return kStoreNoSuchRecord;
  uint32_t dataSum = 0;
  if (!store.DataSum(static_cast<uint32_t>(index), header, &dataSum)) return kStoreUnreadable;
  // Only the new name and its NUL are written: the bytes after them stay.
  const std::string renamed = CutText(newName, kDialogNameLimit);
  std::memcpy(header.m_name, renamed.c_str(), renamed.size() + 1);
  header.m_checksum = DialogChecksumOfHeader(header) + dataSum;
  uint8_t bytes[kDialogRecordHeaderSize];
  header.Encode(bytes);
  const auto at = static_cast<uint64_t>(store.m_offsets[static_cast<std::size_t>(index)]);
  StoreImageWriter writer(Channel(), StoreTemporaryPath(CurrentFileName()));
  writer.CopyFrom(store, 0, at);
  writer.Put(bytes, sizeof bytes);
  writer.CopyFrom(store, at + kDialogRecordHeaderSize, store.Size() - at - kDialogRecordHeaderSize);
  Commit(&store, writer, CurrentFileName());
  return 0;
}

int32_t DialogDescriptionFile::ReadRecord(uint32_t id, const char* name, char* description, uint32_t* length,
                                          uint8_t* data) {
  int32_t code = 0;
  if (name == nullptr) code = kStoreNoName;
  if (description == nullptr || data == nullptr) code = kStoreNoBuffer;
  if (length == nullptr) code = kStoreBadLength;
  StoreSnapshot store;
  if (!BeginOperation(&store)) return kStoreUnreadable;
  if (store.Count() == 0) code = kStoreEmptyDirectory;
  if (code != 0) return code;
  DialogRecordHeader header;
  const int32_t index = FindRecord(store, id, id == 0, CutText(name, kDialogNameLimit), &header);
  if (index < 0) return kStoreNoSuchRecord;
  std::memcpy(description, header.m_description, kDialogDescriptionField);
  description[kDialogDescriptionLimit] = '\0';
  if (*length < header.m_length) {
    *length = header.m_length;
    return kStoreBadLength;
  }
  *length = header.m_length;
  const uint64_t at = static_cast<uint64_t>(store.m_offsets[static_cast<std::size_t>(index)]) + kDialogRecordHeaderSize;
  if (!store.ReadAt(at, data, header.m_length)) return kStoreUnreadable;
  return Checksum(header, data) == header.m_checksum ? 0 : kStoreChecksumFailed;
}

int32_t DialogDescriptionFile::ListRecords(uint32_t id, uint32_t mode, uint8_t* buffer, uint32_t size,
                                           const char* name) {
  uint32_t written = 0;
  return ListBatch(id, mode, buffer, size, name, &written);
}

// A batch runs from its start to the directory's end, or up to the first matching
// entry that does not fit: the saved index is then the one before it, so that the
// next batch begins with that entry.
int32_t DialogDescriptionFile::ListBatch(uint32_t id, uint32_t mode, uint8_t* buffer, uint32_t size,
                                         const char* name, uint32_t* written) {
  *written = 0;
  int64_t start = 0;
  switch (mode) {
    case kListFirstBatch: m_listIndex = 0; break;
    case kListNextBatch: start = static_cast<int64_t>(m_listIndex) + 1; break;
    case kListPreviousBatch: start = std::max<int64_t>(0, static_cast<int64_t>(m_listIndex) - 1); break;
    default: return kStoreBadListMode;
  }
  StoreSnapshot store;
  if (!BeginOperation(&store)) return kStoreCannotExtend;
  const int64_t count = store.Count();
  if (count == 0) return kStoreEmptyDirectory;
  const std::string wanted = name != nullptr ? CutText(name, kDialogNameLimit) : std::string();
  int32_t listed = 0;
  int64_t last = start - 1;
  for (int64_t i = start; i < count; ++i) {
    DialogRecordHeader header;
    if (store.LiveRecord(static_cast<uint32_t>(i), &header) && (id == 0 || header.m_id == id) &&
        (name == nullptr || header.Name() == wanted)) {
      const uint32_t entry = DialogListEntrySize(header);
      if (buffer == nullptr || entry > size - *written) break;
      WriteDialogListEntry(header, buffer + *written);
      *written += entry;
      ++listed;
    }
    last = i;
  }
  m_listIndex = static_cast<int32_t>(std::min(last, count - 1));
  return listed;
}

int32_t DialogDescriptionFile::ListAllRecords(uint32_t id, std::vector<uint8_t>* entries) {
  entries->clear();
  int32_t total = 0;
  for (uint32_t mode = kListFirstBatch;; mode = kListNextBatch) {
    const std::size_t used = entries->size();
    entries->resize(used + kListBatchGrowth);
    uint32_t written = 0;
    const int32_t listed = ListBatch(id, mode, entries->data() + used, kListBatchSize, nullptr, &written);
    entries->resize(used + written);
    if (listed < 0) {
      entries->clear();
      return listed;
    }
    if (listed == 0) return total;
    total += listed;
  }
}

int32_t DialogDescriptionFile::AddRecord(uint32_t kind, const RWCString& name, const RWCString& description,
                                         uint32_t length, const uint8_t* data) {
  return AddRecord(kind, name.data(), description.data(), length, data);
}

int32_t DialogDescriptionFile::ReadRecord(uint32_t kind, const RWCString& name, RWCString* description,
                                          uint32_t* length, uint8_t* data) {
  char text[kDialogDescriptionField] = {};
  const int32_t result = ReadRecord(kind, name.data(), text, length, data);
  if (description != nullptr) *description = RWCString(text);
  return result;
}

int32_t DialogDescriptionFile::RemoveRecord(uint32_t kind, const RWCString& name) {
  return RemoveRecord(kind, name.data());
}

uint32_t DialogDescriptionFile::ListAllRecords(uint32_t kind, NamedSetList* list) {
  std::vector<uint8_t> entries;
  const int32_t listed = ListAllRecords(kind, &entries);
  const uint32_t count = listed > 0 ? static_cast<uint32_t>(listed) : 0;
  if (list != nullptr) {
    list->m_entries.clear();
    std::size_t at = 0;
    DialogEntryInfo info;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t size = ParseListEntry(entries.data() + at, entries.size() - at, &info);
      if (size == 0) break;
      at += size;
      NamedSetEntry entry;
      entry.m_name = RWCString(info.m_name);
      entry.m_description = RWCString(info.m_description);
      entry.m_timeText = RWCString(info.m_timeText);
      entry.m_length = info.m_dataLength;
      list->m_entries.push_back(std::move(entry));
    }
    list->m_count = count;
  }
  return count;
}

DialogDescriptionFile& TheDialogDescriptionFile() {
  static DialogDescriptionFile store;
  return store;
}

void InstallDialogDescriptionFile() { InstallSettingsStore(&TheDialogDescriptionFile()); }

void CloseDialogDescriptionFileAtExit() {
  try {
    TheDialogDescriptionFile().Close();
  } catch (const DVError& error) {
    DVError shown = error;
    shown.Report();
  }
}

}  // namespace zentor
