#include "symbols/source_files.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "symbols/list_holders.h"
#include "symbols/symbol_context.h"

#include "core/current_viewpoint.h"
#include "platform/path_adapter.h"
#include "support/rw_collectable_int.h"

namespace zentor {
namespace {

constexpr uint32_t kLargestRefLineCount = 0xFFFE;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAsciiLetter(char c) {
  const char upper = UpperAscii(c);
  return upper >= 'A' && upper <= 'Z';
}

std::string_view ViewOf(const RWCString& text) { return std::string_view(text.data(), text.length()); }

std::string FoldedKey(const RWCString& text) {
  std::string key(text.data(), text.length());
  for (char& c : key) c = UpperAscii(c);
  return key;
}

// A name in normal form is absolute when it begins with '\', or with a drive letter,
// ':' and '\'.
bool IsAbsolute(const RWCString& name) {
  if (name.length() >= 1 && name(0) == '\\') return true;
  return name.length() >= 3 && IsAsciiLetter(name(0)) && name(1) == ':' && name(2) == '\\';
}

// Newline characters of the file; 0 when it cannot be read. The count stops growing
// at the largest 32-bit count.
int32_t CountNewlines(const RWCString& path) {
  const std::string hostPath = platform::ResolveHostPath(ViewOf(path));
  if (hostPath.empty()) return 0;
  std::FILE* file = std::fopen(hostPath.c_str(), "rb");
  if (file == nullptr) return 0;
  int32_t lines = 0;
  char buffer[4096];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    for (std::size_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n' && lines < INT32_MAX) ++lines;
    }
    if (got < sizeof buffer) break;
  }
  std::fclose(file);
  return lines;
}

uint16_t RefLineCount(int32_t count) {
  if (count < 0) return 0xFFFF;
  return static_cast<uint16_t>(static_cast<uint32_t>(count) > kLargestRefLineCount ? kLargestRefLineCount
                                                                                   : static_cast<uint32_t>(count));
}

}  // namespace

// ---- SourcePathName

SourcePathName::SourcePathName(const char* text) : RWCollectableString(Normalise(RWCString(text))) {}

SourcePathName::SourcePathName(const RWCString& text) : RWCollectableString(Normalise(text)) {}

RWCString SourcePathName::Normalise(const RWCString& text) {
  std::string normal(text.data(), text.length());
  for (char& c : normal) {
    if (c == '/') c = '\\';
  }
  if (normal.size() > 1 && normal[1] == ':') normal[0] = UpperAscii(normal[0]);
  return RWCString(normal.data(), static_cast<uint32_t>(normal.size()));
}

RWCollectable* SourcePathName::newSpecies() const { return new SourcePathName(); }

RWCollectable* SourcePathName::copy() const { return new SourcePathName(*this); }

