// Self-play under load (make soak; not part of make test): two engine processes with two search threads
// each play fast games through their UCI dialogue, refereed here. Any crash, hang, illegal or missing move,
// or think longer than the time the engine had left fails the run. TALVARIND_SOAK_GAMES sets the number of
// games, TALVARIND_SOAK_SEED the openings.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "Referee.h"
#include "Replay.h"

namespace {

using namespace std::chrono_literals;
using e2e::TEnding;
using e2e::TEngineProcess;
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
             e2e::Dump(Seen) + Gone();
    return "";
  }
  // What became of a process that stopped answering.
  std::string Gone() {
    if (!Engine.OutputEnded()) return "";
    const e2e::TExit Exit = Engine.Wait(1s);
    return Name + " ended: " +
           (Exit.Exited ? "exit code " + std::to_string(Exit.Code) : "signal " + std::to_string(Exit.Signal)) + "\n" +
           Engine.Errors();
  }
};

struct TTally {
  int Wins = 0, Draws = 0, Losses = 0;  // of the first engine
  std::map<std::string, int> Endings;
  long long Thinks = 0;
  // The think that used the largest share of the time its engine had left.
  double WorstShare = 0;
  long long WorstThinkMs = 0, WorstLeftMs = 0, LongestThinkMs = 0;
  std::string WorstWhere;
};

// Plays one game; the failure text, empty when nothing went wrong.
std::string PlayGame(TPlayer* White, TPlayer* Black, e2e::TReferee& Referee, std::mt19937& Random, int FirstIsWhite,
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
    const std::string Moves = e2e::Join(Referee.Moves());
    Mover->Engine.Send(Moves.empty() ? "position startpos" : "position startpos moves " + Moves);
    Mover->Engine.Send("go wtime " + std::to_string(LeftMs[0]) + " btime " + std::to_string(LeftMs[1]) + " winc " +
                       std::to_string(IncrementMs) + " binc " + std::to_string(IncrementMs));
    const Clock::time_point Start = Clock::now();
    std::string Line;
    std::vector<std::string> Seen;
    const bool Answered = Mover->Engine.ReadUntilPrefix("bestmove", Line, milliseconds(LeftMs[Side]) + Grace, &Seen);
    const long long ThinkMs = std::chrono::duration_cast<milliseconds>(Clock::now() - Start).count();
    const std::string Context = "\nafter: " + Moves + "\n" + e2e::Dump(Seen);
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
    LeftMs[Side] += IncrementMs - ThinkMs;
  }

  Tally.Endings[e2e::EndingName(Ending)]++;
  if (Ending != TEnding::Checkmate) Tally.Draws++;
  // The side to move has been mated.
  else if ((Referee.SideToMove() == 0) == (FirstIsWhite != 0)) Tally.Losses++;
  else Tally.Wins++;
  std::printf("game %d: %s, %s after %zu plies\n", Game, FirstIsWhite ? "first engine white" : "first engine black",
              e2e::EndingName(Ending), Referee.Moves().size());
  std::fflush(stdout);
  return "";
}

int EnvironmentNumber(const char* Name, int Default) {
  const char* Text = std::getenv(Name);
  return Text && *Text ? std::atoi(Text) : Default;
}

TEST(Soak, SelfPlayUnderLoad) {
  const int Games = EnvironmentNumber("TALVARIND_SOAK_GAMES", 0);
  if (Games <= 0) GTEST_SKIP() << "the soak runs under make soak (TALVARIND_SOAK_GAMES=N)";
  if (e2e::Sanitized()) GTEST_SKIP() << "the soak measures time: plain build only";
  const unsigned Seed = unsigned(EnvironmentNumber("TALVARIND_SOAK_SEED", 1));

  TPlayer Players[2];
  for (int I = 0; I < 2; I++) {
    Players[I].Name = I == 0 ? "first engine" : "second engine";
    ASSERT_TRUE(Players[I].Engine.Start(TALVARIND_EXE, {"uci"}, TEngineProcess::TErrors::Capture));
    ASSERT_EQ(Players[I].Expect("uci", "uciok", 10s), "");
    Players[I].Engine.Send("setoption name Threads value 2");
    ASSERT_EQ(Players[I].Expect("isready", "readyok", 30s), "");
  }

  e2e::TReferee Referee;
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
    const e2e::TExit Exit = Player.Engine.Wait(10s);
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
}

}  // namespace
