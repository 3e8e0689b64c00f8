// Helpers for the tests that run whole thinks: a guard over the think settings, a tap on the engine's
// output, a quiet input pipe for the dialogue modes, and a reader for the UCI info lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "engine/core/State.h"
#include "engine/frontend/Input.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Timer.h"
#include "engine/search/Think.h"

namespace search_test {

// Saves every setting a think reads, puts quiet defaults in place (no output, no limits, one thread that
// sleeps when idle) and restores the lot when it goes: all tests share the one engine state.
class TThinkSettings {
 public:
  explicit TThinkSettings(TState* S) : Guard(S) {
    S->MaxDepth = 0;
    S->MaxNodes = 0;
    S->MaxTime = 0;
    S->MovesPerControl = 1;
    EnterFace(S, MNone);
    S->PostThinking = false;
    S->UsedThreadCount = 1;
    // Idle workers spinning next to a one-thread search would starve the test's own threads.
    S->UseThreadSleeping = true;
    S->UseFastEval = false;
    S->Pondering = false;
    S->PonderSearch = false;
    S->Hint = false;
    for (int I = 0; I < 2; I++) {
      S->TimeLeft[I] = 0;
      S->MovesLeft[I] = 1;
      S->TimeIncrement[I] = 0;
    }
  }

 private:
  TStateGuard Guard;
};

// The input layer on a pipe of our own. The writer stays open until Close, so a search that polls sees
// nothing waiting rather than the end of input (which would end the dialogue).
class TInputPipe {
 public:
  TInputPipe() {
    if (pipe(Fds) != 0) ADD_FAILURE() << "pipe failed";
    InputAttach(Fds[0]);
  }
  ~TInputPipe() {
    ParkInput();
    Close();
    if (Fds[0] >= 0) close(Fds[0]);
  }
  void Send(std::string_view Text) {
    while (!Text.empty()) {
      const ssize_t Count = write(Fds[1], Text.data(), Text.size());
      if (Count <= 0) {
        ADD_FAILURE() << "write to the input pipe failed";
        return;
      }
      Text.remove_prefix(size_t(Count));
    }
  }
  void Close() {
    if (Fds[1] >= 0) close(Fds[1]);
    Fds[1] = -1;
  }

 private:
  int Fds[2] = {-1, -1};
};

// The engine's output taken over for a think (the name the search tests know it by).
using TStdoutTap = TOutputCapture;

inline std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Result;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);) Result.push_back(Line);
  return Result;
}

inline std::vector<std::string> Words(const std::string& Text) {
  std::vector<std::string> Result;
  std::istringstream In(Text);
  for (std::string Word; In >> Word;) Result.push_back(Word);
  return Result;
}

// One UCI report: either complete, or the bare head of an iteration that was stopped.
struct TInfoLine {
  bool Complete = false;
  int Depth = 0;
  int Score = 0;          // in the engine's units: a mate report is turned back into its score
  std::string ScoreText;  // as reported: "cp 25", "mate 3", "mate -2"
  long long Time = 0, Nodes = 0, Nps = 0;
  std::vector<std::string> PV;
  std::string Text;
};

// Splits a UCI think's output into its info lines; every other line goes to Others. A line that starts
// like a report but has neither form fails the test.
inline std::vector<TInfoLine> InfoLines(const std::string& Output, std::vector<std::string>* Others = nullptr) {
  static const std::regex Complete(
      R"(info depth (\d+) score ((cp|mate) (-?\d+)) time (\d+) nodes (\d+) nps (\d+) pv((?: [a-h][1-8][a-h][1-8][qrbn]?)*))");
  static const std::regex Bare(R"(info depth (\d+) )");
  std::vector<TInfoLine> Result;
  for (const std::string& Line : Lines(Output)) {
    std::smatch M;
    TInfoLine Info;
    Info.Text = Line;
    if (std::regex_match(Line, M, Complete)) {
      Info.Complete = true;
      Info.Depth = std::stoi(M[1]);
      Info.ScoreText = M[2];
      const int Value = std::stoi(M[4]);
      Info.Score = M[3] == "cp" ? Value : Value > 0 ? MateScore - 2 * Value + 1 : -MateScore - 2 * Value;
      Info.Time = std::stoll(M[5]);
      Info.Nodes = std::stoll(M[6]);
      Info.Nps = std::stoll(M[7]);
      std::istringstream Moves(M[8].str());
      for (std::string Move; Moves >> Move;) Info.PV.push_back(Move);
      Result.push_back(Info);
    } else if (std::regex_match(Line, M, Bare)) {
      Info.Depth = std::stoi(M[1]);
      Result.push_back(Info);
    } else if (Line.rfind("info", 0) == 0) {
      ADD_FAILURE() << "malformed report line: \"" << Line << "\"";
    } else if (Others) {
      Others->push_back(Line);
    }
  }
  return Result;
}

inline int CompleteCount(const std::vector<TInfoLine>& Infos) {
  int Count = 0;
  for (const TInfoLine& Info : Infos) Count += Info.Complete;
  return Count;
}

inline const TInfoLine* LastComplete(const std::vector<TInfoLine>& Infos) {
  for (auto It = Infos.rbegin(); It != Infos.rend(); ++It)
    if (It->Complete) return &*It;
  return nullptr;
}

// Checks the shape every UCI think must have: iterations numbered 1, 2, 3 ... in order, all complete
// except possibly the last, which is then a bare head. A bare head followed by its whole line is one
// that a "readyok" cut.
inline void ExpectWellFormedIterations(const std::vector<TInfoLine>& All) {
  std::vector<TInfoLine> Infos;
  for (size_t I = 0; I < All.size(); I++)
    if (All[I].Complete || I + 1 == All.size() || All[I + 1].Depth != All[I].Depth) Infos.push_back(All[I]);
  for (size_t I = 0; I < Infos.size(); I++) {
    EXPECT_EQ(Infos[I].Depth, int(I) + 1) << Infos[I].Text;
    if (I + 1 < Infos.size()) {
      EXPECT_TRUE(Infos[I].Complete) << "only the last report may be cut short";
    }
  }
}

inline std::string MoveText(TMove Move) { return MoveToString(Move); }

struct TThinkResult {
  bool Chosen = false;
  std::string Output;
  std::vector<TInfoLine> Infos;
  std::vector<std::string> Others;
};

// One Think in the UCI mode with its reports captured, on the settings already in place.
inline TThinkResult ThinkUCI(TState* S) {
  TInputPipe Input;
  EnterFace(S, MUCI);
  S->PostThinking = true;
  TThinkResult Result;
  {
    TStdoutTap Tap;
    Result.Chosen = Think(S);
    Result.Output = Tap.Finish();
  }
  Result.Infos = InfoLines(Result.Output, &Result.Others);
  return Result;
}

// Puts the state into a running think without limits, as the think driver does, so that search functions
// called directly search instead of returning at once.  Returns the root's stack entry; it and the
// Entries - 1 entries above it are cleared.
inline TSearchStack* BeginNodeSearch(TState* S, int32_t IterativeDepth, int Entries) {
  S->AbortSearch = false;
  S->TotalNodes = 0;
  S->CheckCounter = 0;
  S->NodeInterval = 32768;
  S->StartTime = GetMilliseconds();
  S->LastPollTime = 0;
  S->MaxThinkTime = 0;
  S->IterativeDepth = IterativeDepth;
  S->Thinking = true;
  TSearchStack* Root = S->SearchStack(S->HistoryPly);
  for (int I = 0; I < Entries; I++) Root[I] = TSearchStack{};
  return Root;
}

}  // namespace search_test
