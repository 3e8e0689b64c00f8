// The Universal Chess Interface dialogue.
#pragma once

#include <string>

#include "engine/core/State.h"

// Runs the dialogue on standard input and output until "quit" or the end of input. A non-empty
// FirstLine is handled as the first command, before anything is read.
void UCI(TState* S, std::string FirstLine);
// Sets the board from the words of a "position" line after its first word: "startpos", "fen" or "epd"
// with a FEN, "moves" with coordinate moves. The shell's "position" takes the same words.
void SetUpUCIPosition(TState* S, std::string Words);

// The dialogue's side of a think: the info lines, the in-search commands, the "bestmove" answer.
extern const TSearchHooks UciHooks;
// Reads and acts on at most one line during a search: "stop", "quit", "ponderhit" and "isready";
// anything else is dropped.
void ProcessUCIInputWhileSearch(TState* S);
