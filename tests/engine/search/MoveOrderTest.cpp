#include "engine/search/MoveOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/moves/MoveGen.h"
#include "engine/moves/Notation.h"
#include "support/TestState.h"

namespace {

TMove Quiet(int From, int To, int Type = MTNormal) { return MakeMoveWord(From, To, Type); }
TMove Capture(int From, int To, int Type = MTNormal) { return MakeMoveWord(From, To, Type, MFCapture); }

struct TDrawn {
  std::string Moves;  // coordinate text, space separated
  std::vector<TMove> Words;
  std::vector<int32_t> Stages;
};

class MoveOrderTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearHistory(); }
  void TearDown() override { ClearHistory(); }

  void ClearHistory() {
    for (auto& Row : TestState()->HistoryHeuristic)
      for (auto& Counter : Row) Counter.store(0, std::memory_order_relaxed);
  }

  const TPosition* Load(std::string_view Fen) { return &TestStateWith(Fen)->Position; }

  // Everything the list hands out, with the stage reported after each move.
  static TDrawn DrawAll(const TPosition* P, TMove First = 0, const TSearchStack& Stack = TSearchStack{},
                        bool DoQuiet = true, bool DoBadCaptures = true) {
    auto List = std::make_unique<TGeneratedMoves>();
    InitMoves(List.get(), First, &Stack, DoQuiet, DoBadCaptures);
    TDrawn Out;
    TMove Move = 0;
    while (Out.Words.size() <= MaxMoves && GetNextBestMove(P, List.get(), Move)) {
      if (!Out.Moves.empty()) Out.Moves += ' ';
      Out.Moves += MoveToString(Move);
      Out.Words.push_back(Move);
      Out.Stages.push_back(List->Stage);
    }
    EXPECT_EQ(List->Phase, MGPFinished);
    return Out;
  }

  static std::vector<TMove> Generated(const TPosition* P) {
    TMoves Buffer;
    std::vector<TMove> All(Buffer, GenerateCaptureMoves(P, Buffer));
    All.insert(All.end(), Buffer, GenerateQuietMoves(P, Buffer));
    return All;
  }

  static std::string Text(const std::vector<TMove>& Moves) {
    std::string S;
    for (TMove M : Moves) {
      if (!S.empty()) S += ' ';
      S += MoveToString(M);
    }
    return S;
  }
};

constexpr const char* Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
// Nb5 takes c7 cleanly; Nxd6 and Rxd6 run into the c7 pawn.
constexpr const char* LosingCaptures = "4k3/2p5/3p4/1N6/8/8/3R4/4K3 w - -";

TEST_F(MoveOrderTest, HandsOutExactlyTheGeneratedMoves) {
  TSearchStack Killers{};
  Killers.MateKiller1 = Quiet(SQ_E1, SQ_D1);
  Killers.Killer1 = Quiet(SQ_A2, SQ_A3);
  Killers.Killer2 = Quiet(SQ_E4, SQ_E5);  // not pseudo-legal anywhere below
  for (const char* Fen : {"startpos", Kiwipete, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq -",
                          "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -", "4k3/2p5/8/3pP3/8/8/8/4K3 w - d6", LosingCaptures}) {
    SCOPED_TRACE(Fen);
    const TPosition* P = Load(Fen);
    std::vector<TMove> Expected = Generated(P);
    std::sort(Expected.begin(), Expected.end());

    for (bool WithKillers : {false, true}) {
      std::vector<TMove> Drawn = DrawAll(P, 0, WithKillers ? Killers : TSearchStack{}).Words;
      std::sort(Drawn.begin(), Drawn.end());
      EXPECT_EQ(Drawn, Expected);
    }

    // A generated hash move leads and is not repeated.
    for (TMove Hash : {Expected.front(), Expected.back()}) {
      std::vector<TMove> Drawn = DrawAll(P, Hash).Words;
      ASSERT_FALSE(Drawn.empty());
      EXPECT_EQ(Drawn.front(), Hash);
      std::sort(Drawn.begin(), Drawn.end());
      EXPECT_EQ(Drawn, Expected);
    }
  }
}

