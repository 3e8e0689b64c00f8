#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "support/PositionChecks.h"
#include "support/Replay.h"
#include "support/TestState.h"

namespace {

TPosition* Fen(std::string_view Text) { return &TestStateWith(Text)->Position; }

bool Contains(const std::vector<TMove>& Moves, TMove M) {
  for (TMove X : Moves)
    if (X == M) return true;
  return false;
}

TEST(MovesGen, StartPositionOrder) {
  TPosition* P = Fen("startpos");
  TMoves Buffer;
  TMove* End = GenerateCaptureMoves(P, Buffer);
  EXPECT_EQ(End, Buffer);
  EXPECT_EQ(Buffer[0], 0u);

  std::vector<TMove> Expected;
  for (int F = 0; F < 8; F++) Expected.push_back(Word(SQ_A2 + F, SQ_A4 + F, MTEnPassantSet));
  for (int F = 0; F < 8; F++) Expected.push_back(Word(SQ_A2 + F, SQ_A3 + F));
  for (TMove M : {Word(SQ_B1, SQ_A3), Word(SQ_B1, SQ_C3), Word(SQ_G1, SQ_F3), Word(SQ_G1, SQ_H3)})
    Expected.push_back(M);
  End = GenerateQuietMoves(P, Buffer);
  EXPECT_EQ(End - Buffer, 20);
  EXPECT_EQ(*End, 0u);
  EXPECT_EQ(std::vector<TMove>(Buffer, End), Expected);

  // The same for Black after 1. Nf3: double steps, single steps, knights, all by destination.
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_G1, SQ_F3)}));
  const std::vector<TMove> Black = QuietMoves(P);
  ASSERT_EQ(Black.size(), 20u);
  for (int F = 0; F < 8; F++) {
    EXPECT_EQ(Black[F], Word(SQ_A7 + F, SQ_A5 + F, MTEnPassantSet));
    EXPECT_EQ(Black[8 + F], Word(SQ_A7 + F, SQ_A6 + F));
  }
  EXPECT_EQ(Black[16], Word(SQ_B8, SQ_A6));
  EXPECT_EQ(Black[19], Word(SQ_G8, SQ_H6));
  // Nor has Black anything to take.
  EXPECT_TRUE(CaptureMoves(P).empty());
}

TEST(MovesGen, CaptureOrder) {
  // Towards the a-file for every pawn first, then towards the h-file.
  EXPECT_EQ(CaptureMoves(Fen("4k3/8/8/8/8/p1p1p3/1P1P4/4K3 w - - 0 1")),
            (std::vector<TMove>{Word(SQ_B2, SQ_A3, MTNormal, true), Word(SQ_D2, SQ_C3, MTNormal, true),
                                Word(SQ_B2, SQ_C3, MTNormal, true), Word(SQ_D2, SQ_E3, MTNormal, true)}));
  EXPECT_EQ(CaptureMoves(Fen("4k3/1p1p4/P1P1P3/8/8/8/8/4K3 b - - 0 1")),
            (std::vector<TMove>{Word(SQ_B7, SQ_A6, MTNormal, true), Word(SQ_D7, SQ_C6, MTNormal, true),
                                Word(SQ_B7, SQ_C6, MTNormal, true), Word(SQ_D7, SQ_E6, MTNormal, true)}));
  // Pieces by type (knight, bishop, rook, queen, king), each by its square, each target by square.
  std::vector<TMove> Expected;
  for (int To : {SQ_C2, SQ_B3, SQ_F3, SQ_B5, SQ_F5, SQ_C6, SQ_E6}) Expected.push_back(Word(SQ_D4, To, MTNormal, true));
  Expected.push_back(Word(SQ_G4, SQ_F3, MTNormal, true));
  Expected.push_back(Word(SQ_G4, SQ_F5, MTNormal, true));
  for (int To : {SQ_C2, SQ_F2, SQ_F3, SQ_B5, SQ_E6}) Expected.push_back(Word(SQ_E2, To, MTNormal, true));
  Expected.push_back(Word(SQ_E1, SQ_F2, MTNormal, true));
  EXPECT_EQ(CaptureMoves(Fen("4k3/8/2p1p3/1r3n2/3N2B1/1p3q2/2b1Qp2/4K3 w - - 0 1")), Expected);
}

