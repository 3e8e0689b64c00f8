// The XBoard dialogue: whole conversations with the real executable (XBoardDialogue). The limits and
// clocks it leaves behind are checked in tests/engine/frontend/XBoardStateTest.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "engine/frontend/BoardDisplay.h"
#include "support/Processes.h"
#include "support/ProtocolLines.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// A thinking line's score and the first move of its variation (empty when it has none); false for any
// other line.
bool ReadThinking(const std::string& Line, int& Score, std::string& First) {
  std::smatch Match;
  if (!std::regex_match(Line, Match, ThinkingLine)) return false;
  Score = std::stoi(Match[2]);
  const std::string PV = Match[5];
  First =
      PV.empty() ? "" : PV.substr(1, PV.find(' ', 1) == std::string::npos ? std::string::npos : PV.find(' ', 1) - 1);
  return true;
}

std::string NotLegal(const std::string& Word) { return "Error (command not legal now): " + Word; }
std::string Unknown(const std::string& Word) { return "Error (unknown command): " + Word; }

// The small board as a Linux console shows it, for the position after Moves from Fen.
std::vector<std::string> BoardLines(const std::vector<std::string>& Moves, const char* Fen = "startpos") {
  TState* S = Replay(Moves, Fen);
  if (!S) return {"(moves not legal: " + Join(Moves) + ")"};
  const std::string Text = ConsoleText(RenderSmallBoard(S));
  std::vector<std::string> Lines;
  size_t At = 0;
  for (size_t End; (End = Text.find('\n', At)) != std::string::npos; At = End + 1)
    Lines.push_back(Text.substr(At, End - At));
  return Lines;
}

class XBoardDialogue : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }

  // A fresh engine: the empty line, the two greetings, then nothing until it is spoken to.
  void Start() {
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, {"xboard"}));
    for (const char* Expected :
         {"", "tellics say     Talvarind 1.00.2012.04.10.0112", "tellics say     by Yorvane 'Kesk' Drummelt"}) {
      std::string Line;
      ASSERT_TRUE(Engine.ReadLine(Line, Patience(10s)));
      ASSERT_EQ(Line, Expected);
    }
  }
  void Stop() {
    if (!Engine.Running()) return;
    Engine.Send("quit");
    EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  }

  // Sends Lines, then a ping, and answers everything written before the pong.
  std::vector<std::string> Exchange(const std::vector<std::string>& Lines, milliseconds Timeout = Patience(20s)) {
    for (const std::string& Line : Lines) Engine.Send(Line);
    const std::string Pong = "pong " + std::to_string(++Pings);
    Engine.Send("ping " + std::to_string(Pings));
    std::vector<std::string> Seen;
    std::string Line;
    if (!Engine.ReadUntil([&](const std::string& L) { return L == Pong; }, Line, Timeout, &Seen)) {
      ADD_FAILURE() << "no " << Pong << " within " << Timeout.count() << " ms\n" << Dump(Seen);
      return Seen;
    }
    Seen.pop_back();
    return Seen;
  }

  // Reads through the engine's "move" line; its move, or empty. The bare move line must come just
  // before it.
  std::string AwaitMove(std::vector<std::string>* Seen = nullptr, milliseconds Timeout = Patience(30s)) {
    std::vector<std::string> Lines;
    std::string Line;
    const bool Moved = Engine.ReadUntilPrefix("move ", Line, Timeout, &Lines);
    if (Seen) Seen->insert(Seen->end(), Lines.begin(), Lines.end());
    std::smatch Match;
    if (!Moved || !std::regex_match(Line, Match, MoveLine)) {
      ADD_FAILURE() << "no move line\n" << Dump(Lines);
      return "";
    }
    EXPECT_GE(Lines.size(), 2u);
    if (Lines.size() >= 2) {
      EXPECT_EQ(Lines[Lines.size() - 2], Match[1]) << Dump(Lines);
    }
    return Match[1];
  }

  // Waits until a thinking line shows the search well under way.
  void AwaitThinking() {
    std::string Line;
    std::vector<std::string> Seen;
    EXPECT_TRUE(Engine.ReadUntil([](const std::string& L) { return std::regex_match(L, ThinkingLine); }, Line,
                                 Patience(20s), &Seen))
        << Dump(Seen);
  }

  TEngineProcess Engine;
  int Pings = 0;
};