TEST_F(MoveOrderTest, HashMoveComesFirstOnlyWhenPseudoLegal) {
  const TPosition* P = Load(LosingCaptures);

  TDrawn Drawn = DrawAll(P, Quiet(SQ_E4, SQ_E5));  // nothing stands on e4
  ASSERT_FALSE(Drawn.Words.empty());
  EXPECT_EQ(Drawn.Words.front(), Capture(SQ_B5, SQ_C7));
  EXPECT_EQ(Drawn.Stages.front(), MGSCapturePromotion);
  Drawn = DrawAll(P, Quiet(SQ_E8, SQ_D8));  // Black's move
  EXPECT_EQ(Drawn.Words.front(), Capture(SQ_B5, SQ_C7));

  // Offered first even though the exchange loses, and not deferred again.
  Drawn = DrawAll(P, Capture(SQ_B5, SQ_D6));
  ASSERT_GE(Drawn.Words.size(), 3u);
  EXPECT_EQ(Drawn.Words[0], Capture(SQ_B5, SQ_D6));
  EXPECT_EQ(Drawn.Stages[0], MGSFirst);
  EXPECT_EQ(Drawn.Words[1], Capture(SQ_B5, SQ_C7));
  EXPECT_EQ(Drawn.Words.back(), Capture(SQ_D2, SQ_D6));
  EXPECT_EQ(std::count(Drawn.Words.begin(), Drawn.Words.end(), Capture(SQ_B5, SQ_D6)), 1);
}

TEST_F(MoveOrderTest, LosingCapturesAreDeferredOrDropped) {
  const TPosition* P = Load(LosingCaptures);

  TDrawn Full = DrawAll(P);
  ASSERT_GE(Full.Words.size(), 4u);
  EXPECT_EQ(Full.Words.front(), Capture(SQ_B5, SQ_C7));
  EXPECT_EQ(Full.Stages.front(), MGSCapturePromotion);
  EXPECT_EQ(Full.Stages[1], MGSQuiet);
  // In the order they were put aside.
  const size_t N = Full.Words.size();
  EXPECT_EQ(Full.Words[N - 2], Capture(SQ_B5, SQ_D6));
  EXPECT_EQ(Full.Words[N - 1], Capture(SQ_D2, SQ_D6));
  EXPECT_EQ(Full.Stages[N - 2], MGSBadCapture);
  EXPECT_EQ(Full.Stages[N - 1], MGSBadCapture);
  EXPECT_EQ(Full.Stages[N - 3], MGSQuiet);

  EXPECT_EQ(DrawAll(P, 0, TSearchStack{}, false, true).Moves, "b5c7 b5d6 d2d6");
  // Quiescence: neither quiet moves nor losing captures.
  EXPECT_EQ(DrawAll(P, 0, TSearchStack{}, false, false).Moves, "b5c7");
}

TEST_F(MoveOrderTest, CapturesOfEqualOrBetterPiecesAndEnPassantAreNeverDeferred) {
  // The bishop is defended, but a knight never loses by taking it.
  TDrawn Drawn = DrawAll(Load("4k3/8/2p5/3b4/8/4N3/8/4K3 w - -"));
  ASSERT_FALSE(Drawn.Words.empty());
  EXPECT_EQ(Drawn.Words.front(), Capture(SQ_E3, SQ_D5));
  EXPECT_EQ(Drawn.Stages.front(), MGSCapturePromotion);

  // d6 is covered by the c7 pawn and the exchange sees an empty square, yet en passant is pawn for pawn.
  const TPosition* P = Load("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6");
  const TMove EnPassant = Capture(SQ_E5, SQ_D6, MTEnPassantCapture);
  EXPECT_LT(SwapStaticExchangeEvaluation(P, SQ_E5, SQ_D6), 0);
  EXPECT_FALSE(IsBadCapture(P, EnPassant));
  EXPECT_EQ(DrawAll(P, 0, TSearchStack{}, false, false).Words, std::vector<TMove>{EnPassant});
}

