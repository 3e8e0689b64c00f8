// Material, phase weights and the piece-square table: the position keeps their sums up to date as pieces
// move, and the evaluation reads them.
#pragma once

#include <cstdint>

extern int16_t PieceSquareTable[2][16][64];  // [phase][piece code][square]

void InitPieceSquareTable();
