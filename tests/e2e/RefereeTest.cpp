// The soak's referee: it must end games where the rules end them, and only there, and refuse every move
// an engine may not make.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/Referee.h"
#include "support/Replay.h"
#include "support/Text.h"

namespace {

TEST(SoakReferee, EndsGamesByTheRules) {
  struct {
    const char* Fen;
    const char* Moves;
    int MaxPlies;
    TEnding Ending;
  } const Cases[] = {
      {"startpos", "f2f3 e7e5 g2g4 d8h4", 400, TEnding::Checkmate},
      {"startpos", "f2f3 e7e5 g2g4", 400, TEnding::None},
      // The shortest stalemate from the initial position.
      {"startpos", "e2e3 a7a5 d1h5 a8a6 h5a5 h7h5 h2h4 a6h6 a5c7 f7f6 c7d7 e8f7 d7b7 d8d3 b7b8 d3h7 b8c8 f7g6 c8e6",
       400, TEnding::Stalemate},
      // The initial position a third time, and only the second time a ply earlier.
      {"startpos", "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", 400, TEnding::Repetition},
      {"startpos", "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1", 400, TEnding::None},
      // Knights back home, but castling rights lost on the way: not the same position.
      {"startpos", "g1f3 g8f6 h1g1 h8g8 g1h1 g8h8 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", 400, TEnding::None},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 99 80", "a1a2", 400, TEnding::FiftyMoves},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 98 80", "a1a2", 400, TEnding::None},
      // Mate on the hundredth reversible half-move is mate.
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 99 80", "a1a8", 400, TEnding::Checkmate},
      {"startpos", "g1f3 g8f6 b1c3 b8c6", 4, TEnding::Adjudicated},
      {"startpos", "g1f3 g8f6 b1c3", 4, TEnding::None},
  };
  for (const auto& C : Cases) {
    TReferee Referee(C.MaxPlies);
    Referee.NewGame(C.Fen);
    for (const std::string& Move : Words(C.Moves)) ASSERT_TRUE(Referee.Play(Move)) << C.Moves << ": " << Move;
    EXPECT_STREQ(EndingName(Referee.Ending()), EndingName(C.Ending)) << C.Fen << " " << C.Moves;
  }
}

TEST(SoakReferee, RefusesWhatAnEngineMayNotPlay) {
  TReferee Referee;
  Referee.NewGame("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  // Lower case only, a promotion letter on promotions only, the side to move's moves only, no null move.
  for (const char* Move : {"", "0000", "e1e3", "E1E2", "e8e7", "e1e2q", "a7a8", "a7a8k", "a7a8Q"})
    EXPECT_FALSE(Referee.Play(Move)) << Move;
  EXPECT_TRUE(Referee.Moves().empty());
  EXPECT_EQ(Referee.SideToMove(), 0);
  EXPECT_TRUE(Referee.Play("a7a8r"));
  EXPECT_EQ(Referee.SideToMove(), 1);
  EXPECT_EQ(Referee.LegalMoves().size(), 3u);  // d7, e7, f7: the rook holds the eighth rank
}

}  // namespace
