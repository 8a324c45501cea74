#include "core/base_manager.h"

namespace zentor {

BaseManager::~BaseManager() = default;

DVErrorCode BaseManager::WriteContent(intptr_t /*argument*/) { return DVErrorCode(); }

}  // namespace zentor
