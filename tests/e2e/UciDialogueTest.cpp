// The UCI dialogue: whole conversations with the real executable (UciDialogue, UciTimeUse). The state it
// leaves behind is checked in tests/engine/frontend/UciStateTest.cpp.
#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/Processes.h"
#include "support/ProtocolLines.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point Start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - Start).count();
}

// The lines an engine wrote for one "go", through its "bestmove" line.
struct TAnswer {
  bool Complete = false;  // the bestmove line arrived and parsed
  std::vector<std::string> Lines;
  std::string Move, Ponder;
  long long Ms = 0;  // from writing "go" to reading "bestmove"
};

// Earlier: lines of the same search already read by the caller.
TAnswer ReadAnswer(TEngineProcess& Engine, milliseconds Timeout, Clock::time_point Since,
                   const std::vector<std::string>& Earlier = {}) {
  TAnswer Answer;
  Answer.Lines = Earlier;
  std::string Last;
  if (!Engine.ReadUntilPrefix("bestmove", Last, Timeout, &Answer.Lines)) return Answer;
  Answer.Ms = MsSince(Since);
  std::smatch Match;
  if (!std::regex_match(Last, Match, BestMoveLine)) return Answer;
  Answer.Move = Match[1];
  Answer.Ponder = Match[3];
  Answer.Complete = true;
  return Answer;
}

TAnswer Go(TEngineProcess& Engine, const std::string& GoLine, milliseconds Timeout) {
  const auto Start = Clock::now();
  if (!Engine.Send(GoLine)) return {};
  return ReadAnswer(Engine, Timeout, Start);
}

// The moves answered are consistent with each other: the bare move line before "bestmove" names the
// same move, which heads the last complete principal variation, and the ponder move is that variation's
// second move.
void ExpectConsistent(const TAnswer& Answer) {
  ASSERT_TRUE(Answer.Complete) << Dump(Answer.Lines);
  ASSERT_GE(Answer.Lines.size(), 2u);
  EXPECT_EQ(Answer.Lines[Answer.Lines.size() - 2], Answer.Move) << Dump(Answer.Lines);
  std::vector<std::string> PV;
  for (const std::string& Line : Answer.Lines) {
    TInfoLine Info;
    if (ReadCompleteInfo(Line, Info)) PV = Info.PV;
  }
  if (PV.empty()) {
    // Stopped inside the first iteration: a move of its own, with nothing to ponder on.
    EXPECT_EQ(Answer.Ponder, "") << Dump(Answer.Lines);
    return;
  }
  EXPECT_EQ(PV[0], Answer.Move) << Dump(Answer.Lines);
  EXPECT_EQ(PV.size() > 1 ? PV[1] : "", Answer.Ponder) << Dump(Answer.Lines);
}

class UciDialogue : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Engine.Start(TALVARIND_EXE, {"uci"})); }
  void TearDown() override {
    if (!Engine.Running()) return;
    Engine.Send("quit");
    EXPECT_TRUE(Engine.Wait(Patience(5s)).Clean());
  }

  std::string Next(milliseconds Timeout = Patience(10s)) {
    std::string Line;
    if (!Engine.ReadLine(Line, Timeout)) ADD_FAILURE() << "no line within " << Timeout.count() << " ms";
    return Line;
  }
  // Waits for the engine to have handled everything sent so far.
  void Sync() {
    Engine.Send("isready");
    std::string Line;
    std::vector<std::string> Seen;
    EXPECT_TRUE(Engine.ReadUntil([](const std::string& L) { return L == "readyok"; }, Line, Patience(10s), &Seen))
        << Dump(Seen);
  }
  // Reads until a complete info line of at least Depth, so a search is known to be well under way.
  void AwaitDepth(int Depth, std::vector<std::string>* Seen = nullptr) {
    std::string Line;
    EXPECT_TRUE(Engine.ReadUntil(
        [Depth](const std::string& L) {
          TInfoLine Info;
          return ReadCompleteInfo(L, Info) && Info.Depth >= Depth;
        },
        Line, Patience(20s), Seen));
  }

  // The reply to "uci": identity, then the options in their order, each with the value in force.
  void ExpectIdentity(bool Sleeping, bool Fast, const std::string& Hash = "[0-9]+", bool Ponder = false,
                      int MultiPV = 1) {
    const int N = UsableProcessorCount();
    const auto Check = [](bool On) { return std::string(On ? "true" : "false"); };
    EXPECT_EQ(Next(), "id name Talvarind 1.00.2012.04.10.0112");
    EXPECT_EQ(Next(), "id author Yorvane 'Kesk' Drummelt");
    EXPECT_EQ(Next(), "option name Threads type spin default " + std::to_string(N) + " min 1 max " + std::to_string(N));
    EXPECT_EQ(Next(), "option name ThreadSleeping type check default " + Check(Sleeping));
    EXPECT_EQ(Next(), "option name FastEval type check default " + Check(Fast));
    const std::string HashLine = Next();
    EXPECT_TRUE(
        std::regex_match(HashLine, std::regex("option name Hash type spin default " + Hash + " min 1 max [0-9]+")))
        << HashLine;
    EXPECT_EQ(Next(), "option name Clear Hash type button");
    EXPECT_EQ(Next(), "option name Ponder type check default " + Check(Ponder));
    EXPECT_EQ(Next(), "option name MultiPV type spin default " + std::to_string(MultiPV) + " min 1 max 256");
    EXPECT_EQ(Next(), "uciok");
  }

  TEngineProcess Engine;
};

