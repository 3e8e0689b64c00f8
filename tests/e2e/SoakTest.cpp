// Self-play under load (make soak; not part of make test): two engine processes with two search threads
// each play fast games through their UCI dialogue, refereed here. Any crash, hang, illegal or missing move,
// or think longer than the time the engine had left fails the run. TALVARIND_SOAK_GAMES sets the number of
// games, TALVARIND_SOAK_SEED the openings; TALVARIND_SOAK_LOAD=1 adds two busy loops and a process that
// keeps allocating and touching memory (TALVARIND_SOAK_TOUCH_GIB, 3 by default). The report ends with the
// ten thinks that went furthest past the budget the engine gave itself ("debug on").
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/Processes.h"
#include "support/Referee.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr long long StartMs = 2000, IncrementMs = 50;
// An engine that has not answered by the end of its clock and this much more is hung.
constexpr milliseconds Grace = 2000ms;
// Random half-moves before the engines take over, so that the games differ.
constexpr int OpeningPlies = 3;

struct TPlayer {
  TEngineProcess Engine;
  std::string Name;

  // Failure text, empty when the engine answered.
  std::string Expect(std::string_view Sent, std::string_view Answer, milliseconds Timeout) {
    std::string Line;
    std::vector<std::string> Seen;
    if (!Engine.Send(Sent) ||
        !Engine.ReadUntil([&](const std::string& L) { return L == Answer; }, Line, Timeout, &Seen))
      return Name + " did not answer \"" + std::string(Sent) + "\" with \"" + std::string(Answer) + "\"\n" +
             Dump(Seen) + Gone();
    return "";
  }
  // What became of a process that stopped answering.
  std::string Gone() {
    if (!Engine.OutputEnded()) return "";
    const TExit Exit = Engine.Wait(1s);
    return Name + " ended: " +
           (Exit.Exited ? "exit code " + std::to_string(Exit.Code) : "signal " + std::to_string(Exit.Signal)) + "\n" +
           Engine.Errors();
  }
};

// One think against the budget the engine announced for it.
struct TThink {
  long long OverMs;  // past the budget; negative when within it
  long long ThinkMs, BudgetMs, SinceReportMs;
  int Depth;
  std::string Where;
};

struct TTally {
  int Wins = 0, Draws = 0, Losses = 0;  // of the first engine
  std::map<std::string, int> Endings;
  long long Thinks = 0;
  // The think that used the largest share of the time its engine had left.
  double WorstShare = 0;
  long long WorstThinkMs = 0, WorstLeftMs = 0, LongestThinkMs = 0;
  std::string WorstWhere;
  std::vector<TThink> All;
};

// The budget, the last depth reported and when the last report came, from a think's lines.
struct TReports {
  long long BudgetMs = -1;
  int Depth = 0;
  Clock::time_point LastReport{};
};