std::string FeatureLine() {
  return "feature ping=1 setboard=1 playother=0 san=0 usermove=0 time=1 draw=1 sigint=0 sigterm=1 reuse=1 "
         "analyze=1 myname=\"Talvarind 1.00.2012.04.10.0112\" colors=1 ics=0 name=0 pause=0 nps=0 debug=0 "
         "memory=1 smp=" +
         std::string(UsableProcessorCount() > 1 ? "1" : "0") + " done=1";
}

TEST_F(XBoardDialogue, RepliesOutsideASearch) {
  const struct {
    const char* Name;
    std::vector<std::string> Send, Expect;
  } Cases[] = {
      {"features", {"xboard", "protover 2", "accepted sigint", "rejected ping"}, {FeatureLine()}},
      {"other protocol versions",
       {"protover 1", "protover x", "protover"},
       {Unknown("protover"), Unknown("protover"), Unknown("protover")}},
      {"unknown words and moves",
       {"force", "e2e5", "", "xyzzy", "usermove e2e9", "e2e4x"},
       {Unknown("e2e5"), Unknown(""), Unknown("xyzzy"), Unknown("e2e9"), Unknown("e2e4x")}},
      {"argument errors",
       {"level 40 x 0", "level 40 5", "level 40 5:x 0", "sd", "sn x", "st", "time", "otim 1.5", "cores two"},
       {NotLegal("level"), NotLegal("level"), NotLegal("level"), NotLegal("sd"), NotLegal("sn"), NotLegal("st"),
        NotLegal("time"), NotLegal("otim"), NotLegal("cores")}},
      {"taking back",
       {"remove", "undo", "force", "e2e4", "remove", "undo", "undo"},
       {NotLegal("remove"), NotLegal("undo"), NotLegal("remove"), NotLegal("undo")}},
      {"a switch of the side to move starts a new game record",
       {"force", "e2e4", "e7e5", "black", "undo", "remove", "playother", "undo"},
       {NotLegal("undo"), NotLegal("remove"), NotLegal("undo")}},
      {"a switch to the side already to move keeps it", {"force", "e2e4", "e7e5", "white", "remove"}, {}},
      {"silent commands",
       {"draw", "nopost", "post", "hard", "easy", "sd 5", "sn 100", "st 5", "level 40 5 0"},
       {"offer draw"}},
      {"set-up with the side not to move in check, then a new game record",
       {"force", "e2e4", "setboard 4k3/8/8/8/8/8/4R3/4K3 w - - 0 1", "undo", "remove"},
       {"tellusererror Illegal position", NotLegal("undo"), NotLegal("remove")}},
      {"the opponent mates the engine",
       {"new", "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8"},
       {"1-0 {White mates}", "1/2-1/2 {Draw by internal chess engine error}"}},
      {"Black mates", {"force", "setboard r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", "a8a1"}, {"0-1 {Black mates}"}},
      {"stalemate", {"force", "setboard 7k/5K2/8/6Q1/8/8/8/8 w - - 0 1", "g5g6"}, {"1/2-1/2 {Stalemate}"}},
      {"fifty moves",
       {"force", "setboard 4k3/8/8/8/8/8/8/R3K3 w - - 99 80", "a1a2"},
       {"1/2-1/2 {Draw by fifty move rule}"}},
      {"repetition",
       {"force", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3",
        "g8f6"},
       {"1/2-1/2 {Draw by repetition}"}},
      {"usermove and bare moves alike", {"force", "usermove e2e4", "e7e5", "printit"}, BoardLines({"e2e4", "e7e5"})},
      {"edit: colour switch, a black pawn, an emptied square, malformed lines",
       {"force", "edit", "xe2", "c", "Pe5", "Rz9", "K", "pa3", "Qi1", "", ".", "printit"},
       BoardLines({}, "rnbqkbnr/pppppppp/8/4p3/8/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1")},
      {"edit: a cleared board",
       {"force", "edit", "#", "Ke1", "Qd1", "c", "Ke8", ".", "printit"},
       BoardLines({}, "4k3/8/8/8/8/8/8/3QK3 w - - 0 1")},
      // Castling needs the rook that the edit took away; the new game has nothing to take back.
      {"edit: castling rights follow the pieces",
       {"force", "edit", "xf1", "xg1", "xh1", ".", "e1g1", "undo"},
       {Unknown("e1g1"), NotLegal("undo")}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Exchange(Case.Send), Case.Expect);
    Stop();
    Start();
  }
}

