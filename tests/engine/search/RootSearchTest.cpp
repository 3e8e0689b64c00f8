// The root search: ordering of the root list, iterative deepening and the rules that end it, and what a
// stopped iteration leaves behind.
#include "engine/search/RootSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/board/PositionCheck.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Timer.h"
#include "engine/search/Parallel.h"
#include "engine/search/TimeControl.h"
#include "support/PositionChecks.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"
#include "support/Thinks.h"

namespace {

struct TRootList {
  std::vector<TMove> Moves;
  std::vector<int32_t> Scores;
  std::vector<int64_t> Nodes;

  bool Sort() { return SortRootMoves(int32_t(Moves.size()), Moves.data(), Scores.data(), Nodes.data()); }
};

TEST(RootSortMoves, OrdersByScoreThenByNodesKeepingTiesInPlace) {
  // Moves are just labels here; ties in both keys (labels 4 and 6, labels 3 and 7) must keep their order.
  TRootList L{{1, 2, 3, 4, 5, 6, 7}, {-50, 300, 10, 10, 300, 10, 10}, {900, 5, 40, 70, 8, 70, 40}};
  EXPECT_TRUE(L.Sort());
  EXPECT_EQ(L.Moves, (std::vector<TMove>{5, 2, 4, 6, 3, 7, 1}));
  EXPECT_EQ(L.Scores, (std::vector<int32_t>{300, 300, 10, 10, 10, 10, -50}));
  EXPECT_EQ(L.Nodes, (std::vector<int64_t>{8, 5, 70, 70, 40, 40, 900}));
}

TEST(RootSortMoves, ReportsWhetherAnythingMoved) {
  TRootList Sorted{{1, 2, 3}, {30, 20, 20}, {1, 9, 9}};
  EXPECT_FALSE(Sorted.Sort());
  EXPECT_EQ(Sorted.Moves, (std::vector<TMove>{1, 2, 3}));

  TRootList Empty;
  EXPECT_FALSE(Empty.Sort());
  TRootList One{{7}, {-5}, {3}};
  EXPECT_FALSE(One.Sort());

  // Equal scores, fewer nodes first: only the node count decides.
  TRootList ByNodes{{1, 2}, {0, 0}, {10, 11}};
  EXPECT_TRUE(ByNodes.Sort());
  EXPECT_EQ(ByNodes.Moves, (std::vector<TMove>{2, 1}));
}

TEST(RootSortMoves, ScoresOfUnsearchedMovesSinkToTheEnd) {
  // A stopped iteration leaves the moves it never reached with the lowest possible score.
  constexpr int32_t Unsearched = -2147483647;
  TRootList L{{1, 2, 3}, {Unsearched, -31990, Unsearched}, {Unsearched, 12, Unsearched}};
  EXPECT_TRUE(L.Sort());
  EXPECT_EQ(L.Moves, (std::vector<TMove>{2, 1, 3}));
}

// Sets up what DoThink would, around a direct call of SearchRoot.
class TDirectRoot {
 public:
  explicit TDirectRoot(TState* S) : S(S) {
    S->AbortSearch = false;
    S->Nodes = 0;
    S->TotalNodes = 0;
    S->StartTime = GetMilliseconds();
    S->LastPollTime = 0;
    S->NodeInterval = 32768;
    S->MaxThinkTime = 0;
    S->InfiniteSearch = true;
    S->Thinking = true;
  }
  ~TDirectRoot() {
    S->Thinking = false;
    S->AbortSearch = false;
  }

