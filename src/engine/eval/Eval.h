// Static evaluation in centipawns from the side to move's point of view.
#pragma once

#include <cstdint>

#include "engine/core/Types.h"

// Blends White's opening and ending scores by the material left, turns the result to the side to move and
// keeps it out of the mate range.
inline int32_t EvalTaper(const TPosition* Position, int32_t Result, int32_t Opening, int32_t Ending) {
  int32_t Weight = 256 - Position->Phase;  // weight of the ending
  if (Weight < 0) Weight = 0;
  if (Weight > 256) Weight = 256;
  // Integer division truncates towards zero, so White and Black round alike.
  Result += Opening + int32_t(int64_t(Ending - Opening) * Weight / 256);
  if (Position->Side != CWhite) Result = -Result;
  if (Result > MaxEval) Result = MaxEval;
  if (Result < -MaxEval) Result = -MaxEval;
  return Result;
}

// The side to move gets a tempo of 4, still counted in White's terms here.
inline int32_t EvalMaterial(const TPosition* Position) {
  return Position->MaterialScores[SWhite] - Position->MaterialScores[SBlack] + 4 - (Position->Side & CBlack);
}

// Material and piece squares only: no pawn structure, never touches the pawn hash table.
inline int32_t EvalFast(const TPosition* Position) {
  return EvalTaper(Position, EvalMaterial(Position),
                   Position->PositionScores[GPOpening][SWhite] - Position->PositionScores[GPOpening][SBlack],
                   Position->PositionScores[GPEnding][SWhite] - Position->PositionScores[GPEnding][SBlack]);
}

// The full evaluation; may update the pawn hash table of Position->State.
int32_t Eval(const TPosition* Position);
