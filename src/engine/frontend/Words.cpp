#include "engine/frontend/Words.h"

#include <charconv>

#include "engine/frontend/Input.h"

std::string NextWord(std::string& Line) { return Parse(Line, WhiteSpaceSet(), true); }

void Trim(std::string& Line) {
  const TCharSet& Blank = WhiteSpaceSet();
  size_t B = 0, E = Line.size();
  while (B < E && Blank.test((unsigned char)Line[B])) B++;
  while (E > B && Blank.test((unsigned char)Line[E - 1])) E--;
  Line = Line.substr(B, E - B);
}

namespace {

template <typename T>
bool ReadDecimal(const std::string& Word, T& Value) {
  const char* First = Word.data();
  const char* Last = First + Word.size();
  if (First < Last && *First == '+' && Last - First > 1 && First[1] != '-') First++;
  T Read = 0;
  const auto [End, Error] = std::from_chars(First, Last, Read);
  if (First == Last || Error != std::errc() || End != Last) return false;
  Value = Read;
  return true;
}

}  // namespace

bool ReadNumber(const std::string& Word, int32_t& Value) { return ReadDecimal(Word, Value); }
bool ReadNumber(const std::string& Word, int64_t& Value) { return ReadDecimal(Word, Value); }

int32_t ToNumber(const std::string& Word, int32_t Default) {
  int32_t Value = Default;
  return ReadNumber(Word, Value) ? Value : Default;
}
