#include "symbols/page_cache.h"

#include "core/dv_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "platform/binary_file.h"
#include "platform/file_system.h"

namespace zentor {
namespace {

constexpr const char* kTemporaryPrefix = "$DBT";
// The last page that can be appended must end below the "none" handle.
constexpr uint32_t kLargestFileLength = 0xFFFFFE00u;

[[noreturn]] void RaiseVstError(uint32_t number, uint32_t severity) { throw DVError(number, severity); }

class TemporaryPageFile;

// The temporary page files that are open. The registry outlives ordinary objects
// (it is made when the first file is), so at exit it removes any file whose cache was
// never destroyed; a file that goes away first takes itself out.
struct LiveTemporaryFiles {
  ~LiveTemporaryFiles();
  std::set<TemporaryPageFile*> m_files;
};
bool g_liveFilesGone = false;

// Where the symbol-table operations that take no cache find theirs.
PageCacheProvider g_currentProvider = nullptr;

LiveTemporaryFiles& LiveFiles() {
  static LiveTemporaryFiles files;
  return files;
}

// The cache hands its file one page at a time, and a load appends page after page:
// each page as a seek and a write of its own made the system calls the larger part of
// a load. The file therefore gathers the pages written one after another into a run
// and hands the run to the operating system in one write when a page outside it is
// written or read, or when it is full. A page read while it is in the run is answered
// from the run. A run the system refused stays, so no page is lost; the write or read
// that needed it fails.
class TemporaryPageFile final : public PageFile {
 public:
  static constexpr uint32_t kRunBytes = 64 * 1024;

  explicit TemporaryPageFile(std::string path) : m_path(std::move(path)), m_run(new uint8_t[kRunBytes]) {}
  ~TemporaryPageFile() override {
    Discard();
    if (!g_liveFilesGone) LiveFiles().m_files.erase(this);
  }

  bool Open() {
    if (!m_file.Open(m_path, platform::FileOpenMode::ReadWrite)) return false;
    m_filePosition = 0;
    LiveFiles().m_files.insert(this);
    return true;
  }
  // Closes and removes the file (the pages of the run die with it); later calls fail.
  void Discard() {
    if (m_discarded) return;
    m_discarded = true;
    m_runLength = 0;
    m_file.Close();
    platform::RemoveFile(m_path);
  }
  const std::string& Path() const { return m_path; }

  bool SeekTo(uint32_t offset) override {
    if (!m_file.IsOpen()) return false;
    m_position = offset;
    return true;
  }

  bool ReadBytes(uint8_t* buffer, uint32_t count) override {
    if (!m_file.IsOpen()) return false;
    const uint64_t start = m_position;
    const uint64_t end = start + count;
    const uint64_t runEnd = static_cast<uint64_t>(m_runStart) + m_runLength;
    if (m_runLength > 0 && start < runEnd && end > m_runStart) {
      if (start >= m_runStart && end <= runEnd) {
        std::memcpy(buffer, m_run.get() + (start - m_runStart), count);
        m_position += count;
        return true;
      }
      if (!WriteRun()) return false;
    }
    if (!PlaceFile(m_position) || m_file.Read(buffer, count) != count) {
      m_filePosition = -1;
      return false;
    }
    m_filePosition = static_cast<int64_t>(end);
    m_position += count;
    return true;
  }

  bool WriteBytes(const uint8_t* bytes, uint32_t count) override {
    if (!m_file.IsOpen()) return false;
    const uint64_t start = m_position;
    const bool extendsRun = m_runLength > 0 && start >= m_runStart && start <= m_runStart + m_runLength &&
                            start + count - m_runStart <= kRunBytes;
    if (!extendsRun) {
      if (!WriteRun()) return false;
      if (count > kRunBytes) {
        if (!PlaceFile(m_position) || m_file.Write(bytes, count) != count) {
          m_filePosition = -1;
          return false;
        }
        m_filePosition = static_cast<int64_t>(start + count);
        m_position += count;
        return true;
      }
      m_runStart = m_position;
    }
    const uint32_t at = m_position - m_runStart;
    std::memcpy(m_run.get() + at, bytes, count);
    m_runLength = std::max(m_runLength, at + count);
    m_position += count;
    return true;
  }

