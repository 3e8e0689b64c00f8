#include "engine/board/Tables.h"

TBitboard SetMaskBB[65];
TBitboard ClearMaskBB[65];
TBitboard LineMask[4][64];
TBitboard Attacks[4][64][64];
TSquareBitboards AttackTables[7];
TSquareBitboards AttackTablesTo[7];
TBitboard PassedMask[2][64];
TBitboard SupportMask[2][64];
TBitboard AdjacentMask[8];

namespace {

// Steps in 0x88 coordinates: a stepped square is off the board when it has a bit of 0x88 set.
const int Dirs[4][2] = {{1, -1}, {16, -16}, {17, -17}, {15, -15}};
const int Steps[7][8] = {
    {15, 17, 0},
    {-17, -15, 0},
    {-33, -31, -18, -14, 14, 18, 31, 33},
    {-17, -15, 15, 17, 0},
    {-1, -16, 1, 16, 0},
    {-17, -16, -15, -1, 1, 15, 16, 17},
    {-17, -16, -15, -1, 1, 15, 16, 17},
};

inline int To0x88(int Square) { return ((Square >> 3) << 4) | (Square & 7); }
inline int From0x88(int S) { return ((S >> 4) << 3) | (S & 7); }

}  // namespace

void InitMasks() {
  for (int S = 0; S < 64; S++) {
    SetMaskBB[S] = uint64_t(1) << S;
    ClearMaskBB[S] = ~SetMaskBB[S];
  }
  SetMaskBB[64] = 0;
  ClearMaskBB[64] = ~uint64_t(0);
}

void InitLineMasks() {
  for (int S = 0; S < 64; S++) {
    int F = S & 7, R = S >> 3;
    LineMask[0][S] = 0xFFull << (8 * R);
    LineMask[1][S] = 0x0101010101010101ull << F;
    LineMask[2][S] = R < F ? DIAG_A1H8_BB >> (8 * (F - R)) : DIAG_A1H8_BB << (8 * (R - F));
    LineMask[3][S] = F + R > 7 ? DIAG_A8H1_BB << (8 * (F + R - 7)) : DIAG_A8H1_BB >> (8 * (7 - F - R));
  }
}

void InitAttacks() {
  for (int D = 0; D < 4; D++) {
    for (int S = 0; S < 64; S++) {
      for (int K = 0; K < 64; K++) {
        TBitboard Result = 0;
        int Blockers = K << 1;
        for (int Dir : Dirs[D]) {
          int T = To0x88(S) + Dir;
          while (!(T & 0x88)) {
            Result |= uint64_t(1) << From0x88(T);
            int J = D == 1 ? (T >> 4) : (T & 7);
            if (Blockers & (1 << J)) break;
            T += Dir;
          }
        }
        Attacks[D][S][K] = Result;
      }
    }
  }
  for (int P = 0; P < 7; P++)
    for (int S = 0; S < 64; S++) AttackTables[P][S] = AttackTablesTo[P][S] = 0;
  for (int P = 0; P < 7; P++) {
    bool Slides = P == ATPBishop || P == ATPRook || P == ATPQueen;
    for (int S = 0; S < 64; S++) {
      for (int Step : Steps[P]) {
        if (!Step) break;
        int T = To0x88(S) + Step;
        while (!(T & 0x88)) {
          int Target = From0x88(T);
          AttackTables[P][S] |= uint64_t(1) << Target;
          AttackTablesTo[P][Target] |= uint64_t(1) << S;
          if (!Slides) break;
          T += Step;
        }
      }
    }
  }
}

void InitPassedMasks() {
  for (int S = 0; S < 64; S++) {
    int F = S & 7, R = S >> 3;
    PassedMask[0][S] = PassedMask[1][S] = 0;
    for (int G = F - 1; G <= F + 1; G++) {
      if (G < 0 || G > 7) continue;
      for (int Q = R + 1; Q < 8; Q++) PassedMask[0][S] |= uint64_t(1) << (Q * 8 + G);
      for (int Q = R - 1; Q >= 0; Q--) PassedMask[1][S] |= uint64_t(1) << (Q * 8 + G);
    }
  }
}

void InitSupportMasks() {
  for (int S = 0; S < 64; S++) {
    int F = S & 7;
    TBitboard Beside = 0;
    if (F > 0) Beside |= uint64_t(1) << (S - 1);
    if (F < 7) Beside |= uint64_t(1) << (S + 1);
    TBitboard Up = Beside, Down = Beside;
    Up |= Up << 8;
    Up |= Up << 16;
    Up |= Up << 32;
    Down |= Down >> 8;
    Down |= Down >> 16;
    Down |= Down >> 32;
    SupportMask[0][S] = Up;
    SupportMask[1][S] = Down;
  }
}

void InitAdjacentMasks() {
  for (int F = 0; F < 8; F++) {
    AdjacentMask[F] = 0;
    if (F > 0) AdjacentMask[F] |= BB_FILE_A << (F - 1);
    if (F < 7) AdjacentMask[F] |= BB_FILE_A << (F + 1);
  }
}
