#include "support/Replay.h"

#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "support/TestState.h"

TState* Replay(const std::vector<std::string>& Moves, std::string_view Fen) {
  TState* S = TestStateWith(Fen);
  return PlayMoves(S, Moves) ? S : nullptr;
}

::testing::AssertionResult PlayMoves(TState* S, const std::vector<std::string>& Moves) {
  for (const std::string& Text : Moves) {
    const TMove Move = ParseMove(S, Text);
    if (Move == 0) return ::testing::AssertionFailure() << Text << " is not a legal move here";
    if (!MakeMove(&S->Position, Move)) return ::testing::AssertionFailure() << Text << " was refused";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult PlayMoves(TPosition* P, const std::vector<TMove>& Moves) {
  for (TMove Move : Moves)
    if (!MakeMove(P, Move)) return ::testing::AssertionFailure() << MoveToString(Move) << " was refused";
  return ::testing::AssertionSuccess();
}

bool IsLegalMove(TState* S, std::string_view Move) {
  // ParseMove only answers moves that survive the make-and-test for a king left in check.
  return ParseMove(S, Move) != 0;
}

std::vector<std::string> LegalMoves(TState* S) {
  TMoveBuffer Moves;
  const int Count = GenerateLegalMoves(&S->Position, Moves);
  std::vector<std::string> Legal;
  for (int I = 0; I < Count; I++) Legal.push_back(MoveToString(Moves[I]));
  return Legal;
}