TEST(MovesGen, PromotionOrder) {
  std::vector<TMove> Expected;
  for (int To : {SQ_A8, SQ_C8, SQ_B8})
    for (int Type : {MTPromoteQueen, MTPromoteRook, MTPromoteBishop, MTPromoteKnight})
      Expected.push_back(Word(SQ_B7, To, Type, To != SQ_B8));
  EXPECT_EQ(CaptureMoves(Fen("n1r4k/1P6/8/8/8/8/8/4K3 w - - 0 1")), Expected);

  Expected.clear();
  for (int To : {SQ_A1, SQ_C1, SQ_B1})
    for (int Type : {MTPromoteQueen, MTPromoteRook, MTPromoteBishop, MTPromoteKnight})
      Expected.push_back(Word(SQ_B2, To, Type, To != SQ_B1));
  EXPECT_EQ(CaptureMoves(Fen("4k3/8/8/8/8/8/1p6/N1R1K3 b - - 0 1")), Expected);

  // A blocked pawn on the seventh has no push, and never a non-promoting move.
  const std::vector<TMove> Blocked = GeneratedMoves(Fen("1n5k/1P6/8/8/8/8/8/4K3 w - - 0 1"));
  for (TMove M : Blocked) EXPECT_NE(MoveFrom(M), SQ_B7) << MoveToString(M);
}

TEST(MovesGen, EnPassantCaptures) {
  // Black: the pawn to the right of the square first.
  TPosition* P = Fen("4k3/8/8/8/3p1p2/8/4P3/4K3 w - - 0 1");
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_E2, SQ_E4, MTEnPassantSet)}));
  EXPECT_EQ(P->EnPassant, SQ_E3);
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_F4, SQ_E3, MTEnPassantCapture, true),
                                                 Word(SQ_D4, SQ_E3, MTEnPassantCapture, true)}));
  P = Fen("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1");
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_E2, SQ_E4, MTEnPassantSet)}));
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_D4, SQ_E3, MTEnPassantCapture, true)}));

  // White, likewise.
  P = Fen("4k3/4p3/8/3P1P2/8/8/8/4K3 b - - 0 1");
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_E7, SQ_E5, MTEnPassantSet)}));
  EXPECT_EQ(P->EnPassant, SQ_E6);
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_F5, SQ_E6, MTEnPassantCapture, true),
                                                 Word(SQ_D5, SQ_E6, MTEnPassantCapture, true)}));

  // On the edge files the capture does not wrap round to a pawn on the far side of the board.
  P = Fen("4k3/p7/8/1P6/7P/8/8/4K3 b - - 0 1");
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_A7, SQ_A5, MTEnPassantSet)}));
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_B5, SQ_A6, MTEnPassantCapture, true)}));
  P = Fen("4k3/8/8/p7/6p1/8/7P/4K3 w - - 0 1");
  ASSERT_TRUE(PlayMoves(P, {Word(SQ_H2, SQ_H4, MTEnPassantSet)}));
  EXPECT_EQ(P->EnPassant, SQ_H3);
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_G4, SQ_H3, MTEnPassantCapture, true)}));
}

