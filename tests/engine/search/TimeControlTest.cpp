// Time control: the budget of a think, the stop check, and the UCI commands that reach a running search.
#include "engine/search/TimeControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "engine/frontend/UCI.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Timer.h"
#include "engine/search/Think.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"
#include "support/Thinks.h"

namespace {

using namespace std::chrono_literals;

// Plays moves given as text as game moves, with their clock bookkeeping.
::testing::AssertionResult PlayGame(TState* S, const std::vector<std::string>& Moves) {
  for (const std::string& Text : Moves) {
    const TMove M = ParseMove(S, Text);
    if (M == 0) return ::testing::AssertionFailure() << Text << " not parsed";
    if (!PlayGameMove(S, M)) return ::testing::AssertionFailure() << Text << " refused";
  }
  return ::testing::AssertionSuccess();
}

const std::vector<std::string> KnightShuffle = {"g1f3", "g8f6", "f3g1", "f6g8"};

TEST(TimeControlClock, GameMovesRunDownAndRefillTheClocks) {
  TState* S = TestState();
  TStateGuard Guard(S);
  S->MovesPerControl = 40;
  S->MaxTime = 60000;
  TestState();  // the clocks start from the limits
  ASSERT_EQ(S->MovesLeft[0], 40);
  ASSERT_EQ(S->TimeLeft[0], 60000);
  for (int Move = 1; Move <= 40; Move++) {
    ASSERT_TRUE(PlayGame(S, {KnightShuffle[(2 * Move - 2) % 4]}));
    if (Move < 40) {
      EXPECT_EQ(S->MovesLeft[SWhite], 40 - Move);
      EXPECT_EQ(S->TimeLeft[SWhite], 60000);
    }
    ASSERT_TRUE(PlayGame(S, {KnightShuffle[(2 * Move - 1) % 4]}));
  }
  // The 40th move of each side starts a new period with its time added.
  EXPECT_EQ(S->MovesLeft[SWhite], 40);
  EXPECT_EQ(S->TimeLeft[SWhite], 120000);
  EXPECT_EQ(S->MovesLeft[SBlack], 40);
  EXPECT_EQ(S->TimeLeft[SBlack], 120000);

  // One move per period: every move sets the mover's clock to the base time.
  S->MovesPerControl = 1;
  S->MaxTime = 5000;
  TestState();
  S->TimeLeft[SWhite] = 17;
  S->TimeLeft[SBlack] = 23;
  ASSERT_TRUE(PlayGame(S, {"e2e4"}));
  EXPECT_EQ(S->TimeLeft[SWhite], 5000);
  EXPECT_EQ(S->TimeLeft[SBlack], 23);
  EXPECT_EQ(S->MovesLeft[SWhite], 1);
  S->TimeLeft[SWhite] = 1;
  ASSERT_TRUE(PlayGame(S, {"e7e5"}));
  EXPECT_EQ(S->TimeLeft[SBlack], 5000);
  EXPECT_EQ(S->TimeLeft[SWhite], 1);

  // A whole game in one period: moves never add the base time again.
  S->MovesPerControl = 0;
  S->MaxTime = 5000;
  TestState();
  S->TimeLeft[SWhite] = 300;
  ASSERT_TRUE(PlayGame(S, {"d2d4", "d7d5"}));
  EXPECT_EQ(S->TimeLeft[SWhite], 300);
  EXPECT_EQ(S->TimeLeft[SBlack], 5000);
  EXPECT_EQ(S->MovesLeft[SWhite], 0);

  // Without a base time the clocks are left alone.
  S->MovesPerControl = 1;
  S->MaxTime = 0;
  S->TimeLeft[SWhite] = 777;
  ASSERT_TRUE(PlayGame(S, {"g1f3"}));
  EXPECT_EQ(S->TimeLeft[SWhite], 777);
  EXPECT_EQ(S->MovesLeft[SWhite], 1);
}

struct TBudgetCase {
  const char* Name;
  int32_t MovesPerControl;
  int32_t MovesLeft;
  int64_t TimeLeft;
  int64_t Increment;
  int64_t Budget;
  int64_t PonderingBudget;
};

const TBudgetCase BudgetCases[] = {
    // A fixed time per move: 1000 * 15 / 16 - 50; pondering may use it all.
    {"MoveTime", 1, 1, 1000, 0, 887, 950},
    {"FortyMovesToGo", 40, 40, 60000, 0, 2950, 3950},
    {"TwentyOneMovesToGoCountsAsTwenty", 40, 21, 60000, 0, 2950, 3950},
    {"FifteenMovesToGo", 40, 15, 60000, 0, 3950, 5283},
    {"TwoMovesToGo", 40, 2, 10000, 0, 4950, 6616},
    {"LastMoveOfAPeriod", 40, 1, 10000, 0, 4950, 7450},
    {"WholeGameWithIncrement", 0, 0, 60000, 1000, 2950, 3677},
    {"WholeGameWithoutIncrement", 0, 0, 60000, 0, 1450, 1950},
    // The budget never exceeds the clock: 100 / 30 + 5000 is cut to 100.
    {"IncrementBeyondTheClock", 0, 0, 100, 5000, 50, 50},
    {"ClockNearlyGone", 1, 1, 30, 0, 0, 0},
    {"NegativeMovesToGoGivesNothing", 40, -3, 9000, 0, 0, 0},
};

void PrintTo(const TBudgetCase& Case, std::ostream* Out) { *Out << Case.Name; }

class TimeControlBudget : public ::testing::TestWithParam<TBudgetCase> {};

TEST_P(TimeControlBudget, FollowsTheClockOfTheSideToMove) {
  const TBudgetCase& Case = GetParam();
  for (const char* Fen : {"startpos", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"}) {
    TState* S = TestStateWith(Fen);
    TThinkSettings Settings(S);
    const int Us = S->Position.Side >> 3, Them = Us ^ 1;
    SCOPED_TRACE(Us ? "black to move" : "white to move");
    S->MovesPerControl = Case.MovesPerControl;
    S->MovesLeft[Us] = Case.MovesLeft;
    S->TimeLeft[Us] = Case.TimeLeft;
    S->TimeIncrement[Us] = Case.Increment;
    // The other clock is deliberately far off: it must not be read.
    S->MovesLeft[Them] = 7;
    S->TimeLeft[Them] = 5000000;
    S->TimeIncrement[Them] = 99999;
    S->Pondering = false;
    EXPECT_EQ(ThinkBudget(S), Case.Budget);
    S->Pondering = true;
    EXPECT_EQ(ThinkBudget(S), Case.PonderingBudget);
  }
}

INSTANTIATE_TEST_SUITE_P(TimeControlCases, TimeControlBudget, ::testing::ValuesIn(BudgetCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The stop check with no dialogue (nothing is polled) and a think that started now.
class TimeControlStop : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestState();
    Settings = std::make_unique<TThinkSettings>(S);
    S->AbortSearch = false;
    S->Hint = false;
    S->MaxThinkTime = 0;
    S->MaxNodes = 0;
    S->IterativeDepth = 1;
    S->TotalNodes = 0;
    S->CheckCounter = 0;
    S->NodeInterval = 32768;
    S->StartTime = GetMilliseconds();
    S->LastPollTime = 0;
  }
  void TearDown() override { Settings.reset(); }

  bool ForcedCheck() { return CheckForStop(S, true, true); }

  TState* S = nullptr;
  std::unique_ptr<TThinkSettings> Settings;
};

TEST_F(TimeControlStop, NodeLimitAppliesFromTheThirdIteration) {
  S->MaxNodes = 1000;
  S->TotalNodes = 1000;
  S->IterativeDepth = 2;
  EXPECT_FALSE(ForcedCheck());
  S->IterativeDepth = 3;
  S->TotalNodes = 999;
  EXPECT_FALSE(ForcedCheck());
  S->TotalNodes = 1000;
  EXPECT_TRUE(ForcedCheck());
  EXPECT_TRUE(S->AbortSearch.load());
}

TEST_F(TimeControlStop, NoNodeLimitMeansNone) {
  S->IterativeDepth = 9;
  S->TotalNodes = 2000000000;
  EXPECT_FALSE(ForcedCheck());
}

TEST_F(TimeControlStop, OnceStoppedAlwaysStopped) {
  S->AbortSearch = true;
  EXPECT_TRUE(CheckForStop(S, false, false));
  EXPECT_TRUE(CheckForStop(S, true, true));
  EXPECT_EQ(S->CheckCounter.load(), 0) << "a search already stopping counts nothing";
}

TEST_F(TimeControlStop, UnforcedChecksLookOnlyEveryIntervalNodes) {
  S->MaxNodes = 1000;
  S->TotalNodes = 5000;
  S->IterativeDepth = 3;
  S->NodeInterval = 4;
  EXPECT_FALSE(CheckForStop(S, false, false));
  EXPECT_FALSE(CheckForStop(S, false, false));
  EXPECT_FALSE(CheckForStop(S, false, false));
  EXPECT_EQ(S->CheckCounter.load(), 3);
  EXPECT_FALSE(S->AbortSearch.load()) << "the limit is past but nobody has looked yet";
  EXPECT_TRUE(CheckForStop(S, false, false));
  EXPECT_EQ(S->CheckCounter.load(), 0);
}

TEST_F(TimeControlStop, BudgetStopsTheThinkWhenSpent) {
  S->MaxThinkTime = 100;
  EXPECT_FALSE(ForcedCheck());
  S->StartTime = GetMilliseconds() - 100;
  EXPECT_TRUE(ForcedCheck());
}

TEST_F(TimeControlStop, ZeroBudgetIsNoTimeLimit) {
  S->MaxThinkTime = 0;
  S->StartTime = GetMilliseconds() - 3600000;
  EXPECT_FALSE(ForcedCheck());
  S->Hint = true;
  EXPECT_FALSE(ForcedCheck());
}

TEST_F(TimeControlStop, HintThinkStopsOnlyAfterItsSecond) {
  S->Hint = true;
  S->MaxThinkTime = 1000;
  S->StartTime = GetMilliseconds() - 500;
  EXPECT_FALSE(ForcedCheck());
  S->StartTime = GetMilliseconds() - 5000;
  EXPECT_TRUE(ForcedCheck());
}

TEST_F(TimeControlStop, HintThinkIgnoresTheNodeLimit) {
  S->Hint = true;
  S->MaxThinkTime = 1000;
  S->MaxNodes = 10;
  S->TotalNodes = 100000;
  S->IterativeDepth = 5;
  EXPECT_FALSE(ForcedCheck());
}

// The UCI in-search handler on a pipe: one line per call, whole lines only, case-sensitive.
class TimeControlUCIInput : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestState();
    Settings = std::make_unique<TThinkSettings>(S);
    Input = std::make_unique<TInputPipe>();
    S->AbortSearch = false;
    S->Quit = false;
    S->PonderSearch = false;
  }
  void TearDown() override {
    Input.reset();
    Settings.reset();
  }