TEST_F(MoveOrderTest, PromotionOntoAnUnguardedAttackedSquareIsDeferred) {
  const TPosition* P = Load("4k3/1P1n4/8/8/8/8/8/4K3 w - -");
  EXPECT_TRUE(IsBadCapture(P, Quiet(SQ_B7, SQ_B8, MTPromoteQueen)));
  TDrawn Drawn = DrawAll(P);
  ASSERT_EQ(Drawn.Words.size(), 9u);
  EXPECT_EQ(Drawn.Stages.front(), MGSQuiet);
  EXPECT_EQ(Text({Drawn.Words.begin() + 5, Drawn.Words.end()}), "b7b8q b7b8r b7b8b b7b8n");
  EXPECT_EQ(Drawn.Stages.back(), MGSBadCapture);
  EXPECT_EQ(DrawAll(P, 0, TSearchStack{}, false, false).Words, std::vector<TMove>{});

  // With b8 covered by the c6 knight the exchange comes out even.
  P = Load("4k3/1P1n4/2N5/8/8/8/8/4K3 w - -");
  EXPECT_FALSE(IsBadCapture(P, Quiet(SQ_B7, SQ_B8, MTPromoteQueen)));
  EXPECT_EQ(DrawAll(P, 0, TSearchStack{}, false, false).Moves, "b7b8q b7b8r b7b8b b7b8n");
}

