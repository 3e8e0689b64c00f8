// The UCI dialogue inside the test process on a pipe: the game, limits and options it leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/board/Position.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/UCI.h"
#include "support/InProcess.h"
#include "support/Processes.h"
#include "support/Replay.h"
#include "support/TestState.h"

namespace {

using namespace std::chrono_literals;

class UciState : public TInProcessTest {
 protected:
  // Runs the dialogue on Input (then the end of input) and returns what it wrote.
  std::string Dialogue(std::string_view Input, std::string FirstLine = "") {
    return RunInProcess(S, Input, [&] { UCI(S, FirstLine); });
  }
};

TEST_F(UciState, StartSetsTheDialogueUp) {
  S->Mode = MNone;
  S->PostThinking = false;
  S->MaxDepth = DefaultShellDepth;
  Replay({"e2e4", "e7e5"});
  EXPECT_EQ(Dialogue(""), "");
  EXPECT_EQ(S->Mode, MUCI);
  EXPECT_TRUE(S->PostThinking);
  EXPECT_EQ(S->MaxDepth, 256);
  EXPECT_EQ(S->HistoryPly, 0);
  EXPECT_EQ(S->Position.Side, CWhite);
  EXPECT_EQ(S->Position.Board[SQ_E2], PWhitePawn);
}

TEST_F(UciState, FirstLineQuitAndEndOfInput) {
  // The first line is answered before anything is read.
  const std::string Uci = Dialogue("isready\n", "uci");
  EXPECT_EQ(Uci.rfind("id name Talvarind ", 0), 0u) << Uci;
  EXPECT_NE(Uci.find("uciok\nreadyok\n"), std::string::npos) << Uci;
  EXPECT_EQ(Dialogue("isready\n", "isready"), "readyok\nreadyok\n");
  // "quit" ends the dialogue: what follows it is not read.
  EXPECT_EQ(Dialogue("quit\nisready\n"), "");
  EXPECT_EQ(Dialogue("", "quit"), "");
  // The end of input ends it too, after the last line; one without a line end still counts.
  EXPECT_EQ(Dialogue("isready\nisready"), "readyok\nreadyok\n");
}

TEST_F(UciState, ThreadsOption) {
  const int32_t Count = S->ThreadCount;
  auto Set = [&](const std::string& Line) { EXPECT_EQ(Dialogue(Line + "\n"), "") << Line; };
  Set("setoption name Threads value 1");
  EXPECT_EQ(S->MaxThreadCount, 1);
  EXPECT_EQ(S->UsedThreadCount, 1);
  // None asked for: at least one is still used.
  Set("setoption name Threads value 0");
  EXPECT_EQ(S->MaxThreadCount, 0);
  EXPECT_EQ(S->UsedThreadCount, 1);
  Set("setoption name Threads value -3");
  EXPECT_EQ(S->MaxThreadCount, -3);
  EXPECT_EQ(S->UsedThreadCount, 1);
  // More than exist: cut to the threads there are.
  Set("setoption name Threads value 1000");
  EXPECT_EQ(S->MaxThreadCount, Count);
  EXPECT_EQ(S->UsedThreadCount, Count);
  Set("setoption name Threads value 1");
  // No number, or one out of the 32-bit range: nothing changes.
  for (const char* Line :
       {"setoption name Threads value two", "setoption name Threads value 4294967297",
        "setoption name Threads value 1x", "setoption name Threads value", "setoption name Threads",
        "setoption name Threads value 2 3", "setoption name threads value 2", "setoption name Threads Count value 2"}) {
    Set(Line);
    EXPECT_EQ(S->MaxThreadCount, 1) << Line;
    EXPECT_EQ(S->UsedThreadCount, 1) << Line;
  }
  // Every word before "value" but "name" makes up the name, so the "name" word is optional.
  Set("setoption Threads value 1000");
  EXPECT_EQ(S->MaxThreadCount, Count);
  Set("setoption name Threads value   1  ");
  EXPECT_EQ(S->MaxThreadCount, 1);
  // The search runs on the threads chosen.
  EXPECT_NE(Dialogue("go depth 4\n").find("\nbestmove "), std::string::npos);
}

TEST_F(UciState, CheckOptions) {
  struct TCase {
    const char* Value;
    bool On;
  };
  for (const TCase& Case : {TCase{"true", true}, TCase{"false", false}, TCase{"TRUE", false}, TCase{"  true  ", true},
                            TCase{"True", false}, TCase{"true false", false}, TCase{"1", false}}) {
    S->UseFastEval = !Case.On;
    S->UseThreadSleeping = !Case.On;
    EXPECT_EQ(Dialogue(std::string("setoption name FastEval value ") + Case.Value + "\n" +
                       "setoption name ThreadSleeping value " + Case.Value + "\n"),
              "");
    EXPECT_EQ(S->UseFastEval, Case.On) << Case.Value;
    EXPECT_EQ(S->UseThreadSleeping.load(), Case.On) << Case.Value;
  }
  // A name that is not an option's changes nothing.
  S->UseFastEval = false;
  Dialogue("setoption name Fast Eval value true\nsetoption name fasteval value true\n");
  EXPECT_FALSE(S->UseFastEval);
}

TEST_F(UciState, PositionCommand) {
  // Two legal moves, then an illegal one ends the list.
  Dialogue("position startpos moves e2e4 e7e5 e1e1 g1f3\n");
  EXPECT_EQ(S->HistoryPly, 2);
  EXPECT_EQ(S->Position.Side, CWhite);
  EXPECT_EQ(S->Position.Board[SQ_E4], PWhitePawn);
  EXPECT_EQ(S->Position.Board[SQ_E5], PBlackPawn);
  EXPECT_EQ(S->Position.Board[SQ_G1], PWhiteKnight);
  const uint64_t AfterTwo = S->Position.Hash;
  EXPECT_EQ(Replay({"e2e4", "e7e5"})->Position.Hash, AfterTwo);

  // After the failing word the rest is read as words of "position" again.
  Dialogue("position startpos moves e2e4 zz startpos moves d2d4\n");
  EXPECT_EQ(S->HistoryPly, 1);
  EXPECT_EQ(S->Position.Board[SQ_E2], PWhitePawn);
  EXPECT_EQ(S->Position.Board[SQ_D4], PWhitePawn);

  // A FEN, then a move played from it.
  const std::string Fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  Dialogue("position fen " + Fen + " moves e1g1\n");
  EXPECT_EQ(S->HistoryPly, 1);
  EXPECT_EQ(S->Position.Side, CBlack);
  EXPECT_EQ(S->Position.Board[SQ_G1], PWhiteKing);
  EXPECT_EQ(S->Position.Board[SQ_F1], PWhiteRook);
  EXPECT_EQ(S->Position.Board[SQ_H1], PEmpty);
  EXPECT_EQ(S->Position.Hash, Replay({"e1g1"}, Fen)->Position.Hash);

  // A FEN starts a new game record, like "startpos": the earlier moves are not kept under it.
  Dialogue("position startpos moves e2e4 e7e5\nposition fen " + Fen + "\n");
  EXPECT_EQ(S->HistoryPly, 0);
  EXPECT_EQ(S->Position.Board[SQ_E1], PWhiteKing);
  Dialogue("position startpos moves e2e4 e7e5\nposition epd " + Fen + " moves a1b1 a8b8\n");
  EXPECT_EQ(S->HistoryPly, 2);
  EXPECT_EQ(S->Position.Hash, Replay({"a1b1", "a8b8"}, Fen)->Position.Hash);

  // "startpos" keeps the search tables, "ucinewgame" clears them. (A line that arrives during a search is
  // dropped, so these are sent after the answer.)
  const std::string Await = std::string(AwaitAnswer) + "\n";
  Dialogue("go depth 3\n" + Await + "position startpos\n");
  EXPECT_TRUE(S->TranspositionTableDirty.load());
  EXPECT_EQ(S->HistoryPly, 0);
  Dialogue("go depth 3\n" + Await + "ucinewgame\n");
  EXPECT_FALSE(S->TranspositionTableDirty.load());
  EXPECT_EQ(S->HistoryPly, 0);
  EXPECT_EQ(S->Position.Board[SQ_E2], PWhitePawn);
}

TEST_F(UciState, GameRecordHoldsAThousandHalfMoves) {
  std::string Line = "position startpos moves";
  for (int I = 0; I < 300; I++) Line += " g1f3 g8f6 f3g1 f6g8";
  Dialogue(Line + "\n");
  // The record is full at 1024; the moves beyond it are dropped.
  EXPECT_EQ(S->HistoryPly, 1024);
  EXPECT_EQ(S->Position.Side, CWhite);
  EXPECT_EQ(S->Position.Board[SQ_G1], PWhiteKnight);
  EXPECT_EQ(S->Position.Board[SQ_G8], PBlackKnight);
}

TEST_F(UciState, GoSetsTheMoversClockOnly) {
  // InitBoard at the start of the dialogue fills both clocks from these.
  S->MaxTime = 1234;
  S->MovesPerControl = 7;
  std::string Output = Dialogue("go wtime 5000 btime 7000 winc 100 binc 200 depth 1\n");
  EXPECT_NE(Output.find("\nbestmove "), std::string::npos) << Output;
  EXPECT_EQ(S->MaxTime, 5000);
  EXPECT_EQ(S->MovesPerControl, 0) << "an increment without moves to go is the whole game";
  EXPECT_EQ(S->MaxDepth, 1);
  EXPECT_EQ(S->MaxThinkTime, 5000 / 30 + 100 - 50);
  EXPECT_EQ(S->TimeIncrement[SWhite], 100);
  // Charged with the increment less the think, and no period to count.
  EXPECT_LE(S->TimeLeft[SWhite], 5100);
  EXPECT_GT(S->TimeLeft[SWhite], 5100 - Patience(2000ms).count());
  EXPECT_EQ(S->MovesLeft[SWhite], 0);
  EXPECT_EQ(S->TimeLeft[SBlack], 1234);
  EXPECT_EQ(S->MovesLeft[SBlack], 7);
  EXPECT_EQ(S->TimeIncrement[SBlack], 0);
  EXPECT_EQ(S->HistoryPly, 1);

  // "startpos" fills the clocks from these again; e2e4 then uses one of White's seven moves.
  S->MaxTime = 1234;
  S->MovesPerControl = 7;
  Output = Dialogue("position startpos moves e2e4\ngo wtime 5000 btime 7000 winc 100 binc 300 movestogo 10 depth 1\n");
  EXPECT_NE(Output.find("\nbestmove "), std::string::npos) << Output;
  EXPECT_EQ(S->MaxTime, 7000);
  EXPECT_EQ(S->MovesPerControl, 10);
  EXPECT_EQ(S->MaxThinkTime, 7000 / 10 - 50);
  EXPECT_EQ(S->TimeIncrement[SBlack], 300);
  EXPECT_LE(S->TimeLeft[SBlack], 7300);
  EXPECT_EQ(S->MovesLeft[SBlack], 9);
  EXPECT_EQ(S->TimeLeft[SWhite], 1234);
  EXPECT_EQ(S->TimeIncrement[SWhite], 0);
  EXPECT_EQ(S->MovesLeft[SWhite], 6);

  // A side whose time is not a number has no clock: the search has no time limit.
  Dialogue("go wtime soon btime 7000 depth 1\n");
  EXPECT_EQ(S->MaxTime, 0);
  EXPECT_EQ(S->TimeLeft[SWhite], 0);
  EXPECT_TRUE(S->InfiniteSearch);
  // Moves to go that is not a number gives the forty.
  Dialogue("go movestogo many wtime 60000 btime 60000 depth 1\n");
  EXPECT_EQ(S->MovesPerControl, 40);
  EXPECT_EQ(S->MaxThinkTime, 60000 / 20 - 50);
  EXPECT_FALSE(S->InfiniteSearch);
}

// "debug on" gives each think on a clock the budget it then keeps to; a think without one says nothing.
TEST_F(UciState, DebugReportsTheBudgetOfEachThinkOnAClock) {
  struct TCase {
    const char* Input;
    const char* Report;  // nullptr: no budget line
  };
  const TCase Cases[] = {
      {"debug on\ngo wtime 5000 btime 7000 depth 1\n", "info string budget 200 ms\n"},
      // The increment counts when no moves to go are given: 10000 / 30 + 1000 - 50.
      {"debug on\ngo wtime 10000 btime 10000 winc 1000 binc 1000 depth 1\n", "info string budget 1283 ms\n"},
      {"debug on\ngo wtime 10000 btime 10000 winc 1000 binc 1000 movestogo 30 depth 1\n",
       "info string budget 450 ms\n"},
      {"debug on\ngo wtime 10000 btime 10000 binc 1000 depth 1\n", "info string budget 450 ms\n"},
      {"debug on\ngo movetime 1000 depth 1\n", "info string budget 887 ms\n"},
      {"debug on\ngo depth 1\n", nullptr},
      {"debug on\ndebug off\ngo wtime 5000 btime 7000 depth 1\n", nullptr},
      {"go wtime 5000 btime 7000 depth 1\n", nullptr},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Input);
    const std::string Output = Dialogue(C.Input);
    ASSERT_NE(Output.find("bestmove "), std::string::npos) << Output;
    if (C.Report) {
      EXPECT_EQ(Output.rfind(C.Report, 0), 0u) << Output;
      EXPECT_EQ(std::string(C.Report), "info string budget " + std::to_string(S->MaxThinkTime) + " ms\n");
    } else {
      EXPECT_EQ(Output.find("budget"), std::string::npos) << Output;
    }
  }
}

