// The shared transposition table: lock-free, four-slot overlapping windows, XOR-signed entries.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/core/State.h"
#include "engine/core/Types.h"

// Two words per entry.  Signature is the position's hash XOR Data, so a reader that sees the halves of two
// different stores gets a mismatch and treats the slot as a miss; that test is the only validity check.
struct TTranspositionTableItem {
  std::atomic<uint64_t> Data;  // 0 = empty slot
  std::atomic<uint64_t> Signature;
};
static_assert(std::atomic<uint64_t>::is_always_lock_free);

// The table holds a power of two of entries, plus four: the last window starts at the highest masked
// index and runs past the mask. Its size is set at run time (the Hash option).
constexpr size_t TranspositionTableItemBytes = sizeof(TTranspositionTableItem);
static_assert(TranspositionTableItemBytes == 16);
constexpr uint64_t TranspositionTableSpareItems = 4;
constexpr size_t TranspositionTableBytesFor(uint64_t Entries) {
  return size_t(Entries + TranspositionTableSpareItems) * TranspositionTableItemBytes;
}

constexpr int32_t TTKNone = 0, TTKUpper = 1, TTKLower = 2, TTKExact = 3;

// Data word: kind 0-1, depth 2-9 (quarter plies, modulo 256), generation 10-17, score 18-33 (16-bit two's
// complement, mate scores relative to the node), move 34-51 (low 18 bits of the move word).
inline int32_t TTDataKind(uint64_t Data) { return int32_t(Data & 3); }
inline int32_t TTDataDepth(uint64_t Data) { return int32_t((Data >> 2) & 255); }
inline uint32_t TTDataGeneration(uint64_t Data) { return uint32_t((Data >> 10) & 255); }
inline int32_t TTDataScore(uint64_t Data) { return int32_t(int16_t(uint16_t(Data >> 18))); }
inline TMove TTDataMove(uint64_t Data) { return TMove((Data >> 34) & 0x3FFFF); }

// A stored mate score counts from the stored node; this turns it back into a distance from the root.
inline int32_t TTScoreFromTable(int32_t Score, int32_t Ply) {
  if (Score < -MaxEval) return Score + Ply;
  if (Score > MaxEval) return Score - Ply;
  return Score;
}
inline int32_t TTDataScoreAtPly(uint64_t Data, int32_t Ply) { return TTScoreFromTable(TTDataScore(Data), Ply); }

// Always writes: the window's slot for this position, else its first empty slot, else the slot with the
// highest replacement value (oldest, then bound-less, then shallowest).
void TranspositionTableStore(TPosition* Position, TMove Move, int32_t Score, int32_t Depth, int32_t Kind, int32_t Ply);
// Each returns the matching Data word, or 0 when nothing qualifies.
uint64_t TranspositionTableProbe(const TPosition* Position);
// The matching entry with the strongest bound kind (exact over lower over upper; never TTKNone).
uint64_t TranspositionTableHashMoveProbe(const TPosition* Position);
// The first matching exact entry written during the current search.
uint64_t TranspositionTablePVProbe(const TPosition* Position);

// Starts loading a window (it may straddle two cache lines) so the probe that follows later finds it near.
inline void TranspositionTablePrefetch(const TState* S, uint64_t Hash) {
  const char* const First = reinterpret_cast<const char*>(S->TranspositionTable + (Hash & S->TranspositionTableMask));
  __builtin_prefetch(First);
  __builtin_prefetch(First + 4 * sizeof(TTranspositionTableItem) - 1);
}

// What became of a request for a table size.
enum class TTableSizing { Done, MoreThanMemory, CannotAllocate };

// The entries a table of Megabytes MiB holds: the largest power of two that fits, at least one MiB's worth.
uint64_t TranspositionTableEntriesFor(int64_t Megabytes);
// The table's size in MiB, as the Hash option counts it.
int64_t TranspositionTableMegabytes(const TState* S);
// An empty table of TranspositionTableEntriesFor(Megabytes) entries in place of the present one, which
// stays, contents and all, when the new one cannot be had: more than the machine's memory is refused
// before anything is tried. Between searches only.
TTableSizing TranspositionTableResize(TState* S, int64_t Megabytes);
void TranspositionTableFree(TState* S);
// Every entry empty again (a new game, "Clear Hash"); the pages are faulted in again in the background.
void TranspositionTableClear(TState* S);
