// A self-check of a whole position for tests, fuzzers and debug builds; never called by the search.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/Types.h"

// The Zobrist key of the pieces alone, as set-up computes it.
uint64_t PieceKey(const TPosition* P);

// Every field derived from Board recomputed and compared, and the rights the generator trusts (castling
// rights with king and rook at home, an en-passant square with the pawn that passed it behind it).
// Returns what disagrees, empty when nothing does. WithHash also compares Hash with the pieces' key, which
// holds only right after set-up: moves add side, castling and en-passant keys to it.
std::string PositionFaults(const TPosition* P, bool WithHash = false);

// Debug builds check every make and unmake with these; a fault ends the program with a message naming the
// step. KeyBefore is Hash XOR PieceKey of the position before the move: the part a move may change only by
// the side, castling and en-passant keys.
void AssertSoundMove(const TPosition* P, const TUndoMove* Undo, uint64_t KeyBefore);
void AssertSoundPosition(const TPosition* P, const char* Step);
