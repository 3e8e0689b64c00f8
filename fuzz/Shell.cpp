// The interactive shell, one line after another as its loop hands them over, the prompts of value and
// yes/no commands answered by the lines that follow. Before each line the searches are held to two plies;
// perft depths above two and self-play beyond a few moves are cut down here, and the hand-overs to UCI
// and XBoard are passed by (those dialogues have targets of their own).
#include "engine/frontend/Shell.h"

#include "FuzzSupport.h"
#include "engine/frontend/BoardDisplay.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Words.h"
#include "engine/moves/GameEnd.h"
#include "engine/search/Think.h"

namespace {

constexpr int32_t MaxDepth = 2;
constexpr int MaxSelfPlayMoves = 4;

std::string Upper(std::string Word) {
  for (char& C : Word)
    if (C >= 'a' && C <= 'z') C = char(C - 'a' + 'A');
  return Word;
}

// The shell's loop plays "self" to the end of the game: here a few moves of it.
void SelfPlay(TState* S) {
  for (int Move = 0; Move < MaxSelfPlayMoves && !IsDraw(&S->Position) && !IsStalemate(&S->Position); Move++) {
    DrawBigBoard(S);
    if (!ThinkAndExecute(S)) break;
  }
}

}  // namespace

TFindings FuzzShell(TState* S, std::string_view Data) {
  TFindings F;
  fuzz::ResetState(S);
  fuzz::RunOnInput(Data, [&] {
    std::string Line;
    for (int Number = 1; !S->Quit && F.empty() && InputReadLine(true, Line); Number++) {
      std::string Rest = Line;
      const std::string Command = Upper(NextWord(Rest));
      if (Command == "UCI" || Command == "XBOARD") continue;
      if (Command == "PERFT") {
        // A depth the shell would not ask for again: at most two plies.
        std::string Word = NextWord(Rest);
        Trim(Word);
        int32_t Depth = 0;
        if (!ReadNumber(Word, Depth) || Depth > MaxDepth) Line = "perft 2";
      }
      if (S->MaxDepth == 0 || S->MaxDepth > MaxDepth) S->MaxDepth = MaxDepth;
      // As between inputs: "new" after a search would wipe and fault in a gigabyte each time.
      S->TranspositionTableDirty = false;
      if (Line == "self") SelfPlay(S);
      if (ParseAndExecute(S, Line) && !S->Quit) DrawBigBoard(S);
      const std::string Where = "after line " + std::to_string(Number);
      fuzz::CheckPosition(F, S, Where);
      if (S->HistoryPly < 0 || S->HistoryPly > MaxHistoryStack)
        fuzz::Note(F, Where, "game record of " + std::to_string(S->HistoryPly) + " moves");
    }
  });
  S->Quit = false;
  return F;
}