TEST_F(UciState, GoTimeModes) {
  // Fixed time per move: the clock is refilled to it after the move.
  Dialogue("go movetime 1000 depth 1\n");
  EXPECT_EQ(S->MaxThinkTime, 887);
  EXPECT_EQ(S->MaxTime, 1000);
  EXPECT_EQ(S->MovesPerControl, 1);
  EXPECT_EQ(S->TimeLeft[SWhite], 1000);
  EXPECT_EQ(S->MovesLeft[SWhite], 1);
  EXPECT_EQ(S->TimeIncrement[SWhite], 0);
  EXPECT_FALSE(S->Pondering);

  // "ponder" switches pondering on for good: larger shares of the clock.
  Dialogue("go ponder movetime 1000 depth 1\n");
  EXPECT_TRUE(S->Pondering);
  EXPECT_EQ(S->MaxThinkTime, 950);
  Dialogue("go wtime 60000 btime 60000 depth 1\n");
  EXPECT_EQ(S->MaxThinkTime, 60000 / 15 - 50);
  S->Pondering = false;

  // Without time words, and with "infinite", there is no clock; later words override earlier ones.
  Dialogue("go wtime 60000 infinite depth 1\n");
  EXPECT_EQ(S->MaxTime, 0);
  EXPECT_EQ(S->MovesPerControl, 1);
  EXPECT_EQ(S->MaxDepth, 1);
  EXPECT_EQ(S->TimeLeft[SWhite], 0);
  EXPECT_EQ(S->MaxThinkTime, 0);
  EXPECT_TRUE(S->InfiniteSearch);
  Dialogue("go nodes 30000 depth 3\n");
  EXPECT_EQ(S->MaxNodes, 30000);
  EXPECT_EQ(S->NodeInterval, 30000);
  EXPECT_EQ(S->MaxDepth, 3);
  // "infinite" after limits clears them; the waiting "stop" ends the search.
  const std::string Output = Dialogue("go depth 3 nodes 500 infinite\nstop\n");
  EXPECT_NE(Output.find("\nbestmove "), std::string::npos) << Output;
  EXPECT_EQ(S->MaxDepth, 0);
  EXPECT_EQ(S->MaxNodes, 0);
  // Numbers are signed 32-bit: one beyond gives the default.
  Dialogue("go depth 2147483647 movetime 100\n");
  EXPECT_EQ(S->MaxDepth, 2147483647);
  Dialogue("go depth 2147483648 movetime 100\n");
  EXPECT_EQ(S->MaxDepth, 0);
  EXPECT_EQ(S->MaxThinkTime, 100 * 15 / 16 - 50);
}

TEST_F(UciState, GoWithoutALegalMoveAnswersNone) {
  // Interfaces wait for "bestmove" after every "go"; a mated or stalemated side has none to give.
  const std::string Mated = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
  const std::string Stalemated = "7k/8/6QK/8/8/8/8/8 b - - 0 1";
  const struct {
    std::string Fen, Go;
  } Cases[] = {
      {Mated, "go depth 3\n"},
      {Stalemated, "go wtime 1000 btime 1000 winc 10 binc 10\n"},
      {Stalemated, "go movetime 50\n"},
      {Mated, "go infinite\nstop\n"},
  };
  for (const auto& Case : Cases) {
    const std::string Output = Dialogue("position fen " + Case.Fen + "\n" + Case.Go + "isready\n");
    EXPECT_NE(Output.find("\nbestmove (none)\nreadyok\n"), std::string::npos) << Case.Go << Output;
    EXPECT_EQ(S->HistoryPly, 0) << Case.Go;
  }
}

}  // namespace