TEST_F(XBoardDialogue, PlaysWhenOnMove) {
  // Without "go" the engine waits for White's move, answers it, and knows the game it is in.
  Engine.Send("new");
  Engine.Send("sd 3");
  EXPECT_EQ(Exchange({}), std::vector<std::string>{});
  Engine.Send("e2e4");
  const std::string Reply = AwaitMove();
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4"}), Reply)) << Reply;
  EXPECT_EQ(Exchange({"printit"}), BoardLines({"e2e4", Reply}));
  // The hint is a think of its own: a line sent after it may be answered first, from inside it.
  Engine.Send("hint");
  std::vector<std::string> Hint;
  std::string Line;
  ASSERT_TRUE(Engine.ReadUntilPrefix("Hint: ", Line, Patience(20s), &Hint)) << Dump(Hint);
  EXPECT_EQ(Hint.size(), 1u) << Dump(Hint);
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4", Reply}), Line.substr(6))) << Line;

  // "new" then "go": White at once; the thinking lines only after "post".
  std::vector<std::string> Seen;
  Engine.Send("new");
  Engine.Send("sd 3");
  Engine.Send("post");
  Engine.Send("go");
  const std::string First = AwaitMove(&Seen);
  EXPECT_TRUE(IsLegalMove(Replay({}), First)) << First;
  ASSERT_EQ(Seen.size(), 5u) << Dump(Seen);
  std::smatch Match;
  for (int Depth = 1; Depth <= 3; Depth++) {
    ASSERT_TRUE(std::regex_match(Seen[Depth - 1], Match, ThinkingLine)) << Seen[Depth - 1];
    EXPECT_EQ(std::stoi(Match[1]), Depth);
  }
  EXPECT_EQ(Match[5].str().substr(0, First.size() + 1), " " + First);
}

