// Talvarind in Debian's xboard, against Debian's fairymax, under a private Xvfb display: the real
// interface's command order, clocks and adjudication. Two games by default; TALVARIND_XBOARD_GAMES asks
// for more (make xboard-match GAMES=20), TALVARIND_XBOARD_OPPONENT=phalanx for Debian's Phalanx instead,
// and TALVARIND_XBOARD_ENGINE for another build of ours (an older one, to compare).
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/Processes.h"
#include "support/TestState.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Find(const std::string& Name) {
  const char* Path = std::getenv("PATH");
  std::string Directories = std::string(Path ? Path : "") + ":/usr/games:/usr/bin";
  std::stringstream Parts(Directories);
  for (std::string Directory; std::getline(Parts, Directory, ':');) {
    const std::string Candidate = Directory + "/" + Name;
    if (!Directory.empty() && access(Candidate.c_str(), X_OK) == 0) return Candidate;
  }
  return "";
}

// A program in a process group of its own, so that on overrun it goes together with the engines it
// started.
struct TChild {
  pid_t Pid = -1;
  bool Exited = false;
  int Status = 0;

  bool Spawn(const std::vector<std::string>& Arguments, const std::vector<std::string>& Environment, int Output,
             int Errors) {
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, Output, 1);
    posix_spawn_file_actions_adddup2(&Actions, Errors, 2);
    posix_spawnattr_t Attributes;
    posix_spawnattr_init(&Attributes);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&Attributes, 0);
    std::vector<char*> Argv, Envp;
    for (const std::string& A : Arguments) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    for (char** E = environ; *E; E++) Envp.push_back(*E);
    for (const std::string& E : Environment) Envp.push_back(const_cast<char*>(E.c_str()));
    Envp.push_back(nullptr);
    const int Result = posix_spawn(&Pid, Argv[0], &Actions, &Attributes, Argv.data(), Envp.data());
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
    if (Result != 0) Pid = -1;
    return Result == 0;
  }
  // Waits until Deadline, or until Busy has answered false for Quiet on end; false (with everything in
  // the group killed) when it is still running then.
  bool WaitUntil(Clock::time_point Deadline, Clock::duration Quiet, const std::function<bool()>& Busy) {
    Clock::time_point LastBusy = Clock::now();
    while (!Exited) {
      const pid_t Done = waitpid(Pid, &Status, WNOHANG);
      if (Done == Pid) {
        Exited = true;
        break;
      }
      const Clock::time_point Now = Clock::now();
      if (Busy()) LastBusy = Now;
      if (Now >= Deadline || Now - LastBusy >= Quiet) {
        Kill();
        return false;
      }
      std::this_thread::sleep_for(500ms);
    }
    return true;
  }
  void Kill() {
    if (Pid <= 0 || Exited) return;
    kill(-Pid, SIGKILL);
    waitpid(Pid, &Status, 0);
    Exited = true;
  }
  ~TChild() { Kill(); }
};

struct TScratch {
  std::string Path;
  bool Keep = false;
  TScratch() {
    char Template[] = "/tmp/talvarind-xboard-XXXXXX";
    if (mkdtemp(Template)) Path = Template;
  }
  ~TScratch() {
    if (!Path.empty() && !Keep) std::system(("rm -rf '" + Path + "'").c_str());
  }
};

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Path);
  std::stringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

// The display number Xvfb writes on its -displayfd descriptor, or -1.
int ReadDisplay(int Fd, Clock::time_point Deadline) {
  std::string Text;
  while (Clock::now() < Deadline) {
    pollfd Poll{Fd, POLLIN, 100};
    if (poll(&Poll, 1, 100) <= 0) continue;
    char Buffer[32];
    const ssize_t Count = read(Fd, Buffer, sizeof Buffer);
    if (Count <= 0) break;
    Text.append(Buffer, size_t(Count));
    if (Text.find('\n') != std::string::npos) return std::atoi(Text.c_str());
  }
  return -1;
}

// One game of the PGN: its players, result and the comment xboard closed it with.
struct TGame {
  std::string White, Black, Result, Ending;
};

std::vector<TGame> ReadGames(const std::string& Pgn) {
  std::vector<TGame> Games;
  const std::regex Tag("\\[(White|Black|Result) \"(.*)\"\\]");
  const std::regex Ending("\\{([^{}]*)\\} *(1-0|0-1|1/2-1/2|\\*) *$");
  std::stringstream In(Pgn);
  std::string Previous;
  for (std::string Line; std::getline(In, Line);) {
    std::smatch Match;
    if (std::regex_match(Line, Match, Tag)) {
      if (Match[1] == "White") Games.push_back({});
      if (Games.empty()) continue;
      if (Match[1] == "White") Games.back().White = Match[2];
      else if (Match[1] == "Black") Games.back().Black = Match[2];
      else Games.back().Result = Match[2];
    } else if (!Games.empty() && std::regex_search(Line, Match, Ending)) {
      Games.back().Ending = Match[1];
    }
  }
  return Games;
}

