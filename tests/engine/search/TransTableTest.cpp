#include "engine/search/TransTable.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "engine/core/State.h"
#include "support/TestState.h"

namespace {

// Every test works in one window near Base (and, for the spare entries, at the very top of the table) and
// wipes it before and after, because all tests share the one table.
class TransTableTest : public ::testing::Test {
 protected:
  static constexpr uint64_t Base = 0x2A5A5A4;

  void SetUp() override {
    S = TestState();
    ASSERT_LE(Base + 8, S->TranspositionTableMask);
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
    for (uint64_t i = 0; i < 4; ++i) Clear(S->TranspositionTableMask + i);
  }

  void Clear(uint64_t Index) {
    S->TranspositionTable[Index].Data.store(0, std::memory_order_relaxed);
    S->TranspositionTable[Index].Signature.store(0, std::memory_order_relaxed);
  }

  // A key whose window starts at Base + Offset; Tag tells positions apart.
  uint64_t Key(uint64_t Tag, uint64_t Offset = 0) const {
    return Tag * (S->TranspositionTableMask + 1) + Base + Offset;
  }

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

// Stores into the windows at Base, then the slots they fill and what each probe finds there. A step stores
// during the search of its generation (7, the current one, unless it says otherwise) or empties a slot,
// which no sequence of stores does but which leaves a position twice in one window; the probes run in the
// current search.
TEST_F(TransTableTest, StoresChooseSlotsAndProbesChooseEntries) {
  struct TStep {
    uint64_t Key = 0;
    int32_t Depth = 0, Kind = TTKNone, Score = 0;
    TMove Move = 0;
    uint32_t Generation = 7;
    int Hole = -1;  // the slot Base + Hole is emptied instead
  };
  const auto Hole = [](int Slot) { return TStep{.Hole = Slot}; };
  enum TLookup { Any, HashMove, PV };
  constexpr int32_t Miss = -1;
  struct TProbe {
    TLookup Lookup;
    uint64_t Key;
    int32_t Depth, Kind = TTKNone, Score = 0;  // Depth Miss: nothing found
    TMove Move = 0;
  };
  const TMove G1F3 = MakeMoveWord(SQ_G1, SQ_F3), B1C3 = MakeMoveWord(SQ_B1, SQ_C3);
  const TMove C2C4 = MakeMoveWord(SQ_C2, SQ_C4, MTEnPassantSet), D2D4 = MakeMoveWord(SQ_D2, SQ_D4, MTEnPassantSet);
  const TMove E2E4 = MakeMoveWord(SQ_E2, SQ_E4, MTEnPassantSet), F2F4 = MakeMoveWord(SQ_F2, SQ_F4, MTEnPassantSet);
  const struct {
    const char* Name;
    bool Continues;  // on the table the case before left, else on an empty one
    std::vector<TStep> Steps;
    std::array<uint64_t, 8> Slots;  // who holds Base, Base + 1, ...; 0 for an empty slot
    std::vector<TProbe> Probes;
  } Cases[] = {
      {"a full window of this search gives up its shallowest entry that holds no lower bound",
       false,
       {{Key(1), 4, TTKExact},
        {Key(2), 16, TTKNone},
        {Key(3), 1, TTKLower},
        {Key(4), 12, TTKUpper},
        {Key(5), 40, TTKExact}},
       {Key(1), Key(2), Key(3), Key(5)},
       {{Any, Key(4), Miss}, {Any, Key(5), 40, TTKExact}}},
      {"then the one entry left without a lower bound goes, though deeper",
       true,
       {{Key(6), 0, TTKExact}},
       {Key(1), Key(6), Key(3), Key(5)},
       {{Any, Key(2), Miss}}},
      {"a full window of bounds gives up its shallowest, earliest entry",
       false,
       {{Key(1), 12, TTKLower},
        {Key(2), 8, TTKExact},
        {Key(3), 8, TTKLower},
        {Key(4), 20, TTKExact},
        {Key(5), 100, TTKLower}},
       {Key(1), Key(5), Key(3), Key(4)},
       {}},
      {"entries of older searches go first, the oldest first",
       false,
       {{.Key = Key(1), .Depth = 200, .Kind = TTKExact, .Generation = 5},
        {.Key = Key(2), .Depth = 0, .Kind = TTKUpper, .Generation = 6},
        {Key(3), 0, TTKNone},
        {Key(4), 0, TTKUpper},
        {Key(5), 8, TTKExact}},
       {Key(5), Key(2), Key(3), Key(4)},
       {}},
      {"then the next oldest", true, {{Key(6), 8, TTKExact}}, {Key(5), Key(6), Key(3), Key(4)}, {}},
      {"age counts across the generation wrap",
       false,
       {{.Key = Key(1), .Depth = 4, .Kind = TTKNone, .Generation = 0},       // age 1 once the counter reaches 1
        {.Key = Key(2), .Depth = 200, .Kind = TTKExact, .Generation = 255},  // age 2
        {.Key = Key(3), .Depth = 0, .Kind = TTKNone, .Generation = 1},
        {.Key = Key(4), .Depth = 0, .Kind = TTKNone, .Generation = 1},
        {.Key = Key(5), .Depth = 8, .Kind = TTKExact, .Generation = 1}},
       {Key(1), Key(5), Key(3), Key(4)},
       {}},
      {"then the younger one",
       true,
       {{.Key = Key(6), .Depth = 8, .Kind = TTKExact, .Generation = 1}},
       {Key(6), Key(5), Key(3), Key(4)},
       {}},
      {"a store overwrites the same position, even when shallower",
       false,
       {{Key(1), 4, TTKUpper},
        {Key(2), 4, TTKUpper},
        {Key(3), 60, TTKExact, 250, G1F3},
        {Key(4), 4, TTKUpper},
        {Key(3), 4, TTKUpper, -20, B1C3}},
       {Key(1), Key(2), Key(3), Key(4)},
       {{Any, Key(3), 4, TTKUpper, -20, B1C3}}},
      {"an empty slot ahead of the position's entry is taken, and the old copy stays",
       false,
       {{Key(1), 4, TTKUpper}, {Key(2), 60, TTKExact, 0, G1F3}, Hole(0), {Key(2), 8, TTKLower, 0, B1C3}},
       {Key(2), Key(2)},
       // The plain probe takes the first match, the hash-move probe the strongest kind.
       {{Any, Key(2), 8, TTKLower, 0, B1C3}, {HashMove, Key(2), 60, TTKExact, 0, G1F3}}},
      {"overlapping windows share slots",
       false,
       {{Key(1, 1), 4, TTKExact}, {Key(2), 4, TTKExact}, {Key(3), 4, TTKExact}},
       {Key(2), Key(1, 1), Key(3)},
       {{Any, Key(1, 1), 4, TTKExact}, {Any, Key(1), Miss}}},
      {"the PV probe wants exact entries of this search",
       false,
       {{.Key = Key(1), .Depth = 8, .Kind = TTKExact, .Generation = 6}, {Key(2), 8, TTKLower}},
       {Key(1), Key(2)},
       {{PV, Key(1), Miss}, {Any, Key(1), 8, TTKExact}, {PV, Key(2), Miss}}},
      {"the PV probe passes over a lower bound ahead of an exact entry",
       false,
       {{Key(8, 4), 4, TTKUpper}, {Key(3, 4), 300, TTKExact, 17}, Hole(4), {Key(3, 4), 40, TTKLower, -3}},
       {0, 0, 0, 0, Key(3, 4), Key(3, 4)},
       {{PV, Key(3, 4), 44, TTKExact, 17}, {Any, Key(3, 4), 40, TTKLower, -3}}},
      {"the hash-move probe takes the strongest kind",
       false,
       {{Key(9), 4, TTKUpper},
        {Key(2), 4, TTKUpper},
        {Key(3), 4, TTKUpper},
        {Key(1), 4, TTKExact, 0, E2E4},
        Hole(0),
        {Key(1), 40, TTKLower, 0, D2D4}},
       {Key(1), Key(2), Key(3), Key(1)},
       {{Any, Key(1), 40, TTKLower, 0, D2D4}, {HashMove, Key(1), 4, TTKExact, 0, E2E4}}},
      {"an entry without a bound never gives a hash move",
       false,
       {{Key(5, 4), 4, TTKNone, 0, E2E4}},
       {0, 0, 0, 0, Key(5, 4)},
       {{Any, Key(5, 4), 4, TTKNone, 0, E2E4}, {HashMove, Key(5, 4), Miss}}},
      {"among equal kinds the earlier slot gives the hash move",
       false,
       {{Key(7, 5), 4, TTKUpper}, {Key(6, 5), 4, TTKUpper, 0, F2F4}, Hole(5), {Key(6, 5), 4, TTKUpper, 0, C2C4}},
       {0, 0, 0, 0, 0, Key(6, 5), Key(6, 5)},
       {{HashMove, Key(6, 5), 4, TTKUpper, 0, C2C4}}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    if (!Case.Continues) Wipe();
    for (const TStep& Step : Case.Steps) {
      if (Step.Hole >= 0) {
        Clear(Base + uint64_t(Step.Hole));
        continue;
      }
      S->Generation = Step.Generation;
      Store(Step.Key, Step.Depth, Step.Kind, Step.Score, Step.Move);
    }
    S->Generation = 7;
    for (int Slot = 0; Slot < 8; ++Slot) {
      if (Case.Slots[Slot] == 0) {
        EXPECT_EQ(S->TranspositionTable[Base + Slot].Data.load(), 0u) << "slot " << Slot;
      } else {
        EXPECT_TRUE(Holds(Slot, Case.Slots[Slot])) << "slot " << Slot;
      }
    }
    for (const TProbe& Check : Case.Probes) {
      static const char* const Names[] = {"probe", "hash-move probe", "PV probe"};
      SCOPED_TRACE(testing::Message() << Names[Check.Lookup] << " of key " << std::hex << std::showbase << Check.Key);
      const uint64_t Data = Check.Lookup == Any        ? Probe(Check.Key)
                            : Check.Lookup == HashMove ? HashMoveProbe(Check.Key)
                                                       : PVProbe(Check.Key);
      if (Check.Depth == Miss) {
        EXPECT_EQ(Data, 0u);
        continue;
      }
      ASSERT_NE(Data, 0u);
      EXPECT_EQ(TTDataDepth(Data), Check.Depth);
      EXPECT_EQ(TTDataKind(Data), Check.Kind);
      EXPECT_EQ(TTDataScore(Data), Check.Score);
      EXPECT_EQ(TTDataMove(Data), Check.Move);
    }
  }
}

TEST_F(TransTableTest, LastWindowUsesTheSpareEntries) {
  const uint64_t Top = S->TranspositionTableMask;
  for (uint64_t Tag = 1; Tag <= 4; ++Tag) Store(Tag * (Top + 1) + Top, int32_t(Tag), TTKExact);
  for (uint64_t Tag = 1; Tag <= 4; ++Tag) {
    const uint64_t Data = Probe(Tag * (Top + 1) + Top);
    ASSERT_NE(Data, 0u);
    EXPECT_EQ(TTDataDepth(Data), int32_t(Tag));
  }
  for (uint64_t i = 0; i < 4; ++i) EXPECT_NE(S->TranspositionTable[Top + i].Data.load(), 0u);
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
