#include "symbols/search_path.h"

#include <string_view>
#include <vector>

#include "symbols/symbol_context.h"

#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "support/rw_collectable_string.h"
#include "support/rw_tokenizer.h"

namespace zentor {
namespace {

// The words of a text separated by blanks, tabs and newlines. Every word takes at
// least one character of the text, so the walk ends after at most that many words.
std::vector<RWCString> SplitDirectories(const RWCString& text) {
  std::vector<RWCString> words;
  RWCTokenizer next(text);
  for (uint32_t guard = 0; guard <= text.length(); ++guard) {
    RWCSubString word = next();
    if (word.isNull() || word.length() == 0) break;
    words.emplace_back(word);
  }
  return words;
}

void RefuseOverlongDirectories(const std::vector<RWCString>& words) {
  for (const RWCString& word : words) {
    if (word.length() > SearchPath::kMaxDirectoryLength) {
      throw DVError(kMsgInvalidSourcePathEntry, kSeverityError, kDisplayByFocus);
    }
  }
}

const RWCollectableString* DirectoryItem(const RWCollectable* item) {
  return dynamic_cast<const RWCollectableString*>(item);
}

std::string_view ViewOf(const RWCString& text) { return std::string_view(text.data(), text.length()); }

bool IsWord(const RWCString& word, const char* upperCaseKeyword) {
  RWCString upper(word);
  upper.toUpper();
  return upper.compareTo(upperCaseKeyword) == 0;
}

// Steps shared by add, remove and set: expand with the paths as they are, choose the
// target, tell the watchers, change the path, and make the modules' source views
// reopen their files along the new path.
template <typename Change>
void ChangeSearchPath(const RWCString& text, uint32_t selector, Change change) {
  const RWCString expanded = ExpandSearchPathText(text);
  SearchPath& target = SelectSearchPath(selector);
  MarkChangedRecords(kRecordSearchPaths, nullptr);
  change(target, expanded);
  GetCurrentSymbolContext()->Loader().ForgetModuleViewPositions();
}

uint32_t PopSearchPathSelector() {
  const uint16_t selector = ValueStack::PopOrd2();
  if (selector != kViewpointSearchPath && selector != kGlobalSearchPath) ZENTOR_INTERNAL_ERROR();
  return selector;
}

RWCString CurrentTokenText() {
  const TokenRecord& token = CurrentToken();
  uint32_t length = token.textLength;
  if (length > TokenRecord::kTextCapacity) length = TokenRecord::kTextCapacity;
  return RWCString(token.text, length);
}

}  // namespace

SearchPath::SearchPath() = default;

SearchPath::SearchPath(const RWCString& text) { Add(text); }

SearchPath::SearchPath(const SearchPath& other) : OrderedListHolder() { CopyFrom(other); }

SearchPath& SearchPath::operator=(const SearchPath& other) {
  if (this != &other) {
    Clear();
    CopyFrom(other);
  }
  return *this;
}

SearchPath& SearchPath::operator=(const RWCString& text) {
  const std::vector<RWCString> words = SplitDirectories(text);
  RefuseOverlongDirectories(words);
  Clear();
  for (const RWCString& word : words) {
    if (!Contains(word)) Insert(new RWCollectableString(word));
  }
  return *this;
}

SearchPath::~SearchPath() = default;

void SearchPath::CopyFrom(const SearchPath& other) {
  for (uint32_t i = 0; i < other.Count(); ++i) Insert(new RWCollectableString(other.Entry(i)));
}

void SearchPath::Add(const RWCString& text) {
  const std::vector<RWCString> words = SplitDirectories(text);
  RefuseOverlongDirectories(words);
  for (const RWCString& word : words) {
    if (!Contains(word)) Insert(new RWCollectableString(word));
  }
}

void SearchPath::Remove(const RWCString& text) {
  for (const RWCString& word : SplitDirectories(text)) {
    for (uint32_t i = 0; i < Count(); ++i) {
      const RWCollectableString* directory = DirectoryItem(ItemAt(i));
      if (directory == nullptr || directory->compareTo(word) != 0) continue;
      delete m_items->removeAt(i);
      break;
    }
  }
  if (m_cursor > Count()) m_cursor = Count();
}

RWCString SearchPath::Entry(uint32_t i) const {
  if (i >= Count()) return RWCString();
  const RWCollectableString* directory = DirectoryItem(ItemAt(i));
  return directory != nullptr ? RWCString(*directory) : RWCString();
}

bool SearchPath::Contains(const RWCString& text) const {
  for (uint32_t i = 0; i < Count(); ++i) {
    const RWCollectableString* directory = DirectoryItem(ItemAt(i));
    if (directory != nullptr && directory->compareTo(text) == 0) return true;
  }
  return false;
}

RWCString SearchPath::AsText() const {
  RWCString text;
  for (uint32_t i = 0; i < Count(); ++i) {
    if (i != 0) text += ' ';
    text += Entry(i);
  }
  return text;
}

SearchPath* GetGlobalSearchPath() {
  static SearchPath path;
  return &path;
}

RWCString ExpandSearchPathText(const RWCString& text) {
  RWCString expanded;
  for (const RWCString& word : SplitDirectories(text)) {
    if (IsWord(word, "SPATH")) {
      expanded += GetCurrentSymbolContext()->SourcePathList().AsText();
    } else if (IsWord(word, "GLOBALPATH")) {
      expanded += GetGlobalSearchPath()->AsText();
    } else {
      expanded += word;
    }
    expanded += ' ';
  }
  return expanded;
}

SearchPath& SelectSearchPath(uint32_t selector) {
  if (selector == kViewpointSearchPath) return GetCurrentSymbolContext()->SourcePathList();
  if (selector == kGlobalSearchPath) return *GetGlobalSearchPath();
  ZENTOR_INTERNAL_ERROR();
}

void AddToSearchPath(const RWCString& text, uint32_t selector) {
  ChangeSearchPath(text, selector, [](SearchPath& path, const RWCString& expanded) { path.Add(expanded); });
}

void RemoveFromSearchPath(const RWCString& text, uint32_t selector) {
  ChangeSearchPath(text, selector, [](SearchPath& path, const RWCString& expanded) { path.Remove(expanded); });
}

void SetSearchPath(const RWCString& text, uint32_t selector) {
  ChangeSearchPath(text, selector, [](SearchPath& path, const RWCString& expanded) { path = expanded; });
}

void ShowSearchPath(uint32_t selector) {
  const SearchPath& path = SelectSearchPath(selector);
  for (uint32_t i = 0; i < path.Count(); ++i) {
    OutputWriter::WriteString(ViewOf(path.Entry(i)));
    OutputWriter::FreshLine();
  }
}

void SearchPathNoOp() {}

void ShowSearchPathAction() { ShowSearchPath(PopSearchPathSelector()); }

void RemoveFromSearchPathAction() {
  const uint32_t selector = PopSearchPathSelector();
  RemoveFromSearchPath(CurrentTokenText(), selector);
}

void AddToSearchPathAction() {
  const uint32_t selector = PopSearchPathSelector();
  AddToSearchPath(CurrentTokenText(), selector);
}

void SetSearchPathAction() {
  const uint32_t selector = PopSearchPathSelector();
  SetSearchPath(CurrentTokenText(), selector);
}

void SearchPathNoOpAction() {
  ValueStack::Drop();
  SearchPathNoOp();
}

}  // namespace zentor
