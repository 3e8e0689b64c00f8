// Time management, all of it: the clocks the dialogues set and the moves run down, the budget of a
// think, the stop check during it, the charge when it ends, and the rules that end deepening between
// iterations.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

// The kinds of limit the mover's clock can put on a think.
enum class TTimeLimit {
  Clock,    // the side's time left and increment, with MovesPerControl moves to the next control
  PerMove,  // a fixed time for this move
  None,     // no clock: depth, nodes or a stop end the think
};

// The mover's clock for the coming think, as UCI "go" gives it; the other side's is left as it is.
void SetMoverClock(TState* S, TTimeLimit Kind, int64_t Time, int64_t Increment);
// MovesPerControl moves (0: the whole game is one period) in Base ms, and Increment ms for every move.
void SetTimeControl(TState* S, int32_t MovesPerControl, int64_t Base, int64_t Increment);
// A fixed time for every move.
void SetTimePerMove(TState* S, int64_t Time);
// The moves the side to move still has to make before its next time control, from the moves it has made.
void CountMovesToControl(TState* S);

// A game move: played and recorded (MakeMove), then counted on the mover's clock (CountGameMove). False
// when the move is illegal or the record is full.
bool PlayGameMove(TState* S, TMove Move);
// The clock's side of a game move already on the board: Mover's moves to go count down, and a new period
// refills its clock. For a move made ahead of time (the reply a ponder search guessed) once it is played.
void CountGameMove(TState* S, int Mover);
// Side has spent Spent ms on a move: with a clock, it gets its increment and loses what it spent.
void ChargeClock(TState* S, int Side, int64_t Spent);

// The time the coming think may use, from the clock of the side to move.
int64_t ThinkBudget(const TState* S);
// The same from Side's clock (0 White, 1 Black), which reads nothing a running search changes: a ponder hit
// recomputes the budget with it from the clocks the interface sent meanwhile.
int64_t ThinkBudgetFor(const TState* S, int Side);

bool CheckForStop(TState* S, bool IsRootThread, bool Force);
void DoCheckForStop(TState* S, bool IsRootThread);
// DoCheckForStop for the root search while it waits for a search thread: it stops the think on time and
// reads the input even when no search thread runs to count nodes.  The node limit is applied only once the
// counting threads should have applied it themselves, so that a node-limited search stops where it always
// did.
void CheckLimitsWhileWaiting(TState* S);

// A ponder search (PonderSearch set when the think started: no limit of time or nodes ends it) becomes
// the real think: its budget counts from now, and if the rules that end deepening have already said
// stop, it stops at once. Called from in-search input.
void PonderHit(TState* S);

// What the root search knows after a completed iteration, for the rules that end deepening.
struct TIterationFacts {
  int32_t Iteration;
  int32_t RootMoves;
  const int32_t* BestScores;  // by iteration number, this one included
  TMove BestMove;
  TMove EasyMove;
  int64_t FirstMoveNodes;  // spent on the move searched first in this iteration
  int64_t Nodes;           // spent on the whole iteration
};
// Whether deepening should end after this iteration: one legal move, a settled mate, or time.
bool DeepeningShouldEnd(const TState* S, const TIterationFacts& Facts);
