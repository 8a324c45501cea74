#pragma once
// The ordered list of directories in which source files and symbol files are looked
// for. Every viewpoint's symbol context owns one ("SPATH" in commands) and one global
// path ("GLOBALPATH") serves beside them. The spath and globalpath commands add,
// remove, set and show directories; the source-file table and the symbol-file probe
// try them in order. Directory texts are kept exactly as written; two entries never
// hold the same text (compared with case), so "Src" and "src" are two entries.

#include <cstdint>

#include "symbols/list_holders.h"

#include "support/rw_cstring.h"

namespace zentor {

// "Invalid entry for Source Path." (ERROR): a directory longer than a path may be.
inline constexpr uint32_t kMsgInvalidSourcePathEntry = 242;

// Which path a command works on.
enum SearchPathSelector : uint32_t {
  kViewpointSearchPath = 0,  // the current symbol context's path ("SPATH")
  kGlobalSearchPath = 1,     // the global path ("GLOBALPATH")
};

class SearchPath : public OrderedListHolder {
 public:
  // A directory with its separator and a file name must still fit a Windows path.
  static constexpr uint32_t kMaxDirectoryLength = 259;

  SearchPath();
  // An empty path, then the text's directories added.
  explicit SearchPath(const RWCString& text);
  // Deep copies: every directory string is duplicated.
  SearchPath(const SearchPath& other);
  SearchPath& operator=(const SearchPath& other);
  // The old entries go; the path is rebuilt from the text.
  SearchPath& operator=(const RWCString& text);
  ~SearchPath() override;

  // Splits the text at blanks, tabs and newlines and appends each directory that is
  // not present yet. A directory longer than kMaxDirectoryLength refuses the whole
  // text with message 242 (ERROR) and leaves the path as it was.
  void Add(const RWCString& text);
  // Splits the text the same way and removes each directory that is present.
  void Remove(const RWCString& text);

  uint32_t Count() const { return OrderedListHolder::Count(); }
  // Directory i; the empty string when i is not below the count.
  RWCString Entry(uint32_t i) const;
  bool Contains(const RWCString& directory) const;
  // All directories joined by single blanks ("" for an empty path).
  RWCString AsText() const;

 private:
  void CopyFrom(const SearchPath& other);
};

// The command operations. The selector chooses the current symbol context's path (0)
// or the global path (1); any other selector is an internal-consistency error.
// Add, remove and set first expand the text: a word that reads "SPATH" or
// "GLOBALPATH" in any case stands for that path's directories as they were before the
// command. They then mark the search-path watchers (kind 10) changed, change the path
// and make every module of the loaded program forget where its source view stood, so
// that source views reopen their files along the new path.
void AddToSearchPath(const RWCString& text, uint32_t selector);
void RemoveFromSearchPath(const RWCString& text, uint32_t selector);
void SetSearchPath(const RWCString& text, uint32_t selector);
// Writes the directories of the path, one per line.
void ShowSearchPath(uint32_t selector);
// The setmod command's operation: nothing.
void SearchPathNoOp();

// The global search path, created on first use; later calls return the same one.
SearchPath* GetGlobalSearchPath();

// The text with "SPATH" and "GLOBALPATH" replaced by the directories of the paths,
// each word followed by one blank.
RWCString ExpandSearchPathText(const RWCString& text);
SearchPath& SelectSearchPath(uint32_t selector);

// Command actions: they pop the path selector (16-bit) from the value stack and take
// the directories from the current token's text.
void ShowSearchPathAction();
void RemoveFromSearchPathAction();
void AddToSearchPathAction();
void SetSearchPathAction();
// Drops the location the setmod command pushed and does nothing else.
void SearchPathNoOpAction();

}  // namespace zentor
