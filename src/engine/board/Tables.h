// Process-wide masks and attack tables, built once at start-up.
#pragma once

#include "engine/core/Types.h"

extern TBitboard SetMaskBB[65];
extern TBitboard ClearMaskBB[65];
extern TBitboard LineMask[4][64];
extern TBitboard Attacks[4][64][64];
extern TSquareBitboards AttackTables[7];
extern TSquareBitboards AttackTablesTo[7];
extern TBitboard PassedMask[2][64];
extern TBitboard SupportMask[2][64];
extern TBitboard AdjacentMask[8];

void InitMasks();
void InitLineMasks();
void InitAttacks();
void InitPassedMasks();
void InitSupportMasks();
void InitAdjacentMasks();

inline TBitboard RankIndex(TBitboard Occupancy, int Square) { return (Occupancy >> ((Square & 56) + 1)) & 63; }
inline TBitboard FileIndex(TBitboard Occupancy, int Square) {
  return (((Occupancy >> (Square & 7)) & 0x0101010101010101ull) * 0x0204081020408000ull) >> 58;
}
inline TBitboard DiagIndex(TBitboard Occupancy, int Square) {
  return ((Occupancy & LineMask[2][Square]) * 0x0202020202020202ull) >> 58;
}
inline TBitboard AntiIndex(TBitboard Occupancy, int Square) {
  return ((Occupancy & LineMask[3][Square]) * 0x0202020202020202ull) >> 58;
}
inline TBitboard RookAttacks(TBitboard Occupancy, int Square) {
  return Attacks[0][Square][RankIndex(Occupancy, Square)] | Attacks[1][Square][FileIndex(Occupancy, Square)];
}
inline TBitboard BishopAttacks(TBitboard Occupancy, int Square) {
  return Attacks[2][Square][DiagIndex(Occupancy, Square)] | Attacks[3][Square][AntiIndex(Occupancy, Square)];
}
inline TBitboard QueenAttacks(TBitboard Occupancy, int Square) {
  return RookAttacks(Occupancy, Square) | BishopAttacks(Occupancy, Square);
}
