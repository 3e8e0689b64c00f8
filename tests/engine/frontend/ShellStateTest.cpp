// The interactive shell inside the test process on a pipe: its answers, and the game and limits it leaves
// behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/frontend/Settings.h"
#include "engine/frontend/Shell.h"
#include "engine/moves/GameEnd.h"
#include "support/InProcess.h"
#include "support/PositionChecks.h"
#include "support/Processes.h"
#include "support/ProtocolLines.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

std::vector<std::string> HistoryOf(const TState* S) {
  std::vector<std::string> Moves;
  for (int K = 0; K < S->HistoryPly; K++) Moves.push_back(MoveToString(S->HistoryStack[K].Move));
  return Moves;
}

class ShellState : public TInProcessTest {
 protected:
  void SetUp() override {
    TInProcessTest::SetUp();
    S->MaxDepth = DefaultShellDepth;
  }
  // The whole output for Input, then the end of input (which ends the shell).
  std::string Shell(const std::string& Input) {
    return RunInProcess(S, Input, [&] { ShellInterface(S); });
  }
};

TEST_F(ShellState, AnswersEachLine) {
  // Legal moves of the initial position, captures first, sixteen to a line, a blank after every other.
  std::string Legal;
  int Count = 0;
  for (const std::string& Move : LegalMoves(Replay({}))) Legal += Move + (++Count % 16 ? " " : "\n");
  const std::string Threads = std::to_string(S->ThreadCount);
  const std::string Stalemate = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\n";
  const struct {
    const char* Name;
    std::string Input;
    std::vector<std::string> Replies;  // the last one answers the end of input
  } Cases[] = {
      {"not shaped like moves",
       "e2e9\ne2e4x\nbogus\n\n e2e4\ne2e\ni2i4\n",
       {"Invalid input!", "Invalid input!", "Invalid input!", "Invalid input!", "Invalid input!", "Invalid input!",
        "Invalid input!", ""}},
      {"illegal moves", "e2e5\ne1g1\ne7e5\n", {"Illegal move!", "Illegal move!", "Illegal move!", ""}},
      {"moves in any letter case", "E2E4\ne7e5\nG1f3\n", {"[board]", "[board]", "[board]", ""}},
      {"only the exact line self plays", "SELF\nself \nSelf\nview\n", {"[board]", "[board]", "[board]", "[board]", ""}},
      {"perft",
       "perft 3\nperft\nx\n\n2\n",
       {"Found 8902 moves in N milliseconds", "Maximal depth (1)? Found 400 moves in N milliseconds", ""}},
      {"depth",
       "depth\n\nx\n9\ndepth 6\ndepth x\n5\n",
       {"Maximal depth (14)? [board]", "[board]", "Maximal depth (0)? [board]", ""}},
      {"yes or no",
       "fasteval\nyes\n\n Y \nfasteval n\nthreadsleeping\nN\n",
       {"Should use fast evaluation [y/n] (n)? [board]", "[board]", "Should threads can sleeping [y/n] (n)? [board]",
        ""}},
      {"limits",
       "threads\n1\ntime\n1000\ntimeinc\n10\nmoves\n40\nnodes\n500\ntime\n",
       {"Maximal threads (" + Threads + ")? [board]", "Maximal time in milliseconds (0)? [board]",
        "Time increment in milliseconds (0)? [board]", "Max moves (1)? [board]", "Max nodes (0)? [board]",
        "Maximal time in milliseconds (1000)? "}},
      {"evaluations", "eval\nevalfast\ne2e4\neval\nEvalFast\n", {"4", "4", "[board]", "11", "1", ""}},
      {"position",
       "position\n\nposition\nstartpos moves e2e4\nundo\nundo\n",
       {"Position? Invalid input!", "Position? [board]", "[board]", "", ""}},
      {"history",
       "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1\nhist\nnew\nhist\n",
       {"[board]", " e2e4  e7e5  g1f3  b8c6  f1b5  a7a6  b5a4  g8f6 \n e1g1 ", "[board]", "", ""}},
      {"legal moves", "legal\n", {Legal, ""}},
      {"a finished game", Stalemate + "find\nself\nlegal\n", {"[board]", "", "[board]", "", ""}},
      {"quit", "quit\ne2e4\n", {""}},
      {"exit", "EXIT\n", {""}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Output = Shell(Case.Input);
    EXPECT_EQ(Replies(Output), Case.Replies) << Output;
    TearDown();
    SetUp();
  }
}

TEST_F(ShellState, HelpInAnyLetterCase) {
  const std::vector<std::string> Answers = Replies(Shell("help\nHelp\nHELP\n"));
  ASSERT_EQ(Answers.size(), 4u);
  EXPECT_EQ(std::count(Answers[0].begin(), Answers[0].end(), '\n'), 23) << Answers[0];
  EXPECT_EQ(Answers[0].rfind("new            New game\nexit/quit      Back to OS\n", 0), 0u) << Answers[0];
  EXPECT_EQ(Answers[1], Answers[0]);
  EXPECT_EQ(Answers[2], Answers[0]);
}

TEST_F(ShellState, LeavesTheGameAndLimits) {
  const char* Fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const struct {
    std::string Input;
    std::function<bool(const TState*)> Limits;
    std::vector<std::string> Game;  // the moves of the game record afterwards, played from From
    const char* From = "startpos";
  } Cases[] = {
      {"depth 6\nnodes 5000\nfasteval y\nthreadsleeping Y",
       [](auto S) { return S->MaxDepth == 6 && S->MaxNodes == 5000 && S->UseFastEval && S->UseThreadSleeping; },
       {}},
      {"threads 0", [](auto S) { return S->MaxThreadCount == 0 && S->UsedThreadCount == 1; }, {}},
      {"threads 99", [](auto S) { return S->UsedThreadCount == S->ThreadCount; }, {}},
      {"moves 40\ntime 6000000000\ntimeinc 5000",
       [](auto S) {
         return S->MovesPerControl == 40 && S->MovesLeft[0] == 40 && S->MovesLeft[1] == 40 &&
                S->MaxTime == 6000000000 && S->TimeLeft[0] == 6000000000 && S->TimeLeft[1] == 6000000000 &&
                S->TimeIncrement[1] == 5000;
       },
       {}},
      // Without a time limit nobody's clock runs; with one the user's move is charged to the mover.
      {"timeinc 5000\nE2E4\ne7e5", [](auto S) { return S->TimeLeft[0] == 0 && S->TimeLeft[1] == 0; }, {"e2e4", "e7e5"}},
      {"moves 40\ntime 60000\ntimeinc 5000\ne2e4",
       [](auto S) { return S->TimeLeft[0] > 0 && S->TimeLeft[0] <= 65000 && S->TimeLeft[1] == 60000; },
       {"e2e4"}},
      {"e2e4\ntime 5000\nnew", [](auto S) { return S->TimeLeft[0] == 5000 && S->TimeLeft[1] == 5000; }, {}},
      {"position startpos moves e2e4 e7e5\nundo", nullptr, {"e2e4"}},
      // Moves up to the first that is not legal; the words after it only count as keywords.
      {"position startpos moves e2e4 e2e4 e7e5 startpos moves d2d4", nullptr, {"d2d4"}},
      {std::string("position fen ") + Fen + " moves e1g1 e8c8", nullptr, {"e1g1", "e8c8"}, Fen},
      // A new board is a new game: nothing from before it may be taken back onto it.
      {std::string("e2e4\nposition epd ") + Fen + "\nundo", nullptr, {}, Fen},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Input);
    Shell(Case.Input + "\n");
    EXPECT_TRUE(!Case.Limits || Case.Limits(S));
    const TPosition Got = S->Position;
    const std::vector<std::string> Game = HistoryOf(S);
    ASSERT_NE(Replay(Case.Game, Case.From), nullptr);
    EXPECT_TRUE(SamePosition(Got, S->Position));
    EXPECT_EQ(Game, Case.Game);
    TearDown();
    SetUp();
  }
}

