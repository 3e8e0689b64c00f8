// The think driver: what a think resets, how it charges the clock, and what ThinkAndExecute prints and
// plays.
#include "engine/search/Think.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "engine/eval/Pawns.h"
#include "engine/moves/Notation.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"
#include "support/Thinks.h"

namespace {

struct TGameSnapshot {
  int32_t HistoryPly;
  uint64_t Hash;
  int32_t Side;
  uint8_t Board[64];

  explicit TGameSnapshot(const TState* S) : HistoryPly(S->HistoryPly), Hash(S->Position.Hash), Side(S->Position.Side) {
    std::memcpy(Board, S->Position.Board, sizeof Board);
  }
  bool operator==(const TGameSnapshot& O) const {
    return HistoryPly == O.HistoryPly && Hash == O.Hash && Side == O.Side &&
           std::memcmp(Board, O.Board, sizeof Board) == 0;
  }
};

TEST(ThinkExecute, SideWithoutMovesGetsNoMoveAndTheGameStands) {
  struct TCase {
    const char* Fen;
    const char* Score;
  };
  for (const TCase Case : {TCase{"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "mate 0"},
                           TCase{"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "cp 0"}}) {  // mated, stalemated
    const char* Fen = Case.Fen;
    SCOPED_TRACE(Fen);
    for (int Mode : {MNone, MUCI}) {
      TState* S = TestStateWith(Fen);
      TThinkSettings Settings(S);
      EnterFace(S, Mode);
      S->PostThinking = true;
      const TGameSnapshot Before(S);
      TInputPipe Input;
      bool Played;
      std::string Output;
      {
        TOutputCapture Tap;
        Played = ThinkAndExecute(S);
        Output = Tap.Finish();
      }
      EXPECT_FALSE(Played);
      EXPECT_EQ(S->BestMove, 0u);
      EXPECT_TRUE(TGameSnapshot(S) == Before);
      std::vector<std::string> Others;
      for (const TInfoLine& Info : InfoLines(Output, &Others)) EXPECT_EQ(Info.ScoreText, Case.Score) << Info.Text;
      // Only the dialogue's answer, which says there is no move.
      if (Mode == MNone) {
        EXPECT_EQ(Output, "");
      } else {
        EXPECT_EQ(Others, std::vector<std::string>{"bestmove (none)"}) << Output;
      }
    }
  }
}

TEST(ThinkExecute, PrintsTheMoveAloneThenPlaysIt) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 3;
  S->MovesPerControl = 40;
  S->MovesLeft[0] = S->MovesLeft[1] = 40;
  std::string Output;
  bool Played;
  {
    TOutputCapture Tap;
    Played = ThinkAndExecute(S);
    Output = Tap.Finish();
  }
  ASSERT_TRUE(Played);
  EXPECT_EQ(Output, MoveToString(S->BestMove) + "\n");
  EXPECT_EQ(S->HistoryPly, 1);
  EXPECT_EQ(S->HistoryStack[0].Move, S->BestMove);
  EXPECT_EQ(S->Position.Side, CBlack);
  EXPECT_EQ(S->MovesLeft[0], 39) << "the game move counts against White's period";
  EXPECT_EQ(S->MovesLeft[1], 40);
}

TEST(ThinkDriver, ChargesTheClockOfTheSideThatThought) {
  for (const char* Fen : {"startpos", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"}) {
    SCOPED_TRACE(Fen);
    TState* S = TestStateWith(Fen);
    TThinkSettings Settings(S);
    const int Us = S->Position.Side >> 3, Them = Us ^ 1;
    S->MaxDepth = 2;
    S->MaxTime = 300000;
    S->MovesPerControl = 40;
    S->MovesLeft[Us] = S->MovesLeft[Them] = 40;
    S->TimeLeft[Us] = S->TimeLeft[Them] = 300000;
    S->TimeIncrement[Us] = S->TimeIncrement[Them] = 2000;
    ASSERT_TRUE(Think(S));
    EXPECT_EQ(S->MaxThinkTime, 300000 / 20 - 50);
    EXPECT_FALSE(S->InfiniteSearch);
    EXPECT_GE(S->StopTime, S->StartTime);
    // A think of 3500 ms would leave 300000 + 2000 - 3500; this one is charged what it took.
    EXPECT_EQ(S->TimeLeft[Us], 300000 + 2000 - (S->StopTime - S->StartTime));
    EXPECT_EQ(S->TimeLeft[Them], 300000);
    EXPECT_EQ(S->MovesLeft[Us], 40) << "only playing the move counts it";
  }
}

TEST(ThinkDriver, WithoutAClockNothingIsCharged) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 2;
  S->MaxTime = 0;
  S->TimeLeft[0] = 1234;
  S->TimeIncrement[0] = 2000;
  ASSERT_TRUE(Think(S));
  EXPECT_TRUE(S->InfiniteSearch);
  EXPECT_EQ(S->TimeLeft[0], 1234);
}

TEST(ThinkDriver, NodeLimitShortensTheCheckInterval) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 1;
  S->MaxNodes = 5000;
  ASSERT_TRUE(Think(S));
  EXPECT_EQ(S->NodeInterval, 5000);
  S->MaxNodes = 100000;
  ASSERT_TRUE(Think(S));
  EXPECT_EQ(S->NodeInterval, 32768);
  S->MaxNodes = 0;
  ASSERT_TRUE(Think(S));
  EXPECT_EQ(S->NodeInterval, 32768);
}

TEST(ThinkDriver, EveryThinkStartsAfresh) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 1;
  // Leftovers of an earlier think: a stop, counters, a variation and history.
  S->AbortSearch = true;
  S->TotalNodes = 1000000000000;
  S->Nodes = 1000000000000;
  for (TMove& Move : S->PV) Move = 0x1234;
  for (auto& Row : S->HistoryHeuristic)
    for (auto& Counter : Row) Counter = 777777;
  ASSERT_TRUE(DoThink(S));
  EXPECT_FALSE(S->Thinking.load());
  EXPECT_LT(S->TotalNodes.load(), 1000000);
  EXPECT_EQ(S->Nodes, S->TotalNodes.load());
  int PVLength = 0;
  while (PVLength < 256 && S->PV[PVLength]) PVLength++;
  ASSERT_LT(PVLength, 256);
  EXPECT_EQ(S->PV[0], S->BestMove);
  // A one-ply search only updates history for Black's replies, so everything else must be back to 0:
  // White's pieces, and the codes that are no piece at all.
  for (int Piece : {0, 1, 2, 3, 4, 5, 6, 7, 8, 15})
    for (int Square = 0; Square < 64; Square++)
      ASSERT_EQ(S->HistoryHeuristic[Piece][Square].load(), 0) << "piece " << Piece << " square " << Square;
  for (int Piece = 9; Piece <= 14; Piece++)
    for (int Square = 0; Square < 64; Square++)
      ASSERT_LT(S->HistoryHeuristic[Piece][Square].load(), 777777) << "piece " << Piece << " square " << Square;
}

// A new game: what the search and the evaluation learnt in the game before is gone, and the board,
// which is InitBoard's, is left alone.
TEST(ThinkDriver, ClearSearchTablesForgetsTheGameBefore) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 3;
  ASSERT_TRUE(Think(S));
  ASSERT_TRUE(S->TranspositionTableDirty.load());
  S->HistoryHeuristic[PWhiteKnight][SQ_F3] = 99;
  S->SearchStack(SearchStackHigh)->Killer1 = 0x1234;
  S->SearchStack(SearchStackLow)->MateKiller2 = 0x1234;
  S->PV[255] = 0x1234;
  S->PawnHashTable[PawnHashTableSize - 1].Data = 7;
  const uint64_t Hash = S->Position.Hash;