 private:
  // Moves the operating system's file to `offset` unless it stands there.
  bool PlaceFile(uint32_t offset) {
    if (m_filePosition == static_cast<int64_t>(offset)) return true;
    if (m_file.Seek(offset, platform::SeekOrigin::Begin) == static_cast<int64_t>(offset)) {
      m_filePosition = offset;
      return true;
    }
    m_filePosition = -1;
    return false;
  }

  bool WriteRun() {
    if (m_runLength == 0) return true;
    if (!PlaceFile(m_runStart) || m_file.Write(m_run.get(), m_runLength) != m_runLength) {
      m_filePosition = -1;
      return false;
    }
    m_filePosition = static_cast<int64_t>(m_runStart) + m_runLength;
    m_runLength = 0;
    return true;
  }

  std::string m_path;
  platform::BinaryFile m_file;
  bool m_discarded = false;
  // Where the next read or write begins, and where the operating system's file stands
  // (-1 when not known, after a failure).
  uint32_t m_position = 0;
  int64_t m_filePosition = -1;
  // The pages written and not yet handed to the system: m_runLength bytes that belong
  // at m_runStart.
  std::unique_ptr<uint8_t[]> m_run;
  uint32_t m_runStart = 0;
  uint32_t m_runLength = 0;
};

LiveTemporaryFiles::~LiveTemporaryFiles() {
  for (TemporaryPageFile* file : m_files) file->Discard();
  m_files.clear();
  g_liveFilesGone = true;
}

// The platform may keep only part of the prefix (Windows keeps three characters); the
// file is then renamed so that its name begins with the whole prefix.
std::string WithWholePrefix(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string prefix(kTemporaryPrefix);
  const std::string base = path.substr(baseStart);
  if (base.compare(0, prefix.size(), prefix) == 0) return path;
  size_t kept = 0;
  while (kept < prefix.size() && kept < base.size() && base[kept] == prefix[kept]) ++kept;
  const std::string renamed = path.substr(0, baseStart) + prefix + base.substr(kept);
  if (!platform::RenameFile(path, renamed)) return path;
  return renamed;
}

}  // namespace


std::unique_ptr<PageFile> CreateTemporaryPageFile() {
  errno = 0;
  std::string path = platform::CreateTemporaryFile(kTemporaryPrefix);
  if (!path.empty()) path = WithWholePrefix(path);
  int failure = errno;
  if (!path.empty()) {
    auto file = std::make_unique<TemporaryPageFile>(path);
    if (file->Open()) return file;
    failure = errno;
    platform::RemoveFile(path);
  }
  DVError error(kMsgCannotCreateTempFile, kSeverityError);
  error.SetArg(0, static_cast<int32_t>(failure));
  error.SetArg(1, path.empty() ? (platform::TemporaryDirectory() + "/" + kTemporaryPrefix).c_str() : path.c_str());
  throw error;
}

uint32_t OpenTemporaryPageFileCount() {
  return g_liveFilesGone ? 0 : static_cast<uint32_t>(LiveFiles().m_files.size());
}

std::string TemporaryPageFileName(const PageFile& file) {
  const auto* temporary = dynamic_cast<const TemporaryPageFile*>(&file);
  return temporary == nullptr ? std::string() : temporary->Path();
}

PageCache::PageCache() : PageCache(CreateTemporaryPageFile()) {}

PageCache::PageCache(std::unique_ptr<PageFile> file) : m_file(std::move(file)) {
  if (m_file == nullptr) ZENTOR_INTERNAL_ERROR();
  Initialise();
}

PageCache::~PageCache() = default;

void PageCache::Initialise() {
  m_lruNext = std::make_unique<uint16_t[]>(kBufferCount + 1);
  m_lruPrevious = std::make_unique<uint16_t[]>(kBufferCount + 1);
  m_hashNext = std::make_unique<uint16_t[]>(kBufferCount + kBucketCount);
  m_hashPrevious = std::make_unique<uint16_t[]>(kBufferCount + kBucketCount);
  m_buffers = std::make_unique<PageBuffer[]>(kBufferCount);

  for (uint16_t node = 0; node < kBufferCount + kBucketCount; ++node) {
    m_hashNext[node] = node;
    m_hashPrevious[node] = node;
  }
  m_lruNext[kLruHead] = kLruHead;
  m_lruPrevious[kLruHead] = kLruHead;
  // Each buffer goes to the front in turn, so buffer 0 ends at the least recently
  // used end and buffers are first taken in the order 0, 1, 2, ...
  for (uint16_t buffer = 0; buffer < kBufferCount; ++buffer) {
    const uint16_t first = m_lruNext[kLruHead];
    m_lruNext[buffer] = first;
    m_lruPrevious[buffer] = kLruHead;
    m_lruPrevious[first] = buffer;
    m_lruNext[kLruHead] = buffer;
  }
  m_memoPage = kNoPage;
  m_memoBuffer = kNoBuffer;
}

void PageCache::CheckHandleInFile(RecordHandle handle, int line) const {
  if (handle.IsNone() || handle.Value() >= m_fileLength) RaiseInternalError(__FILE__, line);
}

uint16_t PageCache::FindResident(uint32_t pageNumber) const {
  const uint16_t bucket = static_cast<uint16_t>(kFirstBucketNode + pageNumber % kBucketCount);
  for (uint16_t node = m_hashNext[bucket]; node != bucket; node = m_hashNext[node]) {
    if (m_buffers[node].m_pageNumber == pageNumber) return node;
  }
  return kNoBuffer;
}

uint16_t PageCache::FindBuffer(RecordHandle handle) {
  if (handle.IsNone() || handle.Value() >= m_fileLength) RaiseVstError(kMsgSeekBeyondVstEnd, kSeverityInternal);
  const uint32_t pageNumber = PageNumber(handle);
  uint16_t buffer = kNoBuffer;
  if (pageNumber == m_memoPage) {
    buffer = m_memoBuffer;
  } else {
    buffer = FindResident(pageNumber);
    if (buffer == kNoBuffer) {
      m_memoPage = kNoPage;
      m_memoBuffer = kNoBuffer;
      return kNoBuffer;
    }
    m_memoPage = pageNumber;
    m_memoBuffer = buffer;
  }
  if (m_buffers[buffer].m_signature != kSignature) RaiseVstError(kMsgBufferHeaderCorrupt, kSeverityInternal);
  return buffer;
}

uint16_t PageCache::TakeFreeBuffer() {
  uint16_t buffer = m_lruPrevious[kLruHead];
  while (buffer != kLruHead && m_buffers[buffer].m_pinCount != 0) buffer = m_lruPrevious[buffer];
  if (buffer == kLruHead) RaiseVstError(kMsgNoFreeBuffer, kSeverityError);
  // A failed write-back leaves the buffer holding its page, still changed: nothing is
  // lost and the lists are as they were.
  if (m_buffers[buffer].m_changed != 0) WritePage(buffer);
  if (m_memoBuffer == buffer) {
    m_memoPage = kNoPage;
    m_memoBuffer = kNoBuffer;
  }
  return buffer;
}

void PageCache::HashUnlink(uint16_t buffer) {
  const uint16_t next = m_hashNext[buffer];
  const uint16_t previous = m_hashPrevious[buffer];
  m_hashNext[previous] = next;
  m_hashPrevious[next] = previous;
  m_hashNext[buffer] = buffer;
  m_hashPrevious[buffer] = buffer;
}

void PageCache::HashInsert(uint16_t buffer) {
  HashUnlink(buffer);
  const uint16_t bucket = static_cast<uint16_t>(kFirstBucketNode + m_buffers[buffer].m_pageNumber % kBucketCount);
  const uint16_t first = m_hashNext[bucket];
  m_hashNext[buffer] = first;
  m_hashPrevious[buffer] = bucket;
  m_hashPrevious[first] = buffer;
  m_hashNext[bucket] = buffer;
}

void PageCache::MoveToFront(uint16_t buffer) {
  if (m_lruNext[kLruHead] == buffer) return;
  m_lruNext[m_lruPrevious[buffer]] = m_lruNext[buffer];
  m_lruPrevious[m_lruNext[buffer]] = m_lruPrevious[buffer];
  const uint16_t first = m_lruNext[kLruHead];
  m_lruNext[buffer] = first;
  m_lruPrevious[buffer] = kLruHead;
  m_lruPrevious[first] = buffer;
  m_lruNext[kLruHead] = buffer;
}

void PageCache::ReadPage(uint16_t buffer) {
  PageBuffer& page = m_buffers[buffer];
  if (!m_file->SeekTo(page.m_pageNumber << kVstPageShift)) RaiseVstError(kMsgVstSeekError, kSeverityError);
  ++m_fileReads;
  if (!m_file->ReadBytes(page.m_data, kVstPageSize)) RaiseVstError(kMsgVstReadError, kSeverityError);
}

void PageCache::WritePage(uint16_t buffer) {
  PageBuffer& page = m_buffers[buffer];
  if (!m_file->SeekTo(page.m_pageNumber << kVstPageShift)) RaiseVstError(kMsgVstSeekError, kSeverityError);
  ++m_fileWrites;
  if (!m_file->WriteBytes(page.m_data, kVstPageSize)) RaiseVstError(kMsgVstWriteError, kSeverityError);
  page.m_changed = 0;
}

void PageCache::ForgetPage(uint16_t buffer) {
  // The buffer's bytes are not the page's: it must never be found as that page.
  HashUnlink(buffer);
  m_buffers[buffer].m_pageNumber = kNoPage;
  m_buffers[buffer].m_changed = 0;
  if (m_memoBuffer == buffer) {
    m_memoPage = kNoPage;
    m_memoBuffer = kNoBuffer;
  }
}

uint8_t* PageCache::AppendPage(bool pin, RecordHandle* handle) {
  if (m_fileLength >= kLargestFileLength) RaiseVstError(kMsgVstWriteError, kSeverityError);
  // The buffer is found before the file grows, so a failure leaves no page behind
  // that no buffer holds and the file never received.
  const uint16_t buffer = TakeFreeBuffer();
  PageBuffer& page = m_buffers[buffer];
  *handle = RecordHandle(m_fileLength);
  page.m_pageNumber = m_fileLength >> kVstPageShift;
  m_fileLength += kVstPageSize;
  if (pin) ++page.m_pinCount;
  page.m_changed = 1;
  // A new page starts as zeros rather than the bytes of the page the buffer held.
  std::memset(page.m_data, 0, kVstPageSize);
  HashInsert(buffer);
  MoveToFront(buffer);
  return page.m_data;
}

uint8_t* PageCache::GetPageForRead(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) {
    buffer = TakeFreeBuffer();
    m_buffers[buffer].m_pageNumber = PageNumber(handle);
    HashInsert(buffer);
    try {
      ReadPage(buffer);
    } catch (...) {
      ForgetPage(buffer);
      throw;
    }
  }
  MoveToFront(buffer);
  return m_buffers[buffer].m_data + handle.PageOffset();
}