// ctest label: timed (it waits on the clock)
TEST_F(UciDialogue, IdentifiesItselfAndItsOptions) {
  Engine.Send("uci");
  ExpectIdentity(false, false, "1024");
  Engine.Send("isready");
  EXPECT_EQ(Next(), "readyok");

  // Options set by the interface are reported as the current defaults; Threads keeps announcing the
  // threads that exist, whatever was asked for.
  for (const char* Value : {"0", "1000", "lots"}) {
    Engine.Send(std::string("setoption name Threads value ") + Value);
    Engine.Send("setoption name ThreadSleeping value true");
    Engine.Send("setoption name FastEval value true");
    Engine.Send("uci");
    ExpectIdentity(true, true);
  }
  // Only the exact word "true" switches an option on.
  Engine.Send("setoption name FastEval value TRUE");
  Engine.Send("setoption name ThreadSleeping value True");
  Engine.Send("uci");
  ExpectIdentity(false, false);

  // The new options, each set and then shown: spins held within their bounds, a word that is no number
  // ignored.
  struct TSetting {
    const char* Line;
    const char* Hash;
    bool Ponder;
    int MultiPV;
  };
  for (const TSetting& Set : {TSetting{"setoption name MultiPV value 3", "[0-9]+", false, 3},
                              TSetting{"setoption name MultiPV value 1000", "[0-9]+", false, 256},
                              TSetting{"setoption name MultiPV value 0", "[0-9]+", false, 1},
                              TSetting{"setoption name MultiPV value many", "[0-9]+", false, 1},
                              TSetting{"setoption name Ponder value true", "[0-9]+", true, 1},
                              TSetting{"setoption name Ponder value false", "[0-9]+", false, 1},
                              TSetting{"setoption name Hash value 100", "64", false, 1},
                              TSetting{"setoption name Hash value 0", "1", false, 1},
                              TSetting{"setoption name Hash value lots", "1", false, 1},
                              TSetting{"setoption name Clear Hash", "1", false, 1}}) {
    SCOPED_TRACE(Set.Line);
    Engine.Send(Set.Line);
    Engine.Send("uci");
    ExpectIdentity(false, false, Set.Hash, Set.Ponder, Set.MultiPV);
  }

  // With threads asked down to none, the search still runs (on one thread), and sleeping idle threads
  // are woken for it.
  Engine.Send("setoption name Threads value 0");
  Engine.Send("setoption name ThreadSleeping value true");
  ExpectConsistent(Go(Engine, "go depth 5", Patience(20s)));
  Engine.Send("setoption name Threads value 1000");
  ExpectConsistent(Go(Engine, "go depth 5", Patience(20s)));
  Engine.Send("quit");
  EXPECT_TRUE(Engine.Wait(Patience(5s)).Clean());
}

TEST_F(UciDialogue, IgnoresWhatItDoesNotUnderstand) {
  // A blank before the command, another letter case, unknown words, empty lines and CR LF endings: none
  // of it is answered, and the next real command is answered as the next line.
  for (const char* Line :
       {"  isready", "\tisready", "ISREADY", "IsReady", "xyzzy", "", "   ", "debug on", "register later", "ponderhit",
        "stop", "setoption name Hash value 64", "position nonsense", "go_on"})
    Engine.Send(Line);
  Engine.SendRaw("isready\r\n");
  EXPECT_EQ(Next(), "readyok");
  // Words after a command are ignored by commands that take none. Lines are answered in order, so this
  // reply coming next also shows that the empty line after the CR was not answered.
  Engine.Send("isready now please");
  EXPECT_EQ(Next(), "readyok");
  Engine.Send("isready");
  EXPECT_EQ(Next(), "readyok");
}