  ClearSearchTables(S);
  EXPECT_FALSE(S->TranspositionTableDirty.load());
  const uint64_t Entries = S->TranspositionTableMask + 1 + TranspositionTableSpareItems;
  uint64_t Filled = 0;
  for (uint64_t I = 0; I < Entries; I++) Filled += S->TranspositionTable[I].Data.load() != 0;
  EXPECT_EQ(Filled, 0u) << "transposition table entries";
  Filled = 0;
  for (uint32_t I = 0; I < PawnHashTableSize; I++) Filled += S->PawnHashTable[I].Data.load() != 0;
  EXPECT_EQ(Filled, 0u) << "pawn hash entries";
  int64_t History = 0;
  for (const auto& Row : S->HistoryHeuristic)
    for (const auto& Counter : Row) History += Counter.load() != 0;
  EXPECT_EQ(History, 0);
  const auto* Stack = reinterpret_cast<const unsigned char*>(S->SearchStackStorage);
  EXPECT_EQ(std::count(Stack, Stack + sizeof S->SearchStackStorage, 0), std::ptrdiff_t(sizeof S->SearchStackStorage))
      << "killers";
  EXPECT_EQ(std::count(std::begin(S->PV), std::end(S->PV), TMove(0)), 256);
  EXPECT_EQ(S->Position.Hash, Hash);
}

// Every think searches: its first report is of depth 1.
TEST(ThinkDriver, EveryThinkSearchesFromDepthOne) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 3;
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  EXPECT_EQ(R.Output.find("info depth 0 "), std::string::npos) << R.Output;
  ExpectWellFormedIterations(R.Infos);
  EXPECT_EQ(CompleteCount(R.Infos), 3);
}

TEST(ThinkDriver, HintThinksWithoutTouchingTheClock) {
  // One legal move: the hint is settled after three iterations, long before its second is up.
  TState* S = TestStateWith("7k/8/8/8/8/8/6q1/7K w - - 0 1");
  TThinkSettings Settings(S);
  S->MaxTime = 300000;
  S->TimeLeft[0] = 4321;
  S->NodeInterval = 777;
  ASSERT_TRUE(ThinkHint(S));
  EXPECT_EQ(MoveToString(S->BestMove), "h1g2");
  EXPECT_EQ(S->MaxThinkTime, 1000);
  EXPECT_FALSE(S->Hint);
  EXPECT_EQ(S->TimeLeft[0], 4321);
  EXPECT_EQ(S->NodeInterval, 777) << "the interval of the last Think stays";
  EXPECT_EQ(S->HistoryPly, 0) << "a hint plays nothing";
}

std::atomic<int> PollsForWhite{0}, PollsForOthers{0};

TEST(ThinkDriver, PollsKnowTheSideToMoveAtTheRoot) {
  // The poll runs inside the tree too, where the root move has been made on the game position; the side
  // to move at the root, which the XBoard dialogue's commands act for, must still be known there.
  TState* S = TestState();
  TThinkSettings Settings(S);
  S->NodeInterval = 500;
  PollsForWhite = PollsForOthers = 0;
  const TSearchHooks Hooks{[](TState* S) { (S->RootSide == CWhite ? PollsForWhite : PollsForOthers)++; }, nullptr,
                           nullptr, nullptr, nullptr};
  S->Hooks = &Hooks;
  ASSERT_TRUE(ThinkHint(S));
  EXPECT_GT(PollsForWhite.load(), 1);
  EXPECT_EQ(PollsForOthers.load(), 0);
}

}  // namespace
