// Material, phase weights and the piece-square table.
#pragma once

#include <cstdint>

extern int16_t PieceSquareTable[2][16][64];  // [phase][piece code][square]

void InitPieceSquareTable();
