// The interactive shell as a program: the real executable through pipes (ShellProgram) and on a
// pseudo-terminal, as a person at a console runs it (ShellTerminal). The dialogue inside the test process
// is tests/engine/frontend/ShellStateTest.cpp.
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/ProtocolLines.h"
#include "support/TestState.h"
#include "support/Text.h"

namespace {

using namespace std::chrono_literals;

// The real program, through pipes: any first argument but the two dialogue words starts the shell; it
// ends with status 0 on "quit", at the end of input, also inside a prompt of its own, and after a dialogue
// it handed over to has ended.
TEST(ShellProgram, StartsHandsOverAndEnds) {
  const struct {
    std::vector<std::string> Arguments;
    const char* Typed;
    const char* Answer;  // the last line expected, if any
  } Cases[] = {
      {{}, "quit\n", nullptr},
      {{"XBOARD"}, "", nullptr},
      {{"Uci"}, "depth\n", nullptr},
      {{"shell"}, "position\n", nullptr},
      // The dialogue gets the line that started it, so the "uci" typed at the prompt is answered.
      {{}, "uci\nisready\nquit\n", "readyok"},
      {{}, "XBoard\nping 3\nquit\n", "pong 3"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Typed);
    TEngineProcess Engine;
    ASSERT_TRUE(Engine.Start(TALVARIND_EXE, Case.Arguments));
    std::string Seen;
    ASSERT_TRUE(Engine.ReadUntilText(">", Seen, Patience(10s))) << Seen;
    EXPECT_EQ(Replies(">" + Seen), std::vector<std::string>({"[board]", ""})) << Seen;
    EXPECT_NE(Seen.find("Depth: 14 "), std::string::npos) << Seen;
    Engine.SendRaw(Case.Typed);
    Engine.CloseInput();
    std::vector<std::string> Lines;
    const auto Answered = [&](const std::string& L) { return L == Case.Answer; };
    if (Case.Answer) {
      EXPECT_TRUE(Engine.ReadUntil(Answered, Seen, Patience(10s), &Lines)) << Dump(Lines);
    }
    // No board again: the shell does not come back after a dialogue.
    while (Engine.ReadLine(Seen, Patience(10s))) EXPECT_EQ(Seen.find("Current side"), std::string::npos) << Seen;
    EXPECT_TRUE(Engine.OutputEnded());
    EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
  }
}

// The console path: a pseudo-terminal opened here, the program started on it without arguments.
TEST(ShellTerminal, PlaysAMoveTypedAtTheConsole) {
  int Master = -1, Terminal = -1;
  if (openpty(&Master, &Terminal, nullptr, nullptr, nullptr) != 0)
    GTEST_SKIP() << "no pseudo-terminal can be opened here (/dev/ptmx and /dev/pts are needed)";
  close(Master);
  close(Terminal);
  TEngineProcess Engine;
  ASSERT_TRUE(Engine.StartOnTerminal(TALVARIND_EXE, {}));
  std::string Seen;
  ASSERT_TRUE(Engine.ReadUntilText(">", Seen, Patience(10s))) << Seen;
  // 24 lines of 79 characters; the shades and blocks take three bytes each in UTF-8.
  std::string Board = std::regex_replace(Seen, std::regex("\r"), "");
  EXPECT_EQ(std::count(Board.begin(), Board.end(), '\n'), 24) << Seen;
  for (size_t At = 0, End; (End = Board.find('\n', At)) != std::string::npos; At = End + 1)
    EXPECT_EQ(std::count_if(Board.begin() + At, Board.begin() + End, [](char C) { return (C & 0xC0) != 0x80; }), 79);
  EXPECT_NE(Seen.find("\xE2\x96\x88"), std::string::npos) << "full blocks in UTF-8";

  Engine.SendRaw("e2e4\n");
  ASSERT_TRUE(Engine.ReadUntilText("\n>", Seen, Patience(10s))) << Seen;
  EXPECT_NE(Seen.find("Current side: BLACK"), std::string::npos) << Seen;
  EXPECT_NE(Seen.find("|   0 | e2e4  |"), std::string::npos) << Seen;
  Engine.SendRaw("quit\n");
  EXPECT_TRUE(Engine.Wait(Patience(10s)).Clean());
}

}  // namespace