TEST_F(UciDialogue, GoDepthOneAnswersOneIterationThenTheMove) {
  // The illegal e1e1 ends the move list: g1f3 after it is not played, so White is to move.
  Engine.Send("position startpos moves e2e4 e7e5 e1e1 g1f3");
  const TAnswer White = Go(Engine, "go depth 1", Patience(10s));
  ASSERT_TRUE(White.Complete) << Dump(White.Lines);
  ASSERT_EQ(White.Lines.size(), 3u) << Dump(White.Lines);
  TInfoLine Info;
  ASSERT_TRUE(ReadCompleteInfo(White.Lines[0], Info)) << White.Lines[0];
  EXPECT_EQ(Info.Depth, 1);
  ExpectConsistent(White);
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4", "e7e5"}), White.Move)) << White.Move;
  if (!White.Ponder.empty()) {
    EXPECT_TRUE(IsLegalMove(Replay({"e2e4", "e7e5", White.Move}), White.Ponder)) << White.Ponder;
  }

  // The engine played its move on its own board: a second "go" answers for Black.
  const TAnswer Black = Go(Engine, "go depth 1", Patience(10s));
  ExpectConsistent(Black);
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4", "e7e5", White.Move}), Black.Move)) << Black.Move;

  // A new game starts from the initial position.
  Engine.Send("ucinewgame");
  const TAnswer Fresh = Go(Engine, "go depth 2", Patience(10s));
  ExpectConsistent(Fresh);
  EXPECT_TRUE(IsLegalMove(Replay({}), Fresh.Move)) << Fresh.Move;
  int Complete = 0;
  for (const std::string& Line : Fresh.Lines) Complete += ReadCompleteInfo(Line, Info);
  EXPECT_EQ(Complete, 2) << Dump(Fresh.Lines);
}

TEST_F(UciDialogue, FenWithMovesIsSetUp) {
  // White castles, Black takes the queen: the answer must be legal for White in the position that only
  // both moves together lead to.
  const std::string Fen = "r3k2r/pppq1ppp/8/8/8/8/PPPQ1PPP/R3K2R w KQkq - 0 1";
  Engine.Send("position fen " + Fen + " moves e1g1 d7d2");
  const TAnswer Answer = Go(Engine, "go depth 3", Patience(10s));
  ExpectConsistent(Answer);
  TState* S = Replay({"e1g1", "d7d2"}, Fen);
  ASSERT_NE(S, nullptr);
  EXPECT_TRUE(IsLegalMove(S, Answer.Move)) << Answer.Move;

  // "epd" reads the same way; a later position command replaces the game, it does not add to it.
  Engine.Send("position epd " + Fen + " moves e1c1");
  const TAnswer Long = Go(Engine, "go depth 3", Patience(10s));
  ExpectConsistent(Long);
  EXPECT_TRUE(IsLegalMove(Replay({"e1c1"}, Fen), Long.Move)) << Long.Move;
}

TEST_F(UciDialogue, IsReadyWaitsForTheSearch) {
  Engine.Send("go infinite");
  std::vector<std::string> During;
  AwaitDepth(2, &During);
  Engine.Send("isready");
  // Answered at once, while the search goes on: after it, info lines only, whole ones, and a deeper one.
  std::string Line;
  ASSERT_TRUE(Engine.ReadUntil([](const std::string& L) { return L == "readyok"; }, Line, Patience(5s), &During));
  if (!During.empty() && During.back() == "readyok") During.pop_back();
  ASSERT_FALSE(During.empty());
  for (const std::string& L : During) EXPECT_EQ(L.rfind("info depth ", 0), 0u) << L;
  std::vector<std::string> After;
  AwaitDepth(std::stoi(During.back().substr(11)) + 1, &After);
  Engine.Send("stop");
  const TAnswer Answer = ReadAnswer(Engine, Patience(5s), Clock::now(), After);
  ExpectConsistent(Answer);
  for (const std::string& L : Answer.Lines) EXPECT_NE(L, "readyok");
  Engine.Send("isready");
  EXPECT_EQ(Next(), "readyok");
}

// Searches on two threads (where two processors are usable) started and ended at random moments, by
// "stop" or by a node limit: every one of them answers a legal move.
TEST_F(UciDialogue, ThreadedSearchesStoppedAtRandomMomentsAlwaysAnswer) {
  const int Threads = UsableProcessorCount() >= 2 ? 2 : 1;
  Engine.Send("setoption name Threads value " + std::to_string(Threads));
  const char* const Fens[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 13",
  };
  std::mt19937 Random(8122026);
  const int Rounds = SanitizedRun() ? 30 : 200;
  for (int Round = 0; Round < Rounds; Round++) {
    const char* Fen = Fens[Round % 3];
    Engine.Send(std::string("position fen ") + Fen);
    TAnswer Answer;
    if (Round % 2) {
      Answer = Go(Engine, "go nodes " + std::to_string(1000 + Random() % 100000), Patience(30s));
    } else {
      const auto Start = Clock::now();
      Engine.Send("go infinite");
      std::this_thread::sleep_for(milliseconds(Random() % 40));
      Engine.Send("stop");
      Answer = ReadAnswer(Engine, Patience(10s), Start);
    }
    ASSERT_TRUE(Answer.Complete) << "round " << Round << "\n" << Dump(Answer.Lines);
    ExpectConsistent(Answer);
    EXPECT_TRUE(IsLegalMove(Replay({}, Fen), Answer.Move)) << "round " << Round << ": " << Answer.Move;
  }
  Sync();
}

