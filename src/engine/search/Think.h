// The one way a front end makes the engine choose a move.
#pragma once

#include "engine/core/State.h"

bool DoThink(TState* S);
bool Think(TState* S);
bool ThinkHint(TState* S);
bool ThinkAndExecute(TState* S);
bool TryOpeningBook(TState* S);
void ClearOpeningBook(TState* S);
