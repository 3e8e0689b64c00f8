// The Windows build under Wine: perft and the search signature of talvarind-bench.exe against the known
// counts and the Linux build, and whole dialogues with talvarind.exe through a Windows pipe (the way a
// chess interface starts an engine) and through a Unix pipe. `make test-windows` builds the executables
// and prepares a Wine prefix; where Wine or the executables are missing, every test here is skipped and
// says why.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/ProtocolLines.h"
#include "support/Replay.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// Wine starts a program in about a second and the 1 GiB table takes a few more to fault in.
constexpr milliseconds WineStart = 60s;

struct TWine {
  std::string Loader;     // the wine64 program
  std::string Directory;  // the Windows build
  std::string Missing;    // why nothing can run here; empty when everything is there
};

bool Exists(const std::string& Path, int Mode = F_OK) { return access(Path.c_str(), Mode) == 0; }

std::string Environment(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value != nullptr ? Value : "";
}

// Runs Program to its end; the lines it wrote, or nothing when it did not end cleanly in time.
bool RunToEnd(const std::string& Program, const std::vector<std::string>& Arguments, milliseconds Timeout,
              std::vector<std::string>& Lines, bool CrLf, int ExpectedCode = 0) {
  TEngineProcess Process;
  if (CrLf) Process.ExpectCrLf();
  if (!Process.Start(Program, Arguments, TEngineProcess::TErrors::Discard)) return false;
  std::string Line;
  while (Process.ReadLine(Line, Timeout)) Lines.push_back(Line);
  const TExit Exit = Process.Wait(Timeout);
  return Process.OutputEnded() && Exit.Exited && Exit.Code == ExpectedCode;
}

const TWine& Wine() {
  static const TWine Found = [] {
    TWine W;
    W.Directory = Environment("TALVARIND_WINDOWS_BUILD");
    if (W.Directory.empty()) W.Directory = TALVARIND_SOURCE_DIR "/build-windows";
    W.Loader = Environment("TALVARIND_WINE");
    for (const char* Candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64"})
      if (W.Loader.empty() && Exists(Candidate, X_OK)) W.Loader = Candidate;
    const std::string Prefix = W.Directory + "/wineprefix";
    if (W.Loader.empty() || !Exists(W.Loader, X_OK)) {
      W.Missing = "Wine (wine64) is not installed";
    } else if (!Exists(W.Directory + "/talvarind.exe") || !Exists(W.Directory + "/talvarind-bench.exe") ||
               !Exists(W.Directory + "/talvarind-pipe-relay.exe")) {
      W.Missing = "no Windows build in " + W.Directory;
    } else if (!Exists(Prefix + "/system.reg")) {
      W.Missing = "no Wine prefix in " + Prefix;
    } else {
      setenv("WINEPREFIX", Prefix.c_str(), 1);
      setenv("WINEDEBUG", "-all", 1);
      // Wine itself, without any program of ours: its command interpreter's exit status.
      std::vector<std::string> Ignored;
      if (!RunToEnd(W.Loader, {"cmd.exe", "/c", "exit 7"}, WineStart, Ignored, true, 7))
        W.Missing = "Wine does not run Windows programs here";
    }
    return W;
  }();
  return Found;
}

std::string WindowsProgram(const std::string& Name) { return Wine().Directory + "/" + Name; }

class WineBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Wine().Missing.empty()) GTEST_SKIP() << "Windows tests SKIPPED: " << Wine().Missing;
  }

  // talvarind-bench.exe with Arguments; its output lines, or a failure when it did not end cleanly.
  static std::vector<std::string> Bench(const std::vector<std::string>& Arguments) {
    std::vector<std::string> Full = {WindowsProgram("talvarind-bench.exe")};
    Full.insert(Full.end(), Arguments.begin(), Arguments.end());
    std::vector<std::string> Lines;
    EXPECT_TRUE(RunToEnd(Wine().Loader, Full, Patience(WineStart), Lines, true)) << "bench " << Arguments[0];
    return Lines;
  }
};

using WinePerft = WineBuild;

TEST_F(WinePerft, StandardPositionsGiveTheKnownCounts) {
  struct TCase {
    const char* Fen;
    const char* Depth;
    const char* Leaves;
  };
  const TCase Cases[] = {
      {"startpos", "5", "4865609"},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", "4", "4085603"},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", "5", "674624"},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", "4", "422333"},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", "4", "2103487"},
      {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", "4", "3894594"},
  };
  for (const TCase& Case : Cases) {
    const std::vector<std::string> Lines = Bench({"perft", Case.Depth, Case.Fen});
    ASSERT_EQ(Lines.size(), 1u) << Case.Fen;
    const std::vector<std::string> Fields = Words(Lines[0]);
    ASSERT_EQ(Fields.size(), 5u) << Lines[0];
    EXPECT_EQ(Fields[1], Case.Depth) << Case.Fen;
    EXPECT_EQ(Fields[2], Case.Leaves) << Case.Fen;
  }
}

using WineBench = WineBuild;

// One thread over the fixed positions to the default depth: the node total is the signature that the
// Linux build keeps in bench/signature.txt.
TEST_F(WineBench, SearchSignatureIsTheLinuxBuildsOne) {
  std::ifstream File(TALVARIND_SOURCE_DIR "/bench/signature.txt");
  std::string Recorded;
  ASSERT_TRUE(File >> Recorded) << "bench/signature.txt holds no number";
  const std::vector<std::string> Lines = Bench({"search"});
  ASSERT_FALSE(Lines.empty());
  const std::vector<std::string> Total = Words(Lines.back());
  ASSERT_GE(Total.size(), 2u) << Lines.back();
  EXPECT_EQ(Total[0], "total");
  EXPECT_EQ(Total[1], Recorded) << "the Windows build searches another tree than the Linux one";
}