TEST_F(UciDialogue, StopAnswersPromptly) {
  Engine.Send("position startpos moves d2d4 d7d5 c2c4");
  Engine.Send("go infinite");
  std::vector<std::string> Before;
  AwaitDepth(1, &Before);
  std::this_thread::sleep_for(1s);
  const auto Stop = Clock::now();
  Engine.Send("stop");
  const TAnswer Answer = ReadAnswer(Engine, Patience(5s), Stop, Before);
  ExpectConsistent(Answer);
  EXPECT_TRUE(IsLegalMove(Replay({"d2d4", "d7d5", "c2c4"}), Answer.Move)) << Answer.Move;
  // The search polls its input every 50 ms; the bound is ten times that, so that only a real fault breaks
  // it (tools/latency measures the real figure).
  EXPECT_LE(Answer.Ms, Patience(1000ms).count()) << "stop to bestmove";
  std::printf("[          ] stop to bestmove: %lld ms\n", Answer.Ms);
  // Back to reading commands.
  Engine.Send("isready");
  EXPECT_EQ(Next(), "readyok");
}

TEST_F(UciDialogue, EndlessSearchWithoutALegalMoveAnswersOnlyAfterStop) {
  Engine.Send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  Engine.Send("go infinite");
  std::string Line;
  std::vector<std::string> Seen;
  EXPECT_FALSE(Engine.ReadUntilPrefix("bestmove", Line, 300ms, &Seen)) << Dump(Seen);
  Engine.Send("stop");
  ASSERT_TRUE(Engine.ReadUntilPrefix("bestmove", Line, Patience(5s), &Seen)) << Dump(Seen);
  EXPECT_EQ(Line, "bestmove (none)");
  Sync();
}

TEST_F(UciDialogue, QuitDuringSearchStillAnswers) {
  Engine.Send("go infinite");
  std::vector<std::string> Before;
  AwaitDepth(2, &Before);
  Engine.Send("quit");
  const TAnswer Answer = ReadAnswer(Engine, Patience(5s), Clock::now(), Before);
  ExpectConsistent(Answer);
  EXPECT_TRUE(IsLegalMove(Replay({}), Answer.Move));
  const TExit Exit = Engine.Wait(Patience(5s));
  EXPECT_TRUE(Exit.Clean()) << "code " << Exit.Code << " signal " << Exit.Signal;
  std::string Line;
  EXPECT_FALSE(Engine.ReadLine(Line, 100ms)) << Line;
}

TEST_F(UciDialogue, EndOfInputEndsTheDialogue) {
  // Between commands: what was sent is still answered, then the engine leaves.
  Engine.Send("isready");
  Engine.CloseInput();
  EXPECT_EQ(Next(), "readyok");
  const TExit Exit = Engine.Wait(Patience(5s));
  EXPECT_TRUE(Exit.Clean()) << "code " << Exit.Code << " signal " << Exit.Signal;

  // During a search: the search stops, the move is still answered, and the process is gone soon after.
  TEngineProcess Searching;
  ASSERT_TRUE(Searching.Start(TALVARIND_EXE, {"uci"}));
  Searching.Send("go infinite");
  std::string Line;
  std::vector<std::string> Before;
  TInfoLine Info;
  ASSERT_TRUE(Searching.ReadUntil([&Info](const std::string& L) { return ReadCompleteInfo(L, Info); }, Line,
                                  Patience(20s), &Before));
  std::this_thread::sleep_for(300ms);
  const auto Closed = Clock::now();
  Searching.CloseInput();
  const TAnswer Answer = ReadAnswer(Searching, Patience(5s), Closed, Before);
  ExpectConsistent(Answer);
  const TExit Gone = Searching.Wait(Patience(5s));
  const long long Ms = MsSince(Closed);
  EXPECT_TRUE(Gone.Clean()) << "code " << Gone.Code << " signal " << Gone.Signal;
  EXPECT_LE(Ms, Patience(2000ms).count()) << "end of input to process exit";
  std::printf("[          ] end of input to exit: %lld ms\n", Ms);
}

TEST_F(UciDialogue, LaterGoWordsOverrideEarlierOnes) {
  // "infinite" cancels the depth and node limits before it: the search goes past them until stopped.
  Engine.Send("go depth 2 nodes 500 infinite");
  std::vector<std::string> Seen;
  AwaitDepth(5, &Seen);
  Engine.Send("stop");
  ExpectConsistent(ReadAnswer(Engine, Patience(5s), Clock::now(), Seen));

  // A node limit ends the search by itself (after the first two iterations).
  Engine.Send("ucinewgame");
  const TAnswer Nodes = Go(Engine, "go nodes 20000", Patience(20s));
  ExpectConsistent(Nodes);

  // Unknown words and their numbers are skipped; the known ones still count.
  Engine.Send("ucinewgame");
  const TAnswer Skipped = Go(Engine, "go searchmoves e2e4 mate 3 depth 2", Patience(20s));
  ExpectConsistent(Skipped);
  int Deepest = 0;
  for (const std::string& Line : Skipped.Lines) {
    TInfoLine Info;
    if (ReadCompleteInfo(Line, Info)) Deepest = Info.Depth;
  }
  EXPECT_EQ(Deepest, 2) << Dump(Skipped.Lines);
}