struct TOpponent {
  std::string Name;     // as the report calls it
  std::string Program;  // looked for on PATH
  std::string Command;  // how xboard starts it, once found
};

// The opponent asked for, or nothing when the name is unknown. Fairy-Max runs behind the filter that
// keeps from it the command it crashes on; Phalanx without its learning file, so that no game depends
// on the ones before.
TOpponent Opponent(const std::string& Asked) {
  if (Asked.empty() || Asked == "fairymax") {
    const std::string Path = Find("fairymax");
    return {"Fairy-Max", "fairymax", std::string(TALVARIND_SOURCE_DIR) + "/tests/e2e/fairymax-shield " + Path};
  }
  if (Asked == "phalanx") return {"Phalanx", "phalanx", Find("phalanx") + " -l-"};
  return {};
}

// Replies of ours to commands xboard sends every engine but that this one does not take (the protocol
// asks for exactly this answer), also when they come during a think.
bool ExpectedError(const std::string& Line) {
  static const std::regex Allowed(".*Error \\((unknown command|command not legal now)\\): (random|computer|result)$");
  return std::regex_match(Line, Allowed);
}

// ctest label: slow (games on the clock)
TEST(XBoardMatch, PlaysAnOpponentToTheEnd) {
  if (SanitizedRun())
    GTEST_SKIP() << "the match is played by the Release build: sanitizers slow the engine's clock use";
  const char* AskedOpponent = std::getenv("TALVARIND_XBOARD_OPPONENT");
  const TOpponent Other = Opponent(AskedOpponent ? AskedOpponent : "");
  ASSERT_FALSE(Other.Name.empty()) << "unknown opponent " << AskedOpponent << " (fairymax or phalanx)";
  const std::string XBoard = Find("xboard"), Xvfb = Find("Xvfb"), OtherPath = Find(Other.Program);
  if (XBoard.empty() || Xvfb.empty() || OtherPath.empty())
    GTEST_SKIP() << "needs xboard, Xvfb and " << Other.Program << " (apt-get install xboard xvfb " << Other.Program
                 << "); missing:" << (XBoard.empty() ? " xboard" : "") << (Xvfb.empty() ? " Xvfb" : "")
                 << (OtherPath.empty() ? " " + Other.Program : "");
  const char* AskedEngine = std::getenv("TALVARIND_XBOARD_ENGINE");
  const std::string Engine = AskedEngine && *AskedEngine ? AskedEngine : TALVARIND_EXE;
  ASSERT_EQ(access(Engine.c_str(), X_OK), 0) << "no engine at " << Engine;
  const char* Asked = std::getenv("TALVARIND_XBOARD_GAMES");
  const int Games = Asked && std::atoi(Asked) > 0 ? std::atoi(Asked) : 2;

  TScratch Scratch;
  ASSERT_FALSE(Scratch.Path.empty());
  const std::string Dir = Scratch.Path;
  for (const char* Sub : {"/home", "/first", "/second"}) ASSERT_EQ(mkdir((Dir + Sub).c_str(), 0700), 0);
  const int Log = open((Dir + "/output.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(Log, 0);

  int DisplayPipe[2];
  ASSERT_EQ(pipe(DisplayPipe), 0);
  TChild Server;
  const bool ServerStarted = Server.Spawn(
      {Xvfb, "-displayfd", std::to_string(DisplayPipe[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, Log,
      Log);
  close(DisplayPipe[1]);
  const int Display = ServerStarted ? ReadDisplay(DisplayPipe[0], Clock::now() + 20s) : -1;
  close(DisplayPipe[0]);
  if (Display < 0) {
    close(Log);
    GTEST_SKIP() << "no display server: Xvfb did not start (" << ReadFile(Dir + "/output.log") << ")";
  }

  // 40 moves in 20 seconds, repeating: short games that still need real clock use.
  const std::vector<std::string> Arguments = {XBoard,
                                              "-fcp",
                                              Engine + " xboard",
                                              "-fd",
                                              Dir + "/first",
                                              "-scp",
                                              Other.Command,
                                              "-sd",
                                              Dir + "/second",
                                              "-mg",
                                              std::to_string(Games),
                                              "-tc",
                                              "0:20",
                                              "-mps",
                                              "40",
                                              "-inc",
                                              "-1",
                                              "-xponder",
                                              "-noGUI",
                                              "-popupExitMessage",
                                              "false",
                                              "-popupMoveErrors",
                                              "false",
                                              "-saveSettingsOnExit",
                                              "false",
                                              "-testLegality",
                                              "true",
                                              "-testClaims",
                                              "true",
                                              "-checkMates",
                                              "true",
                                              "-sgf",
                                              Dir + "/games.pgn",
                                              "-pgnExtendedInfo",
                                              "true",
                                              "-debug",
                                              "-nameOfDebugFile",
                                              Dir + "/game%d.debug",
                                              "-engineDebugOutput",
                                              "1",
                                              "-matchPause",
                                              "500"};
  TChild Interface;
  ASSERT_TRUE(Interface.Spawn(Arguments, {"DISPLAY=:" + std::to_string(Display), "HOME=" + Dir + "/home"}, Log, Log));
  // Games rarely outlast 150 moves (5 minutes); xboard logs every line of both engines, so a log that
  // stays the same size for two minutes belongs to a match that has hung.
  uintmax_t LogSize = 0;
  const auto Busy = [&] {
    uintmax_t Size = 0;
    if (DIR* Folder = opendir(Dir.c_str())) {
      while (const dirent* Entry = readdir(Folder)) {
        struct stat Info;
        if (stat((Dir + "/" + Entry->d_name).c_str(), &Info) == 0 && S_ISREG(Info.st_mode)) Size += Info.st_size;
      }
      closedir(Folder);
    }
    const bool Grew = Size != LogSize;
    LogSize = Size;
    return Grew;
  };
  const bool Finished = Interface.WaitUntil(Clock::now() + std::chrono::minutes(5) * Games, 2min, Busy);
  Server.Kill();
  close(Log);
  Scratch.Keep = true;  // until every check has passed
  EXPECT_TRUE(Finished) << "xboard did not end within its deadline, or stood still; it and its engines were "
                           "killed ("
                        << Dir << ")";

  const std::vector<TGame> Played = ReadGames(ReadFile(Dir + "/games.pgn"));
  EXPECT_EQ(int(Played.size()), Games) << Dir;
  int Wins = 0, Losses = 0, Draws = 0;
  const std::regex Fault("forfeit|on time|flag|illegal|disconnect|exit|crash|unexpected", std::regex::icase);
  for (const TGame& Game : Played) {
    const bool White = Game.White.rfind("Talvarind", 0) == 0;
    EXPECT_TRUE(White || Game.Black.rfind("Talvarind", 0) == 0) << Game.White << " - " << Game.Black;
    EXPECT_TRUE(Game.Result == "1-0" || Game.Result == "0-1" || Game.Result == "1/2-1/2") << Game.Result;
    EXPECT_FALSE(std::regex_search(Game.Ending, Fault)) << Game.Ending;
    if (Game.Result == "1/2-1/2") Draws++;
    else if ((Game.Result == "1-0") == White) Wins++;
    else Losses++;
  }
  std::cout << "Talvarind (" << Engine << ") against " << Other.Name << ", " << Played.size() << " games: +" << Wins
            << " -" << Losses << " =" << Draws << "\n";
  for (const TGame& Game : Played)
    std::cout << "  " << Game.White << " - " << Game.Black << " " << Game.Result << " {" << Game.Ending << "}\n";

  // Every line our engine wrote, and every complaint of xboard's, from the debug logs.
  int Logs = 0;
  if (DIR* Folder = opendir(Dir.c_str())) {
    while (const dirent* Entry = readdir(Folder)) {
      const std::string Name = Entry->d_name;
      if (Name.rfind("game", 0) != 0 || Name.size() < 6 || Name.substr(Name.size() - 6) != ".debug") continue;
      Logs++;
      std::stringstream In(ReadFile(Dir + "/" + Name));
      for (std::string Line; std::getline(In, Line);) {
        // The opponent's own lines are its business: Phalanx answers commands it does not know with
        // "Illegal move: computer".
        if (Line.find("<second:") != std::string::npos) continue;
        EXPECT_EQ(Line.find("llegal move"), std::string::npos) << Name << ": " << Line;
        EXPECT_EQ(Line.find("isconnect"), std::string::npos) << Name << ": " << Line;
        if (Line.find("<first :") == std::string::npos) continue;
        if (Line.find("Error") != std::string::npos && !ExpectedError(Line)) ADD_FAILURE() << Name << ": " << Line;
        EXPECT_EQ(Line.find("tellusererror"), std::string::npos) << Name << ": " << Line;
      }
    }
    closedir(Folder);
  }
  EXPECT_GT(Logs, 0) << "no debug log in " << Dir;
  if (!HasFailure()) Scratch.Keep = false;
  else std::cout << "the match's files are kept in " << Dir << "\n";
}

}  // namespace
