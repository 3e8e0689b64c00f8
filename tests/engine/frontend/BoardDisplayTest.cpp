// The small and the big board: the code page 437 pictures and their UTF-8 form on a Linux console.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "engine/frontend/BoardDisplay.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

TEST(BoardDisplay, SmallBoardOfTheInitialPosition) {
  TState* S = TestState();
  const std::string Light = " \xB0 \xB0 \xB0 \xB0", Dark = "\xB0 \xB0 \xB0 \xB0 ";
  // A board picture: a line of code per line of output.
  // clang-format off
  const std::string Cp437 =
      "  abcdefgh\n"
      " \xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF\n"
      "8\xB3rnbqkbnr\xB3" "8\n"
      "7\xB3pppppppp\xB3" "7\n"
      "6\xB3" + Light + "\xB3" "6\n"
      "5\xB3" + Dark + "\xB3" "5\n"
      "4\xB3" + Light + "\xB3" "4\n"
      "3\xB3" + Dark + "\xB3" "3\n"
      "2\xB3PPPPPPPP\xB3" "2\n"
      "1\xB3RNBQKBNR\xB3" "1\n"
      " \xC0\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xD9\n"
      "  abcdefgh\n"
      "\n"
      "\n";
  // clang-format on
  EXPECT_EQ(RenderSmallBoard(S), Cp437);
  EXPECT_EQ(ConsoleText(RenderSmallBoard(S)),
            "  abcdefgh\n"
            " ┌────────┐\n"
            "8│rnbqkbnr│8\n"
            "7│pppppppp│7\n"
            "6│ ░ ░ ░ ░│6\n"
            "5│░ ░ ░ ░ │5\n"
            "4│ ░ ░ ░ ░│4\n"
            "3│░ ░ ░ ░ │3\n"
            "2│PPPPPPPP│2\n"
            "1│RNBQKBNR│1\n"
            " └────────┘\n"
            "  abcdefgh\n"
            "\n"
            "\n");
  // The other two bytes of the big board, and plain text left alone.
  EXPECT_EQ(ConsoleText("\xB2\xDB a1"), "▓█ a1");
}

TEST(BoardDisplay, StatusTextOnBothBoards) {
  const struct {
    const char* Fen;
    const char* Status;
  } Cases[] = {
      {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "CHECKMATE !"},
      {"7k/5K2/6Q1/8/8/8/8/8 b - - 0 1", "STALEMATE !"},
      {"4k3/8/8/8/8/8/4R3/4K3 b - - 0 80", "CHECK !"},
      {"4k3/8/8/8/8/8/4R3/4K3 b - - 100 80", "CHECK AND DRAW !"},
      {"4k3/8/8/8/8/8/3R4/4K3 b - - 100 80", "DRAW !"},
      {"4k3/8/8/8/8/8/3R4/4K3 b - - 99 80", ""},
  };
  for (const auto& Case : Cases) {
    TState* S = TestStateWith(Case.Fen);
    const std::string Status = Case.Status;
    const std::vector<std::string> Small = Lines(RenderSmallBoard(S));
    ASSERT_EQ(Small.size(), 14u) << Case.Fen;
    EXPECT_EQ(Small[12], Status.empty() ? "" : "  " + Status) << Case.Fen;
    EXPECT_EQ(Small[13], "") << Case.Fen;
    const std::vector<std::string> Big = Lines(RenderBigBoard(S));
    ASSERT_EQ(Big.size(), 24u) << Case.Fen;
    EXPECT_EQ(Big[7].substr(57), "   " + Status + std::string(19 - Status.size(), ' ')) << Case.Fen;
    EXPECT_EQ(Big[6].substr(57, 19), S->Position.Side ? "Current side: BLACK" : "Current side: WHITE") << Case.Fen;
  }
}

