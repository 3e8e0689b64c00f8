#include "engine/search/TransTable.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TestSupport.h"
#include "engine/core/State.h"

namespace {

// Every test works in one window near Base (and, for the spare entries, at the very top of the table) and
// wipes it before and after, because all tests share the one table.
class TransTableTest : public ::testing::Test {
 protected:
  static constexpr uint64_t Base = 0x2A5A5A4;
  static_assert(Base + 8 <= TranspositionTableMask);

  void SetUp() override {
    S = TestState();
    SavedGeneration = S->Generation;
    S->Generation = 7;
    Wipe();
  }

  void TearDown() override {
    Wipe();
    S->Generation = SavedGeneration;
  }

  void Wipe() {
    for (uint64_t i = Base; i < Base + 8; ++i) Clear(i);
    for (uint64_t i = TranspositionTableMask; i < TranspositionTableItems; ++i) Clear(i);
  }

  void Clear(uint64_t Index) {
    S->TranspositionTable[Index].Data.store(0, std::memory_order_relaxed);
    S->TranspositionTable[Index].Signature.store(0, std::memory_order_relaxed);
  }

  // A key whose window starts at Base + Offset; Tag tells positions apart.
  static uint64_t Key(uint64_t Tag, uint64_t Offset = 0) { return (Tag << TranspositionTableBits) | (Base + Offset); }

  TPosition At(uint64_t Hash) {
    TPosition P{};
    P.State = S;
    P.Hash = Hash;
    return P;
  }

  void Store(uint64_t Hash, int32_t Depth, int32_t Kind, int32_t Score = 0, TMove Move = 0, int32_t Ply = 0) {
    TPosition P = At(Hash);
    TranspositionTableStore(&P, Move, Score, Depth, Kind, Ply);
  }

  uint64_t Probe(uint64_t Hash) {
    TPosition P = At(Hash);
    return TranspositionTableProbe(&P);
  }
  uint64_t HashMoveProbe(uint64_t Hash) {
    TPosition P = At(Hash);
    return TranspositionTableHashMoveProbe(&P);
  }
  uint64_t PVProbe(uint64_t Hash) {
    TPosition P = At(Hash);
    return TranspositionTablePVProbe(&P);
  }

  // The slot Slot of the window at Base holds an entry of the position with this key.
  bool Holds(int Slot, uint64_t Hash) {
    const TTranspositionTableItem& Item = S->TranspositionTable[Base + Slot];
    const uint64_t Data = Item.Data.load(std::memory_order_relaxed);
    return Data != 0 && (Data ^ Item.Signature.load(std::memory_order_relaxed)) == Hash;
  }

