// XBoard commands arriving during a think, handed over the way the search's input poll does: with a copy
// of the engine's side and no waiting for a line. Whatever they are, the board, the game and the limits
// under the search must stay as they were.
#include <cstring>

#include "FuzzSupport.h"
#include "engine/board/Position.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/XBoard.h"

namespace {

// What a search reads besides the flags it is told to stop or go on with.
struct TUnderSearch {
  TPosition Position;
  int32_t HistoryPly, MaxDepth, MovesPerControl, MaxNodes, MaxThreadCount, UsedThreadCount, Pondering, UseFastEval;
  int64_t MaxTime, TimeLeft[2], TimeIncrement[2];
  int32_t MovesLeft[2];

  explicit TUnderSearch(const TState* S)
      : Position(S->Position),
        HistoryPly(S->HistoryPly),
        MaxDepth(S->MaxDepth),
        MovesPerControl(S->MovesPerControl),
        MaxNodes(S->MaxNodes),
        MaxThreadCount(S->MaxThreadCount),
        UsedThreadCount(S->UsedThreadCount),
        Pondering(S->Pondering),
        UseFastEval(S->UseFastEval),
        MaxTime(S->MaxTime),
        TimeLeft{S->TimeLeft[0], S->TimeLeft[1]},
        TimeIncrement{S->TimeIncrement[0], S->TimeIncrement[1]},
        MovesLeft{S->MovesLeft[0], S->MovesLeft[1]} {}

  std::string Changes(const TState* S) const {
    std::string What = fuzz::PositionDifference(Position, S->Position);
    const TUnderSearch Now(S);
    const auto Changed = [&What](bool Different, const char* Name) {
      if (!Different) return;
      if (!What.empty()) What += ' ';
      What += Name;
    };
    Changed(HistoryPly != Now.HistoryPly, "HistoryPly");
    Changed(MaxDepth != Now.MaxDepth || MovesPerControl != Now.MovesPerControl || MaxNodes != Now.MaxNodes ||
                MaxTime != Now.MaxTime,
            "limits");
    Changed(std::memcmp(TimeLeft, Now.TimeLeft, sizeof TimeLeft) != 0 ||
                std::memcmp(TimeIncrement, Now.TimeIncrement, sizeof TimeIncrement) != 0 ||
                std::memcmp(MovesLeft, Now.MovesLeft, sizeof MovesLeft) != 0,
            "clocks");
    Changed(MaxThreadCount != Now.MaxThreadCount || UsedThreadCount != Now.UsedThreadCount, "threads");
    Changed(Pondering != Now.Pondering || UseFastEval != Now.UseFastEval, "settings");
    return What;
  }
};

}  // namespace

TFindings FuzzXBoardInSearch(TState* S, std::string_view Data) {
  TFindings F;
  fuzz::ResetState(S);
  ResetXBoardDialogue();
  S->Mode = MXBoard;
  S->Hooks = &XBoardHooks;
  const size_t FirstLineEnd = Data.find_first_of("\r\n");
  SetPosition(&S->Position, Data.substr(0, FirstLineEnd));
  const std::string_view Commands = FirstLineEnd == std::string_view::npos ? "" : Data.substr(FirstLineEnd + 1);
  S->Thinking = true;
  S->RootSide = S->Position.Side;
  fuzz::RunOnInput(Commands, [&] {
    for (int Line = 1; !InputEnded() && F.empty(); Line++) {
      const TUnderSearch Before(S);
      int32_t ComputerSide = S->RootSide ^ 8;
      TXBoardClocks Clocks;
      ProcessXBoardInput(S, ComputerSide, true, Clocks);
      fuzz::Note(F, "line " + std::to_string(Line) + " changed", Before.Changes(S));
      fuzz::CheckPosition(F, S, "after line " + std::to_string(Line));
      // A "quit" or "?" ends the think; the lines after it are tried as if another were running.
      S->Quit = false;
      S->AbortSearch = false;
    }
  });
  S->Thinking = false;
  S->Quit = false;
  S->AbortSearch = false;
  return F;
}