// Plays one game; the failure text, empty when nothing went wrong.
std::string PlayGame(TPlayer* White, TPlayer* Black, TReferee& Referee, std::mt19937& Random, int FirstIsWhite,
                     TTally& Tally, int Game) {
  for (TPlayer* Player : {White, Black}) {
    Player->Engine.Send("ucinewgame");
    if (std::string Failure = Player->Expect("isready", "readyok", 30s); !Failure.empty()) return Failure;
  }
  Referee.NewGame();
  for (int Ply = 0; Ply < OpeningPlies && Referee.Ending() == TEnding::None; Ply++) {
    const std::vector<std::string> Legal = Referee.LegalMoves();
    Referee.Play(Legal[Random() % Legal.size()]);
  }

  long long LeftMs[2] = {StartMs, StartMs};
  TEnding Ending;
  while ((Ending = Referee.Ending()) == TEnding::None) {
    const int Side = Referee.SideToMove();
    TPlayer* Mover = Side == 0 ? White : Black;
    const std::string Where = "game " + std::to_string(Game) + ", ply " + std::to_string(Referee.Moves().size() + 1) +
                              " (" + Mover->Name + ")";
    const std::string Moves = Join(Referee.Moves());
    Mover->Engine.Send(Moves.empty() ? "position startpos" : "position startpos moves " + Moves);
    Mover->Engine.Send("go wtime " + std::to_string(LeftMs[0]) + " btime " + std::to_string(LeftMs[1]) + " winc " +
                       std::to_string(IncrementMs) + " binc " + std::to_string(IncrementMs));
    const Clock::time_point Start = Clock::now();
    std::string Line;
    std::vector<std::string> Seen;
    TReports Reports;
    Reports.LastReport = Start;
    const bool Answered = Mover->Engine.ReadUntil(
        [&](const std::string& L) {
          if (L.rfind("info ", 0) != 0) return L.rfind("bestmove", 0) == 0;
          Reports.LastReport = Clock::now();
          long long Budget;
          int Depth;
          if (std::sscanf(L.c_str(), "info string budget %lld ms", &Budget) == 1) Reports.BudgetMs = Budget;
          else if (std::sscanf(L.c_str(), "info depth %d", &Depth) == 1) Reports.Depth = Depth;
          return false;
        },
        Line, milliseconds(LeftMs[Side]) + Grace, &Seen);
    const Clock::time_point End = Clock::now();
    const long long ThinkMs = std::chrono::duration_cast<milliseconds>(End - Start).count();
    const std::string Context = "\nafter: " + Moves + "\n" + Dump(Seen);
    if (!Answered) {
      const std::string Gone = Mover->Gone();
      return Where +
             (Gone.empty() ? ": hang, no \"bestmove\" within " + std::to_string(LeftMs[Side]) + " ms + grace"
                           : ": " + Gone) +
             Context;
    }
    const std::string Move =
        Line.size() > 9 && Line.compare(0, 9, "bestmove ") == 0 ? Line.substr(9, Line.find(' ', 9) - 9) : "";
    if (Move.empty()) return Where + ": \"bestmove\" without a move" + Context;
    if (!Referee.Play(Move)) return Where + ": illegal move " + Move + Context;
    if (ThinkMs > LeftMs[Side])
      return Where + ": lost on time, thought " + std::to_string(ThinkMs) + " ms with " + std::to_string(LeftMs[Side]) +
             " ms left" + Context;

    Tally.Thinks++;
    const double Share = double(ThinkMs) / double(LeftMs[Side]);
    if (Share > Tally.WorstShare) {
      Tally.WorstShare = Share;
      Tally.WorstThinkMs = ThinkMs;
      Tally.WorstLeftMs = LeftMs[Side];
      Tally.WorstWhere = Where;
    }
    if (ThinkMs > Tally.LongestThinkMs) Tally.LongestThinkMs = ThinkMs;
    if (Reports.BudgetMs < 0) return Where + ": no \"info string budget\" before the move" + Context;
    Tally.All.push_back({ThinkMs - Reports.BudgetMs, ThinkMs, Reports.BudgetMs,
                         std::chrono::duration_cast<milliseconds>(End - Reports.LastReport).count(), Reports.Depth,
                         Where});
    LeftMs[Side] += IncrementMs - ThinkMs;
  }

  Tally.Endings[EndingName(Ending)]++;
  if (Ending != TEnding::Checkmate) Tally.Draws++;
  // The side to move has been mated.
  else if ((Referee.SideToMove() == 0) == (FirstIsWhite != 0)) Tally.Losses++;
  else Tally.Wins++;
  std::printf("game %d: %s, %s after %zu plies\n", Game, FirstIsWhite ? "first engine white" : "first engine black",
              EndingName(Ending), Referee.Moves().size());
  std::fflush(stdout);
  return "";
}

int EnvironmentNumber(const char* Name, int Default) {
  const char* Text = std::getenv(Name);
  return Text && *Text ? std::atoi(Text) : Default;
}

