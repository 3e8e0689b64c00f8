// The interactive shell: dialogues run inside the test process on a pipe, to read its answers and the
// game and limits it leaves behind (ShellState); the real executable through pipes (ShellProgram) and
// on a pseudo-terminal, as a person at a console runs it (ShellTerminal).
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "InProcess.h"
#include "Replay.h"
#include "TestSupport.h"
#include "engine/board/PositionChecks.h"
#include "engine/frontend/Shell.h"
#include "engine/moves/GameEnd.h"

namespace {

using namespace std::chrono_literals;
using e2e::Dump;
using e2e::Patience;
using e2e::TEngineProcess;

std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> Lines;
  size_t At = 0;
  while (At < Text.size()) {
    size_t End = Text.find('\n', At);
    if (End == std::string::npos) End = Text.size();
    std::string Line = Text.substr(At, End - At);
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    Lines.push_back(Line);
    At = End + 1;
  }
  return Lines;
}

// One answer: its lines joined by line feeds, a drawn board (24 lines, the first holding a8 and the
// program's name) as "[board]", perft times as N.
std::string Condense(const std::string& Text) {
  static const std::regex Time("in [0-9]+ milliseconds");
  const std::vector<std::string> Lines = SplitLines(Text);
  std::string Out;
  for (size_t I = 0; I < Lines.size(); I++) {
    std::string Line = Lines[I];
    const size_t Board = Line.find("a8");
    if (Board != std::string::npos && Line.find("Talvarind", Board) != std::string::npos) {
      Line = Line.substr(0, Board) + "[board]";
      I += 23;
    }
    Out += std::regex_replace(Line, Time, "in N milliseconds") + "\n";
  }
  if (!Out.empty()) Out.pop_back();
  return Out;
}

// The shell's answer to each line it read: the text between one ">" prompt and the next (no board or
// answer holds a ">"). What came before the first prompt is left out.
std::vector<std::string> Replies(const std::string& Output) {
  std::vector<std::string> Result;
  size_t At = Output.find('>');
  while (At != std::string::npos) {
    const size_t Next = Output.find('>', At + 1);
    Result.push_back(Condense(Output.substr(At + 1, Next == std::string::npos ? std::string::npos : Next - At - 1)));
    At = Next;
  }
  return Result;
}

std::vector<std::string> HistoryOf(const TState* S) {
  std::vector<std::string> Moves;
  for (int K = 0; K < S->HistoryPly; K++) Moves.push_back(MoveToString(S->HistoryStack[K].Move));
  return Moves;
}

class ShellState : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestState();
    S->MaxDepth = 14;
  }
  void TearDown() override {
    S->Quit = false;
    S->MaxDepth = 14;
    S->MaxNodes = 0;
    S->MaxTime = 0;
    S->MaxMoves = 1;
    S->TimeIncrement[0] = S->TimeIncrement[1] = 0;
    S->UseFastEval = false;
    S->UseThreadSleeping = false;
    S->MaxThreadCount = S->UsedThreadCount = S->ThreadCount;
    ParkInput();
    TestState();
  }
  // The whole output for Input, then the end of input (which ends the shell).
  std::string Shell(const std::string& Input) {
    return e2e::RunInProcess(S, Input, [&] { ShellInterface(S); });
  }
  TState* S = nullptr;
};

