#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/board/Hash.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "support/PerftCounts.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

// Walks a whole tree making and taking back every generated move, legal or not, and checks after each
// step what the incremental updates must keep: the derived fields against a recomputation, the key
// change, the rights and the clock, and on the way back the exact earlier position.
class TWalker {
 public:
  uint64_t Leaves = 0;
  uint64_t Made = 0;
  int Failures = 0;

  void Walk(TPosition* P, int Depth) {
    NullMoveRoundTrip(P);
    for (TMove M : GeneratedMoves(P)) {
      Path.push_back(M);
      if (!IsLegal(P, M)) Fail("generated move rejected by IsLegal");
      const TPosition Before = *P;
      TUndoMove Undo;
      DoMakeMove(P, M, &Undo);
      Made++;
      CheckAfterMove(Before, *P, M);
      if (!IsIllegal(P)) {
        if (Depth > 1) Walk(P, Depth - 1);
        else Leaves++;
      }
      DoUndoMove(P, &Undo);
      if (const auto Same = SamePosition(*P, Before); !Same) Fail("undo: ", Same.message());
      Path.pop_back();
    }
  }

 private:
  std::vector<TMove> Path;

  void Fail(const char* What, const char* Detail = "") {
    if (++Failures <= 8) ADD_FAILURE() << MovesText(Path) << ": " << What << Detail;
  }

  static uint64_t PieceKeys(const TPosition& P) {
    uint64_t Key = 0;
    for (int S = 0; S < 64; S++) Key ^= HashPieces[P.Board[S]][S];
    return Key;
  }

  void CheckAfterMove(const TPosition& Before, const TPosition& After, TMove M) {
    const int From = MoveFrom(M), To = MoveTo(M);
    if (const std::string Faults = PositionFaults(&After); !Faults.empty()) Fail("", Faults.c_str());
    // The key: its piece part follows the board, the rest changes by the side, the rights and the
    // en-passant squares only.
    uint64_t Rest =
        (Before.Hash ^ PieceKeys(Before)) ^ HashSide ^ HashCastle[Before.CastleFlags] ^ HashCastle[After.CastleFlags];
    if (Before.EnPassant >= 0) Rest ^= HashEnPassant[Before.EnPassant];
    if (After.EnPassant >= 0) Rest ^= HashEnPassantFile[After.EnPassant & 7];
    if ((After.Hash ^ PieceKeys(After)) != Rest) Fail("Hash");
    if (After.Side != (Before.Side ^ 8)) Fail("Side");
    if (After.CastleFlags != (Before.CastleFlags & CastleMask[From] & CastleMask[To])) Fail("CastleFlags");
    const bool Resets = (Before.Board[From] & 7) == PPawn || Before.Board[To] != 0;
    if (After.ReversibleMoves != (Resets ? 0 : Before.ReversibleMoves + 1)) Fail("ReversibleMoves");
    if (After.StartPly != Before.StartPly) Fail("StartPly");
    const int Type = MoveType(M);
    const int Expected = Type >= MTPromoteKnight ? ((Type - 2) | Before.Side) : Before.Board[From];
    if (After.Board[To] != Expected || After.Board[From] != 0) Fail("piece not moved");
    if (Type == MTEnPassantCapture && After.Board[To ^ 8] != 0) Fail("pawn taken en passant still there");
    if (Type == MTEnPassantSet) {
      // Set exactly when an enemy pawn stands beside the destination.
      const TBitboard Beside = ((TBitboard(1) << To) << 1 & ~BB_FILE_A) | ((TBitboard(1) << To) >> 1 & ~BB_FILE_H);
      const bool Takers = Beside & After.Bitboards[After.Side] & After.Bitboards[BBPPawn];
      if (After.EnPassant != (Takers ? (To ^ 8) : -1)) Fail("EnPassant after a double step");
    } else if (After.EnPassant != -1) {
      Fail("EnPassant after a move that is no double step");
    }
  }

