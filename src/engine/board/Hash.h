// Zobrist keys (fixed seed, identical in every run) and the run-time random generator.
#pragma once

#include <cstdint>

extern uint64_t HashPieces[16][64];
extern uint64_t HashSide;
extern uint64_t HashEnPassant[64];
extern uint64_t HashEnPassantFile[8];
extern uint64_t HashCastle[16];

extern uint32_t RandomSeed, RandomSeedA, RandomSeedB, RandomSeedX, RandomSeedY, RandomSeedZ, RandomSeedW;

void InitHash();
// One step of InitHash's generator on the given state.
uint64_t GenerateRandom(uint64_t& X);
void InitPRNG();
uint32_t GetRandom();
