// The shell's answers cut from its output, for the tests of the shell in and out of the test process.
#pragma once

#include <regex>
#include <string>
#include <vector>

// The answer to each line read: the text after each ">" prompt (no board or answer holds one), without
// its last line end, every drawn board (24 lines, the first holding a8 and the program's name) shown as
// "[board]" and perft times as N.
inline std::vector<std::string> Replies(std::string Text) {
  for (size_t At = 0; (At = Text.find("a8", At)) != std::string::npos; At++) {
    size_t End = Text.find('\n', At);
    if (Text.find("Talvarind", At) > End) continue;
    for (int Row = 1; Row < 24 && End != std::string::npos; Row++) End = Text.find('\n', End + 1);
    Text.replace(At, End == std::string::npos ? End : End - At, "[board]");
  }
  Text = std::regex_replace(Text, std::regex("in [0-9]+ milliseconds"), "in N milliseconds");
  std::vector<std::string> Result;
  for (size_t At = Text.find('>'); At != std::string::npos;) {
    const size_t Next = Text.find('>', At + 1);
    Result.push_back(Text.substr(At + 1, Next == std::string::npos ? Next : Next - At - 1));
    if (!Result.back().empty() && Result.back().back() == '\n') Result.back().pop_back();
    At = Next;
  }
  return Result;
}
