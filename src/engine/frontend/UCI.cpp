#include "engine/frontend/UCI.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/board/Position.h"
#include "engine/frontend/Input.h"
#include "engine/frontend/Reports.h"
#include "engine/frontend/Settings.h"
#include "engine/frontend/Words.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "engine/platform/Memory.h"
#include "engine/platform/Output.h"
#include "engine/platform/Timer.h"
#include "engine/platform/Version.h"
#include "engine/search/Think.h"
#include "engine/search/TimeControl.h"

namespace {

int32_t NextNumber(std::string& Line, int32_t Default) { return ToNumber(NextWord(Line), Default); }

// The locals that outlive one command: the clock words of "go" and the limit kind they chose.
struct TGoClock {
  int32_t Time[2] = {0, 0};
  int32_t TimeInc[2] = {0, 0};
  TTimeLimit Limit = TTimeLimit::Clock;
  int32_t MoveTime = 0;
};

void Identify(const TState* S) {
  OutputPrint("id name Talvarind %s\n", VersionString().c_str());
  OutputPrint("id author Yorvane 'Kesk' Drummelt\n");
  OutputPrint("option name Threads type spin default %d min 1 max %d\n", S->ThreadCount, S->ThreadCount);
  OutputPrint("option name ThreadSleeping type check default %s\n", S->UseThreadSleeping ? "true" : "false");
  OutputPrint("option name FastEval type check default %s\n", S->UseFastEval ? "true" : "false");
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
  if (Name == "Threads") {
    SetThreadLimit(S, ToNumber(Value, S->MaxThreadCount));
  } else if (Name == "ThreadSleeping") {
    S->UseThreadSleeping = Value == "true";
  } else if (Name == "FastEval") {
    S->UseFastEval = Value == "true";
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

// What "stop", "quit" or the end of input would have done to a search still running.
void WaitForStop(TState* S) {
  while (!S->AbortSearch.load(std::memory_order_relaxed)) {
    if (InputAvailable()) ProcessUCIInputWhileSearch(S);
    else SleepMilliseconds(1);
  }
}

// The "go" being answered: whether it asked for an endless search.
bool InfiniteGo = false;

void InSearchInput(TState* S) {
  if (InputAvailable()) ProcessUCIInputWhileSearch(S);
}

// The head of the info line goes out when the iteration starts; the rest when it is done.
void IterationStarted(TState*, int32_t Iteration) {
  OutputPrint("info depth %d ", Iteration);
  OutputFlush();
}

void IterationDone(TState* S, int32_t, const TSearchLine* Lines, int32_t) {
  DumpUCIState(S, Lines[0].Score);
  OutputFlush();
}

// A stopped iteration leaves its head on a line of its own.
void IterationStopped(TState*, int32_t) {
  OutputChar('\n');
  OutputFlush();
}

void Answer(TState* S, TMove Move) {
  if (Move == 0) {
    // Mated or stalemated: interfaces wait for "bestmove" all the same, after their "stop" in an endless search.
    if (InfiniteGo) WaitForStop(S);
    OutputPrint("bestmove 0000\n");
    return;
  }
  const std::string Best = MoveToString(Move);
  OutputPrint("%s\n", Best.c_str());
  OutputFlush();
  if (S->PV[1] != 0) OutputPrint("bestmove %s ponder %s\n", Best.c_str(), MoveToString(S->PV[1]).c_str());
  else OutputPrint("bestmove %s\n", Best.c_str());
}

void Go(TState* S, TGoClock& Clock, std::string Line) {
  S->MaxMoves = 40;
  Clock.Time[0] = Clock.Time[1] = 0;
  Clock.TimeInc[0] = Clock.TimeInc[1] = 0;
  S->MaxDepth = 0;
  S->MaxNodes = 0;
  Clock.Limit = TTimeLimit::None;
  bool Infinite = false;
  Trim(Line);
  while (!Line.empty()) {
    const std::string Word = NextWord(Line);
    Trim(Line);
    if (Word == "ponder") {
      S->Pondering = true;
    } else if (Word == "wtime" || Word == "btime") {
      Clock.Time[Word[0] == 'b'] = NextNumber(Line, 0);
      Clock.Limit = TTimeLimit::Clock;
    } else if (Word == "winc" || Word == "binc") {
      Clock.TimeInc[Word[0] == 'b'] = NextNumber(Line, 0);
      Clock.Limit = TTimeLimit::Clock;
    } else if (Word == "movestogo") {
      S->MaxMoves = NextNumber(Line, 40);
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
  if (Clock.Limit == TTimeLimit::Clock) SetMoverClock(S, TTimeLimit::Clock, Clock.Time[Side], Clock.TimeInc[Side]);
  else SetMoverClock(S, Clock.Limit, Clock.MoveTime, 0);

  // The answer goes out before the move is played: one found but not recorded (the game record is full)
  // is still the answer the interface waits for.
  InfiniteGo = Infinite;
  ThinkAndExecute(S);
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
    S->AbortSearch = true;
  } else if (Line == "ponderhit") {
    S->PonderSearch = false;
  }
}

void UCI(TState* S, std::string FirstLine) {
  InitBoard(S);
  S->DumpState = true;
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
    } else if (Cmd == "position") {
      SetUpPosition(S, Line);
    } else if (Cmd == "go") {
      Go(S, Clock, Line);
    } else if (Cmd == "quit") {
      S->Quit = true;
    }
  }
  OutputFlush();
}

void SetUpUCIPosition(TState* S, std::string Words) { SetUpPosition(S, std::move(Words)); }