TEST_F(UciDialogue, AnswersEvenWhenTheBudgetEndsInTheFirstIteration) {
  // 56 ms per move leaves a budget of 2 ms after the reserve: the first iteration cannot finish in it,
  // yet an interface waits for its move all the same.
  for (int Round = 0; Round < 3; Round++) {
    Engine.Send("ucinewgame");
    Engine.Send("position startpos");
    Sync();
    const TAnswer Answer = Go(Engine, "go movetime 56", Patience(1s));
    ExpectConsistent(Answer);
    if (!Answer.Complete) {
      // Whatever the engine did, it must not leave a search running into the next test.
      Engine.Send("stop");
      return;
    }
    EXPECT_TRUE(IsLegalMove(Replay({}), Answer.Move)) << Answer.Move;
  }
}

// A game of random legal moves, long enough to pass the 256 half-moves that a game record of the old
// size would hold, and still open at its end.
std::vector<std::string> LongRandomGame(int HalfMoves) {
  for (uint32_t Seed = 1;; Seed++) {
    std::mt19937 Random(Seed);
    std::vector<std::string> Game;
    TState* S = Replay({});
    bool Open = true;
    while (Open && int(Game.size()) < HalfMoves) {
      const std::vector<std::string> Legal = LegalMoves(S);
      if (Legal.empty()) {
        Open = false;
        break;
      }
      const std::string& Move = Legal[Random() % Legal.size()];
      Game.push_back(Move);
      S = Replay(Game);
    }
    if (Open && !LegalMoves(S).empty()) return Game;
  }
}

TEST_F(UciDialogue, LongGameIsSetUpWhole) {
  const std::vector<std::string> Game = LongRandomGame(300);
  ASSERT_EQ(Game.size(), 300u);
  Engine.Send("position startpos moves " + Join(Game));
  const TAnswer Answer = Go(Engine, "go depth 2", Patience(20s));
  ExpectConsistent(Answer);
  TState* S = Replay(Game);
  ASSERT_NE(S, nullptr);
  EXPECT_TRUE(IsLegalMove(S, Answer.Move)) << Answer.Move << " after " << Join(Game);
  // A second position command with the whole game once more replaces the first.
  std::vector<std::string> Longer = Game;
  Longer.push_back(Answer.Move);
  Engine.Send("position startpos moves " + Join(Longer));
  const TAnswer Next = Go(Engine, "go depth 2", Patience(20s));
  ExpectConsistent(Next);
  EXPECT_TRUE(IsLegalMove(Replay(Longer), Next.Move)) << Next.Move;
}

// A game past the record's capacity: the moves that fit are kept and searched, the interface is told
// once on standard error, and every "go" still answers "bestmove" though the move cannot be recorded.
TEST(UciFullGameRecord, EveryGoIsAnswered) {
  TEngineProcess Engine;
  ASSERT_TRUE(Engine.Start(TALVARIND_EXE, {"uci"}, TEngineProcess::TErrors::Capture));
  std::string Full = "position startpos moves";
  for (int I = 0; I < 256; I++) Full += " g1f3 g8f6 f3g1 f6g8";
  for (const std::string& Position : {Full, Full + " e2e4 e7e5", Full + " e2e4 e7e5"}) {
    Engine.Send(Position);
    const TAnswer Answer = Go(Engine, "go depth 3", Patience(20s));
    ExpectConsistent(Answer);
    // The record ends in the initial position, White to move.
    EXPECT_TRUE(IsLegalMove(Replay({}), Answer.Move)) << Answer.Move;
  }
  Engine.Send("quit");
  EXPECT_TRUE(Engine.Wait(Patience(5s)).Clean());
  EXPECT_EQ(Engine.Errors(), "talvarind: the game record holds 1024 half-moves; later moves are ignored\n");
}

// The engine's use of its clock, as a GUI measures it. These need an unloaded, unsanitized build: the
// sanitizers slow the engine several times over while its budget stays the same, so its fixed reserve
// of 50 ms per move no longer covers the overhead.
class UciTimeUse : public UciDialogue {
 protected:
  void SetUp() override {
    if (SanitizedRun()) GTEST_SKIP() << "time use is measured in the plain build only";
    UciDialogue::SetUp();
    // As an interface does: the clock starts once the engine has said it is ready.
    Engine.Send("uci");
    Sync();
  }
};