TEST_F(XBoardDialogue, WhileThinking) {
  Engine.Send("new");
  Engine.Send("post");
  Engine.Send("go");
  AwaitThinking();
  // Answered or refused at once, typed-ahead moves dropped, nothing changed on the board; "?" moves now,
  // and the ping sent before it is answered after the move.
  for (const char* Line : {"ping 7", "time 1000", "e2e4", "usermove e2e4", "new", "edit", "setboard 8/8/8/8/8/8/8/8 w",
                           "printit", "undo", "white", "sd 2", "result 1-0 {White mates}", "draw", "?"})
    Engine.Send(Line);
  std::vector<std::string> Seen;
  const std::string Move = AwaitMove(&Seen);
  std::vector<std::string> Replies;
  for (const std::string& Line : Seen)
    if (!std::regex_match(Line, ThinkingLine)) Replies.push_back(Line);
  std::string Pong;
  ASSERT_TRUE(Engine.ReadLine(Pong, Patience(10s)));
  Replies.push_back(Pong);
  EXPECT_EQ(Replies, std::vector<std::string>({NotLegal("time"), NotLegal("usermove"), NotLegal("new"),
                                               NotLegal("edit"), NotLegal("setboard"), NotLegal("printit"),
                                               NotLegal("undo"), NotLegal("white"), NotLegal("sd"), NotLegal("result"),
                                               "offer draw", Move, "move " + Move, "pong 7"}));
  EXPECT_TRUE(IsLegalMove(Replay({}), Move)) << Move;
  EXPECT_EQ(Exchange({"nopost", "printit"}), BoardLines({Move}));
  // Still White's engine: Black's reply makes it think again.
  const std::string Reply = LegalMoves(Replay({Move}))[0];
  Engine.Send("sd 2");
  Engine.Send(Reply);
  const std::string Second = AwaitMove();

  // A game that ends under a running think: "force" stops it, and nothing is played.
  Engine.Send("sd 0");
  Engine.Send("post");
  Engine.Send("go");
  AwaitThinking();
  Engine.Send("force");
  Seen = Exchange({"nopost", "printit"});
  std::vector<std::string> Board;
  for (const std::string& Line : Seen)
    if (!std::regex_match(Line, ThinkingLine)) Board.push_back(Line);
  EXPECT_EQ(Board, BoardLines({Move, Reply, Second}));
  EXPECT_EQ(Exchange({"new"}), std::vector<std::string>{});

  // "quit" while thinking ends the program.
  Engine.Send("go");
  Engine.Send("post");
  AwaitThinking();
  Engine.Send("quit");
  EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
}

TEST_F(XBoardDialogue, EndOfInputEndsTheProgram) {
  // Idle, or thinking without limits: either way the program leaves when the interface is gone.
  Engine.CloseInput();
  EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  Start();
  Engine.Send("new");
  Engine.Send("post");
  Engine.Send("go");
  AwaitThinking();
  Engine.CloseInput();
  EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
}

TEST_F(XBoardDialogue, SideSwitchesKeepTheBoardSound) {
  // "white", "black" and "playother" only hand the move over: an en-passant square left by the last
  // double step must not let the new side take "en passant" on it.
  const struct {
    std::vector<std::string> Moves;
    const char* Switch;
    const char* Fen;  // the board the engine then plays on
  } Cases[] = {
      {{"g1f3", "d7d5", "b1c3", "d5d4", "e2e4"},
       "white",
       "rnbqkbnr/ppp1pppp/8/8/3pP3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 0 3"},
      {{"e2e4", "d7d5", "e4e5", "f7f5"}, "black", "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3"},
      {{"e2e4", "d7d5", "e4e5", "f7f5"}, "playother", "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3"},
      {{"g1f3", "d7d5", "b1c3", "d5d4", "e2e4"},
       "playother",
       "rnbqkbnr/ppp1pppp/8/8/3pP3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 0 3"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Switch) + " after " + Join(Case.Moves));
    std::vector<std::string> Lines = {"new", "force"};
    Lines.insert(Lines.end(), Case.Moves.begin(), Case.Moves.end());
    Lines.insert(Lines.end(), {Case.Switch, "sd 5"});
    EXPECT_EQ(Exchange(Lines), std::vector<std::string>{});
    Engine.Send("go");
    const std::string Move = AwaitMove();
    EXPECT_TRUE(IsLegalMove(Replay({}, Case.Fen), Move)) << Move;
    EXPECT_EQ(Exchange({"force", "printit"}), BoardLines({Move}, Case.Fen));
  }
}

