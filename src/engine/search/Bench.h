// The fixed benchmark: middlegames of several kinds and a few endgames, searched on one thread to a fixed
// depth. Its node total at the default depth is the search's signature (bench/signature.txt): changing
// the positions or the default depth changes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/State.h"

inline constexpr int DefaultBenchDepth = 12;
// The table's size for the bench, whatever the engine's: small enough for every build, the browser's too.
inline constexpr int64_t BenchHashMegabytes = 64;

inline constexpr const char* BenchPositions[] = {
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1rk1/pp2ppbp/3p1np1/2pP4/2P1P3/2N2N2/PP2BPPP/R1BQK2R w KQ - 0 7",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/R2Q1RK1 w - - 0 10",
    "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 13",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/R4R1K w - - 0 14",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/1p1k4/p1p1p3/P1P1P3/1P1K4/8/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/5k2/8/3RK3/8/8/8/4r3 w - - 0 1",
};

struct TBenchTotal {
  int64_t Nodes = 0;
  int64_t Milliseconds = 0;
  int64_t NodesPerSecond() const { return Milliseconds > 0 ? Nodes * 1000 / Milliseconds : Nodes * 1000; }
};

// Searches each position to Depth with the threads S uses, printing "<Label> NODES MS NPS BESTMOVE" per
// position.
TBenchTotal SearchPositions(TState* S, const std::vector<std::string>& Fens, int Depth, const std::string& Label);

// The fixed positions (or Fens, when given) on one thread with a table of BenchHashMegabytes: the node
// counts repeat exactly from run to run, on every machine.
TBenchTotal RunBench(TState* S, int Depth, std::vector<std::string> Fens = {});
