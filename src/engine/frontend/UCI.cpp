#include "engine/frontend/UCI.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/board/Position.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Reports.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Words.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"
#include "engine/platform/Version.h"
#include "engine/search/Think.h"
#include "engine/search/TimeControl.h"
#include "engine/search/TransTable.h"

namespace {

int32_t NextNumber(std::string& Line, int32_t Default) { return ToNumber(NextWord(Line), Default); }

// The locals that outlive one command: the clock words of "go" and the limit kind they chose.
struct TGoClock {
  int32_t Time[2] = {0, 0};
  int32_t TimeInc[2] = {0, 0};
  TTimeLimit Limit = TTimeLimit::Clock;
  int32_t MoveTime = 0;
};

// The options "uci" lists and "setoption" sets, in the order they are listed.
enum class TOptionType { Spin, Check, Button };

struct TUciOption {
  const char* Name;
  TOptionType Type;
  // The value shown as the default (the one in force), and a spin's bounds.
  int64_t (*Default)(const TState* S);
  int64_t Min;
  int64_t (*Max)(const TState* S);
  // What a change does, given the words after "value".
  void (*Change)(TState* S, const std::string& Value);
};

// A spin's new value, held within its bounds; false for a word that is no number, which changes nothing.
bool SpinValue(int64_t Min, int64_t Max, const std::string& Value, int64_t& Number) {
  if (!ReadNumber(Value, Number)) return false;
  if (Number < Min) Number = Min;
  if (Number > Max) Number = Max;
  return true;
}

void ChangeHash(TState* S, const std::string& Value) {
  int64_t Megabytes;
  if (!SpinValue(1, MaxHashMegabytes(), Value, Megabytes)) return;
  // Interfaces send the size at every start: the same size keeps the table, and what it holds.
  const int64_t Before = TranspositionTableMegabytes(S);
  if (int64_t(TranspositionTableEntriesFor(Megabytes) * TranspositionTableItemBytes >> 20) == Before) return;
  switch (TranspositionTableResize(S, Megabytes)) {
    case TTableSizing::Done: return;
    case TTableSizing::MoreThanMemory:
      OutputPrint("info string Hash %lld MiB is more than this machine's memory; the table stays at %lld MiB\n",
                  (long long)Megabytes, (long long)Before);
      return;
    case TTableSizing::CannotAllocate:
      OutputPrint("info string Hash %lld MiB cannot be allocated; the table stays at %lld MiB\n", (long long)Megabytes,
                  (long long)Before);
      return;
  }
}

void ChangeMultiPV(TState* S, const std::string& Value) {
  int64_t Lines;
  if (SpinValue(1, MaxMultiPV, Value, Lines)) S->MultiPV = int32_t(Lines);
}

const TUciOption Options[] = {
    // Any number: the thread settings bound it.
    {"Threads", TOptionType::Spin, [](const TState* S) { return int64_t(S->ThreadCount); }, 1,
     [](const TState* S) { return int64_t(S->ThreadCount); },
     [](TState* S, const std::string& V) { SetThreadLimit(S, ToNumber(V, S->MaxThreadCount)); }},
    {"ThreadSleeping", TOptionType::Check, [](const TState* S) { return int64_t(S->UseThreadSleeping.load()); }, 0,
     nullptr, [](TState* S, const std::string& V) { S->UseThreadSleeping = V == "true"; }},
    {"FastEval", TOptionType::Check, [](const TState* S) { return int64_t(S->UseFastEval); }, 0, nullptr,
     [](TState* S, const std::string& V) { S->UseFastEval = V == "true"; }},
    {"Hash", TOptionType::Spin, [](const TState* S) { return TranspositionTableMegabytes(S); }, 1,
     [](const TState*) { return MaxHashMegabytes(); }, ChangeHash},
    {"Clear Hash", TOptionType::Button, nullptr, 0, nullptr,
     [](TState* S, const std::string&) { TranspositionTableClear(S); }},
    // The interface may ponder: a think on the engine's clock may then plan on the time pondering saves.
    {"Ponder", TOptionType::Check, [](const TState* S) { return int64_t(S->Pondering); }, 0, nullptr,
     [](TState* S, const std::string& V) { S->Pondering = V == "true"; }},
    {"MultiPV", TOptionType::Spin, [](const TState* S) { return int64_t(S->MultiPV); }, 1,
     [](const TState*) { return int64_t(MaxMultiPV); }, ChangeMultiPV},
};

void Identify(const TState* S) {
  OutputPrint("id name Talvarind %s\n", VersionString().c_str());
  OutputPrint("id author Yorvane 'Kesk' Drummelt\n");
  for (const TUciOption& O : Options) {
    switch (O.Type) {
      case TOptionType::Spin:
        OutputPrint("option name %s type spin default %lld min %lld max %lld\n", O.Name, (long long)O.Default(S),
                    (long long)O.Min, (long long)O.Max(S));
        break;
      case TOptionType::Check:
        OutputPrint("option name %s type check default %s\n", O.Name, O.Default(S) ? "true" : "false");
        break;
      case TOptionType::Button: OutputPrint("option name %s type button\n", O.Name); break;
    }
  }
  OutputPrint("uciok\n");
}

void SetOption(TState* S, std::string Line) {
  Trim(Line);
  std::string Name, Value, Word;
  while (!Line.empty()) {
    Word = NextWord(Line);
    if (Word.empty() || Word == "value") break;
    if (Word == "name") continue;
    if (!Name.empty()) Name += ' ';
    Name += Word;
  }
  if (Word == "value") {
    while (!Line.empty()) {
      if (!Value.empty()) Value += ' ';
      Value += NextWord(Line);
    }
  }
  for (const TUciOption& O : Options) {
    if (Name == O.Name) {
      O.Change(S, Value);
      return;
    }
  }
}

// The game goes on past the record's end, but the engine only knows the moves that fit: say so once.
void NoteFullGameRecord() {
  static bool Noted = false;
  if (Noted) return;
  Noted = true;
  std::fprintf(stderr, "talvarind: the game record holds %d half-moves; later moves are ignored\n", MaxHistoryStack);
}

void SetUpPosition(TState* S, std::string Line) {
  Trim(Line);
  while (!Line.empty()) {
    const std::string Word = NextWord(Line);
    Trim(Line);
    if (Word == "fen" || Word == "epd") {
      std::string InputPosition;
      while (!Line.empty()) {
        const std::string Part = NextWord(Line);
        if (Part == "moves") {
          Line = "moves " + Line;
          break;
        }
        InputPosition += Part;
        InputPosition += ' ';
      }
      SetPosition(&S->Position, InputPosition);
      // Interfaces send the whole game again with every position, so an earlier record would only
      // grow with moves that are not part of this game.
      S->HistoryPly = 0;
    } else if (Word == "startpos") {
      InitStandardBoard(S);
    } else if (Word == "moves") {
      while (!Line.empty()) {
        if (S->HistoryPly >= MaxHistoryStack) {
          NoteFullGameRecord();
          break;
        }
        const TMove Move = ParseMove(S, NextWord(Line));
        if (Move == 0 || !PlayGameMove(S, Move)) break;
      }
    }
  }
}

// The "go" being answered: whether it asked for an endless search.
bool InfiniteGo = false;
// "debug on": every think on a clock first says the time it may use, so that a tester can see how far
// past it a move went.
bool DebugReports = false;

// A search that ended by itself waits, before it answers, for what the interface must send first: "stop"
// after "go infinite", "ponderhit" or "stop" after "go ponder" ("quit" and the end of input too).
void WaitForLeaveToAnswer(TState* S) {
  while (!S->AbortSearch.load(std::memory_order_relaxed) &&
         (InfiniteGo || S->PonderSearch.load(std::memory_order_relaxed))) {
    if (InputAvailable()) ProcessUCIInputWhileSearch(S);
    else SleepMilliseconds(1);
  }
}

void InSearchInput(TState* S) {
  if (InputAvailable()) ProcessUCIInputWhileSearch(S);
}

// The head of the info line goes out when the iteration starts and the rest when it is done, unless a
// "readyok" had to go out between them: then the head ends its own line and the whole line follows.
std::atomic<bool> HeadOpen{false};

void EndOpenHead() {
  if (HeadOpen.exchange(false, std::memory_order_relaxed)) OutputChar('\n');
}

void IterationStarted(TState*, int32_t Iteration) {
  OutputPrint("info depth %d ", Iteration);
  OutputFlush();
  HeadOpen.store(true, std::memory_order_relaxed);
}

void IterationDone(TState* S, int32_t Iteration, const TSearchLine* Lines, int32_t Count) {
  const bool Several = S->MultiPV > 1;
  for (int32_t K = 0; K < Count; K++) {
    if (K > 0 || !HeadOpen.exchange(false, std::memory_order_relaxed)) OutputPrint("info depth %d ", Iteration);
    if (Several) OutputPrint("multipv %d ", K + 1);
    DumpUCIState(S, Lines[K].Score, Lines[K].PV);
  }
  OutputFlush();
}

// A stopped iteration leaves its head on a line of its own.
void IterationStopped(TState*, int32_t) {
  EndOpenHead();
  OutputFlush();
}

void Answer(TState* S, TMove Move) {
  WaitForLeaveToAnswer(S);
  if (Move == 0) {
    // Mated or stalemated.
    OutputPrint("bestmove (none)\n");
    return;
  }
  const std::string Best = MoveToString(Move);
  OutputPrint("%s\n", Best.c_str());
  OutputFlush();
  if (S->PV[1] != 0) OutputPrint("bestmove %s ponder %s\n", Best.c_str(), MoveToString(S->PV[1]).c_str());
  else OutputPrint("bestmove %s\n", Best.c_str());
}

void Go(TState* S, TGoClock& Clock, std::string Line) {
  S->MovesPerControl = 40;
  Clock.Time[0] = Clock.Time[1] = 0;
  Clock.TimeInc[0] = Clock.TimeInc[1] = 0;
  S->MaxDepth = 0;
  S->MaxNodes = 0;
  Clock.Limit = TTimeLimit::None;
  bool Infinite = false;
  bool MovesToGoGiven = false;
  S->SearchMovesCount = 0;
  S->PonderSearch = false;
  Trim(Line);
  while (!Line.empty()) {
    const std::string Word = NextWord(Line);
    Trim(Line);
    if (Word == "ponder") {
      S->Pondering = true;
      S->PonderSearch = true;
    } else if (Word == "searchmoves") {
      // Moves up to the first word that is no legal move here; none at all leaves every move.
      while (!Line.empty() && S->SearchMovesCount < 256) {
        std::string Rest = Line;
        const TMove Move = ParseMove(S, NextWord(Rest));
        if (Move == 0 || !IsLegalWithEnhancedCheck(&S->Position, Move)) break;
        S->SearchMoves[S->SearchMovesCount++] = Move;
        Line = Rest;
      }
    } else if (Word == "wtime" || Word == "btime") {
      Clock.Time[Word[0] == 'b'] = NextNumber(Line, 0);
      Clock.Limit = TTimeLimit::Clock;
    } else if (Word == "winc" || Word == "binc") {
      Clock.TimeInc[Word[0] == 'b'] = NextNumber(Line, 0);
      Clock.Limit = TTimeLimit::Clock;
    } else if (Word == "movestogo") {
      S->MovesPerControl = NextNumber(Line, 40);
      MovesToGoGiven = true;
    } else if (Word == "depth") {
      S->MaxDepth = NextNumber(Line, 0);
    } else if (Word == "nodes") {
      S->MaxNodes = NextNumber(Line, 0);
    } else if (Word == "movetime") {
      Clock.MoveTime = NextNumber(Line, 0);
      Clock.Limit = TTimeLimit::PerMove;
    } else if (Word == "infinite") {
      Infinite = true;
      Clock.Limit = TTimeLimit::None;
      Clock.Time[0] = Clock.Time[1] = 0;
      S->MaxDepth = 0;
      S->MaxNodes = 0;
    }
  }

  // Only the mover's clock is ours to set; the other side's keeps what it held.
  const int Side = S->Position.Side >> 3;
  // A clock with an increment and no moves to go is the whole game in one period: the budget then
  // counts the increment the move will earn.
  if (Clock.Limit == TTimeLimit::Clock && !MovesToGoGiven && Clock.TimeInc[Side] > 0) S->MovesPerControl = 0;
  if (Clock.Limit == TTimeLimit::Clock) SetMoverClock(S, TTimeLimit::Clock, Clock.Time[Side], Clock.TimeInc[Side]);
  else SetMoverClock(S, Clock.Limit, Clock.MoveTime, 0);

  // The answer goes out before the move is played: one found but not recorded (the game record is full)
  // is still the answer the interface waits for.
  InfiniteGo = Infinite;
  if (DebugReports && Clock.Limit != TTimeLimit::None && !S->PonderSearch)
    OutputPrint("info string budget %lld ms\n", (long long)ThinkBudget(S));
  ThinkAndExecute(S);
  // What this "go" asked for ends with it: a think started otherwise (a test's, the shell's) never waits.
  InfiniteGo = false;
  S->SearchMovesCount = 0;
  S->PonderSearch = false;
}

}  // namespace

