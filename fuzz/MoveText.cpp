// Move text against the legal moves of a position from the input.
#include <cctype>
#include <string>

#include "FuzzSupport.h"
#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"

namespace {

std::string Lower(std::string_view Text) {
  std::string Result(Text);
  for (char& C : Result) C = char(std::tolower(static_cast<unsigned char>(C)));
  return Result;
}

// The move the text names among the legal ones: from and to agree, and a promotion letter picks the
// piece (none, "k" or "p" meaning the queen); 0 when none does.
TMove Named(TPosition* P, std::string_view Text) {
  const std::string Wanted = Lower(Text);
  if (Wanted.size() != 4 && Wanted.size() != 5) return 0;
  if (Wanted.size() == 5 && std::string_view("bknpqr").find(Wanted[4]) == std::string_view::npos) return 0;
  TMoveBuffer Moves;
  for (int I = 0, Count = GenerateLegalMoves(P, Moves); I < Count; I++) {
    const std::string Text = MoveToString(Moves[I]);
    if (Text.compare(0, 4, Wanted, 0, 4) != 0) continue;
    if (!MoveIsPromotion(Moves[I])) return Moves[I];
    const char Piece = Wanted.size() == 5 && Wanted[4] != 'k' && Wanted[4] != 'p' ? Wanted[4] : 'q';
    if (Text[4] == Piece) return Moves[I];
  }
  return 0;
}

}  // namespace

TFindings FuzzMoveText(TState* S, std::string_view Data) {
  TFindings F;
  const std::vector<std::string> Lines = fuzz::InputLines(Data);
  TPosition* P = &S->Position;
  SetPosition(P, Lines.empty() ? std::string_view() : Lines[0]);
  S->HistoryPly = 0;
  for (size_t I = 1; I < Lines.size() && F.empty(); I++) {
    const std::string& Text = Lines[I];
    const TMove Move = ParseMove(S, Text);
    const TMove Expected = Named(P, Text);
    if (Move != Expected) {
      fuzz::Note(F, "'" + Text + "'",
                 "read as " + std::to_string(Move) + ", the legal move named is " + std::to_string(Expected));
    } else if (Move != 0 && S->HistoryPly < MaxHistoryStack && !MakeMove(P, Move)) {
      fuzz::Note(F, "'" + Text + "'", "the game refused the move it was read as");
    }
    fuzz::CheckPosition(F, S, "after '" + Text + "'");
  }
  return F;
}
