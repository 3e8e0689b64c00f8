// The fuzz targets' bodies. Each takes one input and answers what it found wrong, empty when nothing;
// the libFuzzer entry (Entry.cpp) aborts on an answer, and the test suite replays the inputs kept in
// fuzz/regressions/<name>/ and fuzz/corpus/<name>/ through the same bodies.
#pragma once

#include <string>
#include <string_view>

#include "engine/core/State.h"

using TFindings = std::string;
using TFuzzBody = TFindings (*)(TState* S, std::string_view Data);

// A position from any text; the position and every one a move or two on must be whole.
TFindings FuzzFen(TState* S, std::string_view Data);
// The first line is a position, every later one move text: what ParseMove answers must be the legal move
// the text names, and the position must stay whole as those moves are played.
TFindings FuzzMoveText(TState* S, std::string_view Data);
// The UCI dialogue on the input, every search cut down to a few plies.
TFindings FuzzUci(TState* S, std::string_view Data);
// XBoard commands between searches, a line at a time.
TFindings FuzzXBoard(TState* S, std::string_view Data);
// The first line is a position, every later one an XBoard command arriving during a think: nothing may
// change the board, the game or the limits under the search.
TFindings FuzzXBoardInSearch(TState* S, std::string_view Data);
// The shell, a line at a time, its prompts answered by the following lines; searches, perft and
// self-play cut down to a few plies.
TFindings FuzzShell(TState* S, std::string_view Data);

struct TFuzzTarget {
  std::string_view Name;
  TFuzzBody Body;
};

inline constexpr TFuzzTarget FuzzTargets[] = {
    {"fen", FuzzFen},       {"move_text", FuzzMoveText},           {"uci", FuzzUci},
    {"xboard", FuzzXBoard}, {"xboard_search", FuzzXBoardInSearch}, {"shell", FuzzShell},
};
