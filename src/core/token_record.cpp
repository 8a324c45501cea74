#include "core/token_record.h"

#include <cstring>

namespace zentor {

TokenRecord& CurrentToken() {
  static TokenRecord token;
  return token;
}

TokenRecord& ExpressionSaveToken() {
  static TokenRecord token;
  return token;
}

void SetTokenText(TokenRecord& token, const char* text) {
  const std::size_t length = text != nullptr ? strnlen(text, TokenRecord::kTextCapacity - 1) : 0;
  SetTokenBytes(token, text, length);
}

void SetTokenBytes(TokenRecord& token, const void* bytes, std::size_t length) {
  if (bytes == nullptr) length = 0;
  if (length > TokenRecord::kTextCapacity - 1) length = TokenRecord::kTextCapacity - 1;
  if (length > 0) std::memmove(token.text, bytes, length);
  token.text[length] = '\0';
  token.textLength = static_cast<uint16_t>(length);
}

}  // namespace zentor