  // Handles one line and returns what was printed meanwhile.
  std::string Handle() {
    TOutputCapture Tap;
    ProcessUCIInputWhileSearch(S);
    return Tap.Finish();
  }

  TState* S = nullptr;
  std::unique_ptr<TThinkSettings> Settings;
  std::unique_ptr<TInputPipe> Input;
};

TEST_F(TimeControlUCIInput, OnlyStopQuitPonderhitAndIsreadyDoAnything) {
  Input->Send("isready\nSTOP\ngo infinite\n\n  ponderhit \t\n stop\r\n");
  S->PonderSearch = true;
  for (int I = 0; I < 4; I++) {
    EXPECT_EQ(Handle(), I == 0 ? "readyok\n" : "") << "only isready is answered during a search";
    EXPECT_FALSE(S->AbortSearch.load()) << "line " << I;
  }
  EXPECT_TRUE(S->PonderSearch.load());
  EXPECT_EQ(Handle(), "");
  EXPECT_FALSE(S->PonderSearch.load());
  EXPECT_FALSE(S->AbortSearch.load());
  EXPECT_EQ(Handle(), "");
  EXPECT_TRUE(S->AbortSearch.load());
  EXPECT_FALSE(S->Quit.load());
}

TEST_F(TimeControlUCIInput, QuitStopsAndEndsTheDialogue) {
  Input->Send("quit\n");
  S->PonderSearch = true;
  Handle();
  EXPECT_TRUE(S->AbortSearch.load());
  EXPECT_TRUE(S->Quit.load());
  EXPECT_FALSE(S->PonderSearch.load());
}

