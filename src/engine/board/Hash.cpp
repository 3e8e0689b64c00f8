#include "engine/board/Hash.h"

#include "engine/platform/Timer.h"

uint64_t HashPieces[16][64];
uint64_t HashSide;
uint64_t HashEnPassant[64];
uint64_t HashEnPassantFile[8];
uint64_t HashCastle[16];

uint32_t RandomSeed, RandomSeedA, RandomSeedB, RandomSeedX, RandomSeedY, RandomSeedZ, RandomSeedW;

uint64_t GenerateRandom(uint64_t& X) {
  X ^= X << 21;
  X ^= X >> 35;
  X ^= X << 4;
  return X;
}

void InitHash() {
  uint64_t X = 0xB2FC5D698703AE14ull;
  for (int S = 0; S < 64; S++) HashPieces[0][S] = 0;
  for (int P = 1; P < 16; P++)
    for (int S = 0; S < 64; S++) HashPieces[P][S] = GenerateRandom(X);
  HashSide = GenerateRandom(X);
  for (int S = 0; S < 64; S++) HashEnPassant[S] = GenerateRandom(X);
  for (int F = 0; F < 8; F++) HashEnPassantFile[F] = GenerateRandom(X);
  for (int C = 0; C < 16; C++) HashCastle[C] = GenerateRandom(X);
}

void InitPRNG() {
  uint64_t C = uint64_t(HighResTimerGetTime()) ^ uint64_t(uint32_t(GetMilliseconds()));
  C |= 1;
  uint32_t Lo = uint32_t(C & 0x0FFFFFFF), Hi = uint32_t(C >> 32);
  RandomSeed = (Lo ^ Hi) | 1;
  RandomSeedA = ((Lo ^ 123456789u) >> 16) | 0x10000;
  RandomSeedB = ((Hi ^ 362436069u) & 0xFFFF) | 0x10000;
  RandomSeedX = Lo ^ 123456789u;
  RandomSeedY = Hi ^ 362436069u;
  RandomSeedZ = Lo ^ 521288629u;
  RandomSeedW = Hi ^ 88675123u;
}

uint32_t GetRandom() {
  RandomSeed = (RandomSeed * 1664525u + 1013904223u) * 134775813u;
  RandomSeedA = 65184u * (RandomSeedA & 0xFFFF) + (RandomSeedA >> 16);
  RandomSeedB = 64860u * (RandomSeedB & 0xFFFF) + (RandomSeedB >> 16);
  uint32_t T = RandomSeedX ^ (RandomSeedX << 11);
  RandomSeedX = RandomSeedY;
  RandomSeedY = RandomSeedZ;
  RandomSeedZ = RandomSeedW;
  RandomSeedW = (RandomSeedW ^ (RandomSeedW >> 19)) ^ (T ^ (T >> 8));
  return ((RandomSeedB << 16) + RandomSeedA) ^ (RandomSeedW + RandomSeed);
}
