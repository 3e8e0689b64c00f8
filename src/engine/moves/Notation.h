// Coordinate move text (e2e4, e1g1, e7e8q).
#pragma once

#include <string>
#include <string_view>

#include "engine/core/Types.h"

std::string MoveToString(TMove Move);
// Writes the text and a terminating NUL into Buffer (at least 6 bytes); returns the length.  For paths
// that must not allocate.
int MoveToChars(TMove Move, char* Buffer);
TMove ParseMove(TState* S, std::string_view Text);