// The memory load: started by the soak as a process of its own (this program, this test alone).
TEST(SoakLoad, TouchMemory) {
  const int Gib = EnvironmentNumber("TALVARIND_SOAK_TOUCH_GIB", 0);
  if (Gib <= 0) GTEST_SKIP() << "run by the soak under load";
  const size_t Bytes = size_t(Gib) << 30;
  for (;;) {
    // Allocated afresh each round, so that the system keeps finding and zeroing pages.
    std::vector<char*> Blocks;
    for (size_t Done = 0; Done < Bytes; Done += size_t(1) << 28) Blocks.push_back(new char[size_t(1) << 28]);
    for (char* Block : Blocks) {
      for (size_t At = 0; At < (size_t(1) << 28); At += 4096) Block[At] = char(At);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (char* Block : Blocks) delete[] Block;
  }
}

// ctest label: soak (self-play: make soak's 200 games take twenty minutes or so)
TEST(Soak, SelfPlayUnderLoad) {
  const int Games = EnvironmentNumber("TALVARIND_SOAK_GAMES", 0);
  if (Games <= 0) GTEST_SKIP() << "the soak runs under make soak (TALVARIND_SOAK_GAMES=N)";
  if (SanitizedRun()) GTEST_SKIP() << "the soak measures time: plain build only";
  const unsigned Seed = unsigned(EnvironmentNumber("TALVARIND_SOAK_SEED", 1));

  // Killed with the test's end.
  std::vector<std::unique_ptr<TEngineProcess>> Load;
  if (EnvironmentNumber("TALVARIND_SOAK_LOAD", 0) == 1) {
    for (int I = 0; I < 2; I++) {
      Load.push_back(std::make_unique<TEngineProcess>());
      ASSERT_TRUE(Load.back()->Start("/bin/sh", {"-c", "while :; do :; done"}));
    }
    const int Gib = EnvironmentNumber("TALVARIND_SOAK_TOUCH_GIB", 3);
    setenv("TALVARIND_SOAK_TOUCH_GIB", std::to_string(Gib).c_str(), 1);
    Load.push_back(std::make_unique<TEngineProcess>());
    ASSERT_TRUE(Load.back()->Start("/proc/self/exe", {"--gtest_filter=SoakLoad.TouchMemory"}));
    unsetenv("TALVARIND_SOAK_TOUCH_GIB");
    std::printf("soak: under load, two busy loops and %d GiB allocated and touched over and over\n", Gib);
  }

  TPlayer Players[2];
  for (int I = 0; I < 2; I++) {
    Players[I].Name = I == 0 ? "first engine" : "second engine";
    ASSERT_TRUE(Players[I].Engine.Start(TALVARIND_EXE, {"uci"}, TEngineProcess::TErrors::Capture));
    ASSERT_EQ(Players[I].Expect("uci", "uciok", 10s), "");
    Players[I].Engine.Send("debug on");
    Players[I].Engine.Send("setoption name Threads value 2");
    ASSERT_EQ(Players[I].Expect("isready", "readyok", 30s), "");
  }

  TReferee Referee;
  TTally Tally;
  const Clock::time_point Start = Clock::now();
  for (int Game = 1; Game <= Games; Game++) {
    // Each opening is played twice, with colours swapped.
    std::mt19937 Random(Seed * 7919u + unsigned((Game - 1) / 2));
    const int FirstIsWhite = Game % 2;
    TPlayer* White = &Players[FirstIsWhite ? 0 : 1];
    TPlayer* Black = &Players[FirstIsWhite ? 1 : 0];
    const std::string Failure = PlayGame(White, Black, Referee, Random, FirstIsWhite, Tally, Game);
    ASSERT_EQ(Failure, "");
  }
  const long long Seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - Start).count();

  for (TPlayer& Player : Players) {
    Player.Engine.Send("quit");
    const TExit Exit = Player.Engine.Wait(10s);
    EXPECT_TRUE(Exit.Clean()) << Player.Name << ": exit code " << Exit.Code << ", signal " << Exit.Signal
                              << (Exit.TimedOut ? ", did not end" : "") << "\n"
                              << Player.Engine.Errors();
  }

  std::printf("soak: %d games in %lld min %lld s, first engine +%d =%d -%d\n", Games, Seconds / 60, Seconds % 60,
              Tally.Wins, Tally.Draws, Tally.Losses);
  for (const auto& [Ending, Count] : Tally.Endings) std::printf("  %s: %d\n", Ending.c_str(), Count);
  std::printf("  %lld thinks; slowest against its budget: %lld ms of %lld ms left (%.0f %%), %s; longest %lld ms\n",
              Tally.Thinks, Tally.WorstThinkMs, Tally.WorstLeftMs, 100 * Tally.WorstShare, Tally.WorstWhere.c_str(),
              Tally.LongestThinkMs);
  const size_t Shown = std::min<size_t>(10, Tally.All.size());
  std::partial_sort(Tally.All.begin(), Tally.All.begin() + long(Shown), Tally.All.end(),
                    [](const TThink& A, const TThink& B) { return A.OverMs > B.OverMs; });
  std::printf("  the %zu thinks furthest past their budget:\n  %8s %8s %8s %6s %12s  %s\n", Shown, "past ms", "think",
              "budget", "depth", "since report", "where");
  for (size_t I = 0; I < Shown; I++) {
    const TThink& T = Tally.All[I];
    std::printf("  %8lld %8lld %8lld %6d %12lld  %s\n", T.OverMs, T.ThinkMs, T.BudgetMs, T.Depth, T.SinceReportMs,
                T.Where.c_str());
  }
}

}  // namespace