TEST_F(ShellState, AnswersEachLine) {
  // Legal moves of the initial position, captures first, sixteen to a line, a blank after every other.
  std::string Legal;
  int Count = 0;
  for (const std::string& Move : e2e::LegalMoves(e2e::Replay({}))) Legal += Move + (++Count % 16 ? " " : "\n");
  const std::string Threads = std::to_string(S->ThreadCount);
  const std::string Stalemate = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\n";
  const struct {
    const char* Name;
    std::string Input;
    std::vector<std::string> Replies;  // the last one answers the end of input
  } Cases[] = {
      {"not shaped like moves", "e2e9\ne2e4x\nbogus\n\n e2e4\ne2e\ni2i4\n", {"Invalid input!", "Invalid input!",
       "Invalid input!", "Invalid input!", "Invalid input!", "Invalid input!", "Invalid input!", ""}},
      {"illegal moves", "e2e5\ne1g1\ne7e5\n", {"Illegal move!", "Illegal move!", "Illegal move!", ""}},
      {"moves in any letter case", "E2E4\ne7e5\nG1f3\n", {"[board]", "[board]", "[board]", ""}},
      {"only the exact line self plays", "SELF\nself \nSelf\nview\n", {"[board]", "[board]", "[board]", "[board]", ""}},
      {"perft", "perft 3\nperft\nx\n\n2\n",
       {"Found 8902 moves in N milliseconds", "Maximal depth (1)? Found 400 moves in N milliseconds", ""}},
      {"depth", "depth\n\nx\n9\ndepth 6\ndepth x\n5\n",
       {"Maximal depth (14)? [board]", "[board]", "Maximal depth (0)? [board]", ""}},
      {"yes or no", "fasteval\nyes\n\n Y \nfasteval n\nthreadsleeping\nN\n",
       {"Should use fast evaluation [y/n] (n)? [board]", "[board]", "Should threads can sleeping [y/n] (n)? [board]", ""}},
      {"limits", "threads\n1\ntime\n1000\ntimeinc\n10\nmoves\n40\nnodes\n500\ntime\n",
       {"Maximal threads (" + Threads + ")? [board]", "Maximal time in milliseconds (0)? [board]",
        "Time increment in milliseconds (0)? [board]", "Max moves (1)? [board]", "Max nodes (0)? [board]",
        "Maximal time in milliseconds (1000)? "}},
      {"evaluations", "eval\nevalfast\ne2e4\neval\nEvalFast\n", {"4", "4", "[board]", "11", "1", ""}},
      {"position", "position\n\nposition\nstartpos moves e2e4\nundo\nundo\n",
       {"Position? Invalid input!", "Position? [board]", "[board]", "", ""}},
      {"history", "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1\nhist\nnew\nhist\n",
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
  const std::vector<std::string> Lines = SplitLines(Answers[0]);
  ASSERT_EQ(Lines.size(), 24u) << Answers[0];
  EXPECT_EQ(Lines.front(), "new            New game");
  EXPECT_EQ(Lines.back(), "otherwise move like a2a3 or a7a8q (\"nbrq\" as last char for promotion)");
  EXPECT_EQ(Answers[1], Answers[0]);
  EXPECT_EQ(Answers[2], Answers[0]);
}

TEST_F(ShellState, SettingsAndClocks) {
  const struct {
    const char* Input;
    std::function<void(const TState*)> Check;
  } Cases[] = {
      {"depth 6", [](const TState* S) { EXPECT_EQ(S->MaxDepth, 6); }},
      {"threads 1", [](const TState* S) { EXPECT_EQ(S->UsedThreadCount, 1); }},
      {"threads 0",
       [](const TState* S) {
         EXPECT_EQ(S->MaxThreadCount, 0);
         EXPECT_EQ(S->UsedThreadCount, 1);
       }},
      {"threads 99", [](const TState* S) { EXPECT_EQ(S->UsedThreadCount, S->ThreadCount); }},
      {"fasteval y\nthreadsleeping Y",
       [](const TState* S) {
         EXPECT_TRUE(S->UseFastEval);
         EXPECT_TRUE(S->UseThreadSleeping);
       }},
      {"nodes 5000", [](const TState* S) { EXPECT_EQ(S->MaxNodes, 5000); }},
      {"moves 40\ntime 6000000000\ntimeinc 5000",
       [](const TState* S) {
         EXPECT_EQ(S->MaxMoves, 40);
         EXPECT_EQ(S->MovesLeft[0], 40);
         EXPECT_EQ(S->MovesLeft[1], 40);
         EXPECT_EQ(S->MaxTime, 6000000000);
         EXPECT_EQ(S->TimeLeft[0], 6000000000);
         EXPECT_EQ(S->TimeLeft[1], 6000000000);
         EXPECT_EQ(S->TimeIncrement[0], 5000);
         EXPECT_EQ(S->TimeIncrement[1], 5000);
       }},
      // Without a time limit nobody's clock runs.
      {"timeinc 5000\ne2e4\ne7e5",
       [](const TState* S) {
         EXPECT_EQ(S->TimeLeft[0], 0);
         EXPECT_EQ(S->TimeLeft[1], 0);
       }},
      // The user's move is charged to the mover only, with the increment.
      {"moves 40\ntime 60000\ntimeinc 5000\ne2e4",
       [](const TState* S) {
         EXPECT_GT(S->TimeLeft[0], 0);
         EXPECT_LE(S->TimeLeft[0], 65000);
         EXPECT_EQ(S->TimeLeft[1], 60000);
         EXPECT_EQ(S->MovesLeft[0], 39);
       }},
      {"time 5000\nnew",
       [](const TState* S) {
         EXPECT_EQ(S->TimeLeft[0], 5000);
         EXPECT_EQ(S->HistoryPly, 0);
       }},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Input);
    Shell(std::string(Case.Input) + "\n");
    Case.Check(S);
    TearDown();
    SetUp();
  }
}

TEST_F(ShellState, SetsUpPositions) {
  const char* Fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const struct {
    std::string Input;
    std::vector<std::string> Moves;  // the game the shell must hold afterwards
    const char* From;
  } Cases[] = {
      {"position startpos moves e2e4 e7e5", {"e2e4", "e7e5"}, "startpos"},
      {"E2E4\ne7e5\nundo", {"e2e4"}, "startpos"},
      // Moves up to the first that is not legal; the words after it only count as keywords.
      {"position startpos moves e2e4 e2e4 e7e5 startpos moves d2d4", {"d2d4"}, "startpos"},
      {std::string("position fen ") + Fen + " moves e1g1 e8c8", {"e1g1", "e8c8"}, Fen},
      // A new board is a new game: nothing from before it may be taken back onto it.
      {std::string("e2e4\nposition epd ") + Fen + "\nundo", {}, Fen},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Input);
    Shell(Case.Input + "\n");
    const TPosition Got = S->Position;
    const std::vector<std::string> Game = HistoryOf(S);
    ASSERT_NE(e2e::Replay(Case.Moves, Case.From), nullptr);
    EXPECT_TRUE(SamePosition(Got, S->Position));
    EXPECT_EQ(Game, Case.Moves);
    TearDown();
    SetUp();
  }
}

