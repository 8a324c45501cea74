#include "core/status_line.h"

#include <cstddef>

#include "core/hi_service.h"

namespace zentor {
namespace {

std::string& StoredText() {
  static std::string text;
  return text;
}

}  // namespace

uint32_t StatusLineWidth() { return kStatusLineWidth; }

void SetStatusText(const char* text) {
  const char* source = text != nullptr ? text : "";
  std::size_t length = 0;
  while (length < kMaxStatusTextLength && source[length] != '\0') ++length;
  StoredText().assign(source, length);
  RestoreStatusText();
}

const std::string& PersistentStatusText() { return StoredText(); }

}  // namespace zentor
