// Text cut into lines and words, and put back together, for the tests' checks and failure messages.
#pragma once

#include <sstream>
#include <string>
#include <vector>

// The lines of Text without their line ends; a last line without one counts too.
inline std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Result;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);) Result.push_back(Line);
  return Result;
}

// The words of Text, split at any white space.
inline std::vector<std::string> Words(const std::string& Text) {
  std::vector<std::string> Result;
  std::istringstream In(Text);
  for (std::string Word; In >> Word;) Result.push_back(Word);
  return Result;
}

// Words (moves, mostly) joined by single spaces.
inline std::string Join(const std::vector<std::string>& Words) {
  std::string Text;
  for (const std::string& Word : Words) {
    if (!Text.empty()) Text += ' ';
    Text += Word;
  }
  return Text;
}

// Lines, one to a row, for a failure message.
inline std::string Dump(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += "  | " + Line + "\n";
  return Text;
}
