#pragma once
// Shared scaffolding of the tests that drive the loader library's entry points: a
// viewpoint of the test's own, made current while the test runs, and the hex texts
// the expected descriptions are written in.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "symbols/symbol_context.h"
#include "core/current_viewpoint.h"
#include "core/unsigned_int64.h"
#include "core/viewpoint_handle.h"
#include "core/viewpoint_manager.h"

namespace zentor::testing_support {

// A viewpoint of its own (`kViewpointValue`, distinct per suite), current while the
// test runs, whose context the loads replace; the last context goes with the test.
template <uint32_t kViewpointValue>
class OwnViewpointTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ViewpointManager::AddViewpoint(kViewpoint);
    SetBaseViewpoint(kViewpoint);
  }
  void TearDown() override {
    SymbolContext* context = ViewpointManager::SymbolContextOf(kViewpoint);
    ViewpointManager::SetCurrentSymbolContext(nullptr);
    if (context != GetDefaultSymbolContext()) delete context;
    ViewpointManager::RemoveViewpoint(kViewpoint);
    SetBaseViewpoint(ViewpointHandle::None());
  }

  static constexpr ViewpointHandle kViewpoint{kViewpointValue};
};

inline std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

// A 64-bit ordinal in hex, without leading zeros.
inline std::string HexOrdinal(const OrdinalValue& value) {
  char text[32];
  if (value.High() != 0) {
    std::snprintf(text, sizeof text, "0x%x%08x", value.High(), value.Low());
  } else {
    std::snprintf(text, sizeof text, "0x%x", value.Low());
  }
  return text;
}

}  // namespace zentor::testing_support