int SourcePathName::compareTo(const RWCollectable* other) const {
  const RWCString* text = dynamic_cast<const RWCollectableString*>(other);
  if (text == nullptr) return RWCollectable::compareTo(other);
  const int order = RWCString::compareTo(*text, RWCString::ignoreCase);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

uint32_t SourcePathName::hash() const { return RWCString::hash(RWCString::ignoreCase); }

bool SourcePathName::isEqual(const RWCollectable* other) const {
  return dynamic_cast<const RWCollectableString*>(other) != nullptr && compareTo(other) == 0;
}

bool FileExists(const RWCString& path) { return !path.isNull() && platform::CanOpenForReading(ViewOf(path)); }

RWCString BaseNameOf(const RWCString& name) {
  uint32_t start = 0;
  for (uint32_t i = 0; i < name.length(); ++i) {
    const char c = name(i);
    if (c == ':' || c == '/' || c == '\\') start = i + 1;
  }
  return RWCString(name.data() + start, name.length() - start);
}

// ---- SourceFileTable

SourceFileTable::SourceFileTable()
    : m_pathWatch(CurrentViewpoint() == ViewpointHandle::None()
                      ? CollectableRecord(kRecordSearchPaths)
                      : CollectableRecord(kRecordSearchPaths, CurrentViewpoint())) {
  m_names.insert(new SourcePathName());
  m_fullPaths.insert(new SourcePathName());
  m_lineCounts.insert(new RWCollectableInt(kUnknownLineCount));
  m_lookedUp.resize(1);
  m_pathWatch.Register();
  // The paths may have been set before the table was made: the first lookup builds
  // its directory list.
  m_pathWatch.MarkChanged();
}

SourceFileTable::~SourceFileTable() {
  DestroyOwnedItems(m_names);
  DestroyOwnedItems(m_fullPaths);
  DestroyOwnedItems(m_lineCounts);
}

uint32_t SourceFileTable::AddFile(const SourcePathName& name) {
  if (Count() > kMaxFiles) return 0;
  const uint32_t index = Count();
  // The lists grow by doubling: the class library's fixed increment would make a
  // program with many source files quadratic to load.
  for (RWOrdered* list : {&m_names, &m_fullPaths, &m_lineCounts}) {
    if (list->entries() == list->capacity()) list->resize(2 * list->capacity() + 1);
  }
  m_names.insert(new SourcePathName(name));
  m_fullPaths.insert(new SourcePathName());
  m_lineCounts.insert(new RWCollectableInt(kUnknownLineCount));
  m_lookedUp.resize(Count());
  m_lookedUp.clearBit(index);
  m_firstIndexByName.emplace(FoldedKey(name), index);
  return index;
}

uint32_t SourceFileTable::IndexOf(const SourcePathName& name) const {
  const auto found = m_firstIndexByName.find(FoldedKey(name));
  return found == m_firstIndexByName.end() ? 0 : found->second;
}

uint32_t SourceFileTable::IndexOrAdd(const SourcePathName& name) {
  const uint32_t index = IndexOf(name);
  return index != 0 ? index : AddFile(name);
}

const RWCString& SourceFileTable::StoredText(const RWOrdered& list, uint32_t index) const {
  return *static_cast<const SourcePathName*>(list.at(index));
}

RWCString SourceFileTable::Name(uint32_t index) const {
  if (index >= Count()) return RWCString();
  return StoredText(m_names, index);
}

void SourceFileTable::RebuildLookupPathIfChanged() {
  if (m_pathWatch.TestAndClearChanged() == 0) return;
  m_lookupPath = GetCurrentSymbolContext()->SourcePathList().AsText();
  m_lookupPath.Add(GetGlobalSearchPath()->AsText());
  m_lookupPath.Add(RWCString("."));
  m_lookedUp = false;
}

void SourceFileTable::StoreFullPath(uint32_t index, const RWCString& path) {
  SourcePathName* stored = static_cast<SourcePathName*>(m_fullPaths.at(index));
  if (stored->RWCString::compareTo(path, RWCString::ignoreCase) != 0) {
    static_cast<RWCollectableInt*>(m_lineCounts.at(index))->value(kUnknownLineCount);
  }
  *stored = SourcePathName(path);
}

// 1. A search path that changed since the last call rebuilds the lookup directories
//    (viewpoint path, global path, current directory) and forgets every lookup.
// 2. Index 0, and an index looked up already, answer the stored path.
// 3. An absolute name that exists is its own full path.
// 4. Otherwise the base name is tried in each lookup directory in order.
// 5. Nothing found: the stored path becomes empty and the line count unknown.
RWCString SourceFileTable::FindFile(uint32_t index) {
  RebuildLookupPathIfChanged();
  if (index >= Count()) return RWCString();
  if (index == 0 || m_lookedUp.testBit(index)) return StoredText(m_fullPaths, index);
  m_lookedUp.setBit(index);

  const RWCString name = StoredText(m_names, index);
  if (IsAbsolute(name) && FileExists(name)) {
    StoreFullPath(index, name);
    return name;
  }
  const RWCString baseName = BaseNameOf(name);
  if (!baseName.isNull()) {
    for (uint32_t i = 0; i < m_lookupPath.Count(); ++i) {
      RWCString candidate = m_lookupPath.Entry(i);
      if (!candidate.isNull()) {
        const char last = candidate(candidate.length() - 1);
        if (last != '\\' && last != '/') candidate += '\\';
      }
      candidate += baseName;
      const SourcePathName normal(candidate);
      if (FileExists(normal)) {
        StoreFullPath(index, normal);
        return normal;
      }
    }
  }
  static_cast<RWCollectableInt*>(m_lineCounts.at(index))->value(kUnknownLineCount);
  StoreFullPath(index, RWCString());
  return RWCString();
}

int32_t SourceFileTable::LineCount(uint32_t index) {
  if (index == 0 || index >= Count()) return 0;
  RWCollectableInt* count = static_cast<RWCollectableInt*>(m_lineCounts.at(index));
  if (count->value() == kUnknownLineCount) {
    const RWCString path = FindFile(index);
    count->value(path.isNull() ? 0 : CountNewlines(path));
  }
  return count->value();
}

// ---- SourceFileRef

SourceFileRef SourceFileRef::FromName(SourceFileTable& table, const RWCString& name, uint16_t line) {
  if (name.isNull()) return SourceFileRef();
  const uint32_t index = table.IndexOrAdd(SourcePathName(name));
  if (index == 0) return SourceFileRef();
  return SourceFileRef(line, static_cast<uint16_t>(index));
}

int SourceFileRef::Compare(const SourceFileRef& other) const {
  if (m_fileIndex != other.m_fileIndex) return m_fileIndex < other.m_fileIndex ? -1 : 1;
  if (m_fileIndex == 0 || m_line == other.m_line) return 0;
  return m_line < other.m_line ? -1 : 1;
}

RWCString ResolveSourceFileName(const SourceFileRef& ref) {
  if (!ref.HasFile()) return RWCString();
  return GetCurrentSymbolContext()->SourceFiles().FindFile(ref.FileIndex());
}

RWCString SourceFileNameOf(const SourceFileRef& ref) {
  if (!ref.HasFile()) return RWCString();
  return GetCurrentSymbolContext()->SourceFiles().Name(ref.FileIndex());
}

uint16_t SourceFileLineCountOf(const SourceFileRef& ref) {
  if (!ref.HasFile()) return 0xFFFF;
  return RefLineCount(GetCurrentSymbolContext()->SourceFiles().LineCount(ref.FileIndex()));
}

int32_t SourceFileLineCount(const OptionalLine& line) {
  if (line.IsEmpty()) return -1;
  return RefLineCount(GetCurrentSymbolContext()->SourceFiles().LineCount(line.RawValid()));
}

}  // namespace zentor
