// Whole thinks on positions with a known answer: forced mates with their exact scores, traps the search
// must see through, draws it must find, and the one-thread search being repeatable.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/board/Position.h"
#include "engine/eval/Eval.h"
#include "engine/moves/Notation.h"
#include "engine/search/Parallel.h"
#include "engine/search/Think.h"
#include "engine/search/TransTable.h"
#include "support/TestState.h"
#include "support/Text.h"
#include "support/Thinks.h"

namespace {

struct TMateCase {
  const char* Name;
  const char* Fen;
  int Depth;
  int Score;           // from the side to move
  const char* Report;  // as the info line gives it: moves, not plies
  const char* Line;    // the forced line, first move first
};

// Each verified as forced, with the one first move that keeps the shortest mate.
const TMateCase MateCases[] = {
    {"BackRankMateInOne", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 3, 31999, "mate 1", "a1a8"},
    {"SmotheredMateInOne", "6rk/6pp/8/6N1/8/8/8/6K1 w - - 0 1", 3, 31999, "mate 1", "g5f7"},
    // Qg8+ Rxg8 Nf7#.
    {"QueenSacrificeMateInTwo", "r6k/6pp/7N/8/8/1Q6/8/6K1 w - - 0 1", 5, 31997, "mate 2", "b3g8 a8g8 h6f7"},
    // Philidor's legacy: Nh6+ Kh8 Qg8+ Rxg8 Nf7# (Kf8 allows Qf7# at once).
    {"PhilidorsLegacyMateInThree", "r5k1/5Npp/8/8/2Q5/8/8/6K1 w - - 0 1", 6, 31995, "mate 3",
     "f7h6 g8h8 c4g8 a8g8 h6f7"},
    // The only move, Kb8, walks into Rh8#.
    {"MatedInOne", "k7/8/1K6/8/8/8/8/7R b - - 0 1", 4, -31998, "mate -1", "a8b8 h1h8"},
    // Philidor's legacy from the loser's side: Kh8 Qg8+ Rxg8 Nf7# (Kf8 allows Qf7# at once).
    {"MatedInTwo", "r5k1/6pp/7N/8/2Q5/8/8/6K1 b - - 1 1", 6, -31996, "mate -2", "g8h8 c4g8 a8g8 h6f7"},
};

void PrintTo(const TMateCase& Case, std::ostream* Out) { *Out << Case.Fen; }

class SearchMates : public ::testing::TestWithParam<TMateCase> {};

TEST_P(SearchMates, ReportsTheMateDistanceAndPlaysTheMatingLine) {
  const TMateCase& Case = GetParam();
  TState* S = TestStateWith(Case.Fen);
  TThinkSettings Settings(S);
  S->MaxDepth = Case.Depth;

  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  const std::vector<std::string> Line = Words(Case.Line);
  EXPECT_EQ(MoveToString(S->BestMove), Line[0]);
  ExpectWellFormedIterations(R.Infos);
  const TInfoLine* Last = LastComplete(R.Infos);
  ASSERT_NE(Last, nullptr) << R.Output;
  EXPECT_EQ(Last->Score, Case.Score) << Last->Text;
  EXPECT_EQ(Last->ScoreText, Case.Report) << Last->Text;
  // The variation comes from exact table entries, so it may stop early, but what it shows is the mate.
  ASSERT_FALSE(Last->PV.empty());
  ASSERT_LE(Last->PV.size(), Line.size()) << Last->Text;
  EXPECT_EQ(Last->PV, std::vector<std::string>(Line.begin(), Line.begin() + Last->PV.size())) << Last->Text;
}

INSTANTIATE_TEST_SUITE_P(SearchPositions, SearchMates, ::testing::ValuesIn(MateCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// Settled mates end the think early even without any limit: after iteration 7 the last five scores are
// all mate scores.
TEST(SearchMateRule, SettledMateEndsAnUnlimitedThink) {
  TState* S = TestStateWith("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  TThinkSettings Settings(S);
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  EXPECT_EQ(MoveToString(S->BestMove), "a1a8");
  ExpectWellFormedIterations(R.Infos);
  EXPECT_EQ(CompleteCount(R.Infos), 7) << R.Output;
  EXPECT_EQ(R.Infos.size(), 7u) << "no further iteration may start";
}

struct TPlayResult {
  TMove Move;
  int Score;
};

TPlayResult PlayAtDepth(const char* Fen, int Depth) {
  TState* S = TestStateWith(Fen);
  TThinkSettings Settings(S);
  S->MaxDepth = Depth;
  const TThinkResult R = ThinkUCI(S);
  const TInfoLine* Last = LastComplete(R.Infos);
  EXPECT_NE(Last, nullptr) << R.Output;
  return {S->BestMove, Last ? Last->Score : -99999};
}

// White is a queen up. Qxe5 wins a pawn on the surface but Nf3+ forks king and queen (no g-pawn guards
// f3); every other move keeps about +4.
constexpr const char* PoisonedPawn = "6k1/5pp1/7p/4p3/7n/8/1Q3P1P/6K1 w - - 0 1";

TEST(SearchTactics, PawnGrabThatLosesTheQueenIsAvoided) {
  // The bait is real: a one-ply search, blind to the fork, takes the pawn.
  EXPECT_EQ(MoveToString(PlayAtDepth(PoisonedPawn, 1).Move), "b2e5");
  const TPlayResult Deep = PlayAtDepth(PoisonedPawn, 5);
  EXPECT_NE(MoveToString(Deep.Move), "b2e5");
  EXPECT_GT(Deep.Score, 300) << "keeping the queen keeps the extra material";
}

TEST(SearchTactics, LosingSideForcesStalemate) {
  // Black is about to be mated (Qb7# or Qb8#) but Rxh2+ forces the capture of the last mobile piece.
  const TPlayResult R = PlayAtDepth("k6r/p1Q5/P7/8/8/8/6PP/6NK b - - 0 1", 4);
  EXPECT_EQ(MoveToString(R.Move), "h8h2");
  EXPECT_EQ(R.Score, 0);
}

TEST(SearchTactics, LosingSideTakesThePerpetualCheck) {
  // White is lost to ...Qf1# but Qf6+ Kg8 Qg5+ Kh8 repeats for ever; every other move is mated.
  const TPlayResult R = PlayAtDepth("5r1k/5p1p/2Q5/8/8/8/r3q1PP/7K w - - 0 1", 7);
  EXPECT_EQ(MoveToString(R.Move), "c6f6");
  EXPECT_EQ(R.Score, 0);
}

// The one-thread search depends on nothing but the position and the tables, so with the tables cleared
// two thinks are the same think.
TEST(SearchDeterminism, OneThreadThinksRepeatExactly) {
  constexpr const char* Fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
  struct TRun {
    TMove Move;
    long long TotalNodes, Nodes;
    std::vector<TMove> PV;
  };
  auto Run = [&] {
    InitBoard(TestState());
    ClearSearchTables(TestState());
    TState* S = TestStateWith(Fen);
    TThinkSettings Settings(S);
    S->MaxDepth = 6;
    EXPECT_TRUE(Think(S));
    TRun R{S->BestMove, (long long)S->TotalNodes.load(), (long long)S->Nodes, {}};
    for (int I = 0; I < 256 && S->PV[I]; I++) R.PV.push_back(S->PV[I]);
    return R;
  };
  const TRun First = Run();
  const TRun Second = Run();
  EXPECT_GT(First.TotalNodes, 0);
  EXPECT_EQ(First.TotalNodes, Second.TotalNodes);
  EXPECT_EQ(First.Nodes, Second.Nodes);
  EXPECT_EQ(First.Move, Second.Move);
  EXPECT_EQ(First.PV, Second.PV);
  ASSERT_FALSE(First.PV.empty());
  EXPECT_EQ(First.PV[0], First.Move);
}

// A game's think sets no depth limit (0), and it reduces late moves as a think under a deep limit does:
// iteration for iteration the two cost the same nodes and agree on the score.
TEST(SearchReductions, ApplyWithoutADepthLimit) {
  constexpr const char* Fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
  std::vector<std::pair<long long, int>> Iterations[2];
  for (int Limit : {0, 1}) {
    InitBoard(TestState());
    ClearSearchTables(TestState());
    TState* S = TestStateWith(Fen);
    TThinkSettings Settings(S);
    S->MaxDepth = Limit == 0 ? 0 : 40;
    S->MaxNodes = 400000;
    const TThinkResult R = ThinkUCI(S);
    for (const TInfoLine& Info : R.Infos)
      if (Info.Complete) Iterations[Limit].push_back({Info.Nodes, Info.Score});
  }
  ASSERT_GE(Iterations[0].size(), 6u);
  ASSERT_EQ(Iterations[0].size(), Iterations[1].size());
  EXPECT_EQ(Iterations[0], Iterations[1]);
}

// After ...hxg2 Black keeps a pawn on its seventh rank for the rest of many lines.  Only the push there is
// extended: extending every later move of Black as well doubled Black's depth and took 9.2 million nodes
// to reach depth 7 (0.6 million now).
TEST(SearchExtensions, PawnWaitingOnItsSeventhDoesNotDoubleTheDepth) {
  InitBoard(TestState());
  ClearSearchTables(TestState());
  TState* S = TestStateWith("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  TThinkSettings Settings(S);
  S->MaxDepth = 7;
  S->MaxNodes = 20000000;  // a backstop only
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  const TInfoLine* Last = LastComplete(R.Infos);
  ASSERT_NE(Last, nullptr) << R.Output;
  EXPECT_EQ(Last->Depth, 7);
  EXPECT_LT(S->TotalNodes.load(), 3000000);
}

// Single nodes searched directly by thread 0's search functions, on the calling thread, as if a think
// were running (outside a think every search function returns at once).
class SearchNode : public ::testing::Test {
 protected:
  void SetUp() override { S = TestState(); }
  void TearDown() override {
    S->Thinking = false;
    S->AbortSearch = false;
    Settings.reset();
  }

  // Position from FEN; returns the search-stack entry for a node at Ply above the root.
  TSearchStack* Prepare(const char* Fen, int Ply) {
    Settings.reset();  // a second position in one test starts from the saved settings again
    S = TestStateWith(Fen);
    Settings = std::make_unique<TThinkSettings>(S);
    P = S->Position;
    return BeginNodeSearch(S, 1, Ply + 2) + Ply;
  }

  TParallelThread* Thread() { return S->Threads[0]; }

  // Threads publish their node counts in batches; a direct call publishes its own when it returns.
  int32_t Quiescence(TSearchStack* SS, int Ply, int Alpha, int Beta, int Depth = 0) {
    const int32_t Score = Thread()->QuiescenceSearch(SS, &P, Depth, Ply, Alpha, Beta);
    Thread()->FlushNodes();
    return Score;
  }
  int32_t NegaScout(TSearchStack* SS, int Depth, int Ply, int Alpha, int Beta, TNodeType Type = NTPV) {
    const int32_t Score = Thread()->NegaScoutSearch(SS, Type, &P, Depth, Ply, Alpha, Beta, true);
    Thread()->FlushNodes();
    return Score;
  }
  long long Nodes() const { return S->TotalNodes.load(); }

  TState* S = nullptr;
  std::unique_ptr<TThinkSettings> Settings;
  TPosition P{};
};

TEST_F(SearchNode, QuiescenceInCheckWithoutCapturesKeepsTheStaticScore) {
  // Black is mated, but the quiescence search has no check evasions and must not claim a mate.
  TSearchStack* SS = Prepare("R6k/6pp/8/8/8/8/8/6K1 b - - 0 1", 3);
  const int32_t Static = Eval(&P);
  EXPECT_EQ(Quiescence(SS, 3, -InfinityScore, InfinityScore), Static);
  EXPECT_TRUE(SS->InCheck);
}

TEST_F(SearchNode, QuiescenceStandsPatWithoutLookingAtMoves) {
  // White could win the queen, but the static score already reaches beta.
  TSearchStack* SS = Prepare("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", 2);
  const int32_t Static = Eval(&P);
  EXPECT_EQ(Quiescence(SS, 2, Static - 20, Static - 10), Static);
  EXPECT_EQ(Nodes(), 1) << "no capture was searched";
}

TEST_F(SearchNode, QuiescenceWinningCaptureIsSearchedAndRemembered) {
  // Quiescence runs at depth 0 and below; its entries must never pass for deep ones.
  for (const int Depth : {0, -OnePly, -3 * OnePly}) {
    SCOPED_TRACE(Depth);
    TranspositionTableClear(S);
    TSearchStack* SS = Prepare("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", 2);
    const TMove Capture = ParseMove(S, "e4d5");
    ASSERT_NE(Capture, 0u);
    const int32_t Static = Eval(&P);
    ASSERT_LT(Static, 0) << "a queen down before the capture";
    const int32_t Score = Quiescence(SS, 2, -InfinityScore, 0, Depth);
    EXPECT_GE(Score, 0);
    EXPECT_GT(Nodes(), 1);
    const uint64_t Data = TranspositionTableProbe(&P);
    ASSERT_NE(Data, 0u) << "a cut-off leaves a lower bound";
    EXPECT_EQ(TTDataKind(Data), TTKLower);
    EXPECT_EQ(TTDataMove(Data), Capture & 0x3FFFF);
    EXPECT_EQ(TTDataScoreAtPly(Data, 2), Score);
    EXPECT_EQ(TTDataDepth(Data), 0);
  }
}

TEST_F(SearchNode, DeepestPlyReturnsTheStaticScoreWhateverTheWindow) {
  TSearchStack* SS = Prepare("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", MaxPly - 1);
  const int32_t Static = Eval(&P);
  EXPECT_EQ(Quiescence(SS, MaxPly - 1, 500, 600), Static);
  EXPECT_EQ(NegaScout(SS, 2 * OnePly, MaxPly - 1, 500, 600), Static);
}

TEST_F(SearchNode, StoppedSearchReturnsZeroAtOnce) {
  TSearchStack* SS = Prepare("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", 1);
  S->AbortSearch = true;
  EXPECT_EQ(Quiescence(SS, 1, -InfinityScore, InfinityScore), 0);
  EXPECT_EQ(NegaScout(SS, 3 * OnePly, 1, -InfinityScore, InfinityScore), 0);
  S->AbortSearch = false;
  S->Thinking = false;
  EXPECT_EQ(NegaScout(SS, 3 * OnePly, 1, -InfinityScore, InfinityScore), 0) << "no think, no search";
}

TEST_F(SearchNode, NodeWithoutMovesIsMateOrStalemate) {
  TSearchStack* SS = Prepare("R6k/6pp/8/8/8/8/8/6K1 b - - 0 1", 3);
  EXPECT_EQ(NegaScout(SS, OnePly, 3, -InfinityScore, InfinityScore), 3 - MateScore);
  SS = Prepare("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 3);
  EXPECT_EQ(NegaScout(SS, OnePly, 3, -InfinityScore, InfinityScore), 0);
}

TEST_F(SearchNode, MateDistanceBoundsCutHopelessWindows) {
  // At ply 5 nothing better than a mate at ply 6 is possible: 31994.
  TSearchStack* SS = Prepare("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 5);
  EXPECT_EQ(NegaScout(SS, 2 * OnePly, 5, 31994, InfinityScore), 31994);
  EXPECT_EQ(Nodes(), 1);
  EXPECT_EQ(NegaScout(SS, 2 * OnePly, 5, -InfinityScore, -31995), -31995) << "nor worse than mated at ply 5";
}

TEST_F(SearchNode, RepetitionOnThePathIsADraw) {
  // White is a queen up, yet a position already met two plies up the path is a draw, provided the moves
  // in between were reversible.
  TSearchStack* SS = Prepare("4k3/8/8/8/8/8/3Q4/4K3 w - - 0 1", 4);
  (SS - 2)->Hash = P.Hash;
  P.ReversibleMoves = 2;
  EXPECT_EQ(NegaScout(SS, 2 * OnePly, 4, -InfinityScore, InfinityScore), 0);
  EXPECT_EQ(Nodes(), 1);
  SS = Prepare("4k3/8/8/8/8/8/3Q4/4K3 w - - 0 1", 4);
  (SS - 2)->Hash = P.Hash;
  P.ReversibleMoves = 1;  // a pawn move or capture came in between: no repetition possible
  EXPECT_GT(NegaScout(SS, 2 * OnePly, 4, -InfinityScore, InfinityScore), 500);
}

TEST_F(SearchNode, NullMoveIsLeftOutOnlyUnderAnUpperBoundBelowBeta) {
  // White is far ahead: with the null move the node fails high at once, without it every move is looked at.
  // A shallow upper bound cannot cut the node, but one below Beta says the null move would fail too.
  constexpr int32_t Beta = 100;
  const struct {
    bool Stored;
    int32_t Bound;
  } Cases[] = {{false, 0}, {true, Beta + 400}, {true, Beta - 50}};
  long long Counted[3];
  for (int i = 0; i < 3; ++i) {
    TSearchStack* SS = Prepare("3k4/8/8/8/8/8/2PPP3/QQQ1K3 w - - 0 1", 2);
    TranspositionTableClear(S);
    if (Cases[i].Stored) TranspositionTableStore(&P, 0, Cases[i].Bound, OnePly, TTKUpper, 2);
    S->TotalNodes = 0;
    EXPECT_GE(NegaScout(SS, 5 * OnePly, 2, Beta - 1, Beta, NTCut), Beta);
    Counted[i] = Nodes();
  }
  EXPECT_EQ(Counted[1], Counted[0]) << "an upper bound above Beta leaves the null move in";
  EXPECT_GT(Counted[2], Counted[0]) << "an upper bound below Beta leaves it out";
}

// Debug builds stop a node entered with a window or ply that no caller may pass: a wide window off the
// principal variation, an empty or out-of-range window, a ply past the stack.
using SearchNodeDeathTest = SearchNode;

TEST_F(SearchNodeDeathTest, CheckedBuildsStopAtAnImpossibleNodeEntry) {
#ifdef NDEBUG
  GTEST_SKIP() << "the checks are compiled into debug builds only";
#else
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  TSearchStack* SS = Prepare("startpos", 2);
  const struct {
    TNodeType Type;
    int Ply, Alpha, Beta;
    const char* Broken;
  } Cases[] = {
      {NTCut, 2, -50, 50, "NodeType == NTPV"}, {NTAll, 2, 0, 2, "NodeType == NTPV"},
      {NTPV, 2, 30, 30, "Alpha < Beta"},       {NTPV, 2, -InfinityScore - 1, 0, "InfinityScore <= Alpha"},
      {NTPV, MaxPly, -50, 50, "Ply < MaxPly"},
  };
  for (const auto& C : Cases)
    EXPECT_DEATH(NegaScout(SS, 4 * OnePly, C.Ply, C.Alpha, C.Beta, C.Type), C.Broken) << C.Broken;
  EXPECT_DEATH(Quiescence(SS, 2, 10, 10), "Alpha < Beta");
  // The legal entries of a null-window and a principal-variation node pass.
  EXPECT_GE(NegaScout(SS, OnePly, 2, -1, 0, NTCut), -InfinityScore);
  EXPECT_GE(NegaScout(SS, OnePly, 2, -InfinityScore, InfinityScore), -InfinityScore);
#endif
}

}  // namespace