TEST(BoardDisplay, BigBoardPicturesAndPanel) {
  TState* S = TestState();
  S->MaxDepth = 14;
  S->MaxTime = 300000;
  S->TimeLeft[0] = 299000;
  S->MovesLeft[0] = 40;
  S->MovesPerControl = 40;
  S->Nodes = 0;
  S->MaxNodes = 0;
  const std::vector<std::string> Rows = Lines(RenderBigBoard(S));
  ASSERT_EQ(Rows.size(), 24u);
  for (const std::string& Row : Rows) EXPECT_EQ(Row.size(), 79u);

  // The top rank: a light a8 with the black rook, a dark b8 with the knight; the top row of each block
  // names its square and its piece.
  EXPECT_EQ(Rows[0].substr(0, 14), "a8[-] rb8/\")\xB2n");
  EXPECT_EQ(Rows[1].substr(0, 14), "  [ ]  \xB2\xB2' (\xB2\xB2");
  EXPECT_EQ(Rows[2].substr(0, 14), " (___) \xB2(___)\xB2");
  // White's pieces are solid; an empty dark square is shaded all over.
  EXPECT_EQ(Rows[22].substr(0, 14), "\xB2\xB2[\xDB]\xB2\xB2  '\xDB\xDB( ");
  EXPECT_EQ(Rows[9].substr(0, 14), "a5\xB2\xB2\xB2\xB2 b5     ");
  EXPECT_EQ(Rows[10].substr(0, 14), "\xB2\xB2\xB2\xB2\xB2\xB2\xB2       ");

  const std::vector<std::string> Panel = {
      "Talvarind",
      "1.00.2012.04.10.0112",
      "(c) Talvarind authors",
      "Chess engine for UCI",
      "and XBoard interfaces",
      "",
      "Current side: WHITE",
      "",
      "Depth: 14",
      "Moves: 40/40",
      "Time: 299000/300000",
      "Nodes: 0/0",
      "",
      "| ply | white | black",
      "+=====+=======+=======",
  };
  for (size_t Row = 0; Row < Panel.size(); Row++)
    EXPECT_EQ(Rows[Row].substr(57), Panel[Row] + std::string(22 - Panel[Row].size(), ' ')) << "row " << Row;
  for (int Row = 15; Row < 24; Row++) EXPECT_EQ(Rows[Row].substr(56), " |     |       |       ") << "row " << Row;
}

TEST(BoardDisplay, MoveTableShowsTheLastPliesBottomAligned) {
  const std::vector<std::string> Game = {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4",
                                         "g8f6", "e1g1", "f8e7", "f1e1", "b7b5", "a4b3", "d7d6",
                                         "c2c3", "e8g8", "h2h3", "c6a5", "b3c2", "c7c5"};
  const auto Table = [](TState* S) {
    std::vector<std::string> Rows = Lines(RenderBigBoard(S));
    std::vector<std::string> Result;
    for (int Row = 15; Row < 24; Row++) Result.push_back(Rows[Row].substr(57));
    return Result;
  };
  const std::string Empty = "|     |       |       ";

  TState* S = TestState();
  ASSERT_TRUE(PlayMoves(S, {Game[0]}));
  std::vector<std::string> Rows = Table(S);
  for (int Row = 0; Row < 8; Row++) EXPECT_EQ(Rows[Row], Empty);
  EXPECT_EQ(Rows[8], "|   0 | e2e4  |       ");

  S = TestState();
  ASSERT_TRUE(PlayMoves(S, Game));
  Rows = Table(S);
  for (int Row = 0; Row < 9; Row++) {
    char Expected[32];
    std::snprintf(Expected, sizeof Expected, "|%4d | %-5s | %-5s ", 2 + 2 * Row, Game[2 + 2 * Row].c_str(),
                  Game[3 + 2 * Row].c_str());
    EXPECT_EQ(Rows[Row], Expected) << "row " << Row;
  }

  // Ply numbers count from the position's own start; a game begun by Black still fills "white" first.
  S = TestStateWith("4k3/8/8/8/8/8/8/4K2R b K - 0 31");
  ASSERT_TRUE(PlayMoves(S, {"e8d7", "e1g1", "d7e6"}));
  Rows = Table(S);
  EXPECT_EQ(Rows[7], "|  61 | e8d7  | e1g1  ");
  EXPECT_EQ(Rows[8], "|  63 | d7e6  |       ");
}

TEST(BoardDisplay, NumbersTooLongForTheirRowAreCutAtTheEdge) {
  TState* S = TestState();
  S->Nodes = INT64_MAX;
  S->MaxNodes = INT32_MIN;
  S->TimeLeft[0] = INT64_MIN;
  S->MaxTime = INT64_MAX;
  S->MovesLeft[0] = INT32_MIN;
  S->MovesPerControl = INT32_MIN;
  S->MaxDepth = INT32_MIN;
  const std::vector<std::string> Rows = Lines(RenderBigBoard(S));
  ASSERT_EQ(Rows.size(), 24u);
  for (const std::string& Row : Rows) EXPECT_EQ(Row.size(), 79u);
  EXPECT_EQ(Rows[11].substr(57), "Nodes: 922337203685477");
  EXPECT_EQ(Rows[10].substr(57), "Time: -922337203685477");
  EXPECT_EQ(Rows[12].substr(57), std::string(22, ' '));
}

}  // namespace
