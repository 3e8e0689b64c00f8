// Position comparisons and move-list helpers shared by the tests of several folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/board/Position.h"
#include "engine/core/Types.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "support/TestState.h"

inline std::string SquareName(int Square) { return {char('a' + (Square & 7)), char('1' + (Square >> 3))}; }

inline std::string MovesText(const std::vector<TMove>& Moves) {
  std::string Text;
  for (TMove M : Moves) {
    if (!Text.empty()) Text += ' ';
    Text += MoveToString(M);
  }
  return Text.empty() ? "(root)" : Text;
}

// Field by field (padding bytes are not compared).
inline ::testing::AssertionResult SamePosition(const TPosition& A, const TPosition& B) {
  std::string Diff;
  if (A.State != B.State) Diff += " State";
  for (int S = 0; S < 64; S++)
    if (A.Board[S] != B.Board[S]) Diff += " Board[" + SquareName(S) + "]";
  for (int I = 0; I < BBPCount; I++)
    if (A.Bitboards[I] != B.Bitboards[I]) Diff += " Bitboards[" + std::to_string(I) + "]";
  for (int I = 0; I < 2; I++) {
    if (A.KingPosition[I] != B.KingPosition[I]) Diff += " KingPosition[" + std::to_string(I) + "]";
    if (A.MaterialScores[I] != B.MaterialScores[I]) Diff += " MaterialScores[" + std::to_string(I) + "]";
    for (int J = 0; J < 2; J++)
      if (A.PositionScores[I][J] != B.PositionScores[I][J]) Diff += " PositionScores";
  }
  if (A.Side != B.Side) Diff += " Side";
  if (A.CastleFlags != B.CastleFlags) Diff += " CastleFlags";
  if (A.EnPassant != B.EnPassant) Diff += " EnPassant";
  if (A.StartPly != B.StartPly) Diff += " StartPly";
  if (A.ReversibleMoves != B.ReversibleMoves) Diff += " ReversibleMoves";
  if (A.Phase != B.Phase) Diff += " Phase";
  if (A.Hash != B.Hash) Diff += " Hash";
  if (A.PawnHash != B.PawnHash) Diff += " PawnHash";
  if (A.FirstRootMove != B.FirstRootMove) Diff += " FirstRootMove";
  if (Diff.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "positions differ in:" << Diff;
}

// Captures, then quiet moves, as every full-list user of the generator takes them.
inline std::vector<TMove> GeneratedMoves(const TPosition* P) {
  TMove Buffer[1024];
  TMove* End = GenerateQuietMoves(P, GenerateCaptureMoves(P, Buffer));
  return std::vector<TMove>(Buffer, End);
}

inline std::vector<TMove> CaptureMoves(const TPosition* P) {
  TMove Buffer[1024];
  return std::vector<TMove>(Buffer, GenerateCaptureMoves(P, Buffer));
}

inline std::vector<TMove> QuietMoves(const TPosition* P) {
  TMove Buffer[1024];
  return std::vector<TMove>(Buffer, GenerateQuietMoves(P, Buffer));
}

inline TMove Word(int From, int To, int Type = MTNormal, bool Capture = false) {
  return MakeMoveWord(From, To, Type, Capture ? MFCapture : 0);
}
