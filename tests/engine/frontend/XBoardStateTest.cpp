// The XBoard dialogue inside the test process on a pipe: the limits, clocks and options it leaves
// behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/board/PositionCheck.h"
#include "engine/frontend/XBoard.h"
#include "engine/search/TransTable.h"
#include "support/InProcess.h"
#include "support/TestState.h"

namespace {

class XBoardState : public TInProcessTest {
 protected:
  // The whole output for Input, then "force" and "quit" (so that no think outlasts the input).
  std::string Dialogue(const std::string& Input) {
    return RunInProcess(S, Input + "force\nquit\n", [&] { XBoard(S); });
  }
};

TEST_F(XBoardState, LimitsAndClocks) {
  const struct {
    const char* Line;
    int32_t MaxDepth, MaxNodes, MovesPerControl;
    int64_t MaxTime, Increment;
  } Cases[] = {
      {"sd 7\nsd 999", 256, 0, 1, 0, 0},
      {"sd 7", 7, 0, 1, 0, 0},
      {"sn 100\nsn -5", 256, 0, 1, 0, 0},
      {"sn 5000", 256, 5000, 1, 0, 0},
      {"level 40 5 0", 256, 0, 40, 300000, 0},
      {"level 40 0:30 0", 256, 0, 40, 30000, 0},
      {"level 0 2:30 12", 256, 0, 0, 150000, 12000},
      {"level 40 x 0", 256, 0, 1, 0, 0},
      {"st 7", 256, 0, 1, 7000, 0},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Line);
    S->MovesPerControl = 1;
    S->MaxTime = 0;
    S->MaxNodes = 0;
    Dialogue(std::string(Case.Line) + "\n");
    EXPECT_EQ(S->MaxDepth, Case.MaxDepth);
    EXPECT_EQ(S->MaxNodes, Case.MaxNodes);
    EXPECT_EQ(S->MovesPerControl, Case.MovesPerControl);
    EXPECT_EQ(S->MaxTime, Case.MaxTime);
    for (int Side = 0; Side < 2; Side++) {
      EXPECT_EQ(S->TimeLeft[Side], Case.MaxTime);
      EXPECT_EQ(S->TimeIncrement[Side], Case.Increment);
      EXPECT_EQ(S->MovesLeft[Side], Case.MovesPerControl);
    }
  }
  // Moves left to the control after "go": 40 a control, White to move after 10 plies has made 5. The "?"
  // stands between the think and the end of input: on a loaded machine the think would otherwise read the
  // end of input first and leave without a move.
  Dialogue("level 40 5 0\nforce\ng1f3\ng8f6\nf3g1\nf6g8\ng1f3\ng8f6\nf3g1\nf6g8\nb1c3\nb8c6\nsd 1\ngo\n?\n");
  EXPECT_EQ(S->HistoryPly, 11);
  EXPECT_EQ(S->MovesLeft[0], 34);  // 35, less the move just played
  EXPECT_EQ(Dialogue("cores 1\nhard\n"),
            "tellics say     Talvarind 1.00.2012.04.10.0112\ntellics say     by Yorvane 'Kesk' Drummelt\n");
  EXPECT_EQ(S->MaxThreadCount, 1);
  EXPECT_EQ(S->UsedThreadCount, 1);
  EXPECT_TRUE(S->Pondering);
  Dialogue("cores 0\neasy\n");
  EXPECT_EQ(S->UsedThreadCount, 1);
  EXPECT_FALSE(S->Pondering);
}

TEST_F(XBoardState, ClocksSentDuringTheHintOrPonderingAreKept) {
  // The engine plays Black at a second a move; "time" and "otim" come just before the user's move, while
  // the hint is looked for or while the engine ponders. White's clock is then the "otim" sent: 7 s, not
  // the second a move refills.
  const std::string Await = std::string(AwaitAnswer) + "\n";
  const struct {
    const char* Name;
    std::string Input;
  } Cases[] = {
      {"during the hint", "st 1\nhint\ntime 100\notim 700\ne2e4\n" + Await},
      {"while pondering", "st 1\nhard\ne2e4\n" + Await + "time 100\notim 700\na2a3\n" + Await},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Output = Dialogue(Case.Input);
    EXPECT_EQ(Output.find("Error"), std::string::npos) << Output;
    EXPECT_EQ(S->TimeLeft[0], 7000);
  }
}

TEST_F(XBoardState, MemorySizesTheTable) {
  // N MiB rounded down to a power of two; a size beyond the machine is refused and the table kept.
  const int64_t Before = TranspositionTableMegabytes(S);
  const std::string Greeting =
      "tellics say     Talvarind 1.00.2012.04.10.0112\ntellics say     by Yorvane 'Kesk' Drummelt\n";
  const struct {
    const char* Line;
    int64_t Megabytes;
    std::string Reply;
  } Cases[] = {
      {"memory 64", 64, ""},
      {"memory 100", 64, ""},
      {"memory 2000000000", 64, "Error (more than the machine's memory; the 64 MB table is kept): memory 2000000000\n"},
      {"memory x", 64, "Error (command not legal now): memory\n"},
      {"memory 16", 16, ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Line);
    EXPECT_EQ(Dialogue(std::string(Case.Line) + "\n"), Greeting + Case.Reply);
    EXPECT_EQ(TranspositionTableMegabytes(S), Case.Megabytes);
  }
  Dialogue("memory " + std::to_string(Before) + "\n");
  EXPECT_EQ(TranspositionTableMegabytes(S), Before);
}

TEST_F(XBoardState, EditDropsAnEnPassantSquareWithoutItsPawn) {
  const std::string SetUp = "setboard 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1\n";
  Dialogue(SetUp);
  EXPECT_EQ(S->Position.EnPassant, 43);  // d6: the pawn that passed it is on d5, and e5 can take
  Dialogue(SetUp + "edit\nxd5\n.\n");
  EXPECT_EQ(S->Position.EnPassant, -1);
  EXPECT_EQ(PositionFaults(&S->Position), "");
  // An edit that leaves the pawns alone keeps the square.
  Dialogue(SetUp + "edit\nPa2\n.\n");
  EXPECT_EQ(S->Position.EnPassant, 43);
  EXPECT_EQ(PositionFaults(&S->Position), "");
}

}  // namespace
