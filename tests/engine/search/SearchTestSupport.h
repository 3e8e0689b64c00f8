// What SearchTest.cpp still reaches by its old names; the file moves to support/Thinks.h with its next
// change, and this header goes then.
#pragma once

#include <string>

#include "engine/moves/Notation.h"
#include "support/Text.h"
#include "support/Thinks.h"

namespace search_test {

inline std::string MoveText(TMove Move) { return MoveToString(Move); }

}  // namespace search_test
