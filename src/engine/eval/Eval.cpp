#include "engine/eval/Eval.h"

#include "engine/eval/Pawns.h"

int32_t Eval(const TPosition* Position) {
  int32_t Opening = Position->PositionScores[GPOpening][SWhite] - Position->PositionScores[GPOpening][SBlack];
  int32_t Ending = Position->PositionScores[GPEnding][SWhite] - Position->PositionScores[GPEnding][SBlack];
  const int32_t Result = EvalMaterial(Position);
  EvalPawns(Position, Opening, Ending);
  return EvalTaper(Position, Result, Opening, Ending);
}
