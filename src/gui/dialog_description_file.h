#pragma once
// The settings store, the "Configuration Management file": one file of checksummed
// records keyed by a record id and a name, each with a description, a time stamp and
// its data (1 breakpoint sets, 5 memory display, 8 colours, 9 invocation settings,
// 12 the window layout, 15 watch sets, 20 Save on Exit, 32 buttons, 64 and 65 source
// paths), with the directory of their offsets at the file's end (dialog_file_format.h).
// Files are opened on a stack; the innermost is current. A record operation with no
// file open opens the first-use file: "default.dsc" in the working directory, unless
// the program named another (the console program its own store beside it), and
// "default.dsc" when that one cannot be opened. Start-up installs the program's store
// as the engine's settings store.
//
// The store never changes its file in place: every change writes the store's new
// image to "$DBTMP.DDB" beside it, flushes it and renames it over the store, so a
// failed write or a power cut leaves the old file or the new one whole. The file is
// opened and read again by each operation, as another program may have read or
// replaced it in between.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/settings_store.h"
#include "gui/dialog_file_format.h"

namespace zentor {

class StoreWriteChannel;
class StoreSnapshot;
class StoreImageWriter;

// Result codes of the store's operations (0 or a count is success).
inline constexpr int32_t kStoreChecksumFailed = 10;  // also the message number
inline constexpr int32_t kStoreRecordExists = -1002;
inline constexpr int32_t kStoreNoName = -1003;
inline constexpr int32_t kStoreBadListMode = -1005;
inline constexpr int32_t kStoreNoSuchRecord = -1007;
inline constexpr int32_t kStoreNoBuffer = -1008;
inline constexpr int32_t kStoreBadLength = -1009;
inline constexpr int32_t kStoreEmptyDirectory = -1010;
inline constexpr int32_t kStoreUnreadable = -1011;
inline constexpr int32_t kStoreCannotExtend = -1012;
inline constexpr int32_t kStoreCannotOpen = -1013;
inline constexpr int32_t kStoreNoFileOpen = -1014;

// The modes of ListRecords.
inline constexpr uint32_t kListFirstBatch = 0x1000;
inline constexpr uint32_t kListNextBatch = 0x1001;
inline constexpr uint32_t kListPreviousBatch = 0x1002;

inline constexpr char kDefaultStoreName[] = "default.dsc";
inline constexpr char kStoreTemporaryName[] = "$DBTMP.DDB";

class DialogDescriptionFile final : public SettingsStore {
 public:
  DialogDescriptionFile();
  ~DialogDescriptionFile() override;
  DialogDescriptionFile(const DialogDescriptionFile&) = delete;
  DialogDescriptionFile& operator=(const DialogDescriptionFile&) = delete;

  // Opens the file and makes it current; 0, or kStoreCannotOpen when it could
  // neither be opened nor created. A missing file is created (or taken back from a
  // whole temporary image a cut-off change left beside it); a file whose signature or
  // directory is wrong is kept as "<name>.bad" and an empty store starts; records
  // whose checksum, offset or length fail are dropped. Both are noticed as message
  // 10.
  int32_t Open(const char* fileName);
  // Compacts the current file (drops what its dropped records hold) and makes the
  // outer one current; kStoreNoFileOpen when none is open. The file is closed even
  // when the compaction fails (message 114 is raised then; the file keeps its
  // dropped records until the next close).
  int32_t Close();
  // Closes every open file, innermost first.
  void CloseAll();
  // Back to the state at start: no file open. The files are left as they are.
  void Reset();
  // The current file's name; empty when none is open.
  std::string CurrentFileName() const;
  // The file a record operation opens when none is open (empty: "default.dsc"). Kept
  // by Reset: it is the program's choice, not the state of a run.
  void SetFirstUseFileName(std::string name) { m_firstUseFile = std::move(name); }

