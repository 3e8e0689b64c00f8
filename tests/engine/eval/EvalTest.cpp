#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/board/Position.h"
#include "engine/eval/Eval.h"
#include "engine/eval/Pawns.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/MoveGen.h"
#include "support/TestState.h"

namespace {

// The same position seen from the other side of the board: turned through 180 degrees, colours swapped.
// Black's piece-square tables are White's turned the same way, so this, and not a mere flip of the ranks,
// is the symmetry of the evaluation (the bishop tables favour one long diagonal).
std::string TurnFen(const std::string& Fen) {
  std::istringstream In(Fen);
  std::string Placement, Side = "w", Castling = "-", EnPassant = "-", Rest;
  In >> Placement >> Side >> Castling >> EnPassant;
  std::getline(In, Rest);
  std::string Squares;  // rank 8 to rank 1, one character per square
  for (char C : Placement) {
    if (C >= '1' && C <= '8') Squares.append(size_t(C - '0'), '.');
    else if (C != '/') Squares += std::isupper((unsigned char)C) ? char(std::tolower(C)) : char(std::toupper(C));
  }
  std::string Turned;
  for (int Rank = 0; Rank < 8; ++Rank) {
    int Empty = 0;
    for (int File = 0; File < 8; ++File) {
      const char C = Squares[63 - (Rank * 8 + File)];
      if (C == '.') {
        ++Empty;
        continue;
      }
      if (Empty) Turned += char('0' + Empty);
      Empty = 0;
      Turned += C;
    }
    if (Empty) Turned += char('0' + Empty);
    if (Rank < 7) Turned += '/';
  }
  if (EnPassant.size() == 2) EnPassant = {char('a' + 'h' - EnPassant[0]), char('1' + '8' - EnPassant[1])};
  // Castling rights mean nothing once the kings stand on the d-file, and the evaluation ignores them.
  return Turned + " " + (Side == "w" ? "b" : "w") + " - " + EnPassant + Rest;
}

// Enough FEN to rebuild the evaluation inputs: pieces and side to move.
std::string BoardFen(const TPosition* P) {
  std::string Fen;
  for (int Rank = 7; Rank >= 0; --Rank) {
    int Empty = 0;
    for (int File = 0; File < 8; ++File) {
      const int Piece = P->Board[Rank * 8 + File];
      if (Piece == PEmpty) {
        ++Empty;
        continue;
      }
      if (Empty) Fen += char('0' + Empty);
      Empty = 0;
      Fen += PieceChars[Piece];
    }
    if (Empty) Fen += char('0' + Empty);
    if (Rank) Fen += '/';
  }
  return Fen + (P->Side == CWhite ? " w - -" : " b - -");
}

TPosition PositionFrom(TState* S, const std::string& Fen) {
  TPosition P = S->Position;
  P.State = S;
  SetPosition(&P, Fen);
  return P;
}

// Forces the next pawn probe for P to miss.
void WipePawnEntry(const TPosition* P) {
  TPawnHashTableItem* Entry = PawnHashEntry(P);
  Entry->Data.store(0, std::memory_order_relaxed);
  Entry->Signature.store(P->PawnHash ^ 1, std::memory_order_relaxed);
}

std::pair<int32_t, int32_t> PawnScores(const TPosition* P) {
  int32_t Opening = 0, Ending = 0;
  EvalPawns(P, Opening, Ending);
  return {Opening, Ending};
}

std::pair<int32_t, int32_t> PawnScoresFromScratch(const TPosition* P) {
  int32_t WhiteOpening, WhiteEnding, BlackOpening, BlackEnding;
  EvalPawnsSide(P, SWhite, WhiteOpening, WhiteEnding);
  EvalPawnsSide(P, SBlack, BlackOpening, BlackEnding);
  return {WhiteOpening - BlackOpening, WhiteEnding - BlackEnding};
}

std::pair<int32_t, int32_t> SideScores(const TPosition* P, int Side) {
  int32_t Opening = 12345, Ending = -12345;  // must be overwritten, not added to
  EvalPawnsSide(P, Side, Opening, Ending);
  return {Opening, Ending};
}

const std::vector<std::string> VariedFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/pp3k2/2p1p3/3pP1p1/3P2P1/2P5/PP3K2/8 b - - 0 30",
    "4k3/pp1p1ppp/1p6/8/3P4/3P4/P4PPP/4K3 w - - 0 1",
    "8/1P3k2/8/3p4/8/6p1/2K5/8 w - - 0 1",
    "4k3/8/2p5/2p5/2p5/8/5PPP/4K3 b - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "2r3k1/1q3ppp/8/8/8/8/5PPP/1Q1R2K1 b - - 0 1",
    "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
    "k7/8/8/8/4K3/8/8/8 b - - 0 1",
    "4k3/8/8/8/3N4/8/8/4K3 w - - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/NQQ5/PPPPPPPP/RNBQKBNR b KQkq - 0 1",
    "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/8/8/8/k3K3 w - - 0 1",
    "P3k3/8/8/8/8/8/8/4K2p w - - 0 1",
    "1k6/1p1p1p1p/pPpPpPpP/P1P1P1P1/8/8/8/6K1 w - - 0 1",
};

