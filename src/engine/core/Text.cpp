#include "engine/core/Text.h"

#include <limits>

std::string_view TrimBlanks(std::string_view Text) {
  while (!Text.empty() && IsBlank((unsigned char)Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank((unsigned char)Text.back())) Text.remove_suffix(1);
  return Text;
}

int64_t ReadDigits(std::string_view Text, size_t& At, int64_t Limit) {
  int64_t V = 0;
  for (; At < Text.size() && Text[At] >= '0' && Text[At] <= '9'; At++) {
    const int Digit = Text[At] - '0';
    // Once past the limit the number stays there, however many digits follow.
    V = V > (Limit - Digit) / 10 ? Limit : V * 10 + Digit;
  }
  return V;
}

TNumberRead ReadDecimal(std::string_view Word, int64_t Min, int64_t Max, int64_t& Value) {
  bool Negative = false;
  if (!Word.empty() && (Word.front() == '-' || Word.front() == '+')) {
    Negative = Word.front() == '-';
    Word.remove_prefix(1);
  }
  // Magnitudes up to that of the most negative number are exact; anything larger is only "too large".
  constexpr uint64_t Ceiling = uint64_t(1) << 63;
  uint64_t Magnitude = 0;
  bool TooLarge = false;
  size_t At = 0;
  for (; At < Word.size() && Word[At] >= '0' && Word[At] <= '9'; At++) {
    const unsigned Digit = unsigned(Word[At] - '0');
    if (Magnitude > (Ceiling - Digit) / 10) TooLarge = true;
    else Magnitude = Magnitude * 10 + Digit;
  }
  if (Word.empty() || At != Word.size()) return TNumberRead::NotANumber;
  if (!Negative && Magnitude == Ceiling) TooLarge = true;
  constexpr int64_t Lowest = std::numeric_limits<int64_t>::min(), Highest = std::numeric_limits<int64_t>::max();
  int64_t V = Negative ? int64_t(0 - Magnitude) : int64_t(Magnitude);
  if (TooLarge) V = Negative ? Lowest : Highest;
  if (TooLarge || V < Min || V > Max) {
    Value = V < Min ? Min : V > Max ? Max : V;
    return TNumberRead::Clamped;
  }
  Value = V;
  return TNumberRead::InRange;
}
