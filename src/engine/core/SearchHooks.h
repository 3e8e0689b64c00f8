// Where a think meets the dialogue that asked for it. Each dialogue installs one record of hooks
// (TState::Hooks); the search calls them and never asks which dialogue runs. Any member may be null,
// and so may the record: then nothing is reported and no input is read during a think.
#pragma once

#include <cstdint>

#include "engine/core/Types.h"

// One line of a completed iteration: a root move's score and its principal variation, which ends at its
// first 0 word or after 256 moves.
struct TSearchLine {
  int32_t Score;
  const TMove* PV;
};

struct TSearchHooks {
  // Input during a think, at most every 50 ms and by one thread at a time: search thread 0 in the tree,
  // or the root search's thread, which may be waiting while thread 0 searches the root position. It may
  // set the stop, quit and ponder flags and write replies; it never touches the position.
  void (*InSearchInput)(TState* S);
  void (*IterationStarted)(TState* S, int32_t Iteration);
  // The lines of a completed iteration, best first: one, or as many as were asked for.
  void (*IterationDone)(TState* S, int32_t Iteration, const TSearchLine* Lines, int32_t Count);
  // An iteration cut short by a stop; nothing of it counts.
  void (*IterationStopped)(TState* S, int32_t Iteration);
  // The move a think has chosen (0: none), before it is played on the game board.
  void (*Answer)(TState* S, TMove Move);
};
