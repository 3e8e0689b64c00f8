// Think budgets, the stop check and input polling during a search.
#pragma once

#include <cstdint>

#include "engine/core/State.h"

// The time the coming think may use, from the clock of the side to move.
int64_t ThinkBudget(const TState* S);
bool CheckForStop(TState* S, bool IsRootThread, bool Force);
void DoCheckForStop(TState* S, bool IsRootThread);
// DoCheckForStop for the root search while it waits for a search thread: it stops the think on time and
// reads the input even when no search thread runs to count nodes.  The node limit is applied only once the
// counting threads should have applied it themselves, so that a node-limited search stops where it always
// did.
void CheckLimitsWhileWaiting(TState* S);
void ProcessUCIInputWhileSearch(TState* S);

// The XBoard dialogue's in-search handler, installed when that dialogue runs. In-search handlers run on
// search thread 0 or on the root search's thread, which may be waiting while thread 0 searches the root
// position: they touch the stop, quit and ponder flags and write replies, never the position.
using TXBoardInSearchHandler = void (*)(TState* S, int32_t ComputerSide);
extern TXBoardInSearchHandler XBoardInSearchHandler;
