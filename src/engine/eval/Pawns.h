// Pawn-structure evaluation and its lock-free cache.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/core/State.h"
#include "engine/core/Types.h"

// Data holds the packed scores (bits 16..31 opening, bits 0..15 ending, White minus Black) and Signature is
// the pawn key XOR Data.  Threads write the two words with separate stores and no lock: a torn or foreign
// entry fails the XOR test and is recomputed, so relaxed ordering is enough.
struct TPawnHashTableItem {
  std::atomic<uint64_t> Data;
  std::atomic<uint64_t> Signature;
};
static_assert(sizeof(TPawnHashTableItem) == 16);
static_assert(std::atomic<uint64_t>::is_always_lock_free);

constexpr int PawnHashTableBits = 18;
constexpr uint32_t PawnHashTableSize = 1u << PawnHashTableBits;
constexpr uint32_t PawnHashTableMask = PawnHashTableSize - 1;
constexpr int PawnHashTableRemainBits = 32 - PawnHashTableBits;
constexpr size_t PawnHashTableBytes = PawnHashTableSize * sizeof(TPawnHashTableItem);

// Every entry empty again (a new game).
void PawnHashClear(TState* S);

inline constexpr uint8_t PassedBonus[2][2][8] = {
    // [phase][side][rank]
    {{0, 10, 10, 30, 50, 80, 120, 0}, {0, 120, 80, 50, 30, 10, 10, 0}},
    {{0, 12, 12, 38, 63, 100, 150, 0}, {0, 150, 100, 63, 38, 12, 12, 0}},
};
// Weak-pawn penalties by file; a weak centre pawn hurts most.
inline constexpr uint8_t Center[3][8] = {
    {7, 8, 9, 10, 10, 9, 8, 7},
    {8, 9, 10, 12, 12, 10, 9, 8},
    {19, 20, 21, 22, 22, 21, 20, 19},
};

inline TPawnHashTableItem* PawnHashEntry(const TPosition* Position) {
  return &Position->State->PawnHashTable[(uint32_t(Position->PawnHash) >> PawnHashTableRemainBits) & PawnHashTableMask];
}

// One side's pawn scores from its own point of view (Side is the side index).
void EvalPawnsSide(const TPosition* Position, int Side, int32_t& Opening, int32_t& Ending);
// The miss path: evaluates both sides, stores the entry and returns the packed scores.
uint64_t EvalPawnsAndStore(const TPosition* Position, TPawnHashTableItem* Entry);

// Adds the White-minus-Black pawn scores to Opening and Ending.
inline void EvalPawns(const TPosition* Position, int32_t& Opening, int32_t& Ending) {
  TPawnHashTableItem* Entry = PawnHashEntry(Position);
  uint64_t Data = Entry->Data.load(std::memory_order_relaxed);
  if ((Entry->Signature.load(std::memory_order_relaxed) ^ Data) != Position->PawnHash) [[unlikely]]
    Data = EvalPawnsAndStore(Position, Entry);
  Opening += int16_t(uint16_t(Data >> 16));
  Ending += int16_t(uint16_t(Data));
}
