// The Debian package as a user gets it: built from the Release tree with make package's CPack set-up,
// its files and fields, then unpacked with dpkg -x into a scratch root, where the program plays a UCI
// dialogue and, started by the command in its xboard plugin file, an XBoard one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/PositionChecks.h"
#include "support/Processes.h"
#include "support/Replay.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;

// A shell command's standard output and error together, and its exit status.
TRun Sh(const std::string& Command) { return RunCommand(Command + " 2>&1"); }

std::string Quoted(const std::string& Text) { return "'" + Text + "'"; }

// The package, built and unpacked once for the suite into a scratch directory removed afterwards.
class Package : public ::testing::Test {
 protected:
  static inline std::string Scratch, Deb, Root, Skip, Failure;

  static void SetUpTestSuite() {
    if (SanitizedRun()) {
      Skip = "the package is built from the Release build";
      return;
    }
    if (Sh("command -v dpkg-deb && command -v dpkg").Status != 0) {
      Skip = "dpkg-deb or dpkg not found (Debian's dpkg package)";
      return;
    }
    char Template[] = "/tmp/talvarind-package-XXXXXX";
    if (!mkdtemp(Template)) {
      Failure = "no scratch directory";
      return;
    }
    Scratch = Template;
    const TRun Built =
        Sh(Quoted(TALVARIND_CPACK) + " -G DEB --config " +
           Quoted(std::string(TALVARIND_BUILD_DIR) + "/CPackConfig.cmake") + " -B " + Quoted(Scratch + "/out"));
    const TRun Found = Sh("ls " + Quoted(Scratch + "/out") + "/*.deb");
    if (Built.Status != 0 || Found.Status != 0) {
      Failure = "cpack failed:\n" + Built.Output;
      return;
    }
    Deb = Words(Found.Output).at(0);
    Root = Scratch + "/root";
    const TRun Unpacked = Sh("dpkg -x " + Quoted(Deb) + " " + Quoted(Root));
    if (Unpacked.Status != 0) Failure = "dpkg -x failed:\n" + Unpacked.Output;
  }

  static void TearDownTestSuite() {
    if (!Scratch.empty()) std::system(("rm -rf " + Quoted(Scratch)).c_str());
  }

  void SetUp() override {
    if (!Skip.empty()) GTEST_SKIP() << Skip;
    ASSERT_EQ(Failure, "");
  }

  static std::string Field(const std::string& Name) {
    std::string Value = Sh("dpkg-deb -f " + Quoted(Deb) + " " + Name).Output;
    while (!Value.empty() && Value.back() == '\n') Value.pop_back();
    return Value;
  }
};

TEST_F(Package, HoldsTheProgramItsManualPageAndThePluginFile) {
  const TRun Listing = Sh("dpkg-deb -c " + Quoted(Deb));
  ASSERT_EQ(Listing.Status, 0) << Listing.Output;
  std::set<std::string> Files;
  std::istringstream In(Listing.Output);
  for (std::string Line; std::getline(In, Line);)
    if (!Line.empty() && Line[0] != 'd') Files.insert(Words(Line).back());
  const std::set<std::string> Expected = {"./usr/games/talvarind", "./usr/share/man/man6/talvarind.6.gz",
                                          "./usr/share/games/plugins/xboard/talvarind.eng",
                                          "./usr/share/doc/talvarind/copyright"};
  EXPECT_EQ(Files, Expected) << Listing.Output;
  EXPECT_NE(Listing.Output.find("-rwxr-xr-x root/root"), std::string::npos) << Listing.Output;

  EXPECT_EQ(Field("Package"), "talvarind");
  EXPECT_EQ(Field("Section"), "games");
  EXPECT_EQ(Field("Architecture"), Words(Sh("dpkg --print-architecture").Output).at(0));
  const std::string Depends = Field("Depends");
  for (const char* Library : {"libc6", "libstdc++6"}) EXPECT_NE(Depends.find(Library), std::string::npos) << Depends;
  EXPECT_NE(Field("Description"), "");
}

TEST_F(Package, UnpackedProgramPlaysUci) {
  TEngineProcess Engine;
  ASSERT_TRUE(Engine.Start(Root + "/usr/games/talvarind", {"uci"}));
  std::vector<std::string> Seen;
  std::string Line;
  Engine.Send("uci");
  ASSERT_TRUE(Engine.ReadUntilPrefix("uciok", Line, Patience(5s), &Seen)) << Dump(Seen);
  // The package is named after the version the engine reports.
  EXPECT_EQ(Seen.at(0), "id name Talvarind " + Field("Version"));
  Engine.Send("isready");
  ASSERT_TRUE(Engine.ReadUntilPrefix("readyok", Line, Patience(10s), &Seen)) << Dump(Seen);
  Engine.Send("position startpos moves e2e4");
  Engine.Send("go depth 4");
  ASSERT_TRUE(Engine.ReadUntilPrefix("bestmove ", Line, Patience(10s), &Seen)) << Dump(Seen);
  const std::vector<std::string> Best = Words(Line);
  EXPECT_NE(Replay({"e2e4", Best.at(1)}), nullptr) << Line;
  Engine.Send("quit");
  EXPECT_TRUE(Engine.Wait(Patience(5s)).Clean());
}

TEST_F(Package, CopyrightFileStatesTheLicence) {
  std::ifstream File(Root + "/usr/share/doc/talvarind/copyright");
  const std::string Text((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Text.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/", 0), 0u) << Text;
  EXPECT_NE(Text.find("License: GPL-3.0-or-later"), std::string::npos) << Text;
}

TEST_F(Package, PluginCommandPlaysXBoard) {
  std::ifstream Plugin(Root + "/usr/share/games/plugins/xboard/talvarind.eng");
  std::string Spec, Command, Variants;
  ASSERT_TRUE(std::getline(Plugin, Spec) && std::getline(Plugin, Command) && std::getline(Plugin, Variants));
  EXPECT_EQ(Spec, "plugin spec 0.0");
  EXPECT_NE(("," + Variants + ",").find(",chess,"), std::string::npos) << Variants;

  // xboard runs the command with /usr/games on its path: here the unpacked root's.
  std::vector<std::string> Arguments = Words(Command);
  ASSERT_FALSE(Arguments.empty());
  const std::string Program = Root + "/usr/games/" + Arguments.front();
  Arguments.erase(Arguments.begin());

  TEngineProcess Engine;
  ASSERT_TRUE(Engine.Start(Program, Arguments));
  std::vector<std::string> Seen;
  std::string Line;
  Engine.Send("xboard");
  Engine.Send("protover 2");
  ASSERT_TRUE(Engine.ReadUntilPrefix("feature ", Line, Patience(5s), &Seen)) << Dump(Seen);
  EXPECT_NE(Line.find(" done=1"), std::string::npos) << Line;
  Engine.Send("new");
  Engine.Send("sd 4");
  Engine.Send("e2e4");
  ASSERT_TRUE(Engine.ReadUntilPrefix("move ", Line, Patience(10s), &Seen)) << Dump(Seen);
  EXPECT_NE(Replay({"e2e4", Words(Line).at(1)}), nullptr) << Line;
  Engine.Send("quit");
  EXPECT_TRUE(Engine.Wait(Patience(5s)).Clean());
}

}  // namespace