// Positions reached by random legal moves from the varied ones (fixed seed, so failures repeat).
std::vector<std::string> PlayedFens(TState* S) {
  std::vector<std::string> Result;
  std::mt19937 Random(20240611);
  for (const std::string& Start : VariedFens) {
    TPosition P = PositionFrom(S, Start);
    for (int Ply = 0; Ply < 60; ++Ply) {
      TMoveBuffer Moves;
      const int Count = GenerateLegalMoves(&P, Moves);
      if (Count == 0) break;
      TUndoMove Undo;
      DoMakeMove(&P, Moves[Random() % unsigned(Count)], &Undo);
      Result.push_back(BoardFen(&P));
    }
  }
  return Result;
}

std::vector<std::string> AllFens(TState* S) {
  std::vector<std::string> Fens = VariedFens;
  for (std::string& Fen : PlayedFens(S)) Fens.push_back(std::move(Fen));
  return Fens;
}

TEST(EvalTest, InitialPositionIsTheTempoOnly) {
  TState* S = TestState();
  const TPosition* P = &S->Position;
  // Equal material, full phase and mirrored piece-square sums (checked in BoardSetup) leave the tempo.
  EXPECT_EQ(Eval(P), 4);
  EXPECT_EQ(EvalFast(P), 4);
}