TEST_F(XBoardDialogue, ThinksOnItsOwnClock) {
  // "time" is the engine's clock and "otim" the opponent's, whoever is to move when they come. With
  // five seconds of its own against hours of the opponent's, the engine must answer within its own.
  const struct {
    const char* Name;
    std::vector<std::string> Send;
  } Cases[] = {
      {"answering a move", {"new", "level 40 5 0", "time 500", "otim 1000000", "e2e4"}},
      {"after go", {"new", "level 40 5 0", "force", "e2e4", "time 500", "otim 1000000", "go"}},
      {"after go as White", {"new", "level 40 5 0", "force", "e2e4", "e7e5", "time 500", "otim 1000000", "go"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    for (const std::string& Line : Case.Send) Engine.Send(Line);
    EXPECT_FALSE(AwaitMove(nullptr, Patience(15s)).empty());
    Engine.Send("force");
  }

  // A whole game in one period with an increment: a "go" in mid-game shares the clock among the moves
  // to come instead of thinking one ply deep.
  std::vector<std::string> Seen;
  for (const char* Line : {"new", "level 0 0:30 1", "post", "force", "e2e4", "e7e5", "go"}) Engine.Send(Line);
  AwaitMove(&Seen);
  int Deepest = 0;
  std::smatch Match;
  for (const std::string& Line : Seen)
    if (std::regex_match(Line, Match, ThinkingLine)) Deepest = std::max(Deepest, std::stoi(Match[1]));
  EXPECT_GE(Deepest, 3) << Dump(Seen);
}

TEST_F(XBoardDialogue, PingComesAfterEverythingBeforeIt) {
  // During the engine's own think the pong waits for the move; in analysis it comes at once.
  Engine.Send("new");
  Engine.Send("post");
  Engine.Send("go");
  AwaitThinking();
  Engine.Send("ping 3");
  Engine.Send("?");
  std::vector<std::string> Seen;
  const std::string Move = AwaitMove(&Seen);
  std::string Line;
  ASSERT_TRUE(Engine.ReadLine(Line, Patience(10s)));
  EXPECT_EQ(Line, "pong 3");
  for (const std::string& L : Seen) EXPECT_NE(L, "pong 3") << Dump(Seen);
  EXPECT_EQ(Exchange({"force", "nopost", "printit"}), BoardLines({Move}));

  Engine.Send("analyze");
  AwaitThinking();
  Engine.Send("ping 4");
  Seen.clear();
  EXPECT_TRUE(Engine.ReadUntil([](const std::string& L) { return L == "pong 4"; }, Line, Patience(10s), &Seen))
      << Dump(Seen);
  for (const std::string& L : Seen) EXPECT_FALSE(std::regex_match(L, MoveLine)) << Dump(Seen);
  Engine.Send("exit");
}

TEST_F(XBoardDialogue, AnalyzeMode) {
  // Each line that changes the board stops the analysis, and it starts again on the new board: the
  // thinking lines that follow are about it (their first move is legal there, and not on the board before).
  const struct {
    const char* Name;
    std::vector<std::string> Send;
    std::vector<std::string> Moves;  // the board the analysis must turn to, from Fen
    const char* Fen;
    int Score;  // the score that line must show, when not 0
  } Steps[] = {
      {"the start", {"analyze"}, {}, "startpos", 0},
      {"a move", {"e2e4"}, {"e2e4"}, "startpos", 0},
      {"ping and a status request change nothing", {"ping 40", ".", "e7e5"}, {"e2e4", "e7e5"}, "startpos", 0},
      {"undo", {"undo"}, {"e2e4"}, "startpos", 0},
      {"a new board, a mate in one",
       {"setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"},
       {},
       "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1",
       100001},
      {"new", {"new"}, {}, "startpos", 0},
  };
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Step.Name);
    for (const std::string& Line : Step.Send) Engine.Send(Line);
    std::vector<std::string> Seen;
    std::string Line;
    EXPECT_TRUE(Engine.ReadUntil(
        [&](const std::string& L) {
          int Score = 0;
          std::string First;
          if (!ReadThinking(L, Score, First) || First.empty()) return false;
          return IsLegalMove(Replay(Step.Moves, Step.Fen), First) && (Step.Score == 0 || Score == Step.Score);
        },
        Line, Patience(20s), &Seen))
        << Dump(Seen);
    for (const std::string& L : Seen) EXPECT_FALSE(std::regex_match(L, MoveLine)) << Dump(Seen);
  }
  // "exit" ends it: the engine stays in force mode on the board it had, and thinks no more.
  Engine.Send("exit");
  Exchange({});
  EXPECT_EQ(Exchange({"printit"}), BoardLines({}));
  EXPECT_FALSE(Engine.LineWithin(milliseconds(300)));
  EXPECT_EQ(Exchange({"e2e4", "e7e5", "printit"}), BoardLines({"e2e4", "e7e5"}));
}