uint8_t* PageCache::GetPageForWrite(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) RaiseVstError(kMsgVstSeekError, kSeverityError);
  m_buffers[buffer].m_changed = 1;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

uint8_t* PageCache::LockPage(RecordHandle handle) {
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) RaiseVstError(kMsgVstSeekError, kSeverityError);
  if (m_buffers[buffer].m_pinCount == 0xFFFF) ZENTOR_INTERNAL_ERROR();
  ++m_buffers[buffer].m_pinCount;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

uint8_t* PageCache::UnlockPage(RecordHandle handle) {
  if (handle.IsNone()) return nullptr;
  CheckHandleInFile(handle, __LINE__);
  const uint16_t buffer = FindBuffer(handle);
  if (buffer == kNoBuffer) return nullptr;
  if (m_buffers[buffer].m_pinCount > 0) --m_buffers[buffer].m_pinCount;
  return m_buffers[buffer].m_data + handle.PageOffset();
}

void PageCache::ReleasePinQuietly(RecordHandle handle) noexcept {
  if (!IsInFile(handle)) return;
  const uint16_t buffer = FindResident(PageNumber(handle));
  if (buffer != kNoBuffer && m_buffers[buffer].m_pinCount > 0) --m_buffers[buffer].m_pinCount;
}

bool PageCache::IsResident(uint32_t pageNumber) const { return FindResident(pageNumber) != kNoBuffer; }

uint32_t PageCache::PinCount(uint32_t pageNumber) const {
  const uint16_t buffer = FindResident(pageNumber);
  return buffer == kNoBuffer ? 0 : m_buffers[buffer].m_pinCount;
}

bool PageCache::IsChanged(uint32_t pageNumber) const {
  const uint16_t buffer = FindResident(pageNumber);
  return buffer != kNoBuffer && m_buffers[buffer].m_changed != 0;
}

void SetCurrentPageCacheProvider(PageCacheProvider provider) { g_currentProvider = provider; }

PageCacheProvider CurrentPageCacheProvider() { return g_currentProvider; }

PageCache& CurrentPageCache() {
  PageCache* cache = g_currentProvider == nullptr ? nullptr : g_currentProvider();
  if (cache == nullptr) ZENTOR_INTERNAL_ERROR();
  return *cache;
}

}  // namespace zentor