  // The record operations. Names are cut at 16 characters and descriptions at 32, as
  // the file holds them. A failed write raises message 114.
  int32_t AddRecord(uint32_t id, const char* name, const char* description, uint32_t length, const uint8_t* data);
  int32_t RemoveRecord(uint32_t id, const char* name);
  // The first record of the id (any id for 0) and old name gets the new name; the
  // bytes after the name's NUL keep their values and the time stamp stays.
  int32_t RenameRecord(uint32_t id, const char* oldName, const char* newName);
  // The description (33 bytes) and the data (*length: in the room, out the record's
  // length). 0, or kStoreChecksumFailed when the data fails its checksum (it is
  // delivered all the same); kStoreBadLength, nothing read, when the room is small.
  int32_t ReadRecord(uint32_t id, const char* name, char* description, uint32_t* length, uint8_t* data);
  // Writes the list entries of the records of the id (any for 0) and name (any for
  // null) into `size` bytes; the entry count. A batch stops at the first entry that
  // does not fit, and the next batch (kListNextBatch) starts with it.
  int32_t ListRecords(uint32_t id, uint32_t mode, uint8_t* buffer, uint32_t size, const char* name);
  // Every list entry of the id, one after the other; the count, or a negative code
  // (kStoreEmptyDirectory for an empty store).
  int32_t ListAllRecords(uint32_t id, std::vector<uint8_t>* entries);
  static uint32_t ParseListEntry(const uint8_t* entry, std::size_t available, DialogEntryInfo* info) {
    return ParseDialogListEntry(entry, available, info);
  }
  static uint32_t Checksum(const DialogRecordHeader& header, const uint8_t* data) {
    return DialogChecksumAddData(DialogChecksumOfHeader(header), data, header.m_length);
  }

  // The engine's view of the store.
  int32_t AddRecord(uint32_t kind, const RWCString& name, const RWCString& description, uint32_t length,
                    const uint8_t* data) override;
  int32_t ReadRecord(uint32_t kind, const RWCString& name, RWCString* description, uint32_t* length,
                     uint8_t* data) override;
  int32_t RemoveRecord(uint32_t kind, const RWCString& name) override;
  uint32_t ListAllRecords(uint32_t kind, NamedSetList* list) override;

  // The time stamp of added records (seconds since 1970); time() by default.
  void SetClock(std::function<uint32_t()> clock);
  // Where changes go (null: the platform's files). The caller keeps it alive.
  void SetWriteChannel(StoreWriteChannel* channel);
  // Told of damage found at open (message 10); start-up defers it to its end.
  void SetNoticeHandler(std::function<void(uint32_t)> handler);

 private:
  StoreWriteChannel& Channel() const;
  bool PrepareFile(const std::string& name);
  static bool IsWholeImage(const std::string& path);
  bool CreateEmpty(const std::string& name);
  void DropFailingRecords(StoreSnapshot& snapshot, const std::string& name);
  void Compact(const std::string& name);
  // Makes a file current (opening "default.dsc" when none is) and reads it.
  bool BeginOperation(StoreSnapshot* snapshot);
  int32_t FindRecord(StoreSnapshot& snapshot, uint32_t id, bool anyId, const std::string& name,
                     DialogRecordHeader* header);
  // Writes the image and puts it in the store's place, or raises 114.
  void Commit(StoreSnapshot* snapshot, StoreImageWriter& writer, const std::string& name);
  int32_t ListBatch(uint32_t id, uint32_t mode, uint8_t* buffer, uint32_t size, const char* name,
                    uint32_t* written);
  void Notice(uint32_t number) const;

  std::vector<std::string> m_openFiles;  // innermost last
  std::string m_firstUseFile;
  int32_t m_listIndex = -1;               // the last directory index the last list scan passed
  std::function<uint32_t()> m_clock;
  std::function<void(uint32_t)> m_notice;
  StoreWriteChannel* m_channel = nullptr;
};

// The temporary image's name beside a store: the store's directory (up to its last
// '/' or '\') followed by "$DBTMP.DDB"; a bare name's in the current directory.
std::string StoreTemporaryPath(const std::string& storeName);

// The program's store, installed as the engine's settings store.
DialogDescriptionFile& TheDialogDescriptionFile();
void InstallDialogDescriptionFile();
// The debugger's exit closes (and so compacts) the program's current store; a failure
// is reported and the exit goes on.
void CloseDialogDescriptionFileAtExit();

}  // namespace zentor
