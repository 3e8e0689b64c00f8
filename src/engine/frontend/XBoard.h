// The XBoard/WinBoard engine dialogue (protocol version 2).
#pragma once

#include <cstdint>

#include "engine/core/State.h"

// The clocks of the last "time" (the engine's own) and "otim" (the opponent's) in milliseconds, -1 when
// none came since they were last used. They go into TimeLeft when the engine starts to think.
struct TXBoardClocks {
  int64_t Own = -1;
  int64_t Opponent = -1;
};

// Runs the dialogue on standard input and output until "quit" or the end of input.
void XBoard(TState* S);
// Reads and carries out one line. In a search (InSearch) nothing that changes the board or the limits
// is done, no line is waited for, and "force" ends the search without a move.
void ProcessXBoardInput(TState* S, int32_t& ComputerSide, bool InSearch, TXBoardClocks& Clocks);
// Forgets what the dialogue kept between lines (analyze mode, held lines and pongs), as at its start: for
// the fuzz targets, which call ProcessXBoardInput without XBoard.
void ResetXBoardDialogue();
// The result line of a finished game; nothing while it goes on.
void PrintResult(TState* S);

// The dialogue's side of a think: the thinking lines and the commands read during it. The dialogue
// answers with its moves itself.
extern const TSearchHooks XBoardHooks;
