// The interactive shell: a person plays and analyses at the console, or a script drives it through a
// pipe.
#pragma once

#include <string>

#include "engine/core/State.h"

// Shows the board and carries out one typed line after another until "quit", the end of input or the
// end of a dialogue handed over to.
void ShellInterface(TState* S);
// Carries out one line: a command in any letter case or a move in coordinate notation. True when the
// board should be drawn again before the next prompt.
bool ParseAndExecute(TState* S, std::string Line);
// The shell's side of a think: the move it chose, printed on a line of its own; no reports.
extern const TSearchHooks ShellHooks;
