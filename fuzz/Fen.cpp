// Set-up from any text, then every move and every reply made and taken back.
#include "FuzzSupport.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/eval/Eval.h"
#include "engine/moves/GameEnd.h"

TFindings FuzzFen(TState* S, std::string_view Data) {
  TFindings F;
  TPosition* P = &S->Position;
  SetPosition(P, Data);
  S->HistoryPly = 0;
  fuzz::Note(F, "set-up", PositionFaults(P, true));
  if (!F.empty()) return F;
  // What the front ends and the search ask of any position they are given.
  Eval(P);
  IsCheckmate(P);
  IsStalemate(P);
  IsDraw(P);
  int Budget = 20000;
  fuzz::CheckMovesFrom(F, P, 2, Budget);
  return F;
}
