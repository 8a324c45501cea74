#pragma once
// The source files of a loaded program. Symbol files name source files as their
// compiler wrote them; the SourceFileTable keeps each name once, gives it a small
// index that line entries and locations carry (in a SourceFileRef), finds the file on
// this machine along the search paths, and counts its lines. The loader library adds
// names while it loads; the source pane and the source windows ask for full paths and
// line counts. Looked-up paths are kept until a search path changes.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "symbols/search_path.h"

#include "core/address_descriptor.h"
#include "core/collectable_record.h"

#include "support/rw_bitvec.h"
#include "support/rw_collectable_string.h"
#include "support/rw_cstring.h"
#include "support/rw_ordered.h"

namespace zentor {

// A path in the debugger's normal form: '/' made '\' and a drive letter upper-cased;
// the case of the rest and any ".." stay as written. Two names are equal when their
// texts are equal without regard to case.
class SourcePathName : public RWCollectableString {
 public:
  SourcePathName() = default;
  SourcePathName(const char* text);        // NOLINT(google-explicit-constructor): a name is its text
  SourcePathName(const RWCString& text);   // NOLINT(google-explicit-constructor)
  SourcePathName(const SourcePathName& other) = default;
  SourcePathName& operator=(const SourcePathName& other) = default;
  ~SourcePathName() override = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  // -1, 0 or 1, comparing without regard to case.
  int compareTo(const RWCollectable* other) const override;
  using RWCString::compareTo;
  // The hash of the upper-cased text, so that equal names hash alike.
  uint32_t hash() const override;
  bool isEqual(const RWCollectable* other) const override;

  // The normal form of a text.
  static RWCString Normalise(const RWCString& text);
};

// True when the file can be opened for reading (nothing is created). The path is in
// the debugger's form; the platform's path adapter finds it on the host.
bool FileExists(const RWCString& path);

// The part of a name after its last ':', '/' or '\'.
RWCString BaseNameOf(const RWCString& name);

// The source-file names of one loaded program (one table per loader state), with the
// full path found for each and its line count. Index 0 is a placeholder that never
// resolves. The table watches search-path changes (kind 10) and looks each index up
// again after one.
class SourceFileTable {
 public:
  // Refs carry the index in 16 bits.
  static constexpr uint32_t kMaxFiles = 0xFFFF;
  static constexpr int32_t kUnknownLineCount = -1;

  // The three lists, each with its index-0 placeholder; registered as a watcher of
  // search-path changes (kind 10) for the viewpoint current now.
  SourceFileTable();
  ~SourceFileTable();
  SourceFileTable(const SourceFileTable&) = delete;
  SourceFileTable& operator=(const SourceFileTable&) = delete;

  // Appends a name with an empty full path and an unknown line count; the new index.
  // A full table (kMaxFiles entries besides the placeholder) takes no more names and
  // answers 0.
  uint32_t AddFile(const SourcePathName& name);
  // The index of the first name equal to `name` (without regard to case), else 0.
  uint32_t IndexOf(const SourcePathName& name) const;
  // IndexOf, or AddFile when the name is not there yet.
  uint32_t IndexOrAdd(const SourcePathName& name);

  // Entries including the placeholder.
  uint32_t Count() const { return m_names.entries(); }
  // The name as the symbol file gave it ("" for 0 and for an index not in the table).
  RWCString Name(uint32_t index) const;
  // The full path of the file, found along the viewpoint's path, the global path and
  // the current directory; "" when it cannot be found. An index is looked up at most
  // once until a search path changes.
  RWCString FindFile(uint32_t index);
  // The number of newline characters in the found file: 0 for index 0, for an index
  // not in the table and for a file that cannot be read.
  int32_t LineCount(uint32_t index);
  // The directories the last lookup used.
  const SearchPath& LookupPath() const { return m_lookupPath; }

 private:
  void RebuildLookupPathIfChanged();
  void StoreFullPath(uint32_t index, const RWCString& path);
  const RWCString& StoredText(const RWOrdered& list, uint32_t index) const;

  RWOrdered m_names;
  RWOrdered m_fullPaths;
  RWOrdered m_lineCounts;
  SearchPath m_lookupPath;
  RWBitVec m_lookedUp;
  CollectableRecord m_pathWatch;
  // Upper-cased name to the first index that holds it (the loaders ask once per line).
  std::unordered_map<std::string, uint32_t> m_firstIndexByName;
};

// A source line and file as line entries and modules carry them: the line number (0 =
// none: a ref whose line is 0 names no file) and the file's index in the table.
class SourceFileRef {
 public:
  constexpr SourceFileRef() = default;
  constexpr SourceFileRef(uint16_t line, uint16_t fileIndex) : m_line(line), m_fileIndex(fileIndex) {}
  // The ref of a name: an empty name gives a ref without file; otherwise the index of
  // the first equal name in the table, the name being added when it is new. When the
  // table is full the ref names no file.
  static SourceFileRef FromName(SourceFileTable& table, const RWCString& name, uint16_t line);

  uint16_t Line() const { return m_line; }
  uint16_t FileIndex() const { return m_fileIndex; }
  bool HasFile() const { return m_line != 0; }

  // Ordered by file index first; with equal indexes two refs of index 0 are equal,
  // others are ordered by line. -1, 0 or 1.
  int Compare(const SourceFileRef& other) const;
  bool operator==(const SourceFileRef& other) const { return Compare(other) == 0; }
  bool operator!=(const SourceFileRef& other) const { return Compare(other) != 0; }
  bool operator<(const SourceFileRef& other) const { return Compare(other) < 0; }

 private:
  uint16_t m_line = 0;
  uint16_t m_fileIndex = 0;
};

// On the current symbol context's table; a ref without file gives "" and, for the
// line count, 0xFFFF. Line counts above 0xFFFE are given as 0xFFFE.
RWCString ResolveSourceFileName(const SourceFileRef& ref);
RWCString SourceFileNameOf(const SourceFileRef& ref);
uint16_t SourceFileLineCountOf(const SourceFileRef& ref);
// The source pane's form: a location's line whose valid word is the file index. -1
// for an absent line, else the file's line count as above.
int32_t SourceFileLineCount(const OptionalLine& line);

}  // namespace zentor
