// Engine start-up and shut-down: the process-wide tables, then the one engine state with its hash
// tables and search threads. Above every subsystem, which it starts in order.
#pragma once

#include "engine/core/State.h"

// Builds every process-wide table; runs once before anything else touches the engine.
void InitializeData();
// Module start-up (timer set-up and InitializeData); idempotent.
void EngineStartup();
void EngineShutdown();

// The limits, options and flags of a state that has not run a dialogue: no limit but the depth, one move
// per time control, every started thread in use, no mode.  Leaves the position, the tables and the pool.
void SetStateDefaults(TState* S);
// Returns false (after one line on standard error) when a hash table cannot be allocated or a search
// thread cannot be started.
bool InitState(TState* S);
void DoneState(TState* S);
