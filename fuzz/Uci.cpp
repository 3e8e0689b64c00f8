// The UCI dialogue on the input. Every "go" is held to two plies, and only the first few are kept: each
// search dirties the table, which the next "ucinewgame" then wipes, a gigabyte at a time. The table may
// be resized only to 16 MiB.
#include "engine/frontend/UCI.h"

#include "FuzzSupport.h"
#include "engine/frontend/Words.h"

namespace {

constexpr int MaxSearches = 8;

std::string Bounded(std::string_view Data) {
  std::string Input;
  int Searches = 0;
  for (std::string Line : fuzz::InputLines(Data)) {
    std::string Rest = Line;
    const std::string Command = NextWord(Rest);
    if (Command == "setoption" && Rest.find("Hash") != std::string::npos) {
      // Any size but a small one would only measure the machine's memory.
      Line = "setoption name Hash value 16";
    } else if (Command == "go") {
      // The 0 is taken by a last word that wants a number, or skipped; then the depth is read as a pair.
      if (++Searches > MaxSearches) Line.clear();
      else Line += " 0 depth 2";
    }
    Input += Line;
    Input += '\n';
  }
  return Input;
}

}  // namespace

TFindings FuzzUci(TState* S, std::string_view Data) {
  TFindings F;
  fuzz::ResetState(S);
  fuzz::RunOnInput(Bounded(Data), [S] { UCI(S, ""); });
  fuzz::CheckPosition(F, S, "after the dialogue");
  S->Quit = false;
  return F;
}
