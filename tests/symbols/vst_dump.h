#pragma once
// A readable dump of a symbol-table file for golden tests: every record of the global
// chain and of each module's part of the module chain (indented by scope nesting), and
// every slot of the type directory with the type record it refers to and the elements
// of its lists, then where each qualified type leads. Addresses are shown from their
// stored fields, names from the name pool. A walk that fails shows the error number and
// the dump goes on with the next section.

#include <string>
#include <utility>
#include <vector>

#include "symbols/page_cache.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

namespace zentor::testing_support {

struct VstDumpSource {
  PageCache* m_cache = nullptr;
  // The first page (or first record) of the global symbol chain; none for no chain.
  RecordHandle m_globalChain;
  // Each module's name and the handle of its first record on the module chain.
  std::vector<std::pair<std::string, RecordHandle>> m_modules;
  TypeDirectory* m_types = nullptr;
};

std::string DumpVst(const VstDumpSource& source);

}  // namespace zentor::testing_support
