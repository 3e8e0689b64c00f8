// Reading the text of commands and positions: one set of rules for blanks and numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Blanks and control characters: everything up to the space.
inline bool IsBlank(unsigned char C) { return C <= ' '; }

// Text without blanks at either end.
std::string_view TrimBlanks(std::string_view Text);

// How a whole word read as a decimal number.
enum class TNumberRead { NotANumber, InRange, Clamped };

// A whole word as a signed decimal (an optional sign, then digits only). Value gets the number, or the
// nearer of Min and Max when it lies outside them; it is left alone when the word is no number.
TNumberRead ReadDecimal(std::string_view Word, int64_t Min, int64_t Max, int64_t& Value);

// The digits of Text from At on (none gives 0), At left after them; a number past Limit reads as Limit.
int64_t ReadDigits(std::string_view Text, size_t& At, int64_t Limit);
