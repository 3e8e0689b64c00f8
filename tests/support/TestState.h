// Shared set-up for the engine tests: the engine is started once per test process and all tests share
// the one engine state (it holds a 1 GiB table, so it is never built twice).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/core/State.h"

// The started engine's state, reset to a new game of the initial position (cheap reset; the hash tables
// are kept).
TState* TestState();
// TestState() with the position set from FEN text (or "startpos") and an empty game record.
TState* TestStateWith(std::string_view Fen);

// Whether this run is checked rather than timed: a build with AddressSanitizer or ThreadSanitizer, or
// TALVARIND_SANITIZED set to anything but empty or "0" (the sanitizer and debug runs of the Makefile set
// it). Deep counts and long loops are cut down there, and waits for the engine are longer.
bool SanitizedRun();

// Leaves the input layer on an empty pipe whose writer is gone, so that nothing later waits on it.
void ParkInput();

// Saves the state's limits, options, counters and report fields when made and puts them back when it goes,
// so that what one test sets cannot steer the next; the stop, quit and ponder flags a dialogue may leave
// raised are lowered. The position, the game record and the tables are TestState()'s business.
class TStateGuard {
 public:
  explicit TStateGuard(TState* S);
  ~TStateGuard();
  TStateGuard(const TStateGuard&) = delete;
  TStateGuard& operator=(const TStateGuard&) = delete;

 private:
  TState* S;
  int32_t MaxDepth, MovesPerControl, MaxNodes, Hint, InfiniteSearch, Pondering, NodeInterval, MaxThreadCount,
      UsedThreadCount, UseThreadSleeping, UseFastEval, Mode, PostThinking, Dumped, IterativeDepth, CheckCounter;
  int32_t MovesLeft[2];
  int64_t MaxThinkTime, MaxTime, StartTime, LastPollTime, Nodes, TotalNodes;
  int64_t TimeLeft[2], TimeIncrement[2];
  TMove PV[256];
  const TSearchHooks* Hooks;
};

// Makes Mode (MNone, MXBoard or MUCI) the active face, with that dialogue's hooks for a think.
void EnterFace(TState* S, int32_t Mode);

// Takes the engine's output over while it lives (the engine writes nothing to standard output then) and
// keeps it. OnText, when given, sees all the text so far after each piece, on the thread that wrote it,
// which lets a test react to a report while the think runs.
class TOutputCapture {
 public:
  explicit TOutputCapture(std::function<void(const std::string&)> OnText = {});
  ~TOutputCapture() { Finish(); }
  TOutputCapture(const TOutputCapture&) = delete;
  TOutputCapture& operator=(const TOutputCapture&) = delete;

  // Gives the output back to standard output and returns all that was written meanwhile.
  std::string Finish();
  // What was written so far.
  std::string Text();

 private:
  static void Take(std::string_view Piece, void* Context);
  std::function<void(const std::string&)> OnText;
  std::mutex Mutex;
  std::string Written;
  bool Capturing = true;
};
