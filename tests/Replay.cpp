#include "Replay.h"

#include "TestSupport.h"
#include "engine/board/Position.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"

namespace e2e {

TState* Replay(const std::vector<std::string>& Moves, std::string_view Fen) {
  TState* S = TestStateWith(Fen);
  for (const std::string& Text : Moves) {
    const TMove Move = ParseMove(S, Text);
    if (Move == 0 || !MakeMove(&S->Position, Move)) return nullptr;
  }
  return S;
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

std::string Join(const std::vector<std::string>& Moves) {
  std::string Text;
  for (const std::string& Move : Moves) {
    if (!Text.empty()) Text += ' ';
    Text += Move;
  }
  return Text;
}

}  // namespace e2e
