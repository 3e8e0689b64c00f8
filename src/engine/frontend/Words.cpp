#include "engine/frontend/Words.h"

#include <cstdint>

#include "engine/core/Text.h"
#include "engine/frontend/Input.h"

std::string NextWord(std::string& Line) { return Parse(Line, WhiteSpaceSet(), true); }

void Trim(std::string& Line) {
  const std::string_view Kept = TrimBlanks(Line);
  Line = std::string(Kept);
}

bool ReadNumber(const std::string& Word, int32_t& Value) {
  int64_t Read = 0;
  if (ReadDecimal(Word, INT32_MIN, INT32_MAX, Read) != TNumberRead::InRange) return false;
  Value = int32_t(Read);
  return true;
}

bool ReadNumber(const std::string& Word, int64_t& Value) {
  return ReadDecimal(Word, INT64_MIN, INT64_MAX, Value) == TNumberRead::InRange;
}

int32_t ToNumber(const std::string& Word, int32_t Default) {
  int32_t Value = Default;
  return ReadNumber(Word, Value) ? Value : Default;
}