TEST_F(ShellState, SelfPlayFinishesTheGame) {
  const std::vector<std::string> Answers = Replies(Shell("depth 2\nself\n"));
  ASSERT_EQ(Answers.size(), 3u);
  EXPECT_TRUE(IsDraw(&S->Position) || IsStalemate(&S->Position)) << Answers[1];
  // A board before every move, the move, and the finished game's board.
  std::vector<std::string> Expected;
  for (const std::string& Move : HistoryOf(S)) Expected.insert(Expected.end(), {"[board]", Move});
  Expected.push_back("[board]");
  EXPECT_GT(S->HistoryPly, 0);
  EXPECT_LE(S->HistoryPly, 255);
  EXPECT_EQ(SplitLines(Answers[1]), Expected);
}

TEST_F(ShellState, AFullGameRecordStopsCleanly) {
  std::string Line = "position startpos moves";
  for (int I = 0; I < MaxHistoryStack / 4; I++) Line += " g1f3 g8f6 f3g1 f6g8";
  const std::vector<std::string> Answers = Replies(Shell(Line + "\ne2e4\ndepth 2\nfind\nself\nundo\n"));
  // The engine's move is found but the record takes no more; self-play sees a game drawn by length.
  ASSERT_EQ(Answers.size(), 7u) << Dump(Answers);
  EXPECT_EQ(S->HistoryPly, MaxHistoryStack - 1);
  EXPECT_EQ(Answers[1], "Illegal move!");
  EXPECT_TRUE(e2e::IsLegalMove(e2e::Replay({}), Answers[3])) << Answers[3];
  EXPECT_EQ(Answers[4], "[board]");
  EXPECT_EQ(Answers[5], "[board]");
}

