// The XBoard dialogue inside the test process on a pipe: the limits, clocks and options it leaves
// behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "InProcess.h"
#include "TestSupport.h"
#include "engine/frontend/XBoard.h"

namespace {

class XBoardState : public e2e::TInProcessTest {
 protected:
  // The whole output for Input, then "force" and "quit" (so that no think outlasts the input).
  std::string Dialogue(const std::string& Input) {
    return e2e::RunInProcess(S, Input + "force\nquit\n", [&] { XBoard(S); });
  }
};

TEST_F(XBoardState, LimitsAndClocks) {
  const struct {
    const char* Line;
    int32_t MaxDepth, MaxNodes, MaxMoves;
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
    S->MaxMoves = 1;
    S->MaxTime = 0;
    S->MaxNodes = 0;
    Dialogue(std::string(Case.Line) + "\n");
    EXPECT_EQ(S->MaxDepth, Case.MaxDepth);
    EXPECT_EQ(S->MaxNodes, Case.MaxNodes);
    EXPECT_EQ(S->MaxMoves, Case.MaxMoves);
    EXPECT_EQ(S->MaxTime, Case.MaxTime);
    for (int Side = 0; Side < 2; Side++) {
      EXPECT_EQ(S->TimeLeft[Side], Case.MaxTime);
      EXPECT_EQ(S->TimeIncrement[Side], Case.Increment);
      EXPECT_EQ(S->MovesLeft[Side], Case.MaxMoves);
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

}  // namespace