const TSearchHooks UciHooks{InSearchInput, IterationStarted, IterationDone, IterationStopped, Answer};

void ProcessUCIInputWhileSearch(TState* S) {
  std::string Line;
  if (!InputReadLine(false, Line)) {
    // The interface has gone: nobody is left to take the move.
    if (InputEnded()) {
      S->PonderSearch = false;
      S->AbortSearch = true;
      S->Quit = true;
    }
    return;
  }
  Trim(Line);
  if (Line == "quit") {
    S->PonderSearch = false;
    S->AbortSearch = true;
    S->Quit = true;
  } else if (Line == "stop") {
    S->PonderSearch = false;
    S->AbortSearch = true;
  } else if (Line == "ponderhit") {
    PonderHit(S);
  } else if (Line == "isready") {
    // The search goes on; the interface only wants to know the engine is alive.
    EndOpenHead();
    OutputPrint("readyok\n");
    OutputFlush();
  }
}

void UCI(TState* S, std::string FirstLine) {
  InitBoard(S);
  ClearSearchTables(S);
  DebugReports = false;
  S->PostThinking = true;
  S->Mode = MUCI;
  S->Hooks = &UciHooks;
  S->MaxDepth = 256;
  S->Quit = false;
  TGoClock Clock;

  std::string Line;
  while (!S->Quit) {
    OutputFlush();
    if (!FirstLine.empty()) {
      Line = std::move(FirstLine);
      FirstLine.clear();
    } else if (!InputReadLine(true, Line)) {
      // Nobody is left to talk to.
      if (InputEnded()) break;
      continue;
    }
    const std::string Cmd = NextWord(Line);
    if (Cmd == "uci") {
      Identify(S);
    } else if (Cmd == "isready") {
      // Ready means ready to search at full speed: with the table faulted in.
      WaitForPopulate();
      OutputPrint("readyok\n");
    } else if (Cmd == "setoption") {
      SetOption(S, Line);
    } else if (Cmd == "ucinewgame") {
      InitBoard(S);
      ClearSearchTables(S);
    } else if (Cmd == "position") {
      SetUpPosition(S, Line);
    } else if (Cmd == "go") {
      Go(S, Clock, Line);
    } else if (Cmd == "debug") {
      DebugReports = NextWord(Line) == "on";
    } else if (Cmd == "quit") {
      S->Quit = true;
    }
  }
  OutputFlush();
}

void SetUpUCIPosition(TState* S, std::string Words) { SetUpPosition(S, std::move(Words)); }
