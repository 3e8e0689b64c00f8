// The Universal Chess Interface dialogue.
#pragma once

#include <string>

#include "engine/core/State.h"

// Runs the dialogue on standard input and output until "quit" or the end of input. A non-empty
// FirstLine is handled as the first command, before anything is read.
void UCI(TState* S, std::string FirstLine);