// The real program, through pipes.
TEST(ShellProgram, StartsWithoutTheDialogueWords) {
  const std::vector<std::vector<std::string>> Arguments = {{}, {"XBOARD"}, {"Uci"}, {"shell"}};
  for (const auto& Args : Arguments) {
    SCOPED_TRACE(Args.empty() ? "no argument" : Args[0]);
    TEngineProcess Engine;
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, Args));
    std::string Seen;
    ASSERT_TRUE(Engine.ReadUntilText(">", Seen, Patience(10s))) << Seen;
    EXPECT_EQ(Condense(Seen), "[board]\n>") << Seen;
    EXPECT_NE(Seen.find("Depth: 14 "), std::string::npos) << Seen;
    Engine.Send("quit");
    EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  }
}

TEST(ShellProgram, EndOfInputEndsTheProgram) {
  // At the prompt, and inside a command's own prompt.
  for (const char* Typed : {"", "depth\n", "position\n", "fasteval\n"}) {
    SCOPED_TRACE(Typed);
    TEngineProcess Engine;
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, {}));
    Engine.SendRaw(Typed);
    Engine.CloseInput();
    EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  }
}

TEST(ShellProgram, HandsOverToTheDialogues) {
  const struct {
    const char* Line;
    std::vector<std::string> Then, Expect;
  } Cases[] = {
      // The dialogue gets the line that started it, so the "uci" typed at the prompt is answered.
      {"uci", {"isready"}, {"id name Talvarind 1.00.2012.04.10.0112", "id author Yorvane 'Kesk' Drummelt", "uciok", "readyok"}},
      {"XBoard", {"ping 3"}, {"tellics say     Talvarind 1.00.2012.04.10.0112", "tellics say     by Yorvane 'Kesk' Drummelt", "pong 3"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Line);
    TEngineProcess Engine;
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, {}));
    std::string Seen;
    ASSERT_TRUE(Engine.ReadUntilText(">", Seen, Patience(10s))) << Seen;
    Engine.Send(Case.Line);
    for (const std::string& Line : Case.Then) Engine.Send(Line);
    std::vector<std::string> Lines;
    std::string Line;
    for (const std::string& Expected : Case.Expect)
      ASSERT_TRUE(Engine.ReadUntil([&](const std::string& L) { return L == Expected; }, Line, Patience(10s), &Lines))
          << Dump(Lines);
    // The dialogue's "quit" ends the program; the shell does not come back.
    Engine.Send("quit");
    Lines.clear();
    while (Engine.ReadLine(Line, Patience(10s))) Lines.push_back(Line);
    EXPECT_TRUE(Engine.OutputEnded());
    EXPECT_EQ(Lines, std::vector<std::string>{});
    EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  }
}

// The console path: a pseudo-terminal opened here, the program started on it without arguments.
TEST(ShellTerminal, PlaysAMoveTypedAtTheConsole) {
  int Master = -1, Terminal = -1;
  if (openpty(&Master, &Terminal, nullptr, nullptr, nullptr) != 0)
    GTEST_SKIP() << "no pseudo-terminal can be opened here (/dev/ptmx and /dev/pts are needed)";
  close(Master);
  close(Terminal);
  TEngineProcess Engine;
  ASSERT_TRUE(Engine.StartOnTerminal(TALVARIND_EXE, {}));
  std::string Seen;
  ASSERT_TRUE(Engine.ReadUntilText(">", Seen, Patience(10s))) << Seen;
  const std::vector<std::string> Board = SplitLines(Seen.substr(0, Seen.size() - 1));
  ASSERT_EQ(Board.size(), 24u) << Seen;
  for (const std::string& Line : Board) {
    // Characters, not bytes: the shades and blocks take three bytes each in UTF-8.
    size_t Columns = 0;
    for (const char C : Line) Columns += ((unsigned char)C & 0xC0) != 0x80;
    EXPECT_EQ(Columns, 79u) << Line;
  }
  EXPECT_NE(Seen.find("\xE2\x96\x88"), std::string::npos) << "full blocks in UTF-8";
  EXPECT_NE(Seen.find("Current side: WHITE"), std::string::npos) << Seen;

  Engine.SendRaw("e2e4\n");
  ASSERT_TRUE(Engine.ReadUntilText("\n>", Seen, Patience(10s))) << Seen;
  EXPECT_NE(Seen.find("Current side: BLACK"), std::string::npos) << Seen;
  EXPECT_NE(Seen.find("|   0 | e2e4  |"), std::string::npos) << Seen;

  Engine.SendRaw("quit\n");
  EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
}

}  // namespace