TEST_F(TimeControlUCIInput, PartialLineWaitsForItsEnd) {
  Input->Send("sto");
  Handle();
  EXPECT_FALSE(S->AbortSearch.load());
  Input->Send("p\n");
  Handle();
  EXPECT_TRUE(S->AbortSearch.load());
}

// Whole UCI thinks fed through a pipe. A think that does not end when it should is stopped by the test
// after a generous wait, so a fault fails the test instead of hanging the run.
class TimeControlUCISearch : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestStateWith("startpos");
    Settings = std::make_unique<TThinkSettings>(S);
    EnterFace(S, MUCI);
    S->PostThinking = true;
    S->UsedThreadCount = S->ThreadCount;  // all threads, so the stop has to reach the helpers too
    Input = std::make_unique<TInputPipe>();
  }
  void TearDown() override {
    Input.reset();
    Settings.reset();
  }

  void Start() {
    Tap = std::make_unique<TOutputCapture>();
    Result = std::async(std::launch::async, [this] { return Think(S); });
  }

  // Waits for a finished iteration's report: on a busy machine even the first may take a while.
  void WaitForAnIteration() {
    const auto Deadline = std::chrono::steady_clock::now() + 60s;
    while (Tap->Text().find(" pv ") == std::string::npos && std::chrono::steady_clock::now() < Deadline)
      std::this_thread::sleep_for(10ms);
  }

  // Waits for the think to end; false when it had to be stopped by force.
  bool Finish() {
    const bool InTime = Result.wait_for(10s) == std::future_status::ready;
    if (!InTime) S->AbortSearch = true;
    Chosen = Result.get();
    Output = Tap->Finish();
    Tap.reset();
    return InTime;
  }

  TState* S = nullptr;
  std::unique_ptr<TThinkSettings> Settings;
  std::unique_ptr<TInputPipe> Input;
  std::unique_ptr<TOutputCapture> Tap;
  std::future<bool> Result;
  bool Chosen = false;
  std::string Output;
};