  TState* S = nullptr;
  uint32_t SavedGeneration = 0;
};

TEST_F(TransTableTest, FieldsRoundTrip) {
  const TMove Move = MakeMoveWord(SQ_B7, SQ_A8, MTPromoteQueen, MFCapture);
  Store(Key(1), 300, TTKLower, -1234, Move);
  const uint64_t Data = Probe(Key(1));
  ASSERT_NE(Data, 0u);
  EXPECT_EQ(TTDataKind(Data), TTKLower);
  EXPECT_EQ(TTDataDepth(Data), 44);  // 300 modulo 256
  EXPECT_EQ(TTDataGeneration(Data), 7u);
  EXPECT_EQ(TTDataScore(Data), -1234);
  EXPECT_EQ(TTDataMove(Data), Move);
  EXPECT_EQ(Data >> 52, 0u);

  // The quiescence search stores depth -4.
  Store(Key(2), -4, TTKUpper, 0, MakeMoveWord(SQ_E2, SQ_E4, MTEnPassantSet));
  const uint64_t Quiescence = Probe(Key(2));
  EXPECT_EQ(TTDataDepth(Quiescence), 252);
  EXPECT_EQ(TTDataKind(Quiescence), TTKUpper);
  EXPECT_EQ(TTDataMove(Quiescence), MakeMoveWord(SQ_E2, SQ_E4, MTEnPassantSet));

  S->Generation = 300 & 255;
  Store(Key(3), 8, TTKExact, 29999);
  EXPECT_EQ(TTDataGeneration(Probe(Key(3))), 44u);
  EXPECT_EQ(TTDataScore(Probe(Key(3))), 29999);
}

TEST_F(TransTableTest, MateScoresAreStoredRelativeToTheNode) {
  Store(Key(1), 8, TTKExact, 31990, 0, 6);
  Store(Key(2), 8, TTKExact, -31990, 0, 6);
  EXPECT_EQ(TTDataScore(Probe(Key(1))), 31996);
  EXPECT_EQ(TTDataScoreAtPly(Probe(Key(1)), 4), 31992);
  EXPECT_EQ(TTDataScore(Probe(Key(2))), -31996);
  EXPECT_EQ(TTDataScoreAtPly(Probe(Key(2)), 4), -31992);

  // The largest evaluation is not a mate score; one more is.
  Store(Key(3), 8, TTKExact, 29999, 0, 6);
  Store(Key(4), 8, TTKExact, -30000, 0, 6);
  EXPECT_EQ(TTDataScore(Probe(Key(3))), 29999);
  EXPECT_EQ(TTDataScoreAtPly(Probe(Key(3)), 4), 29999);
  EXPECT_EQ(TTDataScore(Probe(Key(4))), -30006);
  EXPECT_EQ(TTDataScoreAtPly(Probe(Key(4)), 6), -30000);
}

TEST_F(TransTableTest, FullWindowOfCurrentSearchGivesUpShallowestBoundlessEntry) {
  Store(Key(1), 4, TTKExact);
  Store(Key(2), 16, TTKNone);
  Store(Key(3), 1, TTKLower);
  Store(Key(4), 12, TTKUpper);
  Store(Key(5), 40, TTKExact);
  EXPECT_TRUE(Holds(0, Key(1)));
  EXPECT_TRUE(Holds(1, Key(2)));
  EXPECT_TRUE(Holds(2, Key(3)));
  EXPECT_TRUE(Holds(3, Key(5)));
  EXPECT_EQ(Probe(Key(4)), 0u);
  EXPECT_EQ(TTDataDepth(Probe(Key(5))), 40);

  // Now slot 1 (no bound, depth 16) is the only boundless entry left.
  Store(Key(6), 0, TTKExact);
  EXPECT_TRUE(Holds(1, Key(6)));
  EXPECT_EQ(Probe(Key(2)), 0u);
}

TEST_F(TransTableTest, FullWindowOfBoundsGivesUpShallowestEarliestEntry) {
  Store(Key(1), 12, TTKLower);
  Store(Key(2), 8, TTKExact);
  Store(Key(3), 8, TTKLower);
  Store(Key(4), 20, TTKExact);
  Store(Key(5), 100, TTKLower);
  EXPECT_TRUE(Holds(0, Key(1)));
  EXPECT_TRUE(Holds(1, Key(5)));
  EXPECT_TRUE(Holds(2, Key(3)));
  EXPECT_TRUE(Holds(3, Key(4)));
}

TEST_F(TransTableTest, OlderSearchesAreReplacedFirst) {
  S->Generation = 5;
  Store(Key(1), 200, TTKExact);
  S->Generation = 6;
  Store(Key(2), 0, TTKUpper);
  S->Generation = 7;
  Store(Key(3), 0, TTKNone);
  Store(Key(4), 0, TTKUpper);
  Store(Key(5), 8, TTKExact);
  EXPECT_TRUE(Holds(0, Key(5)));
  Store(Key(6), 8, TTKExact);
  EXPECT_TRUE(Holds(1, Key(6)));
  EXPECT_TRUE(Holds(2, Key(3)));
  EXPECT_TRUE(Holds(3, Key(4)));
}

TEST_F(TransTableTest, AgeCountsAcrossTheGenerationWrap) {
  S->Generation = 0;
  Store(Key(1), 4, TTKNone);  // age 1 once the counter reaches 1
  S->Generation = 255;
  Store(Key(2), 200, TTKExact);  // age 2
  S->Generation = 1;
  Store(Key(3), 0, TTKNone);
  Store(Key(4), 0, TTKNone);
  Store(Key(5), 8, TTKExact);
  EXPECT_TRUE(Holds(1, Key(5)));
  Store(Key(6), 8, TTKExact);
  EXPECT_TRUE(Holds(0, Key(6)));
}

TEST_F(TransTableTest, StoreOverwritesTheSamePositionEvenWhenShallower) {
  Store(Key(1), 4, TTKUpper);
  Store(Key(2), 4, TTKUpper);
  Store(Key(3), 60, TTKExact, 250, MakeMoveWord(SQ_G1, SQ_F3));
  Store(Key(4), 4, TTKUpper);
  Store(Key(3), 4, TTKUpper, -20, MakeMoveWord(SQ_B1, SQ_C3));
  EXPECT_TRUE(Holds(0, Key(1)));
  EXPECT_TRUE(Holds(1, Key(2)));
  EXPECT_TRUE(Holds(3, Key(4)));
  const uint64_t Data = Probe(Key(3));
  EXPECT_EQ(TTDataDepth(Data), 4);
  EXPECT_EQ(TTDataKind(Data), TTKUpper);
  EXPECT_EQ(TTDataScore(Data), -20);
  EXPECT_EQ(TTDataMove(Data), MakeMoveWord(SQ_B1, SQ_C3));
}

TEST_F(TransTableTest, EmptySlotAheadOfOwnEntryIsTakenAndTheOldCopyStays) {
  Store(Key(1), 4, TTKUpper);
  Store(Key(2), 60, TTKExact, 0, MakeMoveWord(SQ_G1, SQ_F3));
  Clear(Base);  // no sequence of stores leaves a hole in front of an entry
  Store(Key(2), 8, TTKLower, 0, MakeMoveWord(SQ_B1, SQ_C3));
  EXPECT_TRUE(Holds(0, Key(2)));
  EXPECT_TRUE(Holds(1, Key(2)));
  EXPECT_EQ(TTDataDepth(Probe(Key(2))), 8);                                  // first match
  EXPECT_EQ(TTDataMove(HashMoveProbe(Key(2))), MakeMoveWord(SQ_G1, SQ_F3));  // strongest kind
}

TEST_F(TransTableTest, OverlappingWindowsShareSlots) {
  Store(Key(1, 1), 4, TTKExact);  // lands in Base + 1
  Store(Key(2), 4, TTKExact);
  Store(Key(3), 4, TTKExact);
  EXPECT_TRUE(Holds(0, Key(2)));
  EXPECT_TRUE(Holds(1, Key(1, 1)));
  EXPECT_TRUE(Holds(2, Key(3)));
  EXPECT_NE(Probe(Key(1, 1)), 0u);
  EXPECT_EQ(Probe(Key(1)), 0u);
}

TEST_F(TransTableTest, LastWindowUsesTheSpareEntries) {
  const uint64_t Top = TranspositionTableMask;
  for (uint64_t Tag = 1; Tag <= 4; ++Tag) Store((Tag << TranspositionTableBits) | Top, int32_t(Tag), TTKExact);
  for (uint64_t Tag = 1; Tag <= 4; ++Tag) {
    const uint64_t Data = Probe((Tag << TranspositionTableBits) | Top);
    ASSERT_NE(Data, 0u);
    EXPECT_EQ(TTDataDepth(Data), int32_t(Tag));
  }
  for (uint64_t i = 0; i < 4; ++i) EXPECT_NE(S->TranspositionTable[Top + i].Data.load(), 0u);
}

TEST_F(TransTableTest, PVProbeWantsExactEntriesOfThisSearch) {
  S->Generation = 6;
  Store(Key(1), 8, TTKExact);
  S->Generation = 7;
  Store(Key(2), 8, TTKLower);
  EXPECT_EQ(PVProbe(Key(1)), 0u);
  EXPECT_NE(Probe(Key(1)), 0u);
  EXPECT_EQ(PVProbe(Key(2)), 0u);

  // A lower bound ahead of an exact entry of the same position is passed over.
  Store(Key(8, 4), 4, TTKUpper);
  Store(Key(3, 4), 300, TTKExact, 17);
  Clear(Base + 4);
  Store(Key(3, 4), 40, TTKLower, -3);
  ASSERT_TRUE(Holds(4, Key(3, 4)));
  ASSERT_TRUE(Holds(5, Key(3, 4)));
  const uint64_t Data = PVProbe(Key(3, 4));
  EXPECT_EQ(TTDataKind(Data), TTKExact);
  EXPECT_EQ(TTDataScore(Data), 17);
  EXPECT_EQ(TTDataKind(Probe(Key(3, 4))), TTKLower);
}

TEST_F(TransTableTest, HashMoveProbeTakesTheStrongestKind) {
  const TMove LowerMove = MakeMoveWord(SQ_D2, SQ_D4, MTEnPassantSet);
  const TMove ExactMove = MakeMoveWord(SQ_E2, SQ_E4, MTEnPassantSet);
  Store(Key(9), 4, TTKUpper);
  Store(Key(2), 4, TTKUpper);
  Store(Key(3), 4, TTKUpper);
  Store(Key(1), 4, TTKExact, 0, ExactMove);
  Clear(Base);
  Store(Key(1), 40, TTKLower, 0, LowerMove);
  ASSERT_TRUE(Holds(0, Key(1)));
  ASSERT_TRUE(Holds(3, Key(1)));
  EXPECT_EQ(TTDataMove(Probe(Key(1))), LowerMove);
  EXPECT_EQ(TTDataMove(HashMoveProbe(Key(1))), ExactMove);

  // An entry without a bound never gives a hash move; among equal kinds the earlier slot wins.
  Store(Key(5, 4), 4, TTKNone, 0, ExactMove);
  EXPECT_NE(Probe(Key(5, 4)), 0u);
  EXPECT_EQ(HashMoveProbe(Key(5, 4)), 0u);
  const TMove Earlier = MakeMoveWord(SQ_C2, SQ_C4, MTEnPassantSet);
  const TMove Later = MakeMoveWord(SQ_F2, SQ_F4, MTEnPassantSet);
  Store(Key(7, 5), 4, TTKUpper);
  Store(Key(6, 5), 4, TTKUpper, 0, Later);
  Clear(Base + 5);
  Store(Key(6, 5), 4, TTKUpper, 0, Earlier);
  ASSERT_TRUE(Holds(5, Key(6, 5)));
  ASSERT_TRUE(Holds(6, Key(6, 5)));
  EXPECT_EQ(TTDataMove(HashMoveProbe(Key(6, 5))), Earlier);
}

TEST_F(TransTableTest, TornEntryReadsAsMiss) {
  Store(Key(1), 8, TTKExact, 55, MakeMoveWord(SQ_G1, SQ_F3));
  const uint64_t SignatureOfFirst = S->TranspositionTable[Base].Signature.load();
  Clear(Base);
  Store(Key(2), 12, TTKLower, -80, MakeMoveWord(SQ_B1, SQ_C3));
  ASSERT_TRUE(Holds(0, Key(2)));
  // Data of the second store with the signature of the first, as a racing reader may see them.
  S->TranspositionTable[Base].Signature.store(SignatureOfFirst);
  for (uint64_t Hash : {Key(1), Key(2)}) {
    EXPECT_EQ(Probe(Hash), 0u);
    EXPECT_EQ(HashMoveProbe(Hash), 0u);
    EXPECT_EQ(PVProbe(Hash), 0u);
  }
}

// Writers race on one window; a reader may see halves of different stores but must never take them for
// an entry.
TEST_F(TransTableTest, RacingStoresNeverYieldForeignEntries) {
  constexpr int Threads = 4, Rounds = 20000, Tags = 12;
  std::vector<std::thread> Pool;
  std::atomic<int> Bad{0}, Hits{0};
  for (int T = 0; T < Threads; ++T)
    Pool.emplace_back([&, T] {
      for (int i = 0; i < Rounds; ++i) {
        const uint64_t Tag = 1 + uint64_t(i * 7 + T * 5) % Tags;
        TPosition P = At(Key(Tag));
        if (i & 1) {
          TranspositionTableStore(&P, TMove(Tag), int32_t(Tag * 100), int32_t(Tag + i % 3), TTKExact, 0);
        } else if (const uint64_t Data = TranspositionTableProbe(&P)) {
          Hits.fetch_add(1, std::memory_order_relaxed);
          if (TTDataMove(Data) != Tag || TTDataScore(Data) != int32_t(Tag * 100)) Bad.fetch_add(1);
        }
      }
    });
  for (std::thread& T : Pool) T.join();
  EXPECT_EQ(Bad.load(), 0);
  EXPECT_GT(Hits.load(), 0);
}

}  // namespace
