#pragma once
// The command words that only make sense against a NetWare server, added to the
// scanner when start-up sends the target interface notification 1: every register
// name (token 18, its row as subcode), then the target's keywords. The grammar routes
// the commands built from them to the action slots this subsystem binds.

#include <cstdint>

namespace zentor {

// Token code of the register names.
inline constexpr uint8_t kRegisterToken = 18;

void AddTargetKeywords();
// Binds the target's action slots: the register and stack listings, "loadsym" and
// "clearsym", the server listings and the two load options without effect.
void BindTargetActions();

}  // namespace zentor
