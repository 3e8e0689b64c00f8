// A new game in each dialogue: the board is set up by the board layer and the search's tables are
// cleared by the search, so each dialogue must ask for both.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/frontend/Shell.h"
#include "engine/frontend/UCI.h"
#include "engine/frontend/XBoard.h"
#include "support/InProcess.h"
#include "support/TestState.h"

namespace {

class NewGame : public TInProcessTest {};

TEST_F(NewGame, EveryDialogueForgetsWhatTheSearchLearnt) {
  const std::string Await = std::string(AwaitAnswer) + "\n";
  const struct {
    const char* Name;
    std::string Search, NewGame, End;
    std::function<void(TState*)> Dialogue;
  } Cases[] = {
      {"uci", "position startpos\ngo depth 3\n" + Await, "ucinewgame\n", "", [](TState* S) { UCI(S, ""); }},
      {"xboard", "sd 3\ngo\n" + Await, "new\n", "quit\n", [](TState* S) { XBoard(S); }},
      {"shell", "depth 3\nfind\n", "new\n", "", [](TState* S) { ShellInterface(S); }},
  };
  S->Pondering = false;
  for (const auto& Case : Cases) {
    // Without the new game the search's traces stay, so that the second run shows the new game's doing.
    RunInProcess(S, Case.Search + Case.End, [&] { Case.Dialogue(S); });
    ASSERT_TRUE(S->TranspositionTableDirty.load()) << Case.Name;
    ASSERT_NE(S->PV[0], 0u) << Case.Name;

    RunInProcess(S, Case.Search + Case.NewGame + Case.End, [&] { Case.Dialogue(S); });
    EXPECT_FALSE(S->TranspositionTableDirty.load()) << Case.Name;
    EXPECT_EQ(S->PV[0], 0u) << Case.Name;
    int Counted = 0;
    for (const auto& Row : S->HistoryHeuristic)
      for (const auto& Counter : Row) Counted += Counter.load() != 0;
    EXPECT_EQ(Counted, 0) << Case.Name;
    EXPECT_EQ(S->HistoryPly, 0) << Case.Name;
  }
}

}  // namespace
