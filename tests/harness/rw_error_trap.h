#pragma once
// Turns class-library errors into C++ exceptions for the length of a test, so that a
// test can watch a bounds or persistence error happen instead of the program ending.

#include <stdexcept>
#include <string>

#include "support/rw_messages.h"

namespace zentor::testing_support {

struct RWErrorRaised : std::runtime_error {
  explicit RWErrorRaised(const std::string& text) : std::runtime_error(text) {}
};

class RWErrorTrap {
 public:
  RWErrorTrap() : m_previous(rwSetErrHandler(&Throw)) {}
  ~RWErrorTrap() { rwSetErrHandler(m_previous); }
  RWErrorTrap(const RWErrorTrap&) = delete;
  RWErrorTrap& operator=(const RWErrorTrap&) = delete;

 private:
  static void Throw(const RWxmsg& error) { throw RWErrorRaised(error.why()); }
  RWErrHandler m_previous;
};

// The text of the class-library error that running `body` raises, or "" when none.
template <typename Body>
std::string RWErrorTextOf(Body&& body) {
  RWErrorTrap trap;
  try {
    body();
  } catch (const RWErrorRaised& error) {
    return error.what();
  }
  return "";
}

}  // namespace zentor::testing_support
