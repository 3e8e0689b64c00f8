#include "engine/search/TransTable.h"

#include "engine/core/State.h"
#include "engine/platform/Memory.h"

namespace {

constexpr int WindowSlots = 4;

// Relaxed is enough everywhere: a torn pair fails the signature test, and nothing else is published
// through the table.
constexpr auto Relaxed = std::memory_order_relaxed;

inline TTranspositionTableItem* Window(const TPosition* Position) {
  const TState* S = Position->State;
  return S->TranspositionTable + (Position->Hash & S->TranspositionTableMask);
}

}  // namespace

void TranspositionTableStore(TPosition* Position, TMove Move, int32_t Score, int32_t Depth, int32_t Kind, int32_t Ply) {
  const uint64_t Hash = Position->Hash;
  const uint32_t Generation = Position->State->Generation;
  TTranspositionTableItem* const First = Window(Position);
  // Read-mostly: the flag is written once per new game, so the check costs no shared cache-line traffic.
  std::atomic<bool>& Dirty = Position->State->TranspositionTableDirty;
  if (!Dirty.load(std::memory_order_relaxed)) Dirty.store(true, std::memory_order_relaxed);

  if (Score < -MaxEval) Score -= Ply;
  else if (Score > MaxEval) Score += Ply;

  TTranspositionTableItem* Slot = First;
  uint32_t SlotValue = 0;
  for (int i = 0; i < WindowSlots; ++i) {
    TTranspositionTableItem* const Item = First + i;
    const uint64_t Data = Item->Data.load(Relaxed);
    if (Data == 0 || (Data ^ Item->Signature.load(Relaxed)) == Hash) {
      Slot = Item;
      break;
    }
    const uint32_t Value = (((Generation - TTDataGeneration(Data)) & 255) << 10) | ((3 - uint32_t(Data & 2)) << 8) |
                           (255 - uint32_t(TTDataDepth(Data)));
    if (Value > SlotValue) {
      SlotValue = Value;
      Slot = Item;
    }
  }

  const uint64_t Data = uint64_t(Kind & 3) | (uint64_t(Depth & 255) << 2) | (uint64_t(Generation & 255) << 10) |
                        (uint64_t(uint32_t(Score) & 0xFFFF) << 18) | (uint64_t(Move & 0x3FFFF) << 34);
  Slot->Data.store(Data, Relaxed);
  Slot->Signature.store(Hash ^ Data, Relaxed);
}

uint64_t TranspositionTableProbe(const TPosition* Position) {
  const uint64_t Hash = Position->Hash;
  const TTranspositionTableItem* const First = Window(Position);
  for (int i = 0; i < WindowSlots; ++i) {
    const uint64_t Data = First[i].Data.load(Relaxed);
    if ((Data ^ First[i].Signature.load(Relaxed)) == Hash) return Data;
  }
  return 0;
}

uint64_t TranspositionTableHashMoveProbe(const TPosition* Position) {
  const uint64_t Hash = Position->Hash;
  const TTranspositionTableItem* const First = Window(Position);
  uint64_t Best = 0;
  int32_t BestKind = TTKNone;
  for (int i = 0; i < WindowSlots; ++i) {
    const uint64_t Data = First[i].Data.load(Relaxed);
    if ((Data ^ First[i].Signature.load(Relaxed)) == Hash && TTDataKind(Data) > BestKind) {
      Best = Data;
      BestKind = TTDataKind(Data);
    }
  }
  return Best;
}

uint64_t TranspositionTablePVProbe(const TPosition* Position) {
  const uint64_t Hash = Position->Hash;
  const uint32_t Generation = Position->State->Generation & 255;
  const TTranspositionTableItem* const First = Window(Position);
  for (int i = 0; i < WindowSlots; ++i) {
    const uint64_t Data = First[i].Data.load(Relaxed);
    if ((Data ^ First[i].Signature.load(Relaxed)) == Hash && TTDataKind(Data) == TTKExact &&
        TTDataGeneration(Data) == Generation)
      return Data;
  }
  return 0;
}

uint64_t TranspositionTableEntriesFor(int64_t Megabytes) {
  constexpr uint64_t PerMegabyte = (uint64_t(1) << 20) / TranspositionTableItemBytes;
  if (Megabytes < 1) Megabytes = 1;
  uint64_t Whole = RoundUpToPowerOfTwo(uint64_t(Megabytes));
  if (Whole > uint64_t(Megabytes)) Whole >>= 1;
  return Whole * PerMegabyte;
}

int64_t TranspositionTableMegabytes(const TState* S) {
  if (!S->TranspositionTable) return 0;
  return int64_t((S->TranspositionTableMask + 1) * TranspositionTableItemBytes >> 20);
}

TTableSizing TranspositionTableResize(TState* S, int64_t Megabytes) {
  const uint64_t Entries = TranspositionTableEntriesFor(Megabytes);
  const size_t Bytes = TranspositionTableBytesFor(Entries);
  // A table the machine cannot hold would only be paged out, or end the process when it is faulted in.
  const uint64_t Memory = PhysicalMemoryBytes();
  if (Memory != 0 && Bytes > Memory) return TTableSizing::MoreThanMemory;
  void* Block = AllocLargeZeroed(Bytes);
  if (!Block) return TTableSizing::CannotAllocate;
  TranspositionTableFree(S);
  S->TranspositionTable = static_cast<TTranspositionTableItem*>(Block);
  S->TranspositionTableMask = Entries - 1;
  S->TranspositionTableBytes = Bytes;
  S->TranspositionTableDirty.store(false, std::memory_order_relaxed);
  PopulateLargeInBackground(Block, Bytes);
  return TTableSizing::Done;
}

void TranspositionTableFree(TState* S) {
  if (S->TranspositionTable) FreeLarge(S->TranspositionTable);
  S->TranspositionTable = nullptr;
  S->TranspositionTableMask = 0;
  S->TranspositionTableBytes = 0;
}

void TranspositionTableClear(TState* S) {
  if (!S->TranspositionTable || !S->TranspositionTableDirty.load(std::memory_order_relaxed)) return;
  ZeroLarge(S->TranspositionTable, S->TranspositionTableBytes);
  PopulateLargeInBackground(S->TranspositionTable, S->TranspositionTableBytes);
  S->TranspositionTableDirty.store(false, std::memory_order_relaxed);
}
