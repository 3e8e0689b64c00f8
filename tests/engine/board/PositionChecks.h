// Checks on whole positions shared by the board and move tests.
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

// The sanitizer run sets TALVARIND_SANITIZED; deep counts are cut down there.
inline bool SanitizedRun() {
  const char* V = std::getenv("TALVARIND_SANITIZED");
  return V != nullptr && *V != 0 && std::string_view(V) != "0";
}

inline std::string SquareName(int Square) { return {char('a' + (Square & 7)), char('1' + (Square >> 3))}; }

inline std::string MovesText(const std::vector<TMove>& Moves) {
  std::string Text;
  for (TMove M : Moves) {
    if (!Text.empty()) Text += ' ';
    Text += MoveToString(M);
  }
  return Text.empty() ? "(root)" : Text;
}

// Every field derived from Board, compared with what SetupBoardData computes from scratch. Positions
// from text may hold several kings of a colour (then KingPosition must name one of them) or none (then
// it only has to stay on the board).
inline ::testing::AssertionResult DerivedFieldsMatchBoard(const TPosition& P, bool WithHash = true,
                                                          bool WithKings = true) {
  TPosition Q = P;
  SetupBoardData(&Q);
  std::string Diff;
  for (int I = 0; I < BBPCount; I++)
    if (P.Bitboards[I] != Q.Bitboards[I]) Diff += " Bitboards[" + std::to_string(I) + "]";
  for (int Side = 0; Side < 2 && WithKings; Side++) {
    const TBitboard Kings = Q.Bitboards[Side << 3] & Q.Bitboards[BBPKing];
    const int K = P.KingPosition[Side];
    if (K >= 64) Diff += " KingPosition[" + std::to_string(Side) + "] off the board";
    else if (Kings && !(Kings >> K & 1)) Diff += " KingPosition[" + std::to_string(Side) + "]";
    else if (Kings && (Kings & (Kings - 1)) == 0 && K != Q.KingPosition[Side])
      Diff += " KingPosition[" + std::to_string(Side) + "]";
  }
  for (int Side = 0; Side < 2; Side++)
    if (P.MaterialScores[Side] != Q.MaterialScores[Side]) Diff += " MaterialScores[" + std::to_string(Side) + "]";
  for (int Phase = 0; Phase < 2; Phase++)
    for (int Side = 0; Side < 2; Side++)
      if (P.PositionScores[Phase][Side] != Q.PositionScores[Phase][Side])
        Diff += " PositionScores[" + std::to_string(Phase) + "][" + std::to_string(Side) + "]";
  if (P.Phase != Q.Phase) Diff += " Phase";
  if (P.PawnHash != Q.PawnHash) Diff += " PawnHash";
  if (WithHash && P.Hash != Q.Hash) Diff += " Hash";
  if (Diff.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "derived fields differ from a recomputation:" << Diff;
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