TEST(EvalTest, AfterKingsPawnOpening) {
  TState* S = TestStateWith("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  // White: +3 on the pawn's square, -10 for the backward e4 pawn, -4 for Black's tempo.
  EXPECT_EQ(Eval(&S->Position), 11);
  EXPECT_EQ(EvalFast(&S->Position), 1);
}

TEST(EvalTest, EndingWeightFollowsMaterialAndStaysWithinRange) {
  TState* S = TestState();
  struct TCase {
    const char* Fen;
    int32_t Expected;
  };
  const TCase Cases[] = {
      // Three extra white pieces push the phase past 256: only the opening table may count (+6, not
      // the +13 of the ending).
      {"rnbqkbnr/pppppppp/8/8/8/NQQ5/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 2275 + 4 + 6},
      {"rnbqkbnr/pppppppp/8/8/8/NQQ5/PPPPPPPP/RNBQKBNR b KQkq - 0 1", -(2275 - 4 + 6)},
      // Bare kings: only the ending tables count (opening -150, ending +292).
      {"k7/8/8/8/4K3/8/8/8 w - - 0 1", 4 + 292},
      {"k7/8/8/8/4K3/8/8/8 b - - 0 1", -(-4 + 292)},
      // Knight d4 alone: 92 + (20 - 92) * 246 / 256 truncates to 92 - 69, not 92 - 70.
      {"4k3/8/8/8/3N4/8/8/4K3 w - - 0 1", 325 + 4 + 92 - 69},
      {"4k3/8/8/8/3N4/8/8/4K3 b - - 0 1", -(325 - 4 + 92 - 69)},
      {"4k3/8/8/3n4/8/8/8/4K3 w - - 0 1", -(325 - 4 + 92 - 69)},
      // Edited positions far beyond any real material balance stay out of the mate range.
      {"QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/8/8/8/k3K3 w - - 0 1", MaxEval},
      {"QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/8/8/8/k3K3 b - - 0 1", -MaxEval},
      {"K7/8/8/8/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq w - - 0 1", -MaxEval},
      {"K7/8/8/8/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqq b - - 0 1", MaxEval},
  };
  for (const TCase& Case : Cases) {
    const TPosition P = PositionFrom(S, Case.Fen);
    EXPECT_EQ(EvalFast(&P), Case.Expected) << Case.Fen;
    EXPECT_EQ(Eval(&P), Case.Expected) << Case.Fen;  // no pawns, no pawn term
  }
}

TEST(PawnEvalTest, StructureScoresWhiteMinusBlack) {
  TState* S = TestState();
  struct TCase {
    const char* Fen;
    int32_t Opening, Ending;
  };
  const TCase Cases[] = {
      {"startpos", 0, 0},
      // Backward e4 pawn; e7 still blocks the file, so no half-open penalty.
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", -10, -12},
      // Passed +50/+63, isolated -12/-22, half-open file -10.
      {"4k3/8/8/4P3/8/8/8/4K3 w - - 0 1", 28, 41},
      {"4k3/8/8/8/4p3/8/8/4K3 w - - 0 1", -28, -41},
      // e2 doubled, isolated, half-open; e3 passed on rank 3, isolated, half-open.
      {"4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", -54, -42},
      {"4k3/4p3/4p3/8/8/8/8/4K3 w - - 0 1", 54, 42},
      // Tripled: the two rear pawns pay for doubling, only the front one is passed.
      {"4k3/8/8/8/4P3/4P3/4P3/4K3 w - - 0 1", -42 - 42 + 8, -32 - 32 + 16},
      // Two pawns on adjacent files that bar each other: neither is passed, both isolated and half-open.
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", 0, 0},
      // a-file: isolated costs the edge values.
      {"4k3/8/8/8/8/8/P7/4K3 w - - 0 1", 10 - 8 - 10, 12 - 19},
      // e4 is backward (its neighbour d3 is behind it) yet passed; d3 is supported from e4.
      {"4k3/8/8/8/4P3/3P4/8/4K3 w - - 0 1", 30 - 10 - 10 + 10, 38 - 12 + 12},
      // Pawns on the back ranks (set-up positions) are never weak; rank 1 and 8 carry no passed bonus.
      {"4P2k/8/8/8/8/8/8/K6p w - - 0 1", 0, 0},
  };
  for (const TCase& Case : Cases) {
    const TPosition P = PositionFrom(S, Case.Fen);
    WipePawnEntry(&P);
    EXPECT_EQ(PawnScores(&P), std::make_pair(Case.Opening, Case.Ending)) << Case.Fen;
    EXPECT_EQ(PawnScores(&P), std::make_pair(Case.Opening, Case.Ending)) << Case.Fen << " (from the table)";
  }
}

TEST(PawnEvalTest, EachSideScoresFromItsOwnPointOfView) {
  TState* S = TestState();
  const TPosition Both = PositionFrom(S, "4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(SideScores(&Both, SWhite), std::make_pair(-22, -22));
  EXPECT_EQ(SideScores(&Both, SBlack), std::make_pair(-22, -22));

  const TPosition Lone = PositionFrom(S, "4k3/8/8/8/4p3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(SideScores(&Lone, SWhite), std::make_pair(0, 0));
  EXPECT_EQ(SideScores(&Lone, SBlack), std::make_pair(28, 41));

  const TPosition Start = PositionFrom(S, "startpos");
  EXPECT_EQ(SideScores(&Start, SWhite), std::make_pair(0, 0));
  EXPECT_EQ(SideScores(&Start, SBlack), std::make_pair(0, 0));
}

TEST(PawnEvalTest, AddsToTheScoresItIsGiven) {
  TState* S = TestState();
  const TPosition P = PositionFrom(S, "4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
  for (int Probe = 0; Probe < 2; ++Probe) {  // a miss, then a hit
    int32_t Opening = 1000, Ending = -1000;
    EvalPawns(&P, Opening, Ending);
    EXPECT_EQ(Opening, 1028);
    EXPECT_EQ(Ending, -959);
  }
}

TEST(EvalSymmetryTest, TurnedPositionsScoreTheSameForTheSideToMove) {
  TState* S = TestState();
  for (const std::string& Fen : AllFens(S)) {
    const std::string Turned = TurnFen(Fen);
    const TPosition P = PositionFrom(S, Fen);
    const TPosition M = PositionFrom(S, Turned);
    EXPECT_EQ(Eval(&P), Eval(&M)) << Fen << " vs " << Turned;
    EXPECT_EQ(EvalFast(&P), EvalFast(&M)) << Fen << " vs " << Turned;
    EXPECT_EQ(PawnScores(&P), std::make_pair(-PawnScores(&M).first, -PawnScores(&M).second)) << Fen;
  }
}

TEST(EvalTest, PlayedPositionsScoreLikeFreshlySetUpOnes) {
  TState* S = TestState();
  std::mt19937 Random(7);
  for (const std::string& Start : VariedFens) {
    TPosition P = PositionFrom(S, Start);
    for (int Ply = 0; Ply < 40; ++Ply) {
      TMoves Moves;
      GenerateQuietMoves(&P, GenerateCaptureMoves(&P, Moves));
      int Count = 0;
      while (Moves[Count]) ++Count;
      if (!Count) break;
      TUndoMove Undo;
      DoMakeMove(&P, Moves[Random() % Count], &Undo);
      if (IsIllegal(&P)) {
        DoUndoMove(&P, &Undo);
        continue;
      }
      const TPosition Fresh = PositionFrom(S, BoardFen(&P));
      ASSERT_EQ(EvalFast(&P), EvalFast(&Fresh)) << BoardFen(&P);
      ASSERT_EQ(Eval(&P), Eval(&Fresh)) << BoardFen(&P);
    }
  }
}

TEST(PawnHashTest, HitReturnsWhatAMissComputes) {
  TState* S = TestState();
  for (const std::string& Fen : AllFens(S)) {
    const TPosition P = PositionFrom(S, Fen);
    const auto Expected = PawnScoresFromScratch(&P);
    WipePawnEntry(&P);
    const int32_t Missed = Eval(&P);
    EXPECT_EQ(PawnScores(&P), Expected) << Fen;
    EXPECT_EQ(Eval(&P), Missed) << Fen;
  }
}

TEST(PawnHashTest, MissStoresTheScoresAndLaterProbesTrustThem) {
  TState* S = TestState();
  const TPosition P = PositionFrom(S, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  WipePawnEntry(&P);
  PawnScores(&P);
  const TPawnHashTableItem* Entry = PawnHashEntry(&P);
  const uint64_t Data = Entry->Data.load(std::memory_order_relaxed);
  EXPECT_EQ(Entry->Signature.load(std::memory_order_relaxed) ^ Data, P.PawnHash);
  EXPECT_EQ(Data, (uint64_t(uint16_t(-10)) << 16) | uint16_t(-12));

  // A valid entry is taken as it stands, without looking at the pawns again.
  const uint64_t Planted = (uint64_t(uint16_t(-300)) << 16) | uint16_t(200);
  PawnHashEntry(&P)->Data.store(Planted, std::memory_order_relaxed);
  PawnHashEntry(&P)->Signature.store(P.PawnHash ^ Planted, std::memory_order_relaxed);
  EXPECT_EQ(PawnScores(&P), std::make_pair(-300, 200));
  WipePawnEntry(&P);
}

TEST(PawnHashTest, EntryOfAnotherKeyOrTornEntryIsRecomputed) {
  TState* S = TestState();
  const std::vector<std::string> Fens = AllFens(S);
  int Checked = 0;
  for (size_t I = 0; I + 1 < Fens.size(); ++I) {
    const TPosition P = PositionFrom(S, Fens[I]);
    const TPosition Other = PositionFrom(S, Fens[I + 1]);
    const auto Expected = PawnScoresFromScratch(&P);
    TPawnHashTableItem* Entry = PawnHashEntry(&P);
    TPawnHashTableItem* OtherEntry = PawnHashEntry(&Other);
    if (Entry == OtherEntry || Expected == PawnScoresFromScratch(&Other)) continue;
    ++Checked;
    WipePawnEntry(&P);
    WipePawnEntry(&Other);
    PawnScores(&P);
    PawnScores(&Other);
    const uint64_t Data = Entry->Data.load(std::memory_order_relaxed);
    const uint64_t Signature = Entry->Signature.load(std::memory_order_relaxed);
    const uint64_t OtherData = OtherEntry->Data.load(std::memory_order_relaxed);
    const uint64_t OtherSignature = OtherEntry->Signature.load(std::memory_order_relaxed);

    // A whole entry written for another structure at the same index.
    Entry->Data.store(OtherData, std::memory_order_relaxed);
    Entry->Signature.store(OtherSignature, std::memory_order_relaxed);
    EXPECT_EQ(PawnScores(&P), Expected) << Fens[I];
    EXPECT_EQ(PawnScores(&P), Expected) << Fens[I] << " (repaired entry)";

    // Two writers interleaved: the other structure's scores under this key's signature.
    Entry->Data.store(OtherData, std::memory_order_relaxed);
    Entry->Signature.store(Signature, std::memory_order_relaxed);
    EXPECT_EQ(PawnScores(&P), Expected) << Fens[I];
    EXPECT_EQ(Entry->Data.load(std::memory_order_relaxed), Data) << Fens[I];
  }
  EXPECT_GT(Checked, 50);
}

TEST(PawnHashTest, ThreadsSharingTheTableAgreeWithASingleThread) {
  TState* S = TestState();
  std::vector<TPosition> Positions;
  std::vector<int32_t> Expected;
  for (const std::string& Fen : AllFens(S)) {
    Positions.push_back(PositionFrom(S, Fen));
    WipePawnEntry(&Positions.back());
    Expected.push_back(Eval(&Positions.back()));
  }
  for (const TPosition& P : Positions) WipePawnEntry(&P);

  constexpr int ThreadCount = 4;
  std::vector<int> Mismatches(ThreadCount, 0);
  std::vector<std::thread> Threads;
  for (int T = 0; T < ThreadCount; ++T)
    Threads.emplace_back([&, T] {
      for (int Round = 0; Round < 50; ++Round)
        for (size_t I = 0; I < Positions.size(); ++I) {
          const size_t J = (I * (T + 1) + Round) % Positions.size();
          if (Eval(&Positions[J]) != Expected[J]) ++Mismatches[T];
        }
    });
  for (std::thread& Thread : Threads) Thread.join();
  for (int T = 0; T < ThreadCount; ++T) EXPECT_EQ(Mismatches[T], 0) << "thread " << T;
}

}  // namespace
