// XBoard commands between searches, one line at a time, as the dialogue's loop hands them over. The only
// search such a line starts is "hint"'s, held to two plies. "memory" lines are left out: a table of any
// size the input names would be allocated and faulted in, far beyond a fuzzer's memory and time.
#include "engine/frontend/XBoard.h"

#include <string>

#include "FuzzSupport.h"
#include "engine/frontend/Input.h"

namespace {

std::string WithoutMemoryLines(std::string_view Data) {
  std::string Kept;
  for (const std::string& Line : fuzz::InputLines(Data))
    if (Line.rfind("memory", 0) != 0) Kept += Line + "\n";
  return Kept;
}

}  // namespace

TFindings FuzzXBoard(TState* S, std::string_view Data) {
  TFindings F;
  fuzz::ResetState(S);
  ResetXBoardDialogue();
  S->Mode = MXBoard;
  S->Hooks = &XBoardHooks;
  S->MaxDepth = 2;
  int32_t ComputerSide = CBlack;
  TXBoardClocks Clocks;
  fuzz::RunOnInput(WithoutMemoryLines(Data), [&] {
    for (int Line = 1; !S->Quit && F.empty(); Line++) {
      ProcessXBoardInput(S, ComputerSide, false, Clocks);
      if (S->MaxDepth == 0 || S->MaxDepth > 2) S->MaxDepth = 2;
      fuzz::CheckPosition(F, S, "after line " + std::to_string(Line));
    }
  });
  S->Quit = false;
  return F;
}