 private:
  TState* S;
};

TEST(RootSearch, NoLegalMoveGivesNoMoveAndAnEmptyVariation) {
  for (const char* Fen : {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",  // mated
                          "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {                              // stalemate
    SCOPED_TRACE(Fen);
    TState* S = TestStateWith(Fen);
    TThinkSettings Settings(S);
    S->MaxDepth = 3;
    for (TMove& Move : S->PV) Move = 0x1234;
    TMove Result;
    {
      TDirectRoot Root(S);
      Result = SearchRoot(S, &S->Position);
    }
    EXPECT_EQ(Result, 0u);
    EXPECT_EQ(S->PV[0], 0u);
  }
}

// The boards the search sees, checked where it polls for input (through the in-search hook): the first
// iteration polls before it makes any root move. The root search also polls while thread 0 searches the
// board; it must not look at it then, and neither does this check.
std::string FaultsSeenAtPolls;
int Polls = 0;
std::thread::id RootThread;
void CheckBoardAtPoll(TState* S) {
  Polls++;
  if (std::this_thread::get_id() == RootThread && S->Threads[0]->ThreadState.load() != PTSIdle) return;
  FaultsSeenAtPolls += PositionFaults(&S->Position);
}

// The stalemate test at the root looks at the other side's moves; the en-passant square set for the
// side to move must not give the other side a capture there. It did, putting a pawn of the wrong colour
// on the board until the root's own moves happened to make and take back the capture there.
TEST(RootSearch, SearchesTheRootPositionAsItFoundIt) {
  for (const char* Fen : {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
                          "4r1k1/6p1/8/4Pp2/8/8/8/4K3 w - f6 0 2", "3k4/8/8/8/3pP3/8/5PK1/3R4 b - e3 0 1"}) {
    SCOPED_TRACE(Fen);
    TState* S = TestStateWith(Fen);
    ASSERT_NE(S->Position.EnPassant, -1);
    TThinkSettings Settings(S);
    S->MaxDepth = 4;
    EnterFace(S, MXBoard);
    TInputPipe Input;
    Input.Send("x");
    const TSearchHooks Hooks{CheckBoardAtPoll, nullptr, nullptr, nullptr, nullptr};
    S->Hooks = &Hooks;
    FaultsSeenAtPolls.clear();
    Polls = 0;
    RootThread = std::this_thread::get_id();
    const TPosition Before = S->Position;
    TMove Result;
    {
      TDirectRoot Root(S);
      S->StartTime -= 1000;  // the first check polls at once
      Result = SearchRoot(S, &S->Position);
    }
    EXPECT_NE(Result, 0u);
    EXPECT_GT(Polls, 0);
    EXPECT_EQ(FaultsSeenAtPolls, "");
    EXPECT_TRUE(SamePosition(S->Position, Before));
  }
}

TEST(RootIterations, SingleLegalMoveEndsAfterTheThirdIteration) {
  // Kxg2 is forced; nothing else limits this think.
  TState* S = TestStateWith("7k/8/8/8/8/8/6q1/7K w - - 0 1");
  TThinkSettings Settings(S);
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  EXPECT_EQ(MoveToString(S->BestMove), "h1g2");
  ExpectWellFormedIterations(R.Infos);
  EXPECT_EQ(R.Infos.size(), 3u) << R.Output;
  EXPECT_EQ(CompleteCount(R.Infos), 3) << R.Output;
}

TEST(RootIterations, DepthLimitEndsAfterThatIteration) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxDepth = 6;
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  EXPECT_TRUE(R.Others.empty()) << R.Output;
  ExpectWellFormedIterations(R.Infos);
  ASSERT_EQ(R.Infos.size(), 6u) << R.Output;
  EXPECT_EQ(CompleteCount(R.Infos), 6);

  // Node counts add up over the think, and the last report is the think's own account.
  for (size_t I = 1; I < R.Infos.size(); I++) EXPECT_GE(R.Infos[I].Nodes, R.Infos[I - 1].Nodes);
  EXPECT_EQ(R.Infos.back().Nodes, S->Nodes);
  EXPECT_EQ(S->Nodes, S->TotalNodes.load()) << "every node of a finished think belongs to some root move";
  ASSERT_FALSE(R.Infos.back().PV.empty());
  EXPECT_EQ(R.Infos.back().PV[0], MoveToString(S->BestMove));
  EXPECT_EQ(MoveToString(S->PV[0]), MoveToString(S->BestMove));
}

TEST(RootIterations, NodeLimitSparesTheFirstTwoIterations) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxNodes = 1;
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen) << "two whole iterations give a move";
  ExpectWellFormedIterations(R.Infos);
  EXPECT_EQ(R.Infos.size(), 2u) << "the third iteration does not even start\n" << R.Output;
  EXPECT_EQ(CompleteCount(R.Infos), 2) << R.Output;
}

