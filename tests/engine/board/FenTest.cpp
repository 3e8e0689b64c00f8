#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/board/Hash.h"
#include "engine/board/Position.h"
#include "engine/board/PositionCheck.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

TPosition* Fen(std::string_view Text) { return &TestStateWith(Text)->Position; }

std::string Placement(const TPosition* P) {
  std::string Text;
  for (int Rank = 7; Rank >= 0; Rank--) {
    for (int File = 0; File < 8; File++)
      Text += P->Board[Rank * 8 + File] ? PieceChars[P->Board[Rank * 8 + File]] : '.';
    if (Rank) Text += '/';
  }
  return Text;
}

TEST(Fen, StartposShorthandAndFullText) {
  TState* S = TestState();
  const TPosition Initial = S->Position;
  for (const char* Text :
       {"startpos", "  startpos  ", "startpos ", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"}) {
    TPosition* P = Fen(Text);
    EXPECT_TRUE(SamePosition(*P, Initial)) << "'" << Text << "'";
  }
  // Anything more than surrounding blanks is not the shorthand.
  TPosition* P = Fen("startposx");
  EXPECT_NE(P->Bitboards[BBPOccupied], Initial.Bitboards[BBPOccupied]) << Placement(P);
}

TEST(Fen, FieldsOfOrdinaryPositions) {
  TPosition* P = Fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_EQ(P->Board[SQ_E8], PBlackKing);
  EXPECT_EQ(P->Board[SQ_E1], PWhiteKing);
  EXPECT_EQ(P->Board[SQ_H1], PWhiteRook);
  EXPECT_EQ(std::popcount(P->Bitboards[BBPOccupied]), 3);
  EXPECT_EQ(P->KingPosition[SWhite], SQ_E1);
  EXPECT_EQ(P->KingPosition[SBlack], SQ_E8);
  EXPECT_EQ(P->CastleFlags, 1);
  EXPECT_EQ(P->Side, CWhite);
  EXPECT_EQ(P->StartPly, 0);
  EXPECT_EQ(P->ReversibleMoves, 0);
  EXPECT_EQ(P->EnPassant, -1);
  EXPECT_EQ(P->MaterialScores[SWhite], 515);
  EXPECT_EQ(P->Phase, 20);
  EXPECT_EQ(PositionFaults(P, true), "");

  // The en-passant square is kept only where a pawn of the side to move can take.
  EXPECT_EQ(Fen("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2")->EnPassant, -1);
  EXPECT_EQ(Fen("rnbqkbnr/pppp1ppp/8/4pP2/8/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2")->EnPassant, SQ_E6);
  EXPECT_EQ(Fen("rnbqkbnr/pppp1ppp/8/3Pp3/8/8/PPP2PPP/RNBQKBNR w KQkq e6 0 2")->EnPassant, SQ_E6);
  EXPECT_EQ(Fen("rnbqkbnr/pppp1ppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 2")->EnPassant, SQ_E3);

  // Any side letter but w means Black.
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 b - - 0 1")->Side, CBlack);
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 x - - 0 1")->Side, CBlack);
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 W - - 0 1")->Side, CBlack);
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1")->Side, CWhite);

  P = Fen("8/8/8/8/8/8/8/8 b - - 12 40");
  EXPECT_EQ(P->ReversibleMoves, 12);
  EXPECT_EQ(P->StartPly, 79);
  EXPECT_EQ(P->Side, CBlack);
  EXPECT_EQ(Fen("8/8/8/8/8/8/8/8 w - - 3 40")->StartPly, 78);
  EXPECT_EQ(Fen("8/8/8/8/8/8/8/8 w - - 0 200")->StartPly, 255);
  EXPECT_EQ(Fen("8/8/8/8/8/8/8/8 b - - 0 200")->StartPly, 255);
  EXPECT_EQ(Fen("8/8/8/8/8/8/8/8 b - - 0 0")->StartPly, 1);

  // Only the piece placement: every other field keeps its default.
  P = Fen("4k3/8/8/8/8/8/8/4K3");
  EXPECT_EQ(P->Side, CWhite);
  EXPECT_EQ(P->CastleFlags, 0);
  EXPECT_EQ(P->EnPassant, -1);
  EXPECT_EQ(P->ReversibleMoves, 0);
  EXPECT_EQ(P->StartPly, 0);
  // Any control character separates fields as a blank does.
  P = Fen("4k3/8/8/8/8/8/8/4K2R\tb\tK\t-\t5\t9");
  EXPECT_EQ(P->Side, CBlack);
  EXPECT_EQ(P->CastleFlags, 1);
  EXPECT_EQ(P->ReversibleMoves, 5);
  EXPECT_EQ(P->StartPly, 17);
  EXPECT_EQ(Fen("r3k2r/8/8/8/8/8/8/R3K2R b Qk -")->CastleFlags, 2 | 4);
  EXPECT_EQ(Fen("r3k2r/8/8/8/8/8/8/R3K2R b qkQK -")->CastleFlags, 15);
}

TEST(Fen, EpdOperations) {
  TPosition* P = Fen("4k3/8/8/8/8/8/8/4K3 w - - hmvc 7; fmvn 3;");
  EXPECT_EQ(P->ReversibleMoves, 7);
  EXPECT_EQ(P->StartPly, 4);
  P = Fen("4k3/8/8/8/8/8/8/4K3 w - - hmvc \"7\"; fmvn \"3\";");
  EXPECT_EQ(P->ReversibleMoves, 7);
  EXPECT_EQ(P->StartPly, 4);
  // Names in any case, unknown operations skipped, a missing last semicolon.
  P = Fen("4k3/8/8/8/8/8/8/4K3 b - - id \"a; b\"; HMVC 9; bm e1e2; fmvn 10");
  EXPECT_EQ(P->ReversibleMoves, 9);
  EXPECT_EQ(P->StartPly, 19);
  P = Fen("4k3/8/8/8/8/8/8/4K3 w - - hmvc x; fmvn 500;");
  EXPECT_EQ(P->ReversibleMoves, 0);
  EXPECT_EQ(P->StartPly, 255);
}

TEST(Fen, LenientPiecePlacement) {
  // An unknown letter leaves its square empty and still takes one square.
  TPosition* P = Fen("4k3/8/8/8/8/8/8/x3K2R w K - 0 1");
  EXPECT_EQ(Placement(P), "....k.../......../......../......../......../......../......../....K..R");
  EXPECT_EQ(PositionFaults(P, true), "");
  // Squares running past the h-file are cut off at the end of their own rank.
  P = Fen("4k4/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Placement(P), "....k.../......../......../......../......../......../......../....K...");
  EXPECT_EQ(P->Side, CWhite);
  EXPECT_EQ(PositionFaults(P, true), "");
  P = Fen("rnbqkbnr9/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(Placement(P).substr(0, 8), "rnbqkbnr");
  EXPECT_EQ(PositionFaults(P, true), "");
  P = Fen("pppppppppppp/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(Placement(P).substr(0, 8), "pppppppp");
  EXPECT_EQ(PositionFaults(P, true), "");
  // Eight full runs in one rank: either the rest of the rank is dropped or the runs fill the board.
  P = Fen("88888888/8/8/8/8/8/8/7K w - - 0 1");
  const TBitboard Occupied = P->Bitboards[BBPOccupied];
  EXPECT_TRUE(Occupied == 0 || (Occupied == TBitboard(1) << SQ_H1 && P->Board[SQ_H1] == PWhiteKing)) << Placement(P);
  EXPECT_EQ(PositionFaults(P, true), "");
  // A short rank takes the next characters as its remaining squares.
  P = Fen("4k/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(P->Board[SQ_E8], PBlackKing);
  EXPECT_EQ(PositionFaults(P, true), "");
}

TEST(Fen, KeyCoversThePiecesOnly) {
  for (const char* Text : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                           "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b - - 0 1",
                           "rnbqkbnr/pppp1ppp/8/4pP2/8/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"}) {
    const TPosition* P = Fen(Text);
    uint64_t Pieces = 0, Pawns = 0;
    for (int S = 0; S < 64; S++) {
      Pieces ^= HashPieces[P->Board[S]][S];
      if ((P->Board[S] & 7) == PPawn) Pawns ^= HashPieces[P->Board[S]][S];
    }
    EXPECT_EQ(P->Hash, Pieces) << Text;
    EXPECT_EQ(P->PawnHash, Pawns) << Text;
    EXPECT_EQ(PositionFaults(P, true), "") << Text;
  }
  // So the side to move and the rights make no difference to it.
  EXPECT_EQ(Fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1")->Hash, Fen("r3k2r/8/8/8/8/8/8/R3K2R b - - 0 1")->Hash);
}

// A huge counter must not wrap round into a small or negative clock.
TEST(Fen, HugeCountersDoNotWrap) {
  for (const char* Text :
       {"4k3/8/8/8/8/8/8/4K3 w - - 2999999999 1", "4k3/8/8/8/8/8/8/4K3 w - - 4294967296 1",
        "4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999 1", "4k3/8/8/8/8/8/8/4K3 w - - hmvc 4294967300;"}) {
    TPosition* P = Fen(Text);
    EXPECT_GE(P->ReversibleMoves, 100) << Text;
    EXPECT_TRUE(IsDraw(P)) << Text;
  }
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 w - - 0 99999999999999999999")->StartPly, 255);
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/4K3 w - - fmvn 99999999999999999999;")->StartPly, 255);
}

// En passant is only possible on the third rank (Black to move) or the sixth (White to move), behind an
// enemy pawn that may have just made its double step. Any other square must be dropped: the capture
// would take a pawn that is not there.
// A right is kept only with its king and rook at home: the generator trusts the rights, and castling
// with a missing rook would put one on the board.
TEST(Fen, CastlingRightsNeedKingAndRookAtHome) {
  const struct {
    const char* Text;
    int Flags;
  } Cases[] = {
      {"4k3/8/8/8/8/8/8/4K3 w K - 0 1", 0},
      {"r3k2r/8/8/8/8/8/8/R3K3 w KQkq - 0 1", 2 | 4 | 8},    // no rook on h1
      {"r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 1", 4 | 8},       // white king off e1
      {"1r2k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", 1 | 2 | 4},  // rook on b8, not a8
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 15},
      {"r3k2R/8/8/8/8/8/8/R3K2r w KQkq - 0 1", 2 | 8},  // rooks of the wrong colour
      {"r3K2r/8/8/8/8/8/8/R3k2R w KQkq - 0 1", 0},      // kings swapped
  };
  for (const auto& C : Cases) EXPECT_EQ(Fen(C.Text)->CastleFlags, C.Flags) << C.Text;
}

TEST(Fen, EnPassantSquareWithoutDoubleStepIsDropped) {
  const char* Cases[] = {
      "4k3/1P6/8/8/8/8/8/4K3 w - a8 0 1",   // white pawn b7 "attacks" a8
      "4k3/8/8/8/8/8/6p1/4K3 b - h1 0 1",   // black pawn g2 "attacks" h1
      "4k3/8/8/8/8/8/8/1P2K3 w - a2 0 1",   // white pawn on b1 "attacks" a2
      "4k3/8/8/8/8/8/3P4/4K3 w - e3 0 1",   // third rank with White to move
      "4k3/3p4/8/8/8/8/8/4K3 b - e6 0 1",   // sixth rank with Black to move
      "4k3/8/8/5P2/8/8/8/4K3 w - e6 0 1",   // no black pawn on e5
      "4k3/8/8/8/5p2/8/8/4K3 b - e3 0 1",   // no white pawn on e4
      "4k3/8/8/4bP2/8/8/8/4K3 w - e6 0 1",  // a bishop on e5, not a pawn
  };
  for (const char* Text : Cases) {
    TPosition* P = Fen(Text);
    EXPECT_EQ(P->EnPassant, -1) << Text;
    // Whatever square is kept, no generated move may corrupt the position.
    for (TMove M : GeneratedMoves(P)) {
      const TPosition Before = *P;
      TUndoMove Undo;
      DoMakeMove(P, M, &Undo);
      const std::string Faults = PositionFaults(P);
      DoUndoMove(P, &Undo);
      const auto Same = SamePosition(*P, Before);
      EXPECT_EQ(Faults, "") << Text << " after " << MoveToString(M);
      EXPECT_TRUE(Same) << Text << " after undoing " << MoveToString(M);
      if (!Faults.empty() || !Same) break;
    }
  }
}

// SetPosition must survive any text: afterwards the position is self-consistent and every field is in
// its range.
class FenBadInput : public ::testing::Test {
 protected:
  void Check(const std::string& Text) {
    TPosition* P = &State.Position;
    SetPosition(P, Text);
    const bool Ok = P->Side == CWhite || P->Side == CBlack;
    const bool EpOk = P->EnPassant == -1 || (P->EnPassant >= SQ_A3 && P->EnPassant <= SQ_H6);
    const bool PlyOk = P->StartPly >= 0 && P->StartPly <= 255;
    const std::string Faults = PositionFaults(P, true);
    bool BoardOk = true;
    for (int S = 0; S < 64; S++) {
      const int C = P->Board[S];
      if (C != 0 && ((C & 7) < PPawn || (C & 7) > PKing || C > 14)) BoardOk = false;
    }
    if (!(Ok && EpOk && PlyOk && Faults.empty() && BoardOk) && ++Failures <= 10)
      ADD_FAILURE() << "text \"" << Printable(Text) << "\": Side " << P->Side << ", EnPassant " << P->EnPassant
                    << ", StartPly " << P->StartPly << (BoardOk ? "" : ", bad piece code") << ", faults: " << Faults;
    Count++;
  }
  static std::string Printable(const std::string& Text) {
    std::string Out;
    for (unsigned char C : Text) {
      if (C >= 32 && C < 127) Out += char(C);
      else {
        char Buffer[8];
        std::snprintf(Buffer, sizeof Buffer, "\\x%02x", C);
        Out += Buffer;
      }
    }
    return Out;
  }
  void SetUp() override { TestState(); }
  void TearDown() override { TestState(); }
  int Failures = 0;
  int Count = 0;
};

TEST_F(FenBadInput, RandomAndTruncatedTextNeverBreaksThePosition) {
  const int Rounds = SanitizedRun() ? 4000 : 20000;
  std::mt19937 R(99);
  auto Pick = [&](const std::vector<std::string>& From) { return From[R() % From.size()]; };
  const std::vector<std::string> RealFens = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "rnbqkbnr/pppp1ppp/8/4pP2/8/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - hmvc 12; fmvn 40;",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
  };
  // Every prefix of real texts: each field cut at every point.
  for (const std::string& F : RealFens)
    for (size_t N = 0; N <= F.size(); N++) Check(F.substr(0, N));

  const std::vector<std::string> Tokens = {
      "/",          " ",       "  ",      "\t",         "8",
      "9",          "0",       "1",       "4",          "7",
      "p",          "P",       "k",       "K",          "q",
      "Q",          "r",       "n",       "b",          "B",
      "x",          "-",       "w",       "b",          "KQkq",
      "e3",         "e6",      "a8",      "h1",         "z9",
      "i5",         "a0",      ";",       "\"",         "hmvc",
      "fmvn",       "hmvc 3;", "fmvn 7;", "id \"x\";",  "99999999999999999999",
      "4294967296", "-5",      "+7",      "2147483647", std::string(1, '\0'),
      "\xff",       "\x80",    "\x01",    "startpos",   "pppppppppppppppp",
      "88888888",   "KKKK",
  };
  for (int I = 0; I < Rounds; I++) {
    std::string Text;
    switch (I % 5) {
      case 0: {  // random bytes
        const int Length = int(R() % 80);
        for (int J = 0; J < Length; J++) Text += char(R() % 256);
        break;
      }
      case 1: {  // FEN-like tokens
        const int Length = int(R() % 40);
        for (int J = 0; J < Length; J++) Text += Pick(Tokens);
        break;
      }
      case 2: {  // a real text with a few characters replaced, inserted or deleted
        Text = Pick(RealFens);
        const int Edits = 1 + int(R() % 4);
        for (int J = 0; J < Edits && !Text.empty(); J++) {
          const size_t At = R() % Text.size();
          switch (R() % 3) {
            case 0: Text[At] = char(R() % 256); break;
            case 1: Text = Text.substr(0, At) + Pick(Tokens) + Text.substr(At); break;
            default: Text = Text.substr(0, At) + Text.substr(At + 1); break;
          }
        }
        break;
      }
      case 3: {  // random placement, then fields from the token list, en passant on any square
        for (int Rank = 0; Rank < 8; Rank++) {
          if (Rank) Text += '/';
          const int Cells = int(R() % 10);
          for (int J = 0; J < Cells; J++) Text += "PNBRQKpnbrqk12345678"[R() % 20];
        }
        Text += R() % 2 ? " w " : " b ";
        Text += R() % 2 ? "KQkq " : "- ";
        Text += {char('a' + R() % 8), char('1' + R() % 8)};
        // The counters drawn last first, as the texts have always been made.
        const std::string FullMoves = std::to_string(R() % 400), Clock = std::to_string(R() % 200);
        for (const std::string* Field : {&Clock, &FullMoves}) Text += ' ' + *Field;
        break;
      }
      default: {  // overlong fields
        Text = std::string(R() % 300, "pP8/"[R() % 4]) + " " + std::string(R() % 100, 'w') + " " +
               std::string(R() % 100, 'K') + " " + std::string(R() % 60, '9') + " " + std::string(R() % 60, '9');
        break;
      }
    }
    Check(Text);
  }
  EXPECT_EQ(Failures, 0) << "of " << Count << " texts";
}

}  // namespace