// ctest label: timed (it measures the time a think takes)
TEST_F(UciTimeUse, StaysWithinItsClock) {
  // Sixty thinks on a clock of one second plus 100 ms a move; a game that ends sooner is followed by a
  // new one on fresh clocks.
  std::vector<std::string> Game;
  const long long Start = 1000, Increment = 100;
  long long ClockMs[2] = {Start, Start};
  long long Longest = 0;
  int Games = 1;
  for (int Think = 0; Think < 60; Think++) {
    TState* S = Replay(Game);
    ASSERT_NE(S, nullptr);
    if (LegalMoves(S).empty()) {
      Game.clear();
      ClockMs[0] = ClockMs[1] = Start;
      Games++;
      Engine.Send("ucinewgame");
    }
    const int Mover = int(Game.size() % 2);
    Engine.Send(Game.empty() ? "position startpos" : "position startpos moves " + Join(Game));
    Sync();
    const TAnswer Answer = Go(Engine,
                              "go wtime " + std::to_string(ClockMs[0]) + " btime " + std::to_string(ClockMs[1]) +
                                  " winc " + std::to_string(Increment) + " binc " + std::to_string(Increment),
                              milliseconds(ClockMs[Mover] + 5000));
    ASSERT_TRUE(Answer.Complete) << "no bestmove after " << Game.size() << " half-moves within the clock and 5 s\n"
                                 << Dump(Answer.Lines);
    EXPECT_LT(Answer.Ms, ClockMs[Mover]) << "after " << Game.size() << " half-moves";
    EXPECT_TRUE(IsLegalMove(Replay(Game), Answer.Move)) << Answer.Move;
    ClockMs[Mover] += Increment - Answer.Ms;
    if (Answer.Ms > Longest) Longest = Answer.Ms;
    Game.push_back(Answer.Move);
  }
  std::printf("[          ] 60 thinks in %d game(s), longest %lld ms, clocks left %lld / %lld ms\n", Games, Longest,
              ClockMs[0], ClockMs[1]);
}

TEST_F(UciTimeUse, MoveTimeIsKept) {
  // The promise itself, 1000 ms, is the bound: the engine plans 887 ms. A machine busy enough can stall
  // one think past it (a page of the program read back from disk, the threads waiting for a processor),
  // so a think over it is tried again; an engine that does not keep the time fails every try.
  std::vector<long long> Times;
  for (int Try = 0; Try < 3; Try++) {
    Engine.Send("position startpos moves e2e4");
    const TAnswer Answer = Go(Engine, "go movetime 1000", Patience(5s));
    ExpectConsistent(Answer);
    Times.push_back(Answer.Ms);
    if (Answer.Ms < 1000) break;
  }
  EXPECT_LT(Times.back(), 1000) << "every try over the time";
  for (long long Ms : Times) std::printf("[          ] movetime 1000 answered after %lld ms\n", Ms);
}

}  // namespace

// A ponder search sends no "bestmove" of its own accord, however long it runs or however soon its search
// is done: only after "ponderhit" (then within the budget of its "go", counted from the hit) or "stop".
TEST_F(UciDialogue, PonderAnswersOnlyAfterPonderhitOrStop) {
  struct TCase {
    const char* Go;
    const char* Leave;
  };
  for (const TCase& Case :
       {TCase{"go ponder wtime 2000 btime 2000", "ponderhit"}, TCase{"go ponder wtime 60000 btime 60000", "stop"},
        TCase{"go ponder depth 3", "ponderhit"}, TCase{"go ponder depth 3", "stop"}}) {
    SCOPED_TRACE(std::string(Case.Go) + ", then " + Case.Leave);
    Engine.Send("position startpos moves e2e4");
    Engine.Send(Case.Go);
    std::string Line;
    std::vector<std::string> Seen;
    // Past the budget a 2 s clock gives a move (2000 / 15 - 50 ms) many times over.
    EXPECT_FALSE(Engine.ReadUntilPrefix("bestmove", Line, 1000ms, &Seen)) << Dump(Seen);
    const auto Left = Clock::now();
    Engine.Send(Case.Leave);
    const TAnswer Answer = ReadAnswer(Engine, Patience(5s), Left, Seen);
    ExpectConsistent(Answer);
    EXPECT_TRUE(IsLegalMove(Replay({"e2e4"}), Answer.Move)) << Answer.Move;
    // The budget after a hit is a few dozen ms, and a stop is seen within 50 ms: the bound is ten times
    // either and more.
    EXPECT_LE(Answer.Ms, Patience(1000ms).count()) << Case.Leave << " to bestmove";
  }
  Sync();
}