TEST_F(MoveOrderTest, QuietMovesFollowKillersThenHistory) {
  const TPosition* P = Load("startpos");
  const std::string GenerationOrder = Text(Generated(P));
  EXPECT_EQ(DrawAll(P).Moves, GenerationOrder);

  auto& History = P->State->HistoryHeuristic;
  History[PWhitePawn][SQ_E4].store(50);
  History[PWhiteKnight][SQ_F3].store(50);
  History[PWhiteKnight][SQ_C3].store(20);
  History[PBlackPawn][SQ_D4].store(90);  // another piece code: ignored here
  TDrawn Drawn = DrawAll(P);
  ASSERT_EQ(Drawn.Words.size(), 20u);
  EXPECT_EQ(Text({Drawn.Words.begin(), Drawn.Words.begin() + 3}), "e2e4 g1f3 b1c3");

  TSearchStack Stack{};
  Stack.MateKiller1 = Quiet(SQ_G1, SQ_H3);
  Stack.MateKiller2 = Quiet(SQ_A2, SQ_A3);
  Stack.Killer1 = Quiet(SQ_H2, SQ_H4, MTEnPassantSet);
  Stack.Killer2 = Quiet(SQ_B1, SQ_A3);
  History[PWhitePawn][SQ_E4].store(1 << 29);
  Drawn = DrawAll(P, 0, Stack);
  ASSERT_EQ(Drawn.Words.size(), 20u);
  EXPECT_EQ(Text({Drawn.Words.begin(), Drawn.Words.begin() + 7}), "g1h3 a2a3 h2h4 b1a3 e2e4 g1f3 b1c3");
  EXPECT_EQ(Drawn.Stages.front(), MGSQuiet);

  // A killer must match the whole move word; h2-h4 as a plain move is not the generated double step.
  Stack = TSearchStack{};
  Stack.Killer1 = Quiet(SQ_H2, SQ_H4);
  Drawn = DrawAll(P, 0, Stack);
  EXPECT_EQ(Text({Drawn.Words.begin(), Drawn.Words.begin() + 3}), "e2e4 g1f3 b1c3");

  // The counters are kept per coloured piece.
  P = Load("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
  History[PWhiteKnight][SQ_F6].store(90);
  History[PBlackKnight][SQ_C6].store(50);
  Drawn = DrawAll(P);
  ASSERT_EQ(Drawn.Words.size(), 20u);
  EXPECT_EQ(MoveToString(Drawn.Words.front()), "b8c6");
}

TEST_F(MoveOrderTest, UsedUpListKeepsAnsweringFalse) {
  const TPosition* P = Load("startpos");
  for (bool DoQuiet : {true, false}) {
    auto List = std::make_unique<TGeneratedMoves>();
    const TSearchStack Stack{};
    InitMoves(List.get(), 0, &Stack, DoQuiet, true);
    TMove Move = 0;
    int Count = 0;
    while (Count <= MaxMoves && GetNextBestMove(P, List.get(), Move)) ++Count;
    EXPECT_EQ(Count, DoQuiet ? 20 : 0);
    for (int i = 0; i < 3; ++i) {
      EXPECT_FALSE(GetNextBestMove(P, List.get(), Move));
      EXPECT_EQ(List->Phase, MGPFinished);
    }
  }
}

TEST_F(MoveOrderTest, MVVLVAScoresVictimOverAttacker) {
  const TPosition* P = Load("1r2k3/P7/8/3q4/4P3/8/8/4K3 w - -");
  EXPECT_EQ(MVVLVA(P, Capture(SQ_E4, SQ_D5)), 29);  // pawn takes queen
  EXPECT_EQ(MVVLVA(P, Capture(SQ_D5, SQ_E4)), 1);   // queen takes pawn
  EXPECT_EQ(MVVLVA(P, Capture(SQ_A7, SQ_B8, MTPromoteQueen)), 23);
  EXPECT_EQ(MVVLVA(P, Capture(SQ_A7, SQ_B8, MTPromoteKnight)), 23);
  EXPECT_EQ(MVVLVA(P, Quiet(SQ_A7, SQ_A8, MTPromoteQueen)), 4);
  EXPECT_EQ(MVVLVA(P, Quiet(SQ_A7, SQ_A8, MTPromoteRook)), 3);
  EXPECT_EQ(MVVLVA(P, Quiet(SQ_A7, SQ_A8, MTPromoteKnight)), 1);
  P = Load("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6");
  EXPECT_EQ(MVVLVA(P, Capture(SQ_E5, SQ_D6, MTEnPassantCapture)), 0);
}

struct TExchangeCase {
  const char* Fen;
  int From, To;
  int32_t Value;
};

TEST(ExchangeTest, SwapListValues) {
  const TExchangeCase Cases[] = {
      {"4k3/8/8/3n4/4P3/8/8/4K3 w - -", SQ_E4, SQ_D5, 325},         // undefended knight
      {"4k3/8/2p5/3n4/4P3/8/8/4K3 w - -", SQ_E4, SQ_D5, 225},       // PxN, PxP
      {"4k3/2p5/3p4/8/8/8/3R4/4K3 w - -", SQ_D2, SQ_D6, -415},      // RxP, PxR
      {"4k3/3r4/8/8/3P4/2P5/8/4K3 b - -", SQ_D7, SQ_D4, -415},      // the same for Black
      {"3r2k1/8/8/3p4/8/8/3R4/3R2K1 w - -", SQ_D2, SQ_D5, 100},     // the d1 rook backs up through d2
      {"3r2k1/3r4/8/3p4/8/8/3R4/3R2K1 w - -", SQ_D2, SQ_D5, -415},  // doubled on both sides
      {"4k3/6b1/8/4p3/8/8/1B6/Q3K3 w - -", SQ_B2, SQ_E5, 100},      // queen behind the bishop
      {"4k3/8/3p4/4p3/3P4/2B5/8/4K3 w - -", SQ_D4, SQ_E5, 100},     // bishop behind the pawn
      {"3qk3/8/4p3/3p4/8/2N5/8/3RK3 w - -", SQ_C3, SQ_D5, -225},    // Black retakes with the pawn first
      {"8/8/8/4k3/Q2p4/8/8/3R3K w - -", SQ_D1, SQ_D4, 100},         // the queen forbids the king's retake
      {"8/8/8/4k3/3p4/8/8/3R3K w - -", SQ_D1, SQ_D4, -415},         // nothing forbids it
      {"r1bqkbnr/pppp1ppp/2n5/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -", SQ_H5, SQ_F7, 100},  // Qxf7 mate
      {"r1bqkbnr/pppp1ppp/2n5/4p2Q/4P3/8/PPPP1PPP/RNB1KBNR w KQkq -", SQ_H5, SQ_F7, -875},   // unsupported
      {"8/8/8/2p5/3p4/4K3/8/7k w - -", SQ_E3, SQ_D4, 100},    // a capturing king is never taken
      {"4k3/1P1n4/8/8/8/8/8/4K3 w - -", SQ_B7, SQ_B8, -100},  // promotion push, valued as a pawn
  };
  for (const TExchangeCase& C : Cases) {
    SCOPED_TRACE(C.Fen);
    EXPECT_EQ(SwapStaticExchangeEvaluation(&TestStateWith(C.Fen)->Position, C.From, C.To), C.Value);
  }

  const TPosition* P = &TestStateWith("8/8/8/4k3/Q2p4/8/8/3R3K w - -")->Position;
  EXPECT_FALSE(IsBadCapture(P, Capture(SQ_D1, SQ_D4)));
  P = &TestStateWith("8/8/8/4k3/3p4/8/8/3R3K w - -")->Position;
  EXPECT_TRUE(IsBadCapture(P, Capture(SQ_D1, SQ_D4)));
  P = &TestStateWith("8/8/8/2p5/3p4/4K3/8/7k w - -")->Position;
  EXPECT_FALSE(IsBadCapture(P, Capture(SQ_E3, SQ_D4)));
}

}  // namespace