// How the dialogue reaches the engine.
enum class TPipe {
  Windows,  // a Windows pipe made by the relay, as a chess interface starts an engine
  Unix,     // Wine's standard input itself, which cannot be peeked at
};

// A dialogue with talvarind.exe: Face is its first argument.
class WineDialogue : public WineBuild {
 protected:
  void Start(TPipe Pipe, const std::string& Face) {
    std::vector<std::string> Arguments;
    if (Pipe == TPipe::Windows) Arguments.push_back(WindowsProgram("talvarind-pipe-relay.exe"));
    Arguments.push_back(WindowsProgram("talvarind.exe"));
    Arguments.push_back(Face);
    Engine.ExpectCrLf();
    ASSERT_TRUE(Engine.Start(Wine().Loader, Arguments));
  }
  void TearDown() override {
    Engine.CloseInput();
    if (Engine.Running()) Engine.Wait(Patience(WineStart));
  }

  // Sends Command and reads until a line that matches Wanted; every line read is kept in Seen.
  std::string Expect(const std::string& Command, const std::regex& Wanted, milliseconds Timeout = Patience(WineStart)) {
    if (!Command.empty()) {
      EXPECT_TRUE(Engine.Send(Command)) << Command;
    }
    std::string Line;
    EXPECT_TRUE(
        Engine.ReadUntil([&](const std::string& L) { return std::regex_match(L, Wanted); }, Line, Timeout, &Seen))
        << "after \"" << Command << "\":\n"
        << Dump();
    return Line;
  }
  std::string Dump() const { return ::Dump(Seen); }
  void ExpectCleanExit() {
    const TExit Exit = Engine.Wait(Patience(WineStart));
    EXPECT_TRUE(Exit.Clean()) << "code " << Exit.Code << " signal " << Exit.Signal << " timed out " << Exit.TimedOut;
  }

  TEngineProcess Engine;
  std::vector<std::string> Seen;
};

std::string BestMoveOf(const std::string& Line) {
  std::smatch Match;
  return std::regex_match(Line, Match, BestMoveLine) ? std::string(Match[1]) : std::string();
}

// How a UCI session ends.
enum class TEnding { Quit, EndOfInput, EndOfInputDuringSearch };

struct TUciCase {
  TPipe Pipe;
  TEnding Ending;
};

class WineUci : public WineDialogue, public ::testing::WithParamInterface<TUciCase> {};

TEST_P(WineUci, SessionAsOnLinux) {
  Start(GetParam().Pipe, "uci");
  Expect("uci", std::regex("uciok"));
  EXPECT_EQ(Seen.front(), "id name Talvarind 1.00.2012.04.10.0112") << Dump();
  Expect("isready", std::regex("readyok"));

  Engine.Send("position startpos moves e2e4");
  const std::string Reply = BestMoveOf(Expect("go depth 5", BestMoveLine));
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4"}), Reply)) << Dump();

  // A stop arriving in two pieces during an infinite search: the first piece alone stops nothing.
  Engine.Send("position startpos moves e2e4 e7e5");
  Expect("go infinite", std::regex("info depth 2 .*"));
  Engine.SendRaw("st");
  Expect("", std::regex("info depth 4 .*"));
  Engine.SendRaw("op\n");
  const std::string Stopped = BestMoveOf(Expect("", BestMoveLine));
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4", "e7e5"}), Stopped)) << Dump();
  Expect("isready", std::regex("readyok"));

  switch (GetParam().Ending) {
    case TEnding::Quit: Engine.Send("quit"); break;
    case TEnding::EndOfInput: Engine.CloseInput(); break;
    case TEnding::EndOfInputDuringSearch:
      Expect("go infinite", std::regex("info depth 3 .*"));
      Engine.CloseInput();
      Expect("", BestMoveLine);
      break;
  }
  ExpectCleanExit();
}

INSTANTIATE_TEST_SUITE_P(Pipes, WineUci,
                         ::testing::Values(TUciCase{TPipe::Windows, TEnding::Quit},
                                           TUciCase{TPipe::Windows, TEnding::EndOfInputDuringSearch},
                                           TUciCase{TPipe::Unix, TEnding::EndOfInput}));

// The XBoard dialogue through a Windows pipe: the engine answers a move, moves at once on "?" during a
// long think, and ends on "quit".
TEST_F(WineDialogue, XBoardSessionAsOnLinux) {
  Start(TPipe::Windows, "xboard");
  Expect("xboard", std::regex("tellics say     by Yorvane 'Kesk' Drummelt"));
  Expect("protover 2", std::regex("feature .* done=1"));
  Engine.Send("new");
  Engine.Send("sd 4");
  Engine.Send("post");
  std::smatch Match;
  std::string Line = Expect("e2e4", MoveLine);
  ASSERT_TRUE(std::regex_match(Line, Match, MoveLine)) << Dump();
  const std::string Reply = Match[1];
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4"}), Reply)) << Dump();

  // Now without a depth limit, on a long clock: "?" makes it move.
  Engine.Send("sd 0");
  Engine.Send("level 0 60 0");
  Engine.Send("force");
  Engine.Send("d2d4");
  Expect("go", ThinkingLine);
  Line = Expect("?", MoveLine);
  ASSERT_TRUE(std::regex_match(Line, Match, MoveLine)) << Dump();
  EXPECT_TRUE(IsLegalMove(Replay({"e2e4", Reply, "d2d4"}), Match[1].str())) << Dump();
  Engine.Send("quit");
  ExpectCleanExit();
}

}  // namespace