// MultiPV: every iteration reports its best lines in order, each headed by a different move, the first
// being the move played; with fewer legal moves than lines, one line per move.
TEST_F(UciDialogue, MultiPVReportsTheBestLinesInOrder) {
  static const std::regex MultiLine(
      "info depth ([0-9]+) multipv ([0-9]+) score (cp|mate) (-?[0-9]+) time [0-9]+ "
      "nodes [0-9]+ nps [0-9]+ pv ([a-h1-8qrbn ]+)");
  struct TCase {
    const char* Position;
    int Lines;
    int Expected;
    size_t Depths;  // a single legal move ends deepening after three
  };
  for (const TCase& Case : {TCase{"position startpos", 3, 3, 6}, TCase{"position startpos moves e2e4 e7e5", 5, 5, 6},
                            TCase{"position fen 7k/8/8/8/8/8/6r1/7K w - - 0 1", 4, 1, 3}}) {
    SCOPED_TRACE(Case.Position);
    Engine.Send("setoption name MultiPV value " + std::to_string(Case.Lines));
    Engine.Send(Case.Position);
    const TAnswer Answer = Go(Engine, "go depth 6", Patience(30s));
    ASSERT_TRUE(Answer.Complete) << Dump(Answer.Lines);
    std::map<int, std::vector<std::pair<int, std::string>>> ByDepth;  // depth: (score, first move) by line
    for (const std::string& L : Answer.Lines) {
      std::smatch M;
      if (L.rfind("info depth", 0) != 0) continue;
      ASSERT_TRUE(std::regex_match(L, M, MultiLine)) << L;
      auto& Lines = ByDepth[std::stoi(M[1])];
      EXPECT_EQ(std::stoi(M[2]), int(Lines.size()) + 1) << L;
      const int Value = std::stoi(M[4]);
      Lines.push_back({M[3] == "cp" ? Value : (Value > 0 ? 100000 - Value : -100000 - Value), Words(M[5])[0]});
    }
    ASSERT_EQ(ByDepth.size(), Case.Depths) << Dump(Answer.Lines);
    for (const auto& [Depth, Lines] : ByDepth) {
      ASSERT_EQ(int(Lines.size()), Case.Expected) << "depth " << Depth;
      std::set<std::string> First;
      for (size_t K = 0; K < Lines.size(); K++) {
        First.insert(Lines[K].second);
        if (K > 0) {
          EXPECT_LE(Lines[K].first, Lines[K - 1].first) << "depth " << Depth << " line " << K + 1;
        }
      }
      EXPECT_EQ(First.size(), Lines.size()) << "depth " << Depth;
    }
    EXPECT_EQ(ByDepth.rbegin()->second[0].second, Answer.Move);
  }
  Engine.Send("setoption name MultiPV value 1");
  Engine.Send("position startpos");
  const TAnswer Single = Go(Engine, "go depth 3", Patience(10s));
  ExpectConsistent(Single);
  for (const std::string& L : Single.Lines) EXPECT_EQ(L.find("multipv"), std::string::npos) << L;
}

