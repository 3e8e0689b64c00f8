// XBoard commands between searches, one line at a time, as the dialogue's loop hands them over. The only
// search such a line starts is "hint"'s, held to two plies.
#include "engine/frontend/XBoard.h"

#include "FuzzSupport.h"
#include "engine/frontend/Input.h"

TFindings FuzzXBoard(TState* S, std::string_view Data) {
  TFindings F;
  fuzz::ResetState(S);
  ResetXBoardDialogue();
  S->Mode = MXBoard;
  S->Hooks = &XBoardHooks;
  S->MaxDepth = 2;
  int32_t ComputerSide = CBlack;
  TXBoardClocks Clocks;
  fuzz::RunOnInput(Data, [&] {
    for (int Line = 1; !S->Quit && F.empty(); Line++) {
      ProcessXBoardInput(S, ComputerSide, false, Clocks);
      if (S->MaxDepth == 0 || S->MaxDepth > 2) S->MaxDepth = 2;
      fuzz::CheckPosition(F, S, "after line " + std::to_string(Line));
    }
  });
  S->Quit = false;
  return F;
}
