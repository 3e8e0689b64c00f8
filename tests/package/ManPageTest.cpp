// The manual page: it lints clean, and it describes every command the shell's help lists and every
// option the UCI dialogue announces, so that a new command or option cannot go undocumented.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "support/Processes.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

const std::string ManPage = std::string(TALVARIND_SOURCE_DIR) + "/docs/talvarind.6";

TRun Sh(const std::string& Command) { return RunCommand(Command); }

// The words of each .TP tag (the line after .TP), by section.
std::map<std::string, std::set<std::string>> TagWords() {
  std::map<std::string, std::set<std::string>> Tags;
  std::ifstream In(ManPage);
  std::string Section, Line;
  bool Tag = false;
  while (std::getline(In, Line)) {
    if (Line.rfind(".SH ", 0) == 0) Section = Line.substr(4);
    if (Tag) {
      Line = std::regex_replace(Line, std::regex(R"(^\.[BIR]+ |\\f[BIRP]|[",|])"), " ");
      std::istringstream Words(Line);
      for (std::string Word; Words >> Word;) Tags[Section].insert(Word);
    }
    Tag = Line == ".TP";
  }
  return Tags;
}

TEST(ManPage, LintsClean) {
  int Linters = 0;
  if (Sh("command -v mandoc >/dev/null").Status == 0) {
    Linters++;
    const TRun Lint = Sh("mandoc -Tlint -W warning '" + ManPage + "' 2>&1");
    EXPECT_EQ(Lint.Status, 0) << Lint.Output;
    EXPECT_EQ(Lint.Output, "");
  }
  if (Sh("command -v groff >/dev/null").Status == 0) {
    Linters++;
    const TRun Lint = Sh("groff -ww -man -z '" + ManPage + "' 2>&1");
    EXPECT_EQ(Lint.Status, 0) << Lint.Output;
    EXPECT_EQ(Lint.Output, "");
  }
  if (Linters == 0) GTEST_SKIP() << "neither mandoc nor groff found (apt-get install mandoc)";
}

TEST(ManPage, DescribesEveryShellCommandAndUciOption) {
  const auto Tags = TagWords();
  const TRun Help = Sh("printf 'help\\nquit\\n' | '" TALVARIND_EXE "' 2>/dev/null");
  ASSERT_EQ(Help.Status, 0);
  const TRun Uci = Sh("printf 'uci\\nquit\\n' | '" TALVARIND_EXE "' uci 2>/dev/null");
  ASSERT_EQ(Uci.Status, 0);

  const struct {
    const char* Section;
    const TRun& Output;
    std::regex Line;
  } Lists[] = {
      {"SHELL", Help, std::regex(R"(^>?([a-z][a-z/]*) +[A-Z][a-z].*)")},
      {"UCI", Uci, std::regex(R"(^option name (\S+) type .*)")},
  };
  for (const auto& List : Lists) {
    const std::set<std::string>& Described = Tags.count(List.Section) ? Tags.at(List.Section) : std::set<std::string>{};
    std::istringstream In(List.Output.Output);
    int Listed = 0;
    std::smatch Match;
    for (std::string Line; std::getline(In, Line);) {
      if (!std::regex_match(Line, Match, List.Line)) continue;
      std::istringstream Names(std::regex_replace(Match[1].str(), std::regex("/"), " "));
      for (std::string Name; Names >> Name; Listed++)
        EXPECT_TRUE(Described.count(Name)) << Name << " is not described in the section " << List.Section;
    }
    EXPECT_GT(Listed, 2) << "too few names read from\n" << List.Output.Output;
  }
}

}  // namespace