TEST_F(ShellState, SelfPlayFinishesTheGame) {
  const std::vector<std::string> Answers = Replies(Shell("depth 2\nself\n"));
  ASSERT_EQ(Answers.size(), 3u);
  EXPECT_TRUE(IsDraw(&S->Position) || IsStalemate(&S->Position)) << Answers[1];
  // A board before every move, the move, and the finished game's board.
  std::string Expected;
  for (const std::string& Move : HistoryOf(S)) Expected += "[board]\n" + Move + "\n";
  EXPECT_GT(S->HistoryPly, 0);
  EXPECT_EQ(Answers[1], Expected + "[board]");
}

TEST_F(ShellState, AFullGameRecordStopsCleanly) {
  std::string Line = "position startpos moves";
  for (int I = 0; I < MaxHistoryStack / 4; I++) Line += " g1f3 g8f6 f3g1 f6g8";
  const std::vector<std::string> Answers = Replies(Shell(Line + "\ne2e4\ndepth 2\nfind\nself\nundo\n"));
  // The engine's move is found but the record takes no more; self-play sees a game drawn by length.
  ASSERT_EQ(Answers.size(), 7u) << Dump(Answers);
  EXPECT_EQ(S->HistoryPly, MaxHistoryStack - 1);
  EXPECT_EQ(Answers[1], "Illegal move!");
  EXPECT_TRUE(IsLegalMove(Replay({}), Answers[3])) << Answers[3];
  EXPECT_EQ(Answers[4], "[board]");
}

}  // namespace