// An en-passant square left standing when the side to move is switched (a stalemate test, a GUI's
// "white" or "black") must not let the other side take there: the capture would remove a pawn of its
// own colour, and taking it back would put an enemy pawn on the board.
TEST(MovesGen, NoEnPassantCaptureWithoutThePawnThatPassed) {
  TPosition* P = Fen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
  ASSERT_EQ(P->EnPassant, SQ_F6);
  EXPECT_EQ(CaptureMoves(P), (std::vector<TMove>{Word(SQ_E5, SQ_F6, MTEnPassantCapture, true)}));
  P->Side = CBlack;
  for (TMove M : GeneratedMoves(P)) EXPECT_NE(MoveType(M), MTEnPassantCapture) << MoveToString(M);
  EXPECT_FALSE(IsLegal(P, Word(SQ_E7, SQ_F6, MTEnPassantCapture, true)));
  EXPECT_FALSE(IsLegal(P, Word(SQ_G7, SQ_F6, MTEnPassantCapture, true)));
  // A square with nothing behind it, or a stored capture from a pawn that is not beside the square.
  P = Fen("4k3/8/8/3P4/8/8/8/4K3 w - - 0 1");
  P->EnPassant = SQ_E6;
  EXPECT_TRUE(CaptureMoves(P).empty());
  EXPECT_FALSE(IsLegal(P, Word(SQ_D5, SQ_E6, MTEnPassantCapture, true)));
  P = Fen("4k3/8/8/P3pP2/8/8/8/4K3 w - e6 0 1");
  ASSERT_EQ(P->EnPassant, SQ_E6);
  EXPECT_TRUE(IsLegal(P, Word(SQ_F5, SQ_E6, MTEnPassantCapture, true)));
  EXPECT_FALSE(IsLegal(P, Word(SQ_A5, SQ_E6, MTEnPassantCapture, true)));
}

