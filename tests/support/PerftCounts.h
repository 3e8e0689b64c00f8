// Published perft counts of well-known positions, from depth 1 on: the perft test counts them as deep as
// its budget allows, and the integrity walk checks every step on the way to one of them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct TPerftCounts {
  const char* Name;
  const char* Fen;
  std::vector<uint64_t> Leaves;  // Leaves[D - 1] at depth D
};

inline const std::vector<TPerftCounts>& KnownPerftCounts() {
  static const std::vector<TPerftCounts> Counts = {
      {"StartPosition", "startpos", {20, 400, 8902, 197281, 4865609, 119060324}},
      {"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", {48, 2039, 97862, 4085603}},
      {"RookAndPawnEndgame", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", {14, 191, 2812, 43238, 674624}},
      {"Promotions", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", {6, 264, 9467, 422333}},
      // The same turned round, colours swapped: the counts must not depend on the colour.
      {"PromotionsColoursSwapped",
       "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
       {6, 264, 9467, 422333}},
      {"PromotionByCapture", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487}},
      {"Middlegame",
       "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
       {46, 2079, 89890, 3894594}},
  };
  return Counts;
}

inline const TPerftCounts& PerftCountsOf(std::string_view Name) {
  for (const TPerftCounts& C : KnownPerftCounts())
    if (Name == C.Name) return C;
  static const TPerftCounts None = {"", "", {}};
  return None;
}