TEST_F(XBoardDialogue, MateScores) {
  // A mate in one is reported as 100001, from the side of the engine to move.
  const struct {
    const char* Fen;
    const char* Mate;
  } Cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "a1a8"},
      {"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", "a8a1"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Fen);
    EXPECT_EQ(Exchange({"new", "force", "post", "sd 4", std::string("setboard ") + Case.Fen}),
              std::vector<std::string>{});
    Engine.Send("go");
    std::vector<std::string> Seen;
    EXPECT_EQ(AwaitMove(&Seen), Case.Mate);
    bool Reported = false;
    for (const std::string& Line : Seen) {
      int Score = 0;
      std::string First;
      if (ReadThinking(Line, Score, First) && Score == 100001 && First == Case.Mate) Reported = true;
    }
    EXPECT_TRUE(Reported) << Dump(Seen);
    Exchange({"force"});
  }
}

TEST_F(XBoardDialogue, PondersAfterHard) {
  // After its move the engine thinks on the reply it expects (the hint names it then, at once). The user
  // plays it (the engine answers soon after, on the budget of the clock just sent) or another move (the
  // engine answers that one); either way the board is the game's.
  const struct {
    const char* Name;
    const char* Limit;
    bool Hit;
  } Cases[] = {
      {"hit while the ponder search runs", "level 40 0:15 0", true},
      {"miss", "level 40 0:15 0", false},
      // Four plies deep, the ponder search ends long before the user moves: the guess waits on the board.
      {"hit after the ponder search ended", "sd 4", true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const bool Hit = Case.Hit;
    // The engine ponders on the second move of its variation; one cut short by the table may leave it
    // without a guess. The game is started again (a few times at most) until the last variation has one.
    std::string Reply;
    std::vector<std::string> Thinking;
    for (int Attempt = 0; Attempt < 8 && Reply.empty(); Attempt++) {
      for (const char* Line : {"new", "hard", "post", Case.Limit, "e2e4"}) Engine.Send(Line);
      Thinking.clear();
      const std::string Move = AwaitMove(&Thinking);
      std::string Last;
      for (const std::string& L : Thinking)
        if (std::regex_match(L, ThinkingLine)) Last = L;
      std::smatch Match;
      if (std::regex_match(Last, Match, ThinkingLine) && Match[5].str().find(' ', 1) != std::string::npos) Reply = Move;
      else Exchange({"force"});
    }
    ASSERT_FALSE(Reply.empty()) << "no variation with a reply to ponder on\n" << Dump(Thinking);
    // Pondering: thinking lines, and no move, on the user's time.
    AwaitThinking();
    Engine.Send("hint");
    std::vector<std::string> Seen;
    std::string Line;
    ASSERT_TRUE(Engine.ReadUntilPrefix("Hint: ", Line, Patience(10s), &Seen)) << Dump(Seen);
    const std::string Guess = Line.substr(6);
    ASSERT_TRUE(IsLegalMove(Replay({"e2e4", Reply}), Guess)) << Guess;
    Engine.Send("ping 9");
    ASSERT_TRUE(Engine.ReadUntil([](const std::string& L) { return L == "pong 9"; }, Line, Patience(10s), &Seen))
        << Dump(Seen);
    for (const std::string& L : Seen) EXPECT_FALSE(std::regex_match(L, MoveLine)) << Dump(Seen);

    std::string UserMove = Guess;
    if (!Hit) {
      for (const std::string& Move : LegalMoves(Replay({"e2e4", Reply})))
        if (Move != Guess) UserMove = Move;
    }
    Engine.Send("time 300");
    Engine.Send("otim 1400");
    const auto Sent = std::chrono::steady_clock::now();
    Engine.Send(UserMove);
    const std::string Answer = AwaitMove();
    if (Hit) {
      EXPECT_LT(std::chrono::steady_clock::now() - Sent, Patience(3s));
    }
    EXPECT_TRUE(IsLegalMove(Replay({"e2e4", Reply, UserMove}), Answer)) << Answer;
    // "easy" and "force" stop the pondering that follows; the board is the game's.
    Seen = Exchange({"easy", "force", "nopost", "printit"});
    std::vector<std::string> Board;
    for (const std::string& L : Seen)
      if (!std::regex_match(L, ThinkingLine)) Board.push_back(L);
    EXPECT_EQ(Board, BoardLines({"e2e4", Reply, UserMove, Answer}));
  }
}

}  // namespace

