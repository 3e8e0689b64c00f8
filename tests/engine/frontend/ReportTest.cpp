// The progress reports, character for character: the UCI info line and the XBoard thinking line.
#include "engine/frontend/Reports.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/moves/Notation.h"
#include "engine/platform/Timer.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"
#include "support/Text.h"
#include "support/Thinks.h"

namespace {

// Direct calls of the two report functions on hand-set fields.
class ReportLine : public ::testing::Test {
 protected:
  void SetUp() override {
    S = TestStateWith("startpos");
    Settings = std::make_unique<TThinkSettings>(S);
  }
  void TearDown() override { Settings.reset(); }

  // Plain quiet moves; the reports only read their squares.
  static TMove Quiet(const std::string& Text) {
    const int From = (Text[0] - 'a') + 8 * (Text[1] - '1'), To = (Text[2] - 'a') + 8 * (Text[3] - '1');
    return MakeMoveWord(From, To);
  }

  void SetPV(const std::vector<std::string>& Moves) {
    std::memset(S->PV, 0, sizeof S->PV);
    for (size_t I = 0; I < Moves.size(); I++) S->PV[I] = Quiet(Moves[I]);
  }

  static std::string Printed(const std::function<void()>& Report) {
    TOutputCapture Tap;
    Report();
    return Tap.Finish();
  }