TEST(RootIterations, NodeLimitStopsFromTheThirdIterationOn) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  S->MaxNodes = 1000;
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  ExpectWellFormedIterations(R.Infos);
  ASSERT_GE(CompleteCount(R.Infos), 2) << R.Output;
  const long long Total = S->TotalNodes.load();
  EXPECT_GE(Total, 1000);
  // The limit is checked every MaxNodes counted nodes, so it is overrun by less than one interval past
  // the point where it was both reached and applicable.
  const long long Reached = std::max<long long>(R.Infos[1].Nodes, 1000);
  EXPECT_LT(Total, Reached + 1000 + 64) << R.Output;
  const TInfoLine* Last = LastComplete(R.Infos);
  ASSERT_FALSE(Last->PV.empty());
  EXPECT_EQ(Last->PV[0], MoveToString(S->BestMove)) << "the move of the last finished iteration";
}

// A clock with almost nothing left gives a budget of 0: the think then ends after its first iteration,
// unless a depth or node limit takes over the decision.
TEST(RootIterations, SpentClockEndsTheThinkAfterOneIteration) {
  struct TCase {
    int32_t MaxDepth, MaxNodes;
    int MinIterations, MaxIterations;
  };
  for (const TCase& Case : {TCase{0, 0, 1, 1}, TCase{4, 0, 4, 4}, TCase{0, 20000, 2, 255}}) {
    SCOPED_TRACE(testing::Message() << "MaxDepth " << Case.MaxDepth << " MaxNodes " << Case.MaxNodes);
    TState* S = TestStateWith("startpos");
    TThinkSettings Settings(S);
    S->MaxTime = 300000;
    S->MovesPerControl = 40;
    S->MovesLeft[0] = 40;
    S->TimeLeft[0] = 30;
    S->MaxDepth = Case.MaxDepth;
    S->MaxNodes = Case.MaxNodes;
    const TThinkResult R = ThinkUCI(S);
    ASSERT_TRUE(R.Chosen);
    EXPECT_EQ(S->MaxThinkTime, 0);
    ExpectWellFormedIterations(R.Infos);
    EXPECT_GE(CompleteCount(R.Infos), Case.MinIterations) << R.Output;
    EXPECT_LE(int(R.Infos.size()), Case.MaxIterations) << R.Output;
  }
}

// The stop is sent the moment iteration 5 announces itself; when the search outruns the signal and
// finishes that iteration anyway, the run proves nothing and is repeated.
TEST(RootIterations, StopDuringAnIterationKeepsThePreviousIterationsMove) {
  constexpr const char* Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  bool Exercised = false;
  for (int Attempt = 0; Attempt < 5 && !Exercised; Attempt++) {
    TState* S = TestStateWith(Kiwipete);
    TThinkSettings Settings(S);
    S->MaxDepth = 12;  // only a backstop
    EnterFace(S, MUCI);
    S->PostThinking = true;
    TInputPipe Input;
    std::string Output;
    bool Chosen;
    {
      TOutputCapture Tap([S](const std::string& Text) {
        if (Text.find("info depth 5 ") != std::string::npos) S->AbortSearch = true;
      });
      Chosen = Think(S);
      Output = Tap.Finish();
    }
    const std::vector<TInfoLine> Infos = InfoLines(Output);
    ExpectWellFormedIterations(Infos);
    ASSERT_FALSE(Infos.empty());
    ASSERT_TRUE(Chosen);
    const TInfoLine* Last = LastComplete(Infos);
    ASSERT_NE(Last, nullptr) << Output;
    ASSERT_FALSE(Last->PV.empty());
    // Whatever iteration the stop met, the answer is the last finished one's, and so is the variation.
    EXPECT_EQ(MoveToString(S->BestMove), Last->PV[0]) << Output;
    std::vector<std::string> PV;
    for (int I = 0; I < 256 && S->PV[I]; I++) PV.push_back(MoveToString(S->PV[I]));
    EXPECT_EQ(PV, Last->PV);
    if (Infos.back().Complete) continue;
    EXPECT_EQ(Infos.back().Text, "info depth " + std::to_string(Last->Depth + 1) + " ");
    if (Infos.back().Depth == 5) {
      Exercised = true;
      EXPECT_EQ(Last->Depth, 4);
      const std::string Tail = "\ninfo depth 5 \n";
      ASSERT_GE(Output.size(), Tail.size());
      EXPECT_EQ(Output.substr(Output.size() - Tail.size()), Tail) << "the head alone closes the output";
    }
  }
  EXPECT_TRUE(Exercised) << "the stop never arrived during iteration 5";
}

}  // namespace