TEST_F(XBoardDialogue, ResultLinesLeaveWithoutAnotherCommand) {
  // Nothing is sent after the user's last move: an interface waits for these lines, they must not wait
  // for it.
  const struct {
    const char* Name;
    const char* Fen;
    const char* Move;
    std::vector<std::string> Expect;
  } Cases[] = {
      {"the user mates the engine",
       "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1",
       "a1a8",
       {"1-0 {White mates}", "1/2-1/2 {Draw by internal chess engine error}"}},
      {"the user stalemates the engine",
       "7k/5K2/8/6Q1/8/8/8/8 w - - 0 1",
       "g5g6",
       {"1/2-1/2 {Stalemate}", "1/2-1/2 {Draw by internal chess engine error}"}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Exchange({"new", std::string("setboard ") + Case.Fen}), std::vector<std::string>{});
    Engine.Send(Case.Move);
    std::vector<std::string> Seen;
    std::string Line;
    EXPECT_TRUE(
        Engine.ReadUntil([&](const std::string& L) { return L == Case.Expect.back(); }, Line, Patience(10s), &Seen))
        << Dump(Seen);
    EXPECT_EQ(Seen, Case.Expect);
  }
}

TEST_F(XBoardDialogue, HintKeepsWhatArrivesDuringIt) {
  // The hint search takes up to a second; the user acts meanwhile.
  // A move: the hint comes, then the move is played and answered.
  std::vector<std::string> Seen;
  for (const char* Line : {"new", "st 1", "hint", "e2e4"}) Engine.Send(Line);
  const std::string Reply = AwaitMove(&Seen);
  ASSERT_FALSE(Seen.empty());
  EXPECT_EQ(Seen.front().rfind("Hint: ", 0), 0u) << Dump(Seen);
  EXPECT_TRUE(IsLegalMove(Replay({}), Seen.front().substr(6))) << Seen.front();
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4"}), Reply)) << Reply;
  EXPECT_EQ(Exchange({"force", "printit"}), BoardLines({"e2e4", Reply}));

  // "force": it stays in force after the hint, so the engine answers no move; a board shown proves that
  // it does not think (it would refuse to show one then).
  Stop();
  Start();
  for (const char* Line : {"new", "st 1", "hint", "force"}) Engine.Send(Line);
  std::string Line;
  Seen.clear();
  ASSERT_TRUE(Engine.ReadUntilPrefix("Hint: ", Line, Patience(10s), &Seen)) << Dump(Seen);
  EXPECT_EQ(Seen.size(), 1u) << Dump(Seen);
  EXPECT_EQ(Exchange({"e2e4", "printit"}), BoardLines({"e2e4"}));
}