TEST_F(TimeControlUCISearch, StopEndsAnInfiniteThinkWithAMove) {
  Start();
  WaitForAnIteration();
  Input->Send("isready\n");
  Input->Send("stop\n");
  ASSERT_TRUE(Finish()) << "the think ignored stop";
  EXPECT_TRUE(Chosen);
  EXPECT_NE(S->BestMove, 0u);
  EXPECT_FALSE(S->Quit.load());
  std::vector<std::string> Others;
  const std::vector<TInfoLine> Infos = InfoLines(Output, &Others);
  EXPECT_EQ(Others, std::vector<std::string>{"readyok"}) << "isready is answered during a search:\n" << Output;
  ExpectWellFormedIterations(Infos);
  const TInfoLine* Last = LastComplete(Infos);
  ASSERT_NE(Last, nullptr);
  EXPECT_EQ(Last->PV[0], MoveToString(S->BestMove));
}

TEST_F(TimeControlUCISearch, QuitEndsTheThinkAndTheDialogue) {
  Start();
  std::this_thread::sleep_for(300ms);
  Input->Send("quit\n");
  ASSERT_TRUE(Finish()) << "the think ignored quit";
  EXPECT_TRUE(S->Quit.load());
  EXPECT_NE(S->BestMove, 0u);
}

TEST_F(TimeControlUCISearch, EndOfInputEndsTheThinkAndTheDialogue) {
  Start();
  std::this_thread::sleep_for(300ms);
  Input->Close();
  ASSERT_TRUE(Finish()) << "the think ran on after its input ended";
  EXPECT_TRUE(S->Quit.load());
  EXPECT_NE(S->BestMove, 0u);
}

}  // namespace
