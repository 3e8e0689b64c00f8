#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "engine/board/Position.h"
#include "engine/moves/GameEnd.h"
#include "engine/moves/MakeMove.h"
#include "engine/moves/Notation.h"
#include "support/PositionChecks.h"
#include "support/TestState.h"

namespace {

TEST(MovesNotation, MoveToString) {
  EXPECT_EQ(MoveToString(Word(SQ_E2, SQ_E4, MTEnPassantSet)), "e2e4");
  EXPECT_EQ(MoveToString(0x1184), "e1g1");
  EXPECT_EQ(MoveToString(0x1EBC), "e8c8");
  EXPECT_EQ(MoveToString(Word(SQ_A7, SQ_A8, MTPromoteKnight)), "a7a8n");
  EXPECT_EQ(MoveToString(Word(SQ_B2, SQ_A1, MTPromoteBishop, true)), "b2a1b");
  EXPECT_EQ(MoveToString(Word(SQ_G7, SQ_H8, MTPromoteRook, true)), "g7h8r");
  EXPECT_EQ(MoveToString(Word(SQ_H7, SQ_H8, MTPromoteQueen)), "h7h8q");
  EXPECT_EQ(MoveToString(Word(SQ_D5, SQ_E6, MTEnPassantCapture, true)), "d5e6");
  EXPECT_EQ(MoveToString(Word(SQ_H8, SQ_A1)), "h8a1");
  EXPECT_EQ(MoveToString(0), "a1a1");
  char Buffer[8];
  EXPECT_EQ(MoveToChars(Word(SQ_A7, SQ_A8, MTPromoteKnight), Buffer), 5);
  EXPECT_STREQ(Buffer, "a7a8n");
}

TEST(MovesNotation, ParseMove) {
  TState* S = TestState();
  const TMove DoubleStep = Word(SQ_E2, SQ_E4, MTEnPassantSet);
  EXPECT_EQ(ParseMove(S, "e2e4"), DoubleStep);
  EXPECT_EQ(ParseMove(S, "E2E4"), DoubleStep);
  EXPECT_EQ(ParseMove(S, "e2E4"), DoubleStep);
  EXPECT_EQ(ParseMove(S, "e2e4q"), DoubleStep);  // a fifth letter means nothing on a non-promotion
  EXPECT_EQ(ParseMove(S, "g1f3"), Word(SQ_G1, SQ_F3));
  for (const char* Bad :
       {"e2e4x", "e2e", "e2e4q5", "i2i4", "", "e2e5", "e7e5", "e2 e4", " e2e4", "e9e4", "e0e4", "a1a1", "e2e4 "})
    EXPECT_EQ(ParseMove(S, Bad), 0u) << "'" << Bad << "'";

  // Castling is the king's two-square move, and only while it is legal.
  S = TestStateWith("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(ParseMove(S, "e1g1"), 0x1184u);
  EXPECT_EQ(ParseMove(S, "e1c1"), 0x1084u);
  S = TestStateWith("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  EXPECT_EQ(ParseMove(S, "e8g8"), 0x1FBCu);
  EXPECT_EQ(ParseMove(S, "e8c8"), 0x1EBCu);
  S = TestStateWith("r3kr2/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(ParseMove(S, "e1g1"), 0u);
  S = TestStateWith("r3k1r1/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(ParseMove(S, "e1g1"), 0u);  // the king would land in check
  S = TestStateWith("r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1");
  EXPECT_EQ(ParseMove(S, "e1g1"), 0u);

  // Promotions: no letter (and the meaningless k and p) give the queen.
  S = TestStateWith("k7/4P3/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(ParseMove(S, "e7e8"), Word(SQ_E7, SQ_E8, MTPromoteQueen));
  EXPECT_EQ(ParseMove(S, "e7e8q"), Word(SQ_E7, SQ_E8, MTPromoteQueen));
  EXPECT_EQ(ParseMove(S, "e7e8Q"), Word(SQ_E7, SQ_E8, MTPromoteQueen));
  EXPECT_EQ(ParseMove(S, "e7e8k"), Word(SQ_E7, SQ_E8, MTPromoteQueen));
  EXPECT_EQ(ParseMove(S, "e7e8p"), Word(SQ_E7, SQ_E8, MTPromoteQueen));
  EXPECT_EQ(ParseMove(S, "e7e8r"), Word(SQ_E7, SQ_E8, MTPromoteRook));
  EXPECT_EQ(ParseMove(S, "e7e8b"), Word(SQ_E7, SQ_E8, MTPromoteBishop));
  EXPECT_EQ(ParseMove(S, "e7e8n"), Word(SQ_E7, SQ_E8, MTPromoteKnight));
  EXPECT_EQ(ParseMove(S, "e7e8x"), 0u);
  S = TestStateWith("k2r4/4P3/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(ParseMove(S, "e7d8n"), Word(SQ_E7, SQ_D8, MTPromoteKnight, true));
  EXPECT_EQ(ParseMove(S, "e7d8"), Word(SQ_E7, SQ_D8, MTPromoteQueen, true));

  // A move the position allows only pseudo-legally is not a move.
  S = TestStateWith("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
  const TPosition Before = S->Position;
  EXPECT_EQ(ParseMove(S, "e2c3"), 0u);
  EXPECT_EQ(ParseMove(S, "e2e3"), 0u);
  EXPECT_EQ(ParseMove(S, "e1d1"), Word(SQ_E1, SQ_D1));
  EXPECT_TRUE(SamePosition(S->Position, Before));
  // En passant comes back with its type.
  S = TestStateWith("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(ParseMove(S, "e5d6"), Word(SQ_E5, SQ_D6, MTEnPassantCapture, true));
}

// Every legal move of many positions reads back from its own text, and only legal moves are read.
TEST(MovesNotation, RoundTripAndRandomText) {
  const char* Fens[] = {
      "startpos",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 b kq - 0 1",
      "r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R w KQkq - 0 1",
      "r3k2r/1P2p1P1/8/3P4/4p3/8/1p1P2p1/R3K2R b KQkq - 0 1",
      "rnbqkbnr/pppp1ppp/8/4pP2/8/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
  };
  for (const char* Fen : Fens) {
    TState* S = TestStateWith(Fen);
    for (TMove M : GeneratedMoves(&S->Position)) {
      const bool Legal = IsLegalWithEnhancedCheck(&S->Position, M);
      const TMove Parsed = ParseMove(S, MoveToString(M));
      EXPECT_EQ(Parsed, Legal ? M : 0u) << Fen << " " << MoveToString(M);
    }
  }

  const std::string Alphabet = "abcdefghABCDEFGH12345678abcdefgh12345678nbrqkpNBRQKPxi09 -\t";
  std::mt19937 R(5);
  const int Rounds = SanitizedRun() ? 4000 : 20000;
  int Bad = 0, Parsed = 0;
  for (int I = 0; I < Rounds; I++) {
    TState* S = TestStateWith(Fens[I % 7]);
    std::string Text;
    if (I % 2) {
      const int Length = int(R() % 9);
      for (int J = 0; J < Length; J++) {
        switch (R() % 16) {
          case 0: Text += char(R() % 256); break;
          case 1: Text += '\0'; break;
          default: Text += Alphabet[R() % Alphabet.size()]; break;
        }
      }
    } else {
      // A generated move's text, bent: case, an extra letter, a changed or a lost character.
      const std::vector<TMove> Moves = GeneratedMoves(&S->Position);
      Text = MoveToString(Moves[R() % Moves.size()]);
      for (char& C : Text)
        if (R() % 3 == 0) C = char(std::toupper((unsigned char)C));
      if (R() % 2) Text += Alphabet[R() % Alphabet.size()];
      if (R() % 4 == 0) Text[R() % Text.size()] = Alphabet[R() % Alphabet.size()];
      if (R() % 8 == 0) Text.erase(R() % Text.size(), 1);
    }
    const TMove M = ParseMove(S, Text);
    if (M == 0) continue;
    Parsed++;
    std::string Lower;
    for (char C : Text) Lower += char(std::tolower((unsigned char)C));
    const std::string Base = Lower.substr(0, 4), Written = MoveToString(M);
    const bool Promotion = MoveIsPromotion(M);
    const char Fifth = Lower.size() == 5 ? Lower[4] : 0;
    const bool Matches = Written == Lower || (Fifth && !Promotion && Written == Base) ||
                         (Promotion && (Fifth == 0 || Fifth == 'k' || Fifth == 'p') && Written == Base + "q");
    if ((!Matches || !IsLegalWithEnhancedCheck(&S->Position, M)) && ++Bad <= 5)
      ADD_FAILURE() << "'" << Text << "' in " << Fens[I % 7] << " gave " << Written;
  }
  EXPECT_EQ(Bad, 0);
  EXPECT_GT(Parsed, Rounds / 10);
}

}  // namespace