  TState* S = nullptr;
  std::unique_ptr<TThinkSettings> Settings;
};

TEST_F(ReportLine, UCILineOfAThinkJustStarted) {
  SetPV({});
  S->Nodes = 0;
  // The clock may tick between setting the start and printing; only a tick-free sample is judged.
  std::string Line;
  for (int Attempt = 0; Attempt < 20; Attempt++) {
    Line = Printed([&] {
      S->StartTime = GetMilliseconds();
      DumpUCIState(S, 5);
    });
    if (Line.find(" time 0 ") != std::string::npos) break;
  }
  EXPECT_EQ(Line, "score cp 5 time 0 nodes 0 nps 0 pv\n");
}

TEST_F(ReportLine, UCILineWithNoTimeElapsedHasNoSpeed) {
  SetPV({"e2e4"});
  S->Nodes = 4321;
  std::string Line;
  for (int Attempt = 0; Attempt < 20; Attempt++) {
    Line = Printed([&] {
      S->StartTime = GetMilliseconds();
      DumpUCIState(S, 0);
    });
    if (Line.find(" time 0 ") != std::string::npos) break;
  }
  EXPECT_EQ(Line, "score cp 0 time 0 nodes 4321 nps 0 pv e2e4\n");
}

TEST_F(ReportLine, UCILineCarriesScoreTimeNodesSpeedAndVariation) {
  SetPV({"e2e4", "e7e5", "g1f3", "b8c6"});
  S->Nodes = 56789;
  const std::string Line = Printed([&] {
    S->StartTime = GetMilliseconds() - 1234;
    DumpUCIState(S, -1998);
  });
  std::smatch M;
  ASSERT_TRUE(std::regex_match(
      Line, M, std::regex(R"(score cp -1998 time (\d+) nodes 56789 nps (\d+) pv e2e4 e7e5 g1f3 b8c6\n)")))
      << Line;
  const long long Time = std::stoll(M[1]);
  EXPECT_GE(Time, 1234);
  EXPECT_LT(Time, 1234 + 1000) << "hang guard only";
  EXPECT_EQ(std::stoll(M[2]), 56789LL * 1000 / Time) << "nodes per second, rounded down";
}

TEST_F(ReportLine, UCILineWritesTheWholeVariation) {
  // A variation that fills the array has no terminator; every entry is written and nothing beyond.
  const TMove Shuffle[4] = {Quiet("g1f3"), Quiet("g8f6"), Quiet("f3g1"), Quiet("f6g8")};
  for (int I = 0; I < 256; I++) S->PV[I] = Shuffle[I % 4];
  S->Nodes = 1;
  S->StartTime = GetMilliseconds();
  const std::string Line = Printed([&] { DumpUCIState(S, 0); });
  const size_t PV = Line.find(" pv ");
  ASSERT_NE(PV, std::string::npos);
  const std::vector<std::string> Moves = Words(Line.substr(PV + 4));
  ASSERT_EQ(Moves.size(), 256u);
  EXPECT_EQ(Moves[0], "g1f3");
  EXPECT_EQ(Moves[255], "f6g8");
}

TEST_F(ReportLine, XBoardLineHasFixedColumns) {
  EnterFace(S, MXBoard);
  S->PostThinking = true;
  S->IterativeDepth = 5;
  S->Nodes = 56789;
  SetPV({"e2e4", "e7e5"});
  S->Dumped = false;
  const std::string Line = Printed([&] {
    S->StartTime = GetMilliseconds() - 1234;
    DumpState(S, 34);
  });
  EXPECT_TRUE(S->Dumped);
  // The elapsed centiseconds read 123 unless the clock ticked past 1239 ms meanwhile.
  if (Line.find(" 124 ") != std::string::npos) {
    EXPECT_EQ(Line, "  5       34      124        56789 e2e4 e7e5\n");
  } else {
    EXPECT_EQ(Line, "  5       34      123        56789 e2e4 e7e5\n");
  }
}

TEST_F(ReportLine, XBoardLineWithoutVariationEndsAfterTheNodes) {
  EnterFace(S, MXBoard);
  S->PostThinking = true;
  S->IterativeDepth = 12;
  S->Nodes = 0;
  SetPV({});
  const std::string Line = Printed([&] {
    S->StartTime = GetMilliseconds();
    DumpState(S, -1999);
  });
  EXPECT_TRUE(std::regex_match(Line, std::regex(R"( 12    -1999        [01]            0\n)"))) << Line;
}

// Mates are counted in moves, in each protocol's own form; other scores stay centipawns.
struct TMateReportCase {
  int32_t Score;
  const char* Uci;
  int32_t XBoard;
};

const TMateReportCase MateReportCases[] = {
    {MateScore - 1, "mate 1", 100001},
    {MateScore - 3, "mate 2", 100002},
    {MateScore - 5, "mate 3", 100003},
    {MateMinScore, "mate 500", 100500},
    {-MateScore, "mate 0", -100000},
    {-MateScore + 2, "mate -1", -100001},
    {-MateScore + 4, "mate -2", -100002},
    {-MateMinScore, "mate -500", -100500},
    {MateMinScore - 1, "cp 30999", 30999},
    {-(MateMinScore - 1), "cp -30999", -30999},
    {0, "cp 0", 0},
};

TEST_F(ReportLine, MateScoresCountMovesInBothProtocols) {
  SetPV({});
  S->Nodes = 0;
  for (const TMateReportCase& Case : MateReportCases) {
    EnterFace(S, MUCI);
    const std::string Uci = Printed([&] { DumpUCIState(S, Case.Score); });
    EXPECT_EQ(Uci.rfind(std::string("score ") + Case.Uci + " time ", 0), 0u) << Case.Score << ": " << Uci;
    EnterFace(S, MXBoard);
    S->PostThinking = true;
    const std::string XBoard = Printed([&] { DumpState(S, Case.Score); });
    std::istringstream Fields(XBoard);
    int32_t Depth = 0, Reported = 0;
    Fields >> Depth >> Reported;
    EXPECT_EQ(Reported, Case.XBoard) << Case.Score << ": " << XBoard;
  }
}

TEST_F(ReportLine, XBoardNumbersWiderThanTheirFieldsAreWrittenInFull) {
  EnterFace(S, MXBoard);
  S->PostThinking = true;
  S->IterativeDepth = 1234;
  S->Nodes = 1234567890123;
  SetPV({"d2d4"});
  const std::string Line = Printed([&] {
    S->StartTime = GetMilliseconds();
    DumpState(S, -123456789);
  });
  EXPECT_TRUE(std::regex_match(Line, std::regex(R"(1234 -123456789 +[01] 1234567890123 d2d4\n)"))) << Line;
}

TEST_F(ReportLine, PostingOffPrintsNothingButCountsAsDone) {
  SetPV({"e2e4"});
  S->StartTime = GetMilliseconds();
  for (auto [Mode, Posting] : {std::pair{MXBoard, false}, {MUCI, true}, {MNone, true}}) {
    EnterFace(S, Mode);
    S->PostThinking = Posting;
    S->Dumped = false;
    EXPECT_EQ(Printed([&] { DumpState(S, 10); }), "") << "mode " << Mode;
    EXPECT_TRUE(S->Dumped) << "mode " << Mode;
  }
}

TEST(ReportThink, XBoardThinkPostsOneLinePerIteration) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  EnterFace(S, MXBoard);
  S->PostThinking = true;
  S->MaxDepth = 4;
  TInputPipe Input;
  std::string Output;
  {
    TOutputCapture Tap;
    ASSERT_TRUE(Think(S));
    Output = Tap.Finish();
  }
  const std::vector<std::string> Got = Lines(Output);
  ASSERT_EQ(Got.size(), 4u) << Output;
  const std::regex Format(R"(  (\d) ([ -]{0,7}-?\d+) ([ ]{0,7}\d+) ([ ]{0,11}\d+)((?: [a-h][1-8][a-h][1-8][qrbn]?)+))");
  for (size_t I = 0; I < Got.size(); I++) {
    std::smatch M;
    ASSERT_TRUE(std::regex_match(Got[I], M, Format)) << Got[I];
    EXPECT_EQ(M[2].length(), 8);
    EXPECT_EQ(M[3].length(), 8);
    EXPECT_EQ(M[4].length(), 12);
    EXPECT_EQ(std::stoi(M[1]), int(I) + 1);
  }
  EXPECT_EQ(Words(Got.back()).at(4), MoveToString(S->BestMove));
  EXPECT_EQ(std::stoll(Words(Got.back()).at(3)), S->Nodes);
}

TEST(ReportThink, ShellThinkPrintsNothing) {
  TState* S = TestStateWith("startpos");
  TThinkSettings Settings(S);
  EnterFace(S, MNone);
  S->PostThinking = true;
  S->MaxDepth = 3;
  TOutputCapture Tap;
  ASSERT_TRUE(Think(S));
  EXPECT_EQ(Tap.Finish(), "");
}

TEST(ReportThink, UCIThinkCompletesEveryHeadItPrints) {
  TState* S = TestStateWith("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  TThinkSettings Settings(S);
  S->MaxDepth = 4;
  const TThinkResult R = ThinkUCI(S);
  ASSERT_TRUE(R.Chosen);
  EXPECT_TRUE(R.Others.empty()) << R.Output;
  ExpectWellFormedIterations(R.Infos);
  ASSERT_EQ(CompleteCount(R.Infos), 4) << R.Output;
  for (const TInfoLine& Info : R.Infos) {
    EXPECT_EQ(Info.Nps, Info.Time ? Info.Nodes * 1000 / Info.Time : 0) << Info.Text;
    EXPECT_FALSE(Info.PV.empty()) << Info.Text;
  }
}

}  // namespace
