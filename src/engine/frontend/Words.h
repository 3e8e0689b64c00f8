// Splitting command lines the same way in every dialogue.
#pragma once

#include <cstdint>
#include <string>

// The next word of Line, with the blanks after it removed.
std::string NextWord(std::string& Line);
// Removes blanks and control characters from both ends.
void Trim(std::string& Line);
// A signed 32-bit decimal number, or Default for anything else (including numbers out of range).
int32_t ToNumber(const std::string& Word, int32_t Default);
// Whether Word is such a number; then it is stored in Value.
bool ReadNumber(const std::string& Word, int32_t& Value);
// The same for signed 64-bit numbers (milliseconds).
bool ReadNumber(const std::string& Word, int64_t& Value);