  void NullMoveRoundTrip(TPosition* P) {
    const TPosition Before = *P;
    TUndoMove Undo;
    DoMakeNullMove(P, &Undo);
    if (P->Side != (Before.Side ^ 8) || P->EnPassant != -1 || P->ReversibleMoves != Before.ReversibleMoves + 1 ||
        P->CastleFlags != Before.CastleFlags)
      Fail("null move fields");
    uint64_t Key = Before.Hash ^ HashSide;
    if (Before.EnPassant >= 0) Key ^= HashEnPassant[Before.EnPassant];
    if (P->Hash != Key) Fail("null move Hash");
    if (const std::string Faults = PositionFaults(P); !Faults.empty()) Fail("null move: ", Faults.c_str());
    DoUndoNullMove(P, &Undo);
    if (const auto Same = SamePosition(*P, Before); !Same) Fail("null move undo: ", Same.message());
  }
};

struct TWalkCase {
  const char* Fen;
  int Depth;
  uint64_t Leaves;
};

void WalkAndCount(const TWalkCase& C) {
  TPosition* P = &TestStateWith(C.Fen)->Position;
  const TPosition Root = *P;
  TWalker Walker;
  Walker.Walk(P, C.Depth);
  EXPECT_EQ(Walker.Failures, 0) << C.Fen << " (" << Walker.Made << " moves made)";
  EXPECT_EQ(Walker.Leaves, C.Leaves) << C.Fen;
  EXPECT_TRUE(SamePosition(*P, Root));
}

// Walks to a depth of a position with published counts.
void WalkToKnownCount(const char* Name, int Depth) {
  const TPerftCounts& C = PerftCountsOf(Name);
  ASSERT_GE(C.Leaves.size(), size_t(Depth)) << Name;
  WalkAndCount({C.Fen, Depth, C.Leaves[Depth - 1]});
}

TEST(MovesIntegrity, KiwipeteCastlingAndCorners) { WalkToKnownCount("Kiwipete", 3); }

TEST(MovesIntegrity, PromotionsEverywhere) {
  WalkToKnownCount("Promotions", 3);
  WalkToKnownCount("PromotionByCapture", 3);
}

TEST(MovesIntegrity, EnPassantEndgame) { WalkToKnownCount("RookAndPawnEndgame", 4); }

// Rooks on all four corners with every right, pawns one step from taking them with promotion, and
// double steps beside enemy pawns for en passant on both sides.
TEST(MovesIntegrity, CornerCapturesWithPromotion) {
  WalkAndCount({"r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R w KQkq - 0 1", 3, 33187});
  WalkAndCount({"r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R b KQkq - 0 1", 3, 33251});
}

// Set-up positions that games never reach: castling rights whose rook or king is missing count as no
// rights at all, and pawns on their own first rank stand still; every step keeps the board sound.
TEST(MovesIntegrity, SetUpPositionsGamesNeverReach) {
  const struct {
    const char* Fen;
    const char* Sound;  // the same position as a game could have it
  } Cases[] = {
      {"4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
      {"r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", "r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1"},
      {"1r2k2r/8/8/8/8/8/8/R2K3R b KQkq - 0 1", "1r2k2r/8/8/8/8/8/8/R2K3R b k - 0 1"},
  };
  for (const auto& C : Cases) WalkAndCount({C.Fen, 3, Perft(&TestStateWith(C.Sound)->Position, 3)});
  for (const char* Fen : {"4k3/8/8/8/8/8/1n6/P3K3 w - - 0 1", "p3k3/1N6/8/8/8/8/8/4K3 b - - 0 1",
                          "rnbqkbnr/pppppppp/8/8/8/8/1PPPPPPP/PNBQKBNR w Kkq - 0 1"}) {
    TPosition* P = &TestStateWith(Fen)->Position;
    TWalker Walker;
    Walker.Walk(P, 3);
    EXPECT_EQ(Walker.Failures, 0) << Fen;
  }
}

}  // namespace
