#pragma once
// Indexes that answer the symbol searches without walking every record: the first
// global symbol of a name, and the type-directory entries of a name. They run at
// every stop and every window refresh, where a walk over a large program's chains
// would be felt. Each index is built from the same walk it replaces, when it is
// first needed after the tables changed (a load, a module loaded on demand), and
// answers exactly what the walk answers. Switched off, the searches walk as before
// (the benchmark compares both).

#include <cstdint>
#include <vector>

#include "symbols/vst_file.h"

#include "core/address_descriptor.h"

namespace zentor {

class ModuleDescriptor;

// A symbol record the nearest-symbol search looks at, with what the walk knows when
// it reaches it: the innermost enclosing block or procedure (none at module level and
// in the global list) and whether the scope address lies in it.
struct AddressCandidate {
  RecordHandle m_record;
  RecordHandle m_enclosing;
  bool m_inside = false;
};

class SymbolIndexes {
 public:
  // On by default; off makes every search walk.
  static void SetEnabled(bool enabled);
  static bool Enabled();

  // The global-list pass of FindSymbolInContext: the first global symbol record of the
  // name becomes current, its module's symbols loaded first when they still wait in
  // the symbol file. False when none has the name.
  static bool FindGlobalByName(const NameKey& key);

  // The symbol records of one pass of the nearest-symbol search (a module's records,
  // or the global list when `module` is null) that can change its outcome for
  // `address`, in record order: of the symbols at fixed places those nearest at or
  // below the address (in the global list, the nearest whose module reaches the
  // address), and the frame-relative ones of the scopes that hold the scope address.
  // False when the index is off (the caller walks).
  static bool AddressCandidates(const ModuleDescriptor* module, const AddressDescriptor& address,
                                const AddressDescriptor& scope, std::vector<AddressCandidate>& candidates);

  // The type-directory indices (1 through the type count, ascending) whose raw entry
  // is named `name` exactly, or every index when the index is switched off.
  static std::vector<uint32_t> TypeIndicesNamed(const RWCString& name);
};

// The walk the global-name index replaces.
bool SearchGlobalChainForName(const NameKey& key);

}  // namespace zentor