TEST(MovesGen, Castling) {
  TPosition* P = Fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  std::vector<TMove> Quiet = QuietMoves(P);
  ASSERT_GE(Quiet.size(), 2u);
  EXPECT_EQ(Quiet[0], 0x1184u);
  EXPECT_EQ(Quiet[1], 0x1084u);
  P = Fen("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  Quiet = QuietMoves(P);
  ASSERT_GE(Quiet.size(), 2u);
  EXPECT_EQ(Quiet[0], 0x1FBCu);
  EXPECT_EQ(Quiet[1], 0x1EBCu);

  struct {
    const char* Fen;
    TMove Castle;
    bool Generated, Legal;  // Legal: survives IsIllegal once made
  } const Cases[] = {
      {"4kr2/8/8/8/8/8/8/4K2R w K - 0 1", 0x1184, false, false},  // f1 attacked
      {"4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", 0x1184, true, false},  // g1 attacked: only the make finds it
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", 0x1184, true, true},
      {"4k3/8/8/8/8/8/8/4K2R w Qkq - 0 1", 0x1184, false, false},  // no right
      {"4k3/8/8/8/8/8/8/4K1NR w K - 0 1", 0x1184, false, false},   // g1 occupied
      {"4k3/4r3/8/8/8/8/8/4K2R w K - 0 1", 0x1184, false, false},  // in check
      {"1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1", 0x1084, true, true},    // b1 attacked does not matter
      {"2r1k3/8/8/8/8/8/8/R3K3 w Q - 0 1", 0x1084, true, false},   // c1 attacked
      {"3rk3/8/8/8/8/8/8/R3K3 w Q - 0 1", 0x1084, false, false},   // d1 attacked
      {"4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", 0x1084, false, false},   // b1 occupied
      {"4k2r/8/8/8/8/8/8/4K1R1 b k - 0 1", 0x1FBC, true, false},
      {"4k2r/8/8/8/8/8/8/4KR2 b k - 0 1", 0x1FBC, false, false},
      {"r3k3/8/8/8/8/8/8/1R2K3 b q - 0 1", 0x1EBC, true, true},
      {"r3k3/8/8/8/8/8/8/3RK3 b q - 0 1", 0x1EBC, false, false},
  };
  for (const auto& C : Cases) {
    P = Fen(C.Fen);
    EXPECT_EQ(Contains(QuietMoves(P), C.Castle), C.Generated) << C.Fen;
    EXPECT_EQ(IsLegal(P, C.Castle), C.Generated) << C.Fen;
    EXPECT_EQ(IsLegalWithEnhancedCheck(P, C.Castle), C.Legal) << C.Fen;
    if (C.Generated) {
      EXPECT_EQ(MakeMove(P, C.Castle), C.Legal) << C.Fen;
    }
  }
}

TEST(MovesGen, IsLegalForStoredMoves) {
  TPosition* P = Fen("4k3/8/8/8/8/8/P1P5/3BK3 w - - 0 1");
  EXPECT_TRUE(IsLegal(P, Word(SQ_D1, SQ_H5)));  // the bishop on d1 can make it, whatever made it before
  EXPECT_FALSE(IsLegal(P, Word(SQ_D1, SQ_D5)));
  EXPECT_FALSE(IsLegal(P, Word(SQ_C1, SQ_C5)));  // empty from-square
  EXPECT_FALSE(IsLegal(P, Word(SQ_E8, SQ_E7)));  // not the side to move
  EXPECT_FALSE(IsLegal(P, Word(SQ_D1, SQ_C2)));  // own piece on the target
  EXPECT_FALSE(IsLegal(P, Word(SQ_D1, SQ_H5, MTPromoteQueen)));
  EXPECT_TRUE(IsLegal(P, Word(SQ_A2, SQ_A4, MTEnPassantSet)));
  EXPECT_FALSE(IsLegal(P, Word(SQ_A2, SQ_A4)));  // a double step needs its own type
  EXPECT_FALSE(IsLegal(P, Word(SQ_A2, SQ_B3)));  // no capture on an empty square
  P = Fen("4k3/8/8/8/8/8/P1P5/3RK3 w - - 0 1");
  EXPECT_FALSE(IsLegal(P, Word(SQ_D1, SQ_H5)));
  EXPECT_TRUE(IsLegal(P, Word(SQ_D1, SQ_D5)));
  // A pawn on the seventh moves only with a promotion type.
  P = Fen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(IsLegal(P, Word(SQ_A7, SQ_A8)));
  EXPECT_TRUE(IsLegal(P, Word(SQ_A7, SQ_A8, MTPromoteKnight)));
  // En passant needs the square named by the position.
  P = Fen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_TRUE(IsLegal(P, Word(SQ_E5, SQ_D6, MTEnPassantCapture, true)));
  P = Fen("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(IsLegal(P, Word(SQ_E5, SQ_D6, MTEnPassantCapture, true)));
}

// Over every move word of many positions: each generated move is accepted by IsLegal, and IsLegal accepts
// nothing else of a normal, castling or seventh-rank promotion type.
TEST(MovesGen, IsLegalAgreesWithTheGenerator) {
  const char* Roots[] = {
      "startpos",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R w KQkq - 0 1",
      "r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R b KQkq - 0 1",
  };
  int Bad = 0, Nodes = 0;
  auto CheckNode = [&](TPosition* P, const std::string& Where) {
    Nodes++;
    std::set<TMove> Generated;
    for (TMove M : GeneratedMoves(P)) {
      Generated.insert(M & 0xFFFF);
      if (!IsLegal(P, M) && ++Bad <= 5) ADD_FAILURE() << Where << ": generated " << MoveToString(M) << " rejected";
    }
    for (int From = 0; From < 64; From++) {
      const bool Pawn = (P->Board[From] & 7) == PPawn;
      const bool OnSeventh = (From >> 3) == (P->Side == CWhite ? SQ_RANK_7 : SQ_RANK_2);
      for (int To = 0; To < 64; To++)
        for (int Type = MTNormal; Type <= MTPromoteQueen; Type++) {
          const TMove M = Word(From, To, Type);
          if (!IsLegal(P, M) || Generated.count(M)) continue;
          // Looser by design: en passant, double steps and promotions away from the seventh rank.
          if (Type == MTEnPassantCapture || Type == MTEnPassantSet) continue;
          if (Type >= MTPromoteKnight && Pawn && !OnSeventh) continue;
          if (++Bad <= 5) ADD_FAILURE() << Where << ": IsLegal accepts " << MoveToString(M) << " type " << Type;
        }
    }
  };
  for (const char* Root : Roots) {
    TPosition* P = Fen(Root);
    CheckNode(P, Root);
    for (TMove M : GeneratedMoves(P)) {
      TUndoMove Undo;
      DoMakeMove(P, M, &Undo);
      if (!IsIllegal(P)) CheckNode(P, std::string(Root) + " after " + MoveToString(M));
      DoUndoMove(P, &Undo);
    }
  }
  EXPECT_EQ(Bad, 0) << "in " << Nodes << " positions";
}

// The legal list keeps the generator's order and drops exactly the moves that leave the king attacked:
// pinned pieces, king steps into attacks, answers to check and an en-passant capture that opens a rank.
TEST(MovesGen, LegalListIsTheGeneratedListFiltered) {
  const struct {
    const char* Fen;
    int Count;
  } Cases[] = {
      {"startpos", 20},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 48},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 14},
      {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", 3},    // in check: the king takes or steps aside
      {"4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1", 4},  // the pinned bishop stays
      {"8/8/8/KPp4r/8/8/8/7k w - c6 0 2", 4},    // en passant would bare the king on the rank
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 0},     // stalemate
      {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", 0},  // mate
  };
  for (const auto& C : Cases) {
    TPosition* P = Fen(C.Fen);
    const TPosition Before = *P;
    std::vector<TMove> Expected;
    for (TMove M : GeneratedMoves(P))
      if (IsLegalWithEnhancedCheck(P, M)) Expected.push_back(M);
    TMoveBuffer Moves;
    const int Count = GenerateLegalMoves(P, Moves);
    EXPECT_EQ(Count, C.Count) << C.Fen;
    EXPECT_EQ(std::vector<TMove>(Moves, Moves + Count), Expected) << C.Fen;
    EXPECT_EQ(Moves[Count], 0u) << C.Fen;
    EXPECT_TRUE(SamePosition(*P, Before)) << C.Fen;
  }
}

// A move list holds MaxMoves words, the terminating 0 included. FEN text can describe boards far
// beyond chess (here 21 white queens with 263 pseudo-legal moves), and every full-list user (perft, the
// stalemate test, ParseMove, the search) writes them into such a buffer. Measured here in a larger one.
// Edited positions can hold far more material than a game: lists of more than MaxMoves moves must neither
// overflow a buffer nor lose a legal move in the counts, and the staged list stops at its capacity.
TEST(MovesGen, OverfullPositionsStayWithinTheirBuffers) {
  for (const char* Text : {"QQ3QQk/3Q3Q/Q6Q/Q6Q/Q6Q/Q1Q1Q3/Q5QQ/KQ1Q1Q2 w - - 0 1",
                           "1QQ1QQ1k/Q6Q/Q4Q2/3Q4/Q5Q1/Q3Q3/2Q4Q/KQ2QQ2 w - - 0 1",
                           "kq1q1q2/q5qq/q1q1q3/q6q/q6q/q6q/3q3q/qq3qqK b - - 0 1"}) {
    TPosition* P = Fen(Text);
    const TPosition Before = *P;
    const std::vector<TMove> All = GeneratedMoves(P);
    size_t Legal = 0;
    for (TMove M : All) Legal += IsLegalWithEnhancedCheck(P, M);
    EXPECT_EQ(Perft(P, 1), Legal) << Text;
    TMoveBuffer Moves;
    EXPECT_EQ(size_t(GenerateLegalMoves(P, Moves)), Legal) << Text;
    EXPECT_FALSE(IsStalemate(P));
    EXPECT_EQ(ParseMove(P->State, MoveToString(All.back())), All.back()) << Text;
    EXPECT_TRUE(SamePosition(*P, Before));
  }
}

}  // namespace