// "searchmoves": only the moves named are searched; a word that is no legal move ends the list.
TEST_F(UciDialogue, SearchmovesLimitsTheRootMoves) {
  struct TCase {
    const char* Go;
    std::set<std::string> Allowed;  // empty: any legal move
  };
  const TCase Cases[] = {
      {"go depth 5 searchmoves a2a3", {"a2a3"}},
      {"go searchmoves h2h4 b1a3 depth 4", {"h2h4", "b1a3"}},
      {"go depth 3 searchmoves e2e5", {}},
      {"go depth 3 searchmoves g1h3 e2e5 a2a4", {"g1h3"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Go);
    Engine.Send("position startpos");
    const TAnswer Answer = Go(Engine, Case.Go, Patience(20s));
    ExpectConsistent(Answer);
    EXPECT_TRUE(IsLegalMove(Replay({}), Answer.Move)) << Answer.Move;
    if (!Case.Allowed.empty()) {
      EXPECT_TRUE(Case.Allowed.count(Answer.Move)) << Answer.Move;
    }
    for (const std::string& L : Answer.Lines) {
      TInfoLine Info;
      if (!Case.Allowed.empty() && ReadCompleteInfo(L, Info)) {
        EXPECT_TRUE(Case.Allowed.count(Info.PV.at(0))) << L;
      }
    }
  }
  // The next "go" has every move again.
  const TAnswer Free = Go(Engine, "go depth 4", Patience(20s));
  ExpectConsistent(Free);
  EXPECT_NE(Free.Move, "a2a3");
}

// Hash: the table takes the size asked for, seen in what "uci" shows; a size beyond the machine is
// refused with the reason and the table kept, and the engine searches on.
TEST_F(UciDialogue, HashResizesTheTableOrKeepsItWithAReason) {
  const auto HashShown = [&] {
    Engine.Send("uci");
    std::string Line;
    std::vector<std::string> Seen;
    EXPECT_TRUE(Engine.ReadUntil([](const std::string& L) { return L == "uciok"; }, Line, Patience(10s), &Seen));
    for (const std::string& L : Seen) {
      std::smatch M;
      if (std::regex_match(L, M, std::regex("option name Hash type spin default ([0-9]+) min 1 max ([0-9]+)")))
        return std::stoll(M[1]);
    }
    ADD_FAILURE() << Dump(Seen);
    return -1LL;
  };
  Engine.Send("setoption name Hash value 48");  // rounded down to 32
  EXPECT_EQ(HashShown(), 32);
  Engine.Send("setoption name Hash value 100000000");  // about 95 TiB
  std::string Line;
  ASSERT_TRUE(Engine.ReadLine(Line, Patience(10s)));
  EXPECT_EQ(Line, "info string Hash 100000000 MiB is more than this machine's memory; the table stays at 32 MiB");
  EXPECT_EQ(HashShown(), 32);
  Sync();
  ExpectConsistent(Go(Engine, "go depth 6", Patience(20s)));
  Engine.Send("setoption name Clear Hash");
  ExpectConsistent(Go(Engine, "go depth 6", Patience(20s)));
}

// The principal variation stops where the game would end: it never runs past a position's third
// occurrence (the game's positions counted too) nor past the fifty-move rule.
TEST_F(UciDialogue, VariationEndsWhereTheGameWould) {
  struct TCase {
    const char* Fen;
    std::vector<std::string> Moves;
  };
  const TCase Cases[] = {
      // Bare kings: the table's entries lead round and round.
      {"8/8/5k2/8/5K2/8/8/8 b - - 0 1", {}},
      {"startpos", {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"}},
      // Fifty moves all but one without a capture or a pawn move.
      {"8/8/4k3/8/8/3K4/8/6R1 w - - 97 120", {}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Fen);
    std::string Position =
        std::string(Case.Fen) == "startpos" ? "position startpos" : std::string("position fen ") + Case.Fen;
    if (!Case.Moves.empty()) Position += " moves";
    for (const std::string& M : Case.Moves) Position += " " + M;
    Engine.Send(Position);
    const TAnswer Answer = Go(Engine, "go depth 10", Patience(30s));
    ExpectConsistent(Answer);
    for (const std::string& L : Answer.Lines) {
      TInfoLine Info;
      if (!ReadCompleteInfo(L, Info)) continue;
      std::vector<std::string> Game = Case.Moves;
      const std::vector<std::string>& PV = Info.PV;
      TState* S = Replay(Case.Moves, Case.Fen);
      ASSERT_NE(S, nullptr);
      std::map<uint64_t, int> Seen;
      // The game's own positions since its last irreversible move.
      for (int I = S->HistoryPly - 1; I >= 0 && I >= S->HistoryPly - S->Position.ReversibleMoves; I--)
        Seen[S->HistoryStack[I].Hash]++;
      Seen[S->Position.Hash]++;
      for (size_t K = 0; K < PV.size(); K++) {
        Game.push_back(PV[K]);
        S = Replay(Game, Case.Fen);
        ASSERT_NE(S, nullptr) << L;
        const bool Over = ++Seen[S->Position.Hash] >= 3 || S->Position.ReversibleMoves >= 100;
        if (Over) {
          EXPECT_EQ(K + 1, PV.size()) << "the game ended at move " << K + 1 << ": " << L;
        }
      }
    }
  }
}

// Mates in the info lines count moves, negative when the engine is the one mated.
TEST_F(UciDialogue, MatesAreReportedInMoves) {
  struct TCase {
    const char* Fen;
    const char* Score;
    const char* Best;
  };
  for (const TCase& Case : {TCase{"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "score mate 1 ", "bestmove a1a8"},
                            TCase{"r6k/6pp/7N/8/8/1Q6/8/6K1 w - - 0 1", "score mate 2 ", "bestmove b3g8"},
                            TCase{"k7/8/1K6/8/8/8/8/7R b - - 0 1", "score mate -1 ", "bestmove a8b8"},
                            TCase{"r5k1/6pp/7N/8/2Q5/8/8/6K1 b - - 1 1", "score mate -2 ", "bestmove g8h8"},
                            TCase{"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "score mate 0 ", "bestmove (none)"}}) {
    SCOPED_TRACE(Case.Fen);
    Engine.Send(std::string("position fen ") + Case.Fen);
    const TAnswer Answer = Go(Engine, "go depth 6", Patience(20s));
    ASSERT_FALSE(Answer.Lines.empty());
    // Shallow iterations may not see the mate yet; the deepest does.
    std::string Best, Deepest;
    for (const std::string& L : Answer.Lines) {
      if (L.rfind("bestmove", 0) == 0) Best = L.substr(0, L.find(" ponder"));
      if (L.find(" score ") != std::string::npos) Deepest = L;
    }
    EXPECT_NE(Deepest.find(Case.Score), std::string::npos) << Dump(Answer.Lines);
    if (Best.empty()) {
      std::string Line;
      ASSERT_TRUE(Engine.ReadUntilPrefix("bestmove", Line, Patience(5s)));
      Best = Line;
    }
    EXPECT_EQ(Best, Case.Best) << Dump(Answer.Lines);
  }
}
