// Talvarind behind Debian's polyglot, which turns an XBoard interface's commands into UCI: a real
// adapter's way of driving the dialogue, with its own idea of the commands' order and timing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/Replay.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;

bool IsExecutable(const std::string& Path) {
  struct stat Info;
  return stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) && access(Path.c_str(), X_OK) == 0;
}

// Debian installs it under /usr/games, which is not always on PATH.
std::string FindPolyglot() {
  const char* Path = std::getenv("PATH");
  std::string Directories = Path ? Path : "";
  size_t At = 0;
  while (At <= Directories.size()) {
    size_t End = Directories.find(':', At);
    if (End == std::string::npos) End = Directories.size();
    const std::string Directory = Directories.substr(At, End - At);
    if (!Directory.empty() && IsExecutable(Directory + "/polyglot")) return Directory + "/polyglot";
    At = End + 1;
  }
  return IsExecutable("/usr/games/polyglot") ? "/usr/games/polyglot" : "";
}

// A scratch directory that is removed with everything in it.
struct TScratch {
  std::string Path;
  TScratch() {
    char Template[] = "/tmp/talvarind-polyglot-XXXXXX";
    if (mkdtemp(Template)) Path = Template;
  }
  ~TScratch() {
    if (!Path.empty()) std::system(("rm -rf '" + Path + "'").c_str());
  }
};

TEST(Polyglot, PlaysAGameThroughTheAdapter) {
  const std::string Polyglot = FindPolyglot();
  if (Polyglot.empty())
    GTEST_SKIP() << "polyglot not found on PATH or in /usr/games (install it: apt-get install polyglot)";

  TScratch Scratch;
  ASSERT_FALSE(Scratch.Path.empty());
  const std::string Ini = Scratch.Path + "/talvarind.ini";
  {
    std::ofstream File(Ini);
    File << "[PolyGlot]\n"
         << "EngineCommand = " << TALVARIND_EXE << " uci\n"
         << "EngineDir = " << Scratch.Path << "\n"
         << "Log = false\n"
         << "Book = false\n"
         << "[Engine]\n";
  }

  TEngineProcess Adapter;
  ASSERT_TRUE(Adapter.Start(Polyglot, {Ini}, TEngineProcess::TErrors::Capture));
  Adapter.Send("xboard");
  Adapter.Send("protover 2");
  std::vector<std::string> Features;
  std::string Line;
  ASSERT_TRUE(Adapter.ReadUntil([](const std::string& L) { return L.find("done=1") != std::string::npos; }, Line,
                                Patience(20s), &Features))
      << Adapter.Errors();
  bool UserMove = false;
  for (const std::string& Feature : Features) UserMove |= Feature.find("usermove=1") != std::string::npos;
  // The engine's name reached the adapter through "uci".
  bool Named = false;
  for (const std::string& Feature : Features) Named |= Feature.find("myname=\"Talvarind") != std::string::npos;
  EXPECT_TRUE(Named);

  auto SendMove = [&](const std::string& Move) { Adapter.Send(UserMove ? "usermove " + Move : Move); };
  Adapter.Send("new");
  Adapter.Send("sd 4");
  Adapter.Send("st 2");
  Adapter.Send("force");
  std::vector<std::string> Game{"e2e4"};
  SendMove(Game.back());
  Adapter.Send("go");

  int EngineMoves = 0;
  while (EngineMoves < 4) {
    std::vector<std::string> Seen;
    ASSERT_TRUE(Adapter.ReadUntil(
        [](const std::string& L) {
          return L.rfind("move ", 0) == 0 || L.rfind("Illegal move", 0) == 0 || L.rfind("Error", 0) == 0;
        },
        Line, Patience(30s), &Seen))
        << "no move after " << Join(Game) << "\n"
        << Adapter.Errors();
    ASSERT_EQ(Line.rfind("move ", 0), 0u) << Line;
    const std::string Move = Line.substr(5);
    TState* S = Replay(Game);
    ASSERT_NE(S, nullptr);
    ASSERT_TRUE(IsLegalMove(S, Move)) << Move << " after " << Join(Game);
    Game.push_back(Move);
    EngineMoves++;
    // Our side answers with its first legal move, which keeps the game different from any book line.
    const std::vector<std::string> Replies = LegalMoves(Replay(Game));
    ASSERT_FALSE(Replies.empty()) << Join(Game);
    Game.push_back(Replies.front());
    SendMove(Game.back());
  }
  Adapter.Send("quit");
  const TExit Exit = Adapter.Wait(Patience(10s));
  EXPECT_TRUE(Exit.Clean()) << "code " << Exit.Code << " signal " << Exit.Signal << "\n" << Adapter.Errors();
  std::printf("[          ] game through polyglot: %s\n", Join(Game).c_str());
}

}  // namespace
